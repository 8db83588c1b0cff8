// The anti-aliased scanline rasterizer. Straight pieces of an outline become packed
// crossing cells (CellWalk.cpp), which are radix-sorted (CellSort.cpp), swept into
// coverage runs (Sweep.cpp) and composited *under* the target (SpanWriter.cpp).
// Between clear and resolveBackground a pixel's alpha only grows; 255 is final.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry/PathSink.h"

class Path;
class Paint;
class Transform2D;

// One crossing of a half-scanline: row in bits 31..21, column 20..9, position inside
// the pixel (1/256) 8..1, direction 0 (bit 0 set when the edge runs down). Row sits in
// the top bits so that sorting raw words orders cells by row, then column.
using Cell = uint32_t;

class Rasterizer : public PathSink {
public:
    // Largest target the cell word can address.
    static constexpr int32_t kMaxWidth = 4096;
    static constexpr int32_t kMaxHeight = 2048;

    Rasterizer();
    ~Rasterizer() override;
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    void emitLine(float x0, float y0, float x1, float y1) override;

    // pitch is in pixels. The caller owns the pixels.
    void setTarget(uint32_t* pixels, int32_t width, int32_t height, int32_t pitch);
    // Every pixel of the target becomes 0: empty, nothing drawn yet.
    void clear();
    // fillRule 0: even-odd; anything else: non-zero winding.
    void fill(const Path& path, Paint& paint, int32_t fillRule);
    void fillTransformed(const Path& path, const Transform2D& transform, Paint& paint,
                         int32_t fillRule);
    // Puts colour (alpha taken as 255) under every pixel that is not yet opaque.
    void resolveBackground(uint32_t colour);
};

// The one rasterizer of the show.
extern Rasterizer rasterizer;
