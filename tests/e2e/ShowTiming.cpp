// The real show's pacing under load: the music library on SDL's dummy audio driver, the
// music clock on its play time, the movie players on counting movies, and a display that
// records instead of showing. One busy process per processor competes for the CPU. The
// show is quit when scene 5 begins; each movie scene must have shown the frame the music
// called for and ended as many ticks of music after it began as its frame count says.
// Prints a summary; exit status 0 when every check holds.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "TestTune.h"
#include "driver/MusicClock.h"
#include "driver/Show.h"
#include "driver/WallClock.h"
#include "movie/MovieWriter.h"
#include "platform/LibraryMusic.h"
#include "platform/ModuleLibrary.h"

namespace {

constexpr uint32_t kNoMovieFrame = 0xFFFFFFFFu;
const std::map<int32_t, uint32_t> kTickOfScene = {{1, 66}, {2, 16}, {3, 40}, {4, 100}};
const std::map<int32_t, int32_t> kMovieFrames = {{1, 30}, {3, 30}, {4, 15}};
constexpr int32_t kPeluEnd = 300;

uint32_t frameColour(uint32_t n) {
    return 0xFF000000u | ((n >> 8) & 15u) << 20 | ((n >> 4) & 15u) << 12 | (n & 15u) << 4;
}

uint32_t frameNumber(uint32_t pixel) {
    return ((pixel >> 20) & 15u) << 8 | ((pixel >> 12) & 15u) << 4 | ((pixel >> 4) & 15u);
}

// Frame n is the whole screen in the colour of n + 1 (0 is left for black).
bool writeCountingMovie(const std::string& name, uint32_t frameCount) {
    MovieWriter writer;
    if (!writer.open(name.c_str())) {
        return false;
    }
    writer.writeHeader(frameCount);
    const std::vector<uint32_t> screen = {1, 0xC1200000u, 0xC1200000u, 2, 0x43AA0000u, 0xC1200000u,
                                          2, 0x43AA0000u, 0x43520000u, 2, 0xC1200000u, 0x43520000u,
                                          6};
    for (uint32_t n = 0; n <= frameCount; ++n) {
        writer.writeFrameStart(1);
        writer.writeShapeStart(frameColour(n + 1), 1);
        writer.writePath(screen.data(), static_cast<uint32_t>(screen.size()));
    }
    return writer.close();
}

struct Shown {
    int32_t scene;
    int32_t frameIndex;
    int32_t skip;
    // The tick boundary the frame was due at, by the music clock, and the play time when
    // drawing began (later when the process was kept off the processor).
    uint32_t dueAt;
    uint32_t musicAtStart;
    uint32_t musicAtPresent;
    uint32_t movieFrame;
};

class RecordingDisplay : public Display {
public:
    RecordingDisplay(PlayTimeSource& time, const MusicClock& musicClock)
        : music(time), clock(musicClock) {}
    void open() override {}
    int32_t readKey() override {
        if (show->scene >= 5) {
            quitDue = clock.tickStart;
            return Show::kQuitKey;
        }
        dueAt = clock.tickStart;
        frameStart = music.playTime();
        skip = show->skipCount;
        return 0;
    }
    uint32_t* lock() override { return pixels.data(); }
    void unlock() override {}
    void present() override {
        if (show->scene >= 5) {
            return;
        }
        const bool movieScene = show->scene != 2;
        shown.push_back({show->scene, show->frameIndex, skip, dueAt, frameStart, music.playTime(),
                         movieScene ? frameNumber(pixels[0]) : kNoMovieFrame});
    }
    void close() override {}
    void destroy() override {}
    void reportError(const ptc::DynamicError& error) override {
        std::printf("display error: %s\n", error.message());
    }

    PlayTimeSource& music;
    const MusicClock& clock;
    const Show* show = nullptr;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(Show::kWidth * Show::kHeight, 0);
    std::vector<Shown> shown;
    uint32_t dueAt = 0;
    uint32_t frameStart = 0;
    int32_t skip = 0;
    // When scene 5 (where the show is quit) was due.
    uint32_t quitDue = 0;
};

std::vector<pid_t> startLoad(unsigned count) {
    std::vector<pid_t> children;
    for (unsigned i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            volatile uint64_t spin = 0;
            for (;;) {
                spin = spin + 1;
            }
        }
        if (pid > 0) {
            children.push_back(pid);
        }
    }
    return children;
}

