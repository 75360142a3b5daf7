// The host calls the driver by slot number, so every slot must sit where the
// host expects it and answer with its documented default.
#include <gtest/gtest.h>

#include <cstring>

#include "driver/abase_printer_driver_imp.h"
#include "support/job_fixture.h"

namespace tarnwick {
namespace {

// Table index of a virtual member under the Itanium ABI: the member pointer
// holds 1 + the byte offset of its table entry.
template <typename F>
std::ptrdiff_t TableIndex(F member) {
    struct Raw {
        std::ptrdiff_t ptr;
        std::ptrdiff_t adj;
    };
    static_assert(sizeof(F) == sizeof(Raw));
    Raw raw;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.ptr - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

// Slot N sits at table index N + 1: the destructor takes two entries.
constexpr std::ptrdiff_t Entry(int slot) {
    return slot + 1;
}

TEST(DriverSlots, NamedSlotsSitAtTheirFixedPositions) {
    using D = ABasePrinterDriver;
    EXPECT_EQ(TableIndex(&D::OpenJob), Entry(1));
    EXPECT_EQ(TableIndex(&D::PrintStep), Entry(2));
    EXPECT_EQ(TableIndex(&D::AbortJob), Entry(3));
    EXPECT_EQ(TableIndex(&D::ShowOptionsDialog), Entry(7));
    EXPECT_EQ(TableIndex(&D::ParseDriverOptions), Entry(9));
    EXPECT_EQ(TableIndex(&D::GetTypeNumber), Entry(10));
    EXPECT_EQ(TableIndex(&D::Slot12), Entry(12));
    EXPECT_EQ(TableIndex(&D::GetDriverOptionString), Entry(13));
    EXPECT_EQ(TableIndex(&D::GetColorModeName), Entry(15));
    EXPECT_EQ(TableIndex(&D::FindColorMode), Entry(16));
    EXPECT_EQ(TableIndex(&D::GetColorList), Entry(17));
    EXPECT_EQ(TableIndex(&D::LoadScreeningParams), Entry(18));
    EXPECT_EQ(TableIndex(&D::GetDefaultColorMode), Entry(19));
    EXPECT_EQ(TableIndex(&D::GetPrintModes), Entry(24));
    EXPECT_EQ(TableIndex(&D::GetResolutions), Entry(25));
    EXPECT_EQ(TableIndex(&D::Slot29), Entry(29));
    EXPECT_EQ(TableIndex(&D::SettingsDiffer), Entry(38));
    EXPECT_EQ(TableIndex(&D::ValidateSettings), Entry(41));
    EXPECT_EQ(TableIndex(&D::Slot42), Entry(42));
    EXPECT_EQ(TableIndex(&D::LoadDitherParams), Entry(49));
    EXPECT_EQ(TableIndex(&D::Slot53), Entry(53));
    EXPECT_EQ(TableIndex(&D::SetPrintSettings), Entry(55));
    using I = ABasePrinterDriverImp;
    EXPECT_EQ(TableIndex(&I::Slot56), Entry(56));
    EXPECT_EQ(TableIndex(&I::GetTypeNumberImp), Entry(57));
    EXPECT_EQ(TableIndex(&I::LoadJobHeader), Entry(58));
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

TEST(DriverSlots, InterfaceDefaults) {
    BareDriver d;
    EXPECT_FLOAT_EQ(d.Slot12(), 1.0f);
    EXPECT_EQ(d.GetTypeNumber(), -1);
    EXPECT_EQ(d.AbortJob(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(d.GetDefaultColorMode(nullptr, nullptr), -1);
    EXPECT_EQ(d.ValidateSettings(nullptr), 1);
    EXPECT_EQ(d.Slot37(nullptr, nullptr, nullptr), 1);
    int64_t values[2] = {42, 0};
    EXPECT_EQ(d.Slot31(values), 42);
    EXPECT_EQ(values[1], 42);
    // Slot 51 asks slot 17; slot 53 asks slot 49 with its sixth argument fifth.
    EXPECT_EQ(d.Slot51(3, nullptr), 103);
    int marker = 0;
    EXPECT_EQ(d.Slot53(nullptr, nullptr, nullptr, nullptr, nullptr, &marker), 7);
    EXPECT_EQ(d.lastReserved, &marker);
}

// The façade without an engine answers every slot with its fallback.
TEST(DriverSlots, FacadeWithoutEngineFallsBack) {
    ABasePrinterDriverImp d;
    EXPECT_FLOAT_EQ(d.Slot12(), 8.0f);
    EXPECT_EQ(d.GetTypeNumber(), -1);
    EXPECT_EQ(d.FindColorMode("CMYK"), -1);
    EXPECT_EQ(d.GetDefaultColorMode(nullptr, nullptr), -1);
    EXPECT_EQ(d.Slot21(nullptr, nullptr, nullptr), 3);
    EXPECT_EQ(d.Slot22(nullptr, nullptr, nullptr), 3);
    EXPECT_EQ(d.Slot37(nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(d.ValidateSettings(nullptr), 0);
    int32_t negative = -1;
    int32_t positive = 5;
    EXPECT_EQ(d.Slot42(nullptr, &negative), 1);
    EXPECT_EQ(d.Slot42(nullptr, &positive), 1);
    int32_t out = 0;
    EXPECT_EQ(d.Slot45(nullptr, 9, &out), 0);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(d.ResolveListIndex(nullptr, -100, &out), 0);

    SettingsArea a{};
    SettingsArea b{};
    EXPECT_EQ(d.SettingsDiffer(&a.settings, &b.settings), 0);
    b.rest[200 - sizeof(PrinterSettings)] = 1;  // byte 200 of the area
    EXPECT_EQ(d.SettingsDiffer(&a.settings, &b.settings), 1);

    HostJobRecord job{};
    test::MemoryChannel out2;
    EXPECT_EQ(d.OpenJob(&job, &out2), 0);
    EXPECT_EQ(job.m_nDone, -1);
}

TEST(DriverSlots, CDriverAnswersFromItsEngine) {
    auto d = test::MakeDriver();
    ASSERT_TRUE(d);
    EXPECT_FLOAT_EQ(d->Slot12(), 8.0f);
    EXPECT_EQ(d->GetTypeNumber(), 85);
    EXPECT_EQ(d->FindColorMode("cmyklclm"), 2);
    EXPECT_EQ(d->FindColorMode("RGB"), -1);
    int32_t out = 0;
    EXPECT_EQ(d->Slot45(nullptr, 9, &out), 1);
    EXPECT_EQ(out, 9);
    int32_t value = 7;
    EXPECT_EQ(d->Slot42(nullptr, &value), 1);
    int64_t values[2] = {-5, 0};
    EXPECT_EQ(d->Slot29(values), -5);
}

}  // namespace
}  // namespace tarnwick
