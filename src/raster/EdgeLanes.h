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
#include "geometry/SimdConvert.h"
#include "raster/Rasterizer.h"

#if TILSEN_SSE2
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
#if TILSEN_SSE2
    constexpr int32_t kLanes = 4;
    const bool wide = cpu::level() >= cpu::SimdLevel::sse2;
    const __m128 limit = _mm_set1_ps(kLimit);
    const __m128 subpixels = _mm_set1_ps(kSubpixels);
    const __m128 halfScanlines = _mm_set1_ps(kHalfScanlines);
    // Clearing the sign bit is fabs; an ordered less-than is false for NaN, as fabs(NaN) < limit.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    for (; wide && i + kLanes <= n; i += kLanes) {
        const __m128 fx = _mm_mul_ps(subpixels, _mm_loadu_ps(xs + i));
        const __m128 fy = _mm_mul_ps(halfScanlines, _mm_loadu_ps(ys + i));
        const __m128 inside = _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(fx, magnitude), limit),
                                         _mm_cmplt_ps(_mm_and_ps(fy, magnitude), limit));
        // Truncation, one less where it went up (negative values with a fraction); for
        // v >= 0 the truncated value never exceeds v.
        const __m128i t = simdconvert::truncateInRange(fy);
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

// The edge from (x, y) to (endX, endY) into run's bounds, when its ends differ.
inline void addEdgeBounds(Run& run, float x, float y, float endX, float endY) {
    if (x != endX || y != endY) {
        // A NaN start (the pen may lie out of range) takes no part, as in the lanes.
        run.anyEdge = true;
        run.minX = x < run.minX ? x : run.minX;
        run.minY = y < run.minY ? y : run.minY;
        run.maxX = endX > run.maxX ? endX : run.maxX;
        run.maxY = endY > run.maxY ? endY : run.maxY;
    }
}

inline Run emptyRun() {
    constexpr float kInfinity = std::numeric_limits<float>::infinity();
    return {0u, true, false, kInfinity, kInfinity, -kInfinity, -kInfinity};
}

// Writes lines[0, n) (and what follows, up to a multiple of four). When a point is out of
// range the rest of the result is not to be used. A bound that comes out as zero may be
// either zero: which one a tie leaves is the caller's to work out.
inline Run scanRunScalar(float startX, float startY, int32_t startLine, const float* xs,
                         const float* ys, int32_t n, int32_t* lines) {
    Run run = emptyRun();
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
        addEdgeBounds(run, x, y, xs[i], ys[i]);
        x = xs[i];
        y = ys[i];
        line = lines[i];
    }
    return run;
}

// scanRunScalar's bounds alone, for finite points: crossing is 0 and inRange true.
inline Run boundsRunScalar(float startX, float startY, const float* xs, const float* ys,
                           int32_t n) {
    Run run = emptyRun();
    float x = startX;
    float y = startY;
    for (int32_t i = 0; i < n; ++i) {
        addEdgeBounds(run, x, y, xs[i], ys[i]);
        x = xs[i];
        y = ys[i];
    }
    return run;
}

#if TILSEN_SSE2
// The lane traits scanRun's kernel (raster/ScanRunLanes.inl) is written over: four points in
// 128-bit registers with SSE2, eight in 256-bit ones with AVX2. Each operation carries its
// own target and is always inlined.
namespace lanes {

#define TILSEN_SSE2_LANE __attribute__((always_inline)) static inline
#define TILSEN_AVX2_LANE __attribute__((target("avx2"), always_inline)) static inline

struct Sse2 {
    using Floats = __m128;
    using Ints = __m128i;
    static constexpr int32_t kLanes = 4;
    // movemask of a step with every lane set.
    static constexpr int kAllLanes = 0xF;

