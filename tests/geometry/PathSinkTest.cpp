// Pen and subpath bookkeeping, curve flattening and the arc walk of PathSink.
#include "geometry/PathSink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/RecordingSink.h"

namespace {

using Lines = std::vector<RecordedLine>;

// Every line starts where the previous one ended, the first at `from`.
void expectChain(const Lines& lines, float fromX, float fromY) {
    float x = fromX;
    float y = fromY;
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].x0, x) << "line " << i;
        EXPECT_EQ(lines[i].y0, y) << "line " << i;
        x = lines[i].x1;
        y = lines[i].y1;
    }
}

// Largest distance of the intermediate points (line ends but the last) from r around (cx, cy).
float radiusError(const Lines& lines, float cx, float cy, float r) {
    float worst = 0.0f;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        const float d = std::hypot(lines[i].x1 - cx, lines[i].y1 - cy);
        worst = std::fmax(worst, std::fabs(d - r));
    }
    return worst;
}

TEST(CurveFlattening, SixteenStepsGiveSixteenLinesEndingOnTheEndPoint) {
    RecordingSink sink;
    sink.setCurveSteps(16);
    sink.moveTo(3.0f, 4.0f);
    sink.quadTo(10.0f, -7.0f, 20.3f, 5.1f);
    ASSERT_EQ(sink.lines.size(), 16u);
    expectChain(sink.lines, 3.0f, 4.0f);
    EXPECT_EQ(sink.lines.back().x1, 20.3f);
    EXPECT_EQ(sink.lines.back().y1, 5.1f);

    sink.lines.clear();
    sink.cubicTo(0.0f, 0.0f, 7.7f, 9.9f, -1.3f, 2.9f);
    ASSERT_EQ(sink.lines.size(), 16u);
    expectChain(sink.lines, 20.3f, 5.1f);
    EXPECT_EQ(sink.pen().current.x, -1.3f);
    EXPECT_EQ(sink.pen().current.y, 2.9f);
}

TEST(CurveFlattening, OneStepOrLessIsOneStraightLine) {
    for (int32_t steps : {1, 0, -5}) {
        RecordingSink sink;
        sink.setCurveSteps(steps);
        sink.moveTo(1.0f, 1.0f);
        sink.quadTo(5.0f, 9.0f, 2.0f, 3.0f);
        sink.cubicTo(5.0f, 9.0f, -4.0f, 0.0f, 6.0f, 7.0f);
        EXPECT_EQ(sink.lines, (Lines{{1, 1, 2, 3}, {2, 3, 6, 7}})) << "steps " << steps;
    }
}

TEST(CurveFlattening, MidpointControlGivesEqualCollinearPieces) {
    RecordingSink sink;
    sink.setCurveSteps(16);
    sink.moveTo(0.0f, 0.0f);
    sink.quadTo(8.0f, 4.0f, 16.0f, 8.0f);
    ASSERT_EQ(sink.lines.size(), 16u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(sink.lines[i].x1, static_cast<float>(i + 1)) << i;
        EXPECT_EQ(sink.lines[i].y1, 0.5f * static_cast<float>(i + 1)) << i;
    }
}

TEST(CurveFlattening, InnerPointsLieOnTheCurve) {
    RecordingSink sink;
    sink.setCurveSteps(2);
    sink.moveTo(0.0f, 0.0f);
    // Quadratic at t = 1/2: (p0 + 2c + p2)/4 = (1, 1).
    sink.quadTo(1.0f, 2.0f, 2.0f, 0.0f);
    EXPECT_EQ(sink.lines, (Lines{{0, 0, 1, 1}, {1, 1, 2, 0}}));

    sink.lines.clear();
    sink.moveTo(0.0f, 0.0f);
    // Cubic at t = 1/2: (p0 + 3c1 + 3c2 + p3)/8 = (0.5, 0.75).
    sink.cubicTo(0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f);
    EXPECT_EQ(sink.lines, (Lines{{0, 0, 0.5f, 0.75f}, {0.5f, 0.75f, 1, 0}}));

    // At quarter steps the cubic (0,0) (0,1) (1,1) (1,0) passes (5/32, 9/16), (1/2, 3/4),
    // (27/32, 9/16).
    sink.lines.clear();
    sink.setCurveSteps(4);
    sink.moveTo(0.0f, 0.0f);
    sink.cubicTo(0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f);
    ASSERT_EQ(sink.lines.size(), 4u);
    const float expected[3][2] = {{0.15625f, 0.5625f}, {0.5f, 0.75f}, {0.84375f, 0.5625f}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(sink.lines[i].x1, expected[i][0], 1e-6f) << i;
        EXPECT_NEAR(sink.lines[i].y1, expected[i][1], 1e-6f) << i;
    }
}

