// The driver at its slots: every slot sits where the host expects it and answers with its
// documented default, the engine only ever sees private copies of the host's records, and a job
// opens only with everything it needs.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <tuple>

#include "driver/abase_printer_driver_imp.h"
#include "driver/cdriver.h"
#include "host/afile_path.h"
#include "host/job/ox_job.h"
#include "host/kv_log.h"
#include "rtl/rtl.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

// Slot of a virtual member under the Itanium ABI: the member pointer holds 1 + the byte offset
// of its table entry, and the destructor takes the two entries before slot 1.
template <typename F>
std::ptrdiff_t SlotOf(F member) {
    struct Raw {
        std::ptrdiff_t ptr;
        std::ptrdiff_t adj;
    };
    static_assert(sizeof(F) == sizeof(Raw));
    Raw raw;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.ptr - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)) - 1;
}

TEST(DriverSlots, NamedSlotsSitAtTheirFixedPositions) {
    using D = ABasePrinterDriver;
    using I = ABasePrinterDriverImp;
    const std::pair<std::ptrdiff_t, int> rows[] = {{SlotOf(&D::OpenJob), 1},
                                                   {SlotOf(&D::PrintStep), 2},
                                                   {SlotOf(&D::AbortJob), 3},
                                                   {SlotOf(&D::ShowOptionsDialog), 7},
                                                   {SlotOf(&D::ParseDriverOptions), 9},
                                                   {SlotOf(&D::GetTypeNumber), 10},
                                                   {SlotOf(&D::Slot12), 12},
                                                   {SlotOf(&D::GetDriverOptionString), 13},
                                                   {SlotOf(&D::GetColorModeName), 15},
                                                   {SlotOf(&D::FindColorMode), 16},
                                                   {SlotOf(&D::GetColorList), 17},
                                                   {SlotOf(&D::LoadScreeningParams), 18},
                                                   {SlotOf(&D::GetDefaultColorMode), 19},
                                                   {SlotOf(&D::GetPrintModes), 24},
                                                   {SlotOf(&D::GetResolutions), 25},
                                                   {SlotOf(&D::Slot29), 29},
                                                   {SlotOf(&D::SettingsDiffer), 38},
                                                   {SlotOf(&D::ValidateSettings), 41},
                                                   {SlotOf(&D::Slot42), 42},
                                                   {SlotOf(&D::LoadDitherParams), 49},
                                                   {SlotOf(&D::Slot53), 53},
                                                   {SlotOf(&D::SetPrintSettings), 55},
                                                   {SlotOf(&I::Slot56), 56},
                                                   {SlotOf(&I::GetTypeNumberImp), 57},
                                                   {SlotOf(&I::LoadJobHeader), 58}};
    for (const auto& [slot, expected] : rows) EXPECT_EQ(slot, expected);
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

TEST(DriverSlots, DefaultsOfTheInterfaceTheFacadeAndTheDriver) {
    BareDriver bare;
    ABasePrinterDriverImp facade;  // without an engine every slot falls back
    auto driver = test::MakeDriver();
    ASSERT_TRUE(driver);
    int64_t values[2] = {42, 0};
    int64_t signedValues[2] = {-5, 0};
    int32_t negative = -1;
    int32_t positive = 5;
    int32_t out = 0;
    int32_t driverOut = 0;
    const std::pair<double, double> rows[] = {
        {bare.Slot12(), 1.0},
        {bare.GetTypeNumber(), -1},
        {bare.AbortJob(nullptr, nullptr, nullptr), 1},
        {bare.GetDefaultColorMode(nullptr, nullptr), -1},
        {bare.ValidateSettings(nullptr), 1},
        {bare.Slot37(nullptr, nullptr, nullptr), 1},
        {static_cast<double>(bare.Slot31(values)), 42},
        {static_cast<double>(values[1]), 42},
        {bare.Slot51(3, nullptr), 103},  // slot 51 asks slot 17
        {facade.Slot12(), 8.0},
        {facade.GetTypeNumber(), -1},
        {facade.FindColorMode("CMYK"), -1},
        {facade.GetDefaultColorMode(nullptr, nullptr), -1},
        {facade.Slot21(nullptr, nullptr, nullptr), 3},
        {facade.Slot22(nullptr, nullptr, nullptr), 3},
        {facade.Slot37(nullptr, nullptr, nullptr), 1},
        {facade.ValidateSettings(nullptr), 0},
        {facade.Slot42(nullptr, &negative), 1},
        {facade.Slot42(nullptr, &positive), 1},
        {facade.Slot45(nullptr, 9, &out), 0},
        {static_cast<double>(out), 0},
        {facade.ResolveListIndex(nullptr, -100, &out), 0},
        {driver->FindColorMode("cmyklclm"), 2},
        {driver->FindColorMode("RGB"), -1},
        {driver->Slot45(nullptr, 9, &driverOut), 1},
        {static_cast<double>(driverOut), 9},
        {driver->Slot42(nullptr, &positive), 1},
        {static_cast<double>(driver->Slot29(signedValues)), -5}};
    for (std::size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << i;

    // Slot 53 asks slot 49 with its sixth argument fifth.
    int marker = 0;
    EXPECT_EQ(bare.Slot53(nullptr, nullptr, nullptr, nullptr, nullptr, &marker), 7);
    EXPECT_EQ(bare.lastReserved, &marker);
    SettingsArea a{};
    SettingsArea b{};
    EXPECT_EQ(facade.SettingsDiffer(&a.settings, &b.settings), 0);
    b.rest[200 - sizeof(PrinterSettings)] = 1;  // byte 200 of the area
    EXPECT_EQ(facade.SettingsDiffer(&a.settings, &b.settings), 1);
    HostJobRecord job{};
    test::MemoryChannel channel;
    EXPECT_EQ(facade.OpenJob(&job, &channel), 0);
    EXPECT_EQ(job.m_nDone, -1);
}

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
        for (int i : listIndexes) {
            PrintModeEntry e{};
            e.index = i;
            list->push_back(e);
        }
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

TEST(PrivateCopy, RecordsAreCopiedWithTheirOwnText) {
    SpyDriver d;
    PrintSetup host{};
    std::snprintf(host.modelName, sizeof host.modelName, "CP52");
    char text[] = "owned text";
    host.text = text;
    host.media = 3;
    host.colorMode = 2;
    EXPECT_EQ(d.GetDefaultColorMode(nullptr, &host), 5);
    EXPECT_NE(d.engine->record, &host);
    EXPECT_EQ(d.engine->seen, "3 owned text CP52");
    const char* const hostText = host.text;  // packed field: read it by value
    EXPECT_EQ(std::tuple(std::string(hostText), hostText, host.colorMode),
              std::tuple("owned text", text, 2));
    host.text = nullptr;
    d.GetDefaultColorMode(nullptr, &host);
    EXPECT_EQ(d.engine->seen, "3 <null> CP52");
    d.GetDefaultColorMode(nullptr, nullptr);  // no record: the engine gets one of zeros
    ASSERT_NE(d.engine->record, nullptr);
    EXPECT_EQ(d.engine->seen, "0 <null> ");

    PrintModeEntry entry{};
    entry.index = 2;
    std::snprintf(entry.name, sizeof entry.name, "DRAFT");
    d.GetPrintModes("CP52", &entry, nullptr, nullptr);
    EXPECT_NE(d.engine->record, &entry);
    EXPECT_EQ(std::tuple(d.engine->seen, entry.index), std::tuple("2 DRAFT", 2));
    d.GetPrintModes("CP52", nullptr, nullptr, nullptr);
    EXPECT_EQ(d.engine->seen, "-1 ");
}

// -101 names the second-to-last entry of the engine's list (the only one when it has one), the
// other placeholders its last; an empty list passes the placeholder unchanged.
TEST(PrivateCopy, MediaPlaceholdersResolveAgainstTheEngineList) {
    struct Row {
        std::vector<int> list;
        int32_t media, seen;
    } rows[] = {{{}, -101, -101},
                {{10, 11, 12}, -100, 12},
                {{10, 11, 12}, -102, 12},
                {{10, 11, 12}, -101, 11},
                {{10}, -101, 10}};
    SpyDriver d;
    for (const Row& row : rows) {
        d.engine->listIndexes = row.list;
        PrintSetup host{};
        host.media = row.media;
        d.GetDefaultColorMode(nullptr, &host);
        EXPECT_EQ(d.engine->seen.substr(0, d.engine->seen.find(' ')), std::to_string(row.seen))
            << row.media;
        EXPECT_EQ(host.media, row.media);
    }
}

using test::MemoryChannel;
using test::TempDir;
using test::TestPage;

std::vector<TestPage> OnePage() {
    return {TestPage{16, 2, 0, 0, {{"Black", 1}}}};
}

TEST(JobSlots, HeaderFieldsReachTheContext) {
    TempDir dir;
    JobTicket ticket = test::DefaultTicket(std::string(70, 'M'), 180, -1);
    ticket.resY = 90;
    ticket.calibrationText = "feed~0.5";
    ticket.settings[200] = 0x5A;
    auto job = test::MakeJob(dir, ticket, OnePage());
    CDriver driver;
    MemoryChannel out;
    ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
    const JobContext* ctx = driver.CurrentJobContext();
    // The model name is cut to its field; the colour model is sign-extended, not 65535.
    EXPECT_EQ(std::tuple(std::string(ctx->m_szPrinterModel), ctx->m_nJobResX, ctx->m_nJobResY,
                         ctx->m_nColorModel, std::string(ctx->m_szCalibrationText),
                         ctx->m_Settings.rest[200 - sizeof(PrinterSettings)]),
              std::tuple(std::string(63, 'M'), 180, 90, -1, "feed~0.5", 0x5A));
    EXPECT_EQ(std::tuple(ctx->m_bRemoveOffsetX, ctx->m_bRemoveOffsetY, ctx->m_pJob, job->m_nDone),
              std::tuple(0, 1, job.get(), 0));
    driver.AbortJob(nullptr, nullptr, nullptr);
}

// A job opens only with a channel, a whole ticket header and its data file: under prefix 2
// unless the host asks for the direct name, else under prefix 0. A failed open ends the job.
TEST(JobSlots, OpenNeedsEveryPiece) {
    // Short tickets and missing or damaged data files are rows of the bad-input catalogue.
    const struct Row {
        const char* name;
        int direct, opened;
    } rows[] = {{"data under prefix 2", 0, 1}, {"data under prefix 2, direct name asked", 1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        auto job = test::MakeJob(dir, test::DefaultTicket("CP52"), OnePage());
        std::filesystem::rename(OXJob::GetFileName(ePrefix0, AFilePath(job->path)).c_str(),
                                OXJob::GetFileName(ePrefix2, AFilePath(job->path)).c_str());
        job->m_bDirectDataName = row.direct;
        ScopedLogCapture log;
        CDriver driver;
        MemoryChannel out;
        EXPECT_EQ(driver.OpenJob(job.get(), &out), row.opened);
        EXPECT_EQ(job->m_nDone, row.opened ? 0 : -1);
        EXPECT_EQ(log.entries().empty(), row.opened == 1);
        if (row.opened) {
            // Opening again replaces the context.
            driver.CurrentJobContext()->m_bAbort = 1;
            ASSERT_EQ(driver.OpenJob(job.get(), &out), 1);
            EXPECT_EQ(driver.CurrentJobContext()->m_bAbort, 0);
            driver.AbortJob(nullptr, nullptr, nullptr);
        }
    }
    // A null channel fails before the ticket is read: a missing ticket is not even created.
    TempDir dir;
    CDriver driver;
    auto noTicket = test::MakeHostRecord(dir.file("absent.tkt"));
    EXPECT_EQ(driver.OpenJob(noTicket.get(), nullptr), 0);
    EXPECT_EQ(noTicket->m_nDone, -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent.tkt")));
    MemoryChannel out;
    EXPECT_EQ(driver.OpenJob(nullptr, &out), 0);
}

}  // namespace
}  // namespace tarnwick
