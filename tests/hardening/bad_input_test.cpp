// The bad-input catalogue of docs/bad-inputs.md as tables over one harness each: every spoilt job
// ticket and data file, every page the printer cannot take, option texts cut at every byte, and
// hostile XML (100,000 levels deep, a 10 MB attribute, "billion laughs", cut short, 100,000
// siblings) as job options and as each configuration file. Each gets the refusal promised (the
// log, the result, m_nDone), never a crash or a hang, and nothing already sent is lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "config/glossary.h"
#include "driver/cdriver.h"
#include "engine/arow_base_rtl.h"
#include "hardening/hardening_support.h"
#include "host/job/job_format.h"
#include "rtl/rtl.h"
#include "support/log_capture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using test::TestPage;
namespace jf = job_format;

const TestPage kGood{16, 3, 0, 0, {{"Cyan"}, {"Magenta"}, {"Yellow"}, {"Black"}}};
TestPage Black(int width, int offsetX, int offsetY) {
    return {width, 1, offsetX, offsetY, {{"Black"}}};
}

// The data file of two kGood pages: file header, page header, four colorant entries, three rows
// of four 2-byte inks, and the same again.
constexpr std::size_t kPage0 = 64, kTable0 = kPage0 + 32, kRows0 = kTable0 + 4 * 68,
                      kPage1 = kRows0 + 3 * 8, kTable1 = kPage1 + 32, kRows1 = kTable1 + 4 * 68,
                      kFileSize = kRows1 + 3 * 8;

enum class Op { kI32, kByte, kCutTo, kFillFF, kRemove };
struct Poke {
    bool ticket;  // else the data file
    Op op;
    std::size_t at = 0;
    int32_t value = 0;
};
Poke Data(std::size_t at, int32_t value) {
    return {false, Op::kI32, at, value};
}
Poke CutData(std::size_t size) {
    return {false, Op::kCutTo, size};
}

enum class Outcome { kPrints, kRefusedAtOpen, kRefusedInAStep };
struct BadJob {
    std::string name;
    Outcome outcome;
    std::string log;  // lines joined by '\n'; a refusal at open logs one line holding this
    std::vector<Poke> pokes = {};
    std::vector<TestPage> pages = {kGood, kGood};
    std::vector<TestPage> sent = {kGood};  // the job whose stream comes out before the end
    int16_t dpi = 180;
    std::string abortEnd = hardening::kNamedAbortEnd;
};

