// Numbers in the configuration files are written with a decimal point and
// must read the same whatever locale the host process runs in.
#include <gtest/gtest.h>
#include <locale.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <string>

#include "config/dither_params.h"
#include "config/screening_params.h"
#include "config_test_root.h"

namespace tarnwick {
namespace {

using config_test::Hardware;
using config_test::MakeSetup;
using config_test::TempConfigRoot;

// Makes the calling thread use a comma-decimal locale while it lives.
class CommaDecimalLocale {
  public:
    CommaDecimalLocale() {
        for (const char* name :
             {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
            m_locale = newlocale(LC_ALL_MASK, name, nullptr);
            if (m_locale != nullptr) break;
        }
        if (m_locale != nullptr) m_previous = uselocale(m_locale);
    }
    ~CommaDecimalLocale() {
        if (m_locale == nullptr) return;
        uselocale(m_previous);
        freelocale(m_locale);
    }
    bool active() const { return m_locale != nullptr; }

  private:
    locale_t m_locale = nullptr;
    locale_t m_previous = nullptr;
};

TEST(ConfigNumbers, DecimalPointUnderCommaLocale) {
    CommaDecimalLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no comma-decimal locale installed";
    float probe = 0;
    ASSERT_EQ(std::sscanf("0,5", "%f", &probe), 1);
    ASSERT_EQ(probe, 0.5f) << "the locale does not use a decimal comma";

    TempConfigRoot root;
    const std::string path =
        "<Model ID='Default'><Media ID='Default'><PrintMode ID='Default'><Resolution ID='Default'>"
        "<ColorMode ID='Default'>";
    const std::string close = "</ColorMode></Resolution></PrintMode></Media></Model>";
    root.WritePlain("Ditherparams.xml",
                    Hardware(path +
                             "<DitherParams ID='2'><Level Value='2'>"
                             "<Weight ColorInk='0' Level='0' Value='0.5'/></Level>"
                             "<AntiClogLevel Value='2'/><NoiseLevel Value='0.25'/></DitherParams>" +
                             close));
    root.WritePlain(
        "ScreeningParams.xml",
        Hardware(path + "<Item ColorName='Black' Angle='22.5' Frequency='60.75'/>" + close));
    const PrintSetup setup = MakeSetup("CP52", "Tarnwick Imaging", 0, 0, 0, 0);

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
