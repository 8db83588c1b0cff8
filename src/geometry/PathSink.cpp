// Pen bookkeeping and the flattening of curves and arcs into straight lines.
// All running values are floats updated in a fixed order, so the lines handed to
// emitLine are the same on every machine. Every drawing command ends its last line
// exactly on the stored end point, never on an accumulated one.
#include "geometry/PathSink.h"

#include <cmath>

namespace {

// Angular step of the arc walk, in radians of the ellipse parameter.
constexpr float kArcStep = 0.01f;
// 2π rounded to a float.
constexpr float kTwoPi = 6.2831855f;
// A half chord this little past the unit circle is taken as a half ellipse: radii that
// exactly fit the chord often come out a rounding step too small.
constexpr float kHalfChordTolerance = 1.0e-5f;
constexpr int32_t kDefaultCurveSteps = 32;

bool allFinite(float a, float b, float c, float d, float e, float f) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d) &&
           std::isfinite(e) && std::isfinite(f);
}

} // namespace

PathSink::PathSink() {
    setCurveSteps(kDefaultCurveSteps);
}

PathSink::~PathSink() = default;

void PathSink::setCurveSteps(int32_t n) {
    curveSteps = n;
    step = 1.0f / static_cast<float>(n);
    stepSquared = step * step;
    stepCubed = stepSquared * step;
}

void PathSink::beginPath() {
    startPending = true;
}

void PathSink::moveTo(float x, float y) {
    if (startPending) {
        startX = x;
        startY = y;
        startPending = false;
    }
    currentX = x;
    currentY = y;
}

void PathSink::lineTo(float x, float y) {
    emitTo(x, y);
}

void PathSink::emitTo(float x, float y) {
    emitLine(currentX, currentY, x, y);
    currentX = x;
    currentY = y;
}

void PathSink::quadTo(float cx, float cy, float x, float y) {
    const float h = step;
    const float h2 = stepSquared;
    const float ax = currentX - 2.0f * cx + x;
    const float ay = currentY - 2.0f * cy + y;
    float dx = 2.0f * h * (cx - currentX) + h2 * ax;
    float dy = 2.0f * h * (cy - currentY) + h2 * ay;
    const float ddx = 2.0f * h2 * ax;
    const float ddy = 2.0f * h2 * ay;
    float px = currentX;
    float py = currentY;
    for (int32_t i = 1; i < curveSteps; ++i) {
        px = px + dx;
        py = py + dy;
        dx = dx + ddx;
        dy = dy + ddy;
        emitTo(px, py);
    }
    emitTo(x, y);
}

void PathSink::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    const float h = step;
    const float h2 = stepSquared;
    const float h3 = stepCubed;
    const float ax = currentX - 2.0f * c1x + c2x;
    const float ay = currentY - 2.0f * c1y + c2y;
    const float bx = x + 3.0f * (c1x - c2x) - currentX;
    const float by = y + 3.0f * (c1y - c2y) - currentY;
    float dx = 3.0f * h * (c1x - currentX) + 3.0f * h2 * ax + h3 * bx;
    float dy = 3.0f * h * (c1y - currentY) + 3.0f * h2 * ay + h3 * by;
    float ddx = 6.0f * h2 * ax + 6.0f * h3 * bx;
    float ddy = 6.0f * h2 * ay + 6.0f * h3 * by;
    const float dddx = 6.0f * h3 * bx;
    const float dddy = 6.0f * h3 * by;
    float px = currentX;
    float py = currentY;
    for (int32_t i = 1; i < curveSteps; ++i) {
        px = px + dx;
        py = py + dy;
        dx = dx + ddx;
        dy = dy + ddy;
        ddx = ddx + dddx;
        ddy = ddy + dddy;
        emitTo(px, py);
    }
    emitTo(x, y);
}

void PathSink::arcTo(float rx, float ry, float x, float y, float, float, float) {
    const float x0 = currentX;
    const float y0 = currentY;
    // An arc without a centre (radii too small for the chord, end on the pen, zero or
    // non-finite radii or points) becomes a straight line to the end point.
    if (!allFinite(rx, ry, x, y, x0, y0) || rx == 0.0f || ry == 0.0f) {
        emitTo(x, y);
        return;
    }
    const float mx = (x0 + x) / 2.0f;
    const float my = (y0 + y) / 2.0f;
    const float u = (x0 - mx) / rx;
    const float v = (y0 - my) / ry;
    const float halfChord = std::sqrt(u * u + v * v);
    if (!(halfChord > 0.0f) || !(halfChord <= 1.0f + kHalfChordTolerance)) {
        emitTo(x, y);
        return;
    }
    const float depth = std::sqrt(std::fmax(0.0f, 1.0f - halfChord * halfChord));
    const float ox = mx - rx * depth * v / halfChord;
    const float oy = my + ry * depth * u / halfChord;
    const float theta0 = std::atan2((y0 - oy) / ry, (x0 - ox) / rx);
    float theta1 = std::atan2((y - oy) / ry, (x - ox) / rx);
    if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(theta0) ||
        !std::isfinite(theta1)) {
        emitTo(x, y);
        return;
    }
    if (theta0 > theta1) {
        theta1 = theta1 + kTwoPi;
    }
    // Both angles lie within [-π, 3π], so the walk ends after at most about 629 steps.
    float theta = theta0 + kArcStep;
    while (theta < theta1) {
        emitTo(ox + rx * std::cos(theta), oy + ry * std::sin(theta));
        theta = theta + kArcStep;
    }
    emitTo(x, y);
}

void PathSink::closePath() {
    emitLine(currentX, currentY, startX, startY);
    currentX = startX;
    currentY = startY;
    startPending = true;
}

void PathSink::endPath() {}

void PathSink::emitLine(float, float, float, float) {}