JobTicket NamedTicket(int16_t dpi) {
    JobTicket ticket = test::DefaultTicket("CP52", dpi, 0);
    ticket.settings[13] = 0;  // no colour bar
    return ticket;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Joined(const std::vector<LogEntry>& entries) {
    std::string text;
    for (const LogEntry& e : entries) text += (text.empty() ? "" : "\n") + e.text;
    return text;
}

class BadInput : public hardening::JobTest {
  protected:
    void Expect(const BadJob& row) {
        SCOPED_TRACE(row.name);
        test::TempDir jobDir;
        std::vector<uint8_t> sent;
        if (!row.sent.empty() && row.outcome != Outcome::kRefusedAtOpen) {
            auto reference = test::MakeJob(jobDir, NamedTicket(row.dpi), row.sent);
            sent = hardening::PrintUndisturbed(*reference).bytes;
        }
        auto job = test::MakeJob(jobDir, NamedTicket(row.dpi), row.pages);
        for (const Poke& poke : row.pokes) {
            const std::string path =
                poke.ticket ? std::string(job->path) : fuzz::DataFileFor(job->path);
            std::vector<uint8_t> bytes = ReadAll(path);
            if (poke.op == Op::kRemove) {
                std::filesystem::remove(path);
                continue;
            }
            if (poke.op == Op::kI32) jf::StoreI32(&bytes.at(poke.at), poke.value);
            if (poke.op == Op::kByte) bytes.at(poke.at) = static_cast<uint8_t>(poke.value);
            if (poke.op == Op::kCutTo) bytes.resize(poke.at);
            if (poke.op == Op::kFillFF) std::fill(bytes.begin(), bytes.end(), 0xFF);
            ASSERT_TRUE(fuzz::WriteBytes(path, bytes));
        }
        const std::vector<uint8_t> ticket = ReadAll(job->path);
        test::MemoryChannel out;
        CDriver driver;
        ScopedLogCapture log;
        const int descriptors = hardening::OpenDescriptors();
        const int opened = driver.OpenJob(job.get(), &out);
        if (row.outcome == Outcome::kRefusedAtOpen) {
            EXPECT_EQ(opened, 0);
            ASSERT_EQ(log.entries().size(), 1u) << Joined(log.entries());
            EXPECT_NE(log.entries()[0].text.find(row.log), std::string::npos)
                << log.entries()[0].text;
        } else {
            ASSERT_EQ(opened, 1) << Joined(log.entries());
            int result = 1;
            for (int step = 0; step < 100 && result == 1 && job->m_nDone != -1; ++step) {
                result = driver.PrintStep(nullptr, nullptr, nullptr);
            }
            EXPECT_EQ(result, row.outcome == Outcome::kPrints ? 1 : 0);
            EXPECT_EQ(Joined(log.entries()), row.log);
            EXPECT_TRUE(row.sent.empty() || out.bytes == sent) << "what was sent before the end";
            if (row.outcome == Outcome::kRefusedInAStep) {
                EXPECT_EQ(driver.AbortJob(nullptr, nullptr, nullptr), 1);
                EXPECT_TRUE(hardening::EndsWith(out.bytes, row.abortEnd));
            }
        }
        EXPECT_EQ(job->m_nDone, -1);
        EXPECT_TRUE(row.outcome != Outcome::kRefusedAtOpen || out.bytes.empty());
        EXPECT_EQ(ReadAll(job->path), ticket) << "the ticket is left as it was";
        EXPECT_TRUE(fuzz::JobLocksFree(0));
        EXPECT_EQ(hardening::OpenDescriptors(), descriptors) << "a descriptor outlived the job";
    }
};

TEST_F(BadInput, JobTicketsDataFilesAndPagesGetTheirRefusal) {
    const auto open = [&](const std::string& log, std::vector<Poke> pokes) {
        Expect({log, Outcome::kRefusedAtOpen, log, std::move(pokes)});
    };
    // A job whose second page is refused when its turn comes: the first is kept whole.
    const auto step = [&](const std::string& log, TestPage second, int16_t dpi = 180) {
        Expect({log, Outcome::kRefusedInAStep, log, {}, {kGood, std::move(second)}, {kGood}, dpi});
    };
    // The job ticket.
    open("is shorter than 3940 bytes", {{true, Op::kCutTo, 0}});
    open("is shorter than 3940 bytes", {{true, Op::kCutTo, kJobHeaderSize - 1}});
    Expect({"header size", Outcome::kPrints, "", {{true, Op::kCutTo, kJobHeaderSize}}, {kGood}});
    open("Page Spacing (settings byte 3) is 200",
         {{true, Op::kByte, job_header::kSettings + 3, 200}});
    // 0xFF bytes name no known model: a generic printer's page end.
    Expect({"0xFF",
            Outcome::kRefusedInAStep,
            "the job resolution must be above 0 dpi\nException",
            {{true, Op::kFillFF}},
            {kGood},
            {},
            180,
            "\x1b*rC\x1b%-12345X@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
            "E"});
    {
        auto missing = test::MakeHostRecord(dir.file("missing/job.tkt"));
        CDriver d;
        test::MemoryChannel out;
        ScopedLogCapture log;
        EXPECT_EQ(d.OpenJob(missing.get(), &out), 0);
        EXPECT_EQ(missing->m_nDone, -1);
        EXPECT_EQ(Joined(log.entries()),
                  "cannot open the job ticket " + dir.file("missing/job.tkt"));
    }
    // The job data file, cut at every structural boundary and at random.
    open("no job data file for ", {{false, Op::kRemove}});
    open("job data file truncated in its header (0 of 64 bytes)", {CutData(0)});
    open("job data file truncated in its header", {CutData(kPage0 - 1)});
    open("page count 2 exceeds what a file of 64 bytes can hold", {CutData(kPage0)});
    open("job data file truncated in page 0 colorant table", {CutData(kTable0 + 68 + 10)});
    open("job data file truncated in page 0 colorant table", {CutData(kTable0 + 3 * 68 + 67)});
    for (const std::size_t at : {kRows0 + 1, kRows0 + 9, kRows0 + 17}) {
        open("job data file truncated in page 0 rows", {CutData(at)});
    }
    open("job data file truncated in page 1 header", {CutData(kPage1 + 10)});
    open("job data file truncated in page 1 colorant table", {CutData(kTable1 + 2 * 68 + 4)});
    for (const std::size_t at : {kRows1 + 1, kRows1 + 9, kFileSize - 1}) {
        open("job data file truncated in page 1 rows", {CutData(at)});
    }
    std::mt19937 random(20240611);
    for (int i = 0; i < 200; ++i) open("job data file ", {CutData(random() % kFileSize)});
    // Absurd sizes, counts and offsets.
    open("page 1 width 1000001 is out of range", {Data(kPage1 + jf::kPageWidthAt, 1'000'001)});
    open("page 1 width -1 is out of range", {Data(kPage1 + jf::kPageWidthAt, -1)});
    open("page 1 height 10000001 is out of range", {Data(kPage1 + jf::kPageHeightAt, 10'000'001)});
    open("truncated in page 1 rows", {Data(kPage1 + jf::kPageHeightAt, 1'000'000)});
    open("page 1 offset x 1000001 is out of range", {Data(kPage1 + jf::kPageOffsetXAt, 1'000'001)});
    open("page 1 offset y -7 is out of range", {Data(kPage1 + jf::kPageOffsetYAt, -7)});
    open("page 1 colorant count 65 is out of range", {Data(kPage1 + jf::kPageColorantCountAt, 65)});
    open("page 1 row size 2147483647 does not", {Data(kPage1 + jf::kPageRowBytesAt, 0x7FFFFFFF)});
    open("page 1 colorant 0 has 32 bits per pixel", {Data(kTable1, 32)});
    open("page count 1000001 is out of range", {Data(jf::kCountsAt + 12, 1'000'001)});
    open("page count 100000 exceeds what a file", {Data(jf::kCountsAt + 12, 100'000)});
    open("count of written rows -1 is out of range", {Data(jf::kCountsAt + 8, -1)});
    open("header size 1073741824 is out of range", {Data(jf::kFileHeaderSizeAt, 1 << 30)});

    // Pages the printer cannot take, refused before their first byte. The placement counts: a
    // narrow page placed at the far right is as wide.
    const std::string kTooWide =
        " bytes are more than the printer takes (20,321): lower the resolution or the page "
        "width\nSendHeader Return FALSE\nException";
    step("plane rows of 125,000" + kTooWide, Black(1'000'000, 0, 0));
    step("plane rows of 125,002" + kTooWide, Black(16, 1'000'000, 0));
    // At 1 dpi every row goes out 180 times: ten million rows and as many blank ones on top would
    // be 3.6 billion device rows; the second is one row more than ten million.
    step("the page is too long for the printer\nException", {8, 1, 0, 10'000'000, {{"Black"}}}, 1);
    step("the page is too long for the printer\nException", Black(16, 0, 55'556), 1);
    TestPage many{8, 1, 0, 0, {}};
    for (int i = 0; i < 17; ++i) many.colorants.push_back({"Ink" + std::to_string(i)});
    step("the page has more than 16 colorants\nException", many);
    // Top margins cost the file nothing, so they are bounded for the whole job too.
    Expect({"margins",
            Outcome::kRefusedInAStep,
            "the blank top margins of the job's pages add up to more than 10000000 rows\nException",
            {},
            {Black(16, 0, 5'000'000), Black(16, 0, 5'000'001)},
            {Black(16, 0, 5'000'000)}});
    // Rows of a page without width or colorants take no bytes of the file, so such a page could
    // claim ten million rows in 32 bytes: it prints as nothing, and the job goes on.
    for (const TestPage& empty : {TestPage{0, 1, 0, 0, {{"Black"}}}, TestPage{16, 1, 0, 0, {}}}) {
        Expect({"empty",
                Outcome::kPrints,
                "page 1 has no width or no colorants; nothing of it is printed",
                {Data(kPage1 + jf::kPageHeightAt, 10'000'000), Data(jf::kCountsAt + 8, 10'000'000)},
                {kGood, empty}});
    }
    TestPage blank = kGood;  // unknown colorants print as blank planes
    blank.content = [](int, int, int) -> uint8_t { return 0; };
    Expect(
        {"unknown inks", Outcome::kPrints, "", {}, {{16, 3, 0, 0, {{"Foo"}, {"Bar"}}}}, {blank}});
}

// ---- Option texts ----

constexpr uint8_t kFill = 0x5A;

// The pairs a cut text still holds complete enough to read: "DriverOption<i>=<digits>".
std::vector<std::pair<int, int>> PairsIn(const std::string& text) {
    std::vector<std::pair<int, int>> pairs;
    const std::string key = "DriverOption";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const std::size_t p = at + key.size();
        const std::size_t equals = text.find('=', p);
        if (equals == std::string::npos || equals == p) break;
        const std::string value =
            text.substr(equals + 1, text.find_first_not_of("0123456789", equals + 1) - equals - 1);
        if (value.empty()) break;
        pairs.emplace_back(std::stoi(text.substr(p, equals - p)), std::stoi(value));
    }
    return pairs;
}

TEST_F(BadInput, OptionTextsCutAtEveryByteApplyOnlyWhatTheyHold) {
    CDriver driver;
    RTL& engine = *dynamic_cast<RTL*>(driver.Engine());
    const std::string full =
        "DriverOption0=1;DriverOption1=2;DriverOption2=0;DriverOption3=10;DriverOption4=0;"
        "DriverOption5=2;DriverOption6=3;DriverOption7=0";
    uint8_t PrinterSettings::*const fields[] = {&PrinterSettings::cutSheet,
                                                &PrinterSettings::overprint,
                                                &PrinterSettings::printDirection,
                                                &PrinterSettings::pageSpacing,
                                                &PrinterSettings::mediaFeedCalibration,
                                                &PrinterSettings::colorBar,
                                                &PrinterSettings::dryTime,
                                                &PrinterSettings::advanceAfterPrint};
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        const std::string text = full.substr(0, cut);
        std::vector<uint8_t> area(kSettingsAreaSize, kFill);
        ASSERT_EQ(engine.ApplyDriverOptions(text.c_str(), area.data(), "CP52"), 1);
        std::vector<uint8_t> expected(kSettingsAreaSize, kFill);
        auto& settings = *reinterpret_cast<PrinterSettings*>(expected.data());
        for (const auto& [index, value] : PairsIn(text)) {
            settings.*fields[index] = static_cast<uint8_t>(value);
        }
        ASSERT_EQ(area, expected) << "cut at " << cut;
    }

    std::string hex;
    for (int i = 0; i < 200; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", (i * 37 + 5) & 0xFF);
        hex += pair;
    }
    for (std::size_t cut = 0; cut <= hex.size(); ++cut) {
        const std::string text = "DriverOptionBinary=" + hex.substr(0, cut);
        std::vector<uint8_t> area(kSettingsAreaSize, kFill);
        ASSERT_EQ(driver.ParseDriverOptions(text.c_str(), area.data(), nullptr), 1);
        for (std::size_t i = 0; i < kSettingsAreaSize; ++i) {
            uint8_t expected = kFill;
            if (2 * i + 1 < cut) {
                expected = static_cast<uint8_t>((i * 37 + 5) & 0xFF);
            } else if (2 * i < cut) {
                expected = static_cast<uint8_t>(std::stoi(hex.substr(2 * i, 1), nullptr, 16));
            }
            ASSERT_EQ(area[i], expected) << "cut at " << cut << ", byte " << i;
        }
    }

    std::mt19937 random(7);
    for (int i = 0; i < 100; ++i) {
        std::string text(static_cast<std::size_t>(1 + i * 10), ' ');
        for (char& c : text) c = static_cast<char>(1 + random() % 255);
        std::vector<uint8_t> area(kSettingsAreaSize, kFill);
        ASSERT_EQ(engine.ApplyDriverOptions(text.c_str(), area.data(), "CP52"), 1);
        EXPECT_EQ(area, std::vector<uint8_t>(kSettingsAreaSize, kFill)) << "garbage changed it";
    }
    // A definition string of nothing but entries stays within the host's 1024 bytes.
    std::vector<char> definition(1024, ':');
    definition.back() = '\0';
    const std::vector<uint8_t> values(1023, 4);
    ABaseRTL::InsertOptionValues(definition.data(), values.data());
    EXPECT_EQ(std::string(definition.data()).size(), 1023u);
    EXPECT_EQ(std::string(definition.data(), 4), ":4,:");
}

// ---- Hostile XML ----

std::string DeepNesting() {
    std::string text;
    for (int i = 0; i < 100'000; ++i) text += "<n>";
    for (int i = 0; i < 100'000; ++i) text += "</n>";
    return text;
}

std::string HugeAttribute() {
    return "<Big A=\"" + std::string(std::size_t{10} << 20, 'x') + "\"/>";
}

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

// Each entity is ten of the one before: &lol9; would be 10^9 "lol"s if it were expanded.
std::string LaughsDoctype() {
    std::string doctype = "<!DOCTYPE RootElement [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        const std::string previous = i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
        doctype += "<!ENTITY lol" + std::to_string(i) + " \"" + Repeated(previous, 10) + "\">";
    }
    return doctype + "]>";
}

const std::string kDeclaration = "<?xml version=\"1.0\"?>";

TEST_F(BadInput, HostileJobOptionsAreReadAroundTheirFaults) {
    const TestPage spot{16, 3, 0, 0, {{"Spot"}, {"Cyan"}}};
    const struct {
        const char* name;
        std::string xml;
        std::string jobId;  // as the engine read it; the mutexes are those of its number
        int lockId;
        TestPage page = kGood;
    } rows[] = {
        {"100,000 levels",
         "<RootElement><JobId>77</JobId><CustomColorMode><Color><Order>1</Order>" + DeepNesting() +
             "</Color></CustomColorMode></RootElement>",
         "77", 77},
        {"10 MB attribute",
         "<RootElement>" + HugeAttribute() + "<JobId>78</JobId><CustomColorMode>" +
             HugeAttribute() + "</CustomColorMode></RootElement>",
         "78", 78},
        {"entities",
         LaughsDoctype() + "<RootElement><JobId>&lol9;</JobId><CustomColorMode><Color>"
                           "<InternalName>&lol9;</InternalName><Order>1</Order></Color>"
                           "</CustomColorMode></RootElement>",
         "&lol9;", 0},
        // Ignored whole: id 0, no pause between the pages, the printer's inks.
        {"cut short",
         "<RootElement><JobId>79</JobId><PauseBtwPages>1</PauseBtwPages>"
         "<CustomColorMode><Color><Order>1</Order><ColorDepth>3</Colo",
         "", 0},
        // Orders beyond the colour list have no place to go; only the last entry has one.
        {"100,000 colours",
         "<RootElement><CustomColorMode>" +
             Repeated("<Color><Order>99999</Order></Color>", 99'999) +
             "<Color><InternalName>Spot</InternalName><Order>2</Order></Color>"
             "</CustomColorMode></RootElement>",
         "", 0, spot},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string xml = kDeclaration + row.xml;
        test::TempDir jobDir;
        auto job = test::MakeJob(jobDir, NamedTicket(180), {row.page, row.page});
        job->m_pszCustomColorXml = xml.c_str();
        test::MemoryChannel out;
        CDriver d;
        ScopedLogCapture log;
        ASSERT_EQ(test::RunJob(d, *job, out) > 0, true);
        EXPECT_EQ(dynamic_cast<ARowBaseRTL*>(d.Engine())->JobId().str(), row.jobId);
        if (row.page.colorants[0].name == "Spot") {
            EXPECT_EQ(dynamic_cast<ARowBaseRTL*>(d.Engine())->PlaneChannel(2), 0)
                << "entry 2 names the spot ink (four planes rotate)";
        }
        const auto pages = test::ReadStreamRows(out.bytes);
        ASSERT_EQ(pages.size(), 2u);
        EXPECT_EQ(pages[0].rows.size(), 3u);
        EXPECT_EQ(pages[1].rows.size(), 3u);
        EXPECT_TRUE(fuzz::JobLocksFree(row.lockId));
        EXPECT_EQ(Joined(log.entries()), "");
        EXPECT_TRUE(messages.requests().empty());
    }
}

constexpr const char* kPhrase = "Do you want to continue printing the next page?";

std::string TopLevel(const std::string& inject, const std::string& section) {
    return "<RootElement>" + inject +
           "<ManufacturerList><Manufacturer Name=\"Tarnwick Imaging\" "
           "ManufactureXML=\"Maker.xml\"/></ManufacturerList><PrinterHardware><Model "
           "ID=\"Default\"><Media ID=\"Default\"><PrintMode ID=\"Default\"><Resolution "
           "ID=\"Default\"><ColorMode ID=\"Default\">" +
           section +
           "</ColorMode></Resolution></PrintMode></Media></Model></PrinterHardware>"
           "</RootElement>";
}

std::string DitherSection(const std::string& noise) {
    return "<DitherParams ID=\"2\"><Level Value=\"2\"><Weight ColorInk=\"Default\" Level=\"0\" "
           "Value=\"0.9\"/></Level><AntiClogLevel Value=\"1\"/><NoiseLevel Value=\"" +
           noise + "\"/></DitherParams>";
}

std::string Maker(const std::string& inject, const std::string& colorName) {
    return "<RootElement>" + inject +
           "<PrinterHardware><Model ID=\"CP52\"><Media ID=\"Default\"><PrintMode "
           "ID=\"Default\"><Resolution ID=\"Default\"><ColorMode ID=\"Default\">" +
           DitherSection("0.5") + "<Item ColorName=\"" + colorName +
           "\" Angle=\"15\" Frequency=\"40\" ShapeName=\"Round\"/></ColorMode></Resolution>"
           "</PrintMode></Media></Model></PrinterHardware></RootElement>";
}

// What a configuration tree answers for a printer; a part left unset (-9, "?") is not checked.
struct Answers {
    int dither = -9;
    float noise = -9.0f;
    int screens = -9;
    std::string firstScreen = "?";
    std::string translation = "?";
};

TEST_F(BadInput, HostileConfigurationFilesAreReadAroundTheirFaults) {
    // A tree with `inject` first in every file and `prefix` (a DOCTYPE) before each, and the
    // files of `replaced` written over it; what it answers for a CP52 of "Tarnwick Imaging" and
    // for any other printer.
    const auto expect = [&](const char* name, const std::string& prefix, const std::string& inject,
                            const std::map<std::string, std::string>& replaced,
                            const Answers& makerWants, const Answers& fallbackWants) {
        SCOPED_TRACE(name);
        // With the entities, every value is one of them.
        const bool laughs = !prefix.empty();
        const std::string noise = laughs ? "&lol9;" : "0.8", color = laughs ? "&lol9;" : "Cyan",
                          translation = laughs ? "&lol9;" : "Weiter?";
        hardening::PrivateConfigRoot root;
        root.Write("Ditherparams.xml", prefix + TopLevel(inject, DitherSection(noise)));
        root.Write("ScreeningParams.xml",
                   prefix + TopLevel(inject,
                                     "<Item ColorName=\"Black\" Angle=\"45\"/>"
                                     "<Item ColorName=\"Cyan\" Angle=\"15\"/>"));
        root.Write("Maker.xml", prefix + Maker(inject, color), true);
        root.Write("OxGlossary.xml", prefix + "<RootElement>" + inject +
                                         "<Glossary><Entry Phrase=\"" + kPhrase + "\" Res=\"" +
                                         translation + "\"/></Glossary></RootElement>");
        for (const auto& [file, text] : replaced) root.Write(file, text, file == "Maker.xml");
        for (const bool maker : {true, false}) {
            SCOPED_TRACE(maker ? "maker" : "fallback");
            ClearGlossaryCache();
            const char* model = maker ? "CP52" : "Other";
            const char* manufacturer = maker ? "Tarnwick Imaging" : "Nobody";
            PrintSetup setup{};
            std::snprintf(setup.modelName, sizeof setup.modelName, "%s", model);
            std::snprintf(setup.manufacturerName, sizeof setup.manufacturerName, "%s",
                          manufacturer);
            auto dither = std::make_unique<DitherParamRecord>();
            auto screens = std::make_unique<ScreeningRecord>();
            CDriver d;
            const int result =
                d.LoadDitherParams(model, manufacturer, &setup, dither.get(), nullptr);
            EXPECT_EQ(d.LoadScreeningParams(screens.get(), &setup), 1);
            const Answers& want = maker ? makerWants : fallbackWants;
            EXPECT_TRUE(want.dither == -9 || result == want.dither) << result;
            EXPECT_TRUE(want.noise == -9.0f || dither->noiseLevel == want.noise)
                << dither->noiseLevel;
            EXPECT_TRUE(want.screens == -9 || screens->count == want.screens) << screens->count;
            const std::string first = screens->entries[0].colorName;
            EXPECT_TRUE(want.firstScreen == "?" || first == want.firstScreen) << first;
            if (want.translation != "?") {
                EXPECT_EQ(Translate(AString(kPhrase)).str(), want.translation);
            }
        }
        EXPECT_TRUE(messages.requests().empty());
    };
    expect("100,000 levels", "", DeepNesting(), {}, {1, 0.5f, 1, "Cyan", "Weiter?"}, {1, 0.8f, 2});
    expect("10 MB attribute", "", HugeAttribute(), {}, {1, 0.5f, 1, "Cyan", "Weiter?"},
           {1, 0.8f, 2});
    // Stored as written; no number in the noise value, so the default stays.
    expect("entities", LaughsDoctype(), "", {}, {1, -9.0f, -9, "&lol9;", "&lol9;"}, {1, 1.0f});
    // The manufacturer file cut short: its printers get the top-level section.
    const std::string makerXml = Maker("", "Cyan");
    expect("maker cut short", "", "", {{"Maker.xml", makerXml.substr(0, makerXml.size() / 2)}},
           {1, 0.8f, 2}, {});
    // Every top-level file cut short: no dither answer, the default screen, no translation.
    const std::string cut = "<RootElement><ManufacturerList><Manufacturer Name=\"Tarn";
    expect("all cut short", "", "",
           {{"Ditherparams.xml", cut}, {"ScreeningParams.xml", cut}, {"OxGlossary.xml", cut}},
           {0, -9.0f, 8, "Cyan", kPhrase}, {});
    const std::string siblings = Repeated("<Entry/>", 100'000);
    expect("100,000 siblings", "", "",
           {{"Ditherparams.xml", TopLevel("", siblings + DitherSection("0.8"))},
            {"ScreeningParams.xml",
             TopLevel("", siblings + "<Item ColorName=\"Black\"/><Item ColorName=\"Cyan\"/>")},
            {"OxGlossary.xml", "<RootElement><Glossary>" + siblings + "<Entry Phrase=\"" + kPhrase +
                                   "\" Res=\"Weiter?\"/></Glossary></RootElement>"}},
           {}, {1, -9.0f, 2, "?", "Weiter?"});
    ClearGlossaryCache();
}

}  // namespace
}  // namespace tarnwick
