// The printer class and its language without a job: hand-written streams (rtl_streams.txt), header
// numbers worked out by hand (header_values.txt) and what the class tells the host (capabilities).
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <sstream>
#include <tuple>

#include "rtl/color_bar.h"
#include "rtl/header_values.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_writer.h"
#include "rtl/settings_check.h"
#include "rtl/text_table.h"
#include "support/comma_locale.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

// Keeps what it takes, each write after a '|' and a flush as "<flush>"; refuses write `failAt`.
struct StringSink : ByteSink {
    bool Put(std::span<const uint8_t> bytes, bool flush) override {
        if (writes++ == failAt) return false;
        text += (writes > 1 ? "|" : "") + std::string(bytes.begin(), bytes.end());
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
    for (const std::string& item : test::Split(changes, ',')) {
        if (item.find('=') == std::string::npos) continue;  // "-": no changes
        const std::string key = item.substr(0, item.find('=')), value = item.substr(key.size() + 1);
        uint8_t* field = test::SettingsField(job.settings, key);
        if (key == "calibration") {
            text = value;
            job.calibrationText = text.c_str();
        } else if (field != nullptr) {
            *field = static_cast<uint8_t>(std::stoi(value));
        } else if (key == "join") {
            job.joinMode = std::stoi(value);
        } else {
            EXPECT_EQ(key, "aborted");
            job.aborted = value != "0";
        }
    }
    return job;
}

// Only a calibration value left out is logged, and it says why; a failed operation logs its
// LOG ("-": nothing).
void ExpectLog(const ScopedLogCapture& log, const std::string& expected, char level = 'E') {
    ASSERT_EQ(log.entries().size(), expected != "-" ? 1u : 0u);
    if (expected == "-") return;
    EXPECT_NE(log.entries()[0].text.find(expected), std::string::npos) << log.entries()[0].text;
    EXPECT_EQ(std::tuple(log.entries()[0].source, log.entries()[0].level),
              std::tuple("PrinterDriver/Common/Xsrc/RTL", level));
}

TEST(RtlWriter, StreamsOfTheTable) {
    uint8_t command[20480];
    for (const test::TableRow& r : test::ReadTable(__FILE__, "rtl_streams.txt")) {
        SCOPED_TRACE(r.where);
        StringSink sink;
        ScopedLogCapture log;
        std::string text;
        RtlWriter writer(sink, command);
        if (r[0] == "header") {
            const JobValues job = Job(r[1], r[3], text);
            HeaderValues page;
            std::istringstream(r[2]) >> page.resolution >> page.passes >> page.plotLength >>
                page.plotWidth >> page.sourceWidth >> page.planeCount;
            ASSERT_TRUE(writer.Header(job, page, 100, 0));
            EXPECT_TRUE(r[4] == "=" ? sink.text == r[5] : sink.text.find(r[5]) != std::string::npos)
                << sink.text;
            const bool omitted = job.settings.mediaFeedCalibration != 0 &&
                                 job.settings.driverOptionsOff == 0 &&
                                 sink.text.find("CALIBRATION") == std::string::npos;
            ExpectLog(log, omitted ? "range -1.99 to 1.99" : "-", 'W');
        } else if (r[0] == "end") {
            ASSERT_TRUE(writer.PageEnd(Job(r[1], r[2], text)));
            EXPECT_EQ(sink.text, r[3]);
        } else if (r[0] == "rows") {
            const std::vector<std::string> planes = test::Split(r[1], '/');
            for (std::size_t k = 0; k < planes.size(); ++k) {
                ASSERT_TRUE(writer.PlaneRow(test::HexBytes(planes[k]), k + 1 == planes.size()));
            }
            EXPECT_EQ(sink.text, r[2]);
        } else if (r[0] == "blank") {
            ASSERT_TRUE(writer.BlankRows(r.Int(1)));
            EXPECT_EQ(std::tuple(sink.text, sink.writes), std::tuple(r[2], r.Int(1)));
        } else if (r[0] == "fits") {
            EXPECT_EQ(writer.PlaneRowFits(r.Int(1)), r.Int(2) == 1);
            ExpectLog(log, r[3]);
        } else {
            // Any write the sink does not take whole ends the operation there; so does a command
            // buffer too small for a command, or a row that might not fit it once compressed.
            ASSERT_EQ(r[0], "fail");
            sink.failAt = r.Int(4);
            RtlWriter w(sink, std::span<uint8_t>(command, std::stoul(r[5])));
            const bool done = r[1] == "header"  ? w.Header(Job(r[2], r[3], text), {}, 1, 5)
                              : r[1] == "end"   ? w.PageEnd(Job(r[2], r[3], text))
                              : r[1] == "blank" ? w.BlankRows(r.Int(2))
                                                : w.PlaneRow(test::HexBytes(r[2]), true);
            EXPECT_FALSE(done);
            EXPECT_EQ(sink.writes, r.Int(4) + 1) << "writes after the failed one";
            ExpectLog(log, r[6]);
        }
    }
}

void HeaderValueRows() {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "header_values.txt")) {
        SCOPED_TRACE(r.where);
        std::string error;
        const auto in = [&r] {
            return HeaderInputs{r.Int(1),          r.Int(2),          r.Int(3), r.Int(4),
                                r.Int(5),          r.Int(6),          r.Int(7), r.Int(8),
                                uint8_t(r.Int(9)), uint8_t(r.Int(10))};
        };
        if (r[0] == "geometry") {
            const HeaderValues v = ComputeHeaderValues(in());
            ASSERT_EQ(v.error, nullptr);
            const long got[] = {v.rowBytes,   v.plotLength, v.plotWidth, v.sourceWidth,
                                v.resolution, v.passes,     v.planeCount};
            for (std::size_t k = 0; k < std::size(got); ++k) EXPECT_EQ(got[k], r.Int(11 + k)) << k;
        } else if (r[0] == "refused") {
            const HeaderValues v = ComputeHeaderValues(in());
            ASSERT_NE(v.error, nullptr);
            EXPECT_EQ(v.error, r[11]);
        } else if (r[0] == "mode") {
            const auto modelClass = static_cast<uint8_t>(DetectModelClass(r[1].c_str()));
            const HeaderValues v = ComputeHeaderValues(
                {r.Int(3), r.Int(3), 100, 100, 10, 1, 4, r.Int(2), modelClass, kColorBarNone});
            EXPECT_EQ(std::tuple(v.resolution, v.passes), std::tuple(r.Int(4), r.Int(5)));
        } else if (r[0] == "range") {
            PrinterSettings s = kDefaultSettings;
            uint8_t* field = test::SettingsField(s, r[1]);
            ASSERT_NE(field, nullptr);
            *field = static_cast<uint8_t>(r.Int(2));
            EXPECT_TRUE(CheckSettingsRecord(s, error)) << error;
            *field = static_cast<uint8_t>(r.Int(3));
            EXPECT_FALSE(CheckSettingsRecord(s, error));
            EXPECT_NE(error.find(r[4]), std::string::npos) << error;
        } else if (r[0] == "marks") {
            const auto patches = ColorBarPatches::Make(r.Int(1), 1, r.Int(2), uint8_t(r.Int(3)));
            ASSERT_EQ(patches.has_value(), r[4] != "-");
            if (!patches) continue;
            EXPECT_EQ(std::tuple(patches->End(), patches->PatchWidth()),
                      std::tuple(r.Int(4), r.Int(5)));
            for (int k = 0; k < 6; ++k) {
                const ByteRange marks = patches->Marks(k);
                EXPECT_EQ(std::to_string(marks.begin) + "-" + std::to_string(marks.end), r[6 + k])
                    << "position " << k;
            }
        } else if (r[0] == "order") {
            std::vector<std::string> got;
            for (const int plane : PlaneOrderFor(r.Int(1), r.Int(2)))
                got.push_back(std::to_string(plane));
            EXPECT_EQ(got, test::Split(r[3], ' '));
        } else {
            ASSERT_TRUE(r[0] == "calibration" || r[0] == "value");
            const char* text = r[1] == "(null)" ? nullptr : r[1].c_str();
            std::string value;
            const bool sent = CalibrationCommandValue(text, value, error);
            double expected = 0;  // read as written, whatever the locale
            std::from_chars(r[2].data(), r[2].data() + r[2].size(), expected);
            if (r[0] == "value") {
                EXPECT_EQ(text ? RTL::GetCalibrationValue(text) : 0, expected);
            } else if (r[2] != "-") {
                EXPECT_EQ(std::tuple(sent, value), std::tuple(true, r[2]));
            } else {
                EXPECT_FALSE(sent);
                EXPECT_NE(error.find("outside the calibration range -1.99 to 1.99"),
                          std::string::npos);
            }
        }
    }
}

