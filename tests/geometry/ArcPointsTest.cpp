// The batched arc walk against the walk one point at a time: every point bit for bit.
// The angles' sines and cosines come from the batch evaluation, several side by side.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "geometry/Flattening.h"
#include "geometry/FloatMath.h"

namespace {

using Points = std::vector<std::pair<float, float>>;

// The arc walk written plainly: each point worked out and handed on in turn, with
// floatmath's one-at-a-time functions (the C library's round differently off glibc).
Points plainArc(float rx, float ry, float x0, float y0, float x, float y) {
    Points out;
    const bool finite = std::isfinite(rx) && std::isfinite(ry) && std::isfinite(x) &&
                        std::isfinite(y) && std::isfinite(x0) && std::isfinite(y0);
    if (!finite || rx == 0.0f || ry == 0.0f) {
        out.emplace_back(x, y);
        return out;
    }
    const float mx = (x0 + x) / 2.0f;
    const float my = (y0 + y) / 2.0f;
    const float u = (x0 - mx) / rx;
    const float v = (y0 - my) / ry;
    const float halfChord = std::sqrt(u * u + v * v);
    if (!(halfChord > 0.0f) || !(halfChord <= 1.0f + flattening::kHalfChordTolerance)) {
        out.emplace_back(x, y);
        return out;
    }
    const float depth = std::sqrt(std::fmax(0.0f, 1.0f - halfChord * halfChord));
    const float ox = mx - rx * depth * v / halfChord;
    const float oy = my + ry * depth * u / halfChord;
    const float theta0 = floatmath::atan2((y0 - oy) / ry, (x0 - ox) / rx);
    float theta1 = floatmath::atan2((y - oy) / ry, (x - ox) / rx);
    if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(theta0) ||
        !std::isfinite(theta1)) {
        out.emplace_back(x, y);
        return out;
    }
    if (theta0 > theta1) {
        theta1 = theta1 + flattening::kTwoPi;
    }
    for (float theta = theta0 + flattening::kArcStep; theta < theta1;
         theta = theta + flattening::kArcStep) {
        out.emplace_back(ox + rx * floatmath::cos(theta), oy + ry * floatmath::sin(theta));
    }
    out.emplace_back(x, y);
    return out;
}

Points batchedArc(float rx, float ry, float x0, float y0, float x, float y) {
    Points out;
    flattening::arc(rx, ry, x0, y0, x, y, [&out](float px, float py) { out.emplace_back(px, py); });
    return out;
}

// Arcs from a few points to the longest (about 629), so that batches end everywhere,
// including exactly at a batch boundary.
TEST(ArcPoints, BatchedWalkGivesThePlainWalksPointsBitForBit) {
    std::mt19937 random(4021u);
    std::uniform_real_distribution<float> coord(-50.0f, 370.0f);
    std::uniform_real_distribution<float> radius(0.5f, 200.0f);
    std::vector<size_t> lengths;
    for (int trial = 0; trial < 3000; ++trial) {
        const float x0 = coord(random), y0 = coord(random);
        const float x = trial % 5 == 0 ? x0 : coord(random);
        const float y = trial % 5 == 0 ? y0 + 0.25f : coord(random);
        const float rx = radius(random);
        const float ry = trial % 3 == 0 ? rx : radius(random);
        const Points expected = plainArc(rx, ry, x0, y0, x, y);
        const Points got = batchedArc(rx, ry, x0, y0, x, y);
        ASSERT_EQ(got.size(), expected.size()) << "arc " << trial;
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(std::bit_cast<uint32_t>(got[i].first),
                      std::bit_cast<uint32_t>(expected[i].first))
                << "arc " << trial << " point " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(got[i].second),
                      std::bit_cast<uint32_t>(expected[i].second))
                << "arc " << trial << " point " << i;
        }
        lengths.push_back(got.size());
    }
    // The trials include arcs ending right at, just before and just after a whole batch,
    // and half-turn-plus arcs of several batches.
    const auto seen = [&lengths](auto pred) {
        for (const size_t n : lengths) {
            if (pred(n)) {
                return true;
            }
        }
        return false;
    };
    const auto batch = static_cast<size_t>(flattening::kArcBatch);
    EXPECT_TRUE(seen([](size_t n) { return n > 400; }));
    EXPECT_TRUE(seen([batch](size_t n) { return n > 1 && (n - 1) % batch == 0; }));
    EXPECT_TRUE(seen([batch](size_t n) { return n > 2 && (n - 2) % batch == 0; }));
    EXPECT_TRUE(seen([batch](size_t n) { return (n - 1) % batch == batch - 1; }));
}

