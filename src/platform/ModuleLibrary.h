// The music library of the show: tracker modules decoded by libopenmpt, played through
// an SDL audio device. One song at a time, repeating endlessly. After playSong the
// module belongs to the audio thread; the main thread only reads the play time and sets
// the volume, both through atomics.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/MusicLibrary.h"

class ModuleLibrary final : public MusicLibrary {
public:
    static constexpr float kVersion = 3.6f;
    // Frames per device buffer asked of SDL (the device may choose another size).
    static constexpr int32_t kBufferFrames = 1024;
    // Larger files are refused rather than read into memory.
    static constexpr uint64_t kMaxModuleBytes = 256u << 20;

    ModuleLibrary();
    ~ModuleLibrary() override;
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    float version() override;
    bool init(int32_t mixRate, int32_t channels, uint32_t flags) override;
    int32_t lastError() override;
    void close() override;
    SongHandle loadSong(const char* fileName) override;
    bool playSong(SongHandle song) override;
    bool freeSong(SongHandle song) override;
    uint32_t playTime(SongHandle song) override;
    int32_t masterVolume(SongHandle song) override;
    bool setMasterVolume(SongHandle song, int32_t volume) override;

    // The frames the listener has heard: those handed to the device less the buffer
    // still queued, plus the time since the last hand-over, which cannot exceed a buffer.
    static uint64_t heardFrames(uint64_t framesHanded, uint64_t bufferFrames,
                                uint64_t framesSinceHandOver);
    // Scales interleaved samples by volume / 256 (0..256).
    static void applyVolume(int16_t* samples, size_t count, int32_t volume);

    struct State;

private:
    std::unique_ptr<State> state;
};
