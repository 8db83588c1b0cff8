// The whole show on a machine too slow for its ticks: every frame costs 150 ms of music,
// more than one tick in every scene. The real music clock and the real movie players run
// on a virtual play time; each movie frame is one flat colour that encodes its number, so
// the frame on screen can be read back and set against the music's position.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "driver/MusicClock.h"
#include "driver/Show.h"
#include "movie/MovieTestFiles.h"
#include "movie/MovieWriter.h"

namespace {

constexpr uint32_t kFrameCostMs = 150;
constexpr uint32_t kNoMovieFrame = 0xFFFFFFFFu;

// Music time: moves 1 ms per read (the wait spins on it) and by the frame cost per frame.
class VirtualPlayTime : public PlayTimeSource {
public:
    uint32_t playTime() override { return ++now; }
    uint32_t now = 5000;
};

class VirtualWall : public WallClock {
public:
    uint64_t wallMilliseconds() override { return ++now; }
    uint64_t now = 0;
};

// The number of a movie frame in the top four bits of each channel, where the grey noise
// of scene 1 (low four bits only) cannot reach it.
uint32_t frameColour(uint32_t n) {
    return 0xFF000000u | ((n >> 8) & 15u) << 20 | ((n >> 4) & 15u) << 12 | (n & 15u) << 4;
}

uint32_t frameNumber(uint32_t pixel) {
    return ((pixel >> 20) & 15u) << 8 | ((pixel >> 12) & 15u) << 4 | ((pixel >> 4) & 15u);
}

struct Shown {
    int32_t scene;
    int32_t frameIndex;
    // The skip count the frame was drawn with.
    int32_t skip;
    uint32_t musicAtStart;
    uint32_t movieFrame;
};

class TimedDisplay : public Display {
public:
    explicit TimedDisplay(VirtualPlayTime& time) : music(time) {}
    void open() override {}
    int32_t readKey() override {
        frameStart = music.now;
        skip = show->skipCount;
        return 0;
    }
    uint32_t* lock() override { return pixels.data(); }
    void unlock() override {}
    void present() override {
        const bool movieScene = show->scene == 1 || show->scene == 3 || show->scene == 4;
        shown.push_back({show->scene, show->frameIndex, skip, frameStart,
                         movieScene ? frameNumber(pixels[0]) : kNoMovieFrame});
        music.now += kFrameCostMs;
    }
    void close() override { closed = true; }
    void destroy() override {}
    void reportError(const ptc::DynamicError&) override { ADD_FAILURE() << "display error"; }

    VirtualPlayTime& music;
    const Show* show = nullptr;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(Show::kWidth * Show::kHeight, 0);
    std::vector<Shown> shown;
    uint32_t frameStart = 0;
    int32_t skip = 0;
    bool closed = false;
};

class FadingMusic : public Music {
public:
    void startMusic() override { started = true; }
    void stopMusic() override { stopped = true; }
    int32_t masterVolume() override { return 256; }
    void setMasterVolume(int32_t v) override { volumes.push_back(v); }
    bool started = false;
    bool stopped = false;
    std::vector<int32_t> volumes;
};

// frameCount + 1 frames: a scene shows frame indices 0 to frameCount.
void writeCountingMovie(const std::string& name, uint32_t frameCount) {
    MovieWriter writer;
    ASSERT_TRUE(writer.open(name.c_str()));
    writer.writeHeader(frameCount);
    const std::vector<uint32_t> screen = {1, 0xC1200000u, 0xC1200000u, // move (-10, -10)
                                          2, 0x43AA0000u, 0xC1200000u, // line (340, -10)
                                          2, 0x43AA0000u, 0x43520000u, // line (340, 210)
                                          2, 0xC1200000u, 0x43520000u, // line (-10, 210)
                                          6};
    for (uint32_t n = 0; n <= frameCount; ++n) {
        writer.writeFrameStart(1);
        writer.writeShapeStart(frameColour(n + 1), 1); // 0 stays for black
        writer.writePath(screen.data(), static_cast<uint32_t>(screen.size()));
    }
    ASSERT_TRUE(writer.close());
}

class InFolder {
public:
    explicit InFolder(const std::filesystem::path& dir)
        : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(previous); }

private:
    std::filesystem::path previous;
};

