#include "config/glossary.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

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

// The user's language as its two-letter code ("de" for de_DE.UTF-8), from the variables that
// choose the language of messages, in their order of precedence; "" for C, POSIX or none.
std::string UserLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        const std::string text(value);
        if (text == "C" || text.rfind("C.", 0) == 0 || text == "POSIX") return {};
        return text.substr(0, std::min(text.find_first_of("_.@:"), text.size()));
    }
    return {};
}

// A Glossary element with a Lang attribute serves the users of that language only, so that one
// installation can hold several; one without it serves everybody. The rest stay untranslated.
void LoadGlossary(GlossaryMap& map) {
    AFilePath file = OutputDriverFolder();
    file += kGlossaryFileName;
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, file, ConfigCipher::Plain, root)) return;
    const std::string language = UserLanguage();
    const int sections = tree.getChildCount(root);
    AXMLTreeNode glossary;
    for (int s = 0; s < sections; ++s) {
        if (!tree.getChild(s, root, glossary) || tree.getName(glossary) != AString("Glossary")) {
            continue;
        }
        const AString lang = tree.getAttribute(glossary, "Lang");
        if (!lang.IsEmpty() && lang.str() != language) continue;
        const int count = tree.getChildCount(glossary);
        AXMLTreeNode entry;
        for (int i = 0; i < count; ++i) {
            if (!tree.getChild(i, glossary, entry)) continue;
            // A later entry for the same phrase replaces an earlier one.
            map[tree.getAttribute(entry, "Phrase")] = tree.getAttribute(entry, "Res");
        }
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
