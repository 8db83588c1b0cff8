// The rasterizer as a whole: target setup and clearing, fills that need more cells than
// the arrays start with or may ever hold, the record of opaque blocks, and targets the
// cell word cannot address.
#include <gtest/gtest.h>

#include <vector>

#include "geometry/SolidPaint.h"
#include "support/RasterHarness.h"

namespace {

using enum FillRule;
constexpr uint32_t kSentinel = 0xDEADBEEFu;

// Slanted teeth side by side, each well apart from its neighbours, all full height.
void addTooth(Path& path, int32_t i, float height) {
    const float left = 8.0f * float(i) + 0.3f;
    addPolygon(path,
               {{left, 0.0f}, {left + 3.0f, 0.0f}, {left + 4.7f, height}, {left + 1.7f, height}});
}

TEST(Clear, EmptiesTheTargetAndNothingBeyondIt) {
    // Three rows of pitch 5, width 4: the last row needs only 4 pixels.
    std::vector<uint32_t> pixels(2 * 5 + 4 + 1, kSentinel);
    Rasterizer r;
    r.setTarget(pixels.data(), 4, 3, 5);
    r.clear();
    for (size_t i = 0; i + 1 < pixels.size(); ++i)
        EXPECT_EQ(pixels[i], 0u) << i;
    EXPECT_EQ(pixels.back(), kSentinel);
}

TEST(SetTarget, MalformedTargetsAreRefusedAndNeverWritten) {
    std::vector<uint32_t> pixels(64, kSentinel);
    Path path;
    addRect(path, 0.0f, 0.0f, 8.0f, 8.0f);
    SolidPaint paint(0xFFFFFFFFu);
    struct Bad {
        uint32_t* pixels;
        int32_t width, height, pitch;
    };
    for (const Bad& bad :
         {Bad{nullptr, 8, 8, 8}, Bad{pixels.data(), -8, 8, 8}, Bad{pixels.data(), 8, -1, 8},
          Bad{pixels.data(), 8, 8, 4}, Bad{pixels.data(), 8, 8, -8}}) {
        Rasterizer r;
        r.setTarget(bad.pixels, bad.width, bad.height, bad.pitch);
        EXPECT_FALSE(r.hasTarget());
        EXPECT_EQ(r.targetWidth(), 0);
        EXPECT_EQ(r.targetHeight(), 0);
        r.clear();
        r.fill(path, paint, kNonZero);
        r.resolveBackground(0u);
    }
    for (uint32_t p : pixels)
        EXPECT_EQ(p, kSentinel);
}

TEST(SetTarget, OversizedTargetIsClampedToWhatCellsCanAddress) {
    const int32_t wide = 5000;
    std::vector<uint32_t> pixels(size_t(wide) * 2, 0u);
    Rasterizer r;
    r.setTarget(pixels.data(), wide, 2, wide);
    EXPECT_EQ(r.targetWidth(), Rasterizer::kMaxWidth);
    Path path;
    addRect(path, 0.0f, 0.0f, 4900.0f, 2.0f);
    SolidPaint paint(0xFFFFFFFFu);
    r.fill(path, paint, kNonZero);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < wide; ++x) {
            ASSERT_EQ(pixels[size_t(y) * wide + x], x < 4096 ? 0xFFFFFFFFu : 0u) << x << "," << y;
        }
    }

    std::vector<uint32_t> tall(size_t(2) * 3000, 0u);
    r.setTarget(tall.data(), 2, 3000, 2);
    EXPECT_EQ(r.targetHeight(), Rasterizer::kMaxHeight);
    Path column;
    addRect(column, 0.0f, 0.0f, 2.0f, 2990.0f);
    r.fill(column, paint, kEvenOdd);
    // Rows past 2047 would wrap to row 0 in an 11-bit field; they are simply not drawn.
    EXPECT_EQ(tall[2047 * 2], 0xFFFFFFFFu);
    EXPECT_EQ(tall[2048 * 2], 0u);
    EXPECT_EQ(tall[2989 * 2 + 1], 0u);
}

