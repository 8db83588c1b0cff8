// What the cell walk needs of an outline point, worked out for a run of points at once:
// whether 256x and 2y lie inside +-kFixedLimit (false when not finite), and if so the
// point's half-scanline, floor(2y); 0 when not. scanRun adds what the run's edges need:
// which cross a half-scanline, and the bounds. One point a step at the scalar level, four
// with SSE2, eight with AVX2, all with the same float operations on each point. Internal to
// the rasterizer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "geometry/Cpu.h"
#include "raster/Rasterizer.h"

#if TILSEN_X86_64
#include <immintrin.h>
#endif

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

// Points [0, n) of xs, ys into lines and ok, four a step from cpu::SimdLevel::sse2 on.
inline void halfScanlines(const float* xs, const float* ys, int32_t n, int32_t* lines, bool* ok) {
    int32_t i = 0;
#if TILSEN_X86_64
    constexpr int32_t kLanes = 4;
    const __m128 limit = _mm_set1_ps(kLimit);
    const __m128 subpixels = _mm_set1_ps(kSubpixels);
    const __m128 halfScanlines = _mm_set1_ps(kHalfScanlines);
    // Clearing the sign bit is fabs; an ordered less-than is false for NaN, as fabs(NaN) < limit.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (; cpu::level() >= cpu::SimdLevel::sse2 && i + kLanes <= n; i += kLanes) {
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

// A polyline of n <= kMaxRun edges, from a start point with half-scanline startLine
// through the n points of xs and ys, as the edges between in-range points see it: each
// point's half-scanline, which edges change half-scanline (the only ones with cells), and
// the bounding box that the edges with distinct ends add.
inline constexpr int32_t kMaxRun = 32;
inline constexpr int32_t kLanes = 4;
// Room for a run's half-scanlines, up to a whole number of four-point steps.
inline constexpr int32_t kRunLines = kMaxRun + kLanes;

struct Run {
    // Bit i: the edge into point i joins different half-scanlines.
    uint32_t crossing;
    // All n points in range (finite, |256x| and |2y| below the limit).
    bool inRange;
    // Some edge has ends that differ; only then are the four bounds below meaningful.
    bool anyEdge;
    // The least start and greatest end of the edges whose ends differ.
    float minX;
    float minY;
    float maxX;
    float maxY;
};

// Writes lines[0, n) (and what follows, up to a multiple of four). When a point is out of
// range the rest of the result is not to be used. A bound that comes out as zero may be
// either zero: which one a tie leaves is the caller's to work out.
inline Run scanRunScalar(float startX, float startY, int32_t startLine, const float* xs,
                         const float* ys, int32_t n, int32_t* lines) {
    Run run{0u, true, false, 0.0f, 0.0f, 0.0f, 0.0f};
    run.minX = std::numeric_limits<float>::infinity();
    run.minY = run.minX;
    run.maxX = -run.minX;
    run.maxY = -run.minX;
    float x = startX;
    float y = startY;
    int32_t line = startLine;
    for (int32_t i = 0; i < n; ++i) {
        bool ok = false;
        halfScanline(xs[i], ys[i], lines[i], ok);
        run.inRange = run.inRange && ok;
        if (lines[i] != line) {
            run.crossing |= 1u << i;
        }
        if (x != xs[i] || y != ys[i]) {
            // A NaN start (the pen may lie out of range) takes no part, as in the lanes.
            run.anyEdge = true;
            run.minX = x < run.minX ? x : run.minX;
            run.minY = y < run.minY ? y : run.minY;
            run.maxX = xs[i] > run.maxX ? xs[i] : run.maxX;
            run.maxY = ys[i] > run.maxY ? ys[i] : run.maxY;
        }
        x = xs[i];
        y = ys[i];
        line = lines[i];
    }
    return run;
}

#if TILSEN_X86_64
// scanRunScalar four edges a step with SSE2.
inline Run scanRunSse2(float startX, float startY, int32_t startLine, const float* xs,
                       const float* ys, int32_t n, int32_t* lines) {
    Run run{0u, true, false, 0.0f, 0.0f, 0.0f, 0.0f};
    const __m128 limit = _mm_set1_ps(kLimit);
    const __m128 xLimit = _mm_set1_ps(kLimit / kSubpixels);
    const __m128 halfScanlines = _mm_set1_ps(kHalfScanlines);
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 infinity = _mm_set1_ps(std::numeric_limits<float>::infinity());
    const __m128 negativeInfinity = _mm_set1_ps(-std::numeric_limits<float>::infinity());
    __m128 inside = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128 distinct = _mm_setzero_ps();
    __m128 minX = infinity;
    __m128 minY = infinity;
    __m128 maxX = negativeInfinity;
    __m128 maxY = negativeInfinity;
    // The previous step's ends; only the top lane (the next step's first start) counts.
    __m128 lastX = _mm_set1_ps(startX);
    __m128 lastY = _mm_set1_ps(startY);
    __m128i lastLines = _mm_set1_epi32(startLine);
    // (p3, e0, e1, e2): the starts of a step's edges from its ends and the last step's.
    const auto starts = [](__m128 previous, __m128 ends) {
        const __m128 joined = _mm_shuffle_ps(previous, ends, _MM_SHUFFLE(0, 0, 3, 3));
        return _mm_shuffle_ps(joined, ends, _MM_SHUFFLE(2, 1, 2, 0));
    };
    for (int32_t i = 0; i < n; i += kLanes) {
        __m128 endX;
        __m128 endY;
        if (i + kLanes <= n) {
            endX = _mm_loadu_ps(xs + i);
            endY = _mm_loadu_ps(ys + i);
        } else {
            // The last point again past the end: edges with equal ends, which add nothing.
            float tailX[kLanes];
            float tailY[kLanes];
            for (int32_t k = 0; k < kLanes; ++k) {
                tailX[k] = xs[std::min(i + k, n - 1)];
                tailY[k] = ys[std::min(i + k, n - 1)];
            }
            endX = _mm_loadu_ps(tailX);
            endY = _mm_loadu_ps(tailY);
        }
        const __m128 beginX = starts(lastX, endX);
        const __m128 beginY = starts(lastY, endY);
        lastX = endX;
        lastY = endY;
        // halfScanlines' work on the ends. 256x is exact, so |256x| < limit is |x| < limit / 256.
        const __m128 fy = _mm_mul_ps(halfScanlines, endY);
        inside = _mm_and_ps(inside, _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(endX, magnitude), xLimit),
                                               _mm_cmplt_ps(_mm_and_ps(fy, magnitude), limit)));
        const __m128i t = _mm_cvttps_epi32(fy);
        const __m128i up = _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(t), fy));
        const __m128i ends = _mm_add_epi32(t, up);
        const __m128i begins = _mm_or_si128(_mm_slli_si128(ends, 4), _mm_srli_si128(lastLines, 12));
        lastLines = ends;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lines + i), ends);
        const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(begins, ends)));
        run.crossing |= static_cast<uint32_t>(~same & 0xF) << i;
        // Edges with equal ends add nothing to the bounds: adding +-infinity to their
        // (finite) coordinates takes them out of the running. Adding zero to the others
        // leaves them as they are, but for the sign of a zero.
        const __m128 differ = _mm_or_ps(_mm_cmpneq_ps(beginX, endX), _mm_cmpneq_ps(beginY, endY));
        distinct = _mm_or_ps(distinct, differ);
        const __m128 aboveAll = _mm_andnot_ps(differ, infinity);
        const __m128 belowAll = _mm_andnot_ps(differ, negativeInfinity);
        minX = _mm_min_ps(minX, _mm_add_ps(beginX, aboveAll));
        minY = _mm_min_ps(minY, _mm_add_ps(beginY, aboveAll));
        maxX = _mm_max_ps(maxX, _mm_add_ps(endX, belowAll));
        maxY = _mm_max_ps(maxY, _mm_add_ps(endY, belowAll));
    }
    run.inRange = _mm_movemask_ps(inside) == 0xF;
    run.anyEdge = _mm_movemask_ps(distinct) != 0;
    // Lanes 0 and 1: the least of a's lanes and of b's.
    const auto least = [](__m128 a, __m128 b) {
        const __m128 m = _mm_min_ps(_mm_unpacklo_ps(a, b), _mm_unpackhi_ps(a, b));
        return _mm_min_ps(m, _mm_movehl_ps(m, m));
    };
    const auto greatest = [](__m128 a, __m128 b) {
        const __m128 m = _mm_max_ps(_mm_unpacklo_ps(a, b), _mm_unpackhi_ps(a, b));
        return _mm_max_ps(m, _mm_movehl_ps(m, m));
    };
    const __m128 low = least(minX, minY);
    const __m128 high = greatest(maxX, maxY);
    run.minX = _mm_cvtss_f32(low);
    run.minY = _mm_cvtss_f32(_mm_shuffle_ps(low, low, _MM_SHUFFLE(1, 1, 1, 1)));
    run.maxX = _mm_cvtss_f32(high);
    run.maxY = _mm_cvtss_f32(_mm_shuffle_ps(high, high, _MM_SHUFFLE(1, 1, 1, 1)));
    return run;
}

