// Walking a "PrinterHardware" section down to the part that serves one print
// setup: Model, then Media, PrintMode, Resolution and ColorMode. The dither
// and screening readers share this walk and its messages.
#pragma once

#include <string_view>

#include "host/xml_tree.h"
#include "tarnwick/records.h"

namespace tarnwick {

// The first "Model" whose ID contains `model`, else the last one whose ID is
// exactly "Default". Returns false, with `out` untouched, when neither
// exists; the caller then searches an empty section.
bool FindModelSection(const AXMLTree& tree, const AXMLTreeNode& hardware, std::string_view model,
                      AXMLTreeNode& out);

// Media, PrintMode, Resolution and ColorMode in turn, each chosen by the
// setup's value. A missing level is shown to the user ("Getting media node
// fails" and so on) and gives false.
bool FindColorModeSection(const AXMLTree& tree, const AXMLTreeNode& modelSection,
                          const PrintSetup& setup, AXMLTreeNode& out);

// The model section of `hardware` for the setup, or an empty node when no
// "Model" serves it, followed by FindColorModeSection.
bool FindSetupSection(const AXMLTree& tree, const AXMLTreeNode& hardware, const PrintSetup& setup,
                      AXMLTreeNode& out);

}  // namespace tarnwick
