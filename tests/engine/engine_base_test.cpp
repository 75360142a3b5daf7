// The engine's shared layer: buffered output, status texts, pixel expansion
// and the option text parsers.
#include <gtest/gtest.h>

#include <cstring>

#include "host/kv_log.h"
#include "rtl/rtl.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

class EngineUnderTest : public RTL {
  public:
    EngineUnderTest() {
        job.m_nOutputTag = 77;
        ctx.m_pJob = &job;
        ctx.m_nScaleX = 1;
        m_pCtx = &ctx;
        m_pOutput = &out;
    }
    uint32_t Waiting() const { return m_nWriteLen; }
    HostJobRecord job{};
    JobContext ctx{};
    test::MemoryChannel out;
};

std::vector<uint8_t> Bytes(std::size_t n, uint8_t value) {
    return std::vector<uint8_t>(n, value);
}

// Writes collect up to the threshold; a write that would pass it, a large write and a flush send
// the waiting bytes first, then their own (the large write and the flush straight through).
TEST(WriteNdata, CollectsUpToTheThresholdThenWritesInOrder) {
    const auto t = static_cast<int32_t>(ABaseRTL::kWriteThreshold);
    struct Write {
        int32_t size;
        int flush;
    };
    struct Row {
        std::vector<Write> writes;
        std::vector<int32_t> sent;
        uint32_t waiting;
    } rows[] = {
        {{{t, 0}}, {}, static_cast<uint32_t>(t)}, {{{t, 0}, {1, 0}}, {t}, 1},
        {{{t, 0}, {1, 0}, {0, 1}}, {t, 1}, 0},  // a flush of nothing sends what waits
        {{{3, 0}, {t + 1, 0}}, {3, t + 1}, 0},    {{{3, 0}, {2, 1}}, {3, 2}, 0},
    };
    for (const Row& row : rows) {
        EngineUnderTest e;
        for (const Write& w : row.writes) {
            const auto data = Bytes(static_cast<std::size_t>(w.size), static_cast<uint8_t>(w.size));
            EXPECT_EQ(e.WriteNdata(data.data(), w.size, w.flush), w.size);
        }
        EXPECT_EQ(e.out.writeSizes, row.sent);
        EXPECT_EQ(e.Waiting(), row.waiting);
        for (int64_t tag : e.out.tags) EXPECT_EQ(tag, 77);
        int64_t sent = 0;
        for (int32_t n : row.sent) sent += n;
        EXPECT_EQ(static_cast<int64_t>(e.out.bytes.size()), sent);
    }
}

TEST(WriteNdata, ShortWriteThrowsZeroAndLogsItsLine) {
    EngineUnderTest e;
    e.out.failAtWrite = 0;
    e.out.acceptOnFail = 1;
    ScopedLogCapture log;
    uint8_t data[4] = {1, 2, 3, 4};
    e.WriteNdata(data, 4, 0);
    try {
        e.WriteNdata(data, 4, 1);
        FAIL() << "a short write must throw";
    } catch (int code) {
        EXPECT_EQ(code, 0);
    }
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].line, 85);
    EXPECT_EQ(log.entries()[0].level, 'E');
    EXPECT_EQ(log.entries()[0].source, "PrinterDriver/Common/Xsrc/ABaseRTL");
    EXPECT_EQ(log.entries()[0].text, "ABaseRTL::WriteNdata");
    // What was accepted is a prefix of what was asked.
    EXPECT_EQ(e.out.bytes, std::vector<uint8_t>{1});

    EngineUnderTest direct;
    direct.out.failAtWrite = 0;
    ScopedLogCapture log2;
    EXPECT_THROW(direct.WriteNdata(data, 4, 1), int);
    ASSERT_EQ(log2.entries().size(), 1u);
    EXPECT_EQ(log2.entries()[0].line, 99);
    EXPECT_EQ(log2.entries()[0].text, "ABaseRTL::WriteNdata num=4");
}

TEST(EngineStatus, ProgressIsClampedAndRightAligned) {
    EngineUnderTest e;
    e.ReportProgress(-5);
    EXPECT_STREQ(e.job.m_szStatus, "  0%");
    EXPECT_EQ(e.job.m_nStatusCode, 3);
    e.ReportProgress(150);
    EXPECT_STREQ(e.job.m_szStatus, "100%");
    e.ReportProgress(7);
    EXPECT_STREQ(e.job.m_szStatus, "  7%");
    e.SetHostStatus(7, "Aborted");
    EXPECT_STREQ(e.job.m_szStatus, "Aborted");
    EXPECT_EQ(e.job.m_nStatusCode, 7);
}

