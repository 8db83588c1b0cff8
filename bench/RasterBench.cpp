// Rasterizer stages one by one (walk, sort of a full initial cell array, sweep, solid
// span writer) and one whole synthetic movie frame of generated shapes on 320 x 200.
// Fixed seeds; run with: build/bench/tilsen_bench --benchmark_filter=Raster
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "geometry/Cpu.h"
#include "geometry/Flattening.h"
#include "geometry/FloatMath.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/Rasterizer.h"

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;
constexpr uint32_t kSeed = 1234567u;

struct Segment {
    float x0, y0, x1, y1;
};

std::vector<Segment> randomSegments(int32_t n) {
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<float> x(-20.0f, 340.0f);
    std::uniform_real_distribution<float> y(-20.0f, 220.0f);
    std::uniform_real_distribution<float> reach(-40.0f, 40.0f);
    std::vector<Segment> out;
    for (int32_t i = 0; i < n; ++i) {
        const float x0 = x(random), y0 = y(random);
        out.push_back({x0, y0, x0 + reach(random), y0 + reach(random)});
    }
    return out;
}

// One shape of the synthetic frame: a closed outline of lines, quadratics and cubics
// around a centre, and its colour.
struct Shape {
    Path path;
    std::unique_ptr<SolidPaint> paint;
};

std::vector<Shape> syntheticFrame(int32_t shapes) {
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<Shape> frame;
    for (int32_t s = 0; s < shapes; ++s) {
        Shape shape;
        const float cx = 320.0f * unit(random), cy = 200.0f * unit(random);
        const float radius = 8.0f + 70.0f * unit(random);
        const int32_t corners = 3 + static_cast<int32_t>(unit(random) * 9.0f);
        const auto point = [&](int32_t i, float scale) {
            const float angle = 6.2831855f * static_cast<float>(i) / static_cast<float>(corners);
            const float r = radius * scale * (0.6f + 0.4f * unit(random));
            return std::pair<float, float>{cx + r * std::cos(angle), cy + r * std::sin(angle)};
        };
        const auto start = point(0, 1.0f);
        shape.path.appendMoveTo(start.first, start.second);
        for (int32_t i = 1; i <= corners; ++i) {
            const auto end = i == corners ? start : point(i, 1.0f);
            const auto control = point(i, 1.3f);
            const uint32_t kind = static_cast<uint32_t>(i % 3);
            if (kind == 0) {
                shape.path.appendLineTo(end.first, end.second);
            } else {
                // Curves go in as raw command words, the way a movie stores them.
                const float quad[] = {control.first, control.second, end.first, end.second};
                const float cubic[] = {control.first,         control.second, control.first + 5.0f,
                                       control.second - 5.0f, end.first,      end.second};
                std::vector<uint32_t> words = {kind == 1 ? pathcode::kQuad : pathcode::kCubic};
                const float* operands = kind == 1 ? quad : cubic;
                const int32_t count = pathcode::operandCount(words[0]);
                for (int32_t k = 0; k < count; ++k) {
                    uint32_t bits;
                    std::memcpy(&bits, &operands[k], sizeof bits);
                    words.push_back(bits);
                }
                Path curve;
                curve.setWords(words.data(), static_cast<int32_t>(words.size()));
                shape.path.appendPath(curve);
            }
        }
        shape.path.appendClose();
        const uint32_t alpha = unit(random) < 0.7f ? 255u : 160u;
        const uint32_t grey = static_cast<uint32_t>(unit(random) * static_cast<float>(alpha));
        shape.paint = std::make_unique<SolidPaint>((alpha << 24) | (grey << 16) | (grey << 8) |
                                                   (alpha - grey));
        frame.push_back(std::move(shape));
    }
    return frame;
}