TEST(Fill, PathOfManyThousandCellsDrawsLikeItsPiecesAndKeepsItsArrays) {
    const int32_t w = 320, h = 200, teeth = 40;
    // 40 teeth of two 400-cell edges each: 32000 cells in one fill.
    Path whole;
    for (int32_t i = 0; i < teeth; ++i)
        addTooth(whole, i, float(h));
    SolidPaint paint(0xFF3060C0u);

    Canvas one(w, h);
    one.raster.fill(whole, paint, kEvenOdd);
    EXPECT_EQ(one.raster.cellCount(), teeth * 2 * 2 * h);

    Canvas pieces(w, h);
    for (int32_t i = 0; i < teeth; ++i) {
        Path tooth;
        addTooth(tooth, i, float(h));
        pieces.raster.fill(tooth, paint, kEvenOdd);
    }
    EXPECT_TRUE(one.pixels == pieces.pixels);
    // The last tooth reaches the bottom row: nothing was dropped.
    EXPECT_EQ(one.at(8 * (teeth - 1) + 3, h - 1), 0xFF3060C0u);

    // A second fill of the same size reuses the grown arrays.
    const Cell* grown = one.raster.storedCells();
    EXPECT_GT(one.raster.cellArraySize(), Rasterizer::kCellCapacity);
    one.raster.fill(whole, paint, kNonZero);
    EXPECT_EQ(one.raster.storedCells(), grown);
}

// Full-height stripes on the tallest target: 600 stripes of two 4,096-cell edges make more
// cells in one fill than the arrays may ever hold. A solid fill sums them as they come,
// so the whole path draws exactly as its stripes drawn one by one.
TEST(Fill, SolidFillBeyondTheLargestCellArrayDropsNothing) {
    const int32_t w = 4096, h = Rasterizer::kMaxHeight, stripes = 600;
    Path whole;
    const auto addStripe = [h](Path& path, int32_t i) {
        const float left = 6.5f * float(i) + 0.25f;
        addRect(path, left, -1.0f, left + 2.5f, float(h) + 1.0f);
    };
    for (int32_t i = 0; i < stripes; ++i)
        addStripe(whole, i);
    for (const uint32_t colour : {0xFFC03020u, 0x80402010u}) {
        SolidPaint paint(colour);
        Canvas one(w, h);
        one.raster.fill(whole, paint, kEvenOdd);
        EXPECT_GT(one.raster.fillCellCount(), int64_t{Rasterizer::kMaxCellCapacity});
        EXPECT_EQ(one.raster.fillCellCount(), int64_t{stripes} * 2 * 2 * h);
        Canvas pieces(w, h);
        for (int32_t i = 0; i < stripes; ++i) {
            Path stripe;
            addStripe(stripe, i);
            pieces.raster.fill(stripe, paint, kEvenOdd);
        }
        EXPECT_TRUE(one.pixels == pieces.pixels) << std::hex << colour;
        // The last stripe, last row: nothing was dropped.
        EXPECT_EQ(one.at(int32_t(6.5f * float(stripes - 1)) + 1, h - 1), colour);
    }
}

// Long opaque runs mark their 64-pixel blocks final, and later fills skip them. What was
// final in one picture is not in the next: clear() and setTarget() forget it, and a block
// only partly covered, or covered by a translucent colour, is never taken as final.
TEST(OpaqueRecord, BlocksAreFinalOnlyUntilTheTargetIsClearedOrChanged) {
    // Wide enough for the record to be kept.
    const int32_t w = 1280, h = 4;
    Path wide, under;
    addRect(wide, 0.0f, 0.0f, 200.0f, float(h));
    addRect(under, 0.0f, 0.0f, float(w), float(h));
    SolidPaint opaque(0xFF102030u), glass(0x80404040u), red(0xFFFF0000u);
    Canvas c(w, h);
    c.raster.fill(wide, opaque, kNonZero);
    c.raster.fill(under, red, kNonZero);
    EXPECT_EQ(c.at(150, 2), 0xFF102030u);
    // Columns 192..199 share a block with 200..255: the red goes under the rest of it.
    EXPECT_EQ(c.at(199, 2), 0xFF102030u);
    EXPECT_EQ(c.at(200, 2), 0xFFFF0000u);

    // The next picture on the same pixels starts from empty: translucent over red.
    c.raster.clear();
    c.raster.fill(wide, glass, kNonZero);
    c.raster.fill(under, red, kNonZero);
    EXPECT_EQ(c.at(10, 1), 0xFFBF4040u); // 0x40 + 255 * 127 / 255 red
    EXPECT_EQ(c.at(230, 1), 0xFFFF0000u);

    // A new target is not known opaque, even one holding the same address.
    std::vector<uint32_t> again(size_t(w) * h, 0u);
    c.raster.fill(wide, opaque, kNonZero);
    c.raster.setTarget(again.data(), w, h, w);
    c.raster.fill(wide, glass, kNonZero);
    c.raster.resolveBackground(0xFF000000u);
    EXPECT_EQ(again[size_t(1) * w + 10], 0xFF404040u);
    EXPECT_EQ(again[size_t(1) * w + 230], 0xFF000000u);
}

