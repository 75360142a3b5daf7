// Every stored fuzz input, replayed through the same entry function the fuzzer calls, without
// libFuzzer: an input that once broke an invariant keeps being checked by the normal suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "targets/fuzz_targets.h"

#ifndef TARNWICK_FUZZ_CORPUS_DIR
#error "TARNWICK_FUZZ_CORPUS_DIR must name fuzz/corpus"
#endif

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

using Entry = int (*)(const uint8_t*, size_t);

struct Target {
    const char* name;
    Entry entry;
};

// A corpus holds a handful of seeds at least; fewer means it went missing.
constexpr std::size_t kMinimumInputs = 4;

std::vector<fs::path> Inputs(const char* target) {
    std::vector<fs::path> files;
    const fs::path folder = fs::path(TARNWICK_FUZZ_CORPUS_DIR) / target;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, EveryStoredInputKeepsItsInvariants) {
    const std::vector<fs::path> files = Inputs(GetParam().name);
    ASSERT_GE(files.size(), kMinimumInputs) << "corpus of " << GetParam().name << " is missing";
    for (const fs::path& file : files) {
        const std::vector<uint8_t> bytes = ReadAll(file);
        EXPECT_EQ(GetParam().entry(bytes.data(), bytes.size()), 0) << file.filename();
    }
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
                         [](const ::testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.name);
                         });

// The entry functions must also hold up on inputs the seeds do not reach: none, and one byte.
TEST(CorpusReplayEdges, EmptyAndOneByteInputsKeepTheInvariants) {
    const Entry entries[] = {fuzz::FuzzJobTicket,     fuzz::FuzzJobData,
                             fuzz::FuzzOptionText,    fuzz::FuzzJobOptionsXml,
                             fuzz::FuzzConfigFiles,   fuzz::FuzzEncipheredXml,
                             fuzz::FuzzInspectStream, fuzz::FuzzPackBits};
    const uint8_t one = '<';
    for (Entry entry : entries) {
        EXPECT_EQ(entry(nullptr, 0), 0);
        EXPECT_EQ(entry(&one, 1), 0);
    }
}

}  // namespace
}  // namespace tarnwick
