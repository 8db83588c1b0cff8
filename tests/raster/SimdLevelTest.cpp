// The CPU layer's seam and every vector level against the scalar one: each level this machine
// has is forced in turn, and its kernels (compositing, edge lanes, curve batches, the sweeps,
// the cells' extent, the sine and cosine) must give the scalar level's pixels and bits exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "geometry/Cpu.h"
#include "geometry/FloatMath.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/CellWord.h"
#include "raster/Compositing.h"
#include "raster/Rasterizer.h"
#include "support/SimdLevels.h"

namespace {

using cpu::SimdLevel;

TEST(CpuLevel, StartsAtTheMachinesLevelAndScopedLevelsLowerItForTheirLifetime) {
    const SimdLevel machine = cpu::machineLevel();
    EXPECT_EQ(cpu::level(), machine);
    const std::vector<SimdLevel> levels = cpu::availableLevels();
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels.front(), SimdLevel::scalar);
    EXPECT_EQ(levels.back(), machine);
    {
        const cpu::ScopedLevel scalar(SimdLevel::scalar);
        EXPECT_EQ(cpu::level(), SimdLevel::scalar);
        {
            // Never above what the machine runs.
            const cpu::ScopedLevel widest(SimdLevel::avx512);
            EXPECT_EQ(cpu::level(), machine);
        }
        EXPECT_EQ(cpu::level(), SimdLevel::scalar);
    }
    EXPECT_EQ(cpu::level(), machine);
#if !TILSEN_X86_64
    EXPECT_EQ(machine, SimdLevel::scalar);
#endif
}

uint32_t w(float f) {
    return std::bit_cast<uint32_t>(f);
}

// A seeded outline of lines, curves and arcs around (cx, cy), now and then far off: each
// command's code, then its points (an arc's radii first, its flags after).
Path randomPath(std::mt19937& rng, float cx, float cy, float size) {
    constexpr int kPoints[] = {0, 1, 1, 2, 3, 1, 0};
    std::uniform_real_distribution<float> near(-size, size);
    std::uniform_real_distribution<float> far(-4000.0f, 4000.0f);
    std::uniform_int_distribution<int> code(1, 7);
    std::vector<uint32_t> words;
    const int commands = std::uniform_int_distribution<int>(3, 30)(rng);
    for (int i = 0; i < commands; ++i) {
        const int c = i == 0 ? 1 : std::min(code(rng), 6);
        words.push_back(static_cast<uint32_t>(c));
        if (c == 5) {
            const float r = std::uniform_real_distribution<float>(0.5f, size)(rng);
            words.insert(words.end(), {w(r), w(r * 0.6f)});
        }
        for (int p = 0; p < kPoints[c]; ++p) {
            const bool off = code(rng) == 7;
            words.push_back(w(off ? far(rng) : cx + near(rng)));
            words.push_back(w(off ? far(rng) : cy + near(rng)));
        }
        if (c == 5) {
            words.insert(words.end(), {0u, 0u, w(1.0f)});
        }
    }
    Path path;
    path.setWords(words.data(), static_cast<int32_t>(words.size()));
    return path;
}

uint32_t randomColour(std::mt19937& rng) {
    const int kind = std::uniform_int_distribution<int>(0, 4)(rng);
    const uint32_t a = kind < 2 ? 255u : std::uniform_int_distribution<uint32_t>(1, 254)(rng);
    std::uniform_int_distribution<uint32_t> byte(0, kind == 4 ? 255u : a);
    return (a << 24) | (byte(rng) << 16) | (byte(rng) << 8) | byte(rng);
}

struct Frame {
    int32_t width;
    int32_t height;
    Transform2D transform;
    bool fine;
    std::vector<std::pair<uint32_t, Path>> fills;
};

// Small fills (summed directly) and large ones (sorted), on the show's size and on a sharp one
// under a scale with fine flattening.
std::vector<Frame> frames() {
    std::mt19937 rng(24u);
    std::vector<Frame> result;
    for (int f = 0; f < 6; ++f) {
        Frame frame{320, 200, Transform2D{}, false, {}};
        if (f >= 3) {
            frame.width = 1280;
            frame.height = 960;
            frame.transform =
                Transform2D::fromMatrix({4.0f, 0.0f, 0.0f, 0.0f, 4.0f, 0.0f, 0.0f, 0.0f, 1.0f});
            frame.fine = true;
        }
        for (int i = 0; i < 40; ++i) {
            const float size = i % 5 == 0 ? 250.0f : 25.0f;
            frame.fills.emplace_back(
                randomColour(rng),
                randomPath(rng, std::uniform_real_distribution<float>(0.0f, 320.0f)(rng),
                           std::uniform_real_distribution<float>(0.0f, 200.0f)(rng), size));
        }
        result.push_back(std::move(frame));
    }
    return result;
}

std::vector<uint32_t> render(const Frame& frame, FillRule rule, uint32_t background) {
    std::vector<uint32_t> pixels(static_cast<size_t>(frame.width) * frame.height, 0x12345678u);
    Rasterizer rasterizer;
    rasterizer.setTarget(pixels.data(), frame.width, frame.height, frame.width);
    rasterizer.setFineTransformedFills(frame.fine);
    rasterizer.setCurveSteps(16);
    rasterizer.clear();
    for (const auto& [colour, path] : frame.fills) {
        SolidPaint paint(colour);
        rasterizer.fillTransformed(path, frame.transform, paint, rule);
    }
    rasterizer.resolveBackground(background);
    return pixels;
}

