// Curve and arc flattening, shared by PathSink and by outline walkers that must emit the
// very same points without a virtual call per piece. Each routine hands every point after
// the start, in order, to emitTo(x, y); the last is always the exact end point. All
// running values are floats updated in a fixed order, so the points are the same on every
// machine and for every caller.
#pragma once

#include <array>
#include <bit>

#include "geometry/Cpu.h"
#include "geometry/FloatMath.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#if TILSEN_SSE2
#include <immintrin.h>
#endif

namespace flattening {

// Angular step of the arc walk, in radians of the ellipse parameter.
inline constexpr float kArcStep = 0.01f;
// 2π rounded to a float.
inline constexpr float kTwoPi = 6.2831855f;
// A half chord this little past the unit circle is taken as a half ellipse: radii that
// exactly fit the chord often come out a rounding step too small.
inline constexpr float kHalfChordTolerance = 1.0e-5f;
// Arc points worked out before they are handed on.
inline constexpr int32_t kArcBatch = 32;

// Forward differences of the quadratic from (x0, y0) through control (cx, cy) to (x, y),
// steps pieces of parameter step h (h2 = h * h).
template <class EmitTo>
inline void quad(int32_t steps, float h, float h2, float x0, float y0, float cx, float cy, float x,
                 float y, EmitTo&& emitTo) {
    const float ax = x0 - 2.0f * cx + x;
    const float ay = y0 - 2.0f * cy + y;
    float dx = 2.0f * h * (cx - x0) + h2 * ax;
    float dy = 2.0f * h * (cy - y0) + h2 * ay;
    const float ddx = 2.0f * h2 * ax;
    const float ddy = 2.0f * h2 * ay;
    float px = x0;
    float py = y0;
    for (int32_t i = 1; i < steps; ++i) {
        px = px + dx;
        py = py + dy;
        dx = dx + ddx;
        dy = dy + ddy;
        emitTo(px, py);
    }
    emitTo(x, y);
}

// The cubic from (x0, y0) through (c1x, c1y) and (c2x, c2y) to (x, y); h3 = h2 * h.
template <class EmitTo>
inline void cubic(int32_t steps, float h, float h2, float h3, float x0, float y0, float c1x,
                  float c1y, float c2x, float c2y, float x, float y, EmitTo&& emitTo) {
    const float ax = x0 - 2.0f * c1x + c2x;
    const float ay = y0 - 2.0f * c1y + c2y;
    const float bx = x + 3.0f * (c1x - c2x) - x0;
    const float by = y + 3.0f * (c1y - c2y) - y0;
    float dx = 3.0f * h * (c1x - x0) + 3.0f * h2 * ax + h3 * bx;
    float dy = 3.0f * h * (c1y - y0) + 3.0f * h2 * ay + h3 * by;
    float ddx = 6.0f * h2 * ax + 6.0f * h3 * bx;
    float ddy = 6.0f * h2 * ay + 6.0f * h3 * by;
    const float dddx = 6.0f * h3 * bx;
    const float dddy = 6.0f * h3 * by;
    float px = x0;
    float py = y0;
    for (int32_t i = 1; i < steps; ++i) {
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

// Curve points worked out before they are handed on by quadBatches and cubicBatches.
inline constexpr int32_t kCurveBatch = 32;

// differenceBatches one coordinate at a time.
template <std::size_t kDifferences, class EmitBatch>
inline void
differenceBatchesScalar(int32_t steps, float x0, float y0, const float (&dx)[kDifferences],
                        const float (&dy)[kDifferences], float x, float y, EmitBatch&& emitBatch) {
    float xs[kCurveBatch];
    float ys[kCurveBatch];
    int32_t n = 0;
    float px = x0;
    float py = y0;
    float vx[kDifferences];
    float vy[kDifferences];
    for (std::size_t i = 0; i < kDifferences; ++i) {
        vx[i] = dx[i];
        vy[i] = dy[i];
    }
    for (int32_t step = 1; step < steps; ++step) {
        px = px + vx[0];
        py = py + vy[0];
        for (std::size_t i = 0; i + 1 < kDifferences; ++i) {
            vx[i] = vx[i] + vx[i + 1];
            vy[i] = vy[i] + vy[i + 1];
        }
        xs[n] = px;
        ys[n] = py;
        if (++n == kCurveBatch) {
            emitBatch(&xs[0], &ys[0], n);
            n = 0;
        }
    }
    xs[n] = x;
    ys[n] = y;
    emitBatch(&xs[0], &ys[0], n + 1);
}

#if TILSEN_SSE2
// differenceBatchesScalar with x and y in two lanes of one register, each lane doing the same
// additions in the same order.
template <std::size_t kDifferences, class EmitBatch>
inline void differenceBatchesSse2(int32_t steps, float x0, float y0,
                                  const float (&dx)[kDifferences], const float (&dy)[kDifferences],
                                  float x, float y, EmitBatch&& emitBatch) {
    float xs[kCurveBatch];
    float ys[kCurveBatch];
    int32_t n = 0;
    __m128 point = _mm_setr_ps(x0, y0, 0.0f, 0.0f);
    __m128 difference[kDifferences];
    for (std::size_t i = 0; i < kDifferences; ++i) {
        difference[i] = _mm_setr_ps(dx[i], dy[i], 0.0f, 0.0f);
    }
    // Whole batches, then the rest with the end point.
    for (int32_t left = steps - 1; left > 0; left -= n) {
        if (n == kCurveBatch) {
            emitBatch(&xs[0], &ys[0], n);
        }
        n = left < kCurveBatch ? left : kCurveBatch;
        for (int32_t k = 0; k < n; ++k) {
            point = _mm_add_ps(point, difference[0]);
            for (std::size_t i = 0; i + 1 < kDifferences; ++i) {
                difference[i] = _mm_add_ps(difference[i], difference[i + 1]);
            }
            xs[k] = _mm_cvtss_f32(point);
            ys[k] = _mm_cvtss_f32(_mm_shuffle_ps(point, point, _MM_SHUFFLE(1, 1, 1, 1)));
        }
    }
    if (n == kCurveBatch) {
        emitBatch(&xs[0], &ys[0], n);
        n = 0;
    }
    xs[n] = x;
    ys[n] = y;
    emitBatch(&xs[0], &ys[0], n + 1);
}
#endif

// The walk of quadBatches and cubicBatches: from (x0, y0), each of the steps - 1 points moves
// by the first difference (dx[0], dy[0]), which then moves by the second, and so on, the last
// difference staying as it is; then the exact end point. Each running value moves by the old
// value of the next, as quad and cubic move theirs. The points go to emitBatch(xs, ys, n) at
// most kCurveBatch a call, in order, the end point last; the SSE2 walk from
// cpu::SimdLevel::sse2 on.
template <std::size_t kDifferences, class EmitBatch>
inline void differenceBatches(int32_t steps, float x0, float y0, const float (&dx)[kDifferences],
                              const float (&dy)[kDifferences], float x, float y,
                              EmitBatch&& emitBatch) {
#if TILSEN_SSE2
    if (cpu::level() >= cpu::SimdLevel::sse2) {
        differenceBatchesSse2(steps, x0, y0, dx, dy, x, y, static_cast<EmitBatch&&>(emitBatch));
        return;
    }
    // Here only where a test forces the scalar level: out of line, so that it takes no room
    // in the walkers that inline the SSE2 way.
    [&]() __attribute__((noinline, cold)) {
        differenceBatchesScalar(steps, x0, y0, dx, dy, x, y, static_cast<EmitBatch&&>(emitBatch));
    }
    ();
#else
    differenceBatchesScalar(steps, x0, y0, dx, dy, x, y, static_cast<EmitBatch&&>(emitBatch));
#endif
}

// quad, the points handed on in batches as differenceBatches hands them: quad's points.
template <class EmitBatch>
inline void quadBatches(int32_t steps, float h, float h2, float x0, float y0, float cx, float cy,
                        float x, float y, EmitBatch&& emitBatch) {
    const float ax = x0 - 2.0f * cx + x;
    const float ay = y0 - 2.0f * cy + y;
    const float dx[2] = {2.0f * h * (cx - x0) + h2 * ax, 2.0f * h2 * ax};
    const float dy[2] = {2.0f * h * (cy - y0) + h2 * ay, 2.0f * h2 * ay};
    differenceBatches(steps, x0, y0, dx, dy, x, y, static_cast<EmitBatch&&>(emitBatch));
}

// cubic, in batches as quadBatches hands on quad's points.
template <class EmitBatch>
inline void cubicBatches(int32_t steps, float h, float h2, float h3, float x0, float y0, float c1x,
                         float c1y, float c2x, float c2y, float x, float y, EmitBatch&& emitBatch) {
    const float ax = x0 - 2.0f * c1x + c2x;
    const float ay = y0 - 2.0f * c1y + c2y;
    const float bx = x + 3.0f * (c1x - c2x) - x0;
    const float by = y + 3.0f * (c1y - c2y) - y0;
    const float dx[3] = {3.0f * h * (c1x - x0) + 3.0f * h2 * ax + h3 * bx,
                         6.0f * h2 * ax + 6.0f * h3 * bx, 6.0f * h3 * bx};
    const float dy[3] = {3.0f * h * (c1y - y0) + 3.0f * h2 * ay + h3 * by,
                         6.0f * h2 * ay + 6.0f * h3 * by, 6.0f * h3 * by};
    differenceBatches(steps, x0, y0, dx, dy, x, y, static_cast<EmitBatch&&>(emitBatch));
}

// The elliptic arc of radii (rx, ry) from (x0, y0) to (x, y), counter-clockwise in the
// parameter from the start, in parameter steps of arcStep (kArcStep for the fixed walk, never
// below kMinFineArcStep), a batch of points at a time: emitBatch(xs, ys, n) gets the points
// after the start in order, at most kArcBatch a call, the last call the exact end point
// alone. An arc without a centre (radii too small for the chord, end on the start, zero or
// non-finite radii or points) is that end point alone: a straight line.
template <class EmitBatch>
inline void arcBatches(float arcStep, float rx, float ry, float x0, float y0, float x, float y,
                       EmitBatch&& emitBatch) {
    const float end[2] = {x, y};
    const auto line = [&]() { emitBatch(&end[0], &end[1], 1); };
    const bool finite = std::isfinite(rx) && std::isfinite(ry) && std::isfinite(x) &&
                        std::isfinite(y) && std::isfinite(x0) && std::isfinite(y0);
    if (!finite || rx == 0.0f || ry == 0.0f) {
        line();
        return;
    }
    const float mx = (x0 + x) / 2.0f;
    const float my = (y0 + y) / 2.0f;
    const float u = (x0 - mx) / rx;
    const float v = (y0 - my) / ry;
    const float halfChord = std::sqrt(u * u + v * v);
    if (!(halfChord > 0.0f) || !(halfChord <= 1.0f + kHalfChordTolerance)) {
        line();
        return;
    }
    const float depth = std::sqrt(std::fmax(0.0f, 1.0f - halfChord * halfChord));
    const float ox = mx - rx * depth * v / halfChord;
    const float oy = my + ry * depth * u / halfChord;
    const float theta0 = floatmath::atan2((y0 - oy) / ry, (x0 - ox) / rx);
    float theta1 = floatmath::atan2((y - oy) / ry, (x - ox) / rx);
    if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(theta0) ||
        !std::isfinite(theta1)) {
        line();
        return;
    }
    if (theta0 > theta1) {
        theta1 = theta1 + kTwoPi;
    }
    // Both angles lie within [-π, 3π], so the walk ends after at most about 2π / arcStep
    // steps (629 for kArcStep, 6434 for kMinFineArcStep).
    // The points are (ox + rx·cos θ, oy + ry·sin θ) for θ = θ0 + step, + step, ... below θ1.
    // They are worked out a batch at a time and then handed on: first the batch's angles by
    // the running sum, then their sines and cosines together (several side by side where the
    // CPU can), then the points. Every value is the one the walk point by point gives.
    float xs[kArcBatch];
    float ys[kArcBatch];
    float thetas[kArcBatch];
    float theta = theta0 + arcStep;
    while (theta < theta1) {
        // A whole batch of the running sum, then the count of its angles below θ1: adding a
        // positive step never makes a float smaller, so those are the batch's first n, and
        // when n falls short the sum has reached θ1 and the walk ends. The sum is one chain of
        // additions; unrolled, its loop costs little beside them.
#pragma GCC unroll 8
        for (int32_t i = 0; i < kArcBatch; ++i) {
            thetas[i] = theta;
            theta = theta + arcStep;
        }
        int32_t n = 0;
        for (int32_t i = 0; i < kArcBatch; ++i) {
            n += thetas[i] < theta1 ? 1 : 0;
        }
        floatmath::sinCosBatch(&thetas[0], &ys[0], &xs[0], n);
        for (int32_t i = 0; i < n; ++i) {
            xs[i] = ox + rx * xs[i];
            ys[i] = oy + ry * ys[i];
        }
        emitBatch(&xs[0], &ys[0], n);
    }
    line();
}

// arcBatches, every point handed to emitTo(x, y) on its own.
template <class EmitTo>
inline void arc(float arcStep, float rx, float ry, float x0, float y0, float x, float y,
                EmitTo&& emitTo) {
    arcBatches(arcStep, rx, ry, x0, y0, x, y,
               [&emitTo](const float* xs, const float* ys, int32_t n) {
                   for (int32_t i = 0; i < n; ++i) {
                       emitTo(xs[i], ys[i]);
                   }
               });
}

// The fixed 0.01-radian walk.
template <class EmitTo>
inline void arc(float rx, float ry, float x0, float y0, float x, float y, EmitTo&& emitTo) {
    arc(kArcStep, rx, ry, x0, y0, x, y, static_cast<EmitTo&&>(emitTo));
}

// Fine flattening cuts each curve for the size it is shown at: with the linear part of
// the map to output pixels, no chord strays more than kFineTolerance pixels from the
// mapped curve. The counts are worked out for kFineBudget, leaving the rest of the
// tolerance to the rounding of the float walks.
inline constexpr double kFineTolerance = 0.25;
inline constexpr double kFineBudget = 0.2;
// The most pieces fine flattening cuts a curve into, and the smallest arc step: enough
// for curves tens of thousands of pixels across, and a bound on the work a hostile
// outline can ask for.
inline constexpr int32_t kMaxFineCurveSteps = 256;
inline constexpr float kMinFineArcStep = 1.0f / 1024.0f;

// x' = xx·x + xy·y, y' = yx·x + yy·y: output pixels per path unit.
struct LinearMap {
    float xx;
    float xy;
    float yx;
    float yy;
};

// The linear part of a row-major 3x3 affine matrix.
inline LinearMap linearPartOf(const std::array<float, 9>& m) {
    return {m[0], m[1], m[3], m[4]};
}

// Squared length of the vector (x, y) once mapped.
inline double mappedSquare(const LinearMap& map, double x, double y) {
    const double mx = static_cast<double>(map.xx) * x + static_cast<double>(map.xy) * y;
    const double my = static_cast<double>(map.yx) * x + static_cast<double>(map.yy) * y;
    return mx * mx + my * my;
}

// Pieces for a curve whose chords stray at most bend * h² for parameter step h, so that
// bend / n² <= kFineBudget; fallback when bend is not a number.
inline int32_t fineSteps(double bend, int32_t fallback) {
    if (!(bend >= 0.0) || !std::isfinite(bend)) {
        return fallback;
    }
    const double n = std::ceil(std::sqrt(bend / kFineBudget));
    return n >= kMaxFineCurveSteps ? kMaxFineCurveSteps : n < 1.0 ? 1 : static_cast<int32_t>(n);
}

// A quadratic bends by its second difference A = p0 - 2c + p1: B'' = 2A, and a chord
// over parameter step h strays at most |B''| h² / 8 = |A| h² / 4 from the curve: its
// bend, |A| / 4, is quadBend(quadSquare(...)) (fineSteps takes it).
inline double quadSquare(const LinearMap& map, float x0, float y0, float cx, float cy, float x,
                         float y) {
    const double ax =
        static_cast<double>(x0) - 2.0 * static_cast<double>(cx) + static_cast<double>(x);
    const double ay =
        static_cast<double>(y0) - 2.0 * static_cast<double>(cy) + static_cast<double>(y);
    return mappedSquare(map, ax, ay);
}
inline double quadBend(double square) {
    return std::sqrt(square) / 4.0;
}

// A cubic's B'' = 6((1 - t) a + t b) with a = p0 - 2c1 + c2 and b = c1 - 2c2 + p3, so
// |B''| <= 6 max(|a|, |b|) and a chord strays at most 3/4 max(|a|, |b|) h². The bend is
// cubicBend(cubicSquare(...)): the square root keeps the order, so the greater square
// gives the greater length (fmax leaves out a NaN square, as it would a NaN length).
inline double cubicSquare(const LinearMap& map, float x0, float y0, float c1x, float c1y, float c2x,
                          float c2y, float x, float y) {
    const auto d = [](float p, float q, float r) {
        return static_cast<double>(p) - 2.0 * static_cast<double>(q) + static_cast<double>(r);
    };
    return std::fmax(mappedSquare(map, d(x0, c1x, c2x), d(y0, c1y, c2y)),
                     mappedSquare(map, d(c1x, c2x, x), d(c1y, c2y, y)));
}
inline double cubicBend(double square) {
    return 0.75 * std::sqrt(square);
}

// fineSteps(bend(square), fallback) for a bend that never falls as its square grows (the
// square root, products and quotients by positive constants, the ceiling: each keeps the
// order), without them: each count's least square is found once, and a square is placed
// among them from a float estimate, so that a curve costs a comparison or two instead of
// two square roots, a division and a ceiling in a chain.
class FineStepCounts {
public:
    template <class Bend> explicit FineStepCounts(const Bend& bend) {
        const auto steps = [&bend](uint64_t bits) {
            return fineSteps(bend(std::bit_cast<double>(bits)), 0);
        };
        // Non-negative doubles are ordered as their bits.
        const uint64_t most = std::bit_cast<uint64_t>(std::numeric_limits<double>::max());
        least[0] = 0.0;
        least[1] = 0.0;
        uint64_t low = 0;
        for (int32_t n = 2; n <= kMaxFineCurveSteps; ++n) {
            uint64_t high = most;
            while (low < high) {
                const uint64_t middle = low + (high - low) / 2;
                if (steps(middle) >= n) {
                    high = middle;
                } else {
                    low = middle + 1;
                }
            }
            least[n] = std::bit_cast<double>(low);
        }
        // n ≈ sqrt(bend(square) / kFineBudget), the ceiling taken by the search below.
        scale = static_cast<float>(bend(1.0) / kFineBudget);
    }

    int32_t operator()(double square, int32_t fallback) const {
        // A NaN or infinite square, and so bend.
        if (!(square >= 0.0 && square <= std::numeric_limits<double>::max())) {
            return fallback;
        }
        const float estimate = std::sqrt(scale * std::sqrt(static_cast<float>(square)));
        int32_t n = estimate < static_cast<float>(kMaxFineCurveSteps)
                        ? static_cast<int32_t>(estimate) + 1
                        : kMaxFineCurveSteps;
        while (n < kMaxFineCurveSteps && square >= least[n + 1]) {
            ++n;
        }
        while (n > 1 && square < least[n]) {
            --n;
        }
        return n;
    }

private:
    // least[n]: the least square whose count is at least n (n >= 1).
    double least[kMaxFineCurveSteps + 1];
    float scale;
};

// The arc's points are (rx cos θ, ry sin θ) about its centre; mapped, the second
// derivative is at most R long: max(|xx rx|, |yy ry|) for a scale, the matrix norm bound
// otherwise. A chord over step h strays at most R h² / 8, so h = sqrt(8 budget / R), and
// never more than the fixed kArcStep.
inline float fineArcStep(const LinearMap& map, float rx, float ry) {
    const double arx = std::fabs(static_cast<double>(rx));
    const double ary = std::fabs(static_cast<double>(ry));
    double bend = 0.0;
    if (map.xy == 0.0f && map.yx == 0.0f) {
        bend = std::fmax(std::fabs(static_cast<double>(map.xx)) * arx,
                         std::fabs(static_cast<double>(map.yy)) * ary);
    } else {
        const double xx = static_cast<double>(map.xx);
        const double xy = static_cast<double>(map.xy);
        const double yx = static_cast<double>(map.yx);
        const double yy = static_cast<double>(map.yy);
        const double norm = std::sqrt(xx * xx + xy * xy + yx * yx + yy * yy);
        bend = norm * std::fmax(arx, ary);
    }
    if (!(bend > 0.0) || !std::isfinite(bend)) {
        return kArcStep;
    }
    const double h = std::sqrt(8.0 * kFineBudget / bend);
    if (h >= static_cast<double>(kArcStep)) {
        return kArcStep;
    }
    return h <= static_cast<double>(kMinFineArcStep) ? kMinFineArcStep : static_cast<float>(h);
}

} // namespace flattening
