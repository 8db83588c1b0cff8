// Platform tests run headless: SDL's dummy video and audio drivers unless the caller
// chose others. Set before main, ahead of any SDL call (ctest passes only the first
// variable of an environment list through test discovery).
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TestSystem.h"

namespace {

const bool kHeadless = [] {
    setEnvironment("SDL_VIDEODRIVER", "dummy", false);
    setEnvironment("SDL_AUDIODRIVER", "dummy", false);
    return true;
}();

} // namespace

TEST(Headless, DummyDriversAreChosenUnlessOverridden) {
    ASSERT_TRUE(kHeadless);
    EXPECT_STREQ(std::getenv("SDL_AUDIODRIVER"), "dummy");
    ASSERT_EQ(SDL_AudioInit(nullptr), 0) << SDL_GetError();
    EXPECT_STREQ(SDL_GetCurrentAudioDriver(), "dummy");
    SDL_AudioQuit();
}
