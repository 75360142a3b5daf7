// Numbers in the configuration files are written with a decimal point and must read the same
// whatever locale the host process runs in.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/dither_params.h"
#include "config/screening_params.h"
#include "config_test_root.h"
#include "support/comma_locale.h"

namespace tarnwick {
namespace {

using ConfigNumbers = test::CommaLocaleTest;

TEST_F(ConfigNumbers, DecimalPointUnderCommaLocale) {
    config_test::TempConfigRoot root;
    const std::string path =
        "<Model ID='Default'><Media ID='Default'><PrintMode ID='Default'><Resolution ID='Default'>"
        "<ColorMode ID='Default'>";
    const std::string close = "</ColorMode></Resolution></PrintMode></Media></Model>";
    root.WritePlain("Ditherparams.xml",
                    config_test::Hardware(
                        path +
                        "<DitherParams ID='2'><Level Value='2'>"
                        "<Weight ColorInk='0' Level='0' Value='0.5'/></Level>"
                        "<AntiClogLevel Value='2'/><NoiseLevel Value='0.25'/></DitherParams>" +
                        close));
    root.WritePlain("ScreeningParams.xml",
                    config_test::Hardware(
                        path + "<Item ColorName='Black' Angle='22.5' Frequency='60.75'/>" + close));
    const PrintSetup setup = config_test::MakeSetup("CP52", "Tarnwick Imaging", 0, 0, 0, 0);

    DitherParamRecord dither{};
    dither.levelCount = 2;
    dither.inkCount = 1;
    ASSERT_EQ(LoadDitherParamsWith("CP52", "", &setup, &dither, nullptr), 1);
    EXPECT_EQ(dither.weights[0][0], 0.5f);
    EXPECT_EQ(dither.noiseLevel, 0.25f);

    auto screens = std::make_unique<ScreeningRecord>();
    LoadScreeningParamsWith(screens.get(), &setup);
    ASSERT_EQ(screens->count, 1);
    EXPECT_EQ(screens->entries[0].angle, 22.5f);
    EXPECT_EQ(screens->entries[0].frequency, 60.75f);
}

}  // namespace
}  // namespace tarnwick
