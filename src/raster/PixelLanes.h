// The pixel kernels' lane traits, one type per register width: the same small set of integer
// operations on four (SSE2), eight (AVX2) or sixteen (AVX-512) 32-bit pixels, in 8-, 16- and
// 32-bit lanes, so that a kernel is written once over them (raster/PixelKernels.inl) and
// compiled for each width. Each operation carries its own target and is always inlined;
// a kernel over Avx2 or Avx512 must itself be compiled for that target. Sse2 where
// TILSEN_SSE2 (x86-64, and the browser build with wasm SIMD); the others on x86-64 only.
#pragma once

#include <cstdint>

#include "geometry/Cpu.h"

#if TILSEN_SSE2
#include <immintrin.h>

namespace pixellanes {

#define TILSEN_SSE2_LANE __attribute__((always_inline)) static inline
#define TILSEN_AVX2_LANE __attribute__((target("avx2"), always_inline)) static inline
#define TILSEN_AVX512_LANE __attribute__((target("avx512f,avx512bw"), always_inline)) static inline

// Four pixels in a 128-bit register.
struct Sse2 {
    using Word = __m128i;
    // A lane mask: all ones in each selected 32-bit lane.
    using Mask = __m128i;
    static constexpr int32_t kPixels = 4;
    // Whether a last, partial step can be loaded and stored masked (else the caller finishes
    // the row a narrower way).
    static constexpr bool kPartialSteps = false;

