// The show in a browser tab. The page fills the file system's /data with the show's files,
// starts the music on the visitor's click, then calls tilsen_start; from there the page
// runs tilsen_step once an animation frame, resumable (a long frame yields to the page while
// it draws, see WebDisplay), never starting a step before the last one has returned. The
// exported queries let the page (and its tests) see the script's state and which frame of
// a movie file is on screen; they may be called while a step waits.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

#include "driver/Movie.h"
#include "driver/MusicClock.h"
#include "driver/SceneTimings.h"
#include "driver/Show.h"
#include "driver/WallClock.h"
#include "movie/MoviePlayer.h"
#include "web/PageBridge.h"
#include "web/WebDisplay.h"
#include "web/WebMusic.h"

namespace {

// The show's players, each also counting the frames of its file it has passed, so that the
// frame on screen can be named by its place in the file (skips included).
class CountedMovie final : public Movie {
public:
    CountedMovie(std::unique_ptr<Movie> movie, int32_t& shownFrame)
        : inner(std::move(movie)), shown(shownFrame) {}
    int32_t open(const char* name) override {
        shown = -1;
        return inner->open(name);
    }
    void render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                int32_t height) override {
        inner->render(pixels, skipCount, frameIndex, width, height);
        const int64_t next = int64_t{shown} + skipCount + 1;
        shown = static_cast<int32_t>(next > INT32_MAX ? INT32_MAX : next);
    }
    void close() override { inner->close(); }
    void setStopCheck(std::function<bool()> check) override {
        inner->setStopCheck(std::move(check));
    }

private:
    std::unique_ptr<Movie> inner;
    int32_t& shown;
};

class CountedMovies final : public MovieSource {
public:
    std::unique_ptr<Movie> createMovie() override {
        return std::make_unique<CountedMovie>(players.createMovie(), shownFrame);
    }
    int32_t shownFrame = -1;

private:
    PlayerMovieSource players;
};

struct WebShow {
    WebDisplay display{Show::kWidth, Show::kHeight};
    WebMusic music;
    SteadyWallClock wall;
    MusicClock clock{music, wall};
    CountedMovies movies;
    Show show{display, music, clock, movies};
    // Time spent in steps that presented a frame, by scene (0: all), for the page's
    // frame-time figures.
    double drawMilliseconds[Show::kSceneCount + 1] = {};
    int32_t drawnFrames[Show::kSceneCount + 1] = {};
    // The last step that presented a frame: its time and the scene it drew.
    double lastDrawMilliseconds = 0.0;
};

// The one running show; the browser's callbacks have no other way to reach it.
std::unique_ptr<WebShow> running;
// The device pixels the page shows frames in (0 x 0: the 320x200 show), for this show and
// the next.
int32_t shownWidth = 0;
int32_t shownHeight = 0;

// The title picture: the opening movie's frame where the group's name stands assembled.
constexpr uint32_t kTitleFrame = 80;

} // namespace

