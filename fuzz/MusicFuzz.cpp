// Fuzz target over the music loader: the input is the file "music.xm" as it lies on disk,
// loaded through the module library the show uses (sound system opened once, on SDL's
// dummy audio driver). A load either gives a song, which then answers for its play time
// and volume and is freed, or fails with one of the loader's error codes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "platform/ModuleLibrary.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "music fuzz: %s\n", what);
        std::abort();
    }
}

// Opened at the first input and kept for the whole run; closed at exit.
ModuleLibrary& library() {
    static ModuleLibrary instance;
    static const bool opened = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        return instance.init(44100, 64, 2);
    }();
    check(opened, "the dummy audio device did not open");
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ModuleLibrary& music = library();
    const int fd = memfd_create("music", 0);
    if (fd < 0) {
        return 0;
    }
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    const SongHandle song = music.loadSong(name.c_str());
    close(fd);
    if (song == kNoSong) {
        const int32_t error = music.lastError();
        check(error == kMusicUnknownFormat || error == kMusicFileLoad || error == kMusicOutOfMemory,
              "a failed load left an unexpected error code");
        return 0;
    }
    check(music.masterVolume(song) == kMusicFullVolume, "a new song is not at full volume");
    check(music.playTime(song) == 0u, "a song not yet played has a play time");
    check(music.setMasterVolume(song, 1), "the volume of a loaded song cannot be set");
    check(music.freeSong(song), "a loaded song cannot be freed");
    return 0;
}
