// The console on SDL's dummy video driver: window size and title, the key queue fed with
// synthetic SDL events, surface rules, SDL failures as DynamicError, and the geometry of
// the 4:3 picture as plain functions.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/Console.h"
#include "platform/ConsoleDisplay.h"
#include "platform/Surface.h"
#include "support/TestSystem.h"

namespace {

const ptc::Format kFormat(32, 0xFF0000u, 0x00FF00u, 0x0000FFu, 0u);

SDL_Window* onlyWindow() {
    for (Uint32 id = 1; id < 64; ++id) {
        if (SDL_Window* w = SDL_GetWindowFromID(id))
            return w;
    }
    return nullptr;
}

void pushKey(SDL_Keycode sym, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    e.key.windowID = SDL_GetWindowID(onlyWindow());
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

int32_t readCode(ptc::Console& c) {
    ptc::Key k;
    c.read(k);
    return k.code();
}

} // namespace

TEST(FourByThree, LargestCentredRectangleThatFits) {
    using R = ptc::Console::Rect;
    auto eq = [](R a, R b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; };
    EXPECT_TRUE(eq(ptc::Console::fitFourByThree(960, 720), R{0, 0, 960, 720}));
    EXPECT_TRUE(eq(ptc::Console::fitFourByThree(1920, 1080), R{240, 0, 1440, 1080}));
    EXPECT_TRUE(eq(ptc::Console::fitFourByThree(800, 800), R{0, 100, 800, 600}));
    // 320x200 at 4:3 is 3x horizontally and 3.6x vertically in 960x720: enlarge 3x sharp.
    EXPECT_EQ(ptc::Console::sharpFactor(R{0, 0, 960, 720}, 320, 200), 3);
    EXPECT_EQ(ptc::Console::sharpFactor(R{240, 0, 1440, 1080}, 320, 200), 4);
    EXPECT_EQ(ptc::Console::sharpFactor(R{0, 0, 200, 150}, 320, 200), 1);
}

TEST(FourByThree, DefaultWindowIs960x720OrTheLargestThatFits) {
    auto size = [](int w, int h) {
        const ptc::Console::Rect r = ptc::Console::defaultWindow(w, h);
        return std::to_string(r.w) + "x" + std::to_string(r.h);
    };
    EXPECT_EQ(size(1920, 1080), "960x720");
    EXPECT_EQ(size(960, 720), "960x720");
    EXPECT_EQ(size(1024, 600), "800x600");
    EXPECT_EQ(size(700, 900), "700x525");
    EXPECT_EQ(size(100, 100), "320x240");
}

TEST(KeyCodes, LettersAreUpperCaseAndEscapeIs27) {
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_q), 81);
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_a), 65);
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_ESCAPE), 27);
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_1), 49);
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_SPACE), 32);
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_F1), 0);
    EXPECT_EQ(ptc::Console::keyCodeFor(SDLK_LSHIFT), 0);
}

TEST(ConsoleWindow, OpensTitled960x720At320x200) {
    ptc::Console console;
    EXPECT_EQ(console.option("synchronized update"), 1);
    EXPECT_EQ(console.option("something else"), 0);
    console.open("Morvane TILSEN", 320, 200, kFormat, 0);
    EXPECT_EQ(console.width(), 320);
    EXPECT_EQ(console.height(), 200);
    SDL_Window* w = onlyWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(w), "Morvane TILSEN");
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    EXPECT_EQ(ww, 960);
    EXPECT_EQ(wh, 720);
    EXPECT_NE(SDL_GetWindowFlags(w) & SDL_WINDOW_RESIZABLE, 0u);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

    ptc::Surface surface(console.width(), console.height(), kFormat);
    uint32_t* p = surface.lock();
    p[0] = 0x00FF0000u;
    EXPECT_THROW(surface.lock(), ptc::DynamicError);
    EXPECT_THROW(surface.copy(console), ptc::DynamicError);
    surface.unlock();
    surface.copy(console);
    console.update();
    EXPECT_EQ(surface.lock()[0], 0x00FF0000u); // pixels persist
    surface.unlock();
    console.close();
    EXPECT_EQ(onlyWindow(), nullptr);
}

