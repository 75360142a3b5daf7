// The printer language called directly, without an engine: values in, bytes into a sink. Every
// expected stream here is written out by hand from the printer's command set.
#include "rtl/rtl_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rtl/printer_models.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

using namespace std::string_literals;

// Keeps what it takes, each write after a '|' and a flush as "<flush>"; refuses write `failAt`.
struct StringSink : ByteSink {
    bool Put(std::span<const uint8_t> bytes, bool flush) override {
        if (writes++ == failAt) return false;
        if (writes > 1) text += '|';
        text.append(bytes.begin(), bytes.end());
        if (flush) text += "<flush>";
        return true;
    }
    std::string text;
    int writes = 0;
    int failAt = -1;
};

JobValues Job(const char* model, std::function<void(JobValues&)> change = {}) {
    JobValues job;
    job.settings = kDefaultSettings;
    job.settings.modelClass = static_cast<uint8_t>(DetectModelClass(model));
    if (change) change(job);
    return job;
}

HeaderValues Page(int32_t resolution, int32_t passes, long plotLength, long plotWidth,
                  long sourceWidth, int32_t planes) {
    HeaderValues page;
    page.resolution = resolution;
    page.passes = passes;
    page.plotLength = plotLength;
    page.plotWidth = plotWidth;
    page.sourceWidth = sourceWidth;
    page.planeCount = planes;
    return page;
}

constexpr char kNamedReset[] =
    "@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\x1b"
    "E<flush>";

TEST(RtlWriter, HeadersFollowTheJobAndThePage) {
    const HeaderValues generic = Page(360, 4, 1411, 2822, 1000, 4);
    const HeaderValues named = Page(720, 8, 141, 2051, 1453, 6);
    struct Row {
        const char* name;
        JobValues job;
        HeaderValues page;
        int32_t devHeight, blankRows;
        bool whole;  // else expected is a part of the stream
        std::string expected;
    } rows[] = {
        {"named defaults", Job("CP52", [](JobValues& j) { j.calibrationText = "Roll~0.5"; }), named,
         100, 0, true,
         "\x1b"
         "E\x1b%-12345X|@PJL SET RESOLUTION=720\n|@PJL SET PASSES=8\n|@PJL SET BIDIRECTION=ON\n|"
         "@PJL SET OVERPRINT=1\n|@PJL SET CALIBRATION=0.50\n|@PJL SET SPACE=10\n|"
         "@PJL SET DRYINGTIME=0\n|@PJL SET CROPMARK=OFF\n|"
         "@PJL ENTER LANGUAGE=RDGL3\nPS141,2051;\x1b%0A|\x1b*r1453S\x1b*r100T\x1b*t720R\x1b*r-6U|"
         "\x1b*b2M\x1b*r1A"},
        {"settings of the record",
         Job("CP52",
             [](JobValues& j) {
                 j.settings.printDirection = 0;
                 j.settings.overprint = 2;
                 j.settings.pageSpacing = 10;
                 j.settings.dryTime = 6;
                 j.settings.cropMark = 1;
                 j.settings.mediaFeedCalibration = 0;
                 j.calibrationText = "~0.5";  // not read while calibration is off
             }),
         named, 100, 0, false,
         "|@PJL SET PASSES=8\n|@PJL SET BIDIRECTION=OFF\n|@PJL SET OVERPRINT=3\n|"
         "@PJL SET SPACE=100\n|@PJL SET DRYINGTIME=900\n|@PJL SET CROPMARK=ON\n|"},
        {"continued job, options off, generic",
         Job("Plain",
             [](JobValues& j) {
                 j.joinMode = 2;
                 j.settings.driverOptionsOff = 1;
             }),
         generic, 10, 0, false,
         "\x1b%-12345X|@PJL SET RESOLUTION=360\n|@PJL SET PASSES=4\n|@PJL RESET\n|"
         "@PJL ENTER LANGUAGE=RTL\n|"},
        {"continued job, options off, named",
         Job("Coldstream SP-1400C",
             [](JobValues& j) {
                 j.joinMode = 2;
                 j.settings.driverOptionsOff = 1;
             }),
         named, 10, 0, false, "|@PJL RESET\n|@PJL ENTER LANGUAGE=RDGL3\nPS141,2051;"},
        {"kept-open job", Job("Plain", [](JobValues& j) { j.joinMode = 1; }), generic, 10, 0, false,
         "\x1b"
         "E\x1b%-12345X|@PJL SET RESOLUTION=360\n|"},
        {"value out of the calibration range",
         Job("CP52", [](JobValues& j) { j.calibrationText = "Media~2"; }), named, 10, 0, false,
         "|@PJL SET OVERPRINT=1\n|@PJL SET SPACE=10\n|"},
    };
    uint8_t command[256];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StringSink sink;
        ScopedLogCapture log;
        ASSERT_TRUE(
            RtlWriter(sink, command).Header(row.job, row.page, row.devHeight, row.blankRows));
        if (row.whole) {
            EXPECT_EQ(sink.text, row.expected);
        } else {
            EXPECT_NE(sink.text.find(row.expected), std::string::npos) << sink.text;
        }
        // Only a calibration value left out is logged, and it says why.
        const bool omitted = row.job.settings.mediaFeedCalibration != 0 &&
                             row.job.settings.driverOptionsOff == 0 &&
                             sink.text.find("CALIBRATION") == std::string::npos;
        ASSERT_EQ(log.entries().size(), omitted ? 1u : 0u);
        if (omitted) {
            EXPECT_EQ(log.entries()[0].level, 'W');
            EXPECT_NE(log.entries()[0].text.find("range -1.99 to 1.99"), std::string::npos);
        }
    }
}

