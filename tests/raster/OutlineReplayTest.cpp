// A fill replays the path words itself instead of through the PathSink commands; the
// cells, the bounding box and the pen it leaves must be those of path.emit(rasterizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "geometry/SolidPaint.h"
#include "support/RasterHarness.h"

namespace {

uint32_t w(float f) {
    return std::bit_cast<uint32_t>(f);
}

float randomCoordinate(std::mt19937& rng) {
    const int kind = std::uniform_int_distribution<int>(0, 29)(rng);
    if (kind == 0)
        return std::numeric_limits<float>::quiet_NaN();
    if (kind == 1)
        return 3.0e9f;
    if (kind == 2)
        return static_cast<float>(std::uniform_int_distribution<int>(-2, 90)(rng)) * 0.5f;
    return std::uniform_real_distribution<float>(-8.0f, 48.0f)(rng);
}

// Any command sequence, without a leading move now and then, and sometimes cut short.
std::vector<uint32_t> randomWords(std::mt19937& rng) {
    std::vector<uint32_t> words;
    const int commands = std::uniform_int_distribution<int>(1, 14)(rng);
    for (int i = 0; i < commands; ++i) {
        const uint32_t code = std::uniform_int_distribution<uint32_t>(0, 7)(rng);
        words.push_back(code);
        const int32_t operands = pathcode::operandCount(code);
        for (int32_t k = 0; k < operands; ++k) {
            const bool radius = code == pathcode::kArc && k < 2;
            words.push_back(w(radius ? std::uniform_real_distribution<float>(0.0f, 30.0f)(rng)
                                     : randomCoordinate(rng)));
        }
    }
    if (std::uniform_int_distribution<int>(0, 9)(rng) == 0)
        words.pop_back();
    return words;
}

struct Outcome {
    std::vector<Cell> cells;
    float bounds[4];
    float pen[4];
    bool startPending;
};

Outcome outcomeOf(const Rasterizer& r) {
    const Rasterizer::Bounds box = r.bounds();
    return {storedCells(r),
            {box.minX, box.minY, box.maxX, box.maxY},
            {r.pen().start.x, r.pen().start.y, r.pen().current.x, r.pen().current.y},
            r.pen().startPending};
}

void expectSame(const Outcome& a, const Outcome& b, int trial) {
    ASSERT_EQ(a.cells, b.cells) << "trial " << trial;
    for (int i = 0; i < 4; ++i) {
        // Bit patterns: NaN pens and signed zeros must match too.
        ASSERT_EQ(std::bit_cast<uint32_t>(a.bounds[i]), std::bit_cast<uint32_t>(b.bounds[i]))
            << "trial " << trial;
        ASSERT_EQ(std::bit_cast<uint32_t>(a.pen[i]), std::bit_cast<uint32_t>(b.pen[i]))
            << "trial " << trial;
    }
    ASSERT_EQ(a.startPending, b.startPending) << "trial " << trial;
}

TEST(OutlineReplay, FillGivesTheCellsBoundsAndPenOfTheVirtualReplay) {
    std::mt19937 rng(404u);
    Canvas fast(40, 30);
    Canvas slow(40, 30);
    SolidPaint paint(0u); // transparent: the sweep draws nothing, the cells stay
    for (int trial = 0; trial < 3000; ++trial) {
        const std::vector<uint32_t> words = randomWords(rng);
        Path path;
        path.setWords(words.data(), static_cast<int32_t>(words.size()));
        const int32_t steps = trial % 5 == 0 ? 1 : 16;
        fast.raster.setCurveSteps(steps);
        slow.raster.setCurveSteps(steps);
        // The pen carries over from the previous path in both.
        fast.raster.fill(path, paint, FillRule::kEvenOdd);
        // A solid fill may sweep its cells without sorting them: compare them sorted.
        fast.raster.sortCells();

        slow.raster.beginCells();
        path.emit(&slow.raster);
        slow.raster.sortCells();
        expectSame(outcomeOf(fast.raster), outcomeOf(slow.raster), trial);
    }
}

// Coordinates where the batched curve route must give way or settle ties: the target's
// borders and a rounding step either side, both zeros, the ends of the fixed-point range
// and beyond it, not finite, or anywhere around the target.
float borderCoordinate(std::mt19937& rng, float size) {
    const int kind = std::uniform_int_distribution<int>(0, 15)(rng);
    const float rangeEnd = static_cast<float>(Rasterizer::kFixedLimit) / 256.0f;
    switch (kind) {
    case 0:
        return 0.0f;
    case 1:
        return -0.0f;
    case 2:
        return std::nextafter(0.0f, kind % 2 == 0 ? 1.0f : -1.0f);
    case 3:
        return size;
    case 4:
        return std::nextafter(size, 0.0f);
    case 5:
        return std::nextafter(rangeEnd, 0.0f);
    case 6:
        return -rangeEnd;
    case 7:
        return std::numeric_limits<float>::quiet_NaN();
    case 8:
        return -std::numeric_limits<float>::infinity();
    default:
        return std::uniform_real_distribution<float>(-0.25f * size, 1.25f * size)(rng);
    }
}

// Runs of curves and arcs, each starting where the last ended, with repeated points
// (curves that stay put) and lines between them now and then.
// On a zero line every x is one of the zeros or right of them, so that the least x is a
// zero, met with either sign from pieces of one curve.
std::vector<uint32_t> curveWords(std::mt19937& rng, float width, float height, bool zeroLine) {
    std::vector<uint32_t> words;
    const auto x = [&]() {
        if (!zeroLine) {
            return borderCoordinate(rng, width);
        }
        const int kind = std::uniform_int_distribution<int>(0, 4)(rng);
        return kind == 0       ? std::uniform_real_distribution<float>(0.0f, width)(rng)
               : kind % 2 == 0 ? 0.0f
                               : -0.0f;
    };
    const auto point = [&](bool repeat) {
        if (repeat && words.size() >= 2) {
            words.push_back(words[words.size() - 2]);
            words.push_back(words[words.size() - 2]);
            return;
        }
        words.push_back(w(x()));
        words.push_back(w(borderCoordinate(rng, height)));
    };
    words.push_back(pathcode::kMove);
    point(false);
    const int commands = std::uniform_int_distribution<int>(1, 12)(rng);
    for (int i = 0; i < commands; ++i) {
        const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
        const bool still = std::uniform_int_distribution<int>(0, 5)(rng) == 0;
        if (kind < 4) {
            words.push_back(pathcode::kQuad);
            point(still);
            point(still);
        } else if (kind < 8) {
            words.push_back(pathcode::kCubic);
            point(still);
            point(still);
            point(still);
        } else if (kind == 8) {
            words.push_back(pathcode::kArc);
            words.push_back(w(std::uniform_real_distribution<float>(0.0f, width)(rng)));
            words.push_back(w(std::uniform_real_distribution<float>(0.0f, height)(rng)));
            point(false);
            words.push_back(w(0.0f));
            words.push_back(w(0.0f));
            words.push_back(w(0.0f));
        } else {
            words.push_back(pathcode::kLine);
            point(false);
        }
    }
    words.push_back(pathcode::kClose);
    return words;
}

// Curve pieces in runs of every length around the four-point steps and the batch size,
// with points at the borders, on both zeros, out of range and not finite.
TEST(OutlineReplay, CurvesAtTheBordersGiveTheCellsAndBoundsOfTheVirtualReplay) {
    std::mt19937 rng(77u);
    Canvas fast(24, 16);
    Canvas slow(24, 16);
    SolidPaint paint(0u);
    const int32_t stepCounts[] = {1, 2, 3, 4, 5, 15, 16, 17, 31, 32, 33, 40, 64};
    for (int trial = 0; trial < 4000; ++trial) {
        const std::vector<uint32_t> words = curveWords(rng, 24.0f, 16.0f, trial % 3 == 0);
        Path path;
        path.setWords(words.data(), static_cast<int32_t>(words.size()));
        const int32_t steps = stepCounts[trial % std::size(stepCounts)];
        fast.raster.setCurveSteps(steps);
        slow.raster.setCurveSteps(steps);
        fast.raster.fill(path, paint, FillRule::kNonZero);
        fast.raster.sortCells();

        slow.raster.beginCells();
        path.emit(&slow.raster);
        slow.raster.sortCells();
        expectSame(outcomeOf(fast.raster), outcomeOf(slow.raster), trial);
    }
}

// A paint of one colour that claims not to be solid: its fills keep every cell in the
// arrays, sort them and sweep them (solid ones sum theirs into their pixels and never fill
// the arrays).
class PlainPaint final : public Paint {
public:
    explicit PlainPaint(uint32_t c) : colour(c) {}
    void seek(int32_t, int32_t) override {}
    uint32_t nextColour(int32_t) override { return colour; }
    bool isSolid() const override { return false; }

private:
    uint32_t colour;
};

// Fills path with a transparent paint on fast and replays it through the PathSink commands on
// slow (the pens go on from where they were): what each stored, sorted.
void fillAndReplay(Canvas& fast, Canvas& slow, const Path& path) {
    PlainPaint clear(0u);
    fast.raster.fill(path, clear, FillRule::kNonZero);
    fast.raster.sortCells();
    slow.raster.beginCells();
    path.emit(&slow.raster);
    slow.raster.sortCells();
}

// Once the cell arrays cannot grow any more, later cells are dropped: the same cells
// survive only when the edges are stored in the same order. (A fill may sweep its cells
// unsorted, so both sides are compared sorted.)
TEST(OutlineReplay, FullCellArraysKeepTheCellsOfTheVirtualReplay) {
    Canvas fast(64, Rasterizer::kMaxHeight);
    Canvas slow(64, Rasterizer::kMaxHeight);
    Path path;
    std::vector<uint32_t> words{pathcode::kMove, w(1.0f), w(-4.0f)};
    std::mt19937 rng(5u);
    const float bottom = static_cast<float>(Rasterizer::kMaxHeight) + 4.0f;
    // Each curve runs the target's height, about 4,096 cells: 1,100 of them pass the limit.
    for (int i = 0; i < 1100; ++i) {
        const float x = std::uniform_real_distribution<float>(0.0f, 64.0f)(rng);
        const float y = i % 2 == 0 ? bottom : -4.0f;
        words.insert(words.end(), {pathcode::kQuad, w(x), w(bottom - y), w(63.0f - x), w(y)});
    }
    words.push_back(pathcode::kClose);
    path.setWords(words.data(), static_cast<int32_t>(words.size()));
    fast.raster.setCurveSteps(3);
    slow.raster.setCurveSteps(3);
    fillAndReplay(fast, slow, path);
    ASSERT_EQ(fast.raster.cellCount(), Rasterizer::kMaxCellCapacity);
    expectSame(outcomeOf(fast.raster), outcomeOf(slow.raster), 0);
}

// Half discs over and over, their arcs cut by the arc step into pieces that mostly cross
// one half-scanline each, far more of them than the cell arrays start with: the batched walk
// stores a run's cells in one go and must hand over to growing arrays, or to a solid fill's
// sums, in the middle of a run.
TEST(OutlineReplay, OneCrossingPiecesPastTheCellArraysKeepEveryCell) {
    const auto halfDiscs = [](int32_t count) {
        std::vector<uint32_t> words{pathcode::kMove, w(10.0f), w(44.0f)};
        for (int32_t i = 0; i < count; ++i) {
            // An arc closes its subpath: each starts where the move left the pen.
            const float r = 20.0f - static_cast<float>(i % 5) * 0.5f;
            words.insert(words.end(),
                         {pathcode::kArc, w(r), w(r), w(10.0f + 2.0f * r), w(44.0f), 0u, 0u, 0u});
        }
        return words;
    };

    // Past the first arrays: the same cells as one edge at a time.
    const std::vector<uint32_t> some = halfDiscs(60);
    Path path;
    path.setWords(some.data(), static_cast<int32_t>(some.size()));
    Canvas fast(64, 48);
    Canvas slow(64, 48);
    fillAndReplay(fast, slow, path);
    ASSERT_GT(fast.raster.cellCount(), Rasterizer::kCellCapacity);
    expectSame(outcomeOf(fast.raster), outcomeOf(slow.raster), 0);

    // Past a solid fill's chunk of cells: summed in chunks, the pixels of the sorted sweep.
    const std::vector<uint32_t> many = halfDiscs(900);
    path.setWords(many.data(), static_cast<int32_t>(many.size()));
    Canvas summed(64, 48);
    Canvas sorted(64, 48);
    SolidPaint solid(0xFF2080C0u);
    PlainPaint plain(0xFF2080C0u);
    summed.raster.fill(path, solid, FillRule::kNonZero);
    ASSERT_GT(summed.raster.fillCellCount(), Rasterizer::kSumChunkCells);
    sorted.raster.fill(path, plain, FillRule::kNonZero);
    EXPECT_EQ(summed.pixels, sorted.pixels);
    EXPECT_NE(std::count(summed.pixels.begin(), summed.pixels.end(), 0u),
              static_cast<std::ptrdiff_t>(summed.pixels.size()));
}

} // namespace
