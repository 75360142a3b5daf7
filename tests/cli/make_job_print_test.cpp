// make-job and print through the real tool: the stream must carry exactly the planes the images
// imply, in the printer's plane order, with the driver's pixel repetition.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/cli_fixture.h"
#include "support/stream_rows.h"
#include "tarnwick/records.h"

namespace tarnwick::test {
namespace {

// Packed row of `width` pixels of `bits` each, every pixel repeated `repeat` times.
std::vector<uint8_t> Expand(const std::vector<int>& levels, int bits, int repeat) {
    std::vector<uint8_t> out((levels.size() * bits * repeat + 7) / 8, 0);
    std::size_t bit = 0;
    for (const int level : levels) {
        for (int r = 0; r < repeat; ++r, bit += bits) {
            out[bit / 8] |= static_cast<uint8_t>(level << (8 - bits - bit % 8));
        }
    }
    return out;
}

std::vector<int> RowLevels(int width, const std::function<int(int)>& level) {
    std::vector<int> levels;
    for (int x = 0; x < width; ++x) levels.push_back(level(x));
    return levels;
}

void WritePng(const std::string& path, int width, int height,
              const std::function<uint32_t(int, int)>& rgb) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < width; ++x) {
            const uint32_t c = rgb(x, y);
            raw.insert(raw.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                   static_cast<uint8_t>(c)});
        }
    }
    uLongf packedSize = compressBound(raw.size());
    std::vector<uint8_t> packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, raw.data(), raw.size()), Z_OK);
    packed.resize(packedSize);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto put32 = [](std::vector<uint8_t>& v, uint32_t n) {
        v.insert(v.end(), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                           static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)});
    };
    const auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        put32(png, static_cast<uint32_t>(data.size()));
        std::vector<uint8_t> body(type, type + 4);
        body.insert(body.end(), data.begin(), data.end());
        png.insert(png.end(), body.begin(), body.end());
        put32(png, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
    };
    std::vector<uint8_t> header;
    put32(header, static_cast<uint32_t>(width));
    put32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    chunk("IHDR", header);
    chunk("IDAT", packed);
    chunk("IEND", {});
    WriteBytes(path, png);
}

void WriteTiff(const std::string& path, int width, int height,
               const std::function<uint32_t(int, int)>& rgb) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1);
    std::vector<uint8_t> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = rgb(x, y);
            row[static_cast<std::size_t>(x) * 3] = static_cast<uint8_t>(c >> 16);
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<uint8_t>(c >> 8);
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<uint8_t>(c);
        }
        ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0), 1);
    }
    TIFFClose(tiff);
}

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

const std::string kFiles = std::filesystem::path(__FILE__).parent_path().string() + "/files/";

class MakeJobPrintTest : public ToolTest {};

TEST_F(MakeJobPrintTest, PlanesComeOutInPrinterOrderWithPixelRepetition) {
    constexpr int kWidth = 37;  // not a whole number of bytes
    constexpr int kHeight = 5;
    const auto cyan = [](int x, int y) { return (x * 3 + y) % 5 == 0; };
    const auto magenta = [](int x, int y) { return (x + y) % 2 == 1; };
    const auto black = [](int x, int y) { return x < y * 3; };
    const auto yellow = [](int x, int y) { return (x + 2 * y) % 4 == 1; };
    WritePbm(File("c.pbm"), kWidth, kHeight, cyan);
    WritePbm(File("m.pbm"), kWidth, kHeight, magenta);
    WritePbm(File("k.pbm"), kWidth, kHeight, black);
    WritePbm(File("y.pbm"), kWidth, kHeight, yellow);

    // 90 dpi against the driver's base resolution of 180: every pixel and row goes out twice.
    const ToolResult made = Run({"make-job", "-o", File("job.tkt"), "--model", "CP52", "--dpi",
                                 "90", "--color-mode", "CMYK", "--option", "DriverOption5=0",
                                 "Black=" + File("k.pbm") + ",cyan=" + File("c.pbm") +
                                     ",MAGENTA=" + File("m.pbm") + ",Yellow=" + File("y.pbm")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
    ASSERT_EQ(printed.exitCode, 0) << printed.err;

    const std::vector<uint8_t> stream = ReadBytes(File("out.prn"));
    const std::string text = Text(stream);
    EXPECT_NE(text.find("@PJL SET RESOLUTION=180\n"), std::string::npos);
    EXPECT_NE(text.find("\x1b*r80S\x1b*r10T\x1b*t180R\x1b*r-4U"), std::string::npos)
        << "74 device pixels round up to 80; 5 rows twice; four planes without colour bar";
    const std::vector<StreamPage> pages = ReadStreamRows(stream);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), static_cast<std::size_t>(kHeight * 2));
    for (int row = 0; row < kHeight * 2; ++row) {
        const int y = row / 2;
        const auto bit = [&](auto dot) {
            return RowLevels(kWidth, [&](int x) { return dot(x, y) ? 1 : 0; });
        };
        const std::vector<std::vector<uint8_t>> expected = {
            Expand(bit(black), 1, 2), Expand(bit(cyan), 1, 2), Expand(bit(magenta), 1, 2),
            Expand(bit(yellow), 1, 2)};
        EXPECT_EQ(pages[0].rows[static_cast<std::size_t>(row)].planes, expected)
            << "row " << row << " (planes sent as Black, Cyan, Magenta, Yellow)";
    }
}

