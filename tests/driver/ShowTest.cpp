// The scene script driven by fakes: a display that counts frames and can deliver keys or
// throw, a clock with scripted missed ticks, movies with chosen frame counts, and music
// that records its volume. Every call lands in one shared log so orders can be checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "driver/Show.h"

namespace {

using Log = std::vector<std::string>;

struct Frame {
    int32_t scene;
    int32_t frameIndex;
};

class FakeDisplay : public Display {
public:
    explicit FakeDisplay(Log& sink) : log(sink), pixels(Show::kWidth * Show::kHeight, 0) {}
    void open() override { log.push_back("display open"); }
    int32_t readKey() override { return keyFor ? keyFor(*show) : 0; }
    bool keyWaiting(int32_t code) override { return waiting ? waiting(*show, code) : false; }
    uint32_t* lock() override { return pixels.data(); }
    void unlock() override {}
    void present() override {
        if (throwAtFrame == static_cast<int>(frames.size())) {
            throw ptc::DynamicError("lost the window");
        }
        frames.push_back({show->scene, show->frameIndex});
        log.push_back("present");
    }
    void close() override { log.push_back("display close"); }
    void destroy() override { log.push_back("display destroy"); }
    void reportError(const ptc::DynamicError& e) override {
        log.push_back(std::string("report ") + e.message());
    }

    Log& log;
    const Show* show = nullptr;
    std::vector<uint32_t> pixels;
    std::vector<Frame> frames;
    std::function<int32_t(const Show&)> keyFor;
    std::function<bool(const Show&, int32_t)> waiting;
    int throwAtFrame = -1;
};

class FakeMusic : public Music {
public:
    explicit FakeMusic(Log& sink) : log(sink) {}
    void startMusic() override { log.push_back("music start"); }
    void stopMusic() override { log.push_back("music stop"); }
    int32_t masterVolume() override { return startVolume; }
    void setMasterVolume(int32_t v) override {
        volumes.push_back(v);
        volumeScenes.push_back(show->scene);
    }
    Log& log;
    const Show* show = nullptr;
    int32_t startVolume = 256;
    std::vector<int32_t> volumes;
    std::vector<int32_t> volumeScenes;
};

class FakeClock : public TickClock {
public:
    explicit FakeClock(Log& sink) : log(sink) {}
    void setTickLength(uint32_t ms) override {
        length = ms;
        log.push_back("tick " + std::to_string(ms));
    }
    void resetClock() override { log.push_back("reset"); }
    int32_t waitNextTick() override {
        lengthsByScene[show->scene].push_back(length);
        return missedFor ? missedFor(*show) : 0;
    }
    Log& log;
    const Show* show = nullptr;
    uint32_t length = 0;
    std::map<int32_t, std::vector<uint32_t>> lengthsByScene;
    std::function<int32_t(const Show&)> missedFor;
};

// When set, every fake render asks the show's stop check once and notes the answer.
std::vector<bool>* stopAnswers = nullptr;

struct Render {
    std::string movie;
    uint32_t skip;
    int32_t frameIndex;
};

class FakeMovie : public Movie {
public:
    FakeMovie(Log& sink, std::map<std::string, int32_t>& frameCounts,
              std::vector<Render>& renderLog)
        : log(sink), counts(frameCounts), renders(renderLog) {}
    ~FakeMovie() override { log.push_back("movie destroy"); }
    int32_t open(const char* n) override {
        name = n;
        log.push_back("movie open " + name);
        return counts[name];
    }
    void render(uint32_t* pixels, uint32_t skip, int32_t frameIndex, int32_t width,
                int32_t height) override {
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 200);
        pixels[0] = 0xFF00FF00u;
        renders.push_back({name, skip, frameIndex});
        if (stopAnswers != nullptr) {
            stopAnswers->push_back(stop && stop());
        }
    }
    void setStopCheck(std::function<bool()> check) override { stop = std::move(check); }
    std::function<bool()> stop;
    void close() override { log.push_back("movie close " + name); }
    Log& log;
    std::map<std::string, int32_t>& counts;
    std::vector<Render>& renders;
    std::string name;
};

