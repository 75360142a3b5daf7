// Every stored fuzz input, replayed through the same entry function the fuzzer calls, without
// libFuzzer: an input that once broke an invariant keeps being checked by the normal suite. The
// entry functions must also hold up on inputs the seeds do not reach: none, and one byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "targets/fuzz_targets.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

struct Target {
    const char* name;
    int (*entry)(const uint8_t*, size_t);
};

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, EveryStoredInputKeepsItsInvariants) {
    const fs::path folder = fs::path(TARNWICK_FUZZ_CORPUS_DIR) / GetParam().name;
    std::vector<fs::path> files;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    // A corpus holds a handful of seeds at least; fewer means it went missing.
    ASSERT_GE(files.size(), 4u) << "corpus of " << GetParam().name << " is missing";
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(GetParam().entry(bytes.data(), bytes.size()), 0) << file.filename();
    }
    const uint8_t one = '<';
    EXPECT_EQ(GetParam().entry(nullptr, 0), 0);
    EXPECT_EQ(GetParam().entry(&one, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay,
                         ::testing::Values(Target{"job_ticket", fuzz::FuzzJobTicket},
                                           Target{"job_data", fuzz::FuzzJobData},
                                           Target{"option_text", fuzz::FuzzOptionText},
                                           Target{"job_options_xml", fuzz::FuzzJobOptionsXml},
                                           Target{"config_files", fuzz::FuzzConfigFiles},
                                           Target{"enciphered_xml", fuzz::FuzzEncipheredXml},
                                           Target{"inspect_stream", fuzz::FuzzInspectStream},
                                           Target{"packbits", fuzz::FuzzPackBits}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick
