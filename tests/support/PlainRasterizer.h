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
    // The pen and the commands kept here, written apart from PathSink's and the rasterizer's
    // outline walk (geometry/Pen.h), so that the differential tests check those too. Curves
    // and arcs go through the same flattening steps as PathSink's.
    void beginPath() override;
    void moveTo(float x, float y) override;
    void lineTo(float x, float y) override;
    void quadTo(float cx, float cy, float x, float y) override;
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) override;
    void arcTo(float rx, float ry, float x, float y, float e, float f, float g) override;
    void closePath() override;
    void emitLine(float x0, float y0, float x1, float y1) override;

    void setTarget(uint32_t* pixels, int32_t width, int32_t height, int32_t pitch);
    void clear();
    // transform may be null; colour is premultiplied 0xAARRGGBB.
    void fill(const Path& path, const Transform2D* transform, uint32_t colour, FillRule fillRule);
    void resolveBackground(uint32_t colour);

private:
    void sweep(uint32_t colour);
    void writeSpan(int32_t x, int32_t y, int32_t count, int32_t alpha, uint32_t colour);

    float penStartX = 0.0f;
    float penStartY = 0.0f;
    float penX = 0.0f;
    float penY = 0.0f;
    bool penStartPending = true;
    std::vector<uint32_t> cells;
    const Transform2D* transform = nullptr;
    uint32_t* target = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    FillRule fillRule = FillRule::kEvenOdd;
};
