// Picking one section among siblings by the numbers listed in their "ID".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/xml_tree.h"

namespace tarnwick {

// An "ID" is read from a buffer of this many bytes (NUL included) and each of
// its comma-separated fields from one of kIdFieldBufferSize bytes; longer
// IDs and fields are cut to fit.
inline constexpr std::size_t kIdBufferSize = 256;
inline constexpr std::size_t kIdFieldBufferSize = 64;

// The fallback ID, compared case-sensitively and as a whole.
inline constexpr std::string_view kDefaultId = "Default";

// True when the comma-separated integer list `id` names `wanted`. The list
// ends at its first empty field; a field without a number matches nothing.
bool IdListContains(std::string_view id, int32_t wanted);

// Finds the child of `parent` named exactly `elementName` whose "ID" lists
// `wanted`; the first such child wins, wherever "Default" children stand.
// Without one, the last child whose ID is exactly "Default" is taken.
// Returns 1 with the child in `out`, else 0 with `out` untouched.
int FindChildById(const AXMLTree& tree, const AXMLTreeNode& parent, const char* elementName,
                  int32_t wanted, AXMLTreeNode& out);

}  // namespace tarnwick
