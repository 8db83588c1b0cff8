// The console over SDL2. The frame is an ARGB8888 streaming texture (blending off, so
// the top byte is ignored); each update enlarges it by a whole number with
// nearest-neighbour into a target texture, then stretches that smoothly into the 4:3
// rectangle, so pixel edges stay sharp and only the last fraction is interpolated.
#include "platform/Console.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace ptc {

namespace {

constexpr int32_t kEscape = 27;
constexpr int32_t kReturn = 13;
constexpr int32_t kMinWindowWidth = 320;
constexpr int32_t kMinWindowHeight = 240;
constexpr int32_t kMaxFrameSide = 4096;

[[noreturn]] void fail() {
    throw DynamicError(SDL_GetError());
}

void check(int result) {
    if (result < 0) {
        fail();
    }
}

template <typename T> T* check(T* object) {
    if (object == nullptr) {
        fail();
    }
    return object;
}

} // namespace

Console::Console() = default;

Console::~Console() {
    close();
}

int32_t Console::option(const std::string& text) {
    if (text == "synchronized update") {
        vsync = true;
        return 1;
    }
    return 0;
}

// The sizing is shared with the recorder, which scales frames the same way.
Console::Rect Console::fitFourByThree(int32_t windowWidth, int32_t windowHeight) {
    return ::fitFourByThree(windowWidth, windowHeight);
}

int32_t Console::sharpFactor(const Rect& target, int32_t width, int32_t height) {
    return ::sharpFactor(target, width, height);
}

Console::Rect Console::defaultWindow(int32_t screenWidth, int32_t screenHeight) {
    if (screenWidth >= kDefaultWindowWidth && screenHeight >= kDefaultWindowHeight) {
        return {0, 0, kDefaultWindowWidth, kDefaultWindowHeight};
    }
    Rect r = fitFourByThree(std::max(screenWidth, kMinWindowWidth),
                            std::max(screenHeight, kMinWindowHeight));
    // Multiples of 4 x 3 keep the rectangle exactly 4:3.
    const int32_t units = std::max(r.w / 4, kMinWindowWidth / 4);
    return {0, 0, units * 4, units * 3};
}

int32_t Console::keyCodeFor(int32_t sdlKey) {
    if (sdlKey >= 'a' && sdlKey <= 'z') {
        return sdlKey - 'a' + 'A';
    }
    if (sdlKey == SDLK_ESCAPE) {
        return kEscape;
    }
    if (sdlKey == SDLK_RETURN || sdlKey == SDLK_KP_ENTER) {
        return kReturn;
    }
    if (sdlKey >= ' ' && sdlKey < 127) {
        return sdlKey;
    }
    return 0;
}

void Console::open(const char* title, int32_t width, int32_t height, const Format& format,
                   int32_t /*pages*/) {
    if (isOpen()) {
        throw DynamicError("console is already open");
    }
    if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) {
        throw DynamicError("invalid console size");
    }
    if (!format.isDirect32()) {
        throw DynamicError("unsupported console format");
    }
    check(SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS));
    videoStarted = true;
    try {
        SDL_Rect usable{0, 0, kDefaultWindowWidth, kDefaultWindowHeight};
        if (SDL_GetDisplayUsableBounds(0, &usable) != 0) {
            usable = {0, 0, kDefaultWindowWidth, kDefaultWindowHeight};
        }
        const Rect size = defaultWindow(usable.w, usable.h);
        window = check(SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        size.w, size.h, SDL_WINDOW_RESIZABLE));
        SDL_SetWindowMinimumSize(window, kMinWindowWidth, kMinWindowHeight);
        const Uint32 sync = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | sync);
        if (renderer == nullptr) {
            renderer = check(SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | sync));
        }
        frame = createFrameTexture(width, height);
        useScaledTexture = SDL_RenderTargetSupported(renderer) == SDL_TRUE;
        frameWidth = width;
        frameHeight = height;
        check(SDL_ShowCursor(SDL_DISABLE));
        // A black frame until the first load.
        check(SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255));
        check(SDL_RenderClear(renderer));
        SDL_RenderPresent(renderer);
    } catch (...) {
        destroyWindow();
        throw;
    }
}

SDL_Texture* Console::createFrameTexture(int32_t width, int32_t height) {
    SDL_Texture* texture = check(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                                   SDL_TEXTUREACCESS_STREAMING, width, height));
    if (SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE) < 0 ||
        SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest) < 0) {
        SDL_DestroyTexture(texture);
        fail();
    }
    return texture;
}

FrameRect Console::shownRect() {
    if (!isOpen()) {
        throw DynamicError("console is not open");
    }
    int outputWidth = 0;
    int outputHeight = 0;
    check(SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight));
    return fitFourByThree(outputWidth, outputHeight);
}

