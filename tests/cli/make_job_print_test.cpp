// make-job and print through the real tool: the ticket carries what was asked, and the stream
// exactly the planes the images imply, in the printer's plane order, with the driver's pixel
// repetition; colour images of every format separate alike.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <map>

#include "cli/cli_fixture.h"
#include "support/stream_rows.h"
#include "tarnwick/records.h"

namespace tarnwick::test {
namespace {

const std::string kFiles = std::filesystem::path(__FILE__).parent_path().string() + "/files/";

class MakeJobPrintTest : public ToolTest {
  protected:
    // make-job with `args`, then print: the stream.
    std::vector<uint8_t> MakeAndPrint(std::vector<std::string> args,
                                      const std::string& input = "") {
        args.insert(args.begin(), {"make-job", "-o", File("job.tkt")});
        const ToolResult made =
            RunTool(args, Env(), {.input = input.empty() ? "/dev/null" : input});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
        EXPECT_EQ(printed.exitCode, 0) << printed.err;
        return ReadBytes(File("out.prn"));
    }
};

TEST_F(MakeJobPrintTest, PlanesComeOutInPrinterOrderWithPixelRepetition) {
    constexpr int kWidth = 37;  // not a whole number of bytes
    constexpr int kHeight = 5;
    // Black, Cyan, Magenta, Yellow: the order the printer takes them in.
    const std::function<uint32_t(int, int)> dots[] = {
        [](int x, int y) { return x < y * 3; }, [](int x, int y) { return (x * 3 + y) % 5 == 0; },
        [](int x, int y) { return (x + y) % 2 == 1; },
        [](int x, int y) { return (x + 2 * y) % 4 == 1; }};
    for (const char* name : {"k", "c", "m", "y"}) {
        WritePnm(File(std::string(name) + ".pbm"), kWidth, kHeight, false,
                 dots[std::string("kcmy").find(name[0])]);
    }
    // 90 dpi against the driver's base resolution of 180: every pixel and row goes out twice.
    const std::vector<uint8_t> stream = MakeAndPrint(
        {"--model", "CP52", "--dpi", "90", "--color-mode", "CMYK", "--option", "DriverOption5=0",
         "Black=" + File("k.pbm") + ",cyan=" + File("c.pbm") + ",MAGENTA=" + File("m.pbm") +
             ",Yellow=" + File("y.pbm")});
    const std::string text(stream.begin(), stream.end());
    EXPECT_NE(text.find("@PJL SET RESOLUTION=180\n"), std::string::npos);
    EXPECT_NE(text.find("\x1b*r80S\x1b*r10T\x1b*t180R\x1b*r-4U"), std::string::npos)
        << "74 device pixels round up to 80; 5 rows twice; four planes without colour bar";
    const std::vector<StreamPage> pages = ReadStreamRows(stream);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), static_cast<std::size_t>(kHeight * 2));
    for (int row = 0; row < kHeight * 2; ++row) {
        std::vector<std::vector<uint8_t>> expected(4, std::vector<uint8_t>(10, 0));
        for (int p = 0; p < 4; ++p) {
            for (int x = 0; x < 2 * kWidth; ++x) {
                if (dots[p](x / 2, row / 2))
                    expected[p][x / 8] |= static_cast<uint8_t>(0x80 >> x % 8);
            }
        }
        EXPECT_EQ(pages[0].rows[static_cast<std::size_t>(row)].planes, expected) << "row " << row;
    }
}

