// Gradient sampling: clamp, find the stop pair, interpolate, premultiply.
#include "GradientPaint.h"

#include <algorithm>
#include <cmath>

GradientPaint::GradientPaint(std::vector<GradientStop> gradientStops)
    : stops(std::move(gradientStops)) {}

void GradientPaint::seek(int32_t x, int32_t y) {
    currentX = x;
    currentY = y;
}

uint32_t GradientPaint::nextColour(int32_t skip) {
    uint32_t colour = 0;
    if (skip == 0) {
        colour = colourAt(
            positionAt(static_cast<float>(currentX) + 0.5f, static_cast<float>(currentY) + 0.5f));
    }
    ++currentX;
    return colour;
}

uint32_t GradientPaint::colourAt(float t) const {
    if (stops.empty())
        return 0;
    t = std::clamp(t, 0.0f, 1.0f);
    if (t <= stops.front().position)
        return premultiplied(stops.front().colour, stops.front().alpha);
    for (size_t i = 1; i < stops.size(); ++i) {
        const GradientStop& a = stops[i - 1];
        const GradientStop& b = stops[i];
        if (t <= b.position) {
            const float span = b.position - a.position;
            const float u = span > 0.0f ? (t - a.position) / span : 1.0f;
            return premultiplied(mix(a.colour, b.colour, u), a.alpha + (b.alpha - a.alpha) * u);
        }
    }
    return premultiplied(stops.back().colour, stops.back().alpha);
}

LinearGradientPaint::LinearGradientPaint(float x0, float y0, float x1, float y1,
                                         std::vector<GradientStop> gradientStops)
    : GradientPaint(std::move(gradientStops)), originX(x0), originY(y0) {
    const float dx = x1 - x0;
    const float dy = y1 - y0;
    const float lengthSquared = std::max(dx * dx + dy * dy, 1e-6f);
    dirX = dx / lengthSquared;
    dirY = dy / lengthSquared;
}

float LinearGradientPaint::positionAt(float x, float y) const {
    return (x - originX) * dirX + (y - originY) * dirY;
}

RadialGradientPaint::RadialGradientPaint(float cx, float cy, float rx, float ry,
                                         std::vector<GradientStop> gradientStops)
    : GradientPaint(std::move(gradientStops)), centreX(cx), centreY(cy),
      radiusX(std::max(rx, 1e-3f)), radiusY(std::max(ry, 1e-3f)) {}

float RadialGradientPaint::positionAt(float x, float y) const {
    const float u = (x - centreX) / radiusX;
    const float v = (y - centreY) / radiusY;
    return std::sqrt(u * u + v * v);
}