void Console::resizeFrame(int32_t width, int32_t height) {
    if (!isOpen()) {
        throw DynamicError("console is not open");
    }
    if (width <= 0 || height <= 0 || width > kMaxFrameSide || height > kMaxFrameSide) {
        throw DynamicError("invalid console size");
    }
    if (width == frameWidth && height == frameHeight) {
        return;
    }
    SDL_Texture* resized = createFrameTexture(width, height);
    SDL_DestroyTexture(frame);
    frame = resized;
    frameWidth = width;
    frameHeight = height;
    // The enlargement belongs to the old size.
    if (scaled != nullptr) {
        SDL_DestroyTexture(scaled);
        scaled = nullptr;
    }
    scaledFactor = 0;
}

void Console::load(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch) {
    if (!isOpen()) {
        throw DynamicError("console is not open");
    }
    if (width != frameWidth || height != frameHeight || pitch < width) {
        throw DynamicError("surface size differs from the console's");
    }
    check(SDL_UpdateTexture(frame, nullptr, pixels, pitch * 4));
}

void Console::ensureScaledTexture(int32_t factor) {
    if (scaled != nullptr && scaledFactor == factor) {
        return;
    }
    if (scaled != nullptr) {
        SDL_DestroyTexture(scaled);
        scaled = nullptr;
    }
    scaled = check(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                     frameWidth * factor, frameHeight * factor));
    scaledFactor = factor;
    check(SDL_SetTextureBlendMode(scaled, SDL_BLENDMODE_NONE));
    check(SDL_SetTextureScaleMode(scaled, SDL_ScaleModeLinear));
}

void Console::update() {
    if (!isOpen()) {
        throw DynamicError("console is not open");
    }
    pumpEvents();
    int outputWidth = 0;
    int outputHeight = 0;
    check(SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight));
    const Rect r = fitFourByThree(outputWidth, outputHeight);
    const SDL_Rect target{r.x, r.y, r.w, r.h};
    SDL_Texture* source = frame;
    // A frame drawn at the rectangle's own size is copied as it is.
    const bool exact = r.w == frameWidth && r.h == frameHeight;
    if (useScaledTexture && !exact) {
        ensureScaledTexture(sharpFactor(r, frameWidth, frameHeight));
        check(SDL_SetRenderTarget(renderer, scaled));
        check(SDL_RenderCopy(renderer, frame, nullptr, nullptr));
        check(SDL_SetRenderTarget(renderer, nullptr));
        source = scaled;
    }
    check(SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255));
    check(SDL_RenderClear(renderer));
    check(SDL_RenderCopy(renderer, source, nullptr, &target));
    SDL_RenderPresent(renderer);
}

bool Console::keyPending() {
    if (!isOpen()) {
        throw DynamicError("console is not open");
    }
    pumpEvents();
    return keyCount > 0;
}

bool Console::keyQueued(int32_t code) {
    if (!isOpen()) {
        return false;
    }
    const uint64_t now = SDL_GetTicks64();
    if (now - lastKeyPoll >= kKeyPollMilliseconds) {
        lastKeyPoll = now;
        pumpEvents();
    }
    for (int32_t i = 0; i < keyCount; ++i) {
        if (keys[static_cast<size_t>((keyHead + i) % kKeyQueueSize)] == code) {
            return true;
        }
    }
    return false;
}

void Console::read(Key& key) {
    if (!isOpen()) {
        throw DynamicError("console is not open");
    }
    pumpEvents();
    if (keyCount == 0) {
        key = Key();
        return;
    }
    key = Key(keys[static_cast<size_t>(keyHead)]);
    keyHead = (keyHead + 1) % kKeyQueueSize;
    --keyCount;
}

void Console::push(int32_t code) {
    if (keyCount == kKeyQueueSize) {
        return; // a full queue drops new keys rather than old ones
    }
    keys[static_cast<size_t>((keyHead + keyCount) % kKeyQueueSize)] = code;
    ++keyCount;
}

void Console::pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        handleEvent(event);
    }
}

// SDL turns SIGINT and SIGTERM into a quit event, which ends the show like Escape.
void Console::handleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        push(kEscape);
        break;
    case SDL_KEYDOWN: {
        if (event.key.repeat != 0) {
            break;
        }
        const SDL_Keycode sym = event.key.keysym.sym;
        const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
        if (sym == SDLK_F11 || (alt && (sym == SDLK_RETURN || sym == SDLK_KP_ENTER))) {
            toggleFullscreen();
            break;
        }
        const int32_t code = keyCodeFor(sym);
        if (code != 0) {
            push(code);
        }
        break;
    }
    default:
        break;
    }
}

void Console::toggleFullscreen() {
    const bool full = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    check(SDL_SetWindowFullscreen(window, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP));
}

void Console::close() {
    destroyWindow();
    keyHead = 0;
    keyCount = 0;
}

void Console::destroyWindow() {
    if (scaled != nullptr) {
        SDL_DestroyTexture(scaled);
        scaled = nullptr;
    }
    if (frame != nullptr) {
        SDL_DestroyTexture(frame);
        frame = nullptr;
    }
    if (renderer != nullptr) {
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
    }
    if (window != nullptr) {
        SDL_ShowCursor(SDL_ENABLE);
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (videoStarted) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        videoStarted = false;
    }
    scaledFactor = 0;
    frameWidth = 0;
    frameHeight = 0;
}

} // namespace ptc
