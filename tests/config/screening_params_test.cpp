#include "config/screening_params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "config_test_root.h"
#include "platform/message_box.h"
#include "support/message_script.h"

namespace tarnwick {
namespace {

using config_test::Hardware;
using config_test::MakeSetup;
using config_test::TempConfigRoot;

// A record the host filled with junk, so untouched bytes stand out.
std::unique_ptr<ScreeningRecord> JunkRecord() {
    auto record = std::make_unique<ScreeningRecord>();
    std::memset(record.get(), 0x5A, sizeof(ScreeningRecord));
    return record;
}

std::string ScreenFile(const std::string& items) {
    return Hardware(
        "<Model ID='Default'><Media ID='Default'><PrintMode ID='Default'><Resolution ID='Default'>"
        "<ColorMode ID='Default'><DitherParams ID='2'/>" +
        items + "</ColorMode></Resolution></PrintMode></Media></Model>");
}

TEST(ScreeningDefaults, EightDiamondScreensAndNothingElse) {
    auto record = JunkRecord();
    WriteDefaultScreening(record.get());
    EXPECT_EQ(record->count, 8);
    const char* names[] = {"Cyan",  "Magenta",  "Yellow", "Black",
                           "LCyan", "LMagenta", "Orange", "Green"};
    const float angles[] = {105, 75, 90, 45, 75, 105, 105, 75};
    for (int i = 0; i < 8; ++i) {
        const ScreenEntry& e = record->entries[i];
        EXPECT_STREQ(e.colorName, names[i]);
        EXPECT_STREQ(e.shapeName, "Diamond");
        EXPECT_EQ(e.frequency, 55.0f);
        EXPECT_EQ(e.angle, angles[i]);
        // Bytes after each name's NUL are the host's.
        EXPECT_EQ(e.colorName[std::strlen(names[i]) + 1], 0x5A);
        EXPECT_EQ(e.shapeName[8], 0x5A);
    }
    EXPECT_EQ(record->entries[8].colorName[0], 0x5A);
    EXPECT_STREQ(HalftoneShapeNames[kDefaultHalftoneShape], "Diamond");
    EXPECT_STREQ(HalftoneShapeNames[15], "Square");
}

class ScreeningRead : public ::testing::Test {
  protected:
    int Load(const std::string& doc) {
        root.WritePlain("ScreeningParams.xml", doc);
        record = JunkRecord();
        return LoadScreeningParamsWith(record.get(), &setup);
    }
    TempConfigRoot root;
    ScopedMessageScript messages;
    PrintSetup setup = MakeSetup("CP52", "Tarnwick Imaging", 0, 0, 0, 0);
    std::unique_ptr<ScreeningRecord> record;
};

TEST_F(ScreeningRead, ItemsReplaceEntriesInOrder) {
    EXPECT_EQ(
        Load(ScreenFile("<Item ColorName='Black' Angle='15' Frequency='80.5' ShapeName='Round'/>"
                        "<Item Angle='1' Frequency='1'/>"
                        "<Other ColorName='Skipped'/>"
                        "<Item ColorName='Spot 1' Frequency='60' ShapeName='NotAShape'/>"
                        "<Item ColorName='Yellow' Angle='x' Angle2='3'/>")),
        1);
    EXPECT_EQ(record->count, 3);
    EXPECT_STREQ(record->entries[0].colorName, "Black");
    EXPECT_STREQ(record->entries[0].shapeName, "Round");
    EXPECT_EQ(record->entries[0].angle, 15.0f);
    EXPECT_EQ(record->entries[0].frequency, 80.5f);
    // Missing numbers keep the value of the default entry at that position.
    EXPECT_STREQ(record->entries[1].colorName, "Spot 1");
    EXPECT_STREQ(record->entries[1].shapeName, "NotAShape");
    EXPECT_EQ(record->entries[1].angle, 75.0f);
    EXPECT_EQ(record->entries[2].angle, 90.0f);
    EXPECT_EQ(record->entries[2].frequency, 55.0f);
    EXPECT_STREQ(record->entries[2].shapeName, "");       // no "Diamond" kept
    EXPECT_STREQ(record->entries[3].colorName, "Black");  // default, beyond count
    EXPECT_TRUE(messages.requests().empty());
}

TEST_F(ScreeningRead, FirstItemWithoutAngleKeepsEntryZeroDefault) {
    EXPECT_EQ(Load(ScreenFile("<Item ColorName='Yellow' Frequency='70'/>")), 1);
    EXPECT_EQ(record->count, 1);
    EXPECT_EQ(record->entries[0].angle, 105.0f);
    EXPECT_EQ(record->entries[0].frequency, 70.0f);
}

TEST_F(ScreeningRead, FailuresLeaveTheDefaults) {
    EXPECT_EQ(Load(ScreenFile("")), 1);
    EXPECT_EQ(record->count, 8);
    EXPECT_EQ(Load(Hardware("<Model ID='Default'><Media ID='5'/></Model>")), 1);
    EXPECT_EQ(Load(Hardware("<Model ID='Default'><Media ID='0'><PrintMode ID='Default'>"
                            "<Resolution ID='Default'/></PrintMode></Media></Model>")),
              1);
    EXPECT_EQ(Load("<RootElement/>"), 1);
    EXPECT_EQ(Load("garbage"), 1);
    EXPECT_EQ(record->count, 8);
    EXPECT_STREQ(record->entries[7].colorName, "Green");
    ASSERT_EQ(messages.requests().size(), 2u);
    EXPECT_EQ(messages.requests()[0].text, "Getting media node fails");
    EXPECT_EQ(messages.requests()[1].text, "Getting colormode node fails");
}

TEST_F(ScreeningRead, NoFileWithoutBothNames) {
    const std::string doc = ScreenFile("<Item ColorName='Only'/>");
    setup.manufacturerName[0] = '\0';
    EXPECT_EQ(Load(doc), 1);
    EXPECT_EQ(record->count, 8);
    setup = MakeSetup("", "Tarnwick Imaging", 0, 0, 0, 0);
    EXPECT_EQ(Load(doc), 1);
    EXPECT_EQ(record->count, 8);
    EXPECT_EQ(LoadScreeningParamsWith(record.get(), nullptr), 1);
    EXPECT_EQ(record->count, 8);

    setup = MakeSetup("CP52", "Tarnwick Imaging", 0, 0, 0, 0);
    EXPECT_EQ(Load(doc), 1);
    EXPECT_EQ(record->count, 1);
}

}  // namespace
}  // namespace tarnwick
