#include "config/glossary.h"

#include <map>

#include "config/config_tree.h"
#include "config/output_driver_folder.h"

namespace tarnwick {
namespace {

// Ordered by unsigned byte comparison of the phrases.
using GlossaryMap = std::map<AString, AString>;

GlossaryMap& Glossary() {
    static GlossaryMap map;
    return map;
}

void LoadGlossary(GlossaryMap& map) {
    AFilePath file = OutputDriverFolder();
    file += kGlossaryFileName;
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, file, ConfigCipher::Plain, root)) return;
    AXMLTreeNode glossary;
    if (!tree.getChild("Glossary", root, glossary)) return;

    const int count = tree.getChildCount(glossary);
    AXMLTreeNode entry;
    for (int i = 0; i < count; ++i) {
        if (!tree.getChild(i, glossary, entry)) continue;
        // A later entry for the same phrase replaces an earlier one.
        map[tree.getAttribute(entry, "Phrase")] = tree.getAttribute(entry, "Res");
    }
}

}  // namespace

AString Translate(const AString& phrase) {
    GlossaryMap& map = Glossary();
    if (map.empty()) LoadGlossary(map);
    const auto found = map.find(phrase);
    return found != map.end() ? found->second : phrase;
}

void ClearGlossaryCache() {
    Glossary().clear();
}

}  // namespace tarnwick
