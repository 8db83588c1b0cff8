// A small 2-D affine map for laying out content: x' = a·x + c·y + e, y' = b·x + d·y + f.
// The content builder composes camera and object placements with it before writing words.
#pragma once

#include <cmath>

#include "geometry/FloatMath.h"
#include "geometry/Point2.h"

struct Affine {
    float a = 1.0f;
    float b = 0.0f;
    float c = 0.0f;
    float d = 1.0f;
    float e = 0.0f;
    float f = 0.0f;

    static Affine translation(float tx, float ty) { return {1.0f, 0.0f, 0.0f, 1.0f, tx, ty}; }
    static Affine scaling(float sx, float sy) { return {sx, 0.0f, 0.0f, sy, 0.0f, 0.0f}; }
    static Affine rotation(float angle) {
        const float cs = floatmath::cos(angle);
        const float sn = floatmath::sin(angle);
        return {cs, sn, -sn, cs, 0.0f, 0.0f};
    }
    // Horizontal shear: x' = x + k·y.
    static Affine shear(float k) { return {1.0f, 0.0f, k, 1.0f, 0.0f, 0.0f}; }

    Point2 apply(Point2 p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }

    // The map that applies this one first, then next.
    Affine then(const Affine& next) const {
        return {next.a * a + next.c * b,          next.b * a + next.d * b,
                next.a * c + next.c * d,          next.b * c + next.d * d,
                next.a * e + next.c * f + next.e, next.b * e + next.d * f + next.f};
    }

    // Scale of lengths for maps without shear: the square root of the area factor.
    float lengthScale() const { return std::sqrt(std::fabs(a * d - b * c)); }
    bool keepsAxes() const { return b == 0.0f && c == 0.0f; }
};
