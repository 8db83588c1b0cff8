// writeSpan and resolveBackground: front-to-back compositing. A new colour only goes
// *under* what a pixel holds, so an opaque pixel (alpha 255) is final and costs one test.
// All blending is integer; divide255 is the rounding divide by 255.
#include <algorithm>
#include <cstddef>

#include "geometry/Paint.h"
#include "raster/Rasterizer.h"

namespace {

constexpr uint32_t kOpaque = 255u;
constexpr uint32_t kFullProduct = 65025u; // 255 * 255

uint32_t alphaByte(uint32_t colour) {
    return colour >> 24;
}

uint32_t channel(uint32_t colour, uint32_t shift) {
    return (colour >> shift) & 0xFFu;
}

uint32_t pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A premultiplied colour byte never exceeds its alpha. Damaged colours are pulled down
// to it so that no later blend can carry into the neighbouring byte; valid colours pass
// unchanged.
uint32_t clampToAlpha(uint32_t colour) {
    const uint32_t a = alphaByte(colour);
    const uint32_t r = std::min(channel(colour, 16), a);
    const uint32_t g = std::min(channel(colour, 8), a);
    const uint32_t b = std::min(channel(colour, 0), a);
    return pack(a, r, g, b);
}

// Each of the four bytes b becomes divide255(b * alpha).
uint32_t scale(uint32_t colour, uint32_t alpha) {
    return pack(Rasterizer::divide255(alphaByte(colour) * alpha),
                Rasterizer::divide255(channel(colour, 16) * alpha),
                Rasterizer::divide255(channel(colour, 8) * alpha),
                Rasterizer::divide255(channel(colour, 0) * alpha));
}

// divide255(pixelByte * 255 + srcByte * weight), capped at 255 so that a pixel whose
// colour exceeds its alpha cannot spill into the next byte.
uint32_t blendByte(uint32_t pixel, uint32_t src, uint32_t weight, uint32_t shift) {
    const uint32_t v =
        Rasterizer::divide255(channel(pixel, shift) * kOpaque + channel(src, shift) * weight);
    return std::min(v, kOpaque);
}

uint32_t blendColour(uint32_t newAlpha, uint32_t pixel, uint32_t src, uint32_t weight) {
    return pack(newAlpha, blendByte(pixel, src, weight, 16), blendByte(pixel, src, weight, 8),
                blendByte(pixel, src, weight, 0));
}

} // namespace

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
    for (int32_t row = 0; row < height; ++row) {
        uint32_t* pixel = target + static_cast<std::ptrdiff_t>(row) * pitch;
        uint32_t* const end = pixel + width;
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
}
