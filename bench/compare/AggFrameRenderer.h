// The same frame drawn by AGG: scanline anti-aliasing with the even-odd rule, curves
// through conv_curve after the scale to the target, solid scanline renderer on
// premultiplied BGRA over black.
#pragma once

#include <memory>

#include "FrameRenderer.h"

class AggFrameRenderer final : public FrameRenderer {
public:
    AggFrameRenderer(int32_t width, int32_t height);
    ~AggFrameRenderer() override;
    AggFrameRenderer(const AggFrameRenderer&) = delete;
    AggFrameRenderer& operator=(const AggFrameRenderer&) = delete;

    const char* label() const override { return "agg"; }
    void prepare(const BenchMovie& movie) override { source = &movie; }
    void render(size_t frameIndex) override;

private:
    struct Pipeline; // the AGG objects, kept out of this header
    std::unique_ptr<Pipeline> pipeline;
    const BenchMovie* source = nullptr; // borrowed
};
