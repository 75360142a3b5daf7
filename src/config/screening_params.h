// Halftone screens of a print setup: dot shape, frequency and angle per
// colorant. A fixed eight-colorant screen is the default; the printer's
// parameter file, when it has a section for the setup, replaces it.
#pragma once

#include <cstddef>

#include "host/afile_path.h"
#include "tarnwick/records.h"

namespace tarnwick {

inline constexpr int kHalftoneShapeCount = 16;
inline constexpr std::size_t kHalftoneShapeNameSize = 32;
inline constexpr int kDefaultHalftoneShape = 2;  // "Diamond"

// The dot shapes the host knows, in its order. Entries carry the shape by
// name, so names read from a file are not checked against this table.
extern const char HalftoneShapeNames[kHalftoneShapeCount][kHalftoneShapeNameSize];

// Sets count 8 and the default screen of entries 0 to 7. Only each name with
// its NUL and the two numbers are written; the rest is left as it was.
void WriteDefaultScreening(ScreeningRecord* record);

// Replaces the record's entries with the "Item" list of the section of `file`
// that serves the setup. Returns 1 when that section was found, whatever it
// holds; missing sections below "Model" are shown to the user.
int ReadScreeningParams(AFilePath file, const PrintSetup* setup, ScreeningRecord* record);

// The whole screening query: defaults, then the printer's file when the
// setup names both a manufacturer and a model. Always returns 1, since the
// default screen is a usable answer.
int LoadScreeningParamsWith(ScreeningRecord* record, const PrintSetup* setupOrNull);

}  // namespace tarnwick
