#include <gtest/gtest.h>

#include <cstdlib>

#include "Instruments.h"
#include "Music.h"
#include "Timeline.h"

TEST(Instruments, LoopsAreWholeAndJoinWithoutAClick) {
    for (const XmInstrument& ins : makeInstruments()) {
        ASSERT_EQ(ins.samples.size(), 1u) << ins.name;
        const XmSample& s = ins.samples[0];
        ASSERT_FALSE(s.data.empty()) << ins.name;
        if (s.loop == XmLoop::none)
            continue;
        ASSERT_LE(s.loopStart + s.loopLength, s.data.size()) << ins.name;
        // The step from the loop's last frame back to its first is no bigger than the
        // steps inside the waveform.
        int32_t largestStep = 0;
        for (size_t i = s.loopStart + 1; i < s.loopStart + s.loopLength; ++i) {
            largestStep = std::max(largestStep, std::abs(s.data[i] - s.data[i - 1]));
        }
        const int32_t seam = std::abs(s.data[s.loopStart] - s.data[s.loopStart + s.loopLength - 1]);
        EXPECT_LE(seam, largestStep) << ins.name;
    }
}

TEST(Instruments, DrumsAreOneShotsAndNothingIsAtFullScale) {
    const auto all = makeInstruments();
    for (uint8_t drum : {instrument::kKick, instrument::kSnare, instrument::kClosedHat,
                         instrument::kOpenHat, instrument::kCrash}) {
        EXPECT_EQ(all[drum - 1].samples[0].loop, XmLoop::none) << all[drum - 1].name;
    }
    for (const XmInstrument& ins : all) {
        for (int16_t v : ins.samples[0].data) {
            ASSERT_LT(std::abs(static_cast<int32_t>(v)), 32767) << ins.name;
        }
    }
}

TEST(Music, OneSixteenRowPatternPerBarWithRepeatsShared) {
    const XmModule m = composeMusic();
    EXPECT_EQ(m.orders.size(), static_cast<size_t>(timeline::kSongBars));
    EXPECT_LT(m.patterns.size(), m.orders.size());
    for (const XmPattern& p : m.patterns)
        EXPECT_EQ(p.rows(), timeline::kRowsPerBar);
    EXPECT_EQ(m.speed, timeline::kSpeed);
    EXPECT_EQ(m.tempo, timeline::kTempo);
    // 16 rows of 6 ticks at 2.5 s / tempo per tick: the 1600 ms bar the timeline uses.
    EXPECT_EQ(timeline::kRowsPerBar * timeline::kSpeed * 2500 / timeline::kTempo, timeline::kBarMs);
}
