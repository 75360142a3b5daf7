// The configuration tree shipped in data/OutputDrivers: every named model
// of both sample manufacturers gets parameters from its own file, for every
// print mode, colour mode and level count the printer offers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/dither_params.h"
#include "config/screening_params.h"
#include "config_test_root.h"
#include "platform/message_box.h"
#include "support/message_script.h"
#include "support/scoped_env.h"

#ifndef TARNWICK_SOURCE_DATADIR
#error "the tests need TARNWICK_SOURCE_DATADIR"
#endif

namespace tarnwick {
namespace {

using config_test::MakeSetup;

class SampleTree : public ::testing::Test {
  protected:
    test::ScopedEnv root{"TARNWICK_ROOT", TARNWICK_SOURCE_DATADIR};
    ScopedMessageScript messages;
};

struct Model {
    const char* name;
    std::vector<int> printModes;
};

const Model kModels[] = {
    {"ASBRU_V3C", {0, 1, 2, 3, 4, 5, 6}},
    {"CP52", {0, 1, 2, 3, 4, 5, 6}},
    {"CP52-LM", {0, 1}},
    {"Coldstream SP-1400C", {0, 1, 2, 3, 4, 5, 6}},
};

// Resolution IDs as the printer class gives them for each print mode.
int ResolutionId(const std::string& model, int printMode) {
    if (model == "CP52-LM") return printMode == 0 ? 0 : 1;
    return printMode;
}

// Loads dither and screening parameters for one setup and checks that they
// came from a file rather than from the defaults.
void ExpectParameters(const char* house, const char* model, int printMode, int colorMode,
                      int media) {
    static const int kInksPerMode[] = {4, 1, 6, 6};
    // One- and two-bit colorants alternate so both level counts are read.
    const int depth = 1 + colorMode % 2;
    SCOPED_TRACE(::testing::Message() << house << " " << model << " mode " << printMode
                                      << " colour " << colorMode << " media " << media);
    const PrintSetup setup =
        MakeSetup(model, house, media, printMode, ResolutionId(model, printMode), colorMode);
    std::vector<ColorEntry> entries(kInksPerMode[colorMode]);
    for (ColorEntry& e : entries) e.depth = depth;
    const auto count = static_cast<int32_t>(entries.size());
    const ColorList list{count, entries.data(), count};

    DitherParamRecord dither{};
    ASSERT_EQ(LoadDitherParamsWith(model, house, &setup, &dither, &list), 1);
    EXPECT_EQ(dither.levelCount, 1 << depth);
    EXPECT_NE(dither.noiseLevel, 1.0f);
    EXPECT_GT(dither.antiClogLevel, 0);
    EXPECT_LT(dither.weights[count - 1][dither.levelCount - 2], 1.0f);
    if (colorMode == 2 && media == 1 && std::string(house) == "Fellgate Systems") {
        EXPECT_LT(dither.weights[4][0], dither.weights[0][0] / 2) << "light inks weigh less";
    }

    auto screens = std::make_unique<ScreeningRecord>();
    ASSERT_EQ(LoadScreeningParamsWith(screens.get(), &setup), 1);
    EXPECT_GE(screens->count, 4);
    EXPECT_NE(screens->entries[0].frequency, 55.0f);
}

TEST_F(SampleTree, EverySetupGetsParameters) {
    for (const char* house : {"Tarnwick Imaging", "Fellgate Systems"}) {
        for (const Model& model : kModels) {
            for (int printMode : model.printModes) {
                for (int colorMode = 0; colorMode < 4; ++colorMode) {
                    for (int media : {1, 9}) {
                        ExpectParameters(house, model.name, printMode, colorMode, media);
                    }
                }
            }
        }
    }
    for (int colorMode = 0; colorMode < 4; ++colorMode) {
        ExpectParameters("Unknown House", "CP52", 3, colorMode, 0);
    }
    EXPECT_TRUE(messages.requests().empty());
}

}  // namespace
}  // namespace tarnwick