// A picture begun without clearing: stale memory never shows through, whether a block is
// never drawn on, drawn on in part (the rest of it is cleared before anything is blended
// there) or covered whole; and nothing past the row's width (padding up to the pitch) is
// written. The stale words are translucent, so a block blended over them unseen would show.
TEST(BeginPicture, StaleMemoryNeverShowsAndThePaddingIsLeftAlone) {
    // Wide enough to be begun without clearing; the last block is cut by the width.
    const int32_t w = 1100, h = 3, pitch = 1152;
    constexpr uint32_t kStale = 0x80402010u;
    std::vector<uint32_t> pixels(size_t(pitch) * h, kStale);
    Rasterizer r;
    r.setTarget(pixels.data(), w, h, pitch);
    r.beginPicture();
    Path part, whole;
    addRect(part, 10.0f, 0.0f, 20.0f, 1.0f);   // row 0, inside block 0
    addRect(whole, 0.0f, 1.0f, 1100.0f, 2.0f); // row 1, blocks 0-16 whole, 17 in part
    SolidPaint glass(0x80800000u);
    r.fill(part, glass, kNonZero);
    r.fill(whole, glass, kNonZero);
    r.resolveBackground(0xFF0000FFu);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < pitch; ++x) {
            const uint32_t p = pixels[size_t(y) * pitch + x];
            const bool drawn = (y == 0 && x >= 10 && x < 20) || (y == 1 && x < w);
            const uint32_t want = x >= w ? kStale : drawn ? 0xFF80007Fu : 0xFF0000FFu;
            ASSERT_EQ(p, want) << std::hex << "(" << std::dec << x << ", " << y << ")";
        }
    }
}

// Timing a picture's stages changes none of its pixels, on a narrow target (cleared at
// once) and a wide one (begun without clearing); every stage that draws is timed, and
// nothing is added once the times are unset.
TEST(StageTimes, ATimedPictureIsTheUntimedOne) {
    for (const int32_t w : {320, 1280}) {
        const int32_t h = 200;
        Path teeth;
        for (int32_t i = 0; i < 40; ++i) {
            addTooth(teeth, i, 190.0f);
        }
        SolidPaint glass(0x80408020u);
        const auto draw = [&](Rasterizer& r, RasterStageTimes* times) {
            std::vector<uint32_t> pixels(size_t(w) * h, kSentinel);
            r.setStageTimes(times);
            r.setTarget(pixels.data(), w, h, w);
            r.beginPicture();
            r.fill(teeth, glass, kEvenOdd);
            r.resolveBackground(0xFF102030u);
            return pixels;
        };
        Rasterizer plain, timed;
        RasterStageTimes times;
        EXPECT_TRUE(draw(timed, &times) == draw(plain, nullptr)) << w;
        EXPECT_GT(times.walk, 0) << w;
        EXPECT_GT(times.sweep, 0) << w;
        EXPECT_GT(times.resolve, 0) << w;
        const RasterStageTimes before = times;
        draw(timed, nullptr);
        EXPECT_EQ(times.walk + times.sweep + times.resolve + times.clear,
                  before.walk + before.sweep + before.resolve + before.clear)
            << w;
    }
}

} // namespace