extern "C" {

// Makes a new show and runs what comes before its first frame; 1 when the page should
// go on stepping it, 0 when it has already ended (the page has been told).
EMSCRIPTEN_KEEPALIVE int32_t tilsen_start() {
    if (running && !running->show.ended()) {
        return 0;
    }
    running = std::make_unique<WebShow>();
    running->display.setShownSize(shownWidth, shownHeight);
    running->show.start();
    if (running->show.ended()) {
        tilsenPageEnded();
        return 0;
    }
    return 1;
}

// One step of the show; 1 while it goes on. The time of a step that drew includes the
// page's turns while it yielded.
EMSCRIPTEN_KEEPALIVE int32_t tilsen_step() {
    if (!running || running->show.ended()) {
        return 0;
    }
    WebShow& web = *running;
    const int64_t before = web.display.presentCount();
    const double start = emscripten_get_now();
    const bool goesOn = web.show.step();
    if (web.display.presentCount() != before) {
        const double took = emscripten_get_now() - start;
        web.lastDrawMilliseconds = took;
        const size_t scene = static_cast<size_t>(std::clamp(web.show.scene, 1, Show::kSceneCount));
        for (size_t i : {size_t{0}, scene}) {
            web.drawMilliseconds[i] += took;
            ++web.drawnFrames[i];
        }
    }
    if (!goesOn) {
        tilsenPageEnded();
        return 0;
    }
    return 1;
}

// Sharp frames for width x height device pixels from the next frame on (0 x 0: 320x200).
EMSCRIPTEN_KEEPALIVE void tilsen_set_shown_size(int32_t width, int32_t height) {
    shownWidth = width;
    shownHeight = height;
    if (running) {
        running->display.setShownSize(width, height);
    }
}

// The size of the frame on the canvas (the next one's once a step has locked it).
EMSCRIPTEN_KEEPALIVE int32_t tilsen_frame_width() {
    return running ? running->display.frameWidth() : Show::kWidth;
}

EMSCRIPTEN_KEEPALIVE int32_t tilsen_frame_height() {
    return running ? running->display.frameHeight() : Show::kHeight;
}

// The time of the last step that presented a frame, in milliseconds.
EMSCRIPTEN_KEEPALIVE double tilsen_last_draw_milliseconds() {
    return running ? running->lastDrawMilliseconds : 0.0;
}

// The tick length of the scene on screen, in milliseconds.
EMSCRIPTEN_KEEPALIVE int32_t tilsen_tick_milliseconds() {
    const int32_t scene = running ? std::clamp(running->show.scene, 1, Show::kSceneCount) : 1;
    return static_cast<int32_t>(sceneTiming(scene).tickMs);
}

// Draws the title picture at the size frames are drawn (setShownSize) and presents it; 0
// when the movie cannot be read (the page then shows none). Before the show only.
EMSCRIPTEN_KEEPALIVE int32_t tilsen_title() {
    WebDisplay display{Show::kWidth, Show::kHeight};
    display.setShownSize(shownWidth, shownHeight);
    MoviePlayer player;
    if (player.open("presents.mvz") <= static_cast<int32_t>(kTitleFrame)) {
        return 0;
    }
    uint32_t* pixels = display.lock();
    const int32_t width = display.frameWidth();
    const int32_t height = display.frameHeight();
    if (width == Show::kWidth && height == Show::kHeight) {
        player.render(pixels, kTitleFrame, 0, width, height);
    } else {
        player.renderScaled(pixels, kTitleFrame, width, height);
    }
    display.unlock();
    display.present();
    return 1;
}

EMSCRIPTEN_KEEPALIVE void tilsen_key(int32_t key) {
    if (running) {
        running->display.pressKey(key);
    }
}

EMSCRIPTEN_KEEPALIVE int32_t tilsen_scene() {
    return running ? running->show.scene : 0;
}

EMSCRIPTEN_KEEPALIVE int32_t tilsen_frame_index() {
    return running ? running->show.frameIndex : 0;
}

// The ticks missed before the frame on screen.
EMSCRIPTEN_KEEPALIVE int32_t tilsen_skip_count() {
    return running ? running->show.skipCount : 0;
}

EMSCRIPTEN_KEEPALIVE int32_t tilsen_movie_frame() {
    return running ? running->movies.shownFrame : -1;
}

EMSCRIPTEN_KEEPALIVE uint32_t tilsen_clock_origin() {
    return running ? running->clock.origin : 0;
}

// Read while a scene's first frame is presented, the start of the tick it began on.
EMSCRIPTEN_KEEPALIVE uint32_t tilsen_tick_start() {
    return running ? running->clock.tickStart : 0;
}

// The mean time of a step that drew a frame in scene (0: in any scene), in milliseconds.
EMSCRIPTEN_KEEPALIVE double tilsen_draw_milliseconds(int32_t scene) {
    if (!running || scene < 0 || scene > Show::kSceneCount) {
        return 0.0;
    }
    const size_t i = static_cast<size_t>(scene);
    return running->drawnFrames[i] > 0 ? running->drawMilliseconds[i] / running->drawnFrames[i]
                                       : 0.0;
}

} // extern "C"
