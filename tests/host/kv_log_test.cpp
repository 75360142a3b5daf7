#include "host/kv_log.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/log_capture.h"

namespace tarnwick {
namespace {

TEST(KVLogTest, EntryCarriesSiteOfItsHelper) {
    ScopedLogCapture capture;
    KVLogHelper("PrinterDriver/Common/Xsrc/ABaseRTL", 114, 'E')
        .Log("ABaseRTL::%s %d\n", "Write", 7);
    KVLogHelper("Other", 9, 'W').Log("%s", "");
    ASSERT_EQ(capture.entries().size(), 2u);
    const LogEntry& first = capture.entries()[0];
    EXPECT_EQ(first.source, "PrinterDriver/Common/Xsrc/ABaseRTL");
    EXPECT_EQ(first.line, 114);
    EXPECT_EQ(first.level, 'E');
    EXPECT_EQ(first.text, "ABaseRTL::Write 7");  // the trailing line break is dropped
    EXPECT_EQ(capture.entries()[1].source, "Other");
    EXPECT_EQ(capture.entries()[1].level, 'W');
}

TEST(KVLogTest, SiteIsPerThread) {
    ScopedLogCapture capture;
    KVLogHelper mine("MainUnit", 1, 'E');
    std::thread([] { KVLogHelper("WorkerUnit", 2, 'E').Log("worker"); }).join();
    KVLogHelper::Log("main");
    ASSERT_EQ(capture.entries().size(), 2u);
    EXPECT_EQ(capture.entries()[0].source, "WorkerUnit");
    EXPECT_EQ(capture.entries()[1].source, "MainUnit");
    EXPECT_EQ(capture.entries()[1].line, 1);
}

TEST(KVLogTest, CapturesNestAndRestoreTheirPredecessor) {
    ScopedLogCapture outer;
    {
        ScopedLogCapture inner;
        KVLogHelper("U", 1, 'E').Log("to inner");
        EXPECT_EQ(inner.entries().size(), 1u);
    }
    KVLogHelper("U", 2, 'E').Log("to outer");
    ASSERT_EQ(outer.entries().size(), 1u);
    EXPECT_EQ(outer.entries()[0].text, "to outer");
}

TEST(KVLogTest, DefaultSinkWritesOneLineToStderr) {
    LogSink previous = SetLogSink(nullptr);
    ::testing::internal::CaptureStderr();
    KVLogHelper("Unit/Name", 42, 'E').Log("failed %d", 3);
    const std::string written = ::testing::internal::GetCapturedStderr();
    SetLogSink(std::move(previous));
    EXPECT_EQ(written, "E Unit/Name:42: failed 3\n");
}

}  // namespace
}  // namespace tarnwick
