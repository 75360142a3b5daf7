#include "config/setup_section.h"

#include <cstdint>

#include "config/find_child_by_id.h"
#include "config/fixed_text.h"
#include "platform/message_box.h"

namespace tarnwick {

bool FindModelSection(const AXMLTree& tree, const AXMLTreeNode& hardware, std::string_view model,
                      AXMLTreeNode& out) {
    AXMLTreeNode fallback;
    bool haveFallback = false;
    const int count = tree.getChildCount(hardware);
    AXMLTreeNode child;
    for (int i = 0; i < count; ++i) {
        if (!tree.getChild(i, hardware, child)) continue;
        if (!(tree.getName(child) == "Model")) continue;
        const AString id = tree.getAttribute(child, "ID");
        const std::string_view idText(id.c_str());
        if (idText == kDefaultId) {
            fallback = child;
            haveFallback = true;
        } else if (idText.find(model) != std::string_view::npos) {
            // One section may serve several models, so the ID only has to
            // contain the name.
            out = child;
            return true;
        }
    }
    if (haveFallback) out = fallback;
    return haveFallback;
}

bool FindColorModeSection(const AXMLTree& tree, const AXMLTreeNode& modelSection,
                          const PrintSetup& setup, AXMLTreeNode& out) {
    struct Level {
        const char* element;
        int32_t wanted;
        const char* failure;
    };
    const Level levels[] = {
        {"Media", setup.media, "Getting media node fails"},
        {"PrintMode", setup.printMode, "Getting printmode node fails"},
        {"Resolution", setup.resolution, "Getting resolution node fails"},
        {"ColorMode", setup.colorMode, "Getting colormode node fails"},
    };
    AXMLTreeNode section = modelSection;
    for (const Level& level : levels) {
        AXMLTreeNode next;
        if (!FindChildById(tree, section, level.element, level.wanted, next)) {
            ShowMessage(level.failure, MB_OK);
            return false;
        }
        section = next;
    }
    out = section;
    return true;
}

bool FindSetupSection(const AXMLTree& tree, const AXMLTreeNode& hardware, const PrintSetup& setup,
                      AXMLTreeNode& out) {
    // Without a serving "Model" the media step searches nothing and reports
    // the missing media section, rather than borrowing another model's.
    AXMLTreeNode model;
    FindModelSection(tree, hardware, FixedFieldText(setup.modelName), model);
    return FindColorModeSection(tree, model, setup, out);
}

}  // namespace tarnwick
