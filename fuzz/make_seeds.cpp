// Writes the seeds of the fuzz corpora that come out of the product itself: job tickets and job
// data files as the host writes them, enciphered configuration files, the option definition
// string and printed streams. Plain-text seeds are files of fuzz/corpus and only read here.
// Run through make-seeds.sh; the output is deterministic.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/xml_cipher.h"
#include "rtl/rtl.h"
#include "targets/fuzz_support.h"

namespace tarnwick::fuzz {
namespace {

using Bytes = std::vector<uint8_t>;

class SeedWriter {
  public:
    explicit SeedWriter(std::string root) : m_root(std::move(root)) {}
    void Put(const std::string& target, const char* name, const Bytes& bytes) {
        std::filesystem::create_directories(m_root + "/" + target);
        if (bytes.empty() || !WriteBytes(m_root + "/" + target + "/" + name, bytes)) {
            std::fprintf(stderr, "cannot make %s/%s\n", target.c_str(), name);
            m_ok = false;
        }
    }
    Bytes Get(const std::string& target, const char* name) {
        return ReadBytes(m_root + "/" + target + "/" + name);
    }
    bool ok() const { return m_ok; }

  private:
    std::string m_root;
    bool m_ok = true;
};

Bytes JobData(const std::vector<PageFormat>& pages, int stopAfterRows = -1) {
    FuzzRun run;
    Bytes live;
    const std::string path = run.File("seed.twj");
    WriteJobData(path, pages, stopAfterRows, &live);
    return stopAfterRows >= 0 ? live : ReadBytes(path);
}

// The stream the driver sends for the small job under the ticket, aborted after `steps` steps.
Bytes PrintedStream(const std::vector<uint8_t>& ticket, int steps = 64) {
    FuzzRun run;
    Invariants check("make_seeds");
    return PrintJob(check, run, ticket, nullptr, steps).stream;
}

void MakeSeeds(SeedWriter& out) {
    const Bytes cp52 = TicketBytes("CP52", 180, 0, false);
    out.Put("job_ticket", "cp52_cmyk_180", cp52);
    out.Put("job_ticket", "generic_gray_60", TicketBytes("Generic RTL", 60, 1, false));
    out.Put("job_ticket", "cp52lm_6ink_bar_360", TicketBytes("CP52-LM", 360, 2, true));
    out.Put("job_ticket", "coldstream_orgr_calibrated_720",
            TicketBytes("Coldstream SP-1400C", 720, 3, true, "feed~0.25"));
    out.Put("job_ticket", "zero_dpi", TicketBytes("CP52", 0, 0, false));
    out.Put("job_ticket", "short_3939", Bytes(cp52.begin(), cp52.end() - 1));
    Bytes longer = cp52;
    longer.resize(cp52.size() + 160, 0x41);
    out.Put("job_ticket", "trailing_bytes", longer);
    out.Put("job_ticket", "all_ff", Bytes(kJobHeaderSize, 0xFF));

    const Bytes twoPages = JobData(kSmallJob);
    out.Put("job_data", "two_pages", twoPages);
    out.Put("job_data", "sixteen_bit_placed",
            JobData({{6, 3, 2, 1, {{"Black", 16}, {"Cyan", 4}}}}));
    out.Put("job_data", "live_mid_page", JobData(kSmallJob, 1));
    out.Put("job_data", "no_pages", JobData({}));
    out.Put("job_data", "zero_width", JobData({{0, 5, 0, 0, {{"Black", 1}}}}));
    PageFormat many{8, 1, 0, 0, {}};
    for (int i = 0; i < 17; ++i) many.colorants.push_back({"Ink" + std::to_string(i), 1});
    out.Put("job_data", "seventeen_colorants", JobData({many}));
    out.Put("job_data", "truncated_rows", Bytes(twoPages.begin(), twoPages.end() - 5));
    Bytes badMagic = twoPages;
    badMagic[0] = 'X';
    out.Put("job_data", "bad_magic", badMagic);

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

    const Bytes named = PrintedStream(TicketBytes("CP52", 180, 2, true));
    out.Put("inspect_stream", "cp52_six_inks_colour_bar", named);
    out.Put("inspect_stream", "generic_gray_60",
            PrintedStream(TicketBytes("Generic RTL", 60, 1, false)));
    out.Put("inspect_stream", "aborted_after_header",
            PrintedStream(TicketBytes("CP52", 180, 0, false), 1));
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    tarnwick::fuzz::SeedWriter out(argv[1]);
    tarnwick::fuzz::MakeSeeds(out);
    return out.ok() ? 0 : 1;
}
