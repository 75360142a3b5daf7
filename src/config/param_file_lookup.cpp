#include "config/param_file_lookup.h"

#include "config/config_tree.h"
#include "config/output_driver_folder.h"
#include "config/text_compare.h"

namespace tarnwick {
namespace {

int FindParamsFile(const char* topLevelName, const char* model, const char* manufacturer,
                   AFilePath& out) {
    const AFilePath folder = OutputDriverFolder();
    AFilePath defaultFile = folder;
    defaultFile += topLevelName;

    AFilePath manufacturerPath = folder;
    AFilePath modelPath = folder;
    int fromManufactureXml = 0;
    const bool manufacturerFound =
        LookupManufacturer(defaultFile, manufacturer, manufacturerPath, fromManufactureXml) != 0;

    // A manufacturer file serves every model of its house, so there is no
    // model map to consult. Without a manufacturer the map path is still the
    // bare folder, which LookupModelFile refuses.
    bool modelFound = true;
    if (fromManufactureXml == 1) {
        modelPath = manufacturerPath;
    } else {
        modelFound = LookupModelFile(manufacturerPath, model, modelPath) != 0;
    }

    if (modelFound && HasPrinterHardware(modelPath)) {
        out = modelPath;
    } else if (manufacturerFound && HasPrinterHardware(manufacturerPath)) {
        out = manufacturerPath;
    } else {
        out = defaultFile;
    }
    return 1;
}

}  // namespace

int FindDitherParamsFile(const char* model, const char* manufacturer, AFilePath& out) {
    return FindParamsFile(kDitherParamsFileName, model, manufacturer, out);
}

int FindScreeningParamsFile(const char* model, const char* manufacturer, AFilePath& out) {
    return FindParamsFile(kScreeningParamsFileName, model, manufacturer, out);
}

int LookupManufacturer(AFilePath listFile, const char* manufacturer, AFilePath& path,
                       int& fromManufactureXml) {
    if (!listFile.exists()) return 0;
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, listFile, ConfigCipher::Plain, root)) return 0;

    AXMLTreeNode list;
    if (!tree.getChild("ManufacturerList", root, list)) return 0;
    const int count = tree.getChildCount(list);
    if (count < 1) return 0;

    AXMLTreeNode entry;
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        if (!tree.getChild(i, list, entry)) continue;
        found = AsciiCaseCompare(tree.getAttribute(entry, "Name").c_str(), manufacturer) == 0;
    }
    // An entry without a name can only have matched an empty request; that
    // is no manufacturer at all.
    if (!found || tree.getAttribute(entry, "Name").IsEmpty()) return 0;

    const AString manufactureXml = tree.getAttribute(entry, "ManufactureXML");
    if (!manufactureXml.IsEmpty()) {
        path += manufactureXml;
        fromManufactureXml = 1;
        return 1;
    }
    const AString mapXml = tree.getAttribute(entry, "ManufactureMAPXML");
    if (!mapXml.IsEmpty()) {
        path += mapXml;
        return 1;
    }
    return 0;
}

int LookupModelFile(AFilePath mapFile, const char* model, AFilePath& path) {
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, mapFile, ConfigCipher::Enciphered, root)) return 0;

    const int count = tree.getChildCount(root);
    AXMLTreeNode entry;
    for (int i = 0; i < count; ++i) {
        if (!tree.getChild(i, root, entry)) continue;
        if (AsciiCaseCompare(tree.getAttribute(entry, "Name").c_str(), model) != 0) continue;
        // An empty "XMLFile" leaves the folder itself, which no later step
        // accepts as a parameter file.
        const AString modelFile = tree.getAttribute(entry, "XMLFile");
        if (!modelFile.IsEmpty()) path += modelFile;
        return 1;
    }
    return 0;
}

int HasPrinterHardware(AFilePath file) {
    AEnXMLTree tree(kConfigRootName);
    AXMLTreeNode root;
    if (!LoadConfigTree(tree, file, ConfigCipher::Enciphered, root)) return 0;
    AXMLTreeNode hardware;
    return tree.getChild("PrinterHardware", root, hardware) != 0 ? 1 : 0;
}

}  // namespace tarnwick
