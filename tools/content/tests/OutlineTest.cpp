#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "CellCount.h"
#include "Outline.h"
#include "geometry/Path.h"

namespace {
uint32_t f(float v) {
    return std::bit_cast<uint32_t>(v);
}
} // namespace

TEST(OutlineEllipse, IsTwoHalfArcsAlongTheHorizontalDiameter) {
    Outline o;
    o.ellipse(10.0f, 20.0f, 5.0f, 3.0f);
    const std::vector<uint32_t> expected = {pathcode::kMove,
                                            f(15.0f),
                                            f(20.0f),
                                            pathcode::kArc,
                                            f(5.0f),
                                            f(3.0f),
                                            f(5.0f),
                                            f(20.0f),
                                            0,
                                            0,
                                            0,
                                            pathcode::kMove,
                                            f(5.0f),
                                            f(20.0f),
                                            pathcode::kArc,
                                            f(5.0f),
                                            f(3.0f),
                                            f(15.0f),
                                            f(20.0f),
                                            0,
                                            0,
                                            0};
    EXPECT_EQ(o.words(), expected);
}

TEST(OutlineEllipse, CentreAndRadiiSnapToASixtyFourthSoTheChordIsExact) {
    Outline o;
    o.ellipse(10.004f, 20.0f, 5.01f, 3.0f);
    const std::vector<uint32_t> w = o.words();
    // 10.004 -> 640/64 = 10; 5.01 -> 321/64 = 5.015625; ends at 15.015625 and 4.984375.
    EXPECT_EQ(w[1], f(15.015625f));
    EXPECT_EQ(w[4], f(5.015625f));
    EXPECT_EQ(w[6], f(4.984375f));
    const float mid = (std::bit_cast<float>(w[1]) + std::bit_cast<float>(w[6])) / 2.0f;
    EXPECT_EQ(std::bit_cast<float>(w[1]) - mid, std::bit_cast<float>(w[4])); // half chord == radius
}

TEST(OutlineTransform, CircleStaysACircleUnderRotationAndZoom) {
    Outline o;
    o.ellipse(10.0f, 0.0f, 4.0f, 4.0f);
    const Outline t = o.transformed(Affine::rotation(1.5707964f).then(Affine::scaling(2.0f, 2.0f)));
    ASSERT_EQ(t.commands.size(), 1u);
    EXPECT_NEAR(t.commands[0].p[0].x, 0.0f, 1e-5f);
    EXPECT_NEAR(t.commands[0].p[0].y, 20.0f, 1e-5f);
    EXPECT_NEAR(t.commands[0].p[1].x, 8.0f, 1e-5f);
    EXPECT_NEAR(t.commands[0].p[1].y, 8.0f, 1e-5f);
}

TEST(OutlineWords, CurvesAndCloseUseTheirCodesAndOperands) {
    Outline o;
    o.moveTo(1.0f, 2.0f);
    o.quadTo(3.0f, 4.0f, 5.0f, 6.0f);
    o.cubicTo(7.0f, 8.0f, 9.0f, 10.0f, 11.0f, 12.0f);
    o.close();
    const std::vector<uint32_t> expected = {pathcode::kMove,
                                            f(1),
                                            f(2),
                                            pathcode::kQuad,
                                            f(3),
                                            f(4),
                                            f(5),
                                            f(6),
                                            pathcode::kCubic,
                                            f(7),
                                            f(8),
                                            f(9),
                                            f(10),
                                            f(11),
                                            f(12),
                                            pathcode::kClose};
    EXPECT_EQ(o.words(), expected);
}

TEST(CellCount, SquareCrossesTwoHalfScanlinesPerRowOnEachSide) {
    Outline o;
    o.rect(20.0f, 30.0f, 10.0f, 10.0f);
    EXPECT_EQ(countCells(o.words()), 2 * 20);
}

TEST(CellCount, RowsOutsideTheTargetCostNothing) {
    Outline o;
    o.rect(-50.0f, -10.0f, 400.0f, 220.0f); // rows -10..210 on a 200-row target
    EXPECT_EQ(countCells(o.words()), 2 * 400);
}

TEST(CellCount, CurvesAreCountedAfterFlattening) {
    // A quadratic from (0, 0) through (10, 20.5) back to (20, 0) peaks at y = 10.25:
    // half-scanlines 0..19 on the way down and again on the way back.
    Outline o;
    o.moveTo(0.0f, 0.0f);
    o.quadTo(10.0f, 20.5f, 20.0f, 0.0f);
    o.close();
    EXPECT_EQ(countCells(o.words()), 2 * 20);
}
