// The error report: one line on standard error and, when a real display is there, a
// message box (never under the dummy or offscreen video drivers, where nobody could
// dismiss it).
#include "driver/DynamicError.h"

#include <SDL.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ptc {

namespace {

bool displayAvailable() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x == nullptr || *x == '\0') && (wayland == nullptr || *wayland == '\0')) {
        return false;
    }
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver == nullptr ||
           (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0);
}

} // namespace

void DynamicError::report() const {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, message());
    std::fflush(stderr);
    if (displayAvailable()) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Morvane TILSEN", message(), nullptr);
    }
}

} // namespace ptc