// scanRunScalar eight edges a step with AVX2; only at cpu::SimdLevel::avx2 and above.
__attribute__((target("avx2"))) inline Run scanRunAvx2(float startX, float startY,
                                                       int32_t startLine, const float* xs,
                                                       const float* ys, int32_t n, int32_t* lines) {
    constexpr int32_t kWide = 8;
    Run run{0u, true, false, 0.0f, 0.0f, 0.0f, 0.0f};
    const __m256 limit = _mm256_set1_ps(kLimit);
    const __m256 xLimit = _mm256_set1_ps(kLimit / kSubpixels);
    const __m256 halfScanlines = _mm256_set1_ps(kHalfScanlines);
    const __m256 magnitude = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 infinity = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    const __m256 negativeInfinity = _mm256_set1_ps(-std::numeric_limits<float>::infinity());
    // Lane i takes lane i - 1; lane 0 takes lane 7 (the previous step's last end).
    const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256 inside = _mm256_castsi256_ps(_mm256_set1_epi32(-1));
    __m256 distinct = _mm256_setzero_ps();
    __m256 minX = infinity;
    __m256 minY = infinity;
    __m256 maxX = negativeInfinity;
    __m256 maxY = negativeInfinity;
    // The previous step's ends, rotated: lane 0 holds the next step's first start.
    __m256 lastX = _mm256_set1_ps(startX);
    __m256 lastY = _mm256_set1_ps(startY);
    __m256i lastLines = _mm256_set1_epi32(startLine);
    for (int32_t i = 0; i < n; i += kWide) {
        __m256 endX;
        __m256 endY;
        if (i + kWide <= n) {
            endX = _mm256_loadu_ps(xs + i);
            endY = _mm256_loadu_ps(ys + i);
        } else {
            // The last point again past the end: edges with equal ends, which add nothing.
            const __m256i present = _mm256_cmpgt_epi32(_mm256_set1_epi32(n - i), laneIndex);
            endX = _mm256_blendv_ps(_mm256_set1_ps(xs[n - 1]), _mm256_maskload_ps(xs + i, present),
                                    _mm256_castsi256_ps(present));
            endY = _mm256_blendv_ps(_mm256_set1_ps(ys[n - 1]), _mm256_maskload_ps(ys + i, present),
                                    _mm256_castsi256_ps(present));
        }
        const __m256 rotatedX = _mm256_permutevar8x32_ps(endX, rotate);
        const __m256 rotatedY = _mm256_permutevar8x32_ps(endY, rotate);
        const __m256 beginX = _mm256_blend_ps(rotatedX, lastX, 1);
        const __m256 beginY = _mm256_blend_ps(rotatedY, lastY, 1);
        lastX = rotatedX;
        lastY = rotatedY;
        const __m256 fy = _mm256_mul_ps(halfScanlines, endY);
        inside = _mm256_and_ps(
            inside, _mm256_and_ps(_mm256_cmp_ps(_mm256_and_ps(endX, magnitude), xLimit, _CMP_LT_OQ),
                                  _mm256_cmp_ps(_mm256_and_ps(fy, magnitude), limit, _CMP_LT_OQ)));
        const __m256i t = _mm256_cvttps_epi32(fy);
        const __m256i up =
            _mm256_castps_si256(_mm256_cmp_ps(_mm256_cvtepi32_ps(t), fy, _CMP_GT_OQ));
        const __m256i ends = _mm256_add_epi32(t, up);
        const __m256i rotatedLines = _mm256_permutevar8x32_epi32(ends, rotate);
        const __m256i begins = _mm256_blend_epi32(rotatedLines, lastLines, 1);
        lastLines = rotatedLines;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(lines + i), ends);
        const int same = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(begins, ends)));
        run.crossing |= static_cast<uint32_t>(~same & 0xFF) << i;
        const __m256 differ = _mm256_or_ps(_mm256_cmp_ps(beginX, endX, _CMP_NEQ_UQ),
                                           _mm256_cmp_ps(beginY, endY, _CMP_NEQ_UQ));
        distinct = _mm256_or_ps(distinct, differ);
        const __m256 aboveAll = _mm256_andnot_ps(differ, infinity);
        const __m256 belowAll = _mm256_andnot_ps(differ, negativeInfinity);
        minX = _mm256_min_ps(minX, _mm256_add_ps(beginX, aboveAll));
        minY = _mm256_min_ps(minY, _mm256_add_ps(beginY, aboveAll));
        maxX = _mm256_max_ps(maxX, _mm256_add_ps(endX, belowAll));
        maxY = _mm256_max_ps(maxY, _mm256_add_ps(endY, belowAll));
    }
    run.inRange = _mm256_movemask_ps(inside) == 0xFF;
    run.anyEdge = _mm256_movemask_ps(distinct) != 0;
    const __m128 lowX = _mm_min_ps(_mm256_castps256_ps128(minX), _mm256_extractf128_ps(minX, 1));
    const __m128 lowY = _mm_min_ps(_mm256_castps256_ps128(minY), _mm256_extractf128_ps(minY, 1));
    const __m128 highX = _mm_max_ps(_mm256_castps256_ps128(maxX), _mm256_extractf128_ps(maxX, 1));
    const __m128 highY = _mm_max_ps(_mm256_castps256_ps128(maxY), _mm256_extractf128_ps(maxY, 1));
    const __m128 low = _mm_min_ps(_mm_unpacklo_ps(lowX, lowY), _mm_unpackhi_ps(lowX, lowY));
    const __m128 least = _mm_min_ps(low, _mm_movehl_ps(low, low));
    const __m128 high = _mm_max_ps(_mm_unpacklo_ps(highX, highY), _mm_unpackhi_ps(highX, highY));
    const __m128 greatest = _mm_max_ps(high, _mm_movehl_ps(high, high));
    run.minX = _mm_cvtss_f32(least);
    run.minY = _mm_cvtss_f32(_mm_shuffle_ps(least, least, _MM_SHUFFLE(1, 1, 1, 1)));
    run.maxX = _mm_cvtss_f32(greatest);
    run.maxY = _mm_cvtss_f32(_mm_shuffle_ps(greatest, greatest, _MM_SHUFFLE(1, 1, 1, 1)));
    return run;
}
#endif

// scanRunScalar the widest way level allows.
inline Run scanRun(cpu::SimdLevel level, float startX, float startY, int32_t startLine,
                   const float* xs, const float* ys, int32_t n, int32_t* lines) {
#if TILSEN_X86_64
    if (level >= cpu::SimdLevel::avx2) {
        return scanRunAvx2(startX, startY, startLine, xs, ys, n, lines);
    }
    if (level >= cpu::SimdLevel::sse2) {
        return scanRunSse2(startX, startY, startLine, xs, ys, n, lines);
    }
#else
    (void)level;
#endif
    return scanRunScalar(startX, startY, startLine, xs, ys, n, lines);
}

} // namespace edgelanes
