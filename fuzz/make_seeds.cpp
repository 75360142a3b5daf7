// Writes the seeds of the fuzz corpora that come out of the product itself: job tickets and job
// data files as the host writes them, enciphered configuration files, the option definition
// string and printed streams. The seeds that are plain text (option texts, job options XML,
// configuration trees, hand-made streams) are kept as files in fuzz/corpus and only read here.
// Run through make-seeds.sh; the output is deterministic.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/cdriver.h"
#include "host/job/job_writer.h"
#include "host/xml_cipher.h"
#include "rtl/rtl.h"
#include "targets/fuzz_support.h"

namespace tarnwick::fuzz {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SeedWriter {
  public:
    explicit SeedWriter(fs::path root) : m_root(std::move(root)) {}

    void Put(const char* target, const char* name, const Bytes& bytes) {
        fs::create_directories(m_root / target);
        if (bytes.empty() || !WriteBytes((m_root / target / name).string(), bytes)) {
            std::fprintf(stderr, "cannot make %s/%s\n", target, name);
            m_ok = false;
        }
    }
    // A hand-written seed of the corpus.
    Bytes Get(const char* target, const char* name) { return ReadAll(m_root / target / name); }
    bool ok() const { return m_ok; }

  private:
    fs::path m_root;
    bool m_ok = true;
};

// Writes pages with JobWriter; `stopAfterRows` >= 0 copies the file while the last page has
// that many rows, as a reader would find it while the host writes.
Bytes JobData(const fs::path& scratch, const std::vector<PageFormat>& pages,
              int stopAfterRows = -1) {
    const std::string path = (scratch / "seed.twj").string();
    std::string error;
    auto writer = JobWriter::Create(path, error);
    if (!writer) return {};
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const PageFormat& page = pages[p];
        writer->BeginPage(page, error);
        const bool last = p + 1 == pages.size();
        const int rows = last && stopAfterRows >= 0 ? stopAfterRows : page.height;
        std::vector<Bytes> data(page.colorants.size());
        for (int r = 0; r < rows; ++r) {
            std::vector<std::span<const uint8_t>> spans;
            for (std::size_t c = 0; c < data.size(); ++c) {
                data[c].assign((page.width * page.colorants[c].bitsPerPixel + 7) / 8,
                               static_cast<uint8_t>(0x21 * (c + 1) + r));
                spans.emplace_back(data[c]);
            }
            writer->AppendRow(spans, error);
        }
        if (last && stopAfterRows >= 0) return ReadAll(path);
        writer->EndPage(error);
    }
    writer->Finish(error);
    writer.reset();
    return ReadAll(path);
}

void TicketSeeds(SeedWriter& out) {
    const Bytes cp52 = TicketBytes({"CP52", 180, 0, false});
    out.Put("job_ticket", "cp52_cmyk_180", cp52);
    out.Put("job_ticket", "generic_gray_60", TicketBytes({"Generic RTL", 60, 1, false}));
    out.Put("job_ticket", "cp52lm_6ink_bar_360", TicketBytes({"CP52-LM", 360, 2, true}));
    Bytes coldstream = TicketBytes({"Coldstream SP-1400C", 720, 3, true});
    const char calibration[] = "feed~0.25";
    std::memcpy(coldstream.data() + job_header::kCalibrationText, calibration, sizeof calibration);
    out.Put("job_ticket", "coldstream_orgr_calibrated_720", coldstream);
    out.Put("job_ticket", "zero_dpi", TicketBytes({"CP52", 0, 0, false}));
    out.Put("job_ticket", "short_3939", Bytes(cp52.begin(), cp52.end() - 1));
    Bytes longer = cp52;
    longer.resize(cp52.size() + 160, 0x41);
    out.Put("job_ticket", "trailing_bytes", longer);
    out.Put("job_ticket", "all_ff", Bytes(kJobHeaderSize, 0xFF));
}

