// The seams tests drive the product through: the clock and the message boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_box.h"
#include "support/fake_clock.h"
#include "support/message_script.h"
#include "support/scoped_env.h"

namespace tarnwick {
namespace {

TEST(ClockTest, FakeClockDrivesTheFreeFunctions) {
    FakeClock fake(1000);
    Clock* original = SetClock(&fake);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(GetTickCount(), 1000u);
    std::vector<uint32_t> seen;
    fake.onSleep = [&](uint32_t) { seen.push_back(GetTickCount()); };
    Sleep(1500);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 2500u);
    EXPECT_EQ(fake.sleeps(), (std::vector<uint32_t>{1500, 0}));
    EXPECT_EQ(seen, (std::vector<uint32_t>{2500, 2500}));  // called after time moved on
    {
        FakeClock polled;  // auto-advance lets polling loops end
        polled.SetAutoAdvance(40);
        ScopedClock use(&polled);
        const uint32_t start = GetTickCount();
        int polls = 0;
        while (GetTickCount() - start < 200) ++polls;
        EXPECT_EQ(polls, 4);
        EXPECT_TRUE(polled.sleeps().empty());
    }
    EXPECT_EQ(SetClock(nullptr), &fake);  // the scope put back what it replaced
    Clock* fallback = SetClock(original);
    EXPECT_NE(fallback, &fake);
    EXPECT_NE(fallback, nullptr);

    fake.SetTicks(0xFFFFFFF0u);  // elapsed time survives the wrap-around
    const uint32_t start = fake.Ticks();
    fake.Advance(0x20);
    EXPECT_EQ(fake.Ticks(), 0x10u);
    EXPECT_EQ(fake.Ticks() - start, 0x20u);
}

TEST(MessageBoxTest, ScriptsAnswerInOrderNestAndRecord) {
    ScopedMessageScript script{IDNO, IDYES};
    EXPECT_EQ(ShowMessage("Pause?", MB_YESNO), IDNO);
    {
        ScopedMessageScript inner{IDCANCEL};
        EXPECT_EQ(ShowMessage("inner", MB_YESNO), IDCANCEL);
    }
    EXPECT_EQ(ShowMessage("Again?", MB_YESNO | MB_ICONERROR, nullptr, "Title"), IDYES);
    EXPECT_EQ(ShowMessage(nullptr, MB_OK), IDOK);  // the list has run out
    ASSERT_EQ(script.requests().size(), 3u);
    EXPECT_EQ(script.requests()[0].text, "Pause?");
    EXPECT_EQ(script.requests()[0].flags, MB_YESNO | MB_SETFOREGROUND);
    EXPECT_EQ(script.requests()[1].flags, MB_YESNO | MB_ICONERROR | MB_SETFOREGROUND);
    EXPECT_EQ(script.requests()[1].caption, "Title");
    EXPECT_EQ(script.requests()[2].text, "");
    EXPECT_EQ(script.requests()[2].caption, "");
}

TEST(MessageBoxTest, DefaultHandlerPrintsAndAnswersFromEnvironment) {
    MessageHandler previous = SetMessageHandler(nullptr);
    int answers[3];
    std::string printed;
    {
        test::ScopedEnv unset("TARNWICK_MESSAGE_ANSWER", nullptr);
        ::testing::internal::CaptureStderr();
        answers[0] = ShowMessage("Continue?", MB_YESNO);
        printed = ::testing::internal::GetCapturedStderr();
        test::ScopedEnv no("TARNWICK_MESSAGE_ANSWER", "no");
        ::testing::internal::CaptureStderr();
        answers[1] = ShowMessage("Continue?", MB_YESNO | MB_ICONERROR);
        answers[2] = ShowMessage("Note", MB_OK);
        ::testing::internal::GetCapturedStderr();
    }
    SetMessageHandler(std::move(previous));
    EXPECT_EQ(printed, "tarnwick: Continue?\n");
    EXPECT_EQ(answers[0], IDYES);
    EXPECT_EQ(answers[1], IDNO);
    EXPECT_EQ(answers[2], IDOK);
}

}  // namespace
}  // namespace tarnwick
