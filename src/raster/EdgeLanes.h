// What the cell walk needs of an outline point, worked out for a run of points at once:
// whether 256x and 2y lie inside +-kFixedLimit (false when not finite), and if so the
// point's half-scanline, floor(2y); 0 when not. Four points a step with SSE2, with the
// same float operations as one point at a time. Internal to the rasterizer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "raster/Rasterizer.h"

namespace edgelanes {

inline constexpr float kSubpixels = 256.0f;
inline constexpr float kHalfScanlines = 2.0f;
inline constexpr float kLimit = static_cast<float>(Rasterizer::kFixedLimit);

// floor(v) for |v| < kFixedLimit: the truncated value is exact as a float (below 2^24
// every integer is, above it v is an integer already).
inline int32_t floorInRange(float v) {
    const auto t = static_cast<int32_t>(v);
    // Truncation is the floor from zero up (most points of a frame lie there).
    if (v >= 0.0f) {
        return t;
    }
    return static_cast<float>(t) > v ? t - 1 : t;
}

inline bool inRange(float v) {
    return std::fabs(v) < kLimit;
}

// One point.
inline void halfScanline(float x, float y, int32_t& line, bool& ok) {
    const float fy = kHalfScanlines * y;
    ok = inRange(kSubpixels * x) && inRange(fy);
    line = ok ? floorInRange(fy) : 0;
}

// Points [0, n) of xs, ys into lines and ok.
inline void halfScanlines(const float* xs, const float* ys, int32_t n, int32_t* lines, bool* ok) {
    int32_t i = 0;
#if defined(__SSE2__)
    constexpr int32_t kLanes = 4;
    const __m128 limit = _mm_set1_ps(kLimit);
    const __m128 subpixels = _mm_set1_ps(kSubpixels);
    const __m128 halfScanlines = _mm_set1_ps(kHalfScanlines);
    // Clearing the sign bit is fabs; an ordered less-than is false for NaN, as fabs(NaN) < limit.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (; i + kLanes <= n; i += kLanes) {
        const __m128 fx = _mm_mul_ps(subpixels, _mm_loadu_ps(xs + i));
        const __m128 fy = _mm_mul_ps(halfScanlines, _mm_loadu_ps(ys + i));
        const __m128 inside = _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(fx, magnitude), limit),
                                         _mm_cmplt_ps(_mm_and_ps(fy, magnitude), limit));
        // Truncation, one less where it went up (negative values with a fraction); for
        // v >= 0 the truncated value never exceeds v.
        const __m128i t = _mm_cvttps_epi32(fy);
        const __m128i up = _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), fy));
        const __m128i floored = _mm_add_epi32(t, up);
        const __m128i insideBits = _mm_castps_si128(inside);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines + i), _mm_and_si128(floored, insideBits));
        const int mask = _mm_movemask_ps(inside);
        ok[i] = (mask & 1) != 0;
        ok[i + 1] = (mask & 2) != 0;
        ok[i + 2] = (mask & 4) != 0;
        ok[i + 3] = (mask & 8) != 0;
    }
#endif
    for (; i < n; ++i) {
        halfScanline(xs[i], ys[i], lines[i], ok[i]);
    }
}

// A polyline of n <= kMaxRun edges, from point 0 through points 1..n of xs and ys, as the
// edges between in-range points see it: point i's half-scanline, which edges change
// half-scanline (the only ones with cells), and the bounding box the edges with distinct
// ends add. lines[0] is point 0's half-scanline, found beforehand.
inline constexpr int32_t kMaxRun = 32;
inline constexpr int32_t kLanes = 4;
// Room for a run's points: the start, kMaxRun more, and copies of the last up to a whole
// number of four-point steps.
inline constexpr int32_t kRunPoints = kMaxRun + kLanes;

struct Run {
    // Bit i: points i and i + 1 lie on different half-scanlines.
    uint32_t crossing;
    // Points 1..n all in range (finite, |256x| and |2y| below the limit).
    bool inRange;
    // Some edge has ends that differ; only then are the four bounds below meaningful.
    bool anyEdge;
    // The least start and greatest end of the edges whose ends differ.
    float minX;
    float minY;
    float maxX;
    float maxY;
};

