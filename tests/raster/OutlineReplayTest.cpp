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
            {r.pen().startX, r.pen().startY, r.pen().currentX, r.pen().currentY},
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

} // namespace
