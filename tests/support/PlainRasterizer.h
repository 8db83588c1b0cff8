// The rasterizer's computation written the plain way, for differential tests of the
// tuned one: each crossing from the closed form xStart + step * ceil(j * dx / dy),
// std::stable_sort, a pixel-by-pixel sweep and compositor. Solid colours only.
#pragma once

#include <cstdint>
#include <vector>

#include "geometry/PathSink.h"
#include "raster/Rasterizer.h"

class Path;
class Transform2D;

class PlainRasterizer : public PathSink {
public:
    void emitLine(float x0, float y0, float x1, float y1) override;

    void setTarget(uint32_t* pixels, int32_t width, int32_t height, int32_t pitch);
    void clear();
    // transform may be null; colour is premultiplied 0xAARRGGBB.
    void fill(const Path& path, const Transform2D* transform, uint32_t colour, FillRule fillRule);
    void resolveBackground(uint32_t colour);

private:
    void sweep(uint32_t colour);
    void writeSpan(int32_t x, int32_t y, int32_t count, int32_t alpha, uint32_t colour);

    std::vector<uint32_t> cells;
    const Transform2D* transform = nullptr;
    uint32_t* target = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    FillRule fillRule = FillRule::kEvenOdd;
};
