// The same frame drawn by Cairo: painter's order, even-odd, default anti-aliasing,
// curves as curves, on an ARGB32 image surface over black, under a scale to the target.
#pragma once

#include "FrameRenderer.h"

struct _cairo;
struct _cairo_surface;

class CairoFrameRenderer final : public FrameRenderer {
public:
    CairoFrameRenderer(int32_t width, int32_t height);
    ~CairoFrameRenderer() override;
    CairoFrameRenderer(const CairoFrameRenderer&) = delete;
    CairoFrameRenderer& operator=(const CairoFrameRenderer&) = delete;

    const char* label() const override { return "cairo"; }
    void prepare(const BenchMovie& movie) override { source = &movie; }
    void render(size_t frameIndex) override;

private:
    _cairo_surface* surface = nullptr;  // owned
    _cairo* context = nullptr;          // owned
    const BenchMovie* source = nullptr; // borrowed
};
