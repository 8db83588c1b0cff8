// The whole show: start-up, the eight-scene script paced by the tick clock, the exit
// sequence, and the one guard for display errors. Everything outside the process (window,
// music, clock, movie files) comes in through borrowed interfaces, so the same loop runs
// for real, under test fakes, or on a virtual clock in a recorder.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "driver/Display.h"
#include "driver/Movie.h"
#include "driver/Music.h"
#include "driver/TickClock.h"

class Show {
public:
    static constexpr int32_t kWidth = 320;
    static constexpr int32_t kHeight = 200;
    static constexpr int32_t kSceneCount = 8;
    static constexpr int32_t kEscape = 27;
    static constexpr int32_t kQuitKey = 81; // Q

    // All four are borrowed for the show's lifetime.
    Show(Display& display, Music& music, TickClock& clock, MovieSource& movies);
    ~Show();
    Show(const Show&) = delete;
    Show& operator=(const Show&) = delete;

    // Runs the show to its end, a quit key or a display error; returns 0 in every case.
    // A music start-up failure ends the process inside startMusic instead.
    int32_t run();

    // The same show for hosts that own the frame loop (a browser): start does everything
    // before the first frame; each step then presents at most one frame, the next one as
    // soon as its tick has come, and returns false once the show has ended. run() is
    // exactly start() followed by step() until it returns false.
    void start();
    bool step();
    bool ended() const { return phase == Phase::kEnded; }

    // The script's state, readable by tests and recorders between calls.
    int32_t scene = 1;
    int32_t frameIndex = 0;
    int32_t skipCount = 0;
    int32_t sceneEnd = 0;
    int32_t volume = 0;

private:
    enum class Phase { kFrame, kWait, kEnded };
    enum Picture { kMorvane, kPelu, kGreets, kLogo, kCredits, kPictureCount };

    void loadPictures();
    void freePictures();
    // Draws the current scene into a width x height surface; any size but 320x200 is
    // drawn sharp: movies at that size, pictures enlarged.
    void drawScene(uint32_t* pixels, int32_t width, int32_t height);
    void showPicture(uint32_t* pixels, Picture picture, int32_t width, int32_t height);
    // A picture enlarged for a sharp surface, kept while the size stays; the logo in its
    // overlay form (scaleOverlay).
    struct Enlarged {
        int32_t picture = -1;
        int32_t width = 0;
        int32_t height = 0;
        std::vector<uint32_t> pixels;
    };
    const uint32_t* enlarged(Enlarged& cache, Picture picture, bool overlay, int32_t width,
                             int32_t height);
    void endScene();
    void openMovie(const char* name);
    // Escape or Q waiting, asked between frames and by the movie while it draws one.
    bool quitWaiting();
    void closeMovie();
    // The normal exit after the last frame or a quit key.
    void finish();
    void fail(const ptc::DynamicError& error);

    Display& display;
    Music& music;
    TickClock& clock;
    MovieSource& movies;
    std::unique_ptr<uint32_t[]> pictures[kPictureCount];
    std::unique_ptr<Movie> player;
    Phase phase = Phase::kEnded;
    Enlarged enlargedPicture;
    Enlarged enlargedLogo;
    // Size of the surface the last frame was drawn into.
    int32_t drawnWidth = kWidth;
    int32_t drawnHeight = kHeight;
};
