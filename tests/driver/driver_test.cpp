// The driver at its slots and at the module's boundary: every slot sits where the host expects
// it and answers with its documented default (driver.txt), the engine only ever sees private
// copies of the host's records, a job opens only with everything it needs, the module exports
// only its factories (the tool's tests load it as a host does), and a whole job gives the stream
// written down by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "driver/abase_printer_driver_imp.h"
#include "driver/cdriver.h"
#include "host/afile_path.h"
#include "host/job/ox_job.h"
#include "host/kv_log.h"
#include "rtl/rtl.h"
#include "rtl/text_table.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"
#include "support/stream_rows.h"

namespace tarnwick {
namespace {

using namespace test;

// Slot of a virtual member under the Itanium ABI: the member pointer holds 1 + the byte offset
// of its table entry, and the destructor takes the two entries before slot 1.
template <typename F>
std::ptrdiff_t SlotOf(F member) {
    std::ptrdiff_t raw[2];  // the offset, then the this adjustment
    static_assert(sizeof(F) == sizeof raw);
    std::memcpy(raw, &member, sizeof raw);
    return (raw[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)) - 1;
}

// The bare interface with its pure slots filled in.
class BareDriver : public ABasePrinterDriver {
  public:
    int OpenJob(HostJobRecord*, OutputChannel*) override { return 0; }
    int PrintStep(Word, Word, Word) override { return 0; }
    int GetColorModeName(int32_t, int32_t*, char*, PrintSetup*) override { return 0; }
    int FindColorMode(const char*) override { return 0; }
    int GetColorList(int32_t mode, ColorList*) override { return 100 + mode; }
    int LoadDitherParams(const char*, const char*, PrintSetup*, DitherParamRecord*,
                         Word reserved) override {
        lastReserved = reserved;
        return 7;
    }
    Word lastReserved = nullptr;
};

// Notes what the engine is given, and scribbles on it, which the host must not notice.
class SpyEngine : public RTL {
  public:
    int GetDefaultColorMode(char*, PrintSetup* setup) override {
        record = setup;
        if (setup != nullptr) {
            seen = std::to_string(setup->media) + " " +
                   (setup->text != nullptr ? setup->text : "<null>") + " " + setup->modelName;
            setup->colorMode = 99;
            if (setup->text != nullptr) setup->text[0] = 'X';
        }
        return 5;
    }
    int GetPrintModes(const char*, PrintModeEntry* current, PrintModeList*, int32_t*) override {
        record = current;
        seen = std::to_string(current->index) + " " + current->name;
        current->index = 1234;
        return 1;
    }
    int Op21(Word, PrintModeList* list, int32_t*) override {
        for (const int i : listIndexes) list->emplace_back().index = i;
        return 0;
    }