TEST(RtlWriter, PageEndsOfNamedAndGenericPrinters) {
    const auto named = [](const char* end) {
        return "\x1b*rC\x1b%0B"s + end + "\x1b%-12345X@PJL\n";
    };
    const std::string genericEnd =
        "@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
        "E<flush>";
    struct Row {
        const char* name;
        JobValues job;
        std::string expected;
    } rows[] = {
        {"named defaults", Job("CP52"), named("PG;") + kNamedReset},
        {"no advance parks the pen and does not cut",
         Job("ASBRU_V3C",
             [](JobValues& j) {
                 j.settings.advanceAfterPrint = 0;
                 j.settings.cutSheet = 1;
             }),
         named("!ST1;PU;PA0,0;!PG0") + kNamedReset},
        {"advance and cut", Job("ASBRU_V3C", [](JobValues& j) { j.settings.cutSheet = 1; }),
         named("PG;") + "@PJL DO SHEETCUT\n" + kNamedReset},
        {"options off: plain advance, no cut",
         Job("CP52",
             [](JobValues& j) {
                 j.settings.advanceAfterPrint = 0;
                 j.settings.cutSheet = 1;
                 j.settings.driverOptionsOff = 1;
             }),
         named("PG;") + kNamedReset},
        {"joined pages keep the job open", Job("CP52", [](JobValues& j) { j.joinMode = 1; }),
         "\x1b*rC<flush>"},
        {"an abort ignores join mode and settings",
         Job("CP52-LM",
             [](JobValues& j) {
                 j.joinMode = 1;
                 j.settings.advanceAfterPrint = 0;
                 j.settings.cutSheet = 1;
                 j.aborted = true;
             }),
         named("!PG;") + kNamedReset},
        {"generic cuts whatever the advance, abort or not",
         Job("Plain RTL",
             [](JobValues& j) {
                 j.settings.cutSheet = 1;
                 j.settings.advanceAfterPrint = 0;
                 j.aborted = true;
             }),
         "\x1b*rC\x1b%-12345X|@PJL DO SHEETCUT\n|" + genericEnd},
        {"generic, options off",
         Job("Plain",
             [](JobValues& j) {
                 j.settings.cutSheet = 1;
                 j.settings.driverOptionsOff = 1;
             }),
         "\x1b*rC\x1b%-12345X|" + genericEnd},
        {"generic without cut", Job("Plain"), "\x1b*rC\x1b%-12345X|" + genericEnd},
    };
    uint8_t command[256];
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StringSink sink;
        ASSERT_TRUE(RtlWriter(sink, command).PageEnd(row.job));
        EXPECT_EQ(sink.text, row.expected);
    }
}

