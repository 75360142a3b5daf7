// Separation through littleCMS and the data file: known colours land on the inks the profile's
// model gives, the printer folder's profile is found and used, splits follow their curves, and
// no ink limit is ever exceeded. The pipeline gives the same planes whatever its band size.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "halftone/pipeline.h"
#include "support/job_fixture.h"

namespace tarnwick::halftone {
namespace {

const std::vector<std::string> kCmyk = {"Cyan", "Magenta", "Yellow", "Black"};
const std::vector<std::string> kLight = {"Cyan", "Magenta", "Yellow", "Black", "LCyan", "LMagenta"};
const std::vector<std::string> kPhoto = {"Cyan", "Magenta", "Yellow", "Black", "Green", "Orange"};

InkData SampleData() {
    std::string error;
    auto data = LoadInkData(TARNWICK_SOURCE_DATADIR "/OutputDrivers/Halftone.xml", error);
    EXPECT_TRUE(data) << error;
    return data.value_or(InkData{});
}

std::vector<float> Separate(const SeparationSetup& setup, const InkData& data,
                            const std::vector<uint8_t>& pixel) {
    std::vector<std::string> warnings;
    std::string error;
    const auto separator = Separator::Create(setup, data, warnings, error);
    EXPECT_TRUE(separator) << error;
    if (!separator) return {};
    std::vector<float> amounts(setup.inks.size());
    std::vector<uint16_t> scratch(4);
    separator->SeparateRow(pixel, 1, amounts, scratch);
    return amounts;
}

TEST(SeparatorTest, KnownColoursLandOnTheProfilesInks) {
    // The built-in model: CMY = 1 - sRGB; above a grey component g of 0.25, black
    // 0.9 (g - 0.25) / 0.75 replaces as much of each. Tolerance: 0.03 of an ink, 0.08 on the
    // gamut's edge (the sRGB primaries), where the profile's Lab table interpolates across it.
    struct Case {
        PixelFormat format;
        std::vector<uint8_t> pixel;
        std::vector<std::string> inks;
        std::vector<float> expected;
        double tolerance = 0.03;
    };
    const Case cases[] = {
        {PixelFormat::kRgb8, {255, 255, 255}, kCmyk, {0, 0, 0, 0}},
        {PixelFormat::kRgb8, {255, 0, 0}, kCmyk, {0, 1, 0.95f, 0}, 0.08},
        {PixelFormat::kRgb8, {0, 0, 255}, kCmyk, {1, 1, 0, 0}, 0.08},
        {PixelFormat::kRgb8, {128, 128, 128}, kCmyk, {0.2f, 0.2f, 0.2f, 0.298f}},
        {PixelFormat::kRgb8, {0, 0, 0}, kCmyk, {0.1f, 0.1f, 0.1f, 0.9f}},
        {PixelFormat::kGray8, {128}, kCmyk, {0.2f, 0.2f, 0.2f, 0.298f}},
        {PixelFormat::kCmyk8, {51, 102, 0, 255}, kCmyk, {0.2f, 0.4f, 0, 1}},
        // Light split: up to 0.2 the light ink alone, then a straight hand-over to the full ink
        // that ends at 0.75; the sum stays the input.
        {PixelFormat::kCmyk8, {38, 0, 0, 0}, kLight, {0, 0, 0, 0, 0.149f, 0}},
        {PixelFormat::kCmyk8, {102, 153, 0, 0}, kLight, {0.273f, 0.545f, 0, 0, 0.127f, 0.055f}},
        {PixelFormat::kCmyk8, {230, 0, 0, 0}, kLight, {0.9f, 0, 0, 0, 0, 0}},
        // Orange takes curve(min(M, Y)) out of both; green the same of cyan and yellow.
        {PixelFormat::kCmyk8, {0, 128, 128, 0}, kPhoto, {0, 0.1f, 0.1f, 0, 0, 0.402f}},
        {PixelFormat::kCmyk8, {153, 0, 77, 0}, kPhoto, {0.398f, 0, 0.1f, 0, 0.202f, 0}},
        // The Black-only mode: 1 - grey at gamma 1.8.
        {PixelFormat::kRgb8, {255, 255, 255}, {"Black"}, {0}},
        {PixelFormat::kRgb8, {0, 0, 0}, {"Black"}, {1}},
    };
    const InkData data = SampleData();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "pixel " << ::testing::PrintToString(c.pixel)
                                          << " into " << c.inks.size() << " inks");
        const std::vector<float> amounts = Separate({c.format, {}, {}, c.inks}, data, c.pixel);
        ASSERT_EQ(amounts.size(), c.expected.size());
        for (std::size_t i = 0; i < amounts.size(); ++i) {
            EXPECT_NEAR(amounts[i], c.expected[i], c.tolerance) << c.inks[i];
        }
    }
}

