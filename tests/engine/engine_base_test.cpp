// The engine's shared layer: buffered output, status texts, pixel expansion, resolution entries
// and the option text parsers (engine_base.txt).
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "rtl/rtl.h"
#include "rtl/text_table.h"
#include "support/job_fixture.h"
#include "support/log_capture.h"

namespace tarnwick {
namespace {

struct EngineUnderTest : RTL {
    EngineUnderTest() {
        ctx.m_pJob = &job;
        m_pCtx = &ctx;
        m_pOutput = &out;
    }
    uint32_t Waiting() const { return m_nWriteLen; }
    HostJobRecord job{};
    JobContext ctx{};
    test::MemoryChannel out;
};

// Sizes of the table, T standing for the write threshold.
std::vector<int32_t> Sizes(const std::string& text, std::vector<int>* flushes = nullptr) {
    std::vector<int32_t> sizes;
    std::istringstream words(text);
    for (std::string w; words >> w;) {
        const auto t = static_cast<int32_t>(ABaseRTL::kWriteThreshold);
        sizes.push_back(w[0] == 'T' ? t + (w.size() > 1 && w[1] == '+' ? std::stoi(w.substr(2)) : 0)
                                    : std::stoi(w));
        if (flushes) flushes->push_back(w.back() == '!');
    }
    return sizes;
}

TEST(EngineBase, RowsOfTheTable) {
    for (const test::TableRow& r : test::ReadTable(__FILE__, "engine_base.txt")) {
        SCOPED_TRACE(r.where);
        EngineUnderTest e;
        // WRITES one after the other, the bytes of write k all k + 1; a throw ends them.
        const auto write = [&e, &r] {
            std::vector<int> flushes;
            const std::vector<int32_t> writes = Sizes(r[1], &flushes);
            for (std::size_t k = 0; k < writes.size(); ++k) {
                const std::vector<uint8_t> data(static_cast<std::size_t>(writes[k]),
                                                uint8_t(k + 1));
                EXPECT_EQ(e.WriteNdata(data.data(), writes[k], flushes[k]), writes[k]);
            }
        };
        if (r[0] == "write") {
            write();
            EXPECT_EQ(e.out.writeSizes, Sizes(r[2]));
            EXPECT_EQ(e.Waiting(), uint32_t(Sizes(r[3]).at(0)));
        } else if (r[0] == "short") {
            e.out.failAtWrite = 0;
            e.out.acceptOnFail = r.Int(2);
            ScopedLogCapture log;
            EXPECT_THROW(write(), int);
            ASSERT_EQ(log.entries().size(), 1u);
            const LogEntry& l = log.entries()[0];
            EXPECT_EQ(std::tuple(l.line, l.level, l.source, l.text, e.out.bytes),
                      std::tuple(r.Int(3), 'E', "PrinterDriver/Common/Xsrc/ABaseRTL", r[4],
                                 test::HexBytes(r[5])));
        } else if (r[0] == "expand") {
            const std::vector<uint8_t> src = test::HexBytes(r[5]);
            const std::vector<uint8_t> expected = test::HexBytes(r[6]);
            e.ctx.m_nScaleX = static_cast<int16_t>(r.Int(1));
            // Whole source bytes are expanded: the caller's buffer has room for them.
            std::vector<uint8_t> dst(expected.size() + 2, uint8_t(std::stoi(r[4], nullptr, 16)));
            int32_t pos = 0;
            e.ExpandPixels(r.Int(2), r.Int(3), src.data(), r.Int(1), &pos, dst.data());
            dst.resize(expected.size());
            EXPECT_EQ(std::tuple(dst, pos), std::tuple(expected, r.Int(7)));
        } else if (r[0] == "pairs" || r[0] == "binary") {
            std::vector<uint8_t> out(r[0] == "pairs" ? 8 : 200, 0xEE);
            if (r[0] == "pairs") ABaseRTL::ParseDriverOptionPairs(r[1].c_str(), out.data(), 8);
            if (r[0] == "binary") e.ParseDriverOptions(r[1].c_str(), out.data(), nullptr);
            EXPECT_EQ(out, test::HexBytes(r[2]));
        } else if (r[0] == "entry") {
            ResolutionEntry entry{};
            const char* yName = r[5] == "(null)" ? nullptr : r[5].c_str();
            e.MakeResolutionEntry(&entry, r.Real(1), r.Real(2), r.Int(3), r[4].c_str(), yName);
            EXPECT_EQ(std::tuple(std::string(entry.name), entry.id, entry.xDpi, entry.yDpi),
                      std::tuple(r[6], r.Int(3), r.Real(1), r.Real(2)));
        } else if (r[0] == "progress") {
            e.ReportProgress(r.Int(1));
            EXPECT_EQ(std::tuple(e.job.m_szStatus, e.job.m_nStatusCode), std::tuple(r[2], 3));
        } else {
            ASSERT_EQ(r[0], "insert");
            char text[1024];
            std::snprintf(text, sizeof text, "%s", r[1].c_str());
            const uint8_t values[2] = {2, 1};
            ABaseRTL::InsertOptionValues(text, values);
            EXPECT_EQ(text, r[2]);
        }
    }
}

// The host may free or reuse its setup text once the call returns; a null setup keeps the last.
TEST(EngineRecords, PrintSetupIsCopied) {
    EngineUnderTest e;
    char text[] = "setup text";
    PrintSetup setup{};
    setup.text = text;
    setup.resolution = 720;
    EXPECT_EQ(e.SetPrintSettings(&setup) + e.SetPrintSettings(nullptr), 2);
    text[0] = 'S';
    EXPECT_EQ(std::tuple(std::string(e.CurrentPrintSetup().text), e.CurrentPrintSetup().resolution),
              std::tuple("setup text", 720));
    setup.text = nullptr;
    EXPECT_EQ(e.SetPrintSettings(&setup), 1);
    EXPECT_TRUE(e.CurrentPrintSetup().text == nullptr);  // a packed field: compared by value
}

}  // namespace
}  // namespace tarnwick