class ScalarLevel : public AtEveryLevel {};

TEST_P(ScalarLevel, DrawsTheScalarLevelsPixels) {
    int index = 0;
    for (const Frame& frame : frames()) {
        for (const FillRule rule : {FillRule::kEvenOdd, FillRule::kNonZero}) {
            const uint32_t background = rule == FillRule::kEvenOdd ? 0xFF000000u : 0xFF336699u;
            std::vector<uint32_t> expected;
            {
                const cpu::ScopedLevel scalar(SimdLevel::scalar);
                expected = render(frame, rule, background);
            }
            const std::vector<uint32_t> got = render(frame, rule, background);
            ASSERT_EQ(got.size(), expected.size());
            for (size_t i = 0; i < got.size(); ++i) {
                ASSERT_EQ(got[i], expected[i])
                    << "frame " << index << " pixel (" << i % static_cast<size_t>(frame.width)
                    << ", " << i / static_cast<size_t>(frame.width) << ")";
            }
        }
        ++index;
    }
}

TEST_P(ScalarLevel, UnderRunGivesTheScalarLevelsPixels) {
    std::mt19937 rng(61u);
    for (int trial = 0; trial < 3000; ++trial) {
        const int32_t count = std::uniform_int_distribution<int32_t>(0, 70)(rng);
        std::vector<uint32_t> row(static_cast<size_t>(count) + 1);
        for (uint32_t& p : row) {
            p = trial % 3 == 0 ? 0u : randomColour(rng) & (trial % 7 == 0 ? 0u : ~0u);
        }
        const uint32_t src = compositing::clampToAlpha(randomColour(rng));
        std::vector<uint32_t> expected = row;
        {
            const cpu::ScopedLevel scalar(SimdLevel::scalar);
            compositing::underRun(expected.data(), count, src);
        }
        compositing::underRun(row.data(), count, src);
        ASSERT_EQ(row, expected) << "trial " << trial;
    }
}

TEST_P(ScalarLevel, SineAndCosineGiveTheScalarLevelsBits) {
    std::mt19937 rng(7u);
    std::vector<float> args;
    for (int i = 0; i < 200000; ++i) {
        args.push_back(i % 3 == 0 ? std::bit_cast<float>(static_cast<uint32_t>(rng()))
                                  : std::uniform_real_distribution<float>(-20.0f, 20.0f)(rng));
    }
    const auto n = static_cast<int32_t>(args.size());
    std::vector<float> sines(args.size());
    std::vector<float> cosines(args.size());
    floatmath::sinCosBatch(args.data(), sines.data(), cosines.data(), n);
    std::vector<float> scalarSines(args.size());
    std::vector<float> scalarCosines(args.size());
    {
        const cpu::ScopedLevel scalar(SimdLevel::scalar);
        floatmath::sinCosBatch(args.data(), scalarSines.data(), scalarCosines.data(), n);
    }
    for (size_t i = 0; i < args.size(); ++i) {
        ASSERT_EQ(w(sines[i]), w(scalarSines[i])) << "sin at " << args[i];
        ASSERT_EQ(w(cosines[i]), w(scalarCosines[i])) << "cos at " << args[i];
        ASSERT_EQ(w(floatmath::sin(args[i])), w(scalarSines[i])) << "sin at " << args[i];
        ASSERT_EQ(w(floatmath::cos(args[i])), w(scalarCosines[i])) << "cos at " << args[i];
    }
}

// The extent of 1 to 70 cells, so that the lanes' whole steps and the cells after them both
// hold extremes; the grid's corners come up often, where a lane's row or column could spill
// into the other half of its word.
TEST_P(ScalarLevel, CellExtentIsTheScalarLevels) {
    std::mt19937 rng(17u);
    const auto pick = [&rng](uint32_t top) {
        switch (std::uniform_int_distribution<int>(0, 3)(rng)) {
        case 0:
            return 0u;
        case 1:
            return top;
        default:
            return std::uniform_int_distribution<uint32_t>(0, top)(rng);
        }
    };
    for (int trial = 0; trial < 5000; ++trial) {
        std::vector<Cell> cells(std::uniform_int_distribution<size_t>(1, 70)(rng));
        for (Cell& c : cells) {
            c = cellword::pack(pick(2047u), pick(4095u), pick(255u), (rng() & 1u) != 0);
        }
        cellword::Extent expected{};
        {
            const cpu::ScopedLevel scalar(SimdLevel::scalar);
            expected = cellword::extent(cells.data(), cells.data() + cells.size());
        }
        const cellword::Extent got = cellword::extent(cells.data(), cells.data() + cells.size());
        ASSERT_TRUE(got.minRow == expected.minRow && got.maxRow == expected.maxRow &&
                    got.minColumn == expected.minColumn && got.maxColumn == expected.maxColumn)
            << "trial " << trial << ", " << cells.size() << " cells";
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, ScalarLevel, everyLevel(), levelName);

} // namespace
