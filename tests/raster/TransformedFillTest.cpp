// Fills under a transform: the mapped outline walk against the checked emitLine route
// (cells and bounds must be the very same), fine flattening's quarter-pixel chord bound,
// and a scaled square whose edges land on pixels worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "geometry/Flattening.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/Rasterizer.h"
#include "support/PlainRasterizer.h"
#include "support/RasterHarness.h"
#include "support/RecordingSink.h"

namespace {

uint32_t w(float f) {
    return std::bit_cast<uint32_t>(f);
}

// Outlines of every command kind around (cx, cy); now and then a point far off, at a
// half-pixel, or not finite.
Path randomPath(std::mt19937& rng, float cx, float cy, float size) {
    std::uniform_real_distribution<float> near(-size, size);
    std::uniform_int_distribution<int> kind(0, 29);
    const auto pt = [&](float c) {
        switch (kind(rng)) {
        case 0:
            return std::uniform_real_distribution<float>(-5000.0f, 5000.0f)(rng);
        case 1:
            return std::round(c + near(rng)) + 0.5f;
        case 2:
            return kind(rng) == 0 ? NAN : c + near(rng);
        default:
            return c + near(rng);
        }
    };
    std::vector<uint32_t> words;
    const int commands = std::uniform_int_distribution<int>(2, 20)(rng);
    for (int i = 0; i < commands; ++i) {
        const int code = i == 0 ? 1 : std::uniform_int_distribution<int>(1, 6)(rng);
        switch (code) {
        case 1:
        case 2:
            words.insert(words.end(), {uint32_t(code), w(pt(cx)), w(pt(cy))});
            break;
        case 3:
            words.insert(words.end(), {3u, w(pt(cx)), w(pt(cy)), w(pt(cx)), w(pt(cy))});
            break;
        case 4:
            words.insert(words.end(),
                         {4u, w(pt(cx)), w(pt(cy)), w(pt(cx)), w(pt(cy)), w(pt(cx)), w(pt(cy))});
            break;
        case 5: {
            const float r = std::uniform_real_distribution<float>(1.0f, size + 2.0f)(rng);
            words.insert(words.end(), {5u, w(r), w(r * 0.6f), w(pt(cx)), w(pt(cy)), 0u, 0u, 0u});
            break;
        }
        default:
            words.push_back(6u);
            break;
        }
    }
    Path path;
    path.setWords(words.data(), static_cast<int32_t>(words.size()));
    return path;
}

struct TransformCase {
    const char* name;
    float scaleX, scaleY, rotation, translateX, translateY;
    int32_t firstRow;
    bool fine;
};

class MappedWalk : public ::testing::TestWithParam<TransformCase> {};

// The fast walk maps each point once; the checked route maps both ends of every line in
// emitLine. Both flatten in path coordinates, so every cell and the bounds must agree.
TEST_P(MappedWalk, StoresTheCellsOfTheCheckedRoute) {
    const TransformCase& c = GetParam();
    Transform2D transform;
    transform.setScale(c.scaleX, c.scaleY);
    transform.setRotation(c.rotation);
    transform.setTranslation(c.translateX, c.translateY);
    const flattening::LinearMap map = flattening::linearPartOf(transform.matrix());
    constexpr int32_t kW = 1280;
    constexpr int32_t kH = 700;
    std::vector<uint32_t> pixels(size_t{kW} * kH);
    Rasterizer fast;
    Rasterizer checked;
    for (Rasterizer* r : {&fast, &checked}) {
        r->setTarget(pixels.data(), kW, kH, kW);
        r->setFirstRow(c.firstRow);
        r->setCurveSteps(16);
    }
    fast.setFineTransformedFills(c.fine);
    checked.setFineFlattening(c.fine ? &map : nullptr);
    std::mt19937 rng(99u + static_cast<uint32_t>(c.firstRow));
    for (int i = 0; i < 150; ++i) {
        const Path path = randomPath(rng, 160.0f, 100.0f, i % 3 == 0 ? 150.0f : 20.0f);
        SolidPaint paint(0xff808080u);
        fast.fillTransformed(path, transform, paint, FillRule::kEvenOdd);
        checked.beginCells();
        checked.setLineTransform(&transform);
        Path::replayWords(path.words.get(), path.wordCount, static_cast<PathSink&>(checked));
        checked.setLineTransform(nullptr);
        checked.sortCells();
        // A solid fill may sweep its cells without sorting them: compare them sorted.
        fast.sortCells();
        ASSERT_EQ(storedCells(fast), storedCells(checked)) << c.name << " path " << i;
        const Rasterizer::Bounds a = fast.bounds();
        const Rasterizer::Bounds b = checked.bounds();
        ASSERT_TRUE(std::bit_cast<uint32_t>(a.minX) == std::bit_cast<uint32_t>(b.minX) &&
                    std::bit_cast<uint32_t>(a.minY) == std::bit_cast<uint32_t>(b.minY) &&
                    std::bit_cast<uint32_t>(a.maxX) == std::bit_cast<uint32_t>(b.maxX) &&
                    std::bit_cast<uint32_t>(a.maxY) == std::bit_cast<uint32_t>(b.maxY))
            << c.name << " path " << i << ": bounds differ";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Transforms, MappedWalk,
    ::testing::Values(TransformCase{"sharp4", 4.0f, 4.8f, 0.0f, 0.0f, 0.0f, 0, false},
                      TransformCase{"sharp9fine", 9.0f, 10.8f, 0.0f, 0.0f, 0.0f, 0, true},
                      TransformCase{"band", 6.0f, 7.2f, 0.0f, 0.0f, 0.0f, 700, true},
                      TransformCase{"farBand", 12.0f, 14.4f, 0.0f, 0.0f, 0.0f, 2100, false},
                      TransformCase{"identityBand", 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 35, false},
                      TransformCase{"shrunk", 0.37f, 0.41f, 0.0f, 3.5f, -2.25f, 0, true},
                      TransformCase{"mirrored", -3.0f, 2.0f, 0.0f, 1000.0f, 0.0f, 0, false},
                      TransformCase{"rotated", 2.5f, 2.5f, 0.4f, 300.0f, -50.0f, 0, true},
                      TransformCase{"offset", 1.0f, 1.0f, 0.0f, 0.5f, 17.25f, 0, false},
                      // Some points map past the fixed-point range, some within it.
                      TransformCase{"pastTheFixedRange", 9000.0f, 9000.0f, 0.0f, -1.44e6f, -0.9e6f,
                                    0, false}),
    [](const ::testing::TestParamInfo<TransformCase>& param) { return param.param.name; });

// Distance of p from the line through a and b.
double offLine(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length = std::hypot(dx, dy);
    if (length == 0.0) {
        return std::hypot(px - ax, py - ay);
    }
    return std::fabs((px - ax) * dy - (py - ay) * dx) / length;
}

struct Curve {
    const char* name;
    // The exact curve in path coordinates at parameter t of [0, 1].
    double (*x)(double t);
    double (*y)(double t);
    std::vector<uint32_t> words;
};

constexpr double kCx = 160.0;
constexpr double kCy = 100.0;
constexpr double kR = 90.0;
constexpr double kBigR = 3000.0;
// Control distance of the four-cubic circle.
constexpr double kKappa = 0.5522847498;

// A circle of radius 90 drawn with each kind of command, shown at 9x (2880x2160).
TEST(FineFlattening, CircleChordsStayWithinAQuarterPixelAt9x) {
    const flattening::LinearMap nineTimes{9.0f, 0.0f, 0.0f, 10.8f};
    const auto f = [](double v) { return w(static_cast<float>(v)); };
    // One quarter of the circle (from angle 0 to 90 degrees, y down) as a cubic and as a
    // quadratic, and half of it as an arc, centre (160, 100).
    std::vector<Curve> curves = {
        {"cubic",
         [](double t) {
             const double s = 1.0 - t;
             return s * s * s * (kCx + kR) + 3 * s * s * t * (kCx + kR) +
                    3 * s * t * t * (kCx + kKappa * kR) + t * t * t * kCx;
         },
         [](double t) {
             const double s = 1.0 - t;
             return s * s * s * kCy + 3 * s * s * t * (kCy + kKappa * kR) +
                    3 * s * t * t * (kCy + kR) + t * t * t * (kCy + kR);
         },
         {1, f(kCx + kR), f(kCy), 4, f(kCx + kR), f(kCy + kKappa * kR), f(kCx + kKappa * kR),
          f(kCy + kR), f(kCx), f(kCy + kR)}},
        {"quad",
         [](double t) {
             const double s = 1.0 - t;
             return s * s * (kCx + kR) + 2 * s * t * (kCx + kR) + t * t * kCx;
         },
         [](double t) {
             const double s = 1.0 - t;
             return s * s * kCy + 2 * s * t * (kCy + kR) + t * t * (kCy + kR);
         },
         {1, f(kCx + kR), f(kCy), 3, f(kCx + kR), f(kCy + kR), f(kCx), f(kCy + kR)}},
        // The lower half circle: start and end across a diameter have one centre, and
        // the walk turns from the start with growing angle (y down).
        {"arc",
         [](double t) { return kCx + kR * std::cos(t * std::numbers::pi); },
         [](double t) { return kCy + kR * std::sin(t * std::numbers::pi); },
         {1, f(kCx + kR), f(kCy), 5, f(kR), f(kR), f(kCx - kR), f(kCy), 0, 0, 0}},
        // So large (32400 pixels across at 9x) that 0.01-radian steps stray 0.4 pixels.
        {"bigArc",
         [](double t) { return kCx + kBigR * std::cos(t * std::numbers::pi); },
         [](double t) { return kCy + kBigR * std::sin(t * std::numbers::pi); },
         {1, f(kCx + kBigR), f(kCy), 5, f(kBigR), f(kBigR), f(kCx - kBigR), f(kCy), 0, 0, 0}},
    };
    for (const bool fine : {false, true}) {
        for (const Curve& curve : curves) {
            RecordingSink sink;
            sink.setCurveSteps(16);
            sink.setFineFlattening(fine ? &nineTimes : nullptr);
            Path::replayWords(curve.words.data(), static_cast<int32_t>(curve.words.size()), sink);
            ASSERT_FALSE(sink.lines.empty());
            // Each chord against the curve between its ends: the exact curve is sampled
            // finely, and each sample is assigned to the chord whose ends enclose it.
            double worst = 0.0;
            size_t chord = 0;
            for (int i = 0; i <= 20000; ++i) {
                const double t = i / 20000.0;
                const double px = curve.x(t) * 9.0;
                const double py = curve.y(t) * 10.8;
                // Move on while the sample is past the chord's end (both move the same way
                // along the curve: x falls as t grows).
                while (chord + 1 < sink.lines.size() &&
                       curve.x(t) < static_cast<double>(sink.lines[chord].x1)) {
                    ++chord;
                }
                const RecordedLine& l = sink.lines[chord];
                const auto d = [](float v) { return static_cast<double>(v); };
                worst = std::max(worst, offLine(px, py, d(l.x0) * 9.0, d(l.y0) * 10.8,
                                                d(l.x1) * 9.0, d(l.y1) * 10.8));
            }
            if (fine) {
                EXPECT_LT(worst, 0.25) << curve.name << ": " << sink.lines.size() << " chords";
            } else if (std::string(curve.name) != "arc") {
                // The fixed steps, drawn this large, stray visibly: the bound is not free.
                // (The 0.01-radian walk is fine enough for the small arc already.)
                EXPECT_GT(worst, 0.25) << curve.name << " with fixed steps";
            }
        }
    }
}

// x scales by 2 and y by 1.5: the square (10.25, 10.5)-(20.75, 30.5) covers x 20.5..41.5
// and y 15.75..45.75, so columns 21..40 and rows 16..44 are whole, columns 20 and 41 half
// covered, rows 15 and 45 each cross one of their two half-scanlines.
TEST(ScaledSquare, EdgesLandOnTheWorkedOutPixels) {
    constexpr int32_t kW = 640;
    constexpr int32_t kH = 300;
    constexpr uint32_t kColour = 0xff2040c0u;
    constexpr uint32_t kBlack = 0xff000000u;
    for (const bool fine : {false, true}) {
        Canvas canvas(kW, kH);
        Path square;
        addRect(square, 10.25f, 10.5f, 20.75f, 30.5f);
        Transform2D scale;
        scale.setScale(2.0f, 1.5f);
        canvas.raster.clear();
        canvas.raster.setFineTransformedFills(fine);
        SolidPaint paint(kColour);
        canvas.raster.fillTransformed(square, scale, paint, FillRule::kNonZero);
        canvas.raster.resolveBackground(kBlack);
        for (int32_t y = 10; y < 50; ++y) {
            for (int32_t x = 15; x < 46; ++x) {
                const bool outside = x < 20 || x > 41 || y < 15 || y > 45;
                const bool edge = x == 20 || x == 41 || y == 15 || y == 45;
                const uint32_t p = canvas.at(x, y);
                if (outside) {
                    ASSERT_EQ(p, kBlack) << std::hex << x << "," << y << " 0x" << p;
                } else if (edge) {
                    ASSERT_TRUE(p != kBlack && p != kColour)
                        << std::hex << x << "," << y << " 0x" << p;
                } else {
                    ASSERT_EQ(p, kColour) << std::hex << x << "," << y << " 0x" << p;
                }
            }
        }
        // Half of each edge pixel is covered: about half the colour (blue 0xc0) over black.
        for (const auto& [x, y] : {std::pair{20, 30}, {41, 30}, {30, 15}, {30, 45}}) {
            const int32_t blue = static_cast<int32_t>(canvas.at(x, y) & 0xffu);
            EXPECT_NEAR(blue, 0x60, 2) << x << "," << y;
        }
    }
}

// Fine flattening changes only how curves are cut: the mapped walk with it on still
// draws what the plain rasterizer draws from the same finely cut outline.
TEST(FineFlattening, MappedFillMatchesThePlainRasterizer) {
    constexpr int32_t kW = 960;
    constexpr int32_t kH = 720;
    Transform2D transform;
    transform.setScale(3.0f, 3.6f);
    const flattening::LinearMap map = flattening::linearPartOf(transform.matrix());
    std::vector<uint32_t> tuned(size_t{kW} * kH), plain(size_t{kW} * kH);
    Rasterizer fast;
    fast.setTarget(tuned.data(), kW, kH, kW);
    fast.clear();
    fast.setCurveSteps(16);
    fast.setFineTransformedFills(true);
    PlainRasterizer reference;
    reference.setTarget(plain.data(), kW, kH, kW);
    reference.clear();
    reference.setCurveSteps(16);
    reference.setFineFlattening(&map);
    std::mt19937 rng(4242u);
    for (int i = 0; i < 80; ++i) {
        const Path path = randomPath(rng, 160.0f, 100.0f, i % 4 == 0 ? 120.0f : 30.0f);
        const uint32_t colour = 0x80000000u | (static_cast<uint32_t>(i) * 0x010305u & 0x7f7f7fu);
        SolidPaint paint(colour);
        fast.fillTransformed(path, transform, paint, FillRule::kEvenOdd);
        reference.fill(path, &transform, colour, FillRule::kEvenOdd);
    }
    fast.resolveBackground(0xff000000u);
    reference.resolveBackground(0xff000000u);
    for (size_t i = 0; i < tuned.size(); ++i) {
        ASSERT_EQ(tuned[i], plain[i]) << std::hex << "pixel " << std::dec << i % kW << "," << i / kW
                                      << std::hex << ": 0x" << tuned[i] << " vs 0x" << plain[i];
    }
}

} // namespace
