// writeSpan and resolveBackground: front-to-back compositing. A new colour only goes
// *under* what a pixel holds, so an opaque pixel (alpha 255) is final and costs one test.
// All blending is integer; divide255 is the rounding divide by 255.
#include <algorithm>
#include <bit>
#include <cstddef>

#include "geometry/Cpu.h"
#include "geometry/Paint.h"
#include "raster/Compositing.h"
#include "raster/PixelLanes.h"
#include "raster/Rasterizer.h"
#include "raster/RowBlocks.h"

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
    uint32_t* const row = target + static_cast<std::ptrdiff_t>(y) * pitch;
    if (rowBlocks != nullptr) {
        rowblocks::prepare(rowBlocks.get()[y], row, width, x, count);
    }
    underRun(row + x, count, src);
}

#if TILSEN_SSE2
// The pixel kernels once per width, each compiled for its own instructions.
namespace {
namespace sse2 {
#include "raster/PixelKernels.inl"
} // namespace sse2
#if TILSEN_X86_64
TILSEN_TARGET_AVX2_BEGIN
namespace avx2 {
#include "raster/PixelKernels.inl"
} // namespace avx2
TILSEN_TARGET_END
TILSEN_TARGET_AVX512_BEGIN
namespace avx512 {
#include "raster/PixelKernels.inl"
} // namespace avx512
TILSEN_TARGET_END
#endif
} // namespace

// Each width does its whole steps (AVX-512 its last, partial one too, masked) and hands the
// rest to the next narrower way.
void compositing::underRunSse2(uint32_t* pixel, int32_t count, uint32_t src) {
    const int32_t done = sse2::underRunLanes<pixellanes::Sse2>(pixel, count, src);
    underRunScalar(pixel + done, count - done, src);
}

void compositing::underEightSse2(uint32_t* pixel, uint64_t alphas, int32_t count, int32_t room,
                                 uint32_t full) {
    sse2::CoverageLanes<pixellanes::Sse2>(full).under(pixel, alphas, count, room);
}

#if TILSEN_X86_64
TILSEN_AVX2_TARGET void compositing::underRunAvx2(uint32_t* pixel, int32_t count, uint32_t src) {
    const int32_t done = avx2::underRunLanes<pixellanes::Avx2>(pixel, count, src);
    pixellanes::Avx2::leave();
    underRunSse2(pixel + done, count - done, src);
}

TILSEN_AVX512_TARGET void compositing::underRunAvx512(uint32_t* pixel, int32_t count,
                                                      uint32_t src) {
    avx512::underRunLanes<pixellanes::Avx512>(pixel, count, src);
    pixellanes::Avx512::leave();
}

TILSEN_AVX2_TARGET void compositing::underEightAvx2(uint32_t* pixel, uint64_t alphas, int32_t count,
                                                    int32_t room, uint32_t full) {
    avx2::CoverageLanes<pixellanes::Avx2>(full).under(pixel, alphas, count, room);
    pixellanes::Avx2::leave();
}
#endif
#endif

void compositing::underRun(uint32_t* pixel, int32_t count, uint32_t src) {
#if TILSEN_SSE2
    const cpu::SimdLevel level = cpu::level();
#if TILSEN_X86_64
    // Short runs are not worth the set-up of the wider registers.
    constexpr int32_t kWideFrom = 16;
    if (count >= kWideFrom && level >= cpu::SimdLevel::avx512) {
        underRunAvx512(pixel, count, src);
        return;
    }
    if (count >= kWideFrom && level >= cpu::SimdLevel::avx2) {
        underRunAvx2(pixel, count, src);
        return;
    }
#endif
    if (level >= cpu::SimdLevel::sse2) {
        underRunSse2(pixel, count, src);
    } else {
        underRunScalar(pixel, count, src);
    }
#else
    underRunScalar(pixel, count, src);
#endif
}

void Rasterizer::writePaintedSpan(int32_t x, int32_t y, int32_t count, int32_t alpha) {
    // A span that starts where the previous one ended keeps the paint where it is.
    if (x != lastSpanEndX || y != lastSpanY) {
        paint->seek(x, y);
    }
    const uint32_t coverage = static_cast<uint32_t>(alpha);
    uint32_t* pixel = target + static_cast<std::ptrdiff_t>(y) * pitch + x;
    if (rowBlocks != nullptr) {
        rowblocks::prepare(rowBlocks.get()[y], pixel - x, width, x, count);
    }
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
    const StageTimer timer(stageTimes != nullptr ? &stageTimes->resolve : nullptr);
    const uint32_t bg = colour | (kOpaque << 24);
    const bool black = (bg & 0x00FFFFFFu) == 0;
    const auto resolve = [&](uint32_t* pixels, int32_t count) {
        if (black) {
            resolveRowOverBlack(pixels, count);
        } else {
            resolveRow(pixels, count, bg);
        }
    };
    for (int32_t row = 0; row < height; ++row) {
        uint32_t* const pixels = target + static_cast<std::ptrdiff_t>(row) * pitch;
        // Blocks known opaque are final and blocks never written take the background as it
        // is: only the stretches between them are read.
        RowBlocks none{0u, 0u};
        RowBlocks& blocks = rowBlocks != nullptr ? rowBlocks.get()[row] : none;
        rowblocks::forEachStretch(blocks.opaque | blocks.fresh, 0, width,
                                  [&](int32_t from, int32_t n) { resolve(pixels + from, n); });
        if (blocks.fresh != 0) {
            rowblocks::fill(blocks, blocks.fresh, pixels, width, bg);
        }
        blocks.opaque = rowblocks::all(width);
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

#if TILSEN_X86_64
namespace {
// resolveOverBlackLanes eight and sixteen pixels a step, out of line for their targets.
TILSEN_AVX2_TARGET int32_t resolveOverBlackAvx2(uint32_t* pixel, int32_t count) {
    const int32_t done = avx2::resolveOverBlackLanes<pixellanes::Avx2>(pixel, count);
    pixellanes::Avx2::leave();
    return done;
}

// Every pixel of the row: its last step is masked.
TILSEN_AVX512_TARGET void resolveOverBlackAvx512(uint32_t* pixel, int32_t count) {
    avx512::resolveOverBlackLanes<pixellanes::Avx512>(pixel, count);
    pixellanes::Avx512::leave();
}
} // namespace
#endif

// Over black every colour byte of the blend is divide255(min(byte, da) * 255), which is
// min(byte, da): the pixel clamped to its own alpha, made opaque. That covers empty
// pixels (all bytes 0) and opaque ones (unchanged) as well, so no pixel needs a branch.
// Sixteen pixels a step at cpu::SimdLevel::avx512 (the last step masked), eight at avx2,
// four at sse2, else one.
void Rasterizer::resolveRowOverBlack(uint32_t* pixel, int32_t count) {
    constexpr uint32_t kAlphaMask = kOpaque << 24;
    int32_t i = 0;
#if TILSEN_SSE2
    const cpu::SimdLevel level = cpu::level();
#if TILSEN_X86_64
    if (level >= cpu::SimdLevel::avx512) {
        resolveOverBlackAvx512(pixel, count);
        return;
    }
    if (level >= cpu::SimdLevel::avx2) {
        i = resolveOverBlackAvx2(pixel, count);
    }
#endif
    if (level >= cpu::SimdLevel::sse2) {
        i += sse2::resolveOverBlackLanes<pixellanes::Sse2>(pixel + i, count - i);
    }
#endif
    for (; i < count; ++i) {
        pixel[i] = clampToAlpha(pixel[i]) | kAlphaMask;
    }
}
