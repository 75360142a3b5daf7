// Shared helpers of the options page tests: a settings area to edit, the
// driver's default record and readers for what the controls show.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <set>
#include <string>

#include "platform/mfc/cdialog.h"
#include "tarnwick/records.h"

namespace tarnwick::options_test {

struct Field {
    const char* name;
    std::size_t offset;  // in the settings area
};
#define TARNWICK_FIELD(f)                \
    Field {                              \
#f, offsetof(PrinterSettings, f) \
    }
inline constexpr Field kFields[] = {TARNWICK_FIELD(tag),
                                    TARNWICK_FIELD(mediaFeedCalibration),
                                    TARNWICK_FIELD(printDirection),
                                    TARNWICK_FIELD(pageSpacing),
                                    TARNWICK_FIELD(overprint),
                                    TARNWICK_FIELD(cutSheet),
                                    TARNWICK_FIELD(dryTime),
                                    TARNWICK_FIELD(cropMark),
                                    TARNWICK_FIELD(driverOptionsOff),
                                    TARNWICK_FIELD(advanceAfterPrint),
                                    TARNWICK_FIELD(reserved10),
                                    TARNWICK_FIELD(reserved11),
                                    TARNWICK_FIELD(modelClass),
                                    TARNWICK_FIELD(colorBar),
                                    Field{"rest0", offsetof(SettingsArea, rest)},
                                    Field{"restLast", sizeof(SettingsArea) - 1}};
#undef TARNWICK_FIELD

inline uint8_t& Byte(SettingsArea& area, std::size_t offset) {
    return reinterpret_cast<uint8_t*>(&area)[offset];
}

// A valid record with every option away from its default, and marked bytes
// past the record.
inline SettingsArea EditedArea() {
    SettingsArea area;
    std::memset(&area, 0, sizeof area);
    // tag .. colorBar in record order; the model class is the page's to set.
    const uint8_t record[] = {24, 0, 0, 7, 2, 1, 4, 1, 0, 1, 0x42, 3, 0, 2};
    std::memcpy(&area.settings, record, sizeof record);
    area.rest[0] = 0xA5;
    area.rest[sizeof area.rest - 1] = 0x5A;
    return area;
}

// The record the driver's defaults give, written out by hand so a wrong
// default is caught; bytes 10 and 12 are the caller's, and so are the
// fields named in `skip`.
inline void ExpectDefaults(const PrinterSettings& s, const std::set<std::string>& skip = {}) {
    const uint8_t defaults[] = {24, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 3, 0, 1};
    const auto* bytes = reinterpret_cast<const uint8_t*>(&s);
    for (std::size_t i = 0; i < sizeof defaults; ++i) {
        if (i == 10 || i == 12 || skip.count(kFields[i].name) != 0) continue;
        EXPECT_EQ(bytes[i], defaults[i]) << kFields[i].name;
    }
}

inline const WindowState& Control(const CDialog& dialog, int id) {
    static const WindowState kMissing{};
    const WindowState* state = dialog.FindChild(id);
    EXPECT_NE(state, nullptr) << "no control " << id;
    return state ? *state : kMissing;
}

// The text of the selected list item, or "<none>".
inline std::string Shown(const CDialog& dialog, int id) {
    const WindowState& list = Control(dialog, id);
    if (list.curSel < 0 || static_cast<std::size_t>(list.curSel) >= list.items.size()) {
        return "<none>";
    }
    return list.items[static_cast<std::size_t>(list.curSel)];
}

}  // namespace tarnwick::options_test