TEST(ExpandPixels, RepeatsPixelsAndAdvancesThePosition) {
    struct Row {
        int32_t scale, bits, pixels;
        uint8_t fill;  // what dst held before
        std::vector<uint8_t> src, expected;
        int32_t end;
    } rows[] = {
        {2, 1, 3, 0xFF, {0xA0}, {0xCC}, 6},
        {3, 2, 8, 0, {0b01'10'11'00}, {0b01'01'01'10, 0b10'10'11'11, 0b11'00'00'00}, 24},
        {1, 1, 12, 0, {0x12, 0x34}, {0x12, 0x34}, 12},  // on a byte boundary: copied
    };
    for (const Row& row : rows) {
        EngineUnderTest e;
        e.ctx.m_nScaleX = static_cast<int16_t>(row.scale);
        // Whole source bytes are expanded: the caller's buffer has room for them.
        std::vector<uint8_t> dst(row.expected.size() + 2, row.fill);
        int32_t pos = 0;
        e.ExpandPixels(row.bits, row.pixels, row.src.data(), row.scale, &pos, dst.data());
        dst.resize(row.expected.size());
        EXPECT_EQ(dst, row.expected) << row.bits << " bits";
        EXPECT_EQ(pos, row.end);
    }
}

// Pairs set their byte until an item does not fit; a text cut short anywhere is not read past.
TEST(OptionTexts, PairsStopAtTheFirstItemThatDoesNotFit) {
    constexpr int E = 0xEE;  // untouched
    std::vector<std::pair<std::string, std::vector<int>>> rows = {
        {"DriverOption3=1;DriverOption8=1;DriverOption2=1", {E, E, E, 1, E, E, E, E}},
        {"DriverOption1=2 DriverOption4=x DriverOption5=1", {E, 2, E, E, E, E, E, E}},
        {"DriverOption-1=3", std::vector<int>(8, E)},
        {"DriverOption99999999999999=3", std::vector<int>(8, E)},
    };
    const std::string full = "DriverOption6=3";
    for (std::size_t n = 0; n < full.size(); ++n)
        rows.push_back({full.substr(0, n), {E, E, E, E, E, E, E, E}});
    for (const auto& [text, expected] : rows) {
        uint8_t out[8];
        std::memset(out, E, sizeof out);
        ABaseRTL::ParseDriverOptionPairs(text.c_str(), out, 8);
        EXPECT_EQ(std::vector<int>(out, out + 8), expected) << text;
    }
}

TEST(OptionTexts, BinaryOptionsCarryHexBytes) {
    EngineUnderTest e;
    uint8_t out[200];
    std::memset(out, 0xEE, sizeof out);
    std::string text = "DriverOptionBinary=";
    for (int i = 0; i < 200; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", i);
        text += pair;
    }
    EXPECT_EQ(e.ParseDriverOptions(text.c_str(), out, nullptr), 1);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(out[i], i);

    std::memset(out, 0xEE, sizeof out);
    e.ParseDriverOptions("DriverOptionBinary=18zz0", out, nullptr);
    EXPECT_EQ(out[0], 0x18);
    EXPECT_EQ(out[1], 0);     // no hex digits
    EXPECT_EQ(out[2], 0);     // "0" alone at the end of the text
    EXPECT_EQ(out[3], 0xEE);  // beyond the text
}

TEST(OptionTexts, CurrentValuesAreInsertedAfterEachColon) {
    char text[1024] = "Overprint:1,2,3;Print Direction:Uni,Bi;";
    const uint8_t values[2] = {2, 1};
    ABaseRTL::InsertOptionValues(text, values);
    EXPECT_STREQ(text, "Overprint:2,1,2,3;Print Direction:1,Uni,Bi;");
    char plain[1024] = "no colon here";
    ABaseRTL::InsertOptionValues(plain, values);
    EXPECT_STREQ(plain, "no colon here");
}

TEST(EngineRecords, ResolutionEntriesAndPrintSetupCopies) {
    EngineUnderTest e;
    ResolutionEntry entry{};
    e.MakeResolutionEntry(&entry, 360, 720, 4, "360", "720");
    EXPECT_STREQ(entry.name, "360x720");
    EXPECT_EQ(entry.id, 4);
    EXPECT_DOUBLE_EQ(entry.yDpi, 720);
    e.MakeResolutionEntry(&entry, 180, 180, 2, "180", nullptr);
    EXPECT_STREQ(entry.name, "180");

    PrintSetup setup{};
    char text[] = "setup text";
    setup.text = text;
    setup.resolution = 720;
    EXPECT_EQ(e.SetPrintSettings(&setup), 1);
    EXPECT_EQ(e.CurrentPrintSetup().resolution, 720);
    const char* copied = e.CurrentPrintSetup().text;  // packed field: read it by value
    EXPECT_NE(copied, text);
    EXPECT_STREQ(e.CurrentPrintSetup().text, "setup text");
    setup.text = nullptr;
    e.SetPrintSettings(&setup);
    copied = e.CurrentPrintSetup().text;
    EXPECT_EQ(copied, nullptr);
    EXPECT_EQ(e.SetPrintSettings(nullptr), 1);
    EXPECT_EQ(e.CurrentPrintSetup().resolution, 720);
}

}  // namespace
}  // namespace tarnwick
