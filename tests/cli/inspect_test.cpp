// tarnwick inspect on streams the driver wrote and on streams that are cut short or damaged:
// the faults are named, the exit code says whether there were any, and nothing crashes.
#include <gtest/gtest.h>

#include <random>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
#include "host/job_ticket.h"

namespace tarnwick::test {
namespace {

// A minimal stream in the driver's form: one page, `planes` planes, rows given as raw
// (uncompressed-looking) PackBits literal packets.
std::string Stream(const std::string& geometry, const std::string& rows, bool pageEnd = true) {
    std::string s =
        "\x1b"
        "E\x1b%-12345X@PJL SET RESOLUTION=360\n@PJL ENTER LANGUAGE=RTL\n";
    s += geometry + "\x1b*b2M\x1b*r1A" + rows;
    if (pageEnd)
        s += "\x1b*rC\x1b%-12345X@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
             "E";
    return s;
}

// A row transfer of one literal packet holding `data`.
std::string Transfer(const std::string& data, char kind) {
    return "\x1b*b" + std::to_string(data.size() + 1) + kind +
           std::string(1, static_cast<char>(data.size() - 1)) + data;
}

class InspectTest : public ToolTest {
  protected:
    JsonValue InspectJson(const std::string& file, int expectedExit) {
        const ToolResult result = Run({"inspect", file, "--json"});
        EXPECT_EQ(result.signal, 0) << "the inspector crashed on " << file;
        EXPECT_EQ(result.exitCode, expectedExit) << result.out << result.err;
        JsonValue json;
        std::string error;
        EXPECT_TRUE(ParseJson(result.out, json, error)) << error << "\n" << result.out;
        return json;
    }

    std::vector<std::string> FaultMessages(const JsonValue& report) {
        std::vector<std::string> messages;
        if (const JsonValue* faults = report.Find("faults")) {
            for (const JsonValue& fault : faults->items) {
                if (const JsonValue* message = fault.Find("message"))
                    messages.push_back(message->text);
            }
        }
        return messages;
    }

    bool HasFault(const JsonValue& report, const std::string& part) {
        for (const std::string& message : FaultMessages(report)) {
            if (message.find(part) != std::string::npos) return true;
        }
        return false;
    }