TEST(HeaderValues, RowsOfTheTable) {
    HeaderValueRows();
}

// The printer wants a decimal point whatever the host's locale.
using HeaderValuesUnderCommaLocale = test::CommaLocaleTest;
TEST_F(HeaderValuesUnderCommaLocale, RowsOfTheTable) {
    HeaderValueRows();
}

const std::string kCommonOptions =
    "Cut sheet after printing:0,No,Yes;Overprint:0,1,2,3;"
    "Print Direction:1,Unidirectional,Bidirectional;"
    "Page Spacing:1,None,10 mm,20 mm,30 mm,40 mm,50 mm,60 mm,70 mm,80 mm,90 mm,100 mm;"
    "Media Feed Calibration:1,Off,On;Color Bar:1,None,Pure Color,Mixed Color;";
const std::string kNamedOptions =
    "Dry Time:0,None,1 min,3 min,5 min,7 min,10 min,15 min;Advance After Print:1,No,Yes;";

TEST(RtlCapabilities, RowsOfTheTable) {
    RTL rtl;
    std::vector<ColorEntry> entries(16);
    for (const test::TableRow& r : test::ReadTable(__FILE__, "capabilities.txt")) {
        SCOPED_TRACE(r.where);
        const auto text = [&r](std::size_t k) { return r[k] == "(null)" ? nullptr : r[k].c_str(); };
        SettingsArea area{};
        RTL::ResetSettings(&area.settings);
        const SettingsArea before = area;
        ScopedLogCapture log;
        if (r[0] == "resolution") {
            ResolutionList list;
            int32_t mode = r.Int(2);
            int32_t value = -5;
            EXPECT_EQ(rtl.GetResolutions(r[1].c_str(), nullptr, &mode, &list, &value), 1);
            EXPECT_EQ(value, 0);
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(std::tuple(list[0].xDpi, list[0].yDpi, list[0].id, list[0].name),
                      std::tuple(r.Real(3), r.Real(3), r.Int(4), r[5]));
        } else if (r[0] == "planes") {
            int16_t planes = 0;
            int16_t layout = 0;
            rtl.GetColorPlanes(r.Int(1), &planes, &layout);
            EXPECT_EQ(std::tuple(planes, layout), std::tuple(r.Int(2), r.Int(3)));
        } else if (r[0] == "colors") {
            ColorList colors{42, entries.data(), r.Int(2)};
            const bool listed = rtl.GetColorList(r.Int(1), &colors) == 1;
            std::string names = listed ? "" : "-";
            for (int i = 0; listed && i < colors.count; ++i) {
                names += (i ? "|" : "") + std::string(entries[std::size_t(i)].displayName);
            }
            EXPECT_EQ(std::tuple(names, colors.count == 42), std::tuple(r[3], !listed));
            ExpectLog(log, r[4]);
            if (r.words.size() < 6) continue;
            const ColorEntry& e = entries.at(std::size_t(r.Int(5)));
            EXPECT_EQ(std::tuple(std::string(e.name), e.colorValue, e.isSpot, e.print, e.depth),
                      std::tuple(r[6], uint32_t(r.Int(7)), r.Int(8), r.Int(9), r.Int(10)));
        } else if (r[0] == "settings") {
            std::vector<uint8_t> record =
                r[2] == "(null)" ? std::vector<uint8_t>() : test::HexBytes(r[2]);
            auto* s = record.empty() ? nullptr : reinterpret_cast<PrinterSettings*>(record.data());
            EXPECT_EQ(r[1] == "reset"      ? (RTL::ResetSettings(s), 1)
                      : r[1] == "validate" ? rtl.ValidateSettings(s)
                                           : rtl.IdentifyPrinterModel(s),
                      r.Int(3));
            EXPECT_EQ(record, r[4] == "-" ? std::vector<uint8_t>() : test::HexBytes(r[4]));
            EXPECT_TRUE(r[1] != "identify" || rtl.Settings() == s);
            ExpectLog(log, r[5]);
        } else if (r[0] == "differ") {
            PrinterSettings other = area.settings;
            if (r[1] != "-" && r[1] != "(null)") reinterpret_cast<uint8_t*>(&other)[r.Int(1)] ^= 1;
            EXPECT_EQ(rtl.SettingsDiffer(&area.settings, r[1] == "(null)" ? nullptr : &other),
                      r.Int(2));
        } else if (r[0] == "model") {
            EXPECT_EQ(DetectModelClass(text(1)), r.Int(2));
            EXPECT_EQ(HasNamedOptions(text(1)), r.Int(3) == 1);
            char options[1024];
            ASSERT_EQ(rtl.GetDriverOptionString(options, text(1)), 1);
            EXPECT_EQ(options, kCommonOptions + (r.Int(3) == 1 ? kNamedOptions : ""));
        } else if (r[0] == "apply") {
            EXPECT_EQ(rtl.ApplyDriverOptions(text(1), reinterpret_cast<uint8_t*>(&area), text(2)),
                      1);
            EXPECT_EQ(rtl.Settings(), &area.settings);
            const auto* record = reinterpret_cast<const uint8_t*>(&area.settings);
            EXPECT_EQ(std::vector<uint8_t>(record, record + sizeof(PrinterSettings)),
                      test::HexBytes(r[3]));
        } else {
            ASSERT_EQ(r[0], "refused");
            PrintSetup setup{};
            std::snprintf(setup.modelName, sizeof setup.modelName, "CP52");
            EXPECT_EQ(
                rtl.ParseDriverOptions(r[1].c_str(), reinterpret_cast<uint8_t*>(&area), &setup), 1);
            EXPECT_EQ(std::memcmp(&area, &before, sizeof area), 0);
            ASSERT_EQ(log.entries().size(), 1u);
            EXPECT_NE(log.entries()[0].text.find(r[2]), std::string::npos) << log.entries()[0].text;
        }
    }
}

}  // namespace
}  // namespace tarnwick
