// The music clock against a play time that moves one millisecond per read (or as a
// test scripts it), so every boundary the clock waits for is visible in the last read.
#include <gtest/gtest.h>

#include <functional>

#include "driver/MusicClock.h"

namespace {

// Returns t, then advances t by step; a script may replace the step per read.
class SteppingPlayTime : public PlayTimeSource {
public:
    explicit SteppingPlayTime(uint32_t start) : t(start) {}
    uint32_t playTime() override {
        last = t;
        ++reads;
        t += step;
        return last;
    }
    uint32_t t;
    uint32_t step = 1;
    uint32_t last = 0;
    int reads = 0;
};

class CountingWall : public WallClock {
public:
    uint64_t wallMilliseconds() override { return now += perRead; }
    uint64_t now = 0;
    uint64_t perRead = 0;
};

struct ClockAt1000 : ::testing::Test {
    SteppingPlayTime play{1000};
    CountingWall wall;
    MusicClock clock{play, wall};
    void SetUp() override {
        clock.setTickLength(16);
        clock.resetClock();
        ASSERT_EQ(clock.origin, 1000u);
        ASSERT_EQ(clock.tickStart, 1000u);
    }
};

} // namespace

TEST_F(ClockAt1000, OnTimeWaitSpinsToTheBoundaryAndMissesNothing) {
    play.t = 1010;
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(clock.tickStart, 1016u);
    EXPECT_EQ(play.last, 1016u); // stopped at the first read that reached the boundary
}

TEST_F(ClockAt1000, FrameEndingExactlyOnTheBoundaryIsOnTime) {
    play.t = 1016;
    play.step = 0; // the clock must still read again, and that read ends the spin
    wall.perRead = 1;
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(clock.tickStart, 1016u);
    EXPECT_EQ(play.reads, 3); // reset, the on-time test, one spin read
}

TEST_F(ClockAt1000, LateByOneAndAHalfTicksMissesOneAndRealignsToTheGrid) {
    play.t = 1030;
    EXPECT_EQ(clock.waitNextTick(), 1);
    // (1030 - 1000) / 16 = 1 missed; the grid tick holding 1030 is [1016, 1032).
    EXPECT_EQ(play.last, 1032u);
    EXPECT_EQ(clock.tickStart, 1032u);
}

TEST_F(ClockAt1000, WorkedExampleOnTimeThenLateByTwo) {
    play.t = 1010;
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(clock.tickStart, 1016u);
    play.t = 1060;
    EXPECT_EQ(clock.waitNextTick(), 2);
    EXPECT_EQ(play.last, 1064u);
    EXPECT_EQ(clock.tickStart, 1064u);
}

TEST_F(ClockAt1000, NewTickLengthAppliesFromTheCurrentTickAndLateWaitsUseTheOriginGrid) {
    play.t = 1010;
    EXPECT_EQ(clock.waitNextTick(), 0); // tickStart 1016
    clock.setTickLength(40);
    play.t = 1020;
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(clock.tickStart, 1056u); // old start plus the new length
    play.t = 1150;
    // (1150 - 1056) / 40 = 2 missed; the grid 1000 + 40k puts 1150 in [1120, 1160),
    // not on the old boundaries 1096, 1136, 1176.
    EXPECT_EQ(clock.waitNextTick(), 2);
    EXPECT_EQ(play.last, 1160u);
    EXPECT_EQ(clock.tickStart, 1160u);
}

TEST_F(ClockAt1000, StalledPlayTimeEndsTheWaitAfterHalfASecond) {
    play.t = 1010;
    play.step = 0;
    wall.perRead = 1;
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(clock.tickStart, 1016u); // as if the tick had ended
    EXPECT_GE(wall.now, MusicClock::kStallLimitMs);
    EXPECT_LE(wall.now, MusicClock::kStallLimitMs + 4);

    // Late and stalled: the missed ticks are still counted.
    play.t = 1060;
    const uint64_t before = wall.now;
    EXPECT_EQ(clock.waitNextTick(), 2);
    EXPECT_EQ(clock.tickStart, 1064u);
    EXPECT_GE(wall.now - before, MusicClock::kStallLimitMs);
}

TEST_F(ClockAt1000, SlowButMovingPlayTimeIsNotTakenForAStall) {
    // Each read costs 100 ms of wall time but the play time moves by 1 ms: 16 reads take
    // far longer than the stall limit, yet the wait runs to the real boundary.
    play.t = 1001;
    wall.perRead = 100;
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(play.last, 1016u);
}

TEST_F(ClockAt1000, MoreMissedTicksThanTheResultHoldsGiveTheLargestCount) {
    // Three thousand million 1 ms ticks missed (a play time that leapt): the count is
    // capped, never wrapped to a negative number.
    clock.setTickLength(1);
    play.t = 1000u + 3000000000u;
    EXPECT_EQ(clock.waitNextTick(), INT32_MAX);
    EXPECT_EQ(clock.tickStart, 1000u + 3000000001u);
}

TEST(MusicClockLength, ZeroTickLengthIsTakenAsOneMillisecond) {
    SteppingPlayTime play{0};
    CountingWall wall;
    MusicClock clock{play, wall};
    clock.setTickLength(0);
    clock.resetClock();
    play.t = 10;
    EXPECT_EQ(clock.waitNextTick(), 10); // 10 / 1
    EXPECT_EQ(clock.tickStart, 11u);
}
