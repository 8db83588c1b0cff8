// What the driver layer asks of Windows: the program's name and the standard streams.
// The show is a GUI program, so it starts with no standard streams when double-clicked or
// started from a console window; those it lacks are attached to the console it was started
// from, when there is one, and otherwise opened on NUL. Streams it was given (a file or a
// pipe) are kept.
#include "driver/ProgramName.h"
#include "driver/StandardStreams.h"

#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>

namespace {

bool isOpen(FILE* stream) {
    const int fd = _fileno(stream);
    if (fd < 0) {
        return false;
    }
    const intptr_t handle = _get_osfhandle(fd);
    return handle != -1 && handle != -2 && handle != 0;
}

// The console when attached, otherwise NUL.
void reopen(FILE* stream, bool console, bool input) {
    const char* name = console ? (input ? "CONIN$" : "CONOUT$") : "NUL";
    if (std::freopen(name, input ? "r" : "w", stream) == nullptr) {
        std::freopen("NUL", input ? "r" : "w", stream);
    }
}

} // namespace

const char* programName() {
    static std::array<char, MAX_PATH + 1> name{};
    if (name[0] == '\0') {
        std::array<char, MAX_PATH + 1> path{};
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), MAX_PATH);
        const char* base = "tilsen";
        if (length > 0 && length < MAX_PATH) {
            base = path.data();
            for (const char* c = path.data(); *c != '\0'; ++c) {
                if (*c == '\\' || *c == '/') {
                    base = c + 1;
                }
            }
        }
        std::snprintf(name.data(), name.size(), "%s", base);
        const size_t size = std::strlen(name.data());
        if (size > 4 && _stricmp(name.data() + size - 4, ".exe") == 0) {
            name[size - 4] = '\0';
        }
    }
    return name.data();
}

void keepStandardStreams() {
    const bool inputOpen = isOpen(stdin);
    const bool outputOpen = isOpen(stdout);
    const bool errorOpen = isOpen(stderr);
    if (inputOpen && outputOpen && errorOpen) {
        return;
    }
    const bool console = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!inputOpen) {
        reopen(stdin, console, true);
    }
    if (!errorOpen) {
        reopen(stderr, console, false);
        if (outputOpen && !console) {
            _dup2(_fileno(stdout), _fileno(stderr));
        }
    }
    if (!outputOpen) {
        reopen(stdout, console, false);
        if (errorOpen && !console) {
            _dup2(_fileno(stderr), _fileno(stdout));
        }
    }
}
