// 2-D affine transform: a row-major 3x3 float matrix, the parameters it was built from
// and an isIdentity flag. Invariant: isIdentity implies m is exactly the identity
// (not the reverse). Users skip the mapping entirely while isIdentity is set.
#pragma once

#include <array>

class Transform2D {
public:
    Transform2D();

    void setIdentity();
    void setRotation(float angle);
    void setScale(float sx, float sy);
    void setTranslation(float tx, float ty);
    void setSkew(float sx, float sy);
    // m = T·R·S·K from the parameters.
    void rebuild();
    // m = other.m · m
    void compose(const Transform2D& other);
    void assign(const Transform2D& other);
    float determinant() const;
    void invert();

    // Maps (x, y) with the first two rows; both results come from the unmapped point.
    void map(float& x, float& y) const;

    // A transform with this matrix, not flagged as the identity even when it is one.
    static Transform2D fromMatrix(const std::array<float, 9>& matrix);
    const std::array<float, 9>& matrix() const { return m; }
    bool isIdentity() const { return identity; }

    float rotation = 0.0f;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    float translateX = 0.0f;
    float translateY = 0.0f;
    float skewX = 0.0f;
    float skewY = 0.0f;

private:
    std::array<float, 9> m{};
    bool identity = true;
};

// Transform of every movie frame; the identity throughout the show.
extern Transform2D movieTransform;