TEST_F(MakeJobPrintTest, TicketCarriesModelResolutionSettingsAndOptions) {
    WritePbm(File("k.pbm"), 8, 2, [](int x, int) { return x == 0; });
    const ToolResult made =
        Run({"make-job", "-o", File("job.tkt"), "--model", "coldstream sp-1400C", "--dpi", "720",
             "--calibration", "feed~0.25", "--settings", "18 01 01 02", "--option",
             "DriverOption2=0", "Black=" + File("k.pbm")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const std::vector<uint8_t> ticket = ReadBytes(File("job.tkt"));
    ASSERT_EQ(ticket.size(), kJobHeaderSize);
    EXPECT_STREQ(reinterpret_cast<const char*>(&ticket[job_header::kPrinterModel]),
                 "Coldstream SP-1400C");
    int16_t resX = 0;
    int16_t resY = 0;
    std::memcpy(&resX, &ticket[job_header::kResX], 2);
    std::memcpy(&resY, &ticket[job_header::kResY], 2);
    EXPECT_EQ(resX, 720);
    EXPECT_EQ(resY, 720);
    EXPECT_STREQ(reinterpret_cast<const char*>(&ticket[job_header::kCalibrationText]), "feed~0.25");
    // The hex bytes, the rest zero, then the option: DriverOption2 (direction).
    const uint8_t* settings = &ticket[job_header::kSettings];
    EXPECT_EQ(settings[0], 0x18);
    EXPECT_EQ(settings[1], 0x01);
    EXPECT_EQ(settings[2], 0x00) << "DriverOption2=0 turns bidirectional printing off";
    EXPECT_EQ(settings[3], 0x02);
    EXPECT_EQ(std::count(settings + 4, settings + kSettingsAreaSize, 0),
              static_cast<long>(kSettingsAreaSize - 4));
    EXPECT_TRUE(std::filesystem::exists(File("0_job.twj")));

    const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    const std::string text = Text(ReadBytes(File("out.prn")));
    EXPECT_NE(text.find("@PJL SET BIDIRECTION=OFF\n"), std::string::npos);
    EXPECT_NE(text.find("@PJL SET CALIBRATION=0.25\n"), std::string::npos);
    EXPECT_NE(text.find("@PJL SET SPACE=20\n"), std::string::npos);
}

TEST_F(MakeJobPrintTest, DefaultSettingsComeFromTheDriver) {
    WritePbm(File("k.pbm"), 8, 1, [](int, int) { return true; });
    ASSERT_EQ(Run({"make-job", "-o", File("job.tkt"), "Black=" + File("k.pbm")}).exitCode, 0);
    const std::vector<uint8_t> ticket = ReadBytes(File("job.tkt"));
    ASSERT_EQ(ticket.size(), kJobHeaderSize);
    PrinterSettings settings;
    std::memcpy(&settings, &ticket[job_header::kSettings], sizeof settings);
    EXPECT_EQ(settings.tag, 24);
    EXPECT_EQ(settings.colorBar, 1);
    EXPECT_EQ(settings.advanceAfterPrint, 1);
    EXPECT_EQ(settings.pageSpacing, 1);
    int16_t colorModel = -1;
    std::memcpy(&colorModel, &ticket[job_header::kColorModel], 2);
    EXPECT_EQ(colorModel, 2) << "the driver's default colour mode, CMYKLcLm";
}

TEST_F(MakeJobPrintTest, ColourImagesAreSeparatedIntoTheInks) {
    // Left half red (magenta + yellow), right half white: no cyan, no black anywhere. The red is
    // the one the JPEG decodes to.
    const auto picture = [](int x, int) { return x < 8 ? 0xFE0000u : 0xFFFFFFu; };
    WritePpm(File("p.ppm"), 16, 8, picture);
    WritePng(File("p.png"), 16, 8, picture);
    WriteTiff(File("p.tif"), 16, 8, picture);
    // A 16 x 8 baseline JPEG (libjpeg, quality 100, no chroma subsampling): left half red
    // (decoded as 254, 0, 0), right half white.
    std::filesystem::copy_file(kFiles + "red-white.jpg", File("p.jpg"));
    std::vector<std::vector<uint8_t>> streams;
    // The last two come through standard input.
    for (const char* name : {"p.ppm", "p.png", "p.tif", "p.jpg", "p.png", "p.jpg"}) {
        const bool piped = streams.size() >= 4;
        const ToolResult made =
            RunTool({"make-job", "-o", File("job.tkt"), "--color-mode", "0", "--option",
                     "DriverOption5=0", piped ? "-" : File(name)},
                    Env(), ToolLimits{.input = piped ? File(name) : "/dev/null"});
        ASSERT_EQ(made.exitCode, 0) << name << ": " << made.err;
        const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
        ASSERT_EQ(printed.exitCode, 0) << printed.err;
        streams.push_back(ReadBytes(File("out.prn")));
    }
    for (std::size_t i = 1; i < streams.size(); ++i) {
        EXPECT_EQ(streams[0], streams[i]) << "image " << i << " differs from the PPM";
    }
    const std::vector<StreamPage> pages = ReadStreamRows(streams[0]);
    ASSERT_EQ(pages.size(), 1u);
    ASSERT_EQ(pages[0].rows.size(), 8u);
    const std::vector<uint8_t> none = {0x00, 0x00};
    const std::vector<uint8_t> left = {0xFF, 0x00};
    for (const StreamRow& row : pages[0].rows) {
        ASSERT_EQ(row.planes.size(), 4u);
        EXPECT_EQ(row.planes[0], none) << "black";
        EXPECT_EQ(row.planes[1], none) << "cyan";
        EXPECT_EQ(row.planes[2], left) << "magenta";
        EXPECT_EQ(row.planes[3], left) << "yellow";
    }
}

TEST_F(MakeJobPrintTest, GreyIsDiffusedToAsManyDotsAsItsDensity) {
    WritePpm(File("grey.ppm"), 64, 64, [](int, int) { return 0x808080u; });
    ASSERT_EQ(Run({"make-job", "-o", File("job.tkt"), "--color-mode", "Grayscale", "--option",
                   "DriverOption5=0", File("grey.ppm")})
                  .exitCode,
              0);
    ASSERT_EQ(Run({"print", File("job.tkt"), "-o", File("out.prn")}).exitCode, 0);
    const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
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

// Long pages show how far they are; short ones and --quiet stay silent.
TEST_F(MakeJobPrintTest, LongPagesShowTheirProgress) {
    WritePbm(File("long.pbm"), 16, 1000, [](int x, int y) { return (x + y) % 2 == 0; });
    WritePbm(File("short.pbm"), 16, 999, [](int x, int y) { return (x + y) % 2 == 0; });
    const struct {
        std::string page;
        bool quiet;
        std::size_t lines;  // one per percent, 0 to 100
    } cases[] = {{"long.pbm", false, 101}, {"long.pbm", true, 0}, {"short.pbm", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page + (c.quiet ? " -q" : ""));
        std::vector<std::string> args = {"make-job",     "-o", File("job.tkt"),
                                         "--color-mode", "0",  "Black=" + File(c.page)};
        if (c.quiet) args.push_back("-q");
        const ToolResult made = Run(args);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const std::vector<std::string> lines =
            LinesStartingWith(made.err, "INFO: Writing page 1, ");
        EXPECT_EQ(lines.size(), c.lines) << made.err;
        if (!lines.empty()) {
            EXPECT_EQ(lines.back(), "INFO: Writing page 1, 100% complete.");
        }
    }
}

}  // namespace
}  // namespace tarnwick::test