    TILSEN_SSE2_LANE Word load(const uint32_t* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    }
    TILSEN_SSE2_LANE void store(uint32_t* at, Word v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v);
    }
    TILSEN_SSE2_LANE Word zero() { return _mm_setzero_si128(); }
    TILSEN_SSE2_LANE Word splat32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    TILSEN_SSE2_LANE Word splat16(uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    TILSEN_SSE2_LANE Word bitAnd(Word a, Word b) { return _mm_and_si128(a, b); }
    TILSEN_SSE2_LANE Word bitOr(Word a, Word b) { return _mm_or_si128(a, b); }
    TILSEN_SSE2_LANE Mask equal32(Word a, Word b) { return _mm_cmpeq_epi32(a, b); }
    TILSEN_SSE2_LANE bool all(Mask m) { return _mm_movemask_epi8(m) == 0xFFFF; }
    TILSEN_SSE2_LANE Mask either(Mask a, Mask b) { return _mm_or_si128(a, b); }
    // a and not b.
    TILSEN_SSE2_LANE Mask butNot(Mask a, Mask b) { return _mm_andnot_si128(b, a); }
    // m ? a : b, lane by lane.
    TILSEN_SSE2_LANE Word select(Mask m, Word a, Word b) {
        return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
    }
    // The bytes of the low (high) two pixels of each 128-bit quarter as 16-bit lanes.
    // Byte i of bytes in all four bytes of pixel lane i, for the first kPixels bytes.
    TILSEN_SSE2_LANE Word spreadBytes(uint64_t bytes) {
        const __m128i b = _mm_cvtsi32_si128(static_cast<int>(static_cast<uint32_t>(bytes)));
        const __m128i pairs = _mm_unpacklo_epi8(b, b);
        return _mm_unpacklo_epi16(pairs, pairs);
    }
    TILSEN_SSE2_LANE Word widenLow(Word v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
    TILSEN_SSE2_LANE Word widenHigh(Word v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
    // widenLow and widenHigh undone, each 16-bit lane saturated to a byte.
    TILSEN_SSE2_LANE Word narrow(Word low, Word high) { return _mm_packus_epi16(low, high); }
    // Byte kByte of each pixel widenLow (widenHigh) takes, in all four of the pixel's 16-bit
    // lanes.
    template <int kByte> TILSEN_SSE2_LANE Word byteWordsLow(Word v) {
        return spreadWord<kByte>(widenLow(v));
    }
    template <int kByte> TILSEN_SSE2_LANE Word byteWordsHigh(Word v) {
        return spreadWord<kByte>(widenHigh(v));
    }
    // Each pixel's alpha in all four of its bytes.
    TILSEN_SSE2_LANE Word alphaBytes(Word v) {
        const Word alpha = _mm_srli_epi32(v, 24);
        const Word twice = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
        return _mm_or_si128(twice, _mm_slli_epi32(twice, 16));
    }
    TILSEN_SSE2_LANE Word mulLow16(Word a, Word b) { return _mm_mullo_epi16(a, b); }
    // Rasterizer::divide255 in every 16-bit lane, for values up to 65025. These lanes are
    // also the browser's, and wasm has no 16-bit high multiply: shifts and adds.
    TILSEN_SSE2_LANE Word divide255(Word x) {
        const Word one = splat16(1u);
        return _mm_srli_epi16(_mm_adds_epu16(_mm_adds_epu16(x, _mm_srli_epi16(x, 8)), one), 8);
    }
    TILSEN_SSE2_LANE Word addSaturated8(Word a, Word b) { return _mm_adds_epu8(a, b); }
    template <int kBits> TILSEN_SSE2_LANE Word shiftRight32(Word v) {
        return _mm_srli_epi32(v, kBits);
    }
    template <int kBits> TILSEN_SSE2_LANE Word shiftLeft32(Word v) {
        return _mm_slli_epi32(v, kBits);
    }
    TILSEN_SSE2_LANE Word minBytes(Word a, Word b) { return _mm_min_epu8(a, b); }
    TILSEN_SSE2_LANE Word minSigned16(Word a, Word b) { return _mm_min_epi16(a, b); }
    TILSEN_SSE2_LANE Word maxSigned16(Word a, Word b) { return _mm_max_epi16(a, b); }
    // Each 32-bit lane: the products of its two signed 16-bit halves in a and in b, summed.
    TILSEN_SSE2_LANE Word mulAddPairs16(Word a, Word b) { return _mm_madd_epi16(a, b); }
    // The sweep's integer operations on 32-bit lanes (and 64-bit ones for products).
    TILSEN_SSE2_LANE Word add32(Word a, Word b) { return _mm_add_epi32(a, b); }
    TILSEN_SSE2_LANE Word sub32(Word a, Word b) { return _mm_sub_epi32(a, b); }
    TILSEN_SSE2_LANE Word bitXor(Word a, Word b) { return _mm_xor_si128(a, b); }
    TILSEN_SSE2_LANE Mask greater32(Word a, Word b) { return _mm_cmpgt_epi32(a, b); }
    // SSE2 has no 32-bit minimum: a comparison and a select.
    TILSEN_SSE2_LANE Word minSigned32(Word a, Word b) { return select(greater32(a, b), b, a); }
    template <int kBits> TILSEN_SSE2_LANE Word shiftRightSigned32(Word v) {
        return _mm_srai_epi32(v, kBits);
    }
    // Lane i: the sum of lanes 0..i.
    TILSEN_SSE2_LANE Word prefixSum32(Word v) {
        v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
        return _mm_add_epi32(v, _mm_slli_si128(v, 8));
    }
    TILSEN_SSE2_LANE int32_t lastLane32(Word v) {
        return _mm_cvtsi128_si32(_mm_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3)));
    }
    TILSEN_SSE2_LANE Word laneIndex() { return _mm_setr_epi32(0, 1, 2, 3); }
    // The 32-bit lanes of a and of b, each saturated to 16 bits: a's in the low four 16-bit
    // lanes of each 128-bit quarter, b's in the high four.
    TILSEN_SSE2_LANE Word packSigned32(Word a, Word b) { return _mm_packs_epi32(a, b); }
    TILSEN_SSE2_LANE Word mulHighU16(Word a, Word b) { return _mm_mulhi_epu16(a, b); }
    // packSigned32 undone for lanes that fitted, zero-extended: a's lanes, then b's.
    TILSEN_SSE2_LANE Word widenLow16(Word v) { return _mm_unpacklo_epi16(v, _mm_setzero_si128()); }
    TILSEN_SSE2_LANE Word widenHigh16(Word v) { return _mm_unpackhi_epi16(v, _mm_setzero_si128()); }
    // The 64-bit products of the even 32-bit lanes, unsigned.
    TILSEN_SSE2_LANE Word mulEvenU32(Word a, Word b) { return _mm_mul_epu32(a, b); }
    template <int kBits> TILSEN_SSE2_LANE Word shiftRight64(Word v) {
        return _mm_srli_epi64(v, kBits);
    }
    template <int kBits> TILSEN_SSE2_LANE Word shiftLeft64(Word v) {
        return _mm_slli_epi64(v, kBits);
    }
    // Nothing to clear after 128-bit code.
    TILSEN_SSE2_LANE void leave() {}

private:
    // Word kWord of each widened pixel in all four of its 16-bit lanes.
    template <int kWord> TILSEN_SSE2_LANE Word spreadWord(Word v) {
        constexpr int kAll = _MM_SHUFFLE(kWord, kWord, kWord, kWord);
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, kAll), kAll);
    }
};

