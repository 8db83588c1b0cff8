// The cell walk of emitLine: cell words, clipping and clamping, the bounding box, and
// the walk against its closed form.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "geometry/Flattening.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/Compositing.h"
#include "raster/EdgeLanes.h"
#include "support/RasterHarness.h"
#include "support/SimdLevels.h"

namespace {

using Cells = std::vector<Cell>;

TEST(EmitLine, VerticalEdgeGivesTwoCellsPerRow) {
    Canvas canvas(32, 16);
    const Cells down = canvas.walk(10.5f, 0.0f, 10.5f, 4.0f);
    const Cells expected = {cellWord(0, 10, 128, 1), cellWord(0, 10, 128, 1),
                            cellWord(1, 10, 128, 1), cellWord(1, 10, 128, 1),
                            cellWord(2, 10, 128, 1), cellWord(2, 10, 128, 1),
                            cellWord(3, 10, 128, 1), cellWord(3, 10, 128, 1)};
    EXPECT_EQ(down, expected);

    Cells up = canvas.walk(10.5f, 4.0f, 10.5f, 0.0f);
    for (Cell& c : up)
        c |= 1u;
    EXPECT_EQ(up, expected);
    EXPECT_EQ(canvas.walk(10.5f, 4.0f, 10.5f, 0.0f)[0] & 1u, 0u);
}

TEST(EmitLine, EdgeInsideOneHalfScanlineGivesOneCell) {
    Canvas canvas(32, 16);
    EXPECT_EQ(canvas.walk(3.0f, 0.3f, 3.0f, 0.9f), Cells{cellWord(0, 3, 0, 1)});
}

TEST(EmitLine, SlopedEdgesMoveByTheRoundedUpShareOfTheRun) {
    Canvas canvas(32, 16);
    EXPECT_EQ(canvas.walk(0.0f, 0.0f, 1.0f, 2.0f),
              (Cells{cellWord(0, 0, 0, 1), cellWord(0, 0, 64, 1), cellWord(1, 0, 128, 1),
                     cellWord(1, 0, 192, 1)}));
    // 256/3 and 512/3 round up to 86 and 171.
    EXPECT_EQ(canvas.walk(0.0f, 0.0f, 1.0f, 1.5f),
              (Cells{cellWord(0, 0, 0, 1), cellWord(0, 0, 86, 1), cellWord(1, 0, 171, 1)}));
    EXPECT_EQ(canvas.walk(1.0f, 1.5f, 0.0f, 0.0f),
              (Cells{cellWord(0, 0, 0, 0), cellWord(0, 0, 86, 0), cellWord(1, 0, 171, 0)}));
}

TEST(EmitLine, TopClipKeepsTheTrueXPosition) {
    Canvas canvas(32, 16);
    // Six half-scanlines above the target advance the walk by 6 * 1152 / 8 = 864.
    EXPECT_EQ(canvas.walk(5.25f, -3.0f, 9.75f, 1.0f),
              (Cells{cellWord(0, 8, 160, 1), cellWord(0, 9, 48, 1)}));
}

TEST(EmitLine, SteepEdgeWhollyAboveTheTargetAddsNothing) {
    // Two million half-scanlines above the target for a rise of two: the top clip must not
    // try to jump the walk over them (the jump would be a thousand times dx).
    Canvas canvas(32, 16);
    EXPECT_TRUE(canvas.walk(-1.0e6f, -1.0e6f, 1.0e6f, -999999.0f).empty());
    EXPECT_TRUE(canvas.walk(1.0e6f, -999999.0f, -1.0e6f, -1.0e6f).empty());
    // Ending exactly on the target's top edge covers no half-scanline of it either.
    EXPECT_TRUE(canvas.walk(-1.0e6f, -1.0e6f, 1.0e6f, 0.0f).empty());
}

TEST(EmitLine, ArcFlungFarAboveTheTargetFillsWithoutOverflow) {
    // Found by fuzzing: an arc with huge negative radii flattens into edges millions of
    // half-scanlines above the target; whichever walk the fill takes must skip them.
    Canvas canvas(320, 200);
    Path path;
    const uint32_t words[] = {1,
                              std::bit_cast<uint32_t>(5.0f),
                              std::bit_cast<uint32_t>(5.0f),
                              5,
                              std::bit_cast<uint32_t>(-2097152.0f),
                              std::bit_cast<uint32_t>(-7906553.0f),
                              std::bit_cast<uint32_t>(1.7727105e-37f),
                              0,
                              0,
                              0,
                              0};
    path.setWords(words, 11);
    SolidPaint white(0xffffffffu);
    canvas.raster.setCurveSteps(16);
    canvas.raster.fill(path, white, FillRule::kEvenOdd);
    canvas.raster.resolveBackground(0xff000000u);
    for (uint32_t p : canvas.pixels)
        ASSERT_EQ(p >> 24, 0xFFu);
}

TEST(EmitLine, OffTargetCrossingsClampToTheTargetEdges) {
    Canvas canvas(32, 16);
    for (Cell c : canvas.walk(-9.0f, 1.0f, -2.0f, 3.0f)) {
        EXPECT_EQ(c & 0x1FFFFEu, 0u) << std::hex << c;
    }
    for (Cell c : canvas.walk(40.0f, 1.0f, 90.0f, 3.0f)) {
        EXPECT_EQ((c >> 1) & 0xFFFFFu, 31u * 256u + 255u) << std::hex << c;
    }
    EXPECT_EQ(canvas.walk(40.0f, 1.0f, 90.0f, 3.0f).size(), 4u);
}

TEST(EmitLine, EdgeReachingBelowTheTargetStopsAtItsLastHalfScanline) {
    Canvas canvas(8, 3);
    const Cells cells = canvas.walk(2.0f, 1.0f, 2.0f, 50.0f);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells.back(), cellWord(2, 2, 0, 1));
}

