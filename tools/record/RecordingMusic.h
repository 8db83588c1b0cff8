// The show's music while recording: nothing plays. Start-up reads "music.xm" and checks
// that it is a module; the master-volume changes are kept with the music time at which
// the show made them, and stop marks where the music, and so the recording, ends. The
// sound itself is rendered afterwards by renderAudio.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "VirtualPlayTime.h"
#include "driver/Music.h"

struct VolumeChange {
    uint32_t ms;    // music time of the change
    int32_t volume; // 0..256
};

class RecordingMusic final : public Music {
public:
    static constexpr int32_t kFullVolume = 256;
    // Larger files are refused rather than read into memory.
    static constexpr uint64_t kMaxModuleBytes = 256u << 20;

    // time is borrowed for this object's lifetime.
    explicit RecordingMusic(VirtualPlayTime& time);

    // Reads "music.xm" from the working directory. A file that is missing, unreadable or
    // not a module prints one line to standard error and ends the process with status 1,
    // as the show itself ends when its music cannot start.
    void startMusic() override;
    void stopMusic() override;
    int32_t masterVolume() override { return volume; }
    // Clamped to 0..256; every call is kept, in order.
    void setMasterVolume(int32_t newVolume) override;

    const std::vector<uint8_t>& module() const { return bytes; }
    const std::vector<VolumeChange>& changes() const { return volumeChanges; }
    bool stopped() const { return hasStopped; }
    // The music time of stopMusic.
    uint32_t endMs() const { return end; }

private:
    VirtualPlayTime& time;
    std::vector<uint8_t> bytes;
    std::vector<VolumeChange> volumeChanges;
    int32_t volume = kFullVolume;
    bool hasStopped = false;
    uint32_t end = 0;
};

namespace openmpt {
class module;
}

// The module rendered a piece at a time, as the recording goes: each volume change
// applies from the sample frame at its music time on (ms * rate / 1000), scaling samples
// by volume / 256 as the show's player does. The module plays from its start, repeating.
class SoundRenderer {
public:
    using Output = std::function<bool(const int16_t* samples, size_t frameCount)>;

    SoundRenderer();
    ~SoundRenderer();
    SoundRenderer(const SoundRenderer&) = delete;
    SoundRenderer& operator=(const SoundRenderer&) = delete;

    // False when the module cannot be decoded.
    bool open(const std::vector<uint8_t>& module, int32_t rate);
    // Renders stereo frames up to frame `until` (exclusive) as interleaved 16-bit samples,
    // handed to out in blocks. changes must already hold every change at or before the
    // music time of `until` (it may grow between calls). False when decoding failed or
    // out refused a block.
    bool renderUntil(uint64_t until, const std::vector<VolumeChange>& changes, const Output& out);
    uint64_t framesRendered() const { return done; }
    // The sample frame at music time ms.
    uint64_t frameAt(uint32_t ms) const;

private:
    std::unique_ptr<openmpt::module> decoder;
    int32_t rate = 0;
    std::vector<int16_t> block;
    int32_t volume;
    size_t nextChange = 0;
    uint64_t done = 0;
};

// Renders frames stereo frames of the module (played from its start, repeating) at rate
// Hz as interleaved 16-bit samples, handing them to out in blocks. Each volume change
// applies from the sample frame at its music time on (ms * rate / 1000), scaling samples
// by volume / 256 as the show's player does. Returns false when the module cannot be
// decoded.
bool renderAudio(const std::vector<uint8_t>& module, const std::vector<VolumeChange>& changes,
                 uint64_t frames, int32_t rate,
                 const std::function<bool(const int16_t* samples, size_t frameCount)>& out);
