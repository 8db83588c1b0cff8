// The display console: a resizable window that shows a small true-colour frame at 4:3
// (pixels 1.2 times as tall as wide) in the largest size that fits, with black bars and
// sharp pixels. Keys arrive through a small queue; closing the window, SIGINT and SIGTERM
// queue Escape. Every SDL failure throws ptc::DynamicError with SDL's message.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "driver/DynamicError.h"
#include "driver/FrameScale.h"
#include "platform/Format.h"
#include "platform/Key.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace ptc {

class Console {
public:
    static constexpr int32_t kDefaultWindowWidth = 960;
    static constexpr int32_t kDefaultWindowHeight = 720;
    static constexpr int32_t kKeyQueueSize = 32;

    Console();
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // "synchronized update" turns on vsync and returns 1; other options return 0.
    int32_t option(const std::string& text);
    // Opens the window; pages is accepted and not used.
    void open(const char* title, int32_t width, int32_t height, const Format& format,
              int32_t pages);
    int32_t width() const { return frameWidth; }
    int32_t height() const { return frameHeight; }
    // Presents the frame last loaded.
    void update();
    bool keyPending();
    // Whether a key with this code is queued (it stays queued). New events are looked at
    // at most every kKeyPollMilliseconds, so this may be asked very often.
    bool keyQueued(int32_t code);
    static constexpr uint64_t kKeyPollMilliseconds = 10;
    // Takes the oldest queued key; gives code 0 when none is queued.
    void read(Key& key);
    void close();

    // The 4:3 rectangle frames are shown in, in output pixels, as the window is now.
    FrameRect shownRect();
    // Gives the frame a new size (its pixels black until the next load); later loads
    // must be of that size. Sides are 1..4096.
    void resizeFrame(int32_t width, int32_t height);

    // Replaces the frame with width x height pixels (pitch in pixels).
    void load(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch);
    bool isOpen() const { return window != nullptr; }

    // The rectangle a frame of the given aspect takes inside a window: the largest 4:3
    // rectangle that fits, centred.
    using Rect = FrameRect;
    static Rect fitFourByThree(int32_t windowWidth, int32_t windowHeight);
    // The whole-number enlargement done with nearest-neighbour before the smooth stretch.
    static int32_t sharpFactor(const Rect& target, int32_t frameWidth, int32_t frameHeight);
    // The default window: 960x720, or the largest 4:3 size that fits the usable screen.
    static Rect defaultWindow(int32_t screenWidth, int32_t screenHeight);
    // The code queued for a key press, or 0 for keys that are not queued.
    static int32_t keyCodeFor(int32_t sdlKey);

private:
    void pumpEvents();
    void handleEvent(const SDL_Event& event);
    void push(int32_t code);
    void toggleFullscreen();
    void ensureScaledTexture(int32_t factor);
    // A streaming texture for width x height frames, blending off, sampled nearest.
    SDL_Texture* createFrameTexture(int32_t width, int32_t height);
    void destroyWindow();

    bool vsync = false;
    bool videoStarted = false;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* frame = nullptr;
    SDL_Texture* scaled = nullptr;
    int32_t scaledFactor = 0;
    bool useScaledTexture = true;
    std::array<int32_t, kKeyQueueSize> keys{};
    int32_t keyHead = 0;
    int32_t keyCount = 0;
    uint64_t lastKeyPoll = 0;
};

} // namespace ptc