TEST(EmitLine, FlatAndZeroLengthSegmentsAddNoCells) {
    Canvas canvas(32, 16);
    Rasterizer& r = canvas.raster;
    EXPECT_TRUE(canvas.walk(7.0f, 7.0f, 7.0f, 7.0f).empty());
    EXPECT_EQ(r.bounds().minX, std::numeric_limits<float>::max());
    EXPECT_EQ(r.bounds().maxY, std::numeric_limits<float>::min());

    EXPECT_TRUE(canvas.walk(1.0f, 5.0f, 9.0f, 5.2f).empty());
    // Start point to the minimum, end point to the maximum.
    EXPECT_EQ(r.bounds().minX, 1.0f);
    EXPECT_EQ(r.bounds().minY, 5.0f);
    EXPECT_EQ(r.bounds().maxX, 9.0f);
    EXPECT_EQ(r.bounds().maxY, 5.2f);
}

TEST(EmitLine, IdentityFlagSkipsTheMatrix) {
    Canvas canvas(32, 16);
    Transform2D identity;
    canvas.raster.setLineTransform(&identity);
    EXPECT_EQ(canvas.walk(0.0f, 0.0f, 1.0f, 2.0f).size(), 4u);
    EXPECT_EQ(canvas.walk(0.0f, 0.0f, 1.0f, 2.0f)[0], cellWord(0, 0, 0, 1));

    Transform2D scaled;
    scaled.setScale(2.0f, 2.0f);
    canvas.raster.setLineTransform(&scaled);
    const Cells cells = canvas.walk(0.5f, 0.0f, 0.5f, 2.0f);
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_EQ(cells[0], cellWord(0, 1, 0, 1));
    canvas.raster.setLineTransform(nullptr);
}

TEST(EmitLine, NonFiniteSegmentsAreDroppedBeforeTheBoundingBox) {
    Canvas canvas(32, 16);
    Rasterizer& r = canvas.raster;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(canvas.walk(nan, 0.0f, 3.0f, 4.0f).empty());
    EXPECT_TRUE(canvas.walk(1.0f, -inf, 3.0f, 4.0f).empty());
    EXPECT_TRUE(canvas.walk(1.0f, 0.0f, inf, 4.0f).empty());
    EXPECT_TRUE(canvas.walk(1.0f, 0.0f, 3.0f, nan).empty());
    EXPECT_EQ(r.bounds().minX, std::numeric_limits<float>::max());
    EXPECT_EQ(r.bounds().minY, std::numeric_limits<float>::max());
    EXPECT_EQ(r.bounds().maxX, std::numeric_limits<float>::min());
    EXPECT_EQ(r.bounds().maxY, std::numeric_limits<float>::min());

    // A matrix that overflows to infinity drops the mapped segment as well.
    Transform2D huge;
    huge.setScale(3.0e38f, 3.0e38f);
    r.setLineTransform(&huge);
    EXPECT_TRUE(canvas.walk(1.0f, 1.0f, 2.0f, 5.0f).empty());
    r.setLineTransform(nullptr);
}

