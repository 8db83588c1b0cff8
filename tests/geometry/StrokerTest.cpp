// Stroke outlines worked out corner by corner (halfWidth 1 throughout).
#include "geometry/Stroker.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/PathWords.h"

namespace {

using Commands = std::vector<PathCommand>;

// Miter points come from a line intersection and may sit a rounding step off.
void expectCloseTo(const Commands& got, const Commands& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].code, want[i].code) << i;
        EXPECT_NEAR(got[i].x, want[i].x, 1e-5f) << i;
        EXPECT_NEAR(got[i].y, want[i].y, 1e-5f) << i;
    }
}

class StrokeOutline : public ::testing::Test {
protected:
    void SetUp() override { s.halfWidth = 1.0f; }
    Stroker s;
};

TEST_F(StrokeOutline, OpenLineIsOneClosedPolygon) {
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.endPath();
    EXPECT_EQ(commandsOf(s.outline),
              (Commands{M(0, -1), L(0, -1), L(10, -1), L(10, 1), L(0, 1), C()}));
    EXPECT_EQ(s.forwardSide.wordCount, 0);
    EXPECT_EQ(s.backwardSide.wordCount, 0);
}

TEST_F(StrokeOutline, JoinZeroGivesOnePiecePerLine) {
    s.join = Join::kNone;
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.lineTo(10.0f, 10.0f);
    s.endPath();
    EXPECT_EQ(commandsOf(s.outline),
              (Commands{M(0, -1), L(0, -1), L(10, -1), L(10, 1), L(0, 1), C(), M(11, 0), L(11, 0),
                        L(11, 10), L(9, 10), L(9, 0), C()}));
}

TEST_F(StrokeOutline, CornerGetsAMiterOnTheOuterSide) {
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.lineTo(10.0f, 10.0f);
    s.endPath();
    EXPECT_EQ(commandsOf(s.outline),
              (Commands{M(0, -1), L(0, -1), L(10, -1), L(11, -1), L(11, 0), L(11, 10), L(9, 10),
                        L(9, 0), L(10, 1), L(0, 1), C()}));
}

TEST_F(StrokeOutline, LeftTurnPutsTheMiterOnTheBackwardSide) {
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.lineTo(10.0f, -10.0f);
    s.endPath();
    // Second line caps: start (11, 0)-(9, 0), end (11, -10)-(9, -10); the inner corner
    // (9, -1) is missed, the outer one meets at (11, 1).
    EXPECT_EQ(commandsOf(s.outline),
              (Commands{M(0, -1), L(0, -1), L(10, -1), L(9, 0), L(9, -10), L(11, -10), L(11, 0),
                        L(11, 1), L(10, 1), L(0, 1), C()}));
}

TEST_F(StrokeOutline, ClosedSquareGivesTwoRings) {
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.lineTo(10.0f, 10.0f);
    s.lineTo(0.0f, 10.0f);
    s.closePath();
    s.endPath();
    expectCloseTo(commandsOf(s.outline),
                  (Commands{M(0, -1),  L(0, -1),  L(10, -1), L(11, -1), L(11, 0),  L(11, 10),
                            L(11, 11), L(10, 11), L(0, 11),  L(-1, 11), L(-1, 10), L(-1, 0),
                            L(-1, -1), C(),       M(0, 1),   L(1, 0),   L(1, 10),  L(0, 9),
                            L(10, 9),  L(9, 10),  L(9, 0),   L(10, 1),  L(0, 1),   C()}));
}

TEST_F(StrokeOutline, CurvePiecesRunOnWithoutMiters) {
    s.setCurveSteps(4);
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.quadTo(10.0f, 10.0f, 0.0f, 10.0f);
    s.endPath();
    // Forward: move, the line's two corners, one miter, the curve's start corner and the
    // end corners of its four pieces. Backward: the same without the miter, and a close.
    const Commands out = commandsOf(s.outline);
    ASSERT_EQ(out.size(), 17u);
    EXPECT_EQ(out[0], M(0, -1));
    // The miter meets the outer side y = -1 a little past x = 11, as the curve leans back.
    EXPECT_NEAR(out[3].y, -1.0f, 1e-5f);
    EXPECT_GT(out[3].x, 11.0f);
    EXPECT_LT(out[3].x, 11.5f);
    EXPECT_EQ(out.back(), C());
    for (size_t i = 1; i + 1 < out.size(); ++i)
        EXPECT_EQ(out[i].code, pathcode::kLine) << i;
}

TEST_F(StrokeOutline, NewSubpathFlushesTheOpenOne) {
    s.moveTo(0.0f, 0.0f);
    s.lineTo(10.0f, 0.0f);
    s.moveTo(0.0f, 5.0f);
    s.lineTo(0.0f, 6.0f);
    s.endPath();
    EXPECT_EQ(commandsOf(s.outline),
              (Commands{M(0, -1), L(0, -1), L(10, -1), L(10, 1), L(0, 1), C(), M(1, 5), L(1, 5),
                        L(1, 6), L(-1, 6), L(-1, 5), C()}));
}

TEST_F(StrokeOutline, EmptyAndNonFiniteLinesAddNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    s.moveTo(0.0f, 0.0f);
    s.lineTo(0.0f, 0.0f);
    s.lineTo(nan, 3.0f);
    s.lineTo(inf, 0.0f);
    EXPECT_EQ(s.forwardSide.wordCount, 0);
    EXPECT_EQ(s.backwardSide.wordCount, 0);
    s.arcTo6(1.0f, 1.0f, inf, inf, 0.0f, 0.0f);
    EXPECT_EQ(s.forwardSide.wordCount, 0);
}

TEST(StrokerGlobal, ShowInstanceHasTheDefaults) {
    EXPECT_EQ(stroker.join, Join::kMiter);
    EXPECT_EQ(stroker.halfWidth, 2.0f);
    EXPECT_EQ(stroker.outline.wordCount, 0);
}

} // namespace
