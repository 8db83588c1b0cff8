// The show's step form against its blocking loop: the same fakes drive run() with a clock
// that waits in full and a frame-callback loop with a clock that must be polled a few
// times per tick, and every presented frame, render, volume step and clock call must agree.
// Also the music clock's polled wait against its blocking one.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/MusicClock.h"
#include "driver/Pictures.h"
#include "driver/Show.h"

namespace {

using Trace = std::vector<std::string>;

struct Fakes {
    Trace trace;
    const Show* show = nullptr;

    std::string state() const {
        return std::to_string(show->scene) + "/" + std::to_string(show->frameIndex) + "/" +
               std::to_string(show->skipCount);
    }
};

class TraceDisplay : public Display {
public:
    TraceDisplay(Fakes& f, int32_t quitFrame) : fakes(f), quitAt(quitFrame), pixels(320 * 200) {}
    void open() override { fakes.trace.push_back("open"); }
    int32_t readKey() override { return frames == quitAt ? Show::kEscape : 0; }
    uint32_t* lock() override { return pixels.data(); }
    void unlock() override {}
    void present() override {
        ++frames;
        fakes.trace.push_back("present " + fakes.state() + " " + std::to_string(pixels[0]));
    }
    void close() override { fakes.trace.push_back("close"); }
    void destroy() override { fakes.trace.push_back("destroy"); }
    void reportError(const ptc::DynamicError& e) override { fakes.trace.push_back(e.message()); }

    Fakes& fakes;
    int32_t quitAt;
    int32_t frames = 0;
    std::vector<uint32_t> pixels;
};

class TraceMusic : public Music {
public:
    explicit TraceMusic(Fakes& f) : fakes(f) {}
    void startMusic() override { fakes.trace.push_back("music start"); }
    void stopMusic() override { fakes.trace.push_back("music stop"); }
    int32_t masterVolume() override { return 40; }
    void setMasterVolume(int32_t v) override {
        fakes.trace.push_back("volume " + std::to_string(v));
    }
    Fakes& fakes;
};

// Missed ticks come from a seeded generator, so two clocks with one seed agree. A polled
// clock reports its tick over only after 0..maxPolls unsuccessful polls.
class ScriptClock : public TickClock {
public:
    ScriptClock(Fakes& f, uint32_t seed, int32_t maxMissed, int32_t maxPollCount, bool isPolled)
        : fakes(f), missedRandom(seed), pollRandom(seed + 1), missedLimit(maxMissed),
          maxPolls(maxPollCount), polled(isPolled) {}
    void setTickLength(uint32_t ms) override {
        fakes.trace.push_back("tick " + std::to_string(ms));
    }
    void resetClock() override { fakes.trace.push_back("reset"); }
    int32_t waitNextTick() override {
        fakes.trace.push_back("wait " + fakes.state());
        return std::uniform_int_distribution<int32_t>(0, missedLimit)(missedRandom);
    }
    int32_t startWait() override {
        if (!polled) {
            return TickClock::startWait();
        }
        pollsLeft = std::uniform_int_distribution<int32_t>(0, maxPolls)(pollRandom);
        return waitNextTick();
    }
    bool waitOver() override {
        ++polls;
        if (pollsLeft == 0) {
            return true;
        }
        --pollsLeft;
        return false;
    }

    Fakes& fakes;
    std::mt19937 missedRandom;
    std::mt19937 pollRandom;
    int32_t missedLimit;
    int32_t maxPolls;
    bool polled;
    int32_t pollsLeft = 0;
    int64_t polls = 0;
};

class TraceMovie : public Movie {
public:
    explicit TraceMovie(Fakes& f) : fakes(f) {}
    int32_t open(const char* n) override {
        name = n;
        fakes.trace.push_back("movie open " + name);
        // A missing movie reports no frames, as the player does.
        static const std::map<std::string, int32_t> kCounts{
            {"presents.mvz", 40}, {"tavo01.mvz", 0}, {"main02.mvz", 25}};
        return kCounts.at(name);
    }
    void render(uint32_t* pixels, uint32_t skip, int32_t frameIndex, int32_t, int32_t) override {
        pixels[0] = static_cast<uint32_t>(frameIndex) * 1000u + skip;
        fakes.trace.push_back("render " + name + " " + std::to_string(frameIndex) + " " +
                              std::to_string(skip));
    }
    void close() override { fakes.trace.push_back("movie close " + name); }
    Fakes& fakes;
    std::string name;
};

class TraceMovies : public MovieSource {
public:
    explicit TraceMovies(Fakes& f) : fakes(f) {}
    std::unique_ptr<Movie> createMovie() override { return std::make_unique<TraceMovie>(fakes); }
    Fakes& fakes;
};

struct StepCase {
    const char* name;
    uint32_t seed;
    int32_t maxMissed;
    int32_t quitFrame; // -1: none
};

struct Outcome {
    Trace trace;
    int64_t steps = 0;
    int64_t polls = 0;
};

Outcome runShow(const StepCase& c, bool stepped) {
    // The first scene's noise register runs on across shows: both runs start from one value.
    static const uint32_t kNoiseStart = noiseState;
    noiseState = kNoiseStart;
    Fakes fakes;
    TraceDisplay display(fakes, c.quitFrame);
    TraceMusic music(fakes);
    ScriptClock clock(fakes, c.seed, c.maxMissed, 4, stepped);
    TraceMovies movies(fakes);
    Show show(display, music, clock, movies);
    fakes.show = &show;
    Outcome outcome;
    if (stepped) {
        show.start();
        while (show.step()) {
            ++outcome.steps;
        }
        EXPECT_TRUE(show.ended());
        EXPECT_FALSE(show.step()) << "a step after the end must do nothing";
    } else {
        EXPECT_EQ(show.run(), 0);
    }
    outcome.polls = clock.polls;
    outcome.trace = std::move(fakes.trace);
    return outcome;
}

class StepForm : public ::testing::TestWithParam<StepCase> {};

} // namespace

