// Pixel arithmetic shared by the span writers and the background pass: byte access,
// the rounding divide by 255 and the "under" blend. Internal to the rasterizer.
#pragma once

#include <algorithm>
#include <cstdint>

#include "geometry/Cpu.h"
#include "raster/Rasterizer.h"

#if TILSEN_X86_64
#include <immintrin.h>
#endif

namespace compositing {

inline constexpr uint32_t kOpaque = 255u;
inline constexpr uint32_t kFullProduct = 65025u; // 255 * 255

inline uint32_t alphaByte(uint32_t colour) {
    return colour >> 24;
}

inline uint32_t channel(uint32_t colour, uint32_t shift) {
    return (colour >> shift) & 0xFFu;
}

inline uint32_t pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A premultiplied colour byte never exceeds its alpha. Damaged colours are pulled down
// to it so that no later blend can carry into the neighbouring byte; valid colours pass
// unchanged.
inline uint32_t clampToAlpha(uint32_t colour) {
    const uint32_t a = alphaByte(colour);
    const uint32_t r = std::min(channel(colour, 16), a);
    const uint32_t g = std::min(channel(colour, 8), a);
    const uint32_t b = std::min(channel(colour, 0), a);
    return pack(a, r, g, b);
}

// Each of the four bytes b becomes divide255(b * alpha), alpha <= 255. Two bytes share
// one multiply: each product (at most 65025) and its rounding stay inside their own
// 16 bits, so no carry crosses into the neighbour.
inline uint32_t scale(uint32_t colour, uint32_t alpha) {
    constexpr uint32_t kLanes = 0x00FF00FFu;
    constexpr uint32_t kRound = 0x00010001u;
    const uint32_t rb = (colour & kLanes) * alpha;
    const uint32_t ag = ((colour >> 8) & kLanes) * alpha;
    const uint32_t rbScaled = ((rb + ((rb >> 8) & kLanes) + kRound) >> 8) & kLanes;
    const uint32_t agScaled = (ag + ((ag >> 8) & kLanes) + kRound) & ~kLanes;
    return agScaled | rbScaled;
}

// divide255(pixelByte * 255 + srcByte * weight), capped at 255 so that a pixel whose
// colour exceeds its alpha cannot spill into the next byte.
inline uint32_t blendByte(uint32_t pixel, uint32_t src, uint32_t weight, uint32_t shift) {
    const uint32_t v =
        Rasterizer::divide255(channel(pixel, shift) * kOpaque + channel(src, shift) * weight);
    return std::min(v, kOpaque);
}

inline uint32_t blendColour(uint32_t newAlpha, uint32_t pixel, uint32_t src, uint32_t weight) {
    return pack(newAlpha, blendByte(pixel, src, weight, 16), blendByte(pixel, src, weight, 8),
                blendByte(pixel, src, weight, 0));
}

// A solid colour src (alpha srcAlpha > 0) under one pixel d that is neither empty nor opaque.
inline uint32_t under(uint32_t d, uint32_t src, uint32_t srcAlpha) {
    const uint32_t dstClear = kOpaque - alphaByte(d);
    const uint32_t newAlpha = Rasterizer::divide255(kFullProduct - dstClear * (kOpaque - srcAlpha));
    return blendColour(newAlpha, d, src, dstClear);
}

// underRun one pixel at a time, inline: the scalar level's way, what the wide ways leave
// over, and runs too short for them to pay (a call, the dispatch and the set-up of the wide
// registers).
inline void underRunScalar(uint32_t* pixel, int32_t count, uint32_t src) {
    const uint32_t a = alphaByte(src);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t d = pixel[i];
        const uint32_t da = alphaByte(d);
        if (da == 0) {
            pixel[i] = src;
        } else if (da != kOpaque) {
            pixel[i] = under(d, src, a);
        }
    }
}

// The solid colour full (clamped to its alpha) under count <= 8 pixels, pixel i at the
// coverage in byte i of alphas (the lowest byte first): per pixel what underRunScalar does
// with scale(full, coverage) (0 leaves the pixel as it is). The scalar way, one pixel at
// a time.
inline void underEightScalar(uint32_t* pixel, uint64_t alphas, int32_t count, uint32_t full) {
    for (int32_t i = 0; i < count; ++i, alphas >>= 8) {
        const auto coverage = static_cast<uint32_t>(alphas & 0xFFu);
        const uint32_t src = coverage == kOpaque ? full : scale(full, coverage);
        const uint32_t a = alphaByte(src);
        const uint32_t d = pixel[i];
        const uint32_t da = alphaByte(d);
        if (a == 0 || da == kOpaque) {
            continue;
        }
        pixel[i] = da == 0 ? src : under(d, src, a);
    }
}

#if TILSEN_X86_64
// underEightScalar in one step; only at cpu::SimdLevel::avx2 and above.
void underEightAvx2(uint32_t* pixel, uint64_t alphas, int32_t count, uint32_t full);

