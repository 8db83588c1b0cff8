// The affine transform: rebuilt from its parameters as T·R·S·K, each factor multiplied in
// on the left. The identity flag is only ever set together with an exact identity matrix, so a
// user may skip the mapping whenever it is set.
#include "geometry/Transform2D.h"

#include "geometry/FloatMath.h"

#include <cmath>

Transform2D movieTransform;

namespace {

using Matrix = std::array<float, 9>;

constexpr Matrix kIdentity = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

} // namespace

Transform2D Transform2D::fromMatrix(const Matrix& matrix) {
    Transform2D result;
    result.m = matrix;
    result.identity = false;
    return result;
}

Transform2D::Transform2D() {
    setIdentity();
}

void Transform2D::setIdentity() {
    m = kIdentity;
    identity = true;
}

void Transform2D::setRotation(float angle) {
    rotation = angle;
    rebuild();
}

void Transform2D::setScale(float sx, float sy) {
    scaleX = sx;
    scaleY = sy;
    rebuild();
}

void Transform2D::setTranslation(float tx, float ty) {
    translateX = tx;
    translateY = ty;
    rebuild();
}

void Transform2D::setSkew(float sx, float sy) {
    skewX = sx;
    skewY = sy;
    rebuild();
}

void Transform2D::rebuild() {
    if (!identity) {
        setIdentity();
    }
    if (skewX != 0.0f || skewY != 0.0f) {
        identity = false;
        compose(fromMatrix({1.0f, floatmath::tan(skewX), 0.0f, floatmath::tan(skewY), 1.0f, 0.0f,
                            0.0f, 0.0f, 1.0f}));
    }
    if (scaleX != 1.0f || scaleY != 1.0f) {
        identity = false;
        compose(fromMatrix({scaleX, 0.0f, 0.0f, 0.0f, scaleY, 0.0f, 0.0f, 0.0f, 1.0f}));
    }
    if (rotation != 0.0f) {
        const floatmath::SinCos sc = floatmath::sinCos(rotation);
        const float co = sc.cos;
        const float si = sc.sin;
        identity = false;
        compose(fromMatrix({co, -si, 0.0f, si, co, 0.0f, 0.0f, 0.0f, 1.0f}));
    }
    if (translateX != 0.0f || translateY != 0.0f) {
        identity = false;
        compose(fromMatrix({1.0f, 0.0f, translateX, 0.0f, 1.0f, translateY, 0.0f, 0.0f, 1.0f}));
    }
}

void Transform2D::compose(const Transform2D& other) {
    if (identity && other.identity) {
        return;
    }
    const Matrix old = m;
    const Matrix& o = other.m;
    for (size_t r = 0; r < 3; ++r) {
        for (size_t k = 0; k < 3; ++k) {
            m[r * 3 + k] =
                o[r * 3] * old[k] + o[r * 3 + 1] * old[3 + k] + o[r * 3 + 2] * old[6 + k];
        }
    }
    identity = false;
}

void Transform2D::assign(const Transform2D& other) {
    *this = other;
}

float Transform2D::determinant() const {
    return m[0] * (m[4] * m[8] - m[7] * m[5]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[7] * m[3] - m[4] * m[6]);
}

void Transform2D::invert() {
    if (identity) {
        return;
    }
    const float d = determinant();
    // A singular matrix has no inverse; one with an infinite or undefined determinant
    // would give one of zeros and non-numbers. Both become the identity.
    if (d == 0.0f || !std::isfinite(d)) {
        setIdentity();
        return;
    }
    const Matrix inv = {
        (m[4] * m[8] - m[5] * m[7]) / d, -(m[1] * m[8] - m[2] * m[7]) / d,
        (m[1] * m[5] - m[4] * m[2]) / d, -(m[3] * m[8] - m[6] * m[5]) / d,
        (m[8] * m[0] - m[6] * m[2]) / d, -(m[5] * m[0] - m[3] * m[2]) / d,
        (m[3] * m[7] - m[6] * m[4]) / d, -(m[0] * m[7] - m[6] * m[1]) / d,
        (m[4] * m[0] - m[3] * m[1]) / d,
    };
    *this = Transform2D();
    m = inv;
    identity = false;
}

void Transform2D::map(float& x, float& y) const {
    if (identity) {
        return;
    }
    const float px = x;
    const float py = y;
    x = m[0] * px + m[1] * py + m[2];
    y = m[3] * px + m[4] * py + m[5];
}