const std::map<int32_t, uint32_t> kTickOfScene = {{1, 66}, {2, 16}, {3, 40}, {4, 100},
                                                  {5, 16}, {6, 16}, {7, 16}, {8, 16}};
const std::map<int32_t, int32_t> kMovieFrames = {{1, 150}, {3, 120}, {4, 60}};

TEST(SlowMachine, PictureFollowsTheMusicThroughSkipsAndEveryScenePassesToTheFade) {
    TempDirectory dir;
    writeCountingMovie(dir.file("presents.mvz.gz"), 150);
    writeCountingMovie(dir.file("tavo01.mvz.gz"), 120);
    writeCountingMovie(dir.file("main02.mvz.gz"), 60);
    InFolder inDir(dir.path);

    VirtualPlayTime time;
    VirtualWall wall;
    MusicClock clock(time, wall);
    PlayerMovieSource movies;
    FadingMusic music;
    TimedDisplay display(time);
    Show show(display, music, clock, movies);
    display.show = &show;
    EXPECT_EQ(show.run(), 0);

    // Scenes follow one another in order, each at least once, and the show ends normally.
    int32_t previous = 1;
    std::map<int32_t, std::vector<Shown>> byScene;
    for (const Shown& s : display.shown) {
        ASSERT_TRUE(s.scene == previous || s.scene == previous + 1) << s.scene;
        previous = s.scene;
        byScene[s.scene].push_back(s);
    }
    ASSERT_EQ(byScene.size(), 8u);
    EXPECT_TRUE(music.started);
    EXPECT_TRUE(music.stopped);
    EXPECT_TRUE(display.closed);

    for (const auto& [scene, frames] : byScene) {
        SCOPED_TRACE("scene " + std::to_string(scene));
        const uint32_t tick = kTickOfScene.at(scene);
        const uint32_t sceneStart = frames.front().musicAtStart;
        // The frame cost is more than a tick everywhere, so frames are skipped everywhere.
        EXPECT_LT(frames.size(), 2 + (frames.back().musicAtStart - sceneStart) / tick);
        for (const Shown& s : frames) {
            // The scene's tick count follows the music's position within one tick (the
            // first late wait may snap to the grid of the show's start).
            const int64_t ticksOfMusic = (s.musicAtStart - sceneStart) / tick;
            EXPECT_LE(std::abs(ticksOfMusic - s.frameIndex), 1)
                << "frameIndex " << s.frameIndex << " at " << s.musicAtStart;
            // A movie shows the frame whose number is the scene's tick count, plus the
            // ticks the last frame of the previous scene missed: that count is carried
            // into the first render of the new scene.
            // Frames carried past the movie's end are black.
            if (s.movieFrame != kNoMovieFrame) {
                const int32_t expected = s.frameIndex + frames.front().skip;
                EXPECT_EQ(s.movieFrame, expected <= kMovieFrames.at(scene)
                                            ? static_cast<uint32_t>(expected) + 1
                                            : 0u)
                    << "frameIndex " << s.frameIndex;
            }
        }
        // The scene lasts as long in music as its ticks, give or take one frame.
        if (scene < 8) {
            const uint32_t nextStart = byScene.at(scene + 1).front().musicAtStart;
            const int32_t end = kMovieFrames.count(scene) != 0 ? kMovieFrames.at(scene)
                                : scene == 2 || scene == 5     ? 300
                                                               : 600;
            const uint32_t expected = static_cast<uint32_t>(end + 1) * tick;
            EXPECT_GE(nextStart - sceneStart + tick, expected);
            EXPECT_LE(nextStart - sceneStart, expected + kFrameCostMs + tick);
        }
    }

    // The fade lowers the volume once per frame of scene 8 and the scene still ends: slow
    // frames lose fade steps rather than stretch the scene.
    const size_t fadeFrames = byScene.at(8).size();
    ASSERT_EQ(music.volumes.size(), fadeFrames);
    for (size_t i = 0; i < fadeFrames; ++i) {
        EXPECT_EQ(music.volumes[i], 255 - static_cast<int32_t>(i));
    }
    EXPECT_LT(fadeFrames, 481u);
}

} // namespace
