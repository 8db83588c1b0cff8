// Music start-up and its messages. Failures are the only output the show ever prints to
// standard output, one line each, before it exits with status 1. When standard output is
// closed or cannot be written, the line goes to standard error instead, so that it is
// never lost; a missing music file also gets a line on standard error saying where it was
// looked for.
#include "platform/LibraryMusic.h"

#include "platform/System.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

constexpr const char* kErrorTexts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};
constexpr int32_t kErrorTextCount = static_cast<int32_t>(std::size(kErrorTexts));
constexpr const char* kMusicFile = "music.xm";

// One line of the show's own output: standard output, or standard error when that fails.
void showLine(const char* line) {
    const bool shown = std::printf("%s\n", line) >= 0 && std::fflush(stdout) == 0;
    if (!shown) {
        std::clearerr(stdout);
        std::fprintf(stderr, "%s\n", line);
        std::fflush(stderr);
    }
}

} // namespace

const char* errorText(int32_t code) {
    if (code < 0 || code >= kErrorTextCount) {
        return "Unknown error";
    }
    return kErrorTexts[code];
}

LibraryMusic::LibraryMusic(MusicLibrary& musicLibrary) : library(musicLibrary) {}

void LibraryMusic::startMusic() {
    if (library.version() < kRequiredVersion) {
        std::array<char, 128> line{};
        std::snprintf(
            line.data(), line.size(),
            "Error : You are using the wrong DLL version!  You should be using FMOD %.02f",
            static_cast<double>(kRequiredVersion));
        showLine(line.data());
        std::exit(1);
    }
    if (!library.init(kMixRate, kSoftwareChannels, kInitFlags)) {
        fail();
    }
    song = library.loadSong(kMusicFile);
    if (song == kNoSong) {
        fail();
    }
    library.playSong(song);
}

void LibraryMusic::fail() {
    const int32_t code = library.lastError();
    showLine(errorText(code));
    if (code == kMusicFileNotFound) {
        reportMissingMusic(kMusicFile);
    }
    std::exit(1);
}

void LibraryMusic::stopMusic() {
    library.freeSong(song);
    song = kNoSong;
    library.close();
}

int32_t LibraryMusic::masterVolume() {
    return library.masterVolume(song);
}

void LibraryMusic::setMasterVolume(int32_t volume) {
    library.setMasterVolume(song, volume);
}

uint32_t LibraryMusic::playTime() {
    return library.playTime(song);
}
