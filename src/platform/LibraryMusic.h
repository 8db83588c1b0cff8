// The show's music over a MusicLibrary: start-up that ends the process on failure, stop,
// the master volume, and the song's play time for the music clock.
#pragma once

#include <cstdint>

#include "driver/Music.h"
#include "driver/PlayTimeSource.h"
#include "platform/MusicLibrary.h"

// The message for a library error code; unknown codes give "Unknown error".
const char* errorText(int32_t code);

class LibraryMusic final : public Music, public PlayTimeSource {
public:
    // The oldest library version the show accepts.
    static constexpr float kRequiredVersion = 3.6f;
    static constexpr int32_t kMixRate = 44100;
    static constexpr int32_t kSoftwareChannels = 64;
    static constexpr uint32_t kInitFlags = 2;

    // library is borrowed for this object's lifetime.
    explicit LibraryMusic(MusicLibrary& library);

    // Checks the version, opens the sound system, loads "music.xm" from the working
    // directory and plays it. On failure prints one line to standard output and ends the
    // process with status 1 (exit handlers run; nothing of the show is cleaned up).
    void startMusic() override;
    // Frees the song, then closes the sound system.
    void stopMusic() override;
    int32_t masterVolume() override;
    void setMasterVolume(int32_t volume) override;
    uint32_t playTime() override;

    SongHandle song = kNoSong;

private:
    [[noreturn]] void fail();

    MusicLibrary& library;
};
