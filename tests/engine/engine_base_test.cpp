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

TEST(WriteNdata, CollectsUpToTheThresholdThenWritesInOrder) {
    EngineUnderTest e;
    auto big = Bytes(ABaseRTL::kWriteThreshold, 1);
    EXPECT_EQ(e.WriteNdata(big.data(), static_cast<int32_t>(big.size()), 0),
              static_cast<int32_t>(big.size()));
    EXPECT_TRUE(e.out.writeSizes.empty());
    uint8_t one = 2;
    EXPECT_EQ(e.WriteNdata(&one, 1, 0), 1);
    ASSERT_EQ(e.out.writeSizes.size(), 1u);
    EXPECT_EQ(e.out.writeSizes[0], static_cast<int32_t>(ABaseRTL::kWriteThreshold));
    EXPECT_EQ(e.Waiting(), 1u);
    EXPECT_EQ(e.out.tags[0], 77);

    // A flush with nothing of its own writes only the waiting bytes.
    EXPECT_EQ(e.WriteNdata(nullptr, 0, 1), 0);
    ASSERT_EQ(e.out.writeSizes.size(), 2u);
    EXPECT_EQ(e.out.writeSizes[1], 1);
    EXPECT_EQ(e.out.bytes.back(), 2);
}

TEST(WriteNdata, LargeWritesAndFlushesGoStraightThroughAfterTheWaitingBytes) {
    EngineUnderTest e;
    uint8_t head[3] = {1, 2, 3};
    e.WriteNdata(head, 3, 0);
    auto huge = Bytes(ABaseRTL::kWriteThreshold + 1, 9);
    e.WriteNdata(huge.data(), static_cast<int32_t>(huge.size()), 0);
    ASSERT_EQ(e.out.writeSizes.size(), 2u);
    EXPECT_EQ(e.out.writeSizes[0], 3);
    EXPECT_EQ(e.out.writeSizes[1], static_cast<int32_t>(huge.size()));

    uint8_t tail[2] = {7, 8};
    e.WriteNdata(head, 3, 0);
    e.WriteNdata(tail, 2, 1);
    ASSERT_EQ(e.out.writeSizes.size(), 4u);
    EXPECT_EQ(e.out.writeSizes[2], 3);
    EXPECT_EQ(e.out.writeSizes[3], 2);
    EXPECT_EQ(e.Waiting(), 0u);
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
    EngineUnderTest e;
    e.ctx.m_nScaleX = 2;
    const uint8_t src[1] = {0xA0};
    uint8_t dst[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    int32_t pos = 0;
    e.ExpandPixels(1, 3, src, 2, &pos, dst);
    EXPECT_EQ(dst[0], 0xCC);
    EXPECT_EQ(pos, 6);

    // Two-bit pixels repeated three times.
    e.ctx.m_nScaleX = 3;
    const uint8_t src2[1] = {0b01'10'11'00};
    uint8_t dst2[3] = {};
    pos = 0;
    e.ExpandPixels(2, 8, src2, 3, &pos, dst2);
    EXPECT_EQ(dst2[0], 0b01'01'01'10);
    EXPECT_EQ(dst2[1], 0b10'10'11'11);
    EXPECT_EQ(dst2[2], 0b11'00'00'00);
    EXPECT_EQ(pos, 24);

    // Without repetition on a byte boundary the bytes are copied.
    e.ctx.m_nScaleX = 1;
    const uint8_t src3[2] = {0x12, 0x34};
    uint8_t dst3[2] = {};
    pos = 0;
    e.ExpandPixels(1, 12, src3, 1, &pos, dst3);
    EXPECT_EQ(dst3[0], 0x12);
    EXPECT_EQ(dst3[1], 0x34);
    EXPECT_EQ(pos, 12);
}

TEST(OptionTexts, PairsStopAtTheFirstItemThatDoesNotFit) {
    uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    ABaseRTL::ParseDriverOptionPairs("DriverOption3=1;DriverOption8=1;DriverOption2=1", out, 8);
    EXPECT_EQ(out[3], 1);
    EXPECT_EQ(out[2], 0xEE);

    std::memset(out, 0xEE, sizeof out);
    ABaseRTL::ParseDriverOptionPairs("DriverOption1=2 DriverOption4=x DriverOption5=1", out, 8);
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[4], 0xEE);
    EXPECT_EQ(out[5], 0xEE);

    // Cut short in every place: nothing beyond the text is read.
    const std::string full = "DriverOption6=3";
    for (std::size_t n = 0; n < full.size(); ++n) {
        std::memset(out, 0xEE, sizeof out);
        ABaseRTL::ParseDriverOptionPairs(full.substr(0, n).c_str(), out, 8);
        EXPECT_EQ(out[6], 0xEE) << n;
    }
    ABaseRTL::ParseDriverOptionPairs("DriverOption-1=3", out, 8);
    ABaseRTL::ParseDriverOptionPairs("DriverOption99999999999999=3", out, 8);
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
