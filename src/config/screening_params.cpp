#include "config/screening_params.h"

#include <string>

#include "config/config_tree.h"
#include "config/fixed_text.h"
#include "config/param_file_lookup.h"
#include "config/setup_section.h"
#include "host/c_locale.h"

namespace tarnwick {

int ReadScreeningParams(AFilePath file, const PrintSetup* setup, ScreeningRecord* record) {
    if (setup == nullptr || record == nullptr) return 0;
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, file, CipherForParamFile(file, kScreeningParamsFileName), root)) {
        return 0;
    }
    AXMLTreeNode hardware;
    if (!tree.getChild("PrinterHardware", root, hardware)) return 0;

    AXMLTreeNode colorMode;
    if (!FindSetupSection(tree, hardware, *setup, colorMode)) return 0;

    // Items fill the entries in document order; nothing pairs an item with
    // the default entry of the same colour, so unread numbers keep whatever
    // the entry at that position held.
    int taken = 0;
    const int childCount = tree.getChildCount(colorMode);
    AXMLTreeNode item;
    for (int i = 0; i < childCount; ++i) {
        if (!tree.getChild(i, colorMode, item)) continue;
        if (!(tree.getName(item) == "Item")) continue;
        const AString colorName = tree.getAttribute(item, "ColorName");
        if (colorName.IsEmpty()) continue;
        if (taken == kMaxScreenEntries) break;

        ScreenEntry& entry = record->entries[taken];
        float value = 0.0f;
        if (ScanFloatC(tree.getAttribute(item, "Angle").c_str(), &value)) entry.angle = value;
        if (ScanFloatC(tree.getAttribute(item, "Frequency").c_str(), &value)) {
            entry.frequency = value;
        }
        CopyFixedText(entry.colorName, colorName.str());
        CopyFixedText(entry.shapeName, tree.getAttribute(item, "ShapeName").str());
        record->count = ++taken;
    }
    return 1;
}

int LoadScreeningParamsWith(ScreeningRecord* record, const PrintSetup* setupOrNull) {
    if (record == nullptr) return 1;
    WriteDefaultScreening(record);
    if (setupOrNull == nullptr) return 1;
    const std::string model(FixedFieldText(setupOrNull->modelName));
    const std::string manufacturer(FixedFieldText(setupOrNull->manufacturerName));
    if (model.empty() || manufacturer.empty()) return 1;

    AFilePath file;
    FindScreeningParamsFile(model.c_str(), manufacturer.c_str(), file);
    ReadScreeningParams(file, setupOrNull, record);
    return 1;
}

}  // namespace tarnwick