    TILSEN_SSE2_LANE Floats splat(float v) { return _mm_set1_ps(v); }
    TILSEN_SSE2_LANE Ints splat(int32_t v) { return _mm_set1_epi32(v); }
    TILSEN_SSE2_LANE Floats zero() { return _mm_setzero_ps(); }
    TILSEN_SSE2_LANE Floats load(const float* at) { return _mm_loadu_ps(at); }
    // The left < kLanes values from at, the last of them again past them.
    TILSEN_SSE2_LANE Floats loadTail(const float* at, int32_t left) {
        float tail[kLanes];
        for (int32_t k = 0; k < kLanes; ++k) {
            tail[k] = at[std::min(k, left - 1)];
        }
        return _mm_loadu_ps(tail);
    }
    TILSEN_SSE2_LANE void store(int32_t* at, Ints v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    }
    // What a step keeps of its ends for the next (carry), and the starts of a step's edges
    // from its ends and the last step's carry: (previous end, e0, e1, e2).
    TILSEN_SSE2_LANE Floats carry(Floats ends) { return ends; }
    TILSEN_SSE2_LANE Floats starts(Floats previous, Floats ends) {
        const __m128 joined = _mm_shuffle_ps(previous, ends, _MM_SHUFFLE(0, 0, 3, 3));
        return _mm_shuffle_ps(joined, ends, _MM_SHUFFLE(2, 1, 2, 0));
    }
    TILSEN_SSE2_LANE Ints carry(Ints ends) { return ends; }
    TILSEN_SSE2_LANE Ints starts(Ints previous, Ints ends) {
        return _mm_or_si128(_mm_slli_si128(ends, 4), _mm_srli_si128(previous, 12));
    }
    TILSEN_SSE2_LANE Floats mul(Floats a, Floats b) { return _mm_mul_ps(a, b); }
    TILSEN_SSE2_LANE Floats add(Floats a, Floats b) { return _mm_add_ps(a, b); }
    TILSEN_SSE2_LANE Floats min(Floats a, Floats b) { return _mm_min_ps(a, b); }
    TILSEN_SSE2_LANE Floats max(Floats a, Floats b) { return _mm_max_ps(a, b); }
    TILSEN_SSE2_LANE Floats bitAnd(Floats a, Floats b) { return _mm_and_ps(a, b); }
    TILSEN_SSE2_LANE Floats bitOr(Floats a, Floats b) { return _mm_or_ps(a, b); }
    // ~a & b.
    TILSEN_SSE2_LANE Floats andNot(Floats a, Floats b) { return _mm_andnot_ps(a, b); }
    // Ordered comparisons (false for NaN) and the unordered not-equal (true for NaN).
    TILSEN_SSE2_LANE Floats less(Floats a, Floats b) { return _mm_cmplt_ps(a, b); }
    TILSEN_SSE2_LANE Floats greater(Floats a, Floats b) { return _mm_cmpgt_ps(a, b); }
    TILSEN_SSE2_LANE Floats notEqual(Floats a, Floats b) { return _mm_cmpneq_ps(a, b); }
    TILSEN_SSE2_LANE Ints equal(Ints a, Ints b) { return _mm_cmpeq_epi32(a, b); }
    TILSEN_SSE2_LANE Ints add(Ints a, Ints b) { return _mm_add_epi32(a, b); }
    TILSEN_SSE2_LANE Ints truncate(Floats v) { return simdconvert::truncateInRange(v); }
    TILSEN_SSE2_LANE Floats toFloats(Ints v) { return _mm_cvtepi32_ps(v); }
    TILSEN_SSE2_LANE Floats asFloats(Ints v) { return _mm_castsi128_ps(v); }
    TILSEN_SSE2_LANE Ints asInts(Floats v) { return _mm_castps_si128(v); }
    TILSEN_SSE2_LANE int signs(Floats v) { return _mm_movemask_ps(v); }
    // The least (greatest) of the lanes i and i + 4, i < 4.
    TILSEN_SSE2_LANE __m128 leastOfHalves(Floats v) { return v; }
    TILSEN_SSE2_LANE __m128 greatestOfHalves(Floats v) { return v; }
};

#if TILSEN_X86_64
// Eight points a step: a step's starts are its ends rotated up one lane, the first taking the
// last step's last end (kept rotated, in lane 0).
struct Avx2 {
    using Floats = __m256;
    using Ints = __m256i;
    static constexpr int32_t kLanes = 8;
    static constexpr int kAllLanes = 0xFF;

