// writeSpan and resolveBackground: front-to-back compositing. A new colour only goes
// *under* what a pixel holds, so an opaque pixel (alpha 255) is final and costs one test.
// All blending is integer; divide255 is the rounding divide by 255.
#include <algorithm>
#include <cstddef>

#include "geometry/Cpu.h"
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
    underRun(target + static_cast<std::ptrdiff_t>(y) * pitch + x, count, src);
}

// Four pixels at a time, two per register in 16-bit lanes. Per byte, under() is
// min(divide255(d * 255 + s * (255 - da)), 255), and for the alpha byte the same sum is
// divide255(65025 - (255 - da) * (255 - sa)). Both products fit 16 bits; their sum and
// the rounding are added with unsigned saturation, which gives 255 exactly where the
// plain sum would pass 65279 and be capped. An opaque pixel comes out unchanged
// (d * 255 divides back exactly), so only empty pixels need a select.
#if TILSEN_X86_64
void compositing::underRunSse2(uint32_t* pixel, int32_t count, uint32_t src) {
    int32_t i = 0;
    constexpr int32_t kLanes = 4;
    const __m128i zero = _mm_setzero_si128();
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(kOpaque << 24));
    const __m128i srcWide = _mm_set1_epi32(static_cast<int>(src));
    const __m128i srcWords = _mm_unpacklo_epi8(srcWide, zero);
    const __m128i full = _mm_set1_epi16(static_cast<short>(kOpaque));
    const __m128i one = _mm_set1_epi16(1);
    const auto blendTwo = [&](__m128i d) {
        __m128i da = _mm_shufflelo_epi16(d, _MM_SHUFFLE(3, 3, 3, 3));
        da = _mm_shufflehi_epi16(da, _MM_SHUFFLE(3, 3, 3, 3));
        const __m128i dstClear = _mm_sub_epi16(full, da);
        const __m128i sum =
            _mm_adds_epu16(_mm_mullo_epi16(d, full), _mm_mullo_epi16(srcWords, dstClear));
        const __m128i rounded = _mm_adds_epu16(_mm_adds_epu16(sum, _mm_srli_epi16(sum, 8)), one);
        return _mm_srli_epi16(rounded, 8);
    };
    for (; i + kLanes <= count; i += kLanes) {
        __m128i* const at = reinterpret_cast<__m128i*>(pixel + i);
        const __m128i d = _mm_loadu_si128(at);
        const __m128i da = _mm_and_si128(d, alphaMask);
        const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(da, alphaMask));
        if (opaque == 0xFFFF) {
            continue;
        }
        const __m128i empty = _mm_cmpeq_epi32(da, zero);
        if (_mm_movemask_epi8(empty) == 0xFFFF) {
            _mm_storeu_si128(at, srcWide);
            continue;
        }
        const __m128i blended = _mm_packus_epi16(blendTwo(_mm_unpacklo_epi8(d, zero)),
                                                 blendTwo(_mm_unpackhi_epi8(d, zero)));
        _mm_storeu_si128(
            at, _mm_or_si128(_mm_and_si128(empty, srcWide), _mm_andnot_si128(empty, blended)));
    }
    underRunScalar(pixel + i, count - i, src);
}

// underRunSse2 eight pixels at a time in 256-bit registers: the same 16-bit lane
// arithmetic on both 128-bit halves; what is left over (fewer than eight) goes the
// SSE2 way.
__attribute__((target("avx2"))) void compositing::underRunAvx2(uint32_t* pixel, int32_t count,
                                                               uint32_t src) {
    constexpr int32_t kLanes = 8;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(kOpaque << 24));
    const __m256i srcWide = _mm256_set1_epi32(static_cast<int>(src));
    const __m256i srcWords = _mm256_unpacklo_epi8(srcWide, zero);
    const __m256i full = _mm256_set1_epi16(static_cast<short>(kOpaque));
    const __m256i one = _mm256_set1_epi16(1);
    const auto blendTwo = [&](__m256i d) __attribute__((target("avx2"))) {
        return blendUnderWords(d, srcWords, full, one);
    };
    int32_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        __m256i* const at = reinterpret_cast<__m256i*>(pixel + i);
        const __m256i d = _mm256_loadu_si256(at);
        const __m256i da = _mm256_and_si256(d, alphaMask);
        const int opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi32(da, alphaMask));
        if (opaque == -1) {
            continue;
        }
        const __m256i empty = _mm256_cmpeq_epi32(da, zero);
        if (_mm256_movemask_epi8(empty) == -1) {
            _mm256_storeu_si256(at, srcWide);
            continue;
        }
        // Unpacking and packing both work within each 128-bit half, so pixels keep their places.
        const __m256i blended = _mm256_packus_epi16(blendTwo(_mm256_unpacklo_epi8(d, zero)),
                                                    blendTwo(_mm256_unpackhi_epi8(d, zero)));
        _mm256_storeu_si256(at, _mm256_or_si256(_mm256_and_si256(empty, srcWide),
                                                _mm256_andnot_si256(empty, blended)));
    }
    // The upper halves are cleared before any SSE code runs again: left dirty, they slow
    // every later SSE instruction on some processors.
    _mm256_zeroupper();
    underRunSse2(pixel + i, count - i, src);
}

__attribute__((target("avx2"))) void compositing::underEightAvx2(uint32_t* pixel, uint64_t alphas,
                                                                 int32_t count, uint32_t full) {
    const CoverageLanesAvx2 lanes(full);
    lanes.under(pixel, alphas, count);
    _mm256_zeroupper();
}

