// Pen bookkeeping and the flattening of curves and arcs (geometry/Flattening.h) into
// straight lines. Every drawing command ends its last line
// exactly on the stored end point, never on an accumulated one.
#include "geometry/PathSink.h"

#include "geometry/Flattening.h"

namespace {

constexpr int32_t kDefaultCurveSteps = 32;

} // namespace

PathSink::PathSink() {
    setCurveSteps(kDefaultCurveSteps);
}

PathSink::~PathSink() = default;

void PathSink::setCurveSteps(int32_t n) {
    const float step = 1.0f / static_cast<float>(n);
    const float squared = step * step;
    stepping = {n, step, squared, squared * step};
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
    flattening::quad(stepping.count, stepping.step, stepping.squared, currentX, currentY, cx, cy, x,
                     y, [this](float px, float py) { emitTo(px, py); });
}

void PathSink::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    flattening::cubic(stepping.count, stepping.step, stepping.squared, stepping.cubed, currentX,
                      currentY, c1x, c1y, c2x, c2y, x, y,
                      [this](float px, float py) { emitTo(px, py); });
}

void PathSink::arcTo(float rx, float ry, float x, float y, float, float, float) {
    flattening::arc(rx, ry, currentX, currentY, x, y,
                    [this](float px, float py) { emitTo(px, py); });
}

void PathSink::closePath() {
    emitLine(currentX, currentY, startX, startY);
    currentX = startX;
    currentY = startY;
    startPending = true;
}

void PathSink::endPath() {}

void PathSink::emitLine(float, float, float, float) {}
