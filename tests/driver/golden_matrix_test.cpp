// The printer streams of every model, print mode, colour mode, colour bar and ending, each kept
// as a digest and a length in tests/data/golden_streams.txt, beside a decoding of the same stream.
// TARNWICK_RECORD_GOLDENS=1 writes the file anew instead of checking it (for a deliberate change
// of the streams, reviewed in the diff of that file).
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/cdriver.h"
#include "support/fake_clock.h"
#include "support/job_fixture.h"
#include "support/message_script.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

constexpr const char* kModels[] = {"Generic RTL", "ASBRU_V3C", "CP52", "CP52-LM",
                                   "Coldstream SP-1400C"};
constexpr int kWidth = 40;
constexpr int kHeight = 5;
const std::string kGoldenFile = std::string(TARNWICK_TEST_DATA_DIR) + "/golden_streams.txt";

struct Combination {
    std::string model;
    int32_t printMode;
    int16_t dpi;
    int16_t colorMode;
    int colorBar;
    bool abort;

    std::string key() const {
        return model + "|" + std::to_string(printMode) + "|" + std::to_string(colorMode) + "|" +
               std::to_string(colorBar) + "|" + (abort ? "abort" : "end");
    }
};

std::vector<Combination> AllCombinations(CDriver& driver) {
    std::vector<Combination> all;
    for (const char* model : kModels) {
        PrintModeList modes;
        int32_t current = 0;
        driver.GetPrintModes(model, nullptr, &modes, &current);
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model);
        int colorModes = 0;
        for (char name[512]; colorModes < 16; ++colorModes) {
            int32_t count = 0;
            if (driver.GetColorModeName(colorModes, &count, name, &setup) == 0) break;
        }
        for (const PrintModeEntry& mode : modes) {
            ResolutionList resolutions;
            int32_t printMode = mode.index;
            int32_t value = 0;
            driver.GetResolutions(model, nullptr, &printMode, &resolutions, &value);
            const auto dpi = static_cast<int16_t>(resolutions.empty() ? 360 : resolutions[0].xDpi);
            for (int16_t color = 0; color < colorModes; ++color) {
                for (int bar = 0; bar < 3; ++bar) {
                    for (bool abort : {false, true}) {
                        all.push_back({model, mode.index, dpi, color, bar, abort});
                    }
                }
            }
        }
    }
    return all;
}

// Two pages in the inks of the colour mode, with rows that differ by ink, row and page.
std::vector<test::TestPage> PagesFor(CDriver& driver, int16_t colorMode) {
    std::vector<ColorEntry> entries(64);
    ColorList list{0, entries.data(), 64};
    driver.GetColorList(colorMode, &list);
    std::vector<test::TestPage> pages;
    for (int p = 0; p < 2; ++p) {
        test::TestPage page{kWidth, kHeight, 0, 0, {}};
        for (int i = 0; i < list.count; ++i)
            page.colorants.push_back({entries[static_cast<std::size_t>(i)].name});
        page.content = [p](int c, int r, int i) {
            return static_cast<uint8_t>((i % 3 == 0 ? 0xFF : 0x11 * (c + 1)) ^ (r * 7 + p * 29));
        };
        pages.push_back(page);
    }
    return pages;
}

std::vector<uint8_t> StreamOf(const Combination& c, CDriver& queries) {
    test::TempDir dir;
    JobTicket ticket = test::DefaultTicket(c.model, c.dpi, c.colorMode);
    ticket.settings[13] = static_cast<uint8_t>(c.colorBar);
    auto job = test::MakeJob(dir, ticket, PagesFor(queries, c.colorMode));
    job->m_nPrintMode = c.printMode;
    CDriver driver;
    test::MemoryChannel out;
    if (driver.OpenJob(job.get(), &out) == 0) return {};
    if (c.abort) {
        driver.PrintStep(nullptr, nullptr, nullptr);  // the first page starts
        driver.PrintStep(nullptr, nullptr, nullptr);  // its rows
        driver.AbortJob(nullptr, nullptr, nullptr);
    } else {
        for (int step = 0; step < 100 && job->m_nDone != -1; ++step) {
            if (driver.PrintStep(nullptr, nullptr, nullptr) == 0) break;
        }
    }
    return out.bytes;
}

std::string Digest(const std::vector<uint8_t>& stream) {
    const uLong crc = crc32(0L, stream.data(), static_cast<uInt>(stream.size()));
    char text[32];
    std::snprintf(text, sizeof text, "%08lx %zu", crc, stream.size());
    return text;
}

std::map<std::string, std::string> ReadGoldens() {
    std::map<std::string, std::string> goldens;
    std::ifstream in(kGoldenFile);
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
        goldens[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return goldens;
}

TEST(GoldenMatrix, EveryStreamIsTheRecordedOneAndDecodesToItsPages) {
    FakeClock clock;
    ScopedClock useClock{&clock};
    ScopedMessageScript answers;
    CDriver queries;
    const std::vector<Combination> all = AllCombinations(queries);
    ASSERT_GT(all.size(), 100u);
    const bool record = std::getenv("TARNWICK_RECORD_GOLDENS") != nullptr;
    const std::map<std::string, std::string> goldens = ReadGoldens();
    std::ostringstream recorded;
    recorded << "# model|print mode|colour mode|colour bar|ending\tcrc32 length\n";
    for (const Combination& c : all) {
        SCOPED_TRACE(c.key());
        const std::vector<uint8_t> stream = StreamOf(c, queries);
        ASSERT_FALSE(stream.empty());
        recorded << c.key() << '\t' << Digest(stream) << '\n';
        if (!record) {
            const auto golden = goldens.find(c.key());
            ASSERT_NE(golden, goldens.end()) << "no recorded stream";
            EXPECT_EQ(Digest(stream), golden->second);
        }
        // The same stream read back: the pages that were sent, each row whole.
        const auto pages = test::ReadStreamRows(stream);
        ASSERT_EQ(pages.size(), c.abort ? 1u : 2u);
        if (!c.abort) {
            for (const auto& page : pages)
                EXPECT_EQ(page.rows.size(), static_cast<std::size_t>(kHeight));
        }
    }
    if (record) {
        std::ofstream(kGoldenFile) << recorded.str();
    } else {
        EXPECT_EQ(goldens.size(), all.size()) << "recorded streams that no longer exist";
    }
}

}  // namespace
}  // namespace tarnwick