TEST(EmitLine, HugeCoordinatesStillCrossEveryTargetRowOnce) {
    Canvas canvas(16, 8);
    const Cells down = canvas.walk(1e30f, -1e30f, -1e30f, 1e30f);
    ASSERT_EQ(down.size(), 16u);
    for (uint32_t k = 0; k < 16; ++k) {
        EXPECT_EQ(cellword::row(down[k]), k / 2);
        EXPECT_EQ(down[k] & 1u, 1u);
    }
    const Cells up = canvas.walk(-1e30f, 1e30f, 3.0f, -1e30f);
    ASSERT_EQ(up.size(), 16u);
    EXPECT_EQ(up[0] & 1u, 0u);
    // Entirely below the target: nothing lands on it.
    EXPECT_TRUE(canvas.walk(-1e30f, 9.0f, 1e30f, 1e30f).empty());
}

// The walk must equal x(j) = xStart + step * ceil(j * dx / dy) on half-scanline yTop + j,
// clamped into the target, for any segment.
TEST(EmitLine, WalkMatchesItsClosedForm) {
    Canvas canvas(64, 40);
    std::mt19937 random(20240611u);
    std::uniform_real_distribution<float> coord(-30.0f, 100.0f);
    for (int trial = 0; trial < 3000; ++trial) {
        const float x0 = coord(random), y0 = coord(random);
        const float x1 = coord(random), y1 = coord(random);
        const Cells cells = canvas.walk(x0, y0, x1, y1);

        const bool down = y0 < y1;
        const double tx = down ? x0 : x1, ty = down ? y0 : y1;
        const double bx = down ? x1 : x0, by = down ? y1 : y0;
        const int64_t xStart = int64_t(std::floor(256.0 * tx));
        const int64_t dx = std::llabs(int64_t(std::floor(256.0 * bx)) - xStart);
        const int64_t yTop = int64_t(std::floor(2.0 * ty));
        const int64_t yBottom = int64_t(std::floor(2.0 * by));
        const int64_t step = bx > tx ? 1 : -1;
        Cells expected;
        for (int64_t k = std::max<int64_t>(yTop, 0); k < std::min<int64_t>(yBottom, 80); ++k) {
            const int64_t j = k - yTop;
            const int64_t dy = yBottom - yTop;
            const int64_t x = xStart + step * ((j * dx + dy - 1) / dy);
            const int64_t clamped = std::clamp<int64_t>(x, 0, 64 * 256 - 1);
            expected.push_back(cellword::pack(k / 2, clamped, down));
        }
        ASSERT_EQ(cells, expected)
            << "segment (" << x0 << ", " << y0 << ")-(" << x1 << ", " << y1 << ")";
    }
}

// The same closed form for a single segment on a width x height target.
Cells closedForm(float x0, float y0, float x1, float y1, int64_t width, int64_t height) {
    const bool down = y0 < y1;
    const double tx = down ? x0 : x1, ty = down ? y0 : y1;
    const double bx = down ? x1 : x0, by = down ? y1 : y0;
    const int64_t xStart = int64_t(std::floor(256.0 * tx));
    const int64_t dx = std::llabs(int64_t(std::floor(256.0 * bx)) - xStart);
    const int64_t yTop = int64_t(std::floor(2.0 * ty));
    const int64_t yBottom = int64_t(std::floor(2.0 * by));
    const int64_t step = bx > tx ? 1 : -1;
    Cells expected;
    for (int64_t k = std::max<int64_t>(yTop, 0); k < std::min<int64_t>(yBottom, 2 * height); ++k) {
        const int64_t j = k - yTop;
        const int64_t dy = yBottom - yTop;
        const int64_t x = xStart + step * ((j * dx + dy - 1) / dy);
        const int64_t clamped = std::clamp<int64_t>(x, 0, width * 256 - 1);
        expected.push_back(cellword::pack(k / 2, clamped, down));
    }
    return expected;
}