#if TILSEN_X86_64
// A byte shuffle control word that puts byte `byte` of pixel `pixel` of a 128-bit quarter into
// both 16-bit lanes the word fills, as widening lays bytes out (a control byte with its top
// bit set gives zero).
constexpr int byteWordsControl(int pixel, int byte) {
    const auto at = static_cast<uint32_t>(4 * pixel + byte);
    return static_cast<int>(0xFF00FF00u | at << 16 | at);
}

// Byte shuffle control words that copy the alpha byte of pixel 0..3 of a 128-bit quarter
// into all four of its bytes.
inline constexpr int kAlphaBytes0 = 0x03030303;
inline constexpr int kAlphaBytes1 = 0x07070707;
inline constexpr int kAlphaBytes2 = 0x0B0B0B0B;
inline constexpr int kAlphaBytes3 = 0x0F0F0F0F;

// Eight pixels in a 256-bit register: unpacking and packing work within each 128-bit half,
// so pixels keep their places.
struct Avx2 {
    using Word = __m256i;
    using Mask = __m256i;
    static constexpr int32_t kPixels = 8;
    static constexpr bool kPartialSteps = false;

    TILSEN_AVX2_LANE Word load(const uint32_t* at) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    }
    TILSEN_AVX2_LANE void store(uint32_t* at, Word v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), v);
    }
    TILSEN_AVX2_LANE Word zero() { return _mm256_setzero_si256(); }
    TILSEN_AVX2_LANE Word splat32(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    TILSEN_AVX2_LANE Word splat16(uint32_t v) { return _mm256_set1_epi16(static_cast<short>(v)); }
    TILSEN_AVX2_LANE Word bitAnd(Word a, Word b) { return _mm256_and_si256(a, b); }
    TILSEN_AVX2_LANE Word bitOr(Word a, Word b) { return _mm256_or_si256(a, b); }
    TILSEN_AVX2_LANE Mask equal32(Word a, Word b) { return _mm256_cmpeq_epi32(a, b); }
    TILSEN_AVX2_LANE bool all(Mask m) { return _mm256_movemask_epi8(m) == -1; }
    TILSEN_AVX2_LANE Mask either(Mask a, Mask b) { return _mm256_or_si256(a, b); }
    TILSEN_AVX2_LANE Mask butNot(Mask a, Mask b) { return _mm256_andnot_si256(b, a); }
    // A mask's lanes are all ones or all zeros, so its bytes select whole pixels.
    TILSEN_AVX2_LANE Word select(Mask m, Word a, Word b) { return _mm256_blendv_epi8(b, a, m); }
    TILSEN_AVX2_LANE Word spreadBytes(uint64_t bytes) {
        const __m128i b = _mm_cvtsi64_si128(static_cast<long long>(bytes));
        const __m128i pairs = _mm_unpacklo_epi8(b, b);
        return _mm256_set_m128i(_mm_unpackhi_epi16(pairs, pairs), _mm_unpacklo_epi16(pairs, pairs));
    }
    TILSEN_AVX2_LANE Word widenLow(Word v) {
        return _mm256_unpacklo_epi8(v, _mm256_setzero_si256());
    }
    TILSEN_AVX2_LANE Word widenHigh(Word v) {
        return _mm256_unpackhi_epi8(v, _mm256_setzero_si256());
    }
    TILSEN_AVX2_LANE Word narrow(Word low, Word high) { return _mm256_packus_epi16(low, high); }
    // One byte shuffle each, within each 128-bit half as the widening works.
    template <int kByte> TILSEN_AVX2_LANE Word byteWordsLow(Word v) {
        constexpr int kFirst = byteWordsControl(0, kByte);
        constexpr int kSecond = byteWordsControl(1, kByte);
        return _mm256_shuffle_epi8(v, _mm256_setr_epi32(kFirst, kFirst, kSecond, kSecond, kFirst,
                                                        kFirst, kSecond, kSecond));
    }
    template <int kByte> TILSEN_AVX2_LANE Word byteWordsHigh(Word v) {
        constexpr int kThird = byteWordsControl(2, kByte);
        constexpr int kFourth = byteWordsControl(3, kByte);
        return _mm256_shuffle_epi8(v, _mm256_setr_epi32(kThird, kThird, kFourth, kFourth, kThird,
                                                        kThird, kFourth, kFourth));
    }
    TILSEN_AVX2_LANE Word alphaBytes(Word v) {
        return _mm256_shuffle_epi8(v, _mm256_setr_epi32(kAlphaBytes0, kAlphaBytes1, kAlphaBytes2,
                                                        kAlphaBytes3, kAlphaBytes0, kAlphaBytes1,
                                                        kAlphaBytes2, kAlphaBytes3));
    }
    TILSEN_AVX2_LANE Word mulLow16(Word a, Word b) { return _mm256_mullo_epi16(a, b); }
    // (x + 1) * 257 >> 16 is divide255(x) for every x up to 65025 (and x + 1 fits).
    TILSEN_AVX2_LANE Word divide255(Word x) {
        return _mm256_mulhi_epu16(_mm256_add_epi16(x, splat16(1u)), splat16(257u));
    }
    TILSEN_AVX2_LANE Word addSaturated8(Word a, Word b) { return _mm256_adds_epu8(a, b); }
    template <int kBits> TILSEN_AVX2_LANE Word shiftRight32(Word v) {
        return _mm256_srli_epi32(v, kBits);
    }
    template <int kBits> TILSEN_AVX2_LANE Word shiftLeft32(Word v) {
        return _mm256_slli_epi32(v, kBits);
    }
    TILSEN_AVX2_LANE Word minBytes(Word a, Word b) { return _mm256_min_epu8(a, b); }
    TILSEN_AVX2_LANE Word minSigned16(Word a, Word b) { return _mm256_min_epi16(a, b); }
    TILSEN_AVX2_LANE Word maxSigned16(Word a, Word b) { return _mm256_max_epi16(a, b); }
    TILSEN_AVX2_LANE Word mulAddPairs16(Word a, Word b) { return _mm256_madd_epi16(a, b); }
    TILSEN_AVX2_LANE Word add32(Word a, Word b) { return _mm256_add_epi32(a, b); }
    TILSEN_AVX2_LANE Word sub32(Word a, Word b) { return _mm256_sub_epi32(a, b); }
    TILSEN_AVX2_LANE Word bitXor(Word a, Word b) { return _mm256_xor_si256(a, b); }
    TILSEN_AVX2_LANE Mask greater32(Word a, Word b) { return _mm256_cmpgt_epi32(a, b); }
    TILSEN_AVX2_LANE Word minSigned32(Word a, Word b) { return _mm256_min_epi32(a, b); }
    template <int kBits> TILSEN_AVX2_LANE Word shiftRightSigned32(Word v) {
        return _mm256_srai_epi32(v, kBits);
    }
    // Summed within each half, then the low half's total added to the high half's lanes.
    TILSEN_AVX2_LANE Word prefixSum32(Word v) {
        v = _mm256_add_epi32(v, _mm256_slli_si256(v, 4));
        v = _mm256_add_epi32(v, _mm256_slli_si256(v, 8));
        const __m256i lastOfHalves = _mm256_shuffle_epi32(v, _MM_SHUFFLE(3, 3, 3, 3));
        return _mm256_add_epi32(v, _mm256_permute2x128_si256(lastOfHalves, lastOfHalves, 0x08));
    }
    TILSEN_AVX2_LANE int32_t lastLane32(Word v) {
        return _mm_cvtsi128_si32(
            _mm_shuffle_epi32(_mm256_extracti128_si256(v, 1), _MM_SHUFFLE(3, 3, 3, 3)));
    }
    TILSEN_AVX2_LANE Word laneIndex() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
    TILSEN_AVX2_LANE Word packSigned32(Word a, Word b) { return _mm256_packs_epi32(a, b); }
    TILSEN_AVX2_LANE Word mulHighU16(Word a, Word b) { return _mm256_mulhi_epu16(a, b); }
    TILSEN_AVX2_LANE Word widenLow16(Word v) {
        return _mm256_unpacklo_epi16(v, _mm256_setzero_si256());
    }
    TILSEN_AVX2_LANE Word widenHigh16(Word v) {
        return _mm256_unpackhi_epi16(v, _mm256_setzero_si256());
    }
    TILSEN_AVX2_LANE Word mulEvenU32(Word a, Word b) { return _mm256_mul_epu32(a, b); }
    template <int kBits> TILSEN_AVX2_LANE Word shiftRight64(Word v) {
        return _mm256_srli_epi64(v, kBits);
    }
    template <int kBits> TILSEN_AVX2_LANE Word shiftLeft64(Word v) {
        return _mm256_slli_epi64(v, kBits);
    }
    // The upper halves are cleared before any SSE code runs again: left dirty, they slow
    // every later SSE instruction on some processors.
    TILSEN_AVX2_LANE void leave() { _mm256_zeroupper(); }
};