void RasterWalk(benchmark::State& state) {
    std::vector<uint32_t> pixels(kWidth * kHeight);
    Rasterizer r;
    r.setTarget(pixels.data(), kWidth, kHeight, kWidth);
    const std::vector<Segment> segments = randomSegments(64);
    int64_t cells = 0;
    for (auto _ : state) {
        r.beginCells();
        for (const Segment& s : segments)
            r.emitLine(s.x0, s.y0, s.x1, s.y1);
        cells += r.cellCount();
        benchmark::DoNotOptimize(r.storedCells());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(cells);
}
BENCHMARK(RasterWalk);

void RasterSort(benchmark::State& state) {
    Rasterizer r;
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<uint32_t> row(0, kHeight - 1), x(0, kWidth * 256 - 1);
    std::vector<Cell> input(Rasterizer::kCellCapacity);
    for (Cell& c : input)
        c = cellword::pack(row(random), x(random), (x(random) & 1u) != 0);
    for (auto _ : state) {
        r.beginCells();
        r.appendCells(input.data(), input.data() + input.size());
        r.sortCells();
        benchmark::DoNotOptimize(r.storedCells());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Rasterizer::kCellCapacity);
}
BENCHMARK(RasterSort);

void RasterSweep(benchmark::State& state) {
    std::vector<uint32_t> pixels(kWidth * kHeight);
    Rasterizer r;
    r.setTarget(pixels.data(), kWidth, kHeight, kWidth);
    std::vector<Shape> frame = syntheticFrame(1);
    SolidPaint paint(0xFF804020u);
    r.fill(frame[0].path, paint, FillRule::kEvenOdd);
    r.setSweepPaint(&paint, FillRule::kEvenOdd);
    for (auto _ : state) {
        // Clearing keeps every pass compositing into empty pixels.
        r.clear();
        r.sweep();
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    r.setSweepPaint(nullptr, FillRule::kEvenOdd);
    state.SetItemsProcessed(state.iterations() * r.cellCount());
}
BENCHMARK(RasterSweep);

void RasterSolidSpan(benchmark::State& state) {
    std::vector<uint32_t> pixels(kWidth * kHeight);
    Rasterizer r;
    r.setTarget(pixels.data(), kWidth, kHeight, kWidth);
    SolidPaint paint(0xC0602010u);
    r.setSweepPaint(&paint, FillRule::kEvenOdd);
    for (auto _ : state) {
        // Half the rows start empty, half under a partly covered pixel: both blends.
        for (int32_t y = 0; y < kHeight; ++y) {
            std::fill_n(pixels.begin() + y * kWidth, kWidth, (y & 1) != 0 ? 0x80402010u : 0u);
            r.writeSpan(0, y, kWidth, 200);
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    r.setSweepPaint(nullptr, FillRule::kEvenOdd);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(RasterSolidSpan);

// The renderer's whole frame: target, clear, 16 curve steps, every shape back to front
// under the identity transform, then the black background.
void RasterFrame(benchmark::State& state) {
    std::vector<uint32_t> pixels(kWidth * kHeight);
    const std::vector<Shape> frame = syntheticFrame(static_cast<int32_t>(state.range(0)));
    Transform2D identity;
    for (auto _ : state) {
        rasterizer.setTarget(pixels.data(), kWidth, kHeight, kWidth);
        rasterizer.clear();
        rasterizer.setCurveSteps(16);
        for (auto shape = frame.rbegin(); shape != frame.rend(); ++shape) {
            rasterizer.fillTransformed(shape->path, identity, *shape->paint, FillRule::kEvenOdd);
        }
        rasterizer.resolveBackground(0xFF000000u);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("items = frames");
}
BENCHMARK(RasterFrame)->Arg(20)->Arg(120)->Unit(benchmark::kMicrosecond);

// The arc walk's angles: one turn and a half in steps of 0.01 from -π, both functions each.
template <class SinCos> void arcAngles(benchmark::State& state, SinCos&& sinCos) {
    for (auto _ : state) {
        float sum = 0.0f;
        for (float theta = -3.1415927f; theta < 6.2831855f; theta = theta + 0.01f) {
            const auto [s, c] = sinCos(theta);
            sum = sum + s * c;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * 943);
}

// floatmath's sine and cosine against the C library's, which the compiler merges into one
// sincosf call.
void ArcSinCosFloatMath(benchmark::State& state) {
    arcAngles(state, [](float theta) {
        const floatmath::SinCos sc = floatmath::sinCos(theta);
        return std::pair(sc.sin, sc.cos);
    });
}
BENCHMARK(ArcSinCosFloatMath);

// The same at the scalar level, without the fused multiply-add steps of the AVX2 level.
void ArcSinCosScalar(benchmark::State& state) {
    const cpu::ScopedLevel scalar(cpu::SimdLevel::scalar);
    arcAngles(state, [](float theta) {
        const floatmath::SinCos sc = floatmath::sinCos(theta);
        return std::pair(sc.sin, sc.cos);
    });
}
BENCHMARK(ArcSinCosScalar);

void ArcSinCosLibrary(benchmark::State& state) {
    arcAngles(state, [](float theta) { return std::pair(std::sin(theta), std::cos(theta)); });
}
BENCHMARK(ArcSinCosLibrary);

// The same angles a batch at a time as the arc walk hands them over, at the argument's level
// (0 scalar, 1 SSE2, 2 AVX2, 3 AVX-512; the machine's own where it lacks that one).
void ArcSinCosBatch(benchmark::State& state) {
    const auto level = static_cast<cpu::SimdLevel>(state.range(0));
    const cpu::ScopedLevel scoped(level);
    std::vector<float> thetas;
    for (float theta = -3.1415927f; theta < 6.2831855f; theta = theta + 0.01f) {
        thetas.push_back(theta);
    }
    const auto count = static_cast<int32_t>(thetas.size());
    float sines[flattening::kArcBatch];
    float cosines[flattening::kArcBatch];
    for (auto _ : state) {
        float sum = 0.0f;
        for (int32_t i = 0; i < count; i += flattening::kArcBatch) {
            const int32_t n = std::min(flattening::kArcBatch, count - i);
            floatmath::sinCosBatch(thetas.data() + i, sines, cosines, n);
            for (int32_t k = 0; k < n; ++k) {
                sum = sum + sines[k] * cosines[k];
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetLabel(cpu::levelName(cpu::level()));
}
BENCHMARK(ArcSinCosBatch)->Arg(0)->Arg(2)->Arg(3);

} // namespace
