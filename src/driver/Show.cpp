// The scene script. A scene lasts until frameIndex, advanced by 1 + the ticks missed
// each frame, passes its sceneEnd; movie scenes end with their movie's frame count.
// skipCount is never reset, so the first frame of a scene skips what the last frame of
// the previous one missed.
#include "driver/Show.h"

#include <algorithm>
#include <cstdint>

#include "driver/FrameScale.h"
#include "driver/Pictures.h"
#include "driver/SceneTimings.h"

Show::Show(Display& displayRef, Music& musicRef, TickClock& clockRef, MovieSource& movieSource)
    : display(displayRef), music(musicRef), clock(clockRef), movies(movieSource) {}

Show::~Show() = default;

int32_t Show::run() {
    start();
    while (step()) {
    }
    return 0;
}

void Show::start() {
    scene = 1;
    frameIndex = 0;
    skipCount = 0;
    loadPictures();
    openMovie("presents.mvz");
    phase = Phase::kFrame;
    try {
        display.open();
        music.startMusic();
        volume = music.masterVolume();
        clock.setTickLength(sceneTiming(1).tickMs);
        clock.resetClock();
    } catch (const ptc::DynamicError& error) {
        fail(error);
    }
}

// A frame's tick is over when the wait started after presenting it is; only then do the
// missed ticks advance the script, possibly past a scene's end, before the next frame.
bool Show::step() {
    try {
        if (phase == Phase::kWait) {
            if (!clock.waitOver()) {
                return true;
            }
            // Widened: a huge miss on a scene with a huge end must still end it.
            const int64_t next = int64_t{frameIndex} + skipCount + 1;
            frameIndex = static_cast<int32_t>(std::min<int64_t>(next, INT32_MAX));
            if (next > sceneEnd) {
                endScene();
                ++scene;
                frameIndex = 0;
            }
            phase = Phase::kFrame;
            if (scene > kSceneCount) {
                finish();
                return false;
            }
        }
        if (phase != Phase::kFrame) {
            return false;
        }
        const int32_t key = display.readKey();
        uint32_t* pixels = display.lock();
        drawScene(pixels, display.frameWidth(), display.frameHeight());
        display.unlock();
        // A quit that came while the frame was drawn ends the show before the frame,
        // perhaps cut short, is shown.
        if (quitWaiting()) {
            finish();
            return false;
        }
        display.present();
        if (key == kEscape || key == kQuitKey) {
            finish();
            return false;
        }
        skipCount = clock.startWait();
        phase = Phase::kWait;
        return true;
    } catch (const ptc::DynamicError& error) {
        fail(error);
        return false;
    }
}

void Show::finish() {
    music.stopMusic();
    display.close();
    freePictures();
    // Only a quit key can leave a player open; its file is closed with it.
    closeMovie();
    display.destroy();
    phase = Phase::kEnded;
}

void Show::fail(const ptc::DynamicError& error) {
    phase = Phase::kEnded;
    display.destroy();
    display.reportError(error);
}

void Show::loadPictures() {
    static const char* const kNames[kPictureCount] = {"morvane.raw", "pelu.raw", "greets.raw",
                                                      "logo.raw", "credits.raw"};
    for (int32_t i = 0; i < kPictureCount; ++i) {
        pictures[i] = loadRawPicture(kNames[i], kWidth, kHeight);
    }
}

void Show::freePictures() {
    for (Picture p : {kPelu, kMorvane, kGreets, kLogo, kCredits}) {
        pictures[p].reset();
    }
    enlargedPicture = Enlarged{};
    enlargedLogo = Enlarged{};
}

void Show::drawScene(uint32_t* pixels, int32_t width, int32_t height) {
    const uint32_t skip = static_cast<uint32_t>(skipCount);
    const bool sharp = width != kWidth || height != kHeight;
    switch (scene) {
    case 1:
        player->render(pixels, skip, frameIndex, width, height);
        if (sharp) {
            addGreyNoiseScaled(pixels, kWidth, kHeight, width, height);
        } else {
            addGreyNoise(pixels, kWidth, kHeight);
        }
        break;
    case 2:
        showPicture(pixels, kPelu, width, height);
        break;
    case 3:
    case 4:
        player->render(pixels, skip, frameIndex, width, height);
        if (sharp) {
            blendOverlay(pixels, enlarged(enlargedLogo, kLogo, true, width, height), width, height);
        } else {
            overlayPixels(pixels, pictures[kLogo].get(), kWidth, kHeight);
        }
        break;
    case 5:
        showPicture(pixels, kGreets, width, height);
        break;
    case 6:
        showPicture(pixels, kCredits, width, height);
        break;
    case 7:
        showPicture(pixels, kMorvane, width, height);
        break;
    default: // 8: the surface keeps scene 7's picture while the music fades
        // A sharp surface that changed size is new: it gets the picture again.
        if (width != drawnWidth || height != drawnHeight) {
            showPicture(pixels, kMorvane, width, height);
        }
        if (volume > 0) {
            --volume;
            music.setMasterVolume(volume);
        }
        break;
    }
    drawnWidth = width;
    drawnHeight = height;
}

void Show::showPicture(uint32_t* pixels, Picture picture, int32_t width, int32_t height) {
    if (width == kWidth && height == kHeight) {
        copyPixels(pixels, pictures[picture].get(), kWidth, kHeight);
    } else {
        copyPixels(pixels, enlarged(enlargedPicture, picture, false, width, height), width, height);
    }
}

const uint32_t* Show::enlarged(Enlarged& cache, Picture picture, bool overlay, int32_t width,
                               int32_t height) {
    if (cache.picture != picture || cache.width != width || cache.height != height) {
        cache.pixels.assign(static_cast<size_t>(int64_t{width} * height), 0u);
        if (overlay) {
            scaleOverlay(pictures[picture].get(), kWidth, kHeight, cache.pixels.data(), width,
                         height);
        } else {
            scaleSharp(pictures[picture].get(), kWidth, kHeight, cache.pixels.data(), width,
                       height);
        }
        cache.picture = picture;
        cache.width = width;
        cache.height = height;
    }
    return cache.pixels.data();
}

void Show::endScene() {
    switch (scene) {
    case 1:
    case 4:
        closeMovie();
        break;
    case 2:
        openMovie("tavo01.mvz");
        break;
    case 3:
        closeMovie();
        openMovie("main02.mvz");
        break;
    default:
        break;
    }
    if (scene >= kSceneCount) {
        return;
    }
    const SceneTiming& next = sceneTiming(scene + 1);
    if (next.end != kMovieDecides) {
        sceneEnd = next.end;
    }
    clock.setTickLength(next.tickMs);
}

bool Show::quitWaiting() {
    return display.keyWaiting(kEscape) || display.keyWaiting(kQuitKey);
}

void Show::openMovie(const char* name) {
    player = movies.createMovie();
    player->setStopCheck([this] { return quitWaiting(); });
    sceneEnd = player->open(name);
}

void Show::closeMovie() {
    if (player) {
        player->close();
        player.reset();
    }
}