class FakeMovies : public MovieSource {
public:
    explicit FakeMovies(Log& sink) : log(sink) {}
    std::unique_ptr<Movie> createMovie() override {
        log.push_back("movie create");
        return std::make_unique<FakeMovie>(log, counts, renders);
    }
    Log& log;
    std::map<std::string, int32_t> counts{
        {"presents.mvz", 10}, {"tavo01.mvz", 5}, {"main02.mvz", 3}};
    std::vector<Render> renders;
};

struct ShowRun : ::testing::Test {
    Log log;
    FakeDisplay display{log};
    FakeMusic music{log};
    FakeClock clock{log};
    FakeMovies movies{log};
    Show show{display, music, clock, movies};

    void SetUp() override {
        display.show = &show;
        music.show = &show;
        clock.show = &show;
    }
    std::map<int32_t, int> framesPerScene() const {
        std::map<int32_t, int> n;
        for (const Frame& f : display.frames) {
            ++n[f.scene];
        }
        return n;
    }
    // The log without the per-frame "present" lines.
    Log events() const {
        Log out;
        std::copy_if(log.begin(), log.end(), std::back_inserter(out),
                     [](const std::string& s) { return s != "present"; });
        return out;
    }
};

} // namespace

TEST_F(ShowRun, EightScenesRunInOrderWithTheirTicksAndEnds) {
    EXPECT_EQ(show.run(), 0);
    // No missed ticks: a scene with end E shows E + 1 frames.
    const std::map<int32_t, int> expected{{1, 11},  {2, 301}, {3, 6},   {4, 4},
                                          {5, 301}, {6, 601}, {7, 601}, {8, 481}};
    EXPECT_EQ(framesPerScene(), expected);
    for (size_t i = 1; i < display.frames.size(); ++i) {
        const Frame& a = display.frames[i - 1];
        const Frame& b = display.frames[i];
        ASSERT_TRUE((b.scene == a.scene && b.frameIndex == a.frameIndex + 1) ||
                    (b.scene == a.scene + 1 && b.frameIndex == 0))
            << "frame " << i;
    }
    const std::map<int32_t, uint32_t> ticks{{1, 66}, {2, 16}, {3, 40}, {4, 100},
                                            {5, 16}, {6, 16}, {7, 16}, {8, 16}};
    for (const auto& [scene, lengths] : clock.lengthsByScene) {
        for (uint32_t l : lengths) {
            ASSERT_EQ(l, ticks.at(scene)) << "scene " << scene;
        }
    }
    const Log expectedEvents{"movie create", "movie open presents.mvz", "display open",
                             "music start", "tick 66", "reset",
                             // end of 1
                             "movie close presents.mvz", "movie destroy", "tick 16",
                             // end of 2
                             "movie create", "movie open tavo01.mvz", "tick 40",
                             // end of 3
                             "movie close tavo01.mvz", "movie destroy", "movie create",
                             "movie open main02.mvz", "tick 100",
                             // end of 4
                             "movie close main02.mvz", "movie destroy", "tick 16",
                             // ends of 5, 6, 7 (8 changes nothing)
                             "tick 16", "tick 16", "tick 16",
                             // exit
                             "music stop", "display close", "display destroy"};
    EXPECT_EQ(events(), expectedEvents);
}

TEST_F(ShowRun, MissedTicksAdvanceTheSceneAndCarryIntoTheNextMoviesFirstRender) {
    // The last frame of scene 2 (frameIndex 300) misses 2 ticks; scene 3 misses one once.
    clock.missedFor = [](const Show& s) {
        if (s.scene == 2 && s.frameIndex == 300)
            return 2;
        if (s.scene == 3 && s.frameIndex == 1)
            return 1;
        return 0;
    };
    show.run();
    std::vector<Render> tavo;
    for (const Render& r : movies.renders) {
        if (r.movie == "tavo01.mvz")
            tavo.push_back(r);
    }
    // frameIndex 0, 1, then 1 + 1 + 1 = 3, 4, 5 (end 5).
    ASSERT_EQ(tavo.size(), 5u);
    EXPECT_EQ(tavo[0].skip, 2u);
    EXPECT_EQ(tavo[0].frameIndex, 0);
    EXPECT_EQ(tavo[1].skip, 0u);
    EXPECT_EQ(tavo[2].skip, 1u);
    EXPECT_EQ(tavo[2].frameIndex, 3);
    EXPECT_EQ(tavo[4].frameIndex, 5);
}

