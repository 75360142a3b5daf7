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

constexpr int kWidth = 40;
constexpr int kHeight = 5;
const std::string kGoldenFile = std::string(TARNWICK_TEST_DATA_DIR) + "/golden_streams.txt";

// Two pages in the inks of the colour mode, with rows that differ by ink, row and page.
std::vector<test::TestPage> PagesFor(CDriver& driver, int16_t colorMode) {
    std::vector<ColorEntry> entries(64);
    ColorList list{0, entries.data(), 64};
    driver.GetColorList(colorMode, &list);
    std::vector<test::TestPage> pages(2, test::TestPage{kWidth, kHeight, 0, 0, {}});
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < list.count; ++i)
            pages[p].colorants.push_back({entries[static_cast<std::size_t>(i)].name});
        pages[p].content = [p](int c, int r, int i) {
            return static_cast<uint8_t>((i % 3 == 0 ? 0xFF : 0x11 * (c + 1)) ^ (r * 7 + p * 29));
        };
    }
    return pages;
}

// The stream of a job to its end, or aborted once the first page has started its rows.
std::vector<uint8_t> StreamOf(const JobTicket& ticket, const std::vector<test::TestPage>& pages,
                              int32_t printMode, bool abort) {
    test::TempDir dir;
    auto job = test::MakeJob(dir, ticket, pages);
    job->m_nPrintMode = printMode;
    CDriver driver;
    test::MemoryChannel out;
    EXPECT_EQ(test::RunJob(driver, *job, out, abort ? 2 : 100) > 0, !abort);  // ended
    if (abort) driver.AbortJob(nullptr, nullptr, nullptr);
    return out.bytes;
}

std::string Digest(const std::vector<uint8_t>& stream) {
    char text[32];
    std::snprintf(text, sizeof text, "%08lx %zu",
                  crc32(0L, stream.data(), static_cast<uInt>(stream.size())), stream.size());
    return text;
}

TEST(GoldenMatrix, EveryStreamIsTheRecordedOneAndDecodesToItsPages) {
    FakeClock clock;
    ScopedClock useClock{&clock};
    ScopedMessageScript answers;
    std::map<std::string, std::string> goldens;  // key, then "crc32 length"
    std::ifstream in(kGoldenFile);
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (!line.empty() && line[0] != '#' && tab != std::string::npos)
            goldens[line.substr(0, tab)] = line.substr(tab + 1);
    }
    const bool record = std::getenv("TARNWICK_RECORD_GOLDENS") != nullptr;
    std::ostringstream recorded;
    recorded << "# model|print mode|colour mode|colour bar|ending\tcrc32 length\n";
    CDriver queries;
    std::size_t streams = 0;
    for (const char* model :
         {"Generic RTL", "ASBRU_V3C", "CP52", "CP52-LM", "Coldstream SP-1400C"}) {
        PrintModeList modes;
        int32_t current = 0;
        queries.GetPrintModes(model, nullptr, &modes, &current);
        PrintSetup setup{};
        std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model);
        int16_t colorModes = 0;
        for (char name[512]; colorModes < 16; ++colorModes) {
            int32_t count = 0;
            if (queries.GetColorModeName(colorModes, &count, name, &setup) == 0) break;
        }
        for (const PrintModeEntry& mode : modes) {
            ResolutionList resolutions;
            int32_t printMode = mode.index, value = 0;
            queries.GetResolutions(model, nullptr, &printMode, &resolutions, &value);
            const auto dpi = static_cast<int16_t>(resolutions.empty() ? 360 : resolutions[0].xDpi);
            for (int16_t color = 0; color < colorModes; ++color) {
                const std::vector<test::TestPage> pages = PagesFor(queries, color);
                for (int bar = 0; bar < 3; ++bar) {
                    JobTicket ticket = test::DefaultTicket(model, dpi, color);
                    ticket.settings[13] = static_cast<uint8_t>(bar);
                    for (const bool abort : {false, true}) {
                        char key[128];
                        std::snprintf(key, sizeof key, "%s|%d|%d|%d|%s", model, mode.index, color,
                                      bar, abort ? "abort" : "end");
                        SCOPED_TRACE(key);
                        ++streams;
                        const std::vector<uint8_t> stream =
                            StreamOf(ticket, pages, mode.index, abort);
                        ASSERT_FALSE(stream.empty());
                        recorded << key << '\t' << Digest(stream) << '\n';
                        if (!record) {
                            ASSERT_TRUE(goldens.contains(key)) << "no recorded stream";
                            EXPECT_EQ(Digest(stream), goldens.at(key));
                        }
                        // The same stream read back: the pages that were sent, each row whole.
                        const auto sent = test::ReadStreamRows(stream);
                        ASSERT_EQ(sent.size(), abort ? 1u : 2u);
                        if (!abort) {
                            for (const auto& page : sent)
                                EXPECT_EQ(page.rows.size(), std::size_t{kHeight});
                        }
                    }
                }
            }
        }
    }
    ASSERT_GT(streams, 100u);
    if (record) {
        std::ofstream(kGoldenFile) << recorded.str();
    } else {
        EXPECT_EQ(goldens.size(), streams) << "recorded streams that no longer exist";
    }
}

}  // namespace
}  // namespace tarnwick
