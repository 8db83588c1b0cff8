// Every video frame written out whole: each picture scaled once to the output size (the
// window's sharp 4:3 scaling) and written for every frame it stays on screen. Feeds the
// PNG frames; the encoder takes the pictures themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "FrameSampler.h"

// Where whole frames go. Pixels are 0xFFRRGGBB, pitch = width. Returns false when the
// frame could not be written.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) = 0;
};

class FrameRepeater final : public PictureSink {
public:
    // sink is borrowed for the repeater's lifetime.
    FrameRepeater(FrameSink& sink, int32_t surfaceWidth, int32_t surfaceHeight, int32_t outputWidth,
                  int32_t outputHeight);

    bool show(const uint32_t* surface, uint64_t firstFrame) override;
    bool end(uint64_t frameCount) override;

private:
    // Writes the frame on screen until frame `until` (exclusive).
    bool writeUntil(uint64_t until);

    FrameSink& sink;
    int32_t surfaceWidth;
    int32_t surfaceHeight;
    int32_t outputWidth;
    int32_t outputHeight;
    std::vector<uint32_t> shown; // the scaled frame on screen now
    uint64_t written = 0;
};
