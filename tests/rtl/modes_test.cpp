// Print modes, resolutions, colour lists and plane tables.
#include <array>

#include "host/kv_log.h"
#include "rtl_test_support.h"
#include "support/log_capture.h"

namespace tarnwick::rtl_test {
namespace {

using RtlModesTest = RtlTest;

std::vector<std::string> ModeNames(RTL& rtl, const char* model) {
    PrintModeList list;
    int32_t value = -5;
    EXPECT_EQ(rtl.GetPrintModes(model, nullptr, &list, &value), 1);
    EXPECT_EQ(value, 1);
    std::vector<std::string> names;
    for (const auto& entry : list) {
        EXPECT_STREQ(entry.name, entry.name2);
        EXPECT_EQ(entry.name[255], '\0');
        names.emplace_back(entry.name);
    }
    return names;
}

TEST_F(RtlModesTest, PrintModeLists) {
    const std::vector<std::string> all = {"NORMAL", "SUPER", "DRAFT", "FAST",
                                          "FINE2",  "FINE",  "PHOTO"};
    EXPECT_EQ(ModeNames(*rtl, "CP52"), all);
    EXPECT_EQ(ModeNames(*rtl, "CP52-LM Pro"), all);
    EXPECT_EQ(ModeNames(*rtl, "CP52-LM"), (std::vector<std::string>{"NORMAL", "SUPER"}));
}

TEST_F(RtlModesTest, OneResolutionPerMode) {
    struct Case {
        const char* model;
        int32_t mode;
        double dpi;
        int32_t id;
        const char* name;
    };
    const Case cases[] = {
        {"CP52", 0, 360, 0, "360"},    {"CP52", 1, 720, 1, "720"},    {"CP52", 2, 180, 2, "180"},
        {"CP52", 3, 360, 3, "360"},    {"CP52", 4, 540, 4, "540"},    {"CP52", 6, 720, 6, "720"},
        {"CP52", 9, 720, 9, "720"},    {"Plain", -1, 720, -1, "720"}, {"CP52-LM", 0, 360, 0, "360"},
        {"CP52-LM", 6, 720, 1, "720"}, {"CP52-LM", 2, 720, 1, "720"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.mode));
        ResolutionList list;
        int32_t mode = c.mode;
        int32_t value = -5;
        EXPECT_EQ(rtl->GetResolutions(c.model, nullptr, &mode, &list, &value), 1);
        EXPECT_EQ(value, 0);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].xDpi, c.dpi);
        EXPECT_EQ(list[0].yDpi, c.dpi);
        EXPECT_EQ(list[0].id, c.id);
        EXPECT_STREQ(list[0].name, c.name);
    }
}

TEST_F(RtlModesTest, ColorListsCarryTheModeInks) {
    std::vector<ColorEntry> entries(16);
    ColorList list{0, entries.data(), 16};
    ASSERT_EQ(rtl->GetColorList(3, &list), 1);
    ASSERT_EQ(list.count, 6);
    const char* names[] = {"Cyan", "Magenta", "Yellow", "Black", "Green", "Orange"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(entries[static_cast<std::size_t>(i)].name, names[i]);
        EXPECT_STREQ(entries[static_cast<std::size_t>(i)].displayName, names[i]);
    }
    ASSERT_EQ(rtl->GetColorList(2, &list), 1);
    EXPECT_STREQ(entries[4].name, "LCyan");
    EXPECT_STREQ(entries[4].displayName, "Light cyan");
    EXPECT_STREQ(entries[5].displayName, "Light magenta");

    ASSERT_EQ(rtl->GetColorList(1, &list), 1);
    EXPECT_EQ(list.count, 1);
    EXPECT_STREQ(entries[0].name, "Black");
    EXPECT_EQ(entries[0].colorValue, 0x231F20u);
    EXPECT_EQ(entries[0].isSpot, 0);
    EXPECT_EQ(entries[0].print, 1);
    EXPECT_EQ(entries[0].depth, 1);

    list.count = 42;
    EXPECT_EQ(rtl->GetColorList(4, &list), 0);
    EXPECT_EQ(rtl->GetColorList(-1, &list), 0);
    EXPECT_EQ(list.count, 42);
    ScopedLogCapture log;
    ColorList tooSmall{0, entries.data(), 3};
    EXPECT_EQ(rtl->GetColorList(0, &tooSmall), 0);
    EXPECT_EQ(log.entries().size(), 1u);
}

TEST_F(RtlModesTest, PlanesLayoutsAndDefaults) {
    const std::array<std::array<int, 3>, 6> cases = {
        {{0, 4, 0}, {1, 1, 3}, {2, 6, 1}, {3, 6, 2}, {4, 4, 0}, {-1, 4, 0}}};
    for (const auto& [mode, planes, layout] : cases) {
        int16_t p = 0;
        int16_t l = 0;
        rtl->GetColorPlanes(mode, &p, &l);
        EXPECT_EQ(p, planes) << mode;
        EXPECT_EQ(l, layout) << mode;
    }
    char name[64] = {};
    EXPECT_EQ(rtl->GetDefaultColorMode(name, nullptr), 2);
    EXPECT_STREQ(name, "CMYKLcLm");
    int x = 0;
    int y = 0;
    rtl->GetBaseResolution(&x, &y);
    EXPECT_EQ(x, 180);
    EXPECT_EQ(y, 180);
    EXPECT_EQ(rtl->GetTypeNumber(), 85);
}

TEST_F(RtlModesTest, PlaneOrderTables) {
    const auto order = [&](int16_t planes, int16_t layout) {
        for (int i = 0; i < kMaxPlanes; ++i) rtl->SetPlaneOrderAt(i, 9);
        ctx.m_nPlanes = planes;
        ctx.m_nPlaneLayout = layout;
        rtl->InitPlaneOrder();
        std::vector<int> got;
        for (int i = 0; i < 7; ++i) got.push_back(rtl->PlaneOrderAt(i));
        return got;
    };
    EXPECT_EQ(order(6, 1), (std::vector<int>{3, 0, 1, 2, 4, 5, 9}));
    EXPECT_EQ(order(6, 2), (std::vector<int>{3, 0, 1, 2, 5, 4, 9}));
    EXPECT_EQ(order(4, 0), (std::vector<int>{0, 1, 2, 3, 9, 9, 9}));
    EXPECT_EQ(order(1, 3), (std::vector<int>{0, 1, 2, 3, 9, 9, 9}));
}

}  // namespace
}  // namespace tarnwick::rtl_test
