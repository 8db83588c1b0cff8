// Float sine, cosine, tangent and arctangent with one result per argument on every machine and in
// the browser build. The C libraries disagree in the last bit, so the geometry calls these instead
// of std::sin, std::cos, std::tan and std::atan2. They equal glibc's float functions on x86-64 for
// every float; glibc's fused multiply-add variant of sine and cosine, picked at run time on newer
// CPUs, rounds 34 results the other way (12 sines, 22 cosines, all at |x| > 16).
#pragma once

#include <cstdint>

#include "geometry/Cpu.h"

namespace floatmath {

// sin(x) and cos(x) to within 0.56 ulp for every float; NaN for NaN and infinities.
float sin(float x);
float cos(float x);
// Both at once, with one reduction: the same values as sin(x) and cos(x).
struct SinCos {
    float sin;
    float cos;
};
SinCos sinCos(float x);
// sinCos of x[0..n) into sin[0..n) and cos[0..n): the very bits sinCos(x[i]) gives, for every
// float. The three arrays do not overlap.
void sinCosBatch(const float* x, float* sin, float* cos, int32_t n);
// The evaluation follows cpu::level(), with the same results at every level: from
// SimdLevel::sse2 on, sinCosBatch evaluates |x| < 16 four arguments at a time (eight from
// SimdLevel::avx512 on), the rest one at a time; from SimdLevel::avx2 on, sin, cos, sinCos and
// the batch's lanes evaluate |x| < 16 with fused multiply-adds (which give the same results
// there, checked for every such float, in fewer instructions).
// For checks that run on several threads, where a cpu::ScopedLevel cannot serve: the
// evaluations of the given level whatever cpu::level() is (a level above
// cpu::machineLevel() runs the machine's).
float sinAtLevel(cpu::SimdLevel level, float x);
float cosAtLevel(cpu::SimdLevel level, float x);
SinCos sinCosAtLevel(cpu::SimdLevel level, float x);
void sinCosBatchAtLevel(cpu::SimdLevel level, const float* x, float* sin, float* cos, int32_t n);
// tan(x) to within about 1 ulp; NaN for NaN and infinities.
float tan(float x);
// The angle of (x, y) in [-π, π], to within 1 ulp or so; the signs of zeros and infinities
// choose the quadrant as in C.
float atan2(float y, float x);

} // namespace floatmath