void JobDataSeeds(SeedWriter& out, const fs::path& scratch) {
    const std::vector<PageFormat> two = {
        {24, 3, 0, 0, {{"Cyan", 1}, {"Magenta", 1}, {"Yellow", 1}, {"Black", 1}}},
        {20, 2, 3, 2, {{"Black", 2}, {"Black_l_2", 2}, {"Unnamed", 1}}},
    };
    const Bytes twoPages = JobData(scratch, two);
    out.Put("job_data", "two_pages", twoPages);
    out.Put("job_data", "sixteen_bit_placed",
            JobData(scratch, {{6, 3, 2, 1, {{"Black", 16}, {"Cyan", 4}}}}));
    out.Put("job_data", "live_mid_page", JobData(scratch, two, 1));
    out.Put("job_data", "no_pages", JobData(scratch, {}));
    out.Put("job_data", "zero_width", JobData(scratch, {{0, 5, 0, 0, {{"Black", 1}}}}));
    PageFormat many{8, 1, 0, 0, {}};
    for (int i = 0; i < 17; ++i) many.colorants.push_back({"Ink" + std::to_string(i), 1});
    out.Put("job_data", "seventeen_colorants", JobData(scratch, {many}));
    out.Put("job_data", "truncated_rows", Bytes(twoPages.begin(), twoPages.end() - 5));
    Bytes badMagic = twoPages;
    badMagic[0] = 'X';
    out.Put("job_data", "bad_magic", badMagic);
}

void EncipheredSeeds(SeedWriter& out) {
    const auto encipher = [](const std::string& text) { return EncipherXml(AsBytes(text)); };
    out.Put("enciphered_xml", "small_document", encipher("<RootElement a=\"1\"/>"));
    // The first file of a configuration-tree seed: a PrinterHardware document.
    const Bytes tree = out.Get("config_files", "fallback_only");
    const Bytes hardware = EncipherXml(Bytes(tree.begin(), std::find(tree.begin(), tree.end(), 0)));
    out.Put("enciphered_xml", "hardware", hardware);
    out.Put("enciphered_xml", "model_map",
            encipher("<RootElement><Model Name=\"CP52\" XMLFile=\"Fellgate/CP52.xml\"/>"
                     "</RootElement>"));
    out.Put("enciphered_xml", "truncated", Bytes(hardware.begin(), hardware.end() - 5));
    Bytes damaged = hardware;
    damaged[40] ^= 0x20;
    out.Put("enciphered_xml", "checksum_mismatch", damaged);
}

// The stream the driver sends for the small job under the ticket; with abortAfter >= 0 the job
// is aborted after that many steps.
Bytes PrintedStream(const TicketFields& fields, int abortAfter = -1) {
    FuzzRun run;
    const std::string ticket = run.File("job.tkt");
    if (!WriteBytes(ticket, TicketBytes(fields)) || !WriteSmallJobData(DataFileFor(ticket))) {
        return {};
    }
    auto job = MakeRecord(ticket);
    test::MemoryChannel out;
    CDriver driver;
    PrintBounded(driver, *job, out, abortAfter >= 0 ? abortAfter : 64);
    return out.bytes;
}

void StreamSeeds(SeedWriter& out) {
    const Bytes named = PrintedStream({"CP52", 180, 2, true});
    out.Put("inspect_stream", "cp52_six_inks_colour_bar", named);
    out.Put("inspect_stream", "generic_gray_60", PrintedStream({"Generic RTL", 60, 1, false}));
    out.Put("inspect_stream", "aborted_after_header", PrintedStream({"CP52", 180, 0, false}, 1));
    out.Put("inspect_stream", "cut_in_a_row",
            Bytes(named.begin(), named.begin() + named.size() / 2));

    RTL engine;
    char definition[1024] = {};
    engine.GetDriverOptionString(definition, "CP52");
    out.Put("option_text", "definition_cp52",
            Bytes(definition, definition + std::strlen(definition)));
}

}  // namespace
}  // namespace tarnwick::fuzz

int main(int argc, char** argv) {
    using namespace tarnwick::fuzz;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path scratch = fs::temp_directory_path() / "tarnwick-fuzz-seeds";
    fs::create_directories(scratch);
    SeedWriter out(argv[1]);
    TicketSeeds(out);
    JobDataSeeds(out, scratch);
    EncipheredSeeds(out);
    StreamSeeds(out);
    fs::remove_all(scratch);
    return out.ok() ? 0 : 1;
}