    // Prints a small job of a named model and returns its stream.
    std::vector<uint8_t> PrintedStream() {
        WritePbm(File("k.pbm"), 40, 12, [](int x, int y) { return (x * y) % 7 == 1; });
        WritePbm(File("c.pbm"), 40, 12, [](int x, int) { return x % 3 == 0; });
        EXPECT_EQ(
            Run({"make-job", "-o", File("job.tkt"),
                 "Black=" + File("k.pbm") + ",Cyan=" + File("c.pbm"), "Cyan=" + File("c.pbm")})
                .exitCode,
            0);
        EXPECT_EQ(Run({"print", File("job.tkt"), "-o", File("good.prn")}).exitCode, 0);
        return ReadBytes(File("good.prn"));
    }
};

TEST_F(InspectTest, DriverStreamHasNoFault) {
    PrintedStream();
    const JsonValue report = InspectJson(File("good.prn"), 0);
    EXPECT_EQ(report.Find("faultCount")->text, "0") << FaultMessages(report).size();
    const JsonValue& pages = *report.Find("pages");
    ASSERT_EQ(pages.items.size(), 2u);
    const JsonValue& page = pages.items[0];
    EXPECT_EQ(page.Find("language")->text, "RDGL3");
    EXPECT_EQ(page.Find("planes")->text, "6") << "the colour bar makes six planes";
    EXPECT_EQ(page.Find("compression")->text, "2");
    EXPECT_EQ(page.Find("rows")->text, "12");
    EXPECT_EQ(page.Find("height")->text, "12");
    EXPECT_EQ(page.Find("planesPerRow")->Find("6")->text, "12");
    EXPECT_EQ(page.Find("pjl")->Find("RESOLUTION")->text, "360");
    EXPECT_NE(page.Find("plotSize")->kind, JsonValue::Kind::kNull);
    EXPECT_EQ(page.Find("end")->Find("plot")->text, "PG;");
    EXPECT_FALSE(page.Find("end")->Find("aborted")->boolean);

    const ToolResult text = Run({"inspect", File("good.prn"), "--preview", File("good.png")});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("no faults"), std::string::npos) << text.out;
    const std::vector<uint8_t> png = ReadBytes(File("good.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

TEST_F(InspectTest, TruncatedStreamReportsTheCutAndTheMissingEnd) {
    const std::vector<uint8_t> good = PrintedStream();
    // Cut inside the first page's rows, in the middle of a row transfer's data.
    const std::string text(good.begin(), good.end());
    const std::size_t transfer = text.find("\x1b*b", text.find("\x1b*r1A"));
    ASSERT_NE(transfer, std::string::npos);
    WriteBytes(File("cut.prn"),
               std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(transfer) + 6));
    const JsonValue report = InspectJson(File("cut.prn"), 1);
    EXPECT_TRUE(HasFault(report, "the stream ends after")) << FaultMessages(report).size();
    EXPECT_TRUE(HasFault(report, "has no raster end"));

    // Cut right after the raster start: no rows at all, still no page end.
    WriteBytes(File("cut2.prn"),
               std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(transfer)));
    EXPECT_TRUE(HasFault(InspectJson(File("cut2.prn"), 1), "has no raster end"));
}

TEST_F(InspectTest, MalformedRowsAreNamed) {
    const std::string geometry = "\x1b*r16S\x1b*r2T\x1b*t360R\x1b*r-2U";
    const std::string row = Transfer("\xAA\x55", 'V') + Transfer("\x0F\xF0", 'W');

    WriteText(File("ok.prn"), Stream(geometry, row + row));
    EXPECT_EQ(InspectJson(File("ok.prn"), 0).Find("faultCount")->text, "0");

    // One plane too few in the second row.
    WriteText(File("planes.prn"), Stream(geometry, row + Transfer("\x01\x02", 'W')));
    EXPECT_TRUE(
        HasFault(InspectJson(File("planes.prn"), 1), "row 2 has 1 planes, the page declares 2"));

    // Three bytes where 16 pixels allow two.
    WriteText(File("long.prn"),
              Stream(geometry, row + Transfer("\x01\x02\x03", 'V') + Transfer("\x01\x02", 'W')));
    EXPECT_TRUE(HasFault(InspectJson(File("long.prn"), 1), "longer than the declared width"));

    // A repeat packet that runs past the width.
    WriteText(File("repeat.prn"),
              Stream(geometry, row + "\x1b*b2V\xF0\xAA" + Transfer("\x01\x02", 'W')));
    EXPECT_TRUE(HasFault(InspectJson(File("repeat.prn"), 1), "longer than the declared width"));

    // A literal packet that claims more bytes than its transfer holds.
    WriteText(File("packet.prn"),
              Stream(geometry, row + "\x1b*b2V\x05\xAA" + Transfer("\x01\x02", 'W')));
    EXPECT_TRUE(HasFault(InspectJson(File("packet.prn"), 1), "overruns the input"));

    // No page end, an unknown escape sequence, more rows than declared.
    WriteText(File("noend.prn"), Stream(geometry, row + row, false));
    EXPECT_TRUE(HasFault(InspectJson(File("noend.prn"), 1), "has no raster end"));
    WriteText(File("unknown.prn"), Stream(geometry, row + "\x1b*q5Z" + row));
    EXPECT_TRUE(HasFault(InspectJson(File("unknown.prn"), 1), "unknown escape sequence ESC*q5Z"));
    WriteText(File("rows.prn"), Stream(geometry, row + row + row));
    EXPECT_TRUE(HasFault(InspectJson(File("rows.prn"), 1), "has 3 rows, its header declares 2"));
    WriteText(File("width.prn"), Stream("\x1b*r2000000S\x1b*r2T\x1b*r-2U", row + row));
    EXPECT_TRUE(HasFault(InspectJson(File("width.prn"), 1), "out of range"));
    WriteText(File("empty.prn"), "");
    EXPECT_TRUE(HasFault(InspectJson(File("empty.prn"), 1), "no raster page"));
}

TEST_F(InspectTest, DamagedStreamsNeverCrashTheInspector) {
    const std::vector<uint8_t> good = PrintedStream();
    std::mt19937 random(20240611);
    for (int round = 0; round < 24; ++round) {
        std::vector<uint8_t> bad = good;
        const int edits = 1 + round % 6;
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % bad.size();
            switch (random() % 3) {
                case 0:
                    bad[at] = static_cast<uint8_t>(random());
                    break;
                case 1:
                    bad.erase(
                        bad.begin() + static_cast<long>(at),
                        bad.begin() + static_cast<long>(std::min(bad.size(), at + random() % 64)));
                    break;
                default:
                    bad.insert(bad.begin() + static_cast<long>(at),
                               {0x1B, '*', 'b', '9', '9', '9'});
                    break;
            }
            if (bad.empty()) bad.push_back(0x1B);
        }
        WriteBytes(File("bad.prn"), bad);
        const ToolResult result = Run({"inspect", File("bad.prn"), "--preview", File("bad.png")});
        ASSERT_EQ(result.signal, 0) << "round " << round;
        ASSERT_TRUE(result.exitCode == 0 || result.exitCode == 1) << result.err;
    }
}

TEST_F(InspectTest, WidePreviewIsScaledDown) {
    // 5000 pixels a row as five repeat packets of 125 bytes.
    std::string row = "\x1b*b10W";
    for (int i = 0; i < 5; ++i) row += std::string("\x84\x81");
    WriteText(File("wide.prn"),
              Stream("\x1b*r5000S\x1b*r6T\x1b*r1U", row + row + row + row + row + row));
    const ToolResult result = Run({"inspect", File("wide.prn"), "--preview", File("wide.png")});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::vector<uint8_t> png = ReadBytes(File("wide.png"));
    ASSERT_GT(png.size(), 24u);
    const auto u32 = [&](std::size_t at) {
        return uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 |
               uint32_t{png[at + 3]};
    };
    EXPECT_EQ(u32(16), 1667u) << "5000 pixels at a third";
    EXPECT_EQ(u32(20), 2u) << "6 rows at a third";
}

// The page's size on paper and each axis's resolution, read from the plot size and the raster:
// a job whose rows are 720 dpi apart shows it, though the raster declares 360 dpi.
TEST_F(InspectTest, PhysicalSizeAndTheResolutionOfEachAxis) {
    const struct {
        int16_t resY;
        std::string line;
    } cases[] = {
        {360, "  page 1: 2.00 x 1.00 in (50.8 x 25.4 mm), 360 dpi across x 360 dpi down\n"},
        {720, "  page 1: 2.00 x 0.50 in (50.8 x 12.7 mm), 360 dpi across x 720 dpi down\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resY);
        JobTicket ticket = DefaultTicket("CP52", 360, 0);
        ticket.resY = c.resY;
        reinterpret_cast<PrinterSettings*>(ticket.settings.data())->colorBar = 0;
        std::string error;
        ASSERT_TRUE(WriteJobTicket(File("job.tkt"), ticket, error)) << error;
        TestPage page;
        page.width = 720;
        page.height = 360;
        page.colorants = {{"Black"}};
        WriteJobData(File("0_job.twj"), {page});
        ASSERT_EQ(Run({"print", File("job.tkt"), "-o", File("out.prn")}).exitCode, 0);
        const ToolResult result = Run({"inspect", File("out.prn")});
        EXPECT_NE(result.out.find("physical size (across x down):\n" + c.line), std::string::npos)
            << result.out;
    }
}

}  // namespace
}  // namespace tarnwick::test