// The walk as it was before the batches: each angle's sine and cosine from sinCos, the point
// worked out and handed on in turn, at any step.
Points pointByPointArc(float arcStep, float rx, float ry, float x0, float y0, float x, float y) {
    Points out;
    const bool finite = std::isfinite(rx) && std::isfinite(ry) && std::isfinite(x) &&
                        std::isfinite(y) && std::isfinite(x0) && std::isfinite(y0);
    if (!finite || rx == 0.0f || ry == 0.0f) {
        out.emplace_back(x, y);
        return out;
    }
    const float mx = (x0 + x) / 2.0f;
    const float my = (y0 + y) / 2.0f;
    const float u = (x0 - mx) / rx;
    const float v = (y0 - my) / ry;
    const float halfChord = std::sqrt(u * u + v * v);
    if (!(halfChord > 0.0f) || !(halfChord <= 1.0f + flattening::kHalfChordTolerance)) {
        out.emplace_back(x, y);
        return out;
    }
    const float depth = std::sqrt(std::fmax(0.0f, 1.0f - halfChord * halfChord));
    const float ox = mx - rx * depth * v / halfChord;
    const float oy = my + ry * depth * u / halfChord;
    const float theta0 = floatmath::atan2((y0 - oy) / ry, (x0 - ox) / rx);
    float theta1 = floatmath::atan2((y - oy) / ry, (x - ox) / rx);
    if (!std::isfinite(ox) || !std::isfinite(oy) || !std::isfinite(theta0) ||
        !std::isfinite(theta1)) {
        out.emplace_back(x, y);
        return out;
    }
    if (theta0 > theta1) {
        theta1 = theta1 + flattening::kTwoPi;
    }
    for (float theta = theta0 + arcStep; theta < theta1; theta = theta + arcStep) {
        const floatmath::SinCos sc = floatmath::sinCos(theta);
        out.emplace_back(ox + rx * sc.cos, oy + ry * sc.sin);
    }
    out.emplace_back(x, y);
    return out;
}

class ArcStepPoints : public ::testing::TestWithParam<float> {};

// Seeded arcs of every size and aspect, also far from the origin and with tiny radii,
// walked at the fixed step and at fine steps; the batches' sizes are checked as well.
TEST_P(ArcStepPoints, BatchedWalkGivesThePointByPointWalksPoints) {
    const float step = GetParam();
    std::mt19937 random(90210u);
    std::uniform_real_distribution<float> coord(-2000.0f, 2000.0f);
    std::uniform_real_distribution<float> offset(-300.0f, 300.0f);
    std::uniform_real_distribution<float> logRadius(-4.0f, 9.0f);
    const int32_t trials = step < 0.005f ? 150 : 1500;
    for (int32_t trial = 0; trial < trials; ++trial) {
        const float x0 = coord(random);
        const float y0 = coord(random);
        const float rx = std::exp2(logRadius(random));
        const float ry = trial % 4 == 0 ? rx : std::exp2(logRadius(random));
        // End points within reach of the radii, so that most arcs have a centre.
        const float x = x0 + std::fmin(rx, 300.0f) * offset(random) / 300.0f;
        const float y = y0 + std::fmin(ry, 300.0f) * offset(random) / 300.0f;
        const Points expected = pointByPointArc(step, rx, ry, x0, y0, x, y);
        Points got;
        bool batchesFit = true;
        flattening::arcBatches(step, rx, ry, x0, y0, x, y,
                               [&](const float* xs, const float* ys, int32_t n) {
                                   batchesFit = batchesFit && n >= 1 && n <= flattening::kArcBatch;
                                   for (int32_t i = 0; i < n; ++i) {
                                       got.emplace_back(xs[i], ys[i]);
                                   }
                               });
        EXPECT_TRUE(batchesFit) << "arc " << trial;
        ASSERT_EQ(got.size(), expected.size()) << "arc " << trial;
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(std::bit_cast<uint32_t>(got[i].first),
                      std::bit_cast<uint32_t>(expected[i].first))
                << "arc " << trial << " point " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(got[i].second),
                      std::bit_cast<uint32_t>(expected[i].second))
                << "arc " << trial << " point " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ArcStepPoints,
                         ::testing::Values(flattening::kArcStep, flattening::kMinFineArcStep,
                                           0.0037f, 0.3f));

} // namespace