    const void* record = nullptr;
    std::string seen;
    std::vector<int> listIndexes;
};

class SpyDriver : public ABasePrinterDriverImp {
  public:
    SpyDriver() {
        auto spy = std::make_unique<SpyEngine>();
        engine = spy.get();
        m_pEngine = std::move(spy);
    }
    int ShowOptionsDialog(PrinterSettings*, int32_t, PrintSetup*, void*) override { return 0; }
    SpyEngine* engine;
};

// Values taken left to right, as braces take them.
struct Values {
    template <typename... T>
    Values(T... v) : values{static_cast<double>(v)...} {}
    std::vector<double> values;
};

// Each value under the text of its expression (the texts split at commas outside parentheses),
// blanks left out.
std::map<std::string, double> Named(const std::string& texts, const Values& v) {
    std::map<std::string, double> named;
    std::string text;
    std::size_t i = 0;
    int depth = 0;
    for (const char c : texts + ",") {
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (c == ',' && depth == 0) {
            named[std::exchange(text, "")] = v.values.at(i++);
        } else if (c != ' ') {
            text += c;
        }
    }
    return named;
}
#define NAMED(...) Named(#__VA_ARGS__, Values{__VA_ARGS__})

TEST(DriverSlots, TableOfPositionsDefaultsAndMediaPlaceholders) {
    using D = ABasePrinterDriver;
    using I = ABasePrinterDriverImp;
    BareDriver bare;
    ABasePrinterDriverImp facade;
    auto driver = test::MakeDriver();
    ASSERT_TRUE(driver);
    int64_t values[2] = {42, 0}, signedValues[2] = {-5, 0};
    int32_t negative = -1, positive = 5, out = 0, resolved = 0, driverOut = 0;
    int marker = 0;
    SettingsArea a{}, b{}, c{};
    c.rest[200 - sizeof(PrinterSettings)] = 1;
    HostJobRecord job{};
    MemoryChannel channel;
    TempDir dir;
    auto absent = test::MakeHostRecord(dir.file("absent.tkt"));
    const auto calls = NAMED(
        SlotOf(&D::OpenJob), SlotOf(&D::PrintStep), SlotOf(&D::AbortJob),
        SlotOf(&D::ShowOptionsDialog), SlotOf(&D::ParseDriverOptions), SlotOf(&D::GetTypeNumber),
        SlotOf(&D::Slot12), SlotOf(&D::GetDriverOptionString), SlotOf(&D::GetColorModeName),
        SlotOf(&D::FindColorMode), SlotOf(&D::GetColorList), SlotOf(&D::LoadScreeningParams),
        SlotOf(&D::GetDefaultColorMode), SlotOf(&D::GetPrintModes), SlotOf(&D::GetResolutions),
        SlotOf(&D::Slot29), SlotOf(&D::SettingsDiffer), SlotOf(&D::ValidateSettings),
        SlotOf(&D::Slot42), SlotOf(&D::LoadDitherParams), SlotOf(&D::Slot53),
        SlotOf(&D::SetPrintSettings), SlotOf(&I::Slot56), SlotOf(&I::GetTypeNumberImp),
        SlotOf(&I::LoadJobHeader), bare.Slot12(), bare.GetTypeNumber(),
        bare.AbortJob(nullptr, nullptr, nullptr), bare.GetDefaultColorMode(nullptr, nullptr),
        bare.ValidateSettings(nullptr), bare.Slot37(nullptr, nullptr, nullptr),
        bare.Slot11(nullptr, nullptr, nullptr), bare.Slot14(nullptr, nullptr, nullptr),
        bare.Slot20(nullptr, nullptr, nullptr), bare.Slot42(nullptr, nullptr),
        bare.Slot44(nullptr, nullptr, nullptr), bare.Slot45(nullptr, 0, nullptr),
        bare.Slot46(nullptr, nullptr, nullptr), bare.Slot47(nullptr, nullptr, nullptr),
        bare.Slot31(values), values[1], bare.Slot51(3, nullptr),
        bare.Slot53(nullptr, nullptr, nullptr, nullptr, nullptr, &marker),
        bare.lastReserved == &marker, facade.Slot12(), facade.GetTypeNumber(),
        facade.FindColorMode("CMYK"), facade.GetDefaultColorMode(nullptr, nullptr),
        facade.Slot21(nullptr, nullptr, nullptr), facade.Slot22(nullptr, nullptr, nullptr),
        facade.Slot37(nullptr, nullptr, nullptr), facade.ValidateSettings(nullptr),
        facade.Slot42(nullptr, &negative), facade.Slot42(nullptr, nullptr),
        facade.Slot42(nullptr, &positive), facade.Slot45(nullptr, 9, &out), out,
        facade.ResolveListIndex(nullptr, -100, &resolved), resolved,
        facade.SettingsDiffer(&a.settings, &b.settings),
        facade.SettingsDiffer(&a.settings, &c.settings), facade.OpenJob(&job, &channel),
        job.m_nDone, driver->FindColorMode("cmyklclm"), driver->FindColorMode("RGB"),
        driver->Slot45(nullptr, 9, &driverOut), driverOut, driver->Slot42(nullptr, &positive),
        driver->Slot29(signedValues), driver->OpenJob(absent.get(), nullptr), absent->m_nDone,
        std::filesystem::exists(dir.file("absent.tkt")), driver->OpenJob(nullptr, &channel));
    std::size_t checked = 0;
    SpyDriver spy;
    for (const test::TableRow& row : test::ReadTable(__FILE__, "driver.txt")) {
        SCOPED_TRACE(row.where);
        if (row[0] == "slot" || row[0] == "call") {
            const std::string name = row[0] == "slot" ? "SlotOf(&" + row[1] + ")" : row[1];
            ASSERT_TRUE(calls.contains(name)) << "driver_test.cpp makes no call " << name;
            EXPECT_EQ(calls.at(name), row.Real(2));
            ++checked;
        } else if (row[0] == "setup") {
            spy.engine->listIndexes.clear();
            for (const std::string& item : test::Split(row[1], ','))
                if (item != "-") spy.engine->listIndexes.push_back(std::stoi(item));
            std::string text = row[3];
            PrintSetup host{};
            host.media = row.Int(2);
            host.colorMode = 2;
            host.text = row[3] == "(null)" ? nullptr : text.data();
            std::snprintf(host.modelName, sizeof host.modelName, "%s", row[4].c_str());
            const PrintSetup before = host;
            EXPECT_EQ(spy.GetDefaultColorMode(nullptr, &host), 5);
            EXPECT_EQ(spy.engine->seen, row[5]);
            EXPECT_EQ(std::memcmp(&host, &before, sizeof host), 0) << "the host's record changed";
            EXPECT_EQ(text, row[3]) << "the host's text changed";
        } else {
            FAIL() << "unknown operation " << row[0];
        }
    }
    EXPECT_EQ(checked, calls.size()) << "a call without its row";
}

// Set-up records with their text are the "setup" rows of driver.txt.
TEST(PrivateCopy, RecordsAreCopiedWithTheirOwnText) {
    SpyDriver d;
    d.GetDefaultColorMode(nullptr, nullptr);  // no record: the engine gets one of zeros
    EXPECT_EQ(std::tuple(d.engine->record != nullptr, d.engine->seen),
              std::tuple(true, "0 <null> "));

    PrintModeEntry entry{2, "DRAFT", ""};
    d.GetPrintModes("CP52", &entry, nullptr, nullptr);
    EXPECT_EQ(std::tuple(d.engine->record != &entry, d.engine->seen, entry.index),
              std::tuple(true, "2 DRAFT", 2));
    d.GetPrintModes("CP52", nullptr, nullptr, nullptr);
    EXPECT_EQ(d.engine->seen, "-1 ");
}

// A job opens only with a whole ticket header and its data file: under prefix 2 unless the host
// asks for the direct name, else under prefix 0. A failed open ends the job; an opened one has the
// header's fields in its context. Short tickets and missing or damaged data files are rows of the
// bad-input catalogue, a missing channel rows of driver.txt.
TEST(JobSlots, OpenNeedsEveryPieceAndTheHeaderReachesTheContext) {
    JobTicket ticket = test::DefaultTicket(std::string(70, 'M'), 180, -1);
    ticket.resY = 90;
    ticket.calibrationText = "feed~0.5";
    ticket.settings[200] = 0x5A;
    for (const int direct : {0, 1}) {
        SCOPED_TRACE(direct ? "data under prefix 2, direct name asked" : "data under prefix 2");
        const int opened = 1 - direct;
        TempDir dir;
        auto job = test::MakeJob(dir, ticket, {TestPage{16, 2, 0, 0, {{"Black", 1}}}});
        std::filesystem::rename(OXJob::GetFileName(ePrefix0, AFilePath(job->path)).c_str(),
                                OXJob::GetFileName(ePrefix2, AFilePath(job->path)).c_str());
        job->m_bDirectDataName = direct;
        ScopedLogCapture log;
        CDriver driver;
        MemoryChannel out;
        EXPECT_EQ(driver.OpenJob(job.get(), &out), opened);
        EXPECT_EQ(std::tuple(job->m_nDone, log.entries().empty()),
                  std::tuple(opened ? 0 : -1, opened == 1));
        if (!opened) continue;
        JobContext* ctx = driver.CurrentJobContext();
        // The model name is cut to its field; the colour model is sign-extended, not 65535.
        EXPECT_EQ(std::tuple(std::string(ctx->m_szPrinterModel), ctx->m_nJobResX, ctx->m_nJobResY,
                             ctx->m_nColorModel, std::string(ctx->m_szCalibrationText),
                             ctx->m_Settings.rest[200 - sizeof(PrinterSettings)]),
                  std::tuple(std::string(63, 'M'), 180, 90, -1, "feed~0.5", 0x5A));
        EXPECT_EQ(std::tuple(ctx->m_bRemoveOffsetX, ctx->m_bRemoveOffsetY, ctx->m_pJob),
                  std::tuple(0, 1, job.get()));
        // Opening again replaces the context.
        ctx->m_bAbort = 1;
        ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
        EXPECT_EQ(driver.CurrentJobContext()->m_bAbort, 0);
        driver.AbortJob(nullptr, nullptr, nullptr);
    }
}

// The names of the module's symbols as `nm <options>` lists them.
std::set<std::string> ModuleSymbols(const std::string& options) {
    const std::string command = "nm --format=just-symbols " + options + " " + TARNWICK_MODULE_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    char line[4096];
    while (pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr)
        symbols.emplace(line, std::strcspn(line, "\n"));
    EXPECT_EQ(pipe != nullptr ? pclose(pipe) : -1, 0);
    return symbols;
}

TEST(ModuleBoundary, ExportsOnlyTheTwoFactoriesAndShipsNoTestCode) {
    EXPECT_EQ(ModuleSymbols("-D --defined-only"),
              (std::set<std::string>{"createNewPrinterDriver", "createDriverPage"}));
    const std::set<std::string> all = ModuleSymbols("-C --defined-only");
    ASSERT_GT(all.size(), 100u);
    for (const std::string& symbol : all) {
        for (const char* mark : {"Fake", "Capture", "ForTests", "MessageScript", "testing::"}) {
            EXPECT_EQ(symbol.find(mark), std::string::npos) << symbol;
        }
    }
}

// The slots a host asks first, then a generic printer, grayscale, no colour bar, one page of two
// rows: every byte written down by hand.
TEST(ModuleBoundary, WholeJobMatchesTheHandWrittenStream) {
    test::TempDir dir;
    JobTicket ticket = test::DefaultTicket("Generic RTL", 180, 1);
    ticket.settings[13] = 0;
    auto job = test::MakeJob(dir, ticket, {test::TestPage{16, 2, 0, 0, {{"Black"}}}});
    auto driver = test::MakeDriver();
    ASSERT_TRUE(driver);
    char name[256] = {};
    EXPECT_EQ((std::tuple{driver->GetTypeNumber(), driver->Slot12(),
                          driver->GetDefaultColorMode(name, nullptr), std::string(name)}),
              std::tuple(85, 8.0f, 2, "CMYKLcLm"));
    test::MemoryChannel out;
    ASSERT_EQ(test::RunJob(*driver, *job, out), 3);
    const std::string expected =
        "\x1b"
        "E\x1b%-12345X@PJL SET RESOLUTION=180\n@PJL SET PASSES=4\n@PJL SET BIDIRECTION=ON\n"
        "@PJL SET OVERPRINT=1\n@PJL SET CALIBRATION=0.00\n@PJL SET SPACE=10\n"
        "@PJL ENTER LANGUAGE=RTL\n\x1b*r16S\x1b*r2T\x1b*t180R\x1b*r-4U\x1b*b2M\x1b*r1A"
        "\x1b*b3W\x01\x11\x12\x1b*b3W\x01\x18\x19\x1b*rC\x1b%-12345X"
        "@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\x1b"
        "E";
    EXPECT_EQ(out.str(), expected);
    // The host's tag reaches every write; the page end is flushed at once.
    EXPECT_EQ(out.tags, std::vector<int64_t>(out.tags.size(), 0x1122334455667788));
}

// Six inks over several pages: decoding the stream gives back every plane row of the job, in
// the printer's plane order.
TEST(ModuleBoundary, DecodedStreamGivesBackEveryPlaneRow) {
    std::vector<test::TestPage> pages;
    for (int p = 0; p < 3; ++p) {
        test::TestPage page{700 + 37 * p, 20 + p, 0, 0, {}};
        for (const char* ink : {"Cyan", "Magenta", "Yellow", "Black", "LCyan", "LMagenta"})
            page.colorants.push_back({ink});
        // Mixed runs and literals, different on every page, row and ink.
        page.content = [p](int c, int r, int i) {
            const int v = (i / (3 + c)) * 7 + r * 13 + p * 31 + c;
            return static_cast<uint8_t>(i % 5 == 0 ? v : v & 0xF0);
        };
        pages.push_back(page);
    }
    test::TempDir dir;
    JobTicket ticket = test::DefaultTicket("CP52", 180, 2);
    ticket.settings[13] = 0;
    auto job = test::MakeJob(dir, ticket, pages);
    auto driver = test::MakeDriver();
    ASSERT_TRUE(driver);
    test::MemoryChannel out;
    ASSERT_GT(test::RunJob(*driver, *job, out), 0);

    const auto decoded = test::ReadStreamRows(out.bytes);
    ASSERT_EQ(decoded.size(), pages.size());
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const test::TestPage& page = pages[p];
        ASSERT_EQ(decoded[p].rows.size(), static_cast<std::size_t>(page.height));
        for (int r = 0; r < page.height; ++r) {
            std::vector<std::vector<uint8_t>> expected;
            for (const int c : {3, 0, 1, 2, 4, 5}) {  // the printer's plane order
                auto& plane = expected.emplace_back(test::RowBytes(page, c));
                for (std::size_t i = 0; i < plane.size(); ++i)
                    plane[i] = page.content(c, r, static_cast<int>(i));
                // Bits past the last pixel of a row are not part of the image.
                if (page.width % 8 != 0) plane.back() &= 0xFF << (8 - page.width % 8);
            }
            ASSERT_EQ(decoded[p].rows[static_cast<std::size_t>(r)].planes, expected)
                << "page " << p << " row " << r;
        }
    }
}

}  // namespace
}  // namespace tarnwick
