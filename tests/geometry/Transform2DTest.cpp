// Transform building order, inversion, composition flags and the determinant.
#include "geometry/Transform2D.h"

#include <gtest/gtest.h>

#include <numbers>

namespace {

constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;

void expectMaps(const Transform2D& t, float x, float y, float wantX, float wantY) {
    float mx = x;
    float my = y;
    t.map(mx, my);
    EXPECT_NEAR(mx, wantX, 1e-5f) << "(" << x << ", " << y << ")";
    EXPECT_NEAR(my, wantY, 1e-5f) << "(" << x << ", " << y << ")";
}

void expectIdentityMatrix(const Transform2D& t) {
    const std::array<float, 9> identity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_EQ(t.matrix(), identity);
}

TEST(TransformBuild, DefaultParametersStayTheIdentity) {
    Transform2D t;
    EXPECT_TRUE(t.isIdentity());
    t.setRotation(0.0f);
    t.setScale(1.0f, 1.0f);
    t.setRotation(-0.0f);
    EXPECT_TRUE(t.isIdentity());
    expectIdentityMatrix(t);
    // Back at the defaults after a real scale: the identity again, flag included.
    t.setScale(2.0f, 2.0f);
    EXPECT_FALSE(t.isIdentity());
    t.setScale(1.0f, 1.0f);
    EXPECT_TRUE(t.isIdentity());
    expectIdentityMatrix(t);
    EXPECT_TRUE(movieTransform.isIdentity());
}

TEST(TransformBuild, ScaleComesBeforeRotationWhateverTheSetterOrder) {
    Transform2D scaleFirst;
    scaleFirst.setScale(2.0f, 1.0f);
    scaleFirst.setRotation(kQuarterTurn);
    expectMaps(scaleFirst, 1.0f, 0.0f, 0.0f, 2.0f);
    Transform2D rotationFirst;
    rotationFirst.setRotation(kQuarterTurn);
    rotationFirst.setScale(2.0f, 1.0f);
    expectMaps(rotationFirst, 1.0f, 0.0f, 0.0f, 2.0f);

    Transform2D turn;
    turn.setRotation(kQuarterTurn);
    expectMaps(turn, 1.0f, 0.0f, 0.0f, 1.0f);
    expectMaps(turn, 0.0f, 1.0f, -1.0f, 0.0f);
}

TEST(TransformBuild, SkewScaleRotateTranslateInThatOrder) {
    Transform2D t;
    t.setTranslation(10.0f, 20.0f);
    t.setRotation(kQuarterTurn);
    t.setScale(2.0f, 3.0f);
    t.setSkew(std::numbers::pi_v<float> / 4.0f, 0.0f);
    // (0, 1) skews to (1, 1), scales to (2, 3), turns to (-3, 2), moves to (7, 22).
    expectMaps(t, 0.0f, 1.0f, 7.0f, 22.0f);
    t.setSkew(0.0f, 0.0f);
    t.setRotation(0.0f);
    t.setScale(1.0f, 1.0f);
    expectMaps(t, 1.0f, 1.0f, 11.0f, 21.0f);
    t.setTranslation(0.0f, 0.0f);
    EXPECT_TRUE(t.isIdentity());
}

TEST(TransformInvert, ScaleInvertsAndParametersReset) {
    Transform2D t;
    t.setScale(2.0f, 4.0f);
    t.invert();
    EXPECT_EQ(t.matrix()[0], 0.5f);
    EXPECT_EQ(t.matrix()[4], 0.25f);
    EXPECT_EQ(t.matrix()[8], 1.0f);
    EXPECT_FALSE(t.isIdentity());
    EXPECT_EQ(t.scaleX, 1.0f);
    EXPECT_EQ(t.scaleY, 1.0f);
}

TEST(TransformInvert, SingularOrNonFiniteBecomesTheIdentity) {
    Transform2D t;
    t.setScale(0.0f, 1.0f);
    t.invert();
    EXPECT_TRUE(t.isIdentity());
    expectIdentityMatrix(t);
    EXPECT_EQ(t.scaleX, 0.0f);

    Transform2D huge;
    huge.setScale(1e30f, 1e30f);
    huge.invert();
    EXPECT_TRUE(huge.isIdentity());
}

TEST(TransformInvert, IdentityIsLeftAloneAndRoundTripsReturn) {
    Transform2D identity;
    identity.rotation = 3.0f; // a parameter not yet rebuilt
    identity.invert();
    EXPECT_TRUE(identity.isIdentity());
    EXPECT_EQ(identity.rotation, 3.0f);

    Transform2D forward;
    forward.setScale(2.0f, 0.5f);
    forward.setRotation(0.3f);
    forward.setTranslation(-4.0f, 7.0f);
    Transform2D back;
    back.assign(forward);
    back.invert();
    float x = 3.0f;
    float y = -2.0f;
    forward.map(x, y);
    back.map(x, y);
    EXPECT_NEAR(x, 3.0f, 1e-5f);
    EXPECT_NEAR(y, -2.0f, 1e-5f);
}

TEST(TransformCompose, FlagClearsUnlessBothAreIdentity) {
    Transform2D a;
    const Transform2D b;
    a.compose(b);
    EXPECT_TRUE(a.isIdentity());

    Transform2D half;
    half.setScale(0.5f, 0.5f);
    Transform2D twice;
    twice.setScale(2.0f, 2.0f);
    twice.compose(half);
    expectIdentityMatrix(twice);
    EXPECT_FALSE(twice.isIdentity());

    Transform2D plain;
    plain.compose(half);
    EXPECT_FALSE(plain.isIdentity());
    EXPECT_EQ(plain.matrix()[0], 0.5f);
}

TEST(TransformCompose, OtherIsAppliedAfterwards) {
    Transform2D stretch;
    stretch.setScale(2.0f, 1.0f);
    Transform2D shift;
    shift.setTranslation(1.0f, 0.0f);
    stretch.compose(shift);
    // (1, 0) stretches to (2, 0), then shifts to (3, 0).
    expectMaps(stretch, 1.0f, 0.0f, 3.0f, 0.0f);
}

TEST(TransformDeterminant, IdentityAndScale) {
    Transform2D t;
    EXPECT_EQ(t.determinant(), 1.0f);
    t.setScale(2.0f, 3.0f);
    EXPECT_EQ(t.determinant(), 6.0f);
    t.setRotation(1.0f);
    EXPECT_NEAR(t.determinant(), 6.0f, 1e-5f);
}

} // namespace