    TILSEN_AVX2_LANE Floats splat(float v) { return _mm256_set1_ps(v); }
    TILSEN_AVX2_LANE Ints splat(int32_t v) { return _mm256_set1_epi32(v); }
    TILSEN_AVX2_LANE Floats zero() { return _mm256_setzero_ps(); }
    TILSEN_AVX2_LANE Floats load(const float* at) { return _mm256_loadu_ps(at); }
    TILSEN_AVX2_LANE Floats loadTail(const float* at, int32_t left) {
        const __m256i present =
            _mm256_cmpgt_epi32(_mm256_set1_epi32(left), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        return _mm256_blendv_ps(_mm256_set1_ps(at[left - 1]), _mm256_maskload_ps(at, present),
                                _mm256_castsi256_ps(present));
    }
    TILSEN_AVX2_LANE void store(int32_t* at, Ints v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), v);
    }
    // Lane i takes lane i - 1; lane 0 takes lane 7.
    TILSEN_AVX2_LANE Ints rotation() { return _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6); }
    TILSEN_AVX2_LANE Floats carry(Floats ends) {
        return _mm256_permutevar8x32_ps(ends, rotation());
    }
    TILSEN_AVX2_LANE Floats starts(Floats previous, Floats ends) {
        return _mm256_blend_ps(carry(ends), previous, 1);
    }
    TILSEN_AVX2_LANE Ints carry(Ints ends) { return _mm256_permutevar8x32_epi32(ends, rotation()); }
    TILSEN_AVX2_LANE Ints starts(Ints previous, Ints ends) {
        return _mm256_blend_epi32(carry(ends), previous, 1);
    }
    TILSEN_AVX2_LANE Floats mul(Floats a, Floats b) { return _mm256_mul_ps(a, b); }
    TILSEN_AVX2_LANE Floats add(Floats a, Floats b) { return _mm256_add_ps(a, b); }
    TILSEN_AVX2_LANE Floats min(Floats a, Floats b) { return _mm256_min_ps(a, b); }
    TILSEN_AVX2_LANE Floats max(Floats a, Floats b) { return _mm256_max_ps(a, b); }
    TILSEN_AVX2_LANE Floats bitAnd(Floats a, Floats b) { return _mm256_and_ps(a, b); }
    TILSEN_AVX2_LANE Floats bitOr(Floats a, Floats b) { return _mm256_or_ps(a, b); }
    TILSEN_AVX2_LANE Floats andNot(Floats a, Floats b) { return _mm256_andnot_ps(a, b); }
    TILSEN_AVX2_LANE Floats less(Floats a, Floats b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
    TILSEN_AVX2_LANE Floats greater(Floats a, Floats b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
    TILSEN_AVX2_LANE Floats notEqual(Floats a, Floats b) {
        return _mm256_cmp_ps(a, b, _CMP_NEQ_UQ);
    }
    TILSEN_AVX2_LANE Ints equal(Ints a, Ints b) { return _mm256_cmpeq_epi32(a, b); }
    TILSEN_AVX2_LANE Ints add(Ints a, Ints b) { return _mm256_add_epi32(a, b); }
    TILSEN_AVX2_LANE Ints truncate(Floats v) { return _mm256_cvttps_epi32(v); }
    TILSEN_AVX2_LANE Floats toFloats(Ints v) { return _mm256_cvtepi32_ps(v); }
    TILSEN_AVX2_LANE Floats asFloats(Ints v) { return _mm256_castsi256_ps(v); }
    TILSEN_AVX2_LANE Ints asInts(Floats v) { return _mm256_castps_si256(v); }
    TILSEN_AVX2_LANE int signs(Floats v) { return _mm256_movemask_ps(v); }
    TILSEN_AVX2_LANE __m128 leastOfHalves(Floats v) {
        return _mm_min_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    }
    TILSEN_AVX2_LANE __m128 greatestOfHalves(Floats v) {
        return _mm_max_ps(_mm256_castps256_ps128(v), _mm256_extractf128_ps(v, 1));
    }
};

#endif

#undef TILSEN_SSE2_LANE
#undef TILSEN_AVX2_LANE

} // namespace lanes

