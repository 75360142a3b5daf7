#include "platform/clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_clock.h"

namespace tarnwick {
namespace {

TEST(ClockTest, FakeClockDrivesTheFreeFunctions) {
    FakeClock fake(1000);
    ScopedClock use(&fake);
    EXPECT_EQ(GetTickCount(), 1000u);
    std::vector<uint32_t> seen;
    fake.onSleep = [&](uint32_t ms) {
        seen.push_back(GetTickCount());
        (void)ms;
    };
    Sleep(1500);
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 2500u);
    EXPECT_EQ(fake.sleeps(), (std::vector<uint32_t>{1500, 0}));
    EXPECT_EQ(seen, (std::vector<uint32_t>{2500, 2500}));  // called after time moved on
}

TEST(ClockTest, AutoAdvanceLetsPollingLoopsEnd) {
    FakeClock fake;
    fake.SetAutoAdvance(40);
    ScopedClock use(&fake);
    const uint32_t start = GetTickCount();
    int polls = 0;
    while (GetTickCount() - start < 200) ++polls;
    EXPECT_EQ(polls, 4);
    EXPECT_TRUE(fake.sleeps().empty());
}

TEST(ClockTest, ElapsedTimeSurvivesWrapAround) {
    FakeClock fake;
    fake.SetTicks(0xFFFFFFF0u);
    const uint32_t start = fake.Ticks();
    fake.Advance(0x20);
    EXPECT_EQ(fake.Ticks(), 0x10u);
    EXPECT_EQ(fake.Ticks() - start, 0x20u);
}

TEST(ClockTest, SetClockReturnsWhatItReplaced) {
    FakeClock a;
    FakeClock b;
    Clock* original = SetClock(&a);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(SetClock(&b), &a);
    EXPECT_EQ(SetClock(nullptr), &b);
    Clock* fallback = SetClock(original);
    EXPECT_NE(fallback, &a);
    EXPECT_NE(fallback, &b);
    EXPECT_NE(fallback, nullptr);
}

}  // namespace
}  // namespace tarnwick