TEST_F(MakeJobPrintTest, TicketCarriesModelResolutionSettingsAndOptions) {
    WritePnm(File("k.pbm"), 8, 2, false, [](int x, int) { return x == 0; });
    using S = PrinterSettings;
    const struct {
        std::vector<std::string> args;
        std::string model;
        int16_t resolution;
        int16_t colorModel;
        std::string calibration;
        std::map<std::size_t, uint8_t> settings;  // bytes of the area
        bool restZero;                            // and every other byte 0
        std::vector<std::string> stream;
    } rows[] = {
        // The hex bytes, then the option: DriverOption2=0 turns bidirectional printing off.
        {{"--model", "coldstream sp-1400C", "--dpi", "720", "--calibration", "feed~0.25",
          "--settings", "18 01 01 02", "--option", "DriverOption2=0"},
         "Coldstream SP-1400C",
         720,
         2,
         "feed~0.25",
         {{0, 0x18}, {1, 0x01}, {2, 0x00}, {3, 0x02}},
         true,
         {"@PJL SET BIDIRECTION=OFF\n", "@PJL SET CALIBRATION=0.25\n", "@PJL SET SPACE=20\n"}},
        // The driver's defaults, and its default colour mode CMYKLcLm.
        {{},
         "CP52",
         360,
         2,
         "",
         {{offsetof(S, tag), 24},
          {offsetof(S, colorBar), 1},
          {offsetof(S, advanceAfterPrint), 1},
          {offsetof(S, pageSpacing), 1}},
         false,
         {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.model);
        std::vector<std::string> args = row.args;
        args.push_back("Black=" + File("k.pbm"));
        const std::vector<uint8_t> stream = MakeAndPrint(args);
        const std::vector<uint8_t> ticket = ReadBytes(File("job.tkt"));
        ASSERT_EQ(ticket.size(), kJobHeaderSize);
        EXPECT_EQ(reinterpret_cast<const char*>(&ticket[job_header::kPrinterModel]), row.model);
        int16_t numbers[3] = {};
        std::memcpy(&numbers[0], &ticket[job_header::kResX], 2);
        std::memcpy(&numbers[1], &ticket[job_header::kResY], 2);
        std::memcpy(&numbers[2], &ticket[job_header::kColorModel], 2);
        EXPECT_EQ(numbers[0], row.resolution);
        EXPECT_EQ(numbers[1], row.resolution);
        EXPECT_EQ(numbers[2], row.colorModel);
        EXPECT_EQ(reinterpret_cast<const char*>(&ticket[job_header::kCalibrationText]),
                  row.calibration);
        for (std::size_t i = 0; i < kSettingsAreaSize; ++i) {
            const auto named = row.settings.find(i);
            if (named != row.settings.end() || row.restZero) {
                EXPECT_EQ(ticket[job_header::kSettings + i],
                          named != row.settings.end() ? named->second : 0)
                    << "settings byte " << i;
            }
        }
        const std::string text(stream.begin(), stream.end());
        for (const std::string& line : row.stream) {
            EXPECT_NE(text.find(line), std::string::npos) << line;
        }
    }
}

TEST_F(MakeJobPrintTest, ColourImagesOfEveryFormatAreSeparatedAlike) {
    // Left half red (magenta + yellow), right half white: no cyan, no black anywhere. The red is
    // the one the JPEG (quality 100, no chroma subsampling) decodes to, 254, 0, 0.
    std::vector<std::vector<uint8_t>> streams;
    // The last two come through standard input.
    for (const char* name : {"ppm", "png", "tif", "jpg", "png", "jpg"}) {
        SCOPED_TRACE(name);
        const bool piped = streams.size() >= 4;
        const std::string file = kFiles + "red-white." + name;
        streams.push_back(
            MakeAndPrint({"--color-mode", "0", "--option", "DriverOption5=0", piped ? "-" : file},
                         piped ? file : ""));
        EXPECT_EQ(streams[0], streams.back()) << "differs from the PPM";
    }
    const std::vector<StreamPage> pages = ReadStreamRows(streams[0]);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 8u);
    const std::vector<uint8_t> none = {0x00, 0x00};
    const std::vector<uint8_t> left = {0xFF, 0x00};
    for (const StreamRow& row : pages[0].rows) {
        EXPECT_EQ(row.planes, (std::vector<std::vector<uint8_t>>{none, none, left, left}))
            << "black, cyan, magenta, yellow";
    }
}

TEST_F(MakeJobPrintTest, GreyIsDiffusedToAsManyDotsAsItsDensity) {
    WritePnm(File("grey.ppm"), 64, 64, true, [](int, int) { return 0x808080u; });
    const std::vector<StreamPage> pages = ReadStreamRows(MakeAndPrint(
        {"--color-mode", "Grayscale", "--option", "DriverOption5=0", File("grey.ppm")}));
    ASSERT_EQ(pages.size(), 1u);
    int dots = 0;
    for (const StreamRow& row : pages[0].rows) {
        ASSERT_EQ(row.planes.size(), 1u);
        for (const uint8_t byte : row.planes[0]) dots += __builtin_popcount(byte);
    }
    // The Black-only mode prints 1 - Y^(1/1.8) of black (Halftone.xml's grey gamma), Y = 0.2158
    // the luminance of sRGB 128, in dots that each carry the CP52's weight of 0.94:
    // 0.5735 / 0.94 of 4096 pixels.
    EXPECT_NEAR(dots, 2499, 41);
}

}  // namespace
}  // namespace tarnwick::test
