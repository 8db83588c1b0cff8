// Float and double lanes truncated toward zero to int32 lanes, for values inside int32's range:
// outside it the lanes differ between systems, and callers must not use them. SSE2 has one
// instruction for each; the browser build's wasm SIMD has one too, which Emscripten's SSE2
// header does not use (it converts a lane at a time through lrint).
#pragma once

#include <bit>

#include "geometry/Cpu.h"

#if TILSEN_SSE2
#include <emmintrin.h>
#if defined(__EMSCRIPTEN__)
#include <wasm_simd128.h>
#endif

namespace simdconvert {

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

} // namespace simdconvert
#endif
