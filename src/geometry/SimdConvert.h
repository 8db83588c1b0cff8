// Conversions between lanes that the browser build's wasm SIMD has as one instruction each,
// where Emscripten's SSE2 header (or the compiler, once it has merged two of them) takes a
// lane at a time: truncation to int32 lanes, which goes through lrint there, and doubles
// rounded to floats, which the compiler merges into one four-lane conversion it has no
// instruction for.
#pragma once

#include <bit>

#include "geometry/Cpu.h"

#if TILSEN_SSE2
#include <emmintrin.h>
#if defined(__EMSCRIPTEN__)
#include <wasm_simd128.h>
#endif

namespace simdconvert {

// Float and double lanes truncated toward zero to int32 lanes, for values inside int32's range:
// outside it the lanes differ between systems, and callers must not use them.

// Four floats.
inline __m128i truncateInRange(__m128 v) {
#if defined(__EMSCRIPTEN__)
    return std::bit_cast<__m128i>(wasm_i32x4_trunc_sat_f32x4(std::bit_cast<v128_t>(v)));
#else
    return _mm_cvttps_epi32(v);
#endif
}

// Two doubles, into lanes 0 and 1; lanes 2 and 3 are 0.
inline __m128i truncateInRange(__m128d v) {
#if defined(__EMSCRIPTEN__)
    return std::bit_cast<__m128i>(wasm_i32x4_trunc_sat_f64x2_zero(std::bit_cast<v128_t>(v)));
#else
    return _mm_cvttpd_epi32(v);
#endif
}

// Four doubles rounded to floats: low's two, then high's two.
inline __m128 narrow(__m128d low, __m128d high) {
#if defined(__EMSCRIPTEN__)
    // Joined as two 64-bit lanes, which keeps the compiler from merging the conversions.
    return std::bit_cast<__m128>(
        wasm_i64x2_shuffle(wasm_f32x4_demote_f64x2_zero(std::bit_cast<v128_t>(low)),
                           wasm_f32x4_demote_f64x2_zero(std::bit_cast<v128_t>(high)), 0, 2));
#else
    return _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
#endif
}

} // namespace simdconvert
#endif
