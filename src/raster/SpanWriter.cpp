// writeSpan and resolveBackground: front-to-back compositing. A new colour only goes
// *under* what a pixel holds, so an opaque pixel (alpha 255) is final and costs one test.
// All blending is integer; divide255 is the rounding divide by 255.
#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "geometry/Paint.h"
#include "raster/Compositing.h"
#include "raster/Rasterizer.h"

using namespace compositing;

void Rasterizer::writeSpan(int32_t x, int32_t y, int32_t count, int32_t alpha) {
    if (paintIsSolid) {
        writeSolidSpan(x, y, count, alpha);
    } else {
        writePaintedSpan(x, y, count, alpha);
    }
}

void Rasterizer::writeSolidSpan(int32_t x, int32_t y, int32_t count, int32_t alpha) {
    const uint32_t coverage = static_cast<uint32_t>(alpha);
    // One colour serves the whole span.
    uint32_t src = clampToAlpha(paint->nextColour(0));
    if (coverage < kOpaque) {
        src = scale(src, coverage);
    }
    const uint32_t a = alphaByte(src);
    if (a == 0 || count <= 0) {
        return;
    }
    uint32_t* pixel = target + static_cast<std::ptrdiff_t>(y) * pitch + x;
    uint32_t* const end = pixel + count;
    const uint32_t srcClear = kOpaque - a;
    for (; pixel != end; ++pixel) {
        const uint32_t d = *pixel;
        const uint32_t da = alphaByte(d);
        if (da == 0) {
            *pixel = src;
        } else if (da != kOpaque) {
            const uint32_t dstClear = kOpaque - da;
            const uint32_t newAlpha = divide255(kFullProduct - dstClear * srcClear);
            *pixel = blendColour(newAlpha, d, src, dstClear);
        }
    }
}

void Rasterizer::writePaintedSpan(int32_t x, int32_t y, int32_t count, int32_t alpha) {
    // A span that starts where the previous one ended keeps the paint where it is.
    if (x != lastSpanEndX || y != lastSpanY) {
        paint->seek(x, y);
    }
    const uint32_t coverage = static_cast<uint32_t>(alpha);
    uint32_t* pixel = target + static_cast<std::ptrdiff_t>(y) * pitch + x;
    for (int32_t i = 0; i < count; ++i, ++pixel) {
        const uint32_t d = *pixel;
        const uint32_t da = alphaByte(d);
        if (da == kOpaque) {
            paint->nextColour(1);
            continue;
        }
        const uint32_t src = clampToAlpha(paint->nextColour(0));
        if (da == 0) {
            // Written even when transparent: the pixel was empty anyway.
            *pixel = coverage == kOpaque ? src : scale(src, coverage);
            continue;
        }
        const uint32_t ca = alphaByte(src);
        if (ca == 0) {
            continue;
        }
        const uint32_t dstClear = kOpaque - da;
        if (coverage == kOpaque) {
            const uint32_t newAlpha = divide255(kFullProduct - (kOpaque - ca) * dstClear);
            *pixel = blendColour(newAlpha, d, src, dstClear);
        } else {
            // The colour is weighted by one rounded factor rather than scaled first.
            const uint32_t scaledAlpha = divide255(coverage * ca);
            const uint32_t weight = divide255(coverage * dstClear);
            const uint32_t newAlpha = divide255(kFullProduct - (kOpaque - scaledAlpha) * dstClear);
            *pixel = blendColour(newAlpha, d, src, weight);
        }
    }
    lastSpanEndX = x + count;
    lastSpanY = y;
}

void Rasterizer::resolveBackground(uint32_t colour) {
    if (target == nullptr) {
        return;
    }
    const uint32_t bg = colour | (kOpaque << 24);
    const bool black = (bg & 0x00FFFFFFu) == 0;
    for (int32_t row = 0; row < height; ++row) {
        uint32_t* const pixels = target + static_cast<std::ptrdiff_t>(row) * pitch;
        if (black) {
            resolveRowOverBlack(pixels, width);
        } else {
            resolveRow(pixels, width, bg);
        }
    }
}

void Rasterizer::resolveRow(uint32_t* pixel, int32_t count, uint32_t bg) {
    uint32_t* const end = pixel + count;
    for (; pixel != end; ++pixel) {
        const uint32_t d = *pixel;
        const uint32_t da = alphaByte(d);
        if (da == 0) {
            *pixel = bg;
        } else if (da != kOpaque) {
            // A colour byte above its pixel's opacity counts as equal to it.
            *pixel = blendColour(kOpaque, clampToAlpha(d), bg, kOpaque - da);
        }
    }
}

// Over black every colour byte of the blend is divide255(min(byte, da) * 255), which is
// min(byte, da): the pixel clamped to its own alpha, made opaque. That covers empty
// pixels (all bytes 0) and opaque ones (unchanged) as well, so no pixel needs a branch.
void Rasterizer::resolveRowOverBlack(uint32_t* pixel, int32_t count) {
    constexpr uint32_t kAlphaMask = kOpaque << 24;
    int32_t i = 0;
#if defined(__SSE2__)
    constexpr int32_t kLanes = 4;
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(kAlphaMask));
    for (; i + kLanes <= count; i += kLanes) {
        __m128i* const at = reinterpret_cast<__m128i*>(pixel + i);
        const __m128i d = _mm_loadu_si128(at);
        const __m128i a = _mm_srli_epi32(d, 24);
        const __m128i spread = _mm_or_si128(_mm_or_si128(a, _mm_slli_epi32(a, 8)), _mm_slli_epi32(a, 16));
        _mm_storeu_si128(at, _mm_or_si128(_mm_min_epu8(d, spread), alphaMask));
    }
#endif
    for (; i < count; ++i) {
        pixel[i] = clampToAlpha(pixel[i]) | kAlphaMask;
    }
}
