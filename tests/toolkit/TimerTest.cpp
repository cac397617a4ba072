#include <gtest/gtest.h>

#include <string>

#include "toolkit/Timer.h"

namespace {

uint32_t FakeNow = 0;
uint32_t FakeClock() { return FakeNow; }

// Every test steps a fake clock by hand; the real clock comes back afterwards.
class TimerTest : public testing::Test {
protected:
    void SetUp() override {
        FakeNow = 1000;
        Timer::SetClock(FakeClock);
    }
    void TearDown() override { Timer::SetClock(nullptr); }
};

}  // namespace

TEST_F(TimerTest, AccumulatesCompletedIntervalsOnly) {
    Timer timer;
    timer.Stop();  // not running: nothing to add
    EXPECT_EQ(timer.GetUsedTime(), 0.0);

    timer.Start();
    FakeNow += 5;
    EXPECT_EQ(timer.ReadRunningTime(), 5.0);
    timer.Stop();
    FakeNow += 100;
    timer.Stop();  // the second stop adds nothing
    EXPECT_EQ(timer.GetUsedTime(), 5.0);
    EXPECT_FALSE(timer.IsRunning());

    timer.Start();
    FakeNow += 3;
    EXPECT_EQ(timer.ReadRunningTime(), 8.0);  // includes the earlier interval
    timer.Stop();
    EXPECT_EQ(timer.GetUsedTime(), 8.0);

    timer.Reset();
    EXPECT_EQ(timer.GetUsedTime(), 0.0);
}

TEST_F(TimerTest, IntermediateStopsMeasureFromTheLastOne) {
    Timer timer;
    timer.IntermediateStop();  // stopped: unchanged
    EXPECT_EQ(timer.GetIntermediateTime(), 0.0);

    timer.Start();
    FakeNow += 6;
    EXPECT_EQ(timer.ReadIntermediateTime(), 6.0);
    timer.IntermediateStop();
    EXPECT_EQ(timer.GetIntermediateTime(), 6.0);
    FakeNow += 4;
    EXPECT_EQ(timer.ReadIntermediateTime(), 4.0);
    EXPECT_TRUE(timer.IsRunning());

    timer.Stop();
    timer.IntermediateStop();
    EXPECT_EQ(timer.GetIntermediateTime(), 6.0);
    timer.Start();  // a new start forgets the last intermediate stop
    EXPECT_EQ(timer.GetIntermediateTime(), 0.0);
}

TEST_F(TimerTest, UsedTimeTextHasDefaultAndCallerFormats) {
    Timer timer;
    timer.Start();
    FakeNow += 3;
    timer.Stop();
    EXPECT_EQ(std::string(timer.GetUsedTimeStr(nullptr)), "3.00 sec ");
    EXPECT_EQ(std::string(timer.GetUsedTimeStr("%.0fs")), "3s");
    // A long result is cut to the 32-character buffer instead of running past it.
    EXPECT_EQ(std::string(timer.GetUsedTimeStr("%040.1f")).size(), 31u);
}
