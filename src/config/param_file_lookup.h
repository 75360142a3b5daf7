// Choosing the parameter file for a printer. The top-level file names, per
// manufacturer, either one manufacturer file or a model map whose entries
// name one file per model. The narrowest of these that holds a
// "PrinterHardware" section wins: model file, then manufacturer file (or the
// model map itself), then the top-level file. The lookup never fails; every
// missing or broken file just moves the choice one step down.
#pragma once

#include "host/afile_path.h"

namespace tarnwick {

inline constexpr const char* kDitherParamsFileName = "Ditherparams.xml";
inline constexpr const char* kScreeningParamsFileName = "ScreeningParams.xml";

// Both give the chosen file in `out` and return 1.
int FindDitherParamsFile(const char* model, const char* manufacturer, AFilePath& out);
int FindScreeningParamsFile(const char* model, const char* manufacturer, AFilePath& out);

// Finds the manufacturer's entry in the "ManufacturerList" of the plain
// `listFile` and appends its "ManufactureXML" (setting `fromManufactureXml`
// to 1) or else its "ManufactureMAPXML" to `path`. Returns 1 when one of
// them was appended, else 0 with `path` unchanged.
int LookupManufacturer(AFilePath listFile, const char* manufacturer, AFilePath& path,
                       int& fromManufactureXml);

// Finds the model's entry in the enciphered model map and appends its
// "XMLFile" to `path` (even when empty). Returns 1 when the model is listed.
int LookupModelFile(AFilePath mapFile, const char* model, AFilePath& path);

// 1 when the enciphered `file` loads and its root has a "PrinterHardware".
int HasPrinterHardware(AFilePath file);

}  // namespace tarnwick