// underRunAvx2 sixteen pixels at a time: the same 16-bit lane arithmetic on all four
// 128-bit quarters, the last step masked to the pixels that are there; only opaque pixels
// are left unwritten, and they would come out unchanged anyway.
__attribute__((target("avx512f,avx512bw"))) void
compositing::underRunAvx512(uint32_t* pixel, int32_t count, uint32_t src) {
    constexpr int32_t kLanes = 16;
    const __m512i zero = _mm512_setzero_si512();
    const __m512i alphaMask = _mm512_set1_epi32(static_cast<int>(kOpaque << 24));
    const __m512i srcWide = _mm512_set1_epi32(static_cast<int>(src));
    const __m512i srcWords = _mm512_unpacklo_epi8(srcWide, zero);
    const __m512i full = _mm512_set1_epi16(static_cast<short>(kOpaque));
    const __m512i one = _mm512_set1_epi16(1);
    const auto blendTwo = [&](__m512i d) __attribute__((target("avx512f,avx512bw"))) {
        __m512i da = _mm512_shufflelo_epi16(d, _MM_SHUFFLE(3, 3, 3, 3));
        da = _mm512_shufflehi_epi16(da, _MM_SHUFFLE(3, 3, 3, 3));
        const __m512i dstClear = _mm512_sub_epi16(full, da);
        const __m512i sum =
            _mm512_adds_epu16(_mm512_mullo_epi16(d, full), _mm512_mullo_epi16(srcWords, dstClear));
        const __m512i rounded =
            _mm512_adds_epu16(_mm512_adds_epu16(sum, _mm512_srli_epi16(sum, 8)), one);
        return _mm512_srli_epi16(rounded, 8);
    };
    for (int32_t i = 0; i < count; i += kLanes) {
        const int32_t left = count - i;
        const __mmask16 there =
            left >= kLanes ? __mmask16{0xFFFF} : static_cast<__mmask16>((1u << left) - 1u);
        const __m512i d = _mm512_maskz_loadu_epi32(there, pixel + i);
        const __m512i da = _mm512_and_si512(d, alphaMask);
        const __mmask16 todo = static_cast<__mmask16>(
            there & ~static_cast<uint32_t>(_mm512_cmpeq_epi32_mask(da, alphaMask)));
        if (todo == 0) {
            continue;
        }
        const __mmask16 empty = _mm512_cmpeq_epi32_mask(da, zero);
        const __m512i blended = _mm512_packus_epi16(blendTwo(_mm512_unpacklo_epi8(d, zero)),
                                                    blendTwo(_mm512_unpackhi_epi8(d, zero)));
        _mm512_mask_storeu_epi32(pixel + i, todo, _mm512_mask_mov_epi32(blended, empty, srcWide));
    }
    _mm256_zeroupper();
}

#endif

void compositing::underRun(uint32_t* pixel, int32_t count, uint32_t src) {
    // Short runs are not worth the dispatch.
    constexpr int32_t kWideFrom = 16;
#if TILSEN_X86_64
    const cpu::SimdLevel level = cpu::level();
    if (count >= kWideFrom && level >= cpu::SimdLevel::avx512) {
        underRunAvx512(pixel, count, src);
    } else if (count >= kWideFrom && level >= cpu::SimdLevel::avx2) {
        underRunAvx2(pixel, count, src);
    } else if (level >= cpu::SimdLevel::sse2) {
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

#if TILSEN_X86_64
namespace {
// resolveRowOverBlack's lanes eight at a time; returns how many pixels it did (a multiple
// of eight), the rest is left to the narrower way.
__attribute__((target("avx2"))) int32_t resolveOverBlackAvx2(uint32_t* pixel, int32_t count) {
    constexpr int32_t kLanes = 8;
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(kOpaque << 24));
    int32_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        __m256i* const at = reinterpret_cast<__m256i*>(pixel + i);
        const __m256i d = _mm256_loadu_si256(at);
        const __m256i a = _mm256_srli_epi32(d, 24);
        const __m256i spread =
            _mm256_or_si256(_mm256_or_si256(a, _mm256_slli_epi32(a, 8)), _mm256_slli_epi32(a, 16));
        _mm256_storeu_si256(at, _mm256_or_si256(_mm256_min_epu8(d, spread), alphaMask));
    }
    _mm256_zeroupper();
    return i;
}
} // namespace
#endif

// Over black every colour byte of the blend is divide255(min(byte, da) * 255), which is
// min(byte, da): the pixel clamped to its own alpha, made opaque. That covers empty
// pixels (all bytes 0) and opaque ones (unchanged) as well, so no pixel needs a branch.
// Eight pixels a step at cpu::SimdLevel::avx2 and above, else four at sse2, else one.
void Rasterizer::resolveRowOverBlack(uint32_t* pixel, int32_t count) {
    constexpr uint32_t kAlphaMask = kOpaque << 24;
    int32_t i = 0;
#if TILSEN_X86_64
    const cpu::SimdLevel level = cpu::level();
    if (level >= cpu::SimdLevel::avx2) {
        i = resolveOverBlackAvx2(pixel, count);
    }
    constexpr int32_t kLanes = 4;
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(kAlphaMask));
    for (; level >= cpu::SimdLevel::sse2 && i + kLanes <= count; i += kLanes) {
        __m128i* const at = reinterpret_cast<__m128i*>(pixel + i);
        const __m128i d = _mm_loadu_si128(at);
        const __m128i a = _mm_srli_epi32(d, 24);
        const __m128i spread =
            _mm_or_si128(_mm_or_si128(a, _mm_slli_epi32(a, 8)), _mm_slli_epi32(a, 16));
        _mm_storeu_si128(at, _mm_or_si128(_mm_min_epu8(d, spread), alphaMask));
    }
#endif
    for (; i < count; ++i) {
        pixel[i] = clampToAlpha(pixel[i]) | kAlphaMask;
    }
}