// The under blend in 16-bit lanes, two pixels a 128-bit lane: per channel of the pixel
// words d, divide255(d * 255 + src * (255 - d's alpha)) with unsigned saturation, which
// gives 255 exactly where the plain sum would pass 65279 and be capped (see
// underRunSse2). k255 and one hold 255 and 1 in every lane.
__attribute__((target("avx2"), always_inline)) inline __m256i
blendUnderWords(__m256i d, __m256i src, __m256i k255, __m256i one) {
    __m256i da = _mm256_shufflelo_epi16(d, _MM_SHUFFLE(3, 3, 3, 3));
    da = _mm256_shufflehi_epi16(da, _MM_SHUFFLE(3, 3, 3, 3));
    const __m256i dstClear = _mm256_sub_epi16(k255, da);
    const __m256i sum =
        _mm256_adds_epu16(_mm256_mullo_epi16(d, k255), _mm256_mullo_epi16(src, dstClear));
    const __m256i rounded =
        _mm256_adds_epu16(_mm256_adds_epu16(sum, _mm256_srli_epi16(sum, 8)), one);
    return _mm256_srli_epi16(rounded, 8);
}

// underEightAvx2 with its constants set up once, for callers compiled for AVX2 that
// composite many short spans: each lane's colour is full scaled by its own coverage (the
// 16-bit lane form of scale()), then blended as underRunAvx2 blends. A lane whose colour
// comes out transparent is left as it is, as the pixel-by-pixel way skips it; only the
// pixels that are there are loaded and stored.
class CoverageLanesAvx2 {
public:
    __attribute__((target("avx2"), always_inline)) explicit CoverageLanesAvx2(uint32_t full)
        : zero(_mm256_setzero_si256()),
          alphaMask(_mm256_set1_epi32(static_cast<int>(kOpaque << 24))),
          fullWords(_mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(full)), zero)),
          k255(_mm256_set1_epi16(static_cast<short>(kOpaque))), one(_mm256_set1_epi16(1)),
          allLanes(_mm256_set1_epi32(-1)), laneIndex(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)),
          // Byte 0 of each 32-bit lane into all four of its bytes.
          spread(_mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4,
                                  4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12)) {}

    __attribute__((target("avx2"), always_inline)) void under(uint32_t* pixel, uint64_t alphas,
                                                              int32_t count) const {
        constexpr int32_t kLanes = 8;
        const __m256i there =
            count >= kLanes ? allLanes : _mm256_cmpgt_epi32(_mm256_set1_epi32(count), laneIndex);
        const __m256i coverage = _mm256_and_si256(
            _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(alphas))), there);
        int* const at = reinterpret_cast<int*>(pixel);
        const __m256i d = count >= kLanes ? _mm256_loadu_si256(reinterpret_cast<__m256i*>(at))
                                          : _mm256_maskload_epi32(at, there);
        const __m256i da = _mm256_and_si256(d, alphaMask);
        // Lanes past the end count as opaque here: nothing to do for them either.
        const __m256i done =
            _mm256_or_si256(_mm256_cmpeq_epi32(da, alphaMask), _mm256_xor_si256(there, allLanes));
        if (_mm256_movemask_epi8(done) == -1) {
            return;
        }
        const __m256i coverageBytes = _mm256_shuffle_epi8(coverage, spread);
        const __m256i srcLo = scaleWords(_mm256_unpacklo_epi8(coverageBytes, zero));
        const __m256i srcHi = scaleWords(_mm256_unpackhi_epi8(coverageBytes, zero));
        const __m256i src = _mm256_packus_epi16(srcLo, srcHi);
        const __m256i blended =
            _mm256_packus_epi16(blendWords(_mm256_unpacklo_epi8(d, zero), srcLo),
                                blendWords(_mm256_unpackhi_epi8(d, zero), srcHi));
        // An empty pixel takes the colour, unless the colour is transparent.
        const __m256i empty =
            _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_and_si256(src, alphaMask), zero),
                                _mm256_cmpeq_epi32(da, zero));
        const __m256i out = _mm256_blendv_epi8(blended, src, empty);
        if (count >= kLanes) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), out);
        } else {
            _mm256_maskstore_epi32(at, there, out);
        }
    }

private:
    // divide255(full byte * coverage) in every 16-bit lane.
    __attribute__((target("avx2"), always_inline)) __m256i scaleWords(__m256i coverage) const {
        const __m256i x = _mm256_mullo_epi16(fullWords, coverage);
        return _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), one), 8);
    }
    __attribute__((target("avx2"), always_inline)) __m256i blendWords(__m256i d,
                                                                      __m256i src) const {
        return blendUnderWords(d, src, k255, one);
    }

    __m256i zero;
    __m256i alphaMask;
    __m256i fullWords;
    __m256i k255;
    __m256i one;
    __m256i allLanes;
    __m256i laneIndex;
    __m256i spread;
};
#endif

// The solid colour src (clamped to its alpha, which is 1..255) under count pixels:
// empty pixels become src, opaque ones stay, the rest take under(). The widest way
// cpu::level() allows.
void underRun(uint32_t* pixel, int32_t count, uint32_t src);
#if TILSEN_X86_64
// underRun four, eight and sixteen pixels at a time; each only at its cpu::SimdLevel and
// above.
void underRunSse2(uint32_t* pixel, int32_t count, uint32_t src);
void underRunAvx2(uint32_t* pixel, int32_t count, uint32_t src);
void underRunAvx512(uint32_t* pixel, int32_t count, uint32_t src);
#endif

} // namespace compositing