TEST(SeparatorTest, AnEmbeddedProfileDescribesThePixels) {
    // Linear RGB: value 128 is half the light, L* 76, which sRGB writes as 187; CMY 0.265 is
    // barely above the grey-component start, so almost no black.
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    ASSERT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
    std::vector<uint8_t> bytes(size);
    ASSERT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
    cmsCloseProfile(profile);
    cmsFreeToneCurve(linear);
    const auto amounts =
        Separate({PixelFormat::kRgb8, bytes, {}, kCmyk}, SampleData(), {128, 128, 128});
    ASSERT_EQ(amounts.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(amounts[i], 0.25f, 0.03) << kCmyk[i];
    EXPECT_NEAR(amounts[3], 0.02f, 0.03);
}

TEST(SeparatorTest, ThePrinterFoldersProfileIsFoundAndUsed) {
    test::TempDir dir;
    const std::filesystem::path root = dir.file("OutputDrivers");
    std::filesystem::create_directories(root / "Fellgate");
    std::ofstream(root / "Ditherparams.xml")
        << "<RootElement><ManufacturerList><Manufacturer Name='Fellgate Systems' "
           "ManufactureMAPXML='Fellgate/ModelMap.xml'/></ManufacturerList></RootElement>";
    InkData data = SampleData();
    BuiltinCmyk noBlack = data.builtin;
    noBlack.gcrStrength = 0.0f;  // grey from CMY alone, unlike the built-in profile
    const std::vector<uint8_t> bytes = BuiltinProfileBytes(noBlack);
    ASSERT_FALSE(bytes.empty());
    std::ofstream(root / "Fellgate" / "CP52.icc", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    struct Case {
        std::string manufacturer;
        std::string model;
        float black;  // for sRGB grey 128
    };
    for (const Case& c :
         {Case{"Fellgate Systems", "CP52", 0.0f}, Case{"fellgate systems", "CP52", 0.0f},
          Case{"Fellgate Systems", "CP52-LM", 0.298f}, Case{"Tarnwick Imaging", "CP52", 0.298f},
          Case{"Fellgate Systems", "../Fellgate/CP52", 0.298f}}) {
        SCOPED_TRACE(c.manufacturer + " / " + c.model);
        const std::filesystem::path profile = FindPrinterProfile(root, c.manufacturer, c.model);
        EXPECT_EQ(profile.empty(), c.black > 0.0f);
        const auto amounts =
            Separate({PixelFormat::kRgb8, {}, profile, kCmyk}, data, {128, 128, 128});
        ASSERT_EQ(amounts.size(), 4u);
        EXPECT_NEAR(amounts[3], c.black, 0.03);
    }
}

TEST(SeparatorTest, NoInkLimitIsEverExceeded) {
    const InkData data = SampleData();
    for (const auto& inks : {kCmyk, kLight, kPhoto}) {
        std::vector<std::string> warnings;
        std::string error;
        const auto separator =
            Separator::Create({PixelFormat::kRgb8, {}, {}, inks}, data, warnings, error);
        ASSERT_TRUE(separator) << error;
        EXPECT_TRUE(warnings.empty());
        std::vector<uint8_t> row;
        for (int r = 0; r < 256; r += 17)
            for (int g = 0; g < 256; g += 17)
                for (int b = 0; b < 256; b += 17) {
                    row.insert(row.end(), {static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                           static_cast<uint8_t>(b)});
                }
        const int width = static_cast<int>(row.size() / 3);
        std::vector<float> amounts(inks.size() * static_cast<std::size_t>(width));
        std::vector<uint16_t> scratch(4 * static_cast<std::size_t>(width));
        separator->SeparateRow(row, width, amounts, scratch);
        for (int x = 0; x < width; ++x) {
            float total = 0.0f;
            for (std::size_t i = 0; i < inks.size(); ++i) {
                const float v =
                    amounts[i * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
                EXPECT_LE(v, data.MaxFor(inks[i]) + 1e-5f) << inks[i] << " at " << x;
                EXPECT_GE(v, 0.0f);
                total += v;
            }
            EXPECT_LE(total, data.totalLimit + 1e-4f) << "pixel " << x;
        }
    }
}

TEST(SeparatorTest, BadDataAndProfilesAreRefusedWithAReason) {
    test::TempDir dir;
    struct Case {
        const char* xml;
        const char* error;
    };
    for (const Case& c : {Case{"<Halftone><InkLimits Total='-1'/></Halftone>", "Total"},
                          Case{"<Other/>", "no Halftone"},
                          Case{"<Halftone><LightSplit Ink='Cyan' Light='LCyan'><Full><Point In='0' "
                               "Out='0'/><Point In='0' Out='1'/></Full></LightSplit></Halftone>",
                               "rise"},
                          Case{"<Halftone><SecondarySplit Ink='Orange'/></Halftone>", "FromA"},
                          Case{"<Halftone", "Halftone.xml"}}) {
        const std::string path = dir.file("Halftone.xml");
        std::ofstream(path) << c.xml;
        std::string error;
        EXPECT_FALSE(LoadInkData(path, error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
    const std::string notIcc = dir.file("CP52.icc");
    std::ofstream(notIcc) << "not a profile";
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_FALSE(
        Separator::Create({PixelFormat::kRgb8, {}, notIcc, kCmyk}, SampleData(), warnings, error));
    EXPECT_NE(error.find("CP52.icc"), std::string::npos) << error;
    EXPECT_FALSE(Separator::Create({PixelFormat::kGray8, {1, 2, 3}, {}, kCmyk}, SampleData(),
                                   warnings, error));
    EXPECT_NE(error.find("embedded"), std::string::npos) << error;
}

TEST(PipelineTest, PlanesDoNotDependOnTheBandSize) {
    constexpr int kWidth = 97, kHeight = 23;
    std::vector<uint8_t> image;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            image.insert(image.end(), {static_cast<uint8_t>(x * 255 / kWidth),
                                       static_cast<uint8_t>(y * 255 / kHeight),
                                       static_cast<uint8_t>((x + y) % 256)});
        }
    std::vector<std::string> warnings;
    const InkData data = SampleData();
    for (const Method method : {Method::kDiffusion, Method::kScreen}) {
        std::vector<std::vector<std::vector<uint8_t>>> results;  // band size, ink, rows
        for (const int band : {1, 4, 23}) {
            std::string error;
            auto separator =
                Separator::Create({PixelFormat::kRgb8, {}, {}, kLight}, data, warnings, error);
            ASSERT_TRUE(separator) << error;
            HalftoneSetup setup;
            setup.method = method;
            setup.dither.levelCount = 3;
            setup.dither.amounts.assign(kLight.size(), {0.0f, 0.4f, 0.9f});
            setup.dither.noiseLevel = 0.5f;
            setup.dither.antiClogLevel = 2;
            ScreeningRecord screens{};
            setup.tiles = TilesForInks(screens, kLight, 360, 360, warnings);
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
        EXPECT_EQ(results[0], results[1]);
        EXPECT_EQ(results[0], results[2]);
        for (const auto& plane : results[0]) {
            EXPECT_NE(std::count(plane.begin(), plane.end(), 0), static_cast<long>(plane.size()));
        }
    }
}

}  // namespace
}  // namespace tarnwick::halftone
