#include "config/find_child_by_id.h"

#include <string>

#include "host/c_locale.h"

namespace tarnwick {

bool IdListContains(std::string_view id, int32_t wanted) {
    id = id.substr(0, kIdBufferSize - 1);
    while (!id.empty()) {
        const std::size_t comma = id.find(',');
        const std::string_view field = id.substr(0, comma);
        if (field.empty()) return false;
        const std::string text(field.substr(0, kIdFieldBufferSize - 1));
        int value = 0;
        if (ScanIntC(text.c_str(), &value) && value == wanted) return true;
        if (comma == std::string_view::npos) return false;
        id.remove_prefix(comma + 1);
    }
    return false;
}

int FindChildById(const AXMLTree& tree, const AXMLTreeNode& parent, const char* elementName,
                  int32_t wanted, AXMLTreeNode& out) {
    AXMLTreeNode fallback;
    bool haveFallback = false;
    const int count = tree.getChildCount(parent);
    AXMLTreeNode child;
    for (int i = 0; i < count; ++i) {
        if (!tree.getChild(i, parent, child)) continue;
        if (!(tree.getName(child) == elementName)) continue;
        const AString id = tree.getAttribute(child, "ID");
        if (std::string_view(id.c_str()) == kDefaultId) {
            fallback = child;
            haveFallback = true;
        } else if (IdListContains(id.c_str(), wanted)) {
            out = child;
            return 1;
        }
    }
    if (!haveFallback) return 0;
    out = fallback;
    return 1;
}

}  // namespace tarnwick
