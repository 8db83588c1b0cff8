// Pixel arithmetic shared by the span writers and the background pass: byte access,
// the rounding divide by 255 and the "under" blend, and the kernels that run it over many
// pixels (their wide forms in raster/PixelKernels.inl). Internal to the rasterizer.
#pragma once

#include <algorithm>
#include <cstdint>

#include "geometry/Cpu.h"
#include "raster/Rasterizer.h"

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

#if TILSEN_SSE2
// underEightScalar four (SSE2) or eight (AVX2) pixels a step, each only at its
// cpu::SimdLevel and above: room >= count pixels from pixel on are loaded and stored whole
// (those past count, whose alphas must be 0, come out as they went in); what is left of
// count goes pixel by pixel. The sweep composites with the same kernel inline
// (raster/PixelKernels.inl's CoverageLanes).
void underEightSse2(uint32_t* pixel, uint64_t alphas, int32_t count, int32_t room, uint32_t full);
#endif
#if TILSEN_X86_64
void underEightAvx2(uint32_t* pixel, uint64_t alphas, int32_t count, int32_t room, uint32_t full);
#endif

// The solid colour src (clamped to its alpha, which is 1..255) under count pixels:
// empty pixels become src, opaque ones stay, the rest take under(). The widest way
// cpu::level() allows.
void underRun(uint32_t* pixel, int32_t count, uint32_t src);
#if TILSEN_SSE2
// underRun four, eight and sixteen pixels at a time; each only at its cpu::SimdLevel and
// above.
void underRunSse2(uint32_t* pixel, int32_t count, uint32_t src);
#endif
#if TILSEN_X86_64
void underRunAvx2(uint32_t* pixel, int32_t count, uint32_t src);
void underRunAvx512(uint32_t* pixel, int32_t count, uint32_t src);
#endif

} // namespace compositing
