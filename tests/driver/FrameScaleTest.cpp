// The processor scaling against values worked out by hand: whole-number enlargement by
// nearest neighbour, then bilinear sampling at pixel centres with 1/256 weights.
#include <gtest/gtest.h>

#include <vector>

#include "driver/FrameScale.h"

namespace {

constexpr int32_t kW = 320;
constexpr int32_t kH = 200;

// Rows 0..99 black, rows 100..199 white.
std::vector<uint32_t> blackOverWhite() {
    std::vector<uint32_t> src(kW * kH, 0x00000000u);
    for (int32_t i = kW * 100; i < kW * kH; ++i) {
        src[i] = 0x00ffffffu;
    }
    return src;
}

TEST(ScaleSharp, ThreeTimesBlendsOnlyTheRowsAtAnEdge) {
    const std::vector<uint32_t> src = blackOverWhite();
    std::vector<uint32_t> dst(960 * 720, 0);
    scaleSharp(src.data(), kW, kH, dst.data(), 960, 720);
    // Factor 3 makes 600 rows; row y samples enlarged row (2y+1)*600/1440 - 1/2.
    // y=358 -> 298.25 (rows 99 and 99), y=359 -> 299.08 (99, 100, weight 21/256),
    // y=360 -> 299.91 (weight 234), y=361 -> 300.75 (100 and 100).
    EXPECT_EQ(dst[358 * 960 + 17], 0xff000000u);
    EXPECT_EQ(dst[359 * 960 + 17], 0xff151515u);  // (255*21 + 128) >> 8 = 21
    EXPECT_EQ(dst[360 * 960 + 500], 0xffe9e9e9u); // (255*234 + 128) >> 8 = 233
    EXPECT_EQ(dst[361 * 960 + 959], 0xffffffffu);
}

TEST(ScaleSharp, ColumnsAtAWholeFactorAreCopiedWithoutBlending) {
    std::vector<uint32_t> src(kW * kH, 0);
    for (int32_t y = 0; y < kH; ++y) {
        for (int32_t x = 0; x < kW; ++x) {
            src[y * kW + x] = static_cast<uint32_t>(x);
        }
    }
    std::vector<uint32_t> dst(960 * 720, 0);
    scaleSharp(src.data(), kW, kH, dst.data(), 960, 720);
    for (int32_t x = 0; x < 960; ++x) {
        ASSERT_EQ(dst[100 * 960 + x], 0xff000000u | static_cast<uint32_t>(x / 3)) << x;
    }
}

TEST(ScaleSharp, EdgesClampAndTheTopByteIsIgnored) {
    std::vector<uint32_t> src(kW * kH, 0x7f102030u);
    for (int32_t x = 0; x < kW; ++x) {
        src[x] = 0x00aabbccu;                 // top row
        src[(kH - 1) * kW + x] = 0x12445566u; // bottom row
    }
    std::vector<uint32_t> dst(320 * 240, 0);
    scaleSharp(src.data(), kW, kH, dst.data(), 320, 240);
    // Factor 1. Row 0 samples row -0.08, clamped to 0; row 239 samples 199.08, whose
    // second neighbour is clamped to 199 as well.
    EXPECT_EQ(dst[0], 0xffaabbccu);
    EXPECT_EQ(dst[239 * 320 + 319], 0xff445566u);
    EXPECT_EQ(dst[120 * 320 + 160], 0xff102030u);
}

TEST(ScaleSharp, NothingHappensForEmptySizes) {
    uint32_t src = 1;
    uint32_t dst = 5;
    scaleSharp(&src, 0, 1, &dst, 1, 1);
    scaleSharp(&src, 1, 1, &dst, 1, -2);
    EXPECT_EQ(dst, 5u);
}

} // namespace
