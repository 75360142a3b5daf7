// Shared helpers of the options page tests: a settings area to edit and
// readers for what the controls show.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/mfc/cdialog.h"
#include "tarnwick/records.h"

namespace tarnwick::options_test {

// A zeroed 256-byte area; tests fill the record they need.
inline SettingsArea EmptyArea() {
    SettingsArea area;
    std::memset(&area, 0, sizeof area);
    return area;
}

// A valid record with every option away from its default.
inline SettingsArea EditedArea() {
    SettingsArea area = EmptyArea();
    PrinterSettings& s = area.settings;
    s.tag = 24;
    s.mediaFeedCalibration = 0;
    s.printDirection = 0;
    s.pageSpacing = 7;
    s.overprint = 2;
    s.cutSheet = 1;
    s.dryTime = 4;
    s.cropMark = 1;
    s.driverOptionsOff = 0;
    s.advanceAfterPrint = 1;
    s.reserved10 = 0x42;
    s.reserved11 = 3;
    s.colorBar = 2;
    area.rest[0] = 0xA5;
    area.rest[sizeof area.rest - 1] = 0x5A;
    return area;
}

// The record the driver's defaults give, written out by hand so a wrong
// default is caught; bytes 10 and 12 are the caller's.
inline void ExpectDefaults(const PrinterSettings& s) {
    EXPECT_EQ(s.tag, 24);
    EXPECT_EQ(s.mediaFeedCalibration, 1);
    EXPECT_EQ(s.printDirection, 1);
    EXPECT_EQ(s.pageSpacing, 1);
    EXPECT_EQ(s.overprint, 0);
    EXPECT_EQ(s.cutSheet, 0);
    EXPECT_EQ(s.dryTime, 0);
    EXPECT_EQ(s.cropMark, 0);
    EXPECT_EQ(s.driverOptionsOff, 0);
    EXPECT_EQ(s.advanceAfterPrint, 1);
    EXPECT_EQ(s.reserved11, 3);
    EXPECT_EQ(s.colorBar, 1);
}

inline bool SameBytes(const SettingsArea& a, const SettingsArea& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline const WindowState& Control(const CDialog& dialog, int id) {
    static const WindowState kMissing{};
    const WindowState* state = dialog.FindChild(id);
    EXPECT_NE(state, nullptr) << "no control " << id;
    return state ? *state : kMissing;
}

inline bool Visible(const CDialog& dialog, int id) {
    return Control(dialog, id).visible;
}
inline bool Enabled(const CDialog& dialog, int id) {
    return Control(dialog, id).enabled;
}
inline bool Checked(const CDialog& dialog, int id) {
    return Control(dialog, id).check == BST_CHECKED;
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
