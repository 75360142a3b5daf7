// The host calls the driver by slot number, so every slot must sit where the host expects it and
// answer with its documented default.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/abase_printer_driver_imp.h"
#include "support/job_fixture.h"

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

}  // namespace
}  // namespace tarnwick