void stopLoad(const std::vector<pid_t>& children) {
    for (pid_t pid : children) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

int failures = 0;

void check(bool condition, const std::string& what) {
    if (!condition) {
        ++failures;
        if (failures <= 20) {
            std::printf("FAIL %s\n", what.c_str());
        }
    }
}

} // namespace

int main() {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("tilsen-timing-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    const std::vector<uint8_t> tune = writeXm(makeTestTune());
    std::ofstream("music.xm", std::ios::binary)
        .write(reinterpret_cast<const char*>(tune.data()),
               static_cast<std::streamsize>(tune.size()));
    if (!writeCountingMovie("presents.mvz.gz", 30) || !writeCountingMovie("tavo01.mvz.gz", 30) ||
        !writeCountingMovie("main02.mvz.gz", 15)) {
        std::printf("could not write the movies\n");
        return 1;
    }

    const unsigned loaders = std::max(1u, std::thread::hardware_concurrency());
    const std::vector<pid_t> load = startLoad(loaders);

    ModuleLibrary library;
    LibraryMusic music(library);
    SteadyWallClock wall;
    MusicClock clock(music, wall);
    PlayerMovieSource movies;
    RecordingDisplay display(music, clock);
    Show show(display, music, clock, movies);
    display.show = &show;
    const int32_t status = show.run();

    stopLoad(load);
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(dir);
    check(status == 0, "the show returned " + std::to_string(status));

    std::map<int32_t, std::vector<Shown>> byScene;
    for (const Shown& s : display.shown) {
        byScene[s.scene].push_back(s);
    }
    check(byScene.size() == 4, "scenes 1 to 4 did not all run");
    // In music time: the longest frame, from its start to its present, and the latest
    // start after the tick boundary it was due at.
    uint32_t longestFrame = 0;
    uint32_t latestStart = 0;
    for (const Shown& s : display.shown) {
        longestFrame = std::max(longestFrame, s.musicAtPresent - s.musicAtStart);
        latestStart = std::max(latestStart, s.musicAtStart - s.dueAt);
    }

    for (const auto& [scene, frames] : byScene) {
        const uint32_t tick = kTickOfScene.at(scene);
        const uint32_t sceneDue = frames.front().dueAt;
        const std::string where = "scene " + std::to_string(scene);
        int32_t skipped = 0;
        for (const Shown& s : frames) {
            skipped += s.skip;
            // The scene's tick count is the music's, within the one tick that a late wait
            // may snap to the grid of the show's start.
            const int64_t ticksOfMusic = (s.dueAt - sceneDue) / tick;
            check(std::llabs(ticksOfMusic - s.frameIndex) <= 1,
                  where + ": frameIndex " + std::to_string(s.frameIndex) + " due after " +
                      std::to_string(ticksOfMusic) + " ticks of music");
            // The movie shows the frame of that tick (plus the skip carried into the
            // scene's first render); frames carried past the movie's end are black.
            if (s.movieFrame != kNoMovieFrame) {
                const int32_t expected = s.frameIndex + frames.front().skip;
                const uint32_t want =
                    expected <= kMovieFrames.at(scene) ? static_cast<uint32_t>(expected) + 1 : 0u;
                check(s.movieFrame == want, where + ": frameIndex " + std::to_string(s.frameIndex) +
                                                " shows movie frame " +
                                                std::to_string(s.movieFrame) + ", wanted " +
                                                std::to_string(want));
            }
        }
        // The scene ends as many ticks of music after it began as its end says: less by up
        // to a tick of grid snap, more by what the slowest frame and its start missed.
        const auto next = byScene.find(scene + 1);
        const uint32_t nextDue =
            next != byScene.end() ? next->second.front().dueAt : display.quitDue;
        const int32_t end = scene == 2 ? kPeluEnd : kMovieFrames.at(scene);
        const uint32_t expected = static_cast<uint32_t>(end + 1) * tick;
        const uint32_t lasted = nextDue - sceneDue;
        check(lasted + tick >= expected && lasted <= expected + tick + longestFrame + latestStart,
              where + ": lasted " + std::to_string(lasted) + " ms of music, expected " +
                  std::to_string(expected));
        std::printf("scene %d: %zu frames, %d skipped, lasted %u ms of music (%u expected)\n",
                    scene, frames.size(), skipped, lasted, expected);
    }
    std::printf("%u busy processes; longest frame %u ms, latest start %u ms after its tick (music "
                "time); %d failed checks\n",
                loaders, longestFrame, latestStart, failures);
    return failures == 0 ? 0 : 1;
}
