// Linux and the other POSIX systems: a message box needs an X11 or Wayland display; the
// data is found from the folder the show was built into.
#include "platform/System.h"

#include "driver/ProgramName.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include <array>

namespace {

bool driverShowsWindows() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver == nullptr ||
           (std::strcmp(driver, "dummy") != 0 && std::strcmp(driver, "offscreen") != 0);
}

} // namespace

void prepareSystem() {}

bool errorBoxWanted() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((x == nullptr || *x == '\0') && (wayland == nullptr || *wayland == '\0')) {
        return false;
    }
    return driverShowsWindows();
}

void reportMissingMusic(const char* fileName) {
    std::array<char, PATH_MAX> folder{};
    if (getcwd(folder.data(), folder.size()) == nullptr) {
        std::snprintf(folder.data(), folder.size(), "the working folder");
    }
    std::fprintf(stderr,
                 "%s: %s was not found in %s; run the show from the folder that holds its "
                 "data (build/data), or run ./demo.sh\n",
                 programName(), fileName, folder.data());
    std::fflush(stderr);
}