TEST_F(ShowRun, MissedTicksCanEndAPictureSceneEarly) {
    clock.missedFor = [](const Show& s) { return s.scene == 5 ? 99 : 0; };
    show.run();
    // frameIndex 0, 100, 200, 300, then 400 > 300 ends it.
    EXPECT_EQ(framesPerScene()[5], 4);
}

TEST_F(ShowRun, ExtremeFrameCountsEndTheirScenesWithoutOverflow) {
    // A negative count ends the scene after its first frame; the largest count is passed
    // once a frame misses the most ticks a wait can report.
    movies.counts = {{"presents.mvz", -5}, {"tavo01.mvz", INT32_MAX}, {"main02.mvz", INT32_MIN}};
    clock.missedFor = [](const Show& s) {
        return s.scene == 3 && s.frameIndex == 2 ? INT32_MAX : 0;
    };
    show.run();
    const std::map<int32_t, int> n = framesPerScene();
    EXPECT_EQ(n.at(1), 1);
    EXPECT_EQ(n.at(3), 3);
    EXPECT_EQ(n.at(4), 1);
    EXPECT_EQ(n.at(8), 481);
}

TEST_F(ShowRun, FadeLowersTheVolumeOneStepPerFrameAndStopsAtZero) {
    show.run();
    ASSERT_EQ(music.volumes.size(), 256u);
    for (size_t i = 0; i < music.volumes.size(); ++i) {
        ASSERT_EQ(music.volumes[i], 255 - static_cast<int32_t>(i));
        ASSERT_EQ(music.volumeScenes[i], 8);
    }
    EXPECT_EQ(show.volume, 0);
}

TEST_F(ShowRun, FadeStepsAreFramesSoMissedTicksLoseSteps) {
    clock.missedFor = [](const Show& s) { return s.scene == 8 ? 9 : 0; };
    show.run();
    // Scene 8 shows frameIndex 0, 10, ..., 480: 49 frames, 49 steps.
    EXPECT_EQ(framesPerScene()[8], 49);
    EXPECT_EQ(show.volume, 256 - 49);
}

TEST_F(ShowRun, ZeroStartVolumeIsNeverSet) {
    music.startVolume = 0;
    show.run();
    EXPECT_TRUE(music.volumes.empty());
}

TEST_F(ShowRun, MissingMoviesLastOneFrameAndTheShowGoesOn) {
    movies.counts = {};
    show.run();
    const std::map<int32_t, int> n = framesPerScene();
    EXPECT_EQ(n.at(1), 1);
    EXPECT_EQ(n.at(3), 1);
    EXPECT_EQ(n.at(4), 1);
    EXPECT_EQ(n.at(8), 481);
}

TEST_F(ShowRun, PictureScenesCopyTheirPictureAndSceneEightKeepsIt) {
    // No picture files here: pictures are black, so scene 2 wipes the movie's green mark.
    display.keyFor = [this](const Show& s) {
        if (s.scene == 2 && s.frameIndex == 0) {
            // Scene 1's last frame: the movie's green with grey noise in the low nibbles.
            EXPECT_EQ(display.pixels[0] & 0x00F0F0F0u, 0x0000F000u);
        }
        return 0;
    };
    show.run();
    EXPECT_EQ(display.pixels[0], 0u);
}

struct QuitCase {
    int32_t scene;
    int32_t key;
};

class QuitKey : public ShowRun, public ::testing::WithParamInterface<QuitCase> {};

