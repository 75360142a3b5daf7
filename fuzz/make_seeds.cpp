// Writes the seed corpora of the fuzz targets: for each, a few small valid inputs and a few
// slightly broken ones. Run once through make-seeds.sh; the output is deterministic.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
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

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string Join(std::initializer_list<std::string> parts) {
    std::string joined;
    bool first = true;
    for (const std::string& part : parts) {
        if (!first) joined.push_back('\0');
        first = false;
        joined += part;
    }
    return joined;
}

class SeedWriter {
  public:
    explicit SeedWriter(fs::path root) : m_root(std::move(root)) {}

    void Put(const char* target, const char* name, const Bytes& bytes) {
        const fs::path folder = m_root / target;
        fs::create_directories(folder);
        if (!WriteBytes((folder / name).string(), bytes)) {
            std::fprintf(stderr, "cannot write %s/%s\n", target, name);
            m_ok = false;
        }
    }
    bool ok() const { return m_ok; }

  private:
    fs::path m_root;
    bool m_ok = true;
};

Bytes ReadAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    return bytes;
}

// Writes pages with JobWriter; `stopAfterRows` >= 0 copies the file while the last page has
// that many rows, as a reader would find it while the host writes.
Bytes JobData(const fs::path& scratch, const std::vector<PageFormat>& pages,
              int stopAfterRows = -1) {
    const std::string path = (scratch / "seed.twj").string();
    std::string error;
    auto writer = JobWriter::Create(path, error);
    if (!writer) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return {};
    }
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

void OptionTextSeeds(SeedWriter& out) {
    out.Put("option_text", "pairs",
            FromText("DriverOption0=1;DriverOption1=2;DriverOption2=0;DriverOption3=10;"
                     "DriverOption4=1;DriverOption5=2;DriverOption6=3;DriverOption7=1"));
    out.Put("option_text", "pairs_out_of_range",
            FromText("DriverOption8=1;DriverOption-1=5;DriverOption2147483648=1;DriverOption2="));
    out.Put("option_text", "binary", FromText("DriverOptionBinary=18010101000000000000030002"));
    out.Put("option_text", "binary_odd_digits", FromText("DriverOptionBinary=1g2"));
    out.Put("option_text", "cut_value", FromText("DriverOption3=1"));
    RTL engine;
    char definition[1024] = {};
    engine.GetDriverOptionString(definition, "CP52");
    out.Put("option_text", "definition_cp52", FromText(definition));
}

void JobOptionsSeeds(SeedWriter& out) {
    const std::string head = "<?xml version=\"1.0\"?>";
    out.Put("job_options_xml", "id_and_pause",
            FromText(head + "<RootElement><JobId>4711</JobId><PauseBtwPages>1</PauseBtwPages>"
                            "</RootElement>"));
    out.Put(
        "job_options_xml", "custom_color_mode",
        FromText(head + "<RootElement><CustomColorMode>"
                        "<Color><InternalName>Unnamed</InternalName><ColorValue>255</ColorValue>"
                        "<ColorDepth>1</ColorDepth><isSpotColor>1</isSpotColor><Print>1</Print>"
                        "<Order>2</Order></Color>"
                        "<Color><InternalName>Black</InternalName><ColorDepth>2</ColorDepth>"
                        "<Order>1</Order></Color>"
                        "<Color><InternalName>Ignored</InternalName><Order>5000</Order></Color>"
                        "</CustomColorMode></RootElement>"));
    out.Put("job_options_xml", "bad_depth",
            FromText(head + "<R><CustomColorMode><C><Order>3</Order><ColorDepth>3</ColorDepth>"
                            "</C></CustomColorMode></R>"));
    out.Put("job_options_xml", "entities",
            FromText("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaa\">"
                     "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><r><JobId>&b;</JobId></r>"));
    std::string nested = head + "<r><JobId>5</JobId>";
    for (int i = 0; i < 200; ++i) nested += "<n>";
    for (int i = 0; i < 200; ++i) nested += "</n>";
    out.Put("job_options_xml", "nested", FromText(nested + "</r>"));
    out.Put("job_options_xml", "truncated",
            FromText(head + "<RootElement><JobId>12</JobId><PauseBtwPa"));
}

const char kHardware[] =
    "<RootElement><PrinterHardware><Model ID=\"CP52\"><Media ID=\"0,1,2\">"
    "<PrintMode ID=\"0,5\"><Resolution ID=\"0,5\"><ColorMode ID=\"0,2\">"
    "<DitherParams ID=\"2\"><Level Value=\"2\">"
    "<Weight ColorInk=\"Default\" Level=\"0\" Value=\"0.9\"/></Level>"
    "<AntiClogLevel Value=\"1\"/><NoiseLevel Value=\"0.8\"/></DitherParams>"
    "<Item ColorName=\"Cyan\" Angle=\"15\" Frequency=\"40\" ShapeName=\"Round\"/>"
    "<Item ColorName=\"Black\" Angle=\"45\" Frequency=\"40\" ShapeName=\"Diamond\"/>"
    "</ColorMode></Resolution></PrintMode></Media></Model>"
    "<Model ID=\"Default\"><Media ID=\"Default\"><PrintMode ID=\"Default\">"
    "<Resolution ID=\"Default\"><ColorMode ID=\"Default\"><DitherParams ID=\"Default\">"
    "<Level Value=\"4\"><Weight ColorInk=\"0\" Level=\"0\" Value=\"0.3\"/>"
    "<Weight ColorInk=\"0\" Level=\"1\" Value=\"0.6\"/>"
    "<Weight ColorInk=\"0\" Level=\"2\" Value=\"0.9\"/></Level>"
    "<AntiClogLevel Value=\"2\"/><NoiseLevel Value=\"0.5\"/></DitherParams>"
    "<Item ColorName=\"Black\" Angle=\"45\" Frequency=\"55\" ShapeName=\"Round\"/>"
    "</ColorMode></Resolution></PrintMode></Media></Model></PrinterHardware></RootElement>";

