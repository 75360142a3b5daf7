// Every stored fuzz input, replayed through the same entry function the fuzzer calls, without
// libFuzzer: an input that once broke an invariant keeps being checked by the normal suite. The
// entry functions must also hold up on inputs the seeds do not reach: none, and one byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "cli/cli_fixture.h"
#include "targets/fuzz_support.h"
#include "targets/fuzz_targets.h"

namespace tarnwick {
namespace {

using Entry = int (*)(const uint8_t*, size_t);
class CorpusReplay : public ::testing::TestWithParam<std::pair<const char*, Entry>> {};

TEST_P(CorpusReplay, EveryStoredInputKeepsItsInvariants) {
    const auto [name, entry] = GetParam();
    const std::filesystem::path folder = std::filesystem::path(TARNWICK_FUZZ_CORPUS_DIR) / name;
    std::vector<std::filesystem::path> files;
    std::error_code missing;
    for (const auto& file : std::filesystem::directory_iterator(folder, missing)) {
        if (file.is_regular_file()) files.push_back(file.path());
    }
    std::sort(files.begin(), files.end());
    // A corpus holds a handful of seeds at least; fewer means it went missing.
    ASSERT_GE(files.size(), 4u) << "corpus of " << name << " is missing";
    for (const auto& file : files) {
        const std::vector<uint8_t> bytes = test::ReadBytes(file);
        EXPECT_EQ(entry(bytes.data(), bytes.size()), 0) << file.filename();
    }
    const uint8_t one = '<';
    EXPECT_EQ(entry(nullptr, 0), 0);
    EXPECT_EQ(entry(&one, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay,
                         ::testing::Values(std::pair{"job_ticket", &fuzz::FuzzJobTicket},
                                           std::pair{"job_data", &fuzz::FuzzJobData},
                                           std::pair{"option_text", &fuzz::FuzzOptionText},
                                           std::pair{"job_options_xml", &fuzz::FuzzJobOptionsXml},
                                           std::pair{"config_files", &fuzz::FuzzConfigFiles},
                                           std::pair{"enciphered_xml", &fuzz::FuzzEncipheredXml},
                                           std::pair{"inspect_stream", &fuzz::FuzzInspectStream},
                                           std::pair{"packbits", &fuzz::FuzzPackBits}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace tarnwick