// Sixteen pixels in a 512-bit register, with masks in mask registers; the last step of a row
// is loaded and stored masked to the pixels that are there.
struct Avx512 {
    using Word = __m512i;
    using Mask = __mmask16;
    static constexpr int32_t kPixels = 16;
    static constexpr bool kPartialSteps = true;

    TILSEN_AVX512_LANE Word load(const uint32_t* at) { return _mm512_loadu_si512(at); }
    TILSEN_AVX512_LANE void store(uint32_t* at, Word v) { _mm512_storeu_si512(at, v); }
    // The first count < kPixels pixels from at, zero in the lanes past them.
    TILSEN_AVX512_LANE Word loadPart(const uint32_t* at, int32_t count) {
        return _mm512_maskz_loadu_epi32(there(count), at);
    }
    TILSEN_AVX512_LANE void storePart(uint32_t* at, int32_t count, Word v) {
        _mm512_mask_storeu_epi32(at, there(count), v);
    }
    TILSEN_AVX512_LANE Word zero() { return _mm512_setzero_si512(); }
    TILSEN_AVX512_LANE Word splat32(uint32_t v) { return _mm512_set1_epi32(static_cast<int>(v)); }
    TILSEN_AVX512_LANE Word splat16(uint32_t v) { return _mm512_set1_epi16(static_cast<short>(v)); }
    TILSEN_AVX512_LANE Word bitAnd(Word a, Word b) { return _mm512_and_si512(a, b); }
    TILSEN_AVX512_LANE Word bitOr(Word a, Word b) { return _mm512_or_si512(a, b); }
    TILSEN_AVX512_LANE Mask equal32(Word a, Word b) { return _mm512_cmpeq_epi32_mask(a, b); }
    TILSEN_AVX512_LANE bool all(Mask m) { return m == 0xFFFF; }
    TILSEN_AVX512_LANE Mask either(Mask a, Mask b) { return static_cast<Mask>(a | b); }
    TILSEN_AVX512_LANE Mask butNot(Mask a, Mask b) { return static_cast<Mask>(a & ~b); }
    TILSEN_AVX512_LANE Word select(Mask m, Word a, Word b) {
        return _mm512_mask_mov_epi32(b, m, a);
    }
    TILSEN_AVX512_LANE Word widenLow(Word v) {
        return _mm512_unpacklo_epi8(v, _mm512_setzero_si512());
    }
    TILSEN_AVX512_LANE Word widenHigh(Word v) {
        return _mm512_unpackhi_epi8(v, _mm512_setzero_si512());
    }
    TILSEN_AVX512_LANE Word narrow(Word low, Word high) { return _mm512_packus_epi16(low, high); }
    // The same shuffles in each 128-bit quarter (set4 lists its words last first).
    template <int kByte> TILSEN_AVX512_LANE Word byteWordsLow(Word v) {
        constexpr int kFirst = byteWordsControl(0, kByte);
        constexpr int kSecond = byteWordsControl(1, kByte);
        return _mm512_shuffle_epi8(v, _mm512_set4_epi32(kSecond, kSecond, kFirst, kFirst));
    }
    template <int kByte> TILSEN_AVX512_LANE Word byteWordsHigh(Word v) {
        constexpr int kThird = byteWordsControl(2, kByte);
        constexpr int kFourth = byteWordsControl(3, kByte);
        return _mm512_shuffle_epi8(v, _mm512_set4_epi32(kFourth, kFourth, kThird, kThird));
    }
    TILSEN_AVX512_LANE Word alphaBytes(Word v) {
        return _mm512_shuffle_epi8(
            v, _mm512_set4_epi32(kAlphaBytes3, kAlphaBytes2, kAlphaBytes1, kAlphaBytes0));
    }
    TILSEN_AVX512_LANE Word minBytes(Word a, Word b) { return _mm512_min_epu8(a, b); }
    TILSEN_AVX512_LANE Word mulLow16(Word a, Word b) { return _mm512_mullo_epi16(a, b); }
    TILSEN_AVX512_LANE Word divide255(Word x) {
        return _mm512_mulhi_epu16(_mm512_add_epi16(x, splat16(1u)), splat16(257u));
    }
    TILSEN_AVX512_LANE Word bitXor(Word a, Word b) { return _mm512_xor_si512(a, b); }
    TILSEN_AVX512_LANE Word addSaturated8(Word a, Word b) { return _mm512_adds_epu8(a, b); }
    TILSEN_AVX512_LANE void leave() { _mm256_zeroupper(); }

private:
    TILSEN_AVX512_LANE Mask there(int32_t count) { return static_cast<Mask>((1u << count) - 1u); }
};

#endif

#undef TILSEN_SSE2_LANE
#undef TILSEN_AVX2_LANE
#undef TILSEN_AVX512_LANE

} // namespace pixellanes
#endif