void ConfigSeeds(SeedWriter& out) {
    const std::string list =
        "<RootElement><ManufacturerList>"
        "<Manufacturer Name=\"Tarnwick Imaging\" ManufactureXML=\"TarnwickImaging/"
        "TarnwickImaging.xml\"/>"
        "<Manufacturer Name=\"Fellgate Systems\" ManufactureMAPXML=\"Fellgate\\ModelMap.xml\"/>"
        "</ManufacturerList></RootElement>";
    const std::string map =
        "<RootElement><Model Name=\"cp52\" XMLFile=\"Fellgate/CP52.xml\"/></RootElement>";
    const std::string glossary =
        "<RootElement><Glossary><Entry Phrase=\"Do you want to continue printing the next "
        "page?\" Res=\"Weiter?\"/></Glossary></RootElement>";
    out.Put("config_files", "full_tree",
            FromText(Join({list, list, kHardware, map, kHardware, glossary})));
    out.Put("config_files", "lists_only", FromText(Join({list, list})));
    out.Put("config_files", "fallback_only", FromText(Join({kHardware, kHardware})));
    out.Put("config_files", "missing_media",
            FromText(Join({list, list,
                           "<R><PrinterHardware><Model ID=\"Default\"/></PrinterHardware></R>"})));
    out.Put("config_files", "hostile_values",
            FromText(Join({"<R><PrinterHardware><Model ID=\"Default\"><Media ID=\",,1\">"
                           "<PrintMode ID=\"Default\"><Resolution ID=\"Default\">"
                           "<ColorMode ID=\"Default\"><DitherParams ID=\"99999999999,4\">"
                           "<Level Value=\"4\"><Weight ColorInk=\"16\" Level=\"64\" Value=\"x\"/>"
                           "</Level><AntiClogLevel Value=\"\"/><NoiseLevel Value=\"nan\"/>"
                           "</DitherParams></ColorMode></Resolution></PrintMode></Media></Model>"
                           "</PrinterHardware></R>",
                           "<R><PrinterHardware><Model ID=\"Default\"><Media ID=\"Default\">"
                           "<PrintMode ID=\"Default\"><Resolution ID=\"Default\">"
                           "<ColorMode ID=\"Default\"><Item ColorName=\"" +
                               std::string(80, 'C') + "\" Angle=\"x\" ShapeName=\"" +
                               std::string(140, 'S') +
                               "\"/></ColorMode></Resolution></PrintMode></Media></Model>"
                               "</PrinterHardware></R>"})));
    out.Put("config_files", "truncated_glossary",
            FromText(Join({"", "", "", "", "", glossary.substr(0, 60)})));
}

void EncipheredSeeds(SeedWriter& out) {
    const auto encipher = [](const std::string& text) { return EncipherXml(AsBytes(text)); };
    out.Put("enciphered_xml", "small_document", encipher("<RootElement a=\"1\"/>"));
    const Bytes hardware = encipher(kHardware);
    out.Put("enciphered_xml", "hardware", hardware);
    out.Put("enciphered_xml", "model_map",
            encipher("<RootElement><Model Name=\"CP52\" XMLFile=\"Fellgate/CP52.xml\"/>"
                     "</RootElement>"));
    out.Put("enciphered_xml", "truncated", Bytes(hardware.begin(), hardware.end() - 5));
    Bytes damaged = hardware;
    damaged[40] ^= 0x20;
    out.Put("enciphered_xml", "checksum_mismatch", damaged);
    out.Put("enciphered_xml", "plain_text", FromText("<RootElement/>"));
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
    out.Put("inspect_stream", "absurd_counts",
            FromText("\x1b%-12345X@PJL ENTER LANGUAGE=RTL\n\x1b*r-99U\x1b*r0S\x1b*b7M"
                     "\x1b*r1A\x1b*b99999999999W\x1b*rC"));
    out.Put("inspect_stream", "pjl_only", FromText("@PJL SET RESOLUTION=360\n@PJL RESET\n"));
}

}  // namespace
}  // namespace tarnwick::fuzz

int main(int argc, char** argv) {
    using namespace tarnwick::fuzz;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path scratch = fs::temp_directory_path() / "tarnwick-fuzz-seeds";
    fs::create_directories(scratch);
    SeedWriter out(root);
    TicketSeeds(out);
    JobDataSeeds(out, scratch);
    OptionTextSeeds(out);
    JobOptionsSeeds(out);
    ConfigSeeds(out);
    EncipheredSeeds(out);
    StreamSeeds(out);
    fs::remove_all(scratch);
    return out.ok() ? 0 : 1;
}
