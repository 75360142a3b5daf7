// The printer language called directly, without an engine: values in, bytes into a sink.
#include "rtl/rtl_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/printer_models.h"

namespace tarnwick {
namespace {

// Keeps what it takes; refuses everything from write number `failAt` on.
struct StringSink : ByteSink {
    bool Put(std::span<const uint8_t> bytes, bool flush) override {
        if (writes++ == failAt) return false;
        text.append(bytes.begin(), bytes.end());
        if (flush) text += "<flush>";
        return true;
    }
    std::string text;
    int writes = 0;
    int failAt = -1;
};

JobValues Job(int modelClass) {
    JobValues job;
    job.settings = kDefaultSettings;
    job.settings.modelClass = static_cast<uint8_t>(modelClass);
    return job;
}

TEST(RtlWriter, WritesHeaderRowsAndPageEndFromValues) {
    HeaderValues page;
    page.resolution = 360;
    page.passes = 4;
    page.plotLength = 100;
    page.plotWidth = 200;
    page.sourceWidth = 16;
    page.planeCount = 4;
    uint8_t command[256];
    struct Case {
        int modelClass;
        bool aborted;
        std::string header;
        std::string end;
    } cases[] = {
        {kModelGeneric, false,
         "\x1b"
         "E\x1b%-12345X@PJL SET RESOLUTION=360\n@PJL SET PASSES=4\n"
         "@PJL SET BIDIRECTION=ON\n@PJL SET OVERPRINT=1\n@PJL SET CALIBRATION=0.00\n"
         "@PJL SET SPACE=10\n"
         "@PJL ENTER LANGUAGE=RTL\n\x1b*r16S\x1b*r3T\x1b*t360R\x1b*r-4U\x1b*b2M\x1b*r1A\x1b*b0W",
         "\x1b*rC\x1b%-12345X@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
         "E<flush>"},
        {1, true, "",
         "\x1b*rC\x1b%0B!PG;\x1b%-12345X@PJL\n@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\x1b"
         "E<flush>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.modelClass);
        JobValues job = Job(c.modelClass);
        job.aborted = c.aborted;
        StringSink sink;
        RtlWriter writer(sink, command);
        ASSERT_TRUE(writer.Header(job, page, 3, 1));
        if (!c.header.empty()) {
            EXPECT_EQ(sink.text, c.header);
        }
        sink.text.clear();
        const uint8_t row[] = {7, 7, 7, 7, 1};
        ASSERT_TRUE(writer.PlaneRow(row, false));
        ASSERT_TRUE(writer.PlaneRow({}, true));
        EXPECT_EQ(sink.text, std::string("\x1b*b4V\xfd\x07\x00\x01\x1b*b0W", 14));
        sink.text.clear();
        ASSERT_TRUE(writer.PageEnd(job));
        EXPECT_EQ(sink.text, c.end);
    }
}

TEST(RtlWriter, StopsAtTheFirstWriteTheSinkRefuses) {
    uint8_t command[256];
    for (int failAt = 0; failAt < 4; ++failAt) {
        StringSink sink;
        sink.failAt = failAt;
        RtlWriter writer(sink, command);
        EXPECT_FALSE(writer.Header(Job(kModelGeneric), HeaderValues{}, 1, 5));
        EXPECT_EQ(sink.writes, failAt + 1);
    }
    StringSink sink;
    RtlWriter small(sink, std::span<uint8_t>(command, 8));
    const std::vector<uint8_t> wide(64, 0x55);
    EXPECT_FALSE(small.PlaneRow(wide, true)) << "a row that may not fit once compressed";
    EXPECT_TRUE(sink.text.empty());
}

}  // namespace
}  // namespace tarnwick
