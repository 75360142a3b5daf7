// Job header streams, written out by hand from the printer's command set.
#include <locale.h>

#include <cstring>

#include "host/kv_log.h"
#include "rtl_test_support.h"
#include "support/log_capture.h"

namespace tarnwick::rtl_test {
namespace {

using Strings = std::vector<std::string>;

constexpr char kResetAndUel[] = "\033E\033%-12345X";

class RtlHeaderTest : public RtlTest {
  protected:
    void SetCalibrationText(const char* text) {
        std::strncpy(ctx.m_szCalibrationText, text, sizeof(ctx.m_szCalibrationText) - 1);
    }
    // Items from RESOLUTION up to the language entry.
    Strings SettingLines() const {
        const Strings items = Items();
        Strings lines;
        for (std::size_t i = 1; i < items.size() && items[i].rfind("@PJL ENTER", 0) != 0; ++i) {
            lines.push_back(items[i]);
        }
        return lines;
    }
    // A page of 1000 x 100 pixels.
    void Page(int32_t dpi = 720) {
        ctx.m_nFullWidth = 1000;
        rtl->SetGeometry(dpi, dpi, 1000, 100, 0);
        rtl->SetRowBufSize(4096);
    }
    std::string FromEnd(std::size_t back) const { return Items()[Items().size() - 1 - back]; }
};

TEST_F(RtlHeaderTest, GenericPrinterWithDefaultsAndNoColorBar) {
    PrinterSettings& s = StartJob("Plain RTL 24");
    s.colorBar = 0;
    SetCalibrationText("Glossy paper");
    ctx.m_nFullWidth = 1000;
    ctx.m_nRowCounter = 5;
    rtl->SetGeometry(360, 360, 1000, 500, 2);

    ASSERT_EQ(rtl->SendHeader(), 1);
    const Strings expected = {
        kResetAndUel,
        "@PJL SET RESOLUTION=360\n",
        "@PJL SET PASSES=4\n",
        "@PJL SET BIDIRECTION=ON\n",
        "@PJL SET OVERPRINT=1\n",
        "@PJL SET CALIBRATION=0.00\n",
        "@PJL SET SPACE=10\n",
        "@PJL ENTER LANGUAGE=RTL\n",
        "\x1b*r1000S\x1b*r500T\x1b*t360R\x1b*r-4U",
        "\x1b*b2M\x1b*r1A",
        "\x1b*b0W",
        "\x1b*b0W",
    };
    EXPECT_EQ(Items(), expected);
    for (const auto& call : rtl->calls) EXPECT_EQ(call.flush, 0);
    EXPECT_EQ(ctx.m_nRowCounter, 5) << "the print loop counts the rows, not the language";
    EXPECT_EQ(rtl->RowBytes(), 154);  // (1000 + 226 strip pixels + 7) / 8

    // Nothing reaches the host until the page end flushes.
    EXPECT_TRUE(channel.writes.empty());
    rtl->WriteNdata(nullptr, 0, 1);
    ASSERT_EQ(channel.writes.size(), 1u);
    EXPECT_EQ(channel.writes[0], Stream());
    EXPECT_EQ(channel.tags[0], 0x5eed);
}

TEST_F(RtlHeaderTest, Cp52SuperModeWithDefaults) {
    StartJob("CP52");
    SetCalibrationText("Roll~0.5");
    job.m_nPrintMode = 1;
    Page();

    ASSERT_EQ(rtl->SendHeader(), 1);
    const Strings expected = {
        kResetAndUel,
        "@PJL SET RESOLUTION=720\n",
        "@PJL SET PASSES=8\n",
        "@PJL SET BIDIRECTION=ON\n",
        "@PJL SET OVERPRINT=1\n",
        "@PJL SET CALIBRATION=0.50\n",
        "@PJL SET SPACE=10\n",
        "@PJL SET DRYINGTIME=0\n",
        "@PJL SET CROPMARK=OFF\n",
        // 100 rows at 720 dpi = 141.1 units; (453.5424 + 1000) px * 1016 / 720 = 2051.1
        "@PJL ENTER LANGUAGE=RDGL3\nPS141,2051;\x1b%0A",
        // the default colour bar adds trunc(0.62992 * 720) = 453 pixels and six planes
        "\x1b*r1453S\x1b*r100T\x1b*t720R\x1b*r-6U",
        "\x1b*b2M\x1b*r1A",
    };
    EXPECT_EQ(Items(), expected);
    EXPECT_EQ(ctx.m_nRowCounter, 0);
    EXPECT_EQ(rtl->RowBytes(), 182);
}

TEST_F(RtlHeaderTest, ResolutionAndPassesFollowModelClassAndMode) {
    struct Case {
        const char* model;
        int32_t mode;
        int32_t dpi;
        int resolution;
        int passes;
    };
    const Case cases[] = {
        {"ASBRU_V3C", 6, 720, 1440, 16}, {"CP52", 6, 360, 360, 16},   {"CP52", 0, 720, 720, 4},
        {"CP52", 2, 720, 720, 1},        {"CP52", 3, 720, 720, 2},    {"CP52", 4, 540, 540, 6},
        {"CP52", 5, 720, 720, 4},        {"CP52", 7, 720, 720, 6},    {"CP52", -1, 720, 720, 6},
        {"CP52-LM", 0, 360, 360, 4},     {"CP52-LM", 2, 720, 720, 8}, {"CP52-LM", 9, 720, 720, 8},
        {"Other", 6, 720, 720, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " mode " + std::to_string(c.mode));
        rtl->calls.clear();
        StartJob(c.model);
        job.m_nPrintMode = c.mode;
        Page(c.dpi);
        ASSERT_EQ(rtl->SendHeader(), 1);
        const std::string r = std::to_string(c.resolution);
        EXPECT_EQ(Items()[1], "@PJL SET RESOLUTION=" + r + "\n");
        EXPECT_EQ(Items()[2], "@PJL SET PASSES=" + std::to_string(c.passes) + "\n");
        EXPECT_NE(FromEnd(1).find("\x1b*t" + r + "R"), std::string::npos);
    }
}

TEST_F(RtlHeaderTest, JoinModeAndDriverOptionsOff) {
    for (const char* model : {"Plain", "Coldstream SP-1400C"}) {
        SCOPED_TRACE(model);
        rtl->calls.clear();
        PrinterSettings& s = StartJob(model);
        s.driverOptionsOff = 1;
        job.m_nJoinMode = 2;
        Page();
        ASSERT_EQ(rtl->SendHeader(), 1);
        const Strings items = Items();
        ASSERT_GE(items.size(), 5u);
        EXPECT_EQ(items[0], "\x1b%-12345X");
        EXPECT_EQ(items[3], "@PJL RESET\n");
        EXPECT_EQ(items[4].rfind("@PJL ENTER LANGUAGE=", 0), 0u);
    }
    rtl->calls.clear();
    job.m_nJoinMode = 1;
    ASSERT_EQ(rtl->SendHeader(), 1);
    EXPECT_EQ(Items()[0], kResetAndUel);
}

TEST_F(RtlHeaderTest, SettingLinesFollowTheRecord) {
    PrinterSettings& s = StartJob("CP52");
    s.printDirection = 0;
    s.overprint = 2;
    s.pageSpacing = 10;
    s.dryTime = 6;
    s.cropMark = 1;
    s.mediaFeedCalibration = 0;
    SetCalibrationText("~0.5");  // not read while calibration is off
    Page();
    ASSERT_EQ(rtl->SendHeader(), 1);
    EXPECT_EQ(SettingLines(), (Strings{"@PJL SET RESOLUTION=720\n", "@PJL SET PASSES=4\n",
                                       "@PJL SET BIDIRECTION=OFF\n", "@PJL SET OVERPRINT=3\n",
                                       "@PJL SET SPACE=100\n", "@PJL SET DRYINGTIME=900\n",
                                       "@PJL SET CROPMARK=ON\n"}));
}

// A byte past its range would go out as a setting the printer does not have (OVERPRINT=-55,
// SPACE=-560): the page is refused before its first byte, the log naming the field.
TEST_F(RtlHeaderTest, SettingsOutOfRangeRefuseThePage) {
    struct Case {
        uint8_t PrinterSettings::*field;
        uint8_t value;
        const char* line;
    };
    const Case cases[] = {
        {&PrinterSettings::overprint, 200,
         "Overprint (settings byte 4) is 200, out of its range 0 to 2"},
        {&PrinterSettings::pageSpacing, 11,
         "Page Spacing (settings byte 3) is 11, out of its range 0 to 10"},
        {&PrinterSettings::dryTime, 7, "Dry Time (settings byte 6) is 7, out of its range 0 to 6"},
        {&PrinterSettings::colorBar, 128,
         "Color Bar (settings byte 13) is 128, out of its range 0 to 2"},
        {&PrinterSettings::printDirection, 2, "Print Direction (settings byte 2) is 2"},
        {&PrinterSettings::cropMark, 255,
         "Crop Mark (settings byte 7) is 255, out of its range 0 to 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        rtl->calls.clear();
        PrinterSettings& s = StartJob("CP52");
        s.*c.field = c.value;
        Page();
        ScopedLogCapture log;
        EXPECT_EQ(rtl->SendHeader(), 0);
        EXPECT_TRUE(rtl->calls.empty()) << "nothing of the page may be sent";
        ASSERT_EQ(log.entries().size(), 1u);
        EXPECT_NE(log.entries()[0].text.find(c.line), std::string::npos) << log.entries()[0].text;
        // The largest value of the range is sent.
        s.*c.field = 0;
        rtl->calls.clear();
        EXPECT_EQ(rtl->SendHeader(), 1);
    }
}

TEST_F(RtlHeaderTest, CalibrationIsSentOnlyInsideTheOpenRange) {
    StartJob("CP52");
    Page();
    const std::pair<const char*, const char*> cases[] = {
        {"Media~-1.5", "@PJL SET CALIBRATION=-1.50\n"},
        {"Media~2", "@PJL SET SPACE=10\n"},
        {"Media~-2.5", "@PJL SET SPACE=10\n"},
        {"Media~nan", "@PJL SET SPACE=10\n"},
        {"Media~abc", "@PJL SET CALIBRATION=0.00\n"},
        // Sent as printed: what rounds to 2.00 is outside the range.
        {"Media~1.996", "@PJL SET SPACE=10\n"},
        {"Media~-1.9951", "@PJL SET SPACE=10\n"},
        {"Media~1.9949", "@PJL SET CALIBRATION=1.99\n"},
    };
    for (const auto& [text, line] : cases) {
        SCOPED_TRACE(text);
        rtl->calls.clear();
        SetCalibrationText(text);
        ScopedLogCapture log;
        ASSERT_EQ(rtl->SendHeader(), 1);
        EXPECT_EQ(SettingLines()[4], line);
        // A value left out says why.
        const bool omitted = std::string(line).find("CALIBRATION") == std::string::npos;
        ASSERT_EQ(log.entries().size(), omitted ? 1u : 0u);
        if (omitted) {
            EXPECT_NE(log.entries()[0].text.find("range -1.99 to 1.99"), std::string::npos);
        }
    }
    EXPECT_EQ(RTL::GetCalibrationValue("x~1.5y"), 1.5);
    EXPECT_EQ(RTL::GetCalibrationValue("a~b~1"), 0.0);
    EXPECT_EQ(RTL::GetCalibrationValue("~"), 0.0);
    EXPECT_EQ(RTL::GetCalibrationValue(nullptr), 0.0);
}

TEST_F(RtlHeaderTest, CalibrationUsesADecimalPointUnderACommaLocale) {
    locale_t comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        comma = newlocale(LC_ALL_MASK, name, nullptr);
        if (comma != nullptr) break;
    }
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    const locale_t previous = uselocale(comma);
    StartJob("CP52");
    Page();
    SetCalibrationText("Roll 2~1.25");
    const int result = rtl->SendHeader();
    const double parsed = RTL::GetCalibrationValue("x~0.75");
    uselocale(previous);
    freelocale(comma);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(SettingLines()[4], "@PJL SET CALIBRATION=1.25\n");
    EXPECT_EQ(parsed, 0.75);
}

TEST_F(RtlHeaderTest, ColorBarWidensTheRasterByTheRepeatedStrip) {
    PrinterSettings& s = StartJob("CP52");
    s.colorBar = 2;
    ctx.m_nPlanes = 1;
    ctx.m_nScaleX = 2;
    ctx.m_nFullWidth = 500;
    rtl->SetGeometry(720, 720, 1000, 100, 0);
    rtl->SetRowBufSize(4096);
    ASSERT_EQ(rtl->SendHeader(), 1);
    // Strip: trunc(453.5424 * 2) = 907 device pixels, but 453 job pixels per row.
    EXPECT_EQ(FromEnd(2), "@PJL ENTER LANGUAGE=RDGL3\nPS141,2691;\x1b%0A");
    EXPECT_EQ(FromEnd(1), "\x1b*r1907S\x1b*r100T\x1b*t720R\x1b*r-6U");
    EXPECT_EQ(rtl->RowBytes(), 239);  // ((500 + 453) * 2 + 7) / 8

    // Without the bar only a six-plane job declares six planes.
    rtl->calls.clear();
    s.colorBar = 0;
    ctx.m_nPlanes = 6;
    ASSERT_EQ(rtl->SendHeader(), 1);
    EXPECT_EQ(FromEnd(1), "\x1b*r1000S\x1b*r100T\x1b*t720R\x1b*r-6U");
}

TEST_F(RtlHeaderTest, PlotSizeKeepsSinglePrecisionWithoutColorBar) {
    PrinterSettings& s = StartJob("CP52");
    s.colorBar = 0;
    ctx.m_nFullWidth = 92911;
    rtl->SetGeometry(360, 720, 92912, 133155, 0);
    ASSERT_EQ(rtl->SendHeader(), 1);
    // Double precision would round these to 187897 and 262215.
    EXPECT_EQ(FromEnd(2), "@PJL ENTER LANGUAGE=RDGL3\nPS187896,262216;\x1b%0A");
    EXPECT_EQ(FromEnd(1), "\x1b*r92912S\x1b*r133155T\x1b*t360R\x1b*r-4U");
}

TEST_F(RtlHeaderTest, FailedWriteStopsTheHeader) {
    StartJob("CP52");
    Page();
    // Any write that is not taken whole ends the header there, the reset line of a job with
    // the driver options off included.
    for (const bool optionsOff : {false, true}) {
        ctx.m_Settings.settings.driverOptionsOff = optionsOff ? 1 : 0;
        for (const std::size_t call : {std::size_t{2}, std::size_t{3}}) {
            rtl->calls.clear();
            rtl->failCall = call;
            EXPECT_EQ(rtl->SendHeader(), 0);
            EXPECT_EQ(rtl->calls.size(), call + 1);
        }
    }
}

TEST_F(RtlHeaderTest, RefusesPagesItCannotSendBeforeWritingAnything) {
    ScopedLogCapture log;
    PrinterSettings& s = StartJob("Plain");
    s.colorBar = 0;
    ctx.m_nFullWidth = 162600;  // 20,325-byte planes: too big once compressed
    rtl->SetGeometry(360, 360, 162600, 10, 0);
    EXPECT_EQ(rtl->SendHeader(), 0);

    // The strip has to fit into the line buffers.
    s.colorBar = 1;
    ctx.m_nFullWidth = 1000;
    rtl->SetGeometry(360, 360, 1000, 10, 0);
    rtl->SetRowBufSize(153);
    EXPECT_EQ(rtl->SendHeader(), 0);

    // No resolution, no header (and no division by zero).
    rtl->SetRowBufSize(4096);
    rtl->SetGeometry(0, 360, 1000, 10, 0);
    EXPECT_EQ(rtl->SendHeader(), 0);

    EXPECT_TRUE(rtl->calls.empty());
    ASSERT_EQ(log.entries().size(), 3u);
    EXPECT_NE(log.entries()[0].text.find("exceeds the command buffer"), std::string::npos);
    EXPECT_EQ(log.entries()[0].source, "PrinterDriver/Common/Xsrc/RTL");
    EXPECT_EQ(log.entries()[0].level, 'E');
}

TEST_F(RtlHeaderTest, BlankRowsAreWrittenAndNotCounted) {
    StartJob("Plain");
    EXPECT_EQ(rtl->SendBlankRows(0), 1);
    EXPECT_TRUE(rtl->calls.empty());
    EXPECT_EQ(rtl->SendBlankRows(3), 1);
    EXPECT_EQ(Items(), (Strings{"\x1b*b0W", "\x1b*b0W", "\x1b*b0W"}));
    EXPECT_EQ(ctx.m_nRowCounter, 0);
    rtl->calls.clear();
    rtl->failCall = 1;  // the second row goes short
    rtl->failResult = 2;
    EXPECT_EQ(rtl->SendBlankRows(3), 0);
    EXPECT_EQ(rtl->calls.size(), 2u);
}

}  // namespace
}  // namespace tarnwick::rtl_test
