// Common face of the renderers the bench compares: each draws frame i of a loaded movie
// into its own 320x200 buffer of premultiplied 0xAARRGGBB pixels over opaque black.
#pragma once

#include <cstddef>
#include <cstdint>

#include "BenchMovie.h"

class FrameRenderer {
public:
    static constexpr int32_t kWidth = 320;
    static constexpr int32_t kHeight = 200;
    static constexpr size_t kPixelCount = static_cast<size_t>(kWidth) * kHeight;

    virtual ~FrameRenderer() = default;
    virtual const char* label() const = 0;
    // Converts whatever the renderer keeps per frame; not timed. movie outlives the renderer's use.
    virtual void prepare(const BenchMovie& movie) = 0;
    virtual void render(size_t frameIndex) = 0;
    virtual const uint32_t* pixels() const = 0;

protected:
    FrameRenderer() = default;
    FrameRenderer(const FrameRenderer&) = default;
    FrameRenderer& operator=(const FrameRenderer&) = default;
};