// Pieces shorter than a half-scanline, as flattened curves give, around every border of
// the target: off its left, right, top and bottom, on its first and last half-scanline.
TEST(EmitLine, ShortPiecesAroundTheBordersMatchTheClosedForm) {
    Canvas canvas(24, 6);
    std::mt19937 random(7110u);
    std::uniform_real_distribution<float> coord(-3.0f, 27.0f);
    std::uniform_real_distribution<float> nudge(-0.6f, 0.6f);
    for (int trial = 0; trial < 20000; ++trial) {
        const float x0 = coord(random), y0 = coord(random) * 0.4f - 1.5f;
        const float x1 = x0 + nudge(random), y1 = y0 + nudge(random);
        ASSERT_EQ(canvas.walk(x0, y0, x1, y1), closedForm(x0, y0, x1, y1, 24, 6))
            << "segment (" << x0 << ", " << y0 << ")-(" << x1 << ", " << y1 << ")";
    }
}

// Edges inside a tall target crossing up to `span` half-scanlines, from every slope
// between vertical and nearly flat, some starting far above the target: the cells of
// the fast walk (four half-scanlines a step once an edge is long enough) are the
// closed form's, in order.
class InTargetWalk : public testing::TestWithParam<float> {};

TEST_P(InTargetWalk, MatchesTheClosedForm) {
    const float span = GetParam();
    constexpr int32_t kWidth = 300;
    constexpr int32_t kHeight = 1024;
    Canvas canvas(kWidth, kHeight);
    std::mt19937 random(static_cast<uint32_t>(span * 8.0f));
    std::uniform_real_distribution<float> across(0.0f, static_cast<float>(kWidth) - 0.01f);
    std::uniform_real_distribution<float> down(0.0f, static_cast<float>(kHeight));
    std::uniform_real_distribution<float> length(0.0f, span / 2.0f);
    for (int trial = 0; trial < 3000; ++trial) {
        const float x0 = across(random);
        // Nearly vertical, any slope, or within a few subpixels of it.
        const int kind = trial % 3;
        const float x1 = kind == 0   ? x0 + static_cast<float>(trial % 7) / 256.0f
                         : kind == 1 ? across(random)
                                     : std::clamp(x0 - 0.02f, 0.0f, 299.0f);
        const float y0 = trial % 10 == 0
                             ? -std::uniform_real_distribution<float>(0.0f, 1.0e6f)(random)
                             : down(random);
        const float y1 = std::min(y0 + length(random), static_cast<float>(kHeight) + 3.0f);
        const bool flip = trial % 2 == 0;
        const float ax = flip ? x1 : x0, ay = flip ? y1 : y0;
        const float bx = flip ? x0 : x1, by = flip ? y0 : y1;
        ASSERT_EQ(canvas.walk(ax, ay, bx, by), closedForm(ax, ay, bx, by, kWidth, kHeight))
            << "segment (" << ax << ", " << ay << ")-(" << bx << ", " << by << ")";
    }
}

// Half-scanlines crossed at most: a handful (the one-step walk), around the four-wide
// start, and many.
INSTANTIATE_TEST_SUITE_P(Spans, InTargetWalk, testing::Values(3.0f, 9.0f, 13.0f, 40.0f, 2100.0f));

// A zigzag of one-crossing pieces needing far more cells than the arrays start with:
// they grow, and every crossing is kept in order.
TEST(EmitLine, OneCrossingPiecesFillPastTheFirstCellArray) {
    Canvas canvas(64, 8);
    canvas.raster.beginCells();
    Cells expected;
    const int pieces = 3 * Rasterizer::kCellCapacity;
    for (int i = 0; i < pieces; ++i) {
        const float x = 0.01f * static_cast<float>(i);
        const float y0 = i % 2 == 0 ? 3.9f : 4.1f;
        const float y1 = i % 2 == 0 ? 4.1f : 3.9f;
        canvas.raster.emitLine(x, y0, x + 0.005f, y1);
        const Cells one = closedForm(x, y0, x + 0.005f, y1, 64, 8);
        expected.insert(expected.end(), one.begin(), one.end());
    }
    ASSERT_EQ(expected.size(), static_cast<size_t>(pieces));
    EXPECT_EQ(storedCells(canvas.raster), expected);
}