TEST(ConsoleKeys, QueueHoldsKeyDownsWithoutRepeatsOrFullscreenKeys) {
    ptc::Console console;
    console.open("Morvane TILSEN", 320, 200, kFormat, 0);
    EXPECT_FALSE(console.keyPending());
    pushKey(SDLK_q);
    pushKey(SDLK_q, KMOD_NONE, 1);   // auto-repeat
    pushKey(SDLK_F11);               // fullscreen toggle
    pushKey(SDLK_RETURN, KMOD_LALT); // fullscreen toggle
    pushKey(SDLK_q, KMOD_LSHIFT);
    pushKey(SDLK_F2); // not a queued key
    pushKey(SDLK_ESCAPE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit); // the window's close button
    ASSERT_TRUE(console.keyPending());
    EXPECT_EQ(readCode(console), 81);
    EXPECT_EQ(readCode(console), 81);
    EXPECT_EQ(readCode(console), 27);
    EXPECT_EQ(readCode(console), 27);
    EXPECT_FALSE(console.keyPending());
    EXPECT_EQ(readCode(console), 0);
}

TEST(ConsoleErrors, SdlFailuresAndMisuseThrowDynamicError) {
    ptc::Console console;
    EXPECT_THROW(console.update(), ptc::DynamicError);
    EXPECT_THROW(console.open("x", 320, 200, ptc::Format(16, 0xF800, 0x7E0, 0x1F), 0),
                 ptc::DynamicError);
    EXPECT_THROW(ptc::Surface(0, 200, kFormat), ptc::DynamicError);

    const char* saved = std::getenv("SDL_VIDEODRIVER");
    const std::string previous = saved ? saved : "";
    setEnvironment("SDL_VIDEODRIVER", "no-such-driver", true);
    try {
        console.open("x", 320, 200, kFormat, 0);
        ADD_FAILURE() << "open succeeded without a video driver";
    } catch (const ptc::DynamicError& e) {
        EXPECT_STREQ(e.message(), SDL_GetError());
        EXPECT_NE(std::string(e.message()), "");
    }
    if (saved)
        setEnvironment("SDL_VIDEODRIVER", previous.c_str(), true);
    else
        unsetEnvironment("SDL_VIDEODRIVER");
    EXPECT_FALSE(console.isOpen());
}

TEST(ConsoleDisplayUse, OpensReadsOneKeyPerCallAndPresents) {
    ConsoleDisplay display;
    display.open();
    EXPECT_EQ(display.readKey(), 0);
    pushKey(SDLK_a);
    pushKey(SDLK_q);
    EXPECT_EQ(display.readKey(), 65);
    EXPECT_EQ(display.readKey(), 81);
    uint32_t* p = display.lock();
    p[320 * 200 - 1] = 0x123456u;
    display.unlock();
    display.present();
    display.close();
    display.destroy();
    display.destroy();
}

TEST(ErrorReport, OneLineOnStandardErrorWithTheProgramName) {
    testing::internal::CaptureStderr();
    ptc::DynamicError("could not open the window").report();
    const std::string err = testing::internal::GetCapturedStderr();
    // The name this program was started under, without its folder (and ".exe" on Windows).
    EXPECT_EQ(err, "tilsen_platform_tests: could not open the window\n");
}