// scanRun's kernel once per width, each compiled for its own instructions.
namespace sse2 {
#include "raster/ScanRunLanes.inl"
} // namespace sse2
#if TILSEN_X86_64
TILSEN_TARGET_AVX2_BEGIN
namespace avx2 {
#include "raster/ScanRunLanes.inl"
} // namespace avx2
TILSEN_TARGET_END
#endif

// scanRunScalar four edges a step with SSE2, eight with AVX2 (only at cpu::SimdLevel::avx2
// and above).
inline Run scanRunSse2(float startX, float startY, int32_t startLine, const float* xs,
                       const float* ys, int32_t n, int32_t* lines) {
    return sse2::scanRunLanes<lanes::Sse2>(startX, startY, startLine, xs, ys, n, lines);
}

inline Run boundsRunSse2(float startX, float startY, const float* xs, const float* ys, int32_t n) {
    return sse2::boundsRunLanes<lanes::Sse2>(startX, startY, xs, ys, n);
}

#if TILSEN_X86_64
TILSEN_AVX2_TARGET inline Run boundsRunAvx2(float startX, float startY, const float* xs,
                                            const float* ys, int32_t n) {
    return avx2::boundsRunLanes<lanes::Avx2>(startX, startY, xs, ys, n);
}

TILSEN_AVX2_TARGET inline Run scanRunAvx2(float startX, float startY, int32_t startLine,
                                          const float* xs, const float* ys, int32_t n,
                                          int32_t* lines) {
    return avx2::scanRunLanes<lanes::Avx2>(startX, startY, startLine, xs, ys, n, lines);
}
#endif
#endif

// scanRunScalar the widest way level allows.
inline Run scanRun(cpu::SimdLevel level, float startX, float startY, int32_t startLine,
                   const float* xs, const float* ys, int32_t n, int32_t* lines) {
#if TILSEN_SSE2
#if TILSEN_X86_64
    if (level >= cpu::SimdLevel::avx2) {
        return scanRunAvx2(startX, startY, startLine, xs, ys, n, lines);
    }
#endif
    if (level >= cpu::SimdLevel::sse2) {
        return scanRunSse2(startX, startY, startLine, xs, ys, n, lines);
    }
    // Here only where a test forces the scalar level: out of line, so that it takes no room
    // in the walkers that inline the wide ways.
    return [](float x, float y, int32_t line, const float* runX, const float* runY, int32_t count,
              int32_t* runLines) __attribute__((noinline, cold)) {
        return scanRunScalar(x, y, line, runX, runY, count, runLines);
    }
    (startX, startY, startLine, xs, ys, n, lines);
#else
    (void)level;
    return scanRunScalar(startX, startY, startLine, xs, ys, n, lines);
#endif
}

// boundsRunScalar the widest way level allows.
inline Run boundsRun(cpu::SimdLevel level, float startX, float startY, const float* xs,
                     const float* ys, int32_t n) {
#if TILSEN_SSE2
#if TILSEN_X86_64
    if (level >= cpu::SimdLevel::avx2) {
        return boundsRunAvx2(startX, startY, xs, ys, n);
    }
#endif
    if (level >= cpu::SimdLevel::sse2) {
        return boundsRunSse2(startX, startY, xs, ys, n);
    }
#endif
    (void)level;
    return boundsRunScalar(startX, startY, xs, ys, n);
}

} // namespace edgelanes
