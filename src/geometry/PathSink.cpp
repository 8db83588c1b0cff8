// Pen bookkeeping and the flattening of curves and arcs (geometry/Flattening.h) into
// straight lines. Every drawing command ends its last line
// exactly on the stored end point, never on an accumulated one.
#include "geometry/PathSink.h"

#include <array>

#include "geometry/Flattening.h"

namespace {

constexpr int32_t kDefaultCurveSteps = 32;

const flattening::FineStepCounts& quadCounts() {
    static const flattening::FineStepCounts counts(flattening::quadBend);
    return counts;
}

const flattening::FineStepCounts& cubicCounts() {
    static const flattening::FineStepCounts counts(flattening::cubicBend);
    return counts;
}

} // namespace

PathSink::PathSink() {
    setCurveSteps(kDefaultCurveSteps);
}

PathSink::~PathSink() = default;

PathSink::CurveSteps PathSink::stepsOf(int32_t n) {
    const float step = 1.0f / static_cast<float>(n);
    const float squared = step * step;
    return {n, step, squared, squared * step};
}

PathSink::CurveSteps PathSink::fineStepsOf(int32_t n) const {
    // Every fine count is one of these (the fallback, stepping's, is at hand).
    static const std::array<CurveSteps, flattening::kMaxFineCurveSteps + 1> all = [] {
        std::array<CurveSteps, flattening::kMaxFineCurveSteps + 1> steps{};
        for (int32_t i = 1; i <= flattening::kMaxFineCurveSteps; ++i) {
            steps[static_cast<std::size_t>(i)] = stepsOf(i);
        }
        return steps;
    }();
    return n >= 1 && n <= flattening::kMaxFineCurveSteps ? all[static_cast<std::size_t>(n)]
                                                         : stepping;
}

void PathSink::setCurveSteps(int32_t n) {
    stepping = stepsOf(n);
}

void PathSink::setFineFlattening(const flattening::LinearMap* map) {
    fine = map != nullptr;
    if (map != nullptr) {
        fineMap = *map;
    }
}

PathSink::CurveSteps PathSink::quadSteps(float x0, float y0, float cx, float cy, float x,
                                         float y) const {
    if (!fine) {
        return stepping;
    }
    return fineStepsOf(
        quadCounts()(flattening::quadSquare(fineMap, x0, y0, cx, cy, x, y), stepping.count));
}

PathSink::CurveSteps PathSink::cubicSteps(float x0, float y0, float c1x, float c1y, float c2x,
                                          float c2y, float x, float y) const {
    if (!fine) {
        return stepping;
    }
    return fineStepsOf(cubicCounts()(
        flattening::cubicSquare(fineMap, x0, y0, c1x, c1y, c2x, c2y, x, y), stepping.count));
}

float PathSink::arcStep(float rx, float ry) const {
    return fine ? flattening::fineArcStep(fineMap, rx, ry) : flattening::kArcStep;
}

void PathSink::beginPath() {
    outlinePen.beginPath();
}

void PathSink::moveTo(float x, float y) {
    outlinePen.moveTo({x, y});
}

void PathSink::lineTo(float x, float y) {
    emitTo(x, y);
}

void PathSink::emitTo(float x, float y) {
    emitLine(outlinePen.current.x, outlinePen.current.y, x, y);
    outlinePen.current = {x, y};
}

void PathSink::quadTo(float cx, float cy, float x, float y) {
    const Point2 from = outlinePen.current;
    const CurveSteps steps = quadSteps(from.x, from.y, cx, cy, x, y);
    flattening::quad(steps.count, steps.step, steps.squared, from.x, from.y, cx, cy, x, y,
                     [this](float px, float py) { emitTo(px, py); });
}

void PathSink::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    const Point2 from = outlinePen.current;
    const CurveSteps steps = cubicSteps(from.x, from.y, c1x, c1y, c2x, c2y, x, y);
    flattening::cubic(steps.count, steps.step, steps.squared, steps.cubed, from.x, from.y, c1x, c1y,
                      c2x, c2y, x, y, [this](float px, float py) { emitTo(px, py); });
}

void PathSink::arcTo(float rx, float ry, float x, float y, float, float, float) {
    flattening::arc(arcStep(rx, ry), rx, ry, outlinePen.current.x, outlinePen.current.y, x, y,
                    [this](float px, float py) { emitTo(px, py); });
}

void PathSink::closePath() {
    emitLine(outlinePen.current.x, outlinePen.current.y, outlinePen.start.x, outlinePen.start.y);
    outlinePen.closePath();
}

void PathSink::endPath() {}

void PathSink::emitLine(float, float, float, float) {}
