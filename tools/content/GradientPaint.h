// Paints whose colour varies over the shape: linear and radial gradients through colour
// stops. The pictures use them; the movies hold solid colours only. Colours are
// premultiplied; each pixel is sampled at its centre.
#pragma once

#include <vector>

#include "Colour.h"
#include "geometry/Paint.h"

struct GradientStop {
    float position; // 0..1, increasing
    Rgb colour;
    float alpha = 1.0f;
};

class GradientPaint : public Paint {
public:
    explicit GradientPaint(std::vector<GradientStop> gradientStops);

    void seek(int32_t x, int32_t y) override;
    uint32_t nextColour(int32_t skip) override;
    bool isSolid() const override { return false; }

protected:
    // Gradient position (0..1 before clamping) of the point (x, y).
    virtual float positionAt(float x, float y) const = 0;

private:
    uint32_t colourAt(float t) const;

    std::vector<GradientStop> stops;
    int32_t currentX = 0;
    int32_t currentY = 0;
};

class LinearGradientPaint final : public GradientPaint {
public:
    // Position 0 at (x0, y0), 1 at (x1, y1), constant across the line between them.
    LinearGradientPaint(float x0, float y0, float x1, float y1,
                        std::vector<GradientStop> gradientStops);

protected:
    float positionAt(float x, float y) const override;

private:
    float originX;
    float originY;
    float dirX;
    float dirY;
};

class RadialGradientPaint final : public GradientPaint {
public:
    // Position 0 at the centre, 1 at distance rx horizontally or ry vertically.
    RadialGradientPaint(float cx, float cy, float rx, float ry,
                        std::vector<GradientStop> gradientStops);

protected:
    float positionAt(float x, float y) const override;

private:
    float centreX;
    float centreY;
    float radiusX;
    float radiusY;
};