// The bounding box takes each start point into the minimum when it is <= and each end
// point into the maximum when it is >=, so on a tie the later point wins, down to the sign
// of a zero.
TEST(EmitLine, BoundsKeepTheLaterOfTwoEqualPointsToTheSignOfZero) {
    Canvas canvas(8, 8);
    std::mt19937 random(515u);
    const float values[] = {0.0f, -0.0f, 1.5f, -1.5f, 3.0f};
    std::uniform_int_distribution<int> pick(0, 4);
    for (int trial = 0; trial < 500; ++trial) {
        Rasterizer& r = canvas.raster;
        r.beginCells();
        float minX = r.bounds().minX, minY = r.bounds().minY;
        float maxX = r.bounds().maxX, maxY = r.bounds().maxY;
        for (int i = 0; i < 6; ++i) {
            const float x0 = values[pick(random)], y0 = values[pick(random)];
            const float x1 = values[pick(random)], y1 = values[pick(random)];
            r.emitLine(x0, y0, x1, y1);
            if (x0 == x1 && y0 == y1) {
                continue; // a point adds nothing
            }
            if (y0 <= minY)
                minY = y0;
            if (y1 >= maxY)
                maxY = y1;
            if (x0 <= minX)
                minX = x0;
            if (x1 >= maxX)
                maxX = x1;
        }
        const Rasterizer::Bounds box = r.bounds();
        EXPECT_EQ(std::bit_cast<uint32_t>(box.minX), std::bit_cast<uint32_t>(minX)) << trial;
        EXPECT_EQ(std::bit_cast<uint32_t>(box.minY), std::bit_cast<uint32_t>(minY)) << trial;
        EXPECT_EQ(std::bit_cast<uint32_t>(box.maxX), std::bit_cast<uint32_t>(maxX)) << trial;
        EXPECT_EQ(std::bit_cast<uint32_t>(box.maxY), std::bit_cast<uint32_t>(maxY)) << trial;
    }
}

} // namespace

