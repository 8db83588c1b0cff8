// Float sine, cosine, tangent and arctangent with one result per argument on every machine and in
// the browser build. The C libraries disagree in the last bit, so the geometry calls these instead
// of std::sin, std::cos, std::tan and std::atan2. They equal glibc's float functions on x86-64 for
// every float; glibc's fused multiply-add variant of sine and cosine, picked at run time on newer
// CPUs, rounds 34 results the other way (12 sines, 22 cosines, all at |x| > 16).
#pragma once

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
// tan(x) to within about 1 ulp; NaN for NaN and infinities.
float tan(float x);
// The angle of (x, y) in [-π, π], to within 1 ulp or so; the signs of zeros and infinities
// choose the quadrant as in C.
float atan2(float y, float x);

} // namespace floatmath
