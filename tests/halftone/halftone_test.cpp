// Error diffusion, AM screens and separation against what the driver's parameters promise, as
// measured outcomes: the cases of halftone.txt, and what a line of text cannot say (the ink
// limits over a colour cube, band sizes). Then the sample printers through the real tool
// (make_job_halftone.txt): the parameters have their documented shape and are applied as the
// records give them, the planes carry exactly the levels of the dither level count, and the
// parameters used are logged once.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <map>
#include <numbers>
#include <set>
#include <sstream>
#include <type_traits>

#include "cli/cli_fixture.h"
#include "cli/json_value.h"
#include "halftone/dither.h"
#include "halftone/pipeline.h"
#include "rtl/text_table.h"
#include "support/job_fixture.h"
#include "support/stream_rows.h"

namespace tarnwick::halftone {
namespace {

using namespace test;

const std::vector<std::string> kCmyk = {"Cyan", "Magenta", "Yellow", "Black"};
const std::vector<std::string> kLight = {"Cyan", "Magenta", "Yellow", "Black", "LCyan", "LMagenta"};

// A comma-separated list.
template <typename T = float>
std::vector<T> List(std::string text) {
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream in(text);
    std::vector<T> items;
    for (std::conditional_t<std::is_same_v<T, uint8_t>, int, T> item; in >> item;)
        items.push_back(static_cast<T>(item));
    return items;
}

// Levels of a width x height flat tint, row after row.
std::vector<uint8_t> Diffuse(const std::vector<float>& amounts, float tint, float noise,
                             uint32_t seed, int width, int height) {
    LevelDiffuser diffuser(width, amounts, 0, noise, seed);
    const std::vector<float> target(static_cast<std::size_t>(width), tint);
    std::vector<uint8_t> levels(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        diffuser.Row(target, std::span(levels).subspan(static_cast<std::size_t>(y * width),
                                                       static_cast<std::size_t>(width)));
    }
    return levels;
}

// The strongest component of the tile's pattern away from DC, by a direct DFT.
std::pair<int, int> StrongestFrequency(const std::vector<uint8_t>& dots, int n, int reach) {
    std::vector<std::complex<double>> twiddle(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        twiddle[static_cast<std::size_t>(i)] = std::polar(1.0, -2.0 * std::numbers::pi * i / n);
    double best = -1.0;
    std::pair<int, int> at{0, 0};
    for (int kx = -reach; kx <= reach; ++kx) {
        for (int ky = 0; ky <= reach; ++ky) {
            if (kx * kx + ky * ky < 4) continue;
            std::complex<double> sum;
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x)
                    if (dots[static_cast<std::size_t>(y * n + x)])
                        sum += twiddle[static_cast<std::size_t>(((kx * x + ky * y) % n + n) % n)];
            if (std::abs(sum) > best + 1e-6) {
                best = std::abs(sum);
                at = {kx, ky};
            }
        }
    }
    return at;
}

InkData SampleData() {
    std::string error;
    auto data = LoadInkData(TARNWICK_SOURCE_DATADIR "/OutputDrivers/Halftone.xml", error);
    EXPECT_TRUE(data) << error;
    return data.value_or(InkData{});
}

std::unique_ptr<Separator> MakeSeparator(const SeparationSetup& setup, std::string& error,
                                         const InkData& data = SampleData()) {
    std::vector<std::string> warnings;
    auto separator = Separator::Create(setup, data, warnings, error);
    EXPECT_TRUE(warnings.empty());
    return separator;
}

std::vector<float> Separate(const SeparationSetup& setup, const std::vector<uint8_t>& pixel) {
    std::string error;
    const auto separator = MakeSeparator(setup, error);
    EXPECT_TRUE(separator) << error;
    if (!separator) return {};
    std::vector<float> amounts(setup.inks.size());
    std::vector<uint16_t> scratch(4);
    separator->SeparateRow(pixel, 1, amounts, scratch);
    return amounts;
}

// Linear-light RGB as an ICC profile of littleCMS's making.
std::vector<uint8_t> LinearRgbProfile() {
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
    std::vector<uint8_t> bytes(size);
    EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
    cmsCloseProfile(profile);
    cmsFreeToneCurve(linear);
    return bytes;
}

const std::map<std::string, PixelFormat> kFormats = {
    {"rgb", PixelFormat::kRgb8}, {"gray", PixelFormat::kGray8}, {"cmyk", PixelFormat::kCmyk8}};

// The printer folder of the profile rows: the built-in model without black generation as
// Fellgate/CP52.icc.
std::filesystem::path PrinterFolder(const test::TempDir& dir) {
    const std::filesystem::path root = dir.file("OutputDrivers");
    std::filesystem::create_directories(root / "Fellgate");
    std::ofstream(root / "Ditherparams.xml")
        << "<RootElement><ManufacturerList><Manufacturer Name='Fellgate Systems' "
           "ManufactureMAPXML='Fellgate/ModelMap.xml'/></ManufacturerList></RootElement>";
    BuiltinCmyk noBlack = SampleData().builtin;
    noBlack.gcrStrength = 0.0f;
    const std::vector<uint8_t> bytes = BuiltinProfileBytes(noBlack);
    EXPECT_FALSE(bytes.empty());
    std::ofstream(root / "Fellgate" / "CP52.icc", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return root;
}

void Diffusion(const test::TableRow& row) {
    const auto amounts = List(row[1]);
    const float tint = static_cast<float>(row.Real(2));
    const auto levels = Diffuse(amounts, tint, static_cast<float>(row.Real(3)), 7, 256, 256);
    const double pixels = static_cast<double>(levels.size());
    double ink = 0.0;
    for (const uint8_t level : levels) ink += amounts[level];
    EXPECT_NEAR(ink / pixels, tint, 0.01);
    const auto shares = row.words.size() < 5 ? std::vector<double>{} : List<double>(row[4]);
    for (std::size_t k = 0; k < shares.size(); ++k)
        EXPECT_NEAR(std::count(levels.begin(), levels.end(), uint8_t(k)) / pixels, shares[k], 0.02)
            << k;
}

void AntiClog(const test::TableRow& row) {
    constexpr int kWidth = 3000, kTinted = 100;
    const int stretch = AntiClogStretch(row.Int(1));
    const int minDots = row.Int(3);
    LevelDiffuser diffuser(kWidth, {0.0f, 0.94f}, stretch, 0.5f, 3);
    std::vector<float> target(kWidth, 0.0f);
    std::fill_n(target.begin(), kTinted, static_cast<float>(row.Real(2)));
    std::vector<uint8_t> levels(kWidth);
    for (int y = 0; y < 40; ++y) {
        diffuser.Row(target, levels);
        const auto dots = std::count(levels.begin() + kTinted, levels.end(), 1);
        EXPECT_TRUE(minDots == 0 ? dots == 0 : dots >= minDots) << "row " << y << ": " << dots;
        if (minDots == 0) continue;
        EXPECT_EQ(std::search_n(levels.begin(), levels.end(), stretch, uint8_t{0}), levels.end())
            << "a blank run of " << stretch << " in row " << y;
    }
}

void Screen(const test::TableRow& row) {
    const double frequency = row.Real(2), angle = row.Real(3);
    const int dpi = row.Int(4);
    std::vector<std::string> warnings;
    const ScreenTile tile = BuildScreenTile(row[1], frequency, angle, dpi, dpi, warnings);
    EXPECT_EQ(tile.shape, row[7]);
    ASSERT_EQ(warnings.size(), row[8] == "-" ? 0u : 1u);
    for (const std::string& warning : warnings) EXPECT_NE(warning.find(row[8]), std::string::npos);
    const int n = tile.size;
    const std::vector<float> target(static_cast<std::size_t>(n), static_cast<float>(row.Real(5)));
    std::vector<uint8_t> dots(static_cast<std::size_t>(n * n));
    for (int y = 0; y < n; ++y) {
        ScreenRow(
            tile, std::vector<float>{0.0f, 1.0f}, y, target,
            std::span(dots).subspan(static_cast<std::size_t>(y * n), static_cast<std::size_t>(n)));
    }
    const double coverage = static_cast<double>(std::count(dots.begin(), dots.end(), 1)) /
                            static_cast<double>(dots.size());
    EXPECT_NEAR(coverage, row.Real(5), 0.01);
    const auto [kx, ky] =
        StrongestFrequency(dots, n, static_cast<int>(frequency * n / dpi * 1.3) + 2);
    EXPECT_NEAR(std::hypot(kx, ky) * dpi / n, frequency, 0.02 * frequency);
    const double measured = std::atan2(ky, kx) * 180.0 / std::numbers::pi;
    const double off = std::remainder(measured - angle, row.Real(6));
    EXPECT_LE(std::abs(off), std::max(0.02 * angle, 0.5)) << "measured " << measured;
}

void Record(const test::TableRow& row) {
    DitherParamRecord record{};
    record.levelCount = row.Int(1);
    record.inkCount = 2;
    record.noiseLevel = static_cast<float>(row.Real(3));
    for (int ink = 0; ink < 2; ++ink) {
        const float weights[] = {0.3f, static_cast<float>(row.Real(2)), 0.9f};
        std::copy(std::begin(weights), std::end(weights), record.weights[ink]);
    }
    std::string error;
    const auto settings = DitherFromRecord(record, 3, error);
    if (row[4] != "-") {
        EXPECT_FALSE(settings);
        EXPECT_NE(error.find(row[4]), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(settings) << error;
    EXPECT_EQ(settings->amounts, std::vector(3, List(row[5])));  // the third ink as the last
    EXPECT_EQ(PlaneBits(settings->levelCount), row.Int(6));
}

void Row(const test::TableRow& row, const test::TempDir& dir, const std::filesystem::path& root) {
    const std::string& op = row[0];
    if (op == "diffuse") {
        Diffusion(row);
    } else if (op == "repeat") {
        const auto amounts = List(row[1]);
        const auto a = Diffuse(amounts, row.Real(2), row.Real(3), row.Int(4), 64, 64);
        const auto b = Diffuse(amounts, row.Real(2), row.Real(5), row.Int(6), 64, 64);
        EXPECT_EQ(a == b, row[7] == "same");
    } else if (op == "anticlog") {
        AntiClog(row);
    } else if (op == "screen") {
        Screen(row);
    } else if (op == "record") {
        Record(row);
    } else if (op == "pack") {
        const auto expected = test::HexBytes(row[3]);
        std::vector<uint8_t> out(expected.size(), 0xFF);
        PackLevels(List<uint8_t>(row[2]), row.Int(1), out);
        EXPECT_EQ(out, expected);
    } else if (op == "separate") {
        const auto embedded = row[6] == "linear" ? LinearRgbProfile() : std::vector<uint8_t>{};
        const auto amounts = Separate(
            {kFormats.at(row[1]), embedded, {}, List<std::string>(row[3])}, List<uint8_t>(row[2]));
        const auto expected = List(row[4]);
        ASSERT_EQ(amounts.size(), expected.size());
        for (std::size_t i = 0; i < amounts.size(); ++i)
            EXPECT_NEAR(amounts[i], expected[i], row.Real(5)) << i;
    } else if (op == "profile") {
        const std::filesystem::path profile = FindPrinterProfile(root, row[1], row[2]);
        EXPECT_EQ(profile.empty(), row[3] == "none");
        const auto amounts = Separate({PixelFormat::kRgb8, {}, profile, kCmyk}, {128, 128, 128});
        EXPECT_NEAR(amounts.at(3), row.Real(4), 0.03);  // black
    } else if (op == "inkdata") {
        std::ofstream(dir.file("Halftone.xml")) << row[1];
        std::string error;
        EXPECT_FALSE(LoadInkData(dir.file("Halftone.xml"), error));
        EXPECT_NE(error.find(row[2]), std::string::npos) << error;
    } else if (op == "badprofile") {
        const bool file = row[2] == "file";
        std::ofstream(dir.file("CP52.icc")) << row[3];
        std::string error;
        const std::vector<uint8_t> bytes(row[3].begin(), row[3].end());
        EXPECT_FALSE(MakeSeparator({kFormats.at(row[1]), file ? std::vector<uint8_t>{} : bytes,
                                    file ? dir.file("CP52.icc") : "", kCmyk},
                                   error));
        EXPECT_NE(error.find(row[4]), std::string::npos) << error;
    } else {
        FAIL() << "unknown operation " << op;
    }
}

TEST(HalftoneTable, EveryCase) {
    test::TempDir dir;
    const std::filesystem::path root = PrinterFolder(dir);
    for (const test::TableRow& row : test::ReadTable(__FILE__, "halftone.txt")) {
        SCOPED_TRACE(row.where);
        Row(row, dir, root);
    }
}

// Every ink within its limit, and the total at the limit exactly where the inks would pass it:
// the colour inks give way, not more than needed.
TEST(SeparatorTest, NoInkLimitIsEverExceeded) {
    InkData data = SampleData();
    data.totalLimit = 1.5f;  // low enough that the dark half of the cube meets it
    InkData unlimited = data;
    unlimited.totalLimit = 1e9f;
    std::vector<uint8_t> cube;  // every 17th value of each channel
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17)
                cube.insert(cube.end(), {static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                         static_cast<uint8_t>(b)});
    const auto width = cube.size() / 3;
    for (const auto& inks :
         {kCmyk, kLight, List<std::string>("Cyan,Magenta,Yellow,Black,Green,Orange")}) {
        std::string error;
        const auto separator = MakeSeparator({PixelFormat::kRgb8, {}, {}, inks}, error, data);
        ASSERT_TRUE(separator) << error;
        const auto free = MakeSeparator({PixelFormat::kRgb8, {}, {}, inks}, error, unlimited);
        ASSERT_TRUE(free) << error;
        std::vector<float> amounts(inks.size() * width), freeAmounts(amounts.size());
        std::vector<uint16_t> scratch(4 * width);
        separator->SeparateRow(cube, static_cast<int>(width), amounts, scratch);
        free->SeparateRow(cube, static_cast<int>(width), freeAmounts, scratch);
        for (std::size_t x = 0; x < width; ++x) {
            float total = 0.0f, freeTotal = 0.0f;
            for (std::size_t i = 0; i < inks.size(); ++i) {
                const float v = amounts[i * width + x];
                EXPECT_LE(v, data.MaxFor(inks[i]) + 1e-5f) << inks[i] << " at " << x;
                EXPECT_GE(v, 0.0f);
                total += v;
                freeTotal += freeAmounts[i * width + x];
            }
            EXPECT_NEAR(total, std::min(freeTotal, data.totalLimit), 1e-4f) << "pixel " << x;
        }
    }
}

TEST(PipelineTest, PlanesDoNotDependOnTheBandSize) {
    constexpr int kWidth = 97, kHeight = 23;
    std::vector<uint8_t> image;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            image.insert(image.end(), {static_cast<uint8_t>(x * 255 / kWidth),
                                       static_cast<uint8_t>(y * 255 / kHeight),
                                       static_cast<uint8_t>((x + y) % 256)});
    std::vector<std::string> warnings;
    for (const Method method : {Method::kDiffusion, Method::kScreen}) {
        std::vector<std::vector<std::vector<uint8_t>>> results;  // band size, ink, rows
        for (const int band : {1, 4, 23}) {
            std::string error;
            auto separator = MakeSeparator({PixelFormat::kRgb8, {}, {}, kLight}, error);
            ASSERT_TRUE(separator) << error;
            HalftoneSetup setup;
            setup.method = method;
            setup.dither.levelCount = 3;
            setup.dither.amounts.assign(kLight.size(), {0.0f, 0.4f, 0.9f});
            setup.dither.noiseLevel = 0.5f;
            setup.dither.antiClogLevel = 2;
            setup.tiles = TilesForInks(ScreeningRecord{}, kLight, 360, 360, warnings);
            Pipeline pipeline(std::move(separator), setup, kWidth, band);
            EXPECT_EQ(pipeline.bits(), 2);
            std::vector<std::vector<uint8_t>> planes(kLight.size());
            for (int y = 0; y < kHeight; y += band) {
                const int rows = std::min(band, kHeight - y);
                ASSERT_TRUE(pipeline.Band(
                    std::span(image).subspan(static_cast<std::size_t>(y * kWidth * 3)), rows));
                for (std::size_t ink = 0; ink < kLight.size(); ++ink)
                    for (int r = 0; r < rows; ++r) {
                        const auto packed = pipeline.Packed(ink, r);
                        planes[ink].insert(planes[ink].end(), packed.begin(), packed.end());
                    }
            }
            results.push_back(planes);
        }
        EXPECT_EQ(results, std::vector(results.size(), results[0])) << "planes differ by band size";
        for (const auto& plane : results[0])
            EXPECT_NE(std::count(plane.begin(), plane.end(), 0), static_cast<long>(plane.size()));
    }
}

// params and make-job through the real tool for the printers of make_job_halftone.txt.
class MakeJobHalftoneTest : public test::ToolTest {};

using Names = std::vector<std::string>;

// A float as the tool writes it: a JSON number with a decimal point.
void ExpectFloat(const JsonValue* value) {
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->kind, JsonValue::Kind::kNumber);
    EXPECT_NE(value->text.find('.'), std::string::npos) << value->text;
}

TEST_F(MakeJobHalftoneTest, ParamsAreAppliedAndPlaneLevelsMatchEachPrintersLevelCount) {
    // A small photograph stand-in: a light-to-dark ramp across, hue changing down the page.
    WritePnm(File("photo.ppm"), 96, 40, true, [](int x, int y) {
        const int v = 255 - x * 255 / 95;
        return static_cast<uint32_t>(v << 16 | std::min(255, v + y * 3) << 8 |
                                     std::max(0, v - y * 2));
    });
    for (const TableRow& c : ReadTable(__FILE__, "make_job_halftone.txt")) {
        SCOPED_TRACE(c.where);
        const auto inkCount = static_cast<std::size_t>(c.Int(4));
        const int levels = c.Int(5);
        const ToolResult params =
            Run({"params", "--model", c[0], "--manufacturer", c[1], "--color-mode", c[3]});
        ASSERT_EQ(params.exitCode, 0) << params.err;
        JsonValue json;
        ASSERT_TRUE(ParseJson(params.out, json)) << params.out;
        ASSERT_EQ(json.names, (Names{"dither", "screening", "applied"}));
        const JsonValue *dither = &json.items[0], *screening = &json.items[1];
        const JsonValue* applied = &json.items[2];
        ASSERT_EQ(dither->names, (Names{"result", "levelCount", "inkCount", "antiClogLevel",
                                        "noiseLevel", "weights"}));
        ASSERT_EQ(screening->names, (Names{"result", "count", "entries"}));
        ASSERT_TRUE(applied->Find("inks") && applied->Find("levelCount")) << params.out;
        EXPECT_EQ(dither->Find("result")->text + screening->Find("result")->text, "11");
        ExpectFloat(dither->Find("noiseLevel"));
        EXPECT_EQ(dither->Find("inkCount")->number, static_cast<double>(inkCount));
        EXPECT_EQ(dither->Find("levelCount")->text, std::to_string(levels));
        EXPECT_EQ(applied->Find("levelCount")->number, levels);
        const int bits = static_cast<int>(applied->Find("planeBits")->number);
        const std::vector<JsonValue>& weights = dither->Find("weights")->items;
        const std::vector<JsonValue>& entries = screening->Find("entries")->items;
        const std::vector<JsonValue>& inks = applied->Find("inks")->items;
        EXPECT_EQ(static_cast<double>(entries.size()), screening->Find("count")->number);
        ASSERT_EQ(weights.size(), inkCount);
        ASSERT_EQ(inks.size(), inkCount);
        ASSERT_GE(entries.size(), inkCount);
        for (std::size_t i = 0; i < inkCount; ++i) {
            SCOPED_TRACE(i);
            ASSERT_EQ(weights[i].items.size(), static_cast<std::size_t>(levels - 1));
            EXPECT_TRUE(weights[i].items[0].number > 0.0 && weights[i].items[0].number <= 1.0);
            const JsonValue& entry = entries[i];
            EXPECT_EQ(entry.names, (Names{"colorName", "shapeName", "frequency", "angle"}));
            ExpectFloat(entry.Find("frequency"));
            ExpectFloat(entry.Find("angle"));
            // As applied: the record's weights as written, its screen as near as the tile allows.
            EXPECT_EQ(inks[i].Find("amounts")->items.at(1).text, weights[i].items[0].text);
            EXPECT_EQ(inks[i].Find("name")->text, entry.Find("colorName")->text);
            const JsonValue* screen = inks[i].Find("screen");
            const double frequency = entry.Find("frequency")->number;
            EXPECT_NEAR(screen->Find("frequency")->number, frequency, 0.02 * frequency);
            EXPECT_NEAR(screen->Find("angle")->number, entry.Find("angle")->number, 0.5);
        }

        const ToolResult made = Run({"make-job", "-o", File("job.tkt"), "--model", c[0],
                                     "--manufacturer", c[1], "--halftone", c[2], "--color-mode",
                                     c[3], "--option", "DriverOption5=0", File("photo.ppm")});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const auto info = LinesStartingWith(made.err, "INFO: halftone: ");
        ASSERT_EQ(info.size(), 1u) << made.err;
        EXPECT_NE(info[0].find(c[6]), std::string::npos) << info[0];
        EXPECT_NE(info[0].find(c[5] + " levels"), std::string::npos) << info[0];
        const ToolResult printed = Run({"print", File("job.tkt"), "-o", File("out.prn")});
        ASSERT_EQ(printed.exitCode, 0) << printed.err;
        const std::vector<StreamPage> pages = ReadStreamRows(ReadBytes(File("out.prn")));
        ASSERT_EQ(pages.size(), 1u);
        ASSERT_FALSE(pages[0].rows.empty());
        ASSERT_EQ(pages[0].rows[0].planes.size(), inkCount);
        for (std::size_t plane = 0; plane < inkCount; ++plane) {
            std::set<int> seen;  // the levels of the plane's pixels, at `bits` a pixel
            for (const StreamRow& row : pages[0].rows)
                for (const uint8_t byte : row.planes[plane])
                    for (int shift = 8 - bits; shift >= 0; shift -= bits)
                        seen.insert((byte >> shift) & ((1 << bits) - 1));
            EXPECT_EQ(std::tuple(std::ssize(seen), *seen.rbegin()), std::tuple(levels, levels - 1))
                << "plane " << plane;
        }
    }
}

}  // namespace
}  // namespace tarnwick::halftone
