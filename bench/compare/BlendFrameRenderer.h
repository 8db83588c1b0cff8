// The same frame drawn by Blend2D, when the bench is built against it (BLEND2D_DIR, or
// BLEND2D_INCLUDE and BLEND2D_LIB): painter's order, even-odd, source-over on a
// premultiplied 32-bit image over black, curves and arcs as its own primitives, drawn
// synchronously on the calling thread (or with worker threads), under a scale to the target.
#pragma once

#include <memory>

#include "FrameRenderer.h"

class BlendFrameRenderer final : public FrameRenderer {
public:
    // threads > 1: Blend2D's own worker threads, that many.
    BlendFrameRenderer(int32_t width, int32_t height, int32_t threads = 1);
    ~BlendFrameRenderer() override;
    BlendFrameRenderer(const BlendFrameRenderer&) = delete;
    BlendFrameRenderer& operator=(const BlendFrameRenderer&) = delete;

    const char* label() const override { return "blend2d"; }
    void prepare(const BenchMovie& movie) override { source = &movie; }
    void render(size_t frameIndex) override;

private:
    struct Context; // the Blend2D objects, kept out of this header
    std::unique_ptr<Context> context;
    const BenchMovie* source = nullptr; // borrowed
};