TEST_P(QuitKey, EndsTheShowAfterPresentingThroughTheNormalExit) {
    const QuitCase c = GetParam();
    int waitsAfterKey = 0;
    bool keySent = false;
    display.keyFor = [&](const Show& s) {
        if (s.scene == c.scene && s.frameIndex == 1) {
            keySent = true;
            return c.key;
        }
        return 0;
    };
    clock.missedFor = [&](const Show&) {
        waitsAfterKey += keySent ? 1 : 0;
        return 0;
    };
    EXPECT_EQ(show.run(), 0);
    EXPECT_TRUE(keySent);
    EXPECT_EQ(waitsAfterKey, 0);
    EXPECT_EQ(display.frames.back().scene, c.scene);
    EXPECT_EQ(display.frames.back().frameIndex, 1);
    const std::string movie = c.scene == 1   ? "presents.mvz"
                              : c.scene == 3 ? "tavo01.mvz"
                                             : "main02.mvz";
    const Log events = this->events();
    const Log tail(events.end() - 5, events.end());
    EXPECT_EQ(tail, (Log{"music stop", "display close", "movie close " + movie, "movie destroy",
                         "display destroy"}));
}

INSTANTIATE_TEST_SUITE_P(MovieScenes, QuitKey,
                         ::testing::Values(QuitCase{1, 27}, QuitCase{1, 81}, QuitCase{3, 27},
                                           QuitCase{3, 81}, QuitCase{4, 27}, QuitCase{4, 81}));

// Escape or Q arriving while a frame is drawn: the movie's stop check says so, and the
// frame is not presented; the show ends through its normal exit.
TEST_P(QuitKey, WaitingWhileAFrameIsDrawnStopsItUnshown) {
    const QuitCase c = GetParam();
    std::vector<bool> answers;
    stopAnswers = &answers;
    display.waiting = [&](const Show& s, int32_t code) {
        return code == c.key && s.scene == c.scene && s.frameIndex >= 2;
    };
    EXPECT_EQ(show.run(), 0);
    stopAnswers = nullptr;
    ASSERT_FALSE(answers.empty());
    EXPECT_TRUE(answers.back()) << "the movie was not told to stop";
    EXPECT_EQ(std::count(answers.begin(), answers.end(), true), 1);
    EXPECT_EQ(display.frames.back().scene, c.scene);
    EXPECT_EQ(display.frames.back().frameIndex, 1) << "the cut frame was presented";
    const Log events = this->events();
    EXPECT_EQ(Log(events.end() - 2, events.end()), (Log{"movie destroy", "display destroy"}));
}

TEST_F(ShowRun, OtherKeysAreReadAndIgnored) {
    display.keyFor = [](const Show& s) {
        if (s.scene != 2)
            return 0;
        static const int32_t keys[] = {32, 65, 113, 13, 26, 28, 80, 82};
        return keys[s.frameIndex % 8];
    };
    show.run();
    EXPECT_EQ(framesPerScene()[2], 301);
    EXPECT_EQ(display.frames.back().scene, 8);
}

TEST_F(ShowRun, DisplayErrorMidShowIsReportedAndZeroReturned) {
    display.throwAtFrame = 20; // during scene 2
    EXPECT_EQ(show.run(), 0);
    EXPECT_EQ(display.frames.size(), 20u);
    const Log events = this->events();
    const Log tail(events.end() - 2, events.end());
    EXPECT_EQ(tail, (Log{"display destroy", "report lost the window"}));
    EXPECT_EQ(std::count(events.begin(), events.end(), "music stop"), 0);
}

TEST_F(ShowRun, DisplayErrorAtOpenIsReported) {
    struct FailingOpen : FakeDisplay {
        using FakeDisplay::FakeDisplay;
        void open() override { throw ptc::DynamicError("no video"); }
    } failing{log};
    Show s{failing, music, clock, movies};
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(events(), (Log{"movie create", "movie open presents.mvz", "display destroy",
                             "report no video"}));
}
