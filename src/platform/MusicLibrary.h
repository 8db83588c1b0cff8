// The music library as the show's start-up and pacing use it: one sound system, songs
// by handle (0 = none), play time in milliseconds, master volume 0..256. Failing calls
// leave a code for lastError(); errorText gives its message.
#pragma once

#include <cstdint>

using SongHandle = int32_t;
inline constexpr SongHandle kNoSong = 0;

enum MusicErrorCode : int32_t {
    kMusicNoError = 0,
    kMusicAlreadyInitialised = 1,
    kMusicNotInitialised = 2,
    kMusicOutputInit = 3,
    kMusicFileNotFound = 9,
    kMusicUnknownFormat = 10,
    kMusicFileLoad = 11,
    kMusicOutOfMemory = 12,
    kMusicInvalidParameter = 14,
};

inline constexpr int32_t kMusicFullVolume = 256;

class MusicLibrary {
public:
    virtual ~MusicLibrary() = default;
    virtual float version() = 0;
    // mixRate in Hz, the number of software channels, flags (reserved).
    virtual bool init(int32_t mixRate, int32_t channels, uint32_t flags) = 0;
    virtual int32_t lastError() = 0;
    virtual void close() = 0;
    virtual SongHandle loadSong(const char* fileName) = 0;
    virtual bool playSong(SongHandle song) = 0;
    virtual bool freeSong(SongHandle song) = 0;
    // Milliseconds of the song heard since playSong; never decreases.
    virtual uint32_t playTime(SongHandle song) = 0;
    virtual int32_t masterVolume(SongHandle song) = 0;
    virtual bool setMasterVolume(SongHandle song, int32_t volume) = 0;
};
