// What the cell walk needs of an outline point, worked out for a run of points at once:
// whether 256x and 2y lie inside +-kFixedLimit (false when not finite), and if so the
// point's half-scanline, floor(2y); 0 when not. Four points a step with SSE2, with the
// same float operations as one point at a time. Internal to the rasterizer.
#pragma once

#include <cmath>
#include <cstdint>

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

} // namespace edgelanes
