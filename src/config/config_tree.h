// Loading one configuration file into an XML tree. Top-level files are plain
// XML; the manufacturer, model map and model files are stored enciphered.
#pragma once

#include "host/afile_path.h"
#include "host/xml_tree.h"

namespace tarnwick {

// Root name every configuration tree is created with. Only the element
// structure below the document's root is looked at, never the root's name.
inline constexpr const char* kConfigRootName = "RootElement";

enum class ConfigCipher { Plain, Enciphered };

// Loads `file` into `tree` with the chosen loader and gives its root node.
// A path that names a folder is refused before anything is read. Returns
// false on any failure; nothing is reported, the callers decide that.
bool LoadConfigTree(AEnXMLTree& tree, const AFilePath& file, ConfigCipher cipher,
                    AXMLTreeNode& root);

// The parameter readers are handed either a top-level file (plain) or a
// manufacturer or model file (enciphered); they tell them apart by the
// top-level file's name appearing anywhere in the full path.
ConfigCipher CipherForParamFile(const AFilePath& file, const char* topLevelName);

}  // namespace tarnwick
