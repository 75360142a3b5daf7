// Page ends of named and generic printers, byte for byte, and how they
// reach the host.
#include "host/kv_log.h"
#include "rtl_test_support.h"
#include "support/log_capture.h"

namespace tarnwick::rtl_test {
namespace {

constexpr char kNamedEnd[] =
    "\x1b*rC\x1b%0BPG;\x1b%-12345X@PJL\n@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\033E";

class RtlPageEndTest : public RtlTest {
  protected:
    std::string Reset() {
        rtl->calls.clear();
        channel.writes.clear();
        EXPECT_EQ(rtl->ResetPrinter(nullptr, nullptr, nullptr), 1);
        return Stream();
    }
};

TEST_F(RtlPageEndTest, NamedPrinterDefaultIsOneFlushedWrite) {
    StartJob("CP52");
    EXPECT_EQ(Reset(), kNamedEnd);
    ASSERT_EQ(rtl->calls.size(), 1u);
    EXPECT_EQ(rtl->calls[0].flush, 1);
    ASSERT_EQ(channel.writes.size(), 1u);
    EXPECT_EQ(channel.writes[0], kNamedEnd);
}

TEST_F(RtlPageEndTest, NamedPrinterVariants) {
    PrinterSettings& s = StartJob("ASBRU_V3C");
    s.advanceAfterPrint = 0;
    s.cutSheet = 1;
    // No advance: park the pen, no sheet cut even though it was asked for.
    EXPECT_EQ(Reset(),
              "\x1b*rC\x1b%0B!ST1;PU;PA0,0;!PG0\x1b%-12345X@PJL\n"
              "@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\033E");

    s.advanceAfterPrint = 1;
    EXPECT_EQ(Reset(),
              "\x1b*rC\x1b%0BPG;\x1b%-12345X@PJL\n@PJL DO SHEETCUT\n"
              "@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\033E");

    // Driver options off: always the plain advance, never a cut.
    s.advanceAfterPrint = 0;
    s.driverOptionsOff = 1;
    EXPECT_EQ(Reset(), kNamedEnd);

    // Joined pages keep the printer job open.
    job.m_nJoinMode = 1;
    EXPECT_EQ(Reset(), "\x1b*rC");
    EXPECT_EQ(rtl->calls[0].flush, 1);
}

TEST_F(RtlPageEndTest, NamedPrinterAbortIgnoresJoinModeAndSettings) {
    PrinterSettings& s = StartJob("CP52-LM");
    job.m_nJoinMode = 1;
    s.advanceAfterPrint = 0;
    s.cutSheet = 1;
    ctx.m_bAbort = 1;
    EXPECT_EQ(Reset(),
              "\x1b*rC\x1b%0B!PG;\x1b%-12345X@PJL\n"
              "@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\033E");
}

TEST_F(RtlPageEndTest, GenericPrinterWritesThreeItems) {
    PrinterSettings& s = StartJob("Plain RTL");
    s.cutSheet = 1;
    s.advanceAfterPrint = 0;  // a generic printer cuts anyway
    ctx.m_bAbort = 1;         // and ends an abort the normal way
    Reset();
    ASSERT_EQ(rtl->calls.size(), 3u);
    EXPECT_EQ(rtl->calls[0].bytes, "\x1b*rC\x1b%-12345X");
    EXPECT_EQ(rtl->calls[1].bytes, "@PJL DO SHEETCUT\n");
    EXPECT_EQ(rtl->calls[2].bytes, "@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\033E");
    EXPECT_EQ(rtl->calls[0].flush, 0);
    EXPECT_EQ(rtl->calls[1].flush, 0);
    EXPECT_EQ(rtl->calls[2].flush, 1);
    // The flush writes what was waiting, then its own bytes.
    ASSERT_EQ(channel.writes.size(), 2u);
    EXPECT_EQ(channel.writes[0], "\x1b*rC\x1b%-12345X@PJL DO SHEETCUT\n");

    for (const auto& [cut, off] : {std::pair{1, 1}, std::pair{0, 0}}) {
        s.cutSheet = static_cast<uint8_t>(cut);
        s.driverOptionsOff = static_cast<uint8_t>(off);
        EXPECT_EQ(Reset(), "\x1b*rC\x1b%-12345X@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\033E");
        EXPECT_EQ(rtl->calls.size(), 2u);
    }
}

TEST_F(RtlPageEndTest, WriteResultsDecideTheOutcome) {
    PrinterSettings& s = StartJob("Plain");
    s.cutSheet = 1;
    struct Case {
        std::size_t call;
        int32_t result;
        int expected;
        std::size_t calls;
    };
    // Any item that is not taken whole fails the page end, and nothing follows it.
    const Case cases[] = {{0, 0, 0, 1}, {0, -1, 0, 1}, {1, 0, 0, 2}, {2, 0, 0, 3}, {2, -1, 0, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        rtl->calls.clear();
        rtl->failCall = c.call;
        rtl->failResult = c.result;
        EXPECT_EQ(rtl->ResetPrinter(nullptr, nullptr, nullptr), c.expected);
        EXPECT_EQ(rtl->calls.size(), c.calls);
    }
    s.modelClass = 1;
    rtl->calls.clear();
    rtl->failCall = 0;
    rtl->failResult = -1;
    EXPECT_EQ(rtl->ResetPrinter(nullptr, nullptr, nullptr), 0);
}

TEST_F(RtlPageEndTest, NoSettingsRecordMeansNoPageEnd) {
    ScopedLogCapture log;
    EXPECT_EQ(rtl->ResetPrinter(nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(rtl->calls.empty());
    EXPECT_EQ(log.entries().size(), 1u);
}

}  // namespace
}  // namespace tarnwick::rtl_test