namespace {

// A coordinate the lanes must place as one point at a time would: near whole and half
// pixels (a few steps either way), near the edges of the fixed-point range, tiny, signed
// zeros, and not finite.
float awkwardCoordinate(std::mt19937& rng, float rangeEnd) {
    const int kind = std::uniform_int_distribution<int>(0, 7)(rng);
    const float sign = std::uniform_int_distribution<int>(0, 1)(rng) == 0 ? 1.0f : -1.0f;
    const auto nudge = [&rng](float v) {
        for (int steps = std::uniform_int_distribution<int>(-3, 3)(rng); steps != 0;
             steps += steps > 0 ? -1 : 1) {
            v = std::nextafter(v, steps > 0 ? INFINITY : -INFINITY);
        }
        return v;
    };
    switch (kind) {
    case 0:
        return sign * std::uniform_real_distribution<float>(0.0f, 400.0f)(rng);
    case 1:
        return nudge(sign * static_cast<float>(std::uniform_int_distribution<int>(0, 800)(rng)) /
                     2.0f);
    case 2:
        return nudge(sign * rangeEnd);
    case 3:
        return sign * std::uniform_real_distribution<float>(0.0f, 2.0f * rangeEnd)(rng);
    case 4:
        return sign * std::ldexp(1.0f, std::uniform_int_distribution<int>(-149, -100)(rng));
    case 5:
        return sign * 0.0f;
    case 6:
        return std::uniform_int_distribution<int>(0, 1)(rng) == 0
                   ? std::numeric_limits<float>::quiet_NaN()
                   : sign * std::numeric_limits<float>::infinity();
    default:
        return nudge(sign * std::uniform_real_distribution<float>(0.0f, 1.0e6f)(rng));
    }
}

// Every run length up to a full arc batch (so every split between the four-wide steps and
// the tail), against the definition in double: in range when |256x| and |2y| are below the
// fixed-point limit, and then floor(2y). At every vector level this machine has.
class EdgeLanes : public AtEveryLevel {};

TEST_P(EdgeLanes, HalfScanlinesOfARunMatchTheirDefinition) {
    constexpr double kLimit = Rasterizer::kFixedLimit;
    // Where 256x and 2y reach the limit.
    const float xEnd = static_cast<float>(kLimit / 256.0);
    const float yEnd = static_cast<float>(kLimit / 2.0);
    std::mt19937 rng(1789u);
    for (int trial = 0; trial < 20000; ++trial) {
        const int32_t n = trial % (flattening::kArcBatch + 1);
        float xs[flattening::kArcBatch];
        float ys[flattening::kArcBatch];
        for (int32_t i = 0; i < n; ++i) {
            xs[i] = awkwardCoordinate(rng, xEnd);
            ys[i] = awkwardCoordinate(rng, yEnd);
        }
        int32_t lines[flattening::kArcBatch];
        bool ok[flattening::kArcBatch];
        edgelanes::halfScanlines(xs, ys, n, lines, ok);
        for (int32_t i = 0; i < n; ++i) {
            const double fx = 256.0 * static_cast<double>(xs[i]);
            const double fy = 2.0 * static_cast<double>(ys[i]);
            const bool inside = std::fabs(fx) < kLimit && std::fabs(fy) < kLimit;
            ASSERT_EQ(ok[i], inside) << "x " << xs[i] << " y " << ys[i];
            ASSERT_EQ(lines[i], inside ? static_cast<int32_t>(std::floor(fy)) : 0)
                << "x " << xs[i] << " y " << ys[i] << " run of " << n << " at " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, EdgeLanes, everyLevel(), levelName);

} // namespace

namespace {

// A run of awkward points, with repeats (edges with equal ends) and runs of one value.
void fillRun(std::mt19937& rng, float* xs, float* ys, int32_t points, float xEnd, float yEnd,
             bool tame) {
    // Tame runs keep awkward values only within a few hundred pixels (and never NaN).
    const auto awkward = [&rng, tame](float rangeEnd) {
        const float v = awkwardCoordinate(rng, tame ? 300.0f : rangeEnd);
        return tame && !(std::fabs(v) <= 300.0f) ? 150.0f : v;
    };
    for (int32_t i = 0; i < points; ++i) {
        const int kind = std::uniform_int_distribution<int>(0, 5)(rng);
        if (i > 0 && kind == 0) {
            xs[i] = xs[i - 1];
            ys[i] = ys[i - 1];
        } else if (i > 0 && kind == 1) {
            // The same place, with the other zero where there is one.
            xs[i] = xs[i - 1] == 0.0f ? -xs[i - 1] : xs[i - 1];
            ys[i] = awkward(yEnd);
        } else {
            xs[i] = awkward(xEnd);
            ys[i] = awkward(yEnd);
        }
    }
}

// Every run length up to kMaxRun, against the edges taken one at a time: each point's
// half-scanline, the edges that change half-scanline, whether all points are in range,
// and the extremes of the starts and ends of the edges whose ends differ.
// Each level's scan where the processor has it: one, four and eight edges a step; and the
// same level's bounds alone, for the mapped walk's path coordinates.
using ScanRun = edgelanes::Run (*)(float, float, int32_t, const float*, const float*, int32_t,
                                   int32_t*);
using BoundsRun = edgelanes::Run (*)(float, float, const float*, const float*, int32_t);
struct Scanner {
    const char* name;
    ScanRun scan;
    BoundsRun bounds;
    cpu::SimdLevel needs;
    friend void PrintTo(const Scanner& scanner, std::ostream* out) { *out << scanner.name; }
};

class ScanRunLanes : public testing::TestWithParam<Scanner> {};

TEST_P(ScanRunLanes, MatchTheEdgesOneAtATime) {
    if (GetParam().needs > cpu::machineLevel()) {
        GTEST_SKIP() << "this processor has no " << GetParam().name;
    }
    const ScanRun scanRun = GetParam().scan;
    constexpr double kLimit = Rasterizer::kFixedLimit;
    const float xEnd = static_cast<float>(kLimit / 256.0);
    const float yEnd = static_cast<float>(kLimit / 2.0);
    std::mt19937 rng(2024u);
    int32_t crossingRuns = 0;
    for (int trial = 0; trial < 30000; ++trial) {
        const int32_t n = 1 + trial % edgelanes::kMaxRun;
        // Point 0 starts the run; the lanes see points 1..n, as many as the run has.
        float xs[edgelanes::kMaxRun + 1];
        float ys[edgelanes::kMaxRun + 1];
        // Most runs in range, so that the lines and bounds are checked often.
        const bool tame = trial % 4 != 0;
        fillRun(rng, xs, ys, n + 1, xEnd, yEnd, tame);
        std::vector<float> runX(xs + 1, xs + n + 1);
        std::vector<float> runY(ys + 1, ys + n + 1);
        int32_t expectedLines[edgelanes::kMaxRun + 1];
        bool ok0 = false;
        edgelanes::halfScanline(xs[0], ys[0], expectedLines[0], ok0);
        int32_t lines[edgelanes::kRunLines];
        const edgelanes::Run run =
            scanRun(xs[0], ys[0], expectedLines[0], runX.data(), runY.data(), n, lines);

        bool allIn = true;
        for (int32_t i = 1; i <= n; ++i) {
            bool ok = false;
            edgelanes::halfScanline(xs[i], ys[i], expectedLines[i], ok);
            allIn = allIn && ok;
        }
        ASSERT_EQ(run.inRange, allIn) << "trial " << trial;
        if (!allIn) {
            continue;
        }
        uint32_t crossing = 0;
        bool anyEdge = false;
        float minX = INFINITY;
        float minY = INFINITY;
        float maxX = -INFINITY;
        float maxY = -INFINITY;
        for (int32_t i = 0; i < n; ++i) {
            ASSERT_EQ(lines[i], expectedLines[i + 1]) << "trial " << trial << " point " << i;
            if (expectedLines[i] != expectedLines[i + 1]) {
                crossing |= 1u << i;
            }
            if (xs[i] != xs[i + 1] || ys[i] != ys[i + 1]) {
                anyEdge = true;
                minX = std::fmin(minX, xs[i]);
                minY = std::fmin(minY, ys[i]);
                maxX = std::fmax(maxX, xs[i + 1]);
                maxY = std::fmax(maxY, ys[i + 1]);
            }
        }
        crossingRuns += crossing != 0 ? 1 : 0;
        ASSERT_EQ(run.crossing, crossing) << "trial " << trial;
        const edgelanes::Run alone = GetParam().bounds(xs[0], ys[0], runX.data(), runY.data(), n);
        for (const edgelanes::Run& found : {run, alone}) {
            ASSERT_EQ(found.anyEdge, anyEdge) << "trial " << trial;
            if (anyEdge) {
                // Compared as values: which zero a tie leaves is for the caller to settle.
                ASSERT_EQ(found.minX, minX) << "trial " << trial;
                ASSERT_EQ(found.minY, minY) << "trial " << trial;
                ASSERT_EQ(found.maxX, maxX) << "trial " << trial;
                ASSERT_EQ(found.maxY, maxY) << "trial " << trial;
            }
        }
    }
    // The table exercised the crossings, not only quiet runs.
    EXPECT_GT(crossingRuns, 10000);
}

const Scanner kScanners[] = {
    {"Scalar", edgelanes::scanRunScalar, edgelanes::boundsRunScalar, cpu::SimdLevel::scalar},
#if TILSEN_X86_64
    {"Sse2", edgelanes::scanRunSse2, edgelanes::boundsRunSse2, cpu::SimdLevel::sse2},
    {"Avx2", edgelanes::scanRunAvx2, edgelanes::boundsRunAvx2, cpu::SimdLevel::avx2},
#endif
};

INSTANTIATE_TEST_SUITE_P(Widths, ScanRunLanes, testing::ValuesIn(kScanners),
                         [](const testing::TestParamInfo<Scanner>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
