// Dither parameters of a print setup: output levels per ink, the weight of
// each level, anti-clog and noise levels. Defaults come from the colour
// mode's colour list; the printer's parameter file then overrides them.
#pragma once

#include "host/afile_path.h"
#include "tarnwick/records.h"

namespace tarnwick {

// Fills the record from the colour list: levelCount = 2^depth of the first
// colorant (at most 64), evenly rising weights per ink with the top level at
// 1.0, antiClogLevel 0, noiseLevel 1.0, inkCount = colorants (at most 16).
// Returns true for 8- or 16-bit colorants, whose dithering needs no file.
bool SetDitherDefaults(const ColorList& list, DitherParamRecord* record);

// Reads the section of `file` that serves the setup and the record's
// levelCount into the record. Returns 1 when every part was found. Missing
// sections below "PrinterHardware" are shown to the user; the record keeps
// whatever was written before the failure.
int ReadDitherParams(AFilePath file, const PrintSetup* setup, DitherParamRecord* record);

// The whole dither query: defaults from `listOrNull` (null when the colour
// mode has no colour list; the record is then read as the host passed it),
// then the printer's file. Returns 1 exactly when the file was read in full;
// 0 for 8- and 16-bit colorants or a failed read. The caller holds the C
// numeric locale for the duration.
int LoadDitherParamsWith(const char* model, const char* manufacturer, const PrintSetup* setup,
                         DitherParamRecord* record, const ColorList* listOrNull);

}  // namespace tarnwick
