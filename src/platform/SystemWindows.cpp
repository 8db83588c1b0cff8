// Windows: the show is a GUI program (no console window of its own), so an error goes to a
// message box when nobody reads standard error (double-clicked), and to the console only
// when it was started from one (driver/SystemWindows.cpp attaches it). The process is
// DPI-aware, so that Windows does not enlarge and blur the picture; the data lives in the
// folder beside tilsen.exe.
#include "platform/System.h"

#include "driver/ProgramName.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <io.h>
#include <windows.h>

#include <array>

void prepareSystem() {
    // Our main is the entry point (SDL2main is not linked): SDL is told so.
    SDL_SetMainReady();
    // Window sizes stay in the desktop's scaled units while the pixels are the screen's own.
    SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
    SDL_SetHint(SDL_HINT_WINDOWS_DPI_SCALING, "1");
}

bool errorBoxWanted() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr &&
        (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) {
        return false;
    }
    const int fd = _fileno(stderr);
    const HANDLE handle =
        fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return true;
    }
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode) != 0) {
        return false; // a console window shows the line
    }
    const DWORD type = GetFileType(handle);
    // A file or a pipe keeps the line; NUL (double-clicked, nothing attached) does not.
    return type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE;
}

void reportMissingMusic(const char* fileName) {
    std::array<char, MAX_PATH + 1> folder{};
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length >= folder.size()) {
        std::snprintf(folder.data(), folder.size(), "the working folder");
    }
    std::array<char, 2 * MAX_PATH> line{};
    std::snprintf(line.data(), line.size(),
                  "%s was not found in %s; start tilsen.exe from its own folder, the one that "
                  "holds it and its data files (unzip the whole folder, then double-click "
                  "tilsen.exe there)",
                  fileName, folder.data());
    std::fprintf(stderr, "%s: %s\n", programName(), line.data());
    std::fflush(stderr);
    if (errorBoxWanted()) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Morvane TILSEN", line.data(), nullptr);
    }
}
