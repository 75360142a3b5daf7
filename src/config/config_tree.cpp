#include "config/config_tree.h"

namespace tarnwick {

bool LoadConfigTree(AEnXMLTree& tree, const AFilePath& file, ConfigCipher cipher,
                    AXMLTreeNode& root) {
    if (file.isDirectory()) return false;
    const int loaded = cipher == ConfigCipher::Plain ? tree.loadFromFile(file.c_str(), 1)
                                                     : tree.loadFromFileEn(file.c_str(), 1);
    if (loaded == 0) return false;
    return tree.getRootNode(root) != 0;
}

ConfigCipher CipherForParamFile(const AFilePath& file, const char* topLevelName) {
    return file.GetFullPath().Find(topLevelName) >= 0 ? ConfigCipher::Plain
                                                      : ConfigCipher::Enciphered;
}

}  // namespace tarnwick