// Points n + 1.. up to the next multiple of four are set to point n by the caller, which
// adds only edges with equal ends. Writes lines[1..n]. When a point is out of range the
// rest of the result is not to be used. A bound that comes out as zero may be either
// zero: which one a tie leaves is the caller's to work out.
inline Run scanRun(const float* xs, const float* ys, int32_t n, int32_t* lines) {
    Run run{0u, true, false, 0.0f, 0.0f, 0.0f, 0.0f};
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128 limit = _mm_set1_ps(kLimit);
    const __m128 subpixels = _mm_set1_ps(kSubpixels);
    const __m128 halfScanlines = _mm_set1_ps(kHalfScanlines);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 infinity = _mm_set1_ps(std::numeric_limits<float>::infinity());
    __m128 inside = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128 distinct = _mm_setzero_ps();
    __m128 minX = infinity;
    __m128 minY = infinity;
    const __m128 negativeInfinity = _mm_set1_ps(-std::numeric_limits<float>::infinity());
    __m128 maxX = negativeInfinity;
    __m128 maxY = negativeInfinity;
    // The previous step's end lines; only the top lane (the next step's first start) counts.
    __m128i ends = _mm_set_epi32(lines[0], 0, 0, 0);
    for (; i < n; i += kLanes) {
        const __m128 startX = _mm_loadu_ps(xs + i);
        const __m128 startY = _mm_loadu_ps(ys + i);
        const __m128 endX = _mm_loadu_ps(xs + i + 1);
        const __m128 endY = _mm_loadu_ps(ys + i + 1);
        // halfScanlines' work on the end points.
        const __m128 fx = _mm_mul_ps(subpixels, endX);
        const __m128 fy = _mm_mul_ps(halfScanlines, endY);
        inside = _mm_and_ps(inside, _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(fx, magnitude), limit),
                                               _mm_cmplt_ps(_mm_and_ps(fy, magnitude), limit)));
        const __m128i t = _mm_cvttps_epi32(fy);
        const __m128i up = _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), fy));
        const __m128i previous = ends;
        ends = _mm_add_epi32(t, up);
        const __m128i starts = _mm_or_si128(_mm_slli_si128(ends, 4), _mm_srli_si128(previous, 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines + i + 1), ends);
        const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(starts, ends)));
        run.crossing |= static_cast<uint32_t>(~same & 0xF) << i;
        // Edges with equal ends add nothing to the bounds: they see +-infinity instead.
        const __m128 differ = _mm_or_ps(_mm_cmpneq_ps(startX, endX), _mm_cmpneq_ps(startY, endY));
        distinct = _mm_or_ps(distinct, differ);
        minX = _mm_min_ps(minX,
                          _mm_or_ps(_mm_and_ps(differ, startX), _mm_andnot_ps(differ, infinity)));
        minY = _mm_min_ps(minY,
                          _mm_or_ps(_mm_and_ps(differ, startY), _mm_andnot_ps(differ, infinity)));
        maxX = _mm_max_ps(
            maxX, _mm_or_ps(_mm_and_ps(differ, endX), _mm_andnot_ps(differ, negativeInfinity)));
        maxY = _mm_max_ps(
            maxY, _mm_or_ps(_mm_and_ps(differ, endY), _mm_andnot_ps(differ, negativeInfinity)));
    }
    run.inRange = _mm_movemask_ps(inside) == 0xF;
    run.anyEdge = _mm_movemask_ps(distinct) != 0;
    const auto least = [](__m128 v) {
        v = _mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
        return _mm_cvtss_f32(_mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1))));
    };
    const auto greatest = [](__m128 v) {
        v = _mm_max_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 3, 2)));
        return _mm_cvtss_f32(_mm_max_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1))));
    };
    run.minX = least(minX);
    run.minY = least(minY);
    run.maxX = greatest(maxX);
    run.maxY = greatest(maxY);
#else
    run.minX = std::numeric_limits<float>::infinity();
    run.minY = run.minX;
    run.maxX = -run.minX;
    run.maxY = -run.minX;
    for (; i < n; ++i) {
        bool ok = false;
        halfScanline(xs[i + 1], ys[i + 1], lines[i + 1], ok);
        run.inRange = run.inRange && ok;
        if (lines[i + 1] != lines[i]) {
            run.crossing |= 1u << i;
        }
        if (xs[i] != xs[i + 1] || ys[i] != ys[i + 1]) {
            run.anyEdge = true;
            run.minX = std::min(xs[i], run.minX);
            run.minY = std::min(ys[i], run.minY);
            run.maxX = std::max(xs[i + 1], run.maxX);
            run.maxY = std::max(ys[i + 1], run.maxY);
        }
    }
#endif
    return run;
}

} // namespace edgelanes
