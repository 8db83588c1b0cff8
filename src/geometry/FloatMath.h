// Float sine, cosine, tangent and arctangent with one result per argument on every machine and in
// the browser build. The C libraries disagree in the last bit, so the geometry calls these instead
// of std::sin, std::cos, std::tan and std::atan2. They equal glibc's float functions on x86-64 for
// every float; glibc's fused multiply-add variant of sine and cosine, picked at run time on newer
// CPUs, rounds 34 results the other way (12 sines, 22 cosines, all at |x| > 16).
#pragma once

#include <cstdint>

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
// On x86-64 CPUs with fused multiply-add, sin, cos and sinCos evaluate |x| < 16 with fused
// steps, which give the same results there (checked for every such float) in fewer
// instructions. For those checks: sinCosPortable never fuses, and fusedAvailable() says
// whether this machine takes the fused steps.
SinCos sinCosPortable(float x);
bool fusedAvailable();
// sinCos of x[0..n) into sin[0..n) and cos[0..n): the very bits sinCos(x[i]) gives, for every
// float. On x86-64 CPUs with AVX2 and FMA (or AVX-512) the arguments below 16 in magnitude are
// evaluated several at a time with the fused steps; the rest go through sinCos one by one.
// The three arrays do not overlap.
void sinCosBatch(const float* x, float* sin, float* cos, int32_t n);
// For checks: the evaluations sinCosBatch can take, widestLanes() the one this machine takes,
// and sinCosBatchWith(lanes, ...) that evaluation (lanes wider than widestLanes() run one by one).
enum class Lanes : int32_t { one = 1, four = 4, eight = 8 };
Lanes widestLanes();
void sinCosBatchWith(Lanes lanes, const float* x, float* sin, float* cos, int32_t n);
// tan(x) to within about 1 ulp; NaN for NaN and infinities.
float tan(float x);
// The angle of (x, y) in [-π, π], to within 1 ulp or so; the signs of zeros and infinities
// choose the quadrant as in C.
float atan2(float y, float x);

} // namespace floatmath
