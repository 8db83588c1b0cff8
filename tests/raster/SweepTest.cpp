// Coverage from sorted cells: the alpha mappings and whole fills of small shapes whose
// pixel values were worked out by hand. An opaque white paint turns alpha a into the
// pixel a * 0x01010101, so each expected pixel shows its alpha in every byte.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <ostream>
#include <utility>

#include "geometry/SolidPaint.h"
#include "support/RasterHarness.h"

namespace {

using enum FillRule;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

uint32_t grey(uint32_t alpha) {
    return alpha * 0x01010101u;
}

using Pixels = std::map<std::pair<int32_t, int32_t>, uint32_t>;

// Every non-empty pixel of the canvas, keyed by (x, y).
Pixels drawn(const Canvas& canvas) {
    Pixels out;
    for (int32_t y = 0; y < canvas.height; ++y) {
        for (int32_t x = 0; x < canvas.width; ++x) {
            if (canvas.at(x, y) != 0)
                out[{x, y}] = canvas.at(x, y);
        }
    }
    return out;
}

Pixels fillWhite(const Path& path, FillRule rule, int32_t w = 24, int32_t h = 16) {
    Canvas canvas(w, h);
    SolidPaint paint(kWhite);
    canvas.raster.fill(path, paint, rule);
    return drawn(canvas);
}

struct AlphaCase {
    int32_t v;
    int32_t evenOdd;
    int32_t nonZero;

