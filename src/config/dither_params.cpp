#include "config/dither_params.h"

#include "config/config_tree.h"
#include "config/dither_weights.h"
#include "config/find_child_by_id.h"
#include "config/param_file_lookup.h"
#include "config/setup_section.h"
#include "host/c_locale.h"
#include "platform/message_box.h"

namespace tarnwick {
namespace {

// Hosts ask with 256 levels for continuous-tone output, which no dither
// section is written for; that miss is expected and not worth a message.
constexpr int kContoneLevelCount = 256;

int Fail(const char* message) {
    ShowMessage(message, MB_OK);
    return 0;
}

}  // namespace

int ReadDitherParams(AFilePath file, const PrintSetup* setup, DitherParamRecord* record) {
    if (setup == nullptr || record == nullptr) return 0;
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, file, CipherForParamFile(file, kDitherParamsFileName), root)) {
        return 0;
    }
    AXMLTreeNode hardware;
    if (!tree.getChild("PrinterHardware", root, hardware)) return 0;

    AXMLTreeNode colorMode;
    if (!FindSetupSection(tree, hardware, *setup, colorMode)) return 0;

    AXMLTreeNode dither;
    if (!FindChildById(tree, colorMode, "DitherParams", record->levelCount, dither)) {
        if (record->levelCount == kContoneLevelCount) return 0;
        return Fail("Getting ditherparams node fails");
    }

    AXMLTreeNode level;
    if (!tree.getChild("Level", dither, level))
        return Fail("Getting ditherparams-level node fails");
    int levelValue = 0;
    if (!ScanIntC(tree.getAttribute(level, "Value").c_str(), &levelValue) ||
        levelValue != record->levelCount) {
        return 0;
    }
    ReadLevelWeights(tree, level, *record);

    AXMLTreeNode antiClog;
    if (!tree.getChild("AntiClogLevel", dither, antiClog)) {
        return Fail("Getting ditherparams-anti clog level node fails");
    }
    int antiClogLevel = 0;
    if (ScanIntC(tree.getAttribute(antiClog, "Value").c_str(), &antiClogLevel)) {
        record->antiClogLevel = antiClogLevel;
    }

    AXMLTreeNode noise;
    if (!tree.getChild("NoiseLevel", dither, noise)) {
        return Fail("Getting ditherparams-noise level node fails");
    }
    float noiseLevel = 0.0f;
    if (ScanFloatC(tree.getAttribute(noise, "Value").c_str(), &noiseLevel)) {
        record->noiseLevel = noiseLevel;
    }
    return 1;
}

int LoadDitherParamsWith(const char* model, const char* manufacturer, const PrintSetup* setup,
                         DitherParamRecord* record, const ColorList* listOrNull) {
    if (record == nullptr) return 0;
    if (listOrNull != nullptr && SetDitherDefaults(*listOrNull, record)) return 0;
    AFilePath file;
    FindDitherParamsFile(model != nullptr ? model : "", manufacturer != nullptr ? manufacturer : "",
                         file);
    return ReadDitherParams(file, setup, record);
}

}  // namespace tarnwick
