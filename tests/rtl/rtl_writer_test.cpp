// The printer language called directly, without an engine: values in, bytes into a sink, against
// the hand-written streams of rtl_streams.txt.
#include "rtl/rtl_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "rtl/printer_models.h"
#include "rtl/text_table.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

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

// The model's defaults with CHANGES applied; calibration text is kept in `text`.
JobValues Job(const std::string& model, const std::string& changes, std::string& text) {
    JobValues job;
    job.settings = kDefaultSettings;
    job.settings.modelClass = static_cast<uint8_t>(DetectModelClass(model.c_str()));
    std::istringstream items(changes == "-" ? "" : changes);
    for (std::string item; std::getline(items, item, ',');) {
        const std::string key = item.substr(0, item.find('='));
        const std::string value = item.substr(key.size() + 1);
        if (key == "calibration") {
            text = value;
            job.calibrationText = text.c_str();
            continue;
        }
        const int n = std::stoi(value);
        uint8_t* field = test::SettingsField(job.settings, key);
        if (field != nullptr) {
            *field = static_cast<uint8_t>(n);
        } else if (key == "join") {
            job.joinMode = n;
        } else {
            EXPECT_EQ(key, "aborted");
            job.aborted = n != 0;
        }
    }
    return job;
}

HeaderValues Page(const std::string& name) {
    HeaderValues page;
    const bool named = name == "named";
    page.resolution = named ? 720 : 360;
    page.passes = named ? 8 : 4;
    page.plotLength = named ? 141 : 1411;
    page.plotWidth = named ? 2051 : 2822;
    page.sourceWidth = named ? 1453 : 1000;
    page.planeCount = named ? 6 : 4;
    return page;
}

TEST(RtlWriter, StreamsOfTheTable) {
    uint8_t command[20480];
    const std::vector<uint8_t> row(4, 1);
    const std::vector<uint8_t> wide(20322, 0x5A);
    for (const test::TableRow& r : test::ReadTable(__FILE__, "rtl_streams.txt")) {
        SCOPED_TRACE(r.where);
        StringSink sink;
        ScopedLogCapture log;
        std::string text;
        if (r[0] == "header") {
            const JobValues job = Job(r[1], r[3], text);
            ASSERT_TRUE(RtlWriter(sink, command).Header(job, Page(r[2]), 100, 0));
            if (r[4] == "=") {
                EXPECT_EQ(sink.text, r[5]);
            } else {
                EXPECT_NE(sink.text.find(r[5]), std::string::npos) << sink.text;
            }
            // Only a calibration value left out is logged, and it says why.
            const bool omitted = job.settings.mediaFeedCalibration != 0 &&
                                 job.settings.driverOptionsOff == 0 &&
                                 sink.text.find("CALIBRATION") == std::string::npos;
            ASSERT_EQ(log.entries().size(), omitted ? 1u : 0u);
            if (omitted) {
                EXPECT_EQ(log.entries()[0].level, 'W');
                EXPECT_NE(log.entries()[0].text.find("range -1.99 to 1.99"), std::string::npos);
            }
        } else if (r[0] == "end") {
            ASSERT_TRUE(RtlWriter(sink, command).PageEnd(Job(r[1], r[2], text)));
            EXPECT_EQ(sink.text, r[3]);
        } else if (r[0] == "rows") {
            std::vector<std::string> planes(1);
            for (char c : r[1]) {
                if (c == '/') {
                    planes.emplace_back();
                } else {
                    planes.back().push_back(c);
                }
            }
            RtlWriter writer(sink, command);
            for (std::size_t k = 0; k < planes.size(); ++k) {
                ASSERT_TRUE(writer.PlaneRow(test::HexBytes(planes[k]), k + 1 == planes.size()));
            }
            EXPECT_EQ(sink.text, r[2]);
        } else if (r[0] == "blank") {
            ASSERT_TRUE(RtlWriter(sink, command).BlankRows(r.Int(1)));
            EXPECT_EQ(sink.text, r[2]);
            EXPECT_EQ(sink.writes, r.Int(1));
        } else {
            // Any write the sink does not take whole ends the operation there; so does a command
            // buffer too small for a command, or a row that might not fit it once compressed.
            ASSERT_EQ(r[0], "fail");
            sink.failAt = r.Int(2);
            RtlWriter w(sink, std::span<uint8_t>(command, std::stoul(r[3])));
            const std::string& op = r[1];
            const bool done = op == "header"      ? w.Header(Job("Plain", "-", text), {}, 1, 5)
                              : op == "end-named" ? w.PageEnd(Job("CP52", "-", text))
                              : op == "blank"     ? w.BlankRows(3)
                              : op == "row"       ? w.PlaneRow(row, true)
                              : op == "wide-row"  ? w.PlaneRow(wide, true)
                              : op == "end-generic"
                                  ? w.PageEnd(Job("Plain", "cutSheet=1", text))
                                  : w.Header(Job("CP52", "driverOptionsOff=1", text), {}, 1, 5);
            EXPECT_FALSE(done);
            EXPECT_EQ(sink.writes, r.Int(2) + 1) << "writes after the failed one";
            ASSERT_EQ(log.entries().size(), r[4] != "-" ? 1u : 0u);
            if (r[4] != "-") {
                EXPECT_EQ(log.entries()[0].text, r[4]);
                EXPECT_EQ(log.entries()[0].source, "PrinterDriver/Common/Xsrc/RTL");
                EXPECT_EQ(log.entries()[0].level, 'E');
            }
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