TEST_P(StepForm, PresentsTheFramesOfTheBlockingLoop) {
    const Outcome blocking = runShow(GetParam(), false);
    const Outcome stepped = runShow(GetParam(), true);
    ASSERT_EQ(stepped.trace.size(), blocking.trace.size());
    for (size_t i = 0; i < blocking.trace.size(); ++i) {
        ASSERT_EQ(stepped.trace[i], blocking.trace[i]) << "at event " << i;
    }
    // The frame loop really was kept waiting: steps that found the tick not over.
    int64_t presents = 0;
    for (const std::string& e : stepped.trace) {
        presents += e.rfind("present", 0) == 0 ? 1 : 0;
    }
    EXPECT_GT(stepped.polls, presents);
    EXPECT_GT(stepped.steps, presents);
    EXPECT_EQ(blocking.trace.back(), "destroy");
}

INSTANTIATE_TEST_SUITE_P(Scripts, StepForm,
                         ::testing::Values(StepCase{"OnTime", 1u, 0, -1},
                                           StepCase{"SkipsOfUpToThree", 7u, 3, -1},
                                           StepCase{"LargeSkipsEndScenesEarly", 11u, 120, -1},
                                           StepCase{"QuitInTheFirstMovie", 3u, 1, 12},
                                           StepCase{"QuitOnThePictures", 5u, 2, 60}),
                         [](const ::testing::TestParamInfo<StepCase>& row) {
                             return std::string(row.param.name);
                         });

TEST(StepForm, StepsBeforeStartDoNothing) {
    Fakes fakes;
    TraceDisplay display(fakes, -1);
    TraceMusic music(fakes);
    ScriptClock clock(fakes, 1u, 0, 0, true);
    TraceMovies movies(fakes);
    Show show(display, music, clock, movies);
    fakes.show = &show;
    EXPECT_TRUE(show.ended());
    EXPECT_FALSE(show.step());
    EXPECT_TRUE(fakes.trace.empty());
}

namespace {

// Play time that moves only when the test says so: between polls, as a frame callback sees it.
class HeldPlayTime : public PlayTimeSource {
public:
    uint32_t playTime() override { return t; }
    uint32_t t = 0;
};

class HeldWall : public WallClock {
public:
    uint64_t wallMilliseconds() override { return now; }
    uint64_t now = 0;
};

} // namespace

TEST(PolledMusicClock, TickIsOverAtTheFirstPollThatSeesTheBoundary) {
    HeldPlayTime play;
    HeldWall wall;
    MusicClock clock(play, wall);
    clock.setTickLength(40);
    play.t = 1000;
    clock.resetClock();
    play.t = 1090; // 90 ms into the tick: two whole ticks missed, the wait ends at 1120
    EXPECT_EQ(clock.startWait(), 2);
    EXPECT_EQ(clock.tickStart, 1120u);
    for (uint32_t t : {1090u, 1100u, 1119u}) {
        play.t = t;
        EXPECT_FALSE(clock.waitOver()) << t;
    }
    play.t = 1121;
    EXPECT_TRUE(clock.waitOver());
    EXPECT_TRUE(clock.waitOver()) << "an ended wait stays ended";
    // The next tick is measured from the boundary, not from the late poll.
    play.t = 1150;
    EXPECT_EQ(clock.startWait(), 0);
    EXPECT_FALSE(clock.waitOver());
    play.t = 1160;
    EXPECT_TRUE(clock.waitOver());
}

TEST(PolledMusicClock, StalledPlayTimeEndsTheWaitAfterHalfASecondOfPolls) {
    HeldPlayTime play;
    HeldWall wall;
    MusicClock clock(play, wall);
    clock.setTickLength(16);
    play.t = 500;
    clock.resetClock();
    EXPECT_EQ(clock.startWait(), 0);
    wall.now = MusicClock::kStallLimitMs - 1;
    EXPECT_FALSE(clock.waitOver());
    wall.now = MusicClock::kStallLimitMs;
    EXPECT_TRUE(clock.waitOver());
}

TEST(PolledMusicClock, AlreadyPastTheBoundaryNeedsNoPollThatWaits) {
    HeldPlayTime play;
    HeldWall wall;
    MusicClock clock(play, wall);
    clock.setTickLength(100);
    clock.resetClock();
    play.t = 100; // exactly on the boundary: on time, and the wait is already over
    EXPECT_EQ(clock.startWait(), 0);
    EXPECT_TRUE(clock.waitOver());
}
