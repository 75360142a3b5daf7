// The "Level" element of a dither section: one "Weight" per ink and level.
#pragma once

#include "host/xml_tree.h"
#include "tarnwick/records.h"

namespace tarnwick {

// Stores every usable "Weight" child of `level` into the record's weights,
// then gives each ink below inkCount that no weight named a copy of the
// first named ink's row, unless the element lists a weight for every ink
// and level. A "Weight" whose ink or level lies outside the record is
// skipped; one whose value holds no number names its ink but keeps the
// entry's earlier weight.
void ReadLevelWeights(const AXMLTree& tree, const AXMLTreeNode& level, DitherParamRecord& record);

}  // namespace tarnwick