TEST(RtlWriter, RowsArePackBitsTransfersAndBlankRowsEmptyOnes) {
    using Rows = std::vector<std::vector<uint8_t>>;
    struct Row {
        Rows planes;
        std::string expected;
    } rows[] = {
        {{{0x12, 0x34}}, "\x1b*b3W|\x01\x12\x34"},
        {{{0, 0, 0, 0}, {1, 2, 3}, {0xAA, 0xAA, 0xAB}, {0x7F}},
         "\x1b*b2V|\xfd\x00|\x1b*b4V|\x02\x01\x02\x03|\x1b*b4V|\xff\xaa\x00\xab|\x1b*b2W|\x00\x7f"s},
        {{{}}, "\x1b*b0W|"},
    };
    uint8_t command[256];
    for (const Row& row : rows) {
        StringSink sink;
        RtlWriter writer(sink, command);
        for (std::size_t k = 0; k < row.planes.size(); ++k) {
            ASSERT_TRUE(writer.PlaneRow(row.planes[k], k + 1 == row.planes.size()));
        }
        EXPECT_EQ(sink.text, row.expected);
    }
    StringSink sink;
    RtlWriter writer(sink, command);
    ASSERT_TRUE(writer.BlankRows(0));
    EXPECT_EQ(sink.writes, 0);
    ASSERT_TRUE(writer.BlankRows(3));
    EXPECT_EQ(sink.text, "\x1b*b0W|\x1b*b0W|\x1b*b0W");
}

// Any write the sink does not take whole ends the operation there; so does a command buffer too
// small for a command, or a row that might not fit it once compressed.
TEST(RtlWriter, StopsAtTheFirstWriteThatFails) {
    enum Op { kHeader, kHeaderOptionsOff, kGenericEnd, kNamedEnd, kBlankRows, kRow, kWideRow };
    struct Row {
        Op op;
        int failAt;
        std::size_t commandSize;
        const char* log;
    } rows[] = {
        {kHeader, 0, 256, nullptr},
        {kHeader, 1, 256, nullptr},
        {kHeaderOptionsOff, 2, 256, nullptr},
        {kHeaderOptionsOff, 3, 256, nullptr},  // the reset line
        {kHeader, 12, 256, nullptr},           // a blank row
        {kGenericEnd, 0, 256, nullptr},
        {kGenericEnd, 1, 256, nullptr},
        {kGenericEnd, 2, 256, nullptr},
        {kNamedEnd, 0, 256, nullptr},
        {kBlankRows, 1, 256, nullptr},
        {kRow, 0, 256, nullptr},
        {kRow, 1, 256, nullptr},
        {kHeader, -1, 8, "printer command does not fit the buffer"},
        {kNamedEnd, -1, 8, "printer command does not fit the buffer"},
        {kHeader, -1, 0, "no command buffer"},
        // 20,321 bytes compress to at most 20,480; one more might not.
        {kWideRow, -1, 20480, "plane row of 20322 bytes exceeds the command buffer"},
    };
    uint8_t command[20480];
    const std::vector<uint8_t> row(4, 1);
    const std::vector<uint8_t> wide(20322, 0x5A);
    const JobValues optionsOff = Job("CP52", [](JobValues& j) { j.settings.driverOptionsOff = 1; });
    const JobValues cut = Job("Plain", [](JobValues& j) { j.settings.cutSheet = 1; });
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.op) + " failing at " + std::to_string(r.failAt));
        StringSink sink;
        sink.failAt = r.failAt;
        RtlWriter w(sink, std::span<uint8_t>(command, r.commandSize));
        ScopedLogCapture log;
        const bool done = r.op == kHeader             ? w.Header(Job("Plain"), {}, 1, 5)
                          : r.op == kHeaderOptionsOff ? w.Header(optionsOff, {}, 1, 5)
                          : r.op == kGenericEnd       ? w.PageEnd(cut)
                          : r.op == kNamedEnd         ? w.PageEnd(Job("CP52"))
                          : r.op == kBlankRows        ? w.BlankRows(3)
                          : r.op == kRow              ? w.PlaneRow(row, true)
                                                      : w.PlaneRow(wide, true);
        EXPECT_FALSE(done);
        EXPECT_EQ(sink.writes, r.failAt + 1) << "writes after the failed one";
        ASSERT_EQ(log.entries().size(), r.log != nullptr ? 1u : 0u);
        if (r.log != nullptr) {
            EXPECT_EQ(log.entries()[0].text, r.log);
            EXPECT_EQ(log.entries()[0].source, "PrinterDriver/Common/Xsrc/RTL");
            EXPECT_EQ(log.entries()[0].level, 'E');
        }
    }
    StringSink sink;
    RtlWriter writer(sink, command);
    EXPECT_TRUE(writer.PlaneRowFits(20321));
    ScopedLogCapture log;
    EXPECT_FALSE(writer.PlaneRowFits(-1));
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].text, "plane row of negative length -1");
}

}  // namespace
}  // namespace tarnwick