TEST(ConsolePicture, WideWindowShowsTheFrameAt4To3BetweenBlackBars) {
    ptc::Console console;
    console.open("Morvane TILSEN", 320, 200, kFormat, 0);
    SDL_Window* w = onlyWindow();
    ASSERT_NE(w, nullptr);
    SDL_SetWindowSize(w, 1280, 720);
    // Left half red, right half blue; the top byte is ignored, so 0 alpha must not hide it.
    ptc::Surface surface(320, 200, kFormat);
    uint32_t* p = surface.lock();
    for (int i = 0; i < 320 * 200; ++i)
        p[i] = (i % 320) < 160 ? 0x00FF0000u : 0x000000FFu;
    surface.unlock();
    surface.copy(console);
    console.update();

    SDL_Renderer* r = SDL_GetRenderer(w);
    ASSERT_NE(r, nullptr);
    int ow = 0, oh = 0;
    ASSERT_EQ(SDL_GetRendererOutputSize(r, &ow, &oh), 0);
    ASSERT_EQ(ow, 1280);
    ASSERT_EQ(oh, 720);
    auto at = [&](int x, int y) {
        uint32_t px = 0;
        SDL_Rect one{x, y, 1, 1};
        EXPECT_EQ(SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ARGB8888, &px, 4), 0);
        return px & 0x00FFFFFFu;
    };
    // The 4:3 rectangle is 960x720 at x = 160.
    EXPECT_EQ(at(80, 360), 0x000000u);
    EXPECT_EQ(at(159, 360), 0x000000u);
    EXPECT_EQ(at(160, 0), 0xFF0000u);
    EXPECT_EQ(at(600, 719), 0xFF0000u);
    EXPECT_EQ(at(700, 360), 0x0000FFu);
    EXPECT_EQ(at(1119, 360), 0x0000FFu);
    EXPECT_EQ(at(1120, 360), 0x000000u);
}

// A sharp display draws at the size of the 4:3 rectangle the window shows, picked again at
// every lock; the picture then fills the rectangle pixel for pixel.
TEST(ConsoleDisplaySharp, SurfaceFollowsTheWindowsRectangle) {
    ConsoleDisplay display(true);
    display.open();
    SDL_Window* w = onlyWindow();
    ASSERT_NE(w, nullptr);
    struct Step {
        int32_t windowWidth, windowHeight, frameWidth, frameHeight;
    };
    for (const Step& s : {Step{960, 720, 960, 720}, Step{1280, 720, 960, 720},
                          Step{1000, 1000, 1000, 750}, Step{320, 240, 320, 240}}) {
        SDL_SetWindowSize(w, s.windowWidth, s.windowHeight);
        uint32_t* p = display.lock();
        ASSERT_EQ(display.frameWidth(), s.frameWidth) << s.windowWidth << "x" << s.windowHeight;
        ASSERT_EQ(display.frameHeight(), s.frameHeight);
        // Left half red, right half blue, drawn at the surface's own size.
        for (int32_t y = 0; y < s.frameHeight; ++y) {
            for (int32_t x = 0; x < s.frameWidth; ++x) {
                p[y * s.frameWidth + x] = x < s.frameWidth / 2 ? 0x00FF0000u : 0x000000FFu;
            }
        }
        display.unlock();
        display.present();
        SDL_Renderer* r = SDL_GetRenderer(w);
        const ptc::Console::Rect rect = ptc::Console::fitFourByThree(s.windowWidth, s.windowHeight);
        const auto at = [&](int x, int y) {
            uint32_t px = 0;
            SDL_Rect one{x, y, 1, 1};
            EXPECT_EQ(SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ARGB8888, &px, 4), 0);
            return px & 0x00FFFFFFu;
        };
        // Copied one to one: the halves meet between two neighbouring output pixels.
        const int32_t middle = rect.x + s.frameWidth / 2;
        EXPECT_EQ(at(middle - 1, rect.y + rect.h / 2), 0xFF0000u);
        EXPECT_EQ(at(middle, rect.y + rect.h / 2), 0x0000FFu);
    }
    display.close();
    display.destroy();
}

TEST(ConsoleDisplaySharp, PlainDisplayStaysAt320x200WhateverTheWindow) {
    ConsoleDisplay display;
    display.open();
    SDL_SetWindowSize(onlyWindow(), 1600, 1200);
    display.lock();
    EXPECT_EQ(display.frameWidth(), 320);
    EXPECT_EQ(display.frameHeight(), 200);
    display.unlock();
    display.present();
    display.destroy();
}
