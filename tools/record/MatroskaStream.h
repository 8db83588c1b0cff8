// A Matroska stream written as it goes, for a pipe into ffmpeg: one uncompressed video
// track (bgr0 pictures, each with its own time) and one 16-bit PCM track. Sizes of the
// segment are left unknown, so nothing is ever rewritten; every block sits in a cluster
// of its own, so its time is the cluster's and needs no 16-bit offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

class MatroskaStream {
public:
    // Times are in microseconds.
    static constexpr uint64_t kNanosecondsPerTick = 1000;
    static constexpr uint64_t kTicksPerSecond = 1000000;

    // Takes the stream's bytes; returns false when they could not be written.
    using Output = std::function<bool(const void* bytes, size_t count)>;

    explicit MatroskaStream(Output output) : out(std::move(output)) {}

    // The file header and the two tracks. sampleWidth:sampleHeight is the shape of one
    // pixel on screen (5:6 for pixels 1.2 times as tall as wide). audioRate 0: no sound.
    bool writeHeader(int32_t width, int32_t height, int32_t sampleWidth, int32_t sampleHeight,
                     int32_t audioRate, int32_t audioChannels);
    // width x height pixels, 0x??RRGGBB words (the top byte is not read by the decoder).
    bool writePicture(const uint32_t* pixels, uint64_t timeUs);
    // frames x channels interleaved samples.
    bool writeSound(const int16_t* samples, size_t frames, uint64_t timeUs);

    // The element layout, for tests: an element id (its bytes as written) and a payload.
    static std::vector<uint8_t> element(uint32_t id, const std::vector<uint8_t>& payload);

private:
    bool writeBlock(uint8_t track, const void* payload, size_t bytes, uint64_t timeUs);

    Output out;
    size_t pictureBytes = 0;
    int32_t channels = 0;
};