    friend void PrintTo(const AlphaCase& c, std::ostream* out) { *out << "v=" << c.v; }
};

class AlphaMapping : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(AlphaMapping, MapsCoverageToAlpha) {
    const AlphaCase c = GetParam();
    EXPECT_EQ(Rasterizer::evenOddAlpha(c.v), c.evenOdd) << "v = " << c.v;
    EXPECT_EQ(Rasterizer::nonZeroAlpha(c.v), c.nonZero) << "v = " << c.v;
}

INSTANTIATE_TEST_SUITE_P(Sweep, AlphaMapping,
                         ::testing::Values(AlphaCase{256, 255, 255}, AlphaCase{257, 254, 255},
                                           AlphaCase{511, 0, 255}, AlphaCase{512, 0, 255},
                                           AlphaCase{-128, 127, 128}, AlphaCase{-100, 99, 100},
                                           AlphaCase{300, 211, 255}, AlphaCase{128, 128, 128},
                                           AlphaCase{-256, 255, 255}, AlphaCase{0, 0, 0},
                                           AlphaCase{std::numeric_limits<int32_t>::min(), 0, 255}));

TEST(Sweep, SquareCoversExactlyItsFourPixelsUnderBothRules) {
    Path path;
    addRect(path, 10.0f, 10.0f, 12.0f, 12.0f);
    const Pixels expected = {
        {{10, 10}, grey(255)}, {{11, 10}, grey(255)}, {{10, 11}, grey(255)}, {{11, 11}, grey(255)}};
    EXPECT_EQ(fillWhite(path, kNonZero), expected);
    EXPECT_EQ(fillWhite(path, kEvenOdd), expected);
}

TEST(Sweep, SquareTwiceIsFullUnderNonZeroAndEmptyUnderEvenOdd) {
    Path path;
    addRect(path, 10.0f, 10.0f, 12.0f, 12.0f);
    addRect(path, 10.0f, 10.0f, 12.0f, 12.0f);
    EXPECT_EQ(fillWhite(path, kNonZero).size(), 4u);
    for (const auto& [at, pixel] : fillWhite(path, kNonZero))
        EXPECT_EQ(pixel, grey(255));
    EXPECT_TRUE(fillWhite(path, kEvenOdd).empty());
}

TEST(Sweep, NestedSquaresFollowTheFillRule) {
    Path opposite;
    addRect(opposite, 1.0f, 1.0f, 9.0f, 9.0f);
    addPolygon(opposite, {{3.0f, 3.0f}, {3.0f, 7.0f}, {7.0f, 7.0f}, {7.0f, 3.0f}});
    Path same;
    addRect(same, 1.0f, 1.0f, 9.0f, 9.0f);
    addRect(same, 3.0f, 3.0f, 7.0f, 7.0f);

    for (FillRule rule : {kEvenOdd, kNonZero}) {
        const Pixels ring = fillWhite(opposite, rule);
        EXPECT_EQ(ring.count({5, 5}), 0u) << "rule " << static_cast<int>(rule);
        EXPECT_EQ(ring.size(), 64u - 16u) << "rule " << static_cast<int>(rule);
    }
    EXPECT_EQ(fillWhite(same, kNonZero).size(), 64u);
    EXPECT_EQ(fillWhite(same, kNonZero).at({5, 5}), grey(255));
    EXPECT_EQ(fillWhite(same, kEvenOdd), fillWhite(opposite, kEvenOdd));
}

TEST(Sweep, HalfPixelLeftEdgeGives127Then255ThenNothing) {
    Path path;
    addPolygon(path, {{10.5f, 0.0f}, {10.5f, 1.0f}, {12.0f, 1.0f}, {12.0f, 0.0f}});
    // Two crossings at position 128: T(254 * 128 / 255) = 127; the right edge cancels
    // pixel 12 to 256 - 256 = 0.
    const Pixels expected = {{{10, 0}, grey(127)}, {{11, 0}, grey(255)}};
    EXPECT_EQ(fillWhite(path, kNonZero), expected);
    EXPECT_EQ(fillWhite(path, kEvenOdd), expected);
}

TEST(Sweep, HalfRowDiffersByOneBetweenTheRules) {
    Path path;
    addPolygon(path, {{10.0f, 10.5f}, {14.0f, 10.5f}, {14.0f, 13.0f}, {10.0f, 13.0f}});
    for (FillRule rule : {kEvenOdd, kNonZero}) {
        const Pixels pixels = fillWhite(path, rule);
        EXPECT_EQ(pixels.size(), 12u);
        for (int32_t x = 10; x < 14; ++x) {
            // The upward left edge leaves v = -128 in row 10.
            EXPECT_EQ(pixels.at({x, 10}), grey(rule == kNonZero ? 128 : 127)) << x;
            EXPECT_EQ(pixels.at({x, 11}), grey(255)) << x;
            EXPECT_EQ(pixels.at({x, 12}), grey(255)) << x;
        }
    }
}

TEST(Sweep, TriangleCoverageUnderBothRules) {
    Path path;
    addPolygon(path, {{1.0f, 0.0f}, {4.0f, 2.0f}, {0.0f, 2.0f}});
    const Pixels nonZero = {{{0, 0}, grey(31)},  {{1, 0}, grey(97)},  {{0, 1}, grey(159)},
                            {{1, 1}, grey(255)}, {{2, 1}, grey(193)}, {{3, 1}, grey(33)}};
    const Pixels evenOdd = {{{0, 0}, grey(30)},  {{1, 0}, grey(96)},  {{0, 1}, grey(158)},
                            {{1, 1}, grey(255)}, {{2, 1}, grey(192)}, {{3, 1}, grey(32)}};
    EXPECT_EQ(fillWhite(path, kNonZero), nonZero);
    EXPECT_EQ(fillWhite(path, kEvenOdd), evenOdd);
}

TEST(Sweep, OpenOutlineFillsEachRowUpToItsLastCrossing) {
    // A lone downward edge: winding +1 from x = 3.5 to the right, but nothing is drawn
    // after the last cell of a row.
    Path path;
    path.appendMoveTo(3.5f, 0.0f);
    path.appendLineTo(3.5f, 2.0f);
    const Pixels expected = {{{3, 0}, grey(127)}, {{3, 1}, grey(127)}};
    EXPECT_EQ(fillWhite(path, kNonZero), expected);
}

TEST(Fill, EmptyPathDrawsNothingButSetsBoundsAndAsksIsSolid) {
    Canvas canvas(8, 8);
    RecordingPaint paint(kWhite);
    canvas.raster.fill(Path(), paint, kEvenOdd);
    EXPECT_TRUE(drawn(canvas).empty());
    const float big = std::numeric_limits<float>::max();
    EXPECT_EQ(paint.bounds[0], big);
    EXPECT_EQ(paint.bounds[1], big);
    EXPECT_EQ(paint.bounds[2], -big);
    EXPECT_EQ(paint.bounds[3], -big);
    EXPECT_EQ(paint.solidQuestions, 1);
}

TEST(Fill, BoundsAreInPathCoordinatesBeforeTheTransform) {
    Canvas canvas(32, 32);
    Path path;
    addRect(path, 1.0f, 2.0f, 5.0f, 9.0f);
    Transform2D scale;
    scale.setScale(2.0f, 2.0f);
    SolidPaint paint(kWhite);
    canvas.raster.fillTransformed(path, scale, paint, kNonZero);
    EXPECT_EQ(paint.bounds, (std::array<float, 4>{1.0f, 2.0f, 4.0f, 7.0f}));
    EXPECT_FLOAT_EQ(paint.deviceToPaint.matrix()[0], 0.5f);
    // The transform is let go with the fill: a later line is not scaled.
    EXPECT_EQ(canvas.walk(0.5f, 0.0f, 0.5f, 2.0f).size(), 4u);
    // The doubled rectangle covers (2, 4)..(10, 18).
    const Pixels pixels = drawn(canvas);
    EXPECT_EQ(pixels.size(), 8u * 14u);
    EXPECT_EQ(pixels.count({2, 4}), 1u);
    EXPECT_EQ(pixels.count({9, 17}), 1u);
}

TEST(Fill, NonSolidPaintSeeksOncePerUnbrokenRunOfSpans) {
    Canvas canvas(24, 4);
    Path path;
    addPolygon(path, {{10.5f, 0.0f}, {10.5f, 1.0f}, {12.0f, 1.0f}, {12.0f, 0.0f}});
    RecordingPaint paint(kWhite);
    canvas.raster.fill(path, paint, kNonZero);
    // Pixel 10 (crossing), then the run 11: the run continues where the pixel ended.
    ASSERT_EQ(paint.seeks.size(), 1u);
    EXPECT_EQ(paint.seeks[0].x, 10);
    EXPECT_EQ(paint.seeks[0].y, 0);
    EXPECT_EQ(paint.xs, (std::vector<int32_t>{10, 11}));
    EXPECT_EQ(canvas.at(10, 0), grey(127));
    EXPECT_EQ(canvas.at(11, 0), grey(255));
}

} // namespace
