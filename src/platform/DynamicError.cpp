// The error report: one line on standard error and, when the system says so
// (platform/System.h: a real display, and on Windows nobody reading standard error), a
// message box; never under the dummy or offscreen video drivers, where nobody could
// dismiss it.
#include "driver/DynamicError.h"

#include "driver/ProgramName.h"
#include "platform/System.h"

#include <SDL.h>

#include <cstdio>

namespace ptc {

void DynamicError::report() const {
    std::fprintf(stderr, "%s: %s\n", programName(), message());
    std::fflush(stderr);
    if (errorBoxWanted()) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Morvane TILSEN", message(), nullptr);
    }
}

} // namespace ptc