TEST(CurveFlattening, CubicIntoItsOwnEndControlEndsExactly) {
    RecordingSink sink;
    sink.setCurveSteps(16);
    sink.moveTo(0.0f, 0.0f);
    sink.cubicTo(0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    ASSERT_EQ(sink.lines.size(), 16u);
    EXPECT_EQ(sink.lines.back().x1, 1.0f);
    EXPECT_EQ(sink.lines.back().y1, 1.0f);
}

TEST(Subpath, SecondMoveKeepsTheFirstStartForClose) {
    RecordingSink sink;
    sink.beginPath();
    sink.moveTo(1.0f, 1.0f);
    sink.moveTo(5.0f, 5.0f);
    sink.lineTo(6.0f, 5.0f);
    sink.closePath();
    EXPECT_EQ(sink.lines, (Lines{{5, 5, 6, 5}, {6, 5, 1, 1}}));
    EXPECT_EQ(sink.pen().current.x, 1.0f);
    EXPECT_TRUE(sink.pen().startPending);
    // After the close the next move starts a new subpath.
    sink.moveTo(8.0f, 9.0f);
    sink.closePath();
    EXPECT_EQ(sink.lines.back(), (RecordedLine{8, 9, 8, 9}));
}

TEST(Subpath, BeginPathStartsAfreshWithoutAClose) {
    RecordingSink sink;
    sink.moveTo(1.0f, 2.0f);
    sink.beginPath();
    sink.moveTo(3.0f, 4.0f);
    sink.lineTo(5.0f, 4.0f);
    sink.closePath();
    EXPECT_EQ(sink.lines.back(), (RecordedLine{5, 4, 3, 4}));
}

TEST(ArcWalk, HalfCircleOverTheTopIs315Lines) {
    RecordingSink sink;
    sink.moveTo(1.0f, 0.0f);
    sink.arcTo(1.0f, 1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_EQ(sink.lines.size(), 315u);
    expectChain(sink.lines, 1.0f, 0.0f);
    EXPECT_NEAR(sink.lines[0].x1, std::cos(0.01f), 1e-6f);
    EXPECT_NEAR(sink.lines[0].y1, std::sin(0.01f), 1e-6f);
    EXPECT_LT(radiusError(sink.lines, 0.0f, 0.0f, 1.0f), 1e-5f);
    // Parameter angle 1.57 is the 157th point, next to the top (0, 1).
    EXPECT_NEAR(sink.lines[156].x1, 0.0f, 0.001f);
    EXPECT_NEAR(sink.lines[156].y1, 1.0f, 0.001f);
    EXPECT_EQ(sink.lines.back().x1, -1.0f);
    EXPECT_EQ(sink.lines.back().y1, 0.0f);
}

TEST(ArcWalk, EarlierEndAngleTakesTheLongWay) {
    RecordingSink sink;
    sink.moveTo(0.0f, 0.0f);
    sink.arcTo(2.0f, 2.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    // Centre (1, -sqrt 3); 300 degrees in 0.01 steps: 523 inner points and the end.
    ASSERT_EQ(sink.lines.size(), 524u);
    EXPECT_LT(radiusError(sink.lines, 1.0f, -1.7320508f, 2.0f), 1e-5f);
    // The long way passes the bottom of the circle, (1, -3.73).
    float lowest = 0.0f;
    for (const auto& line : sink.lines)
        lowest = std::fmin(lowest, line.y1);
    EXPECT_NEAR(lowest, -3.7320508f, 1e-3f);
    EXPECT_EQ(sink.lines.back(), (RecordedLine{sink.lines.back().x0, sink.lines.back().y0, 2, 0}));
}

TEST(ArcWalk, VerticalChordRunsThroughTheRight) {
    RecordingSink sink;
    sink.moveTo(0.0f, 0.0f);
    sink.arcTo(1.0f, 1.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_EQ(sink.lines.size(), 315u);
    EXPECT_LT(radiusError(sink.lines, 0.0f, 1.0f, 1.0f), 1e-5f);
    float rightmost = 0.0f;
    for (const auto& line : sink.lines) {
        EXPECT_GE(line.x1, 0.0f);
        rightmost = std::fmax(rightmost, line.x1);
    }
    EXPECT_NEAR(rightmost, 1.0f, 1e-4f);
    EXPECT_EQ(sink.pen().current.x, 0.0f);
    EXPECT_EQ(sink.pen().current.y, 2.0f);
}

TEST(ArcWalk, RadiiThatJustMissTheChordStillMakeAHalfEllipse) {
    RecordingSink sink;
    sink.moveTo(0.0f, 0.0f);
    // One rounding step short of the half chord 1.
    sink.arcTo(0.99999994f, 0.99999994f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ASSERT_EQ(sink.lines.size(), 315u);
    EXPECT_LT(radiusError(sink.lines, 1.0f, 0.0f, 1.0f), 1e-5f);
}

TEST(ArcWalk, ArcWithoutACentreIsAStraightLine) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float rx, ry, x, y;
    };
    const Case cases[] = {
        {1.0f, 1.0f, 10.0f, 0.0f}, // radii too small for the chord
        {1.0f, 1.0f, 2.0f, 3.0f},  // end on the pen
        {0.0f, 1.0f, 3.0f, 3.0f},  // zero radius
        {1.0f, nan, 2.5f, 3.0f},      {inf, 1.0f, 2.5f, 3.0f},
        {1e-30f, 1e-30f, 2.5f, 3.0f}, // radii so small the half chord overflows
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        sink.moveTo(2.0f, 3.0f);
        sink.arcTo(c.rx, c.ry, c.x, c.y, 0.0f, 0.0f, 0.0f);
        EXPECT_EQ(sink.lines, (Lines{{2, 3, c.x, c.y}})) << c.rx << " " << c.ry;
    }
}

TEST(ArcWalk, NonFiniteEndOrPenEndsAfterOneLine) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    RecordingSink sink;
    sink.moveTo(0.0f, 0.0f);
    sink.arcTo(5.0f, 5.0f, nan, 1.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(sink.lines.size(), 1u);
    sink.moveTo(inf, 0.0f);
    sink.arcTo(5.0f, 5.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(sink.lines.size(), 2u);
    EXPECT_EQ(sink.pen().current.x, 1.0f);
}

} // namespace
