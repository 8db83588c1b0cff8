// Front-to-back compositing of spans and the background pass, on single pixels whose
// results were worked out by hand, plus damaged colours that must not spill over.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "geometry/SolidPaint.h"
#include "support/RasterHarness.h"

namespace {

std::string hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

#define EXPECT_PIXEL(actual, expected) EXPECT_EQ(hex(actual), hex(expected))

// One span through the solid or the non-solid path of the writer. Consecutive spans of
// one non-solid paint share a sweep, so the writer's seek cache carries over between them.
struct Writer {
    Writer() : canvas(8, 2) {}
    void solid(uint32_t colour, int32_t x, int32_t count, int32_t alpha, int32_t y = 0) {
        SolidPaint paint(colour);
        canvas.raster.setSweepPaint(&paint, FillRule::kEvenOdd);
        canvas.raster.writeSpan(x, y, count, alpha);
        canvas.raster.setSweepPaint(nullptr, FillRule::kEvenOdd);
        current = nullptr;
    }
    void painted(RecordingPaint& paint, int32_t x, int32_t count, int32_t alpha, int32_t y = 0) {
        if (current != &paint) {
            canvas.raster.setSweepPaint(&paint, FillRule::kEvenOdd);
            current = &paint;
        }
        canvas.raster.writeSpan(x, y, count, alpha);
    }
    Canvas canvas;
    const Paint* current = nullptr;
};

TEST(WriteSpan, EmptyPixelTakesTheScaledColour) {
    Writer w;
    w.solid(0xFF0000FFu, 0, 1, 255);
    w.solid(0xFF0000FFu, 1, 1, 128);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0xFF0000FFu);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0x80000080u);
}

TEST(WriteSpan, LaterColourGoesUnderThePartialPixel) {
    Writer w;
    w.canvas.at(0, 0) = 0x80000080u;
    w.canvas.at(1, 0) = 0x80000080u;
    w.solid(0xFFFF0000u, 0, 1, 255);
    w.solid(0xFFFF0000u, 1, 1, 128);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0xFF7F0080u);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0xBF3F0080u);

    RecordingPaint red(0xFFFF0000u);
    w.canvas.at(2, 0) = 0x80000080u;
    w.canvas.at(3, 0) = 0x80000080u;
    w.painted(red, 2, 1, 255);
    w.painted(red, 3, 1, 128);
    EXPECT_PIXEL(w.canvas.at(2, 0), 0xFF7F0080u);
    EXPECT_PIXEL(w.canvas.at(3, 0), 0xBF3F0080u);
}

TEST(WriteSpan, SolidAndNonSolidRoundDifferentlyUnderPartialCoverage) {
    Writer w;
    w.canvas.at(0, 0) = 0x3B00310Cu;
    w.canvas.at(1, 0) = 0x3B00310Cu;
    w.solid(0x8B3B6783u, 0, 1, 89);
    RecordingPaint paint(0x8B3B6783u);
    w.painted(paint, 1, 1, 89);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0x5F0F4B2Eu);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0x5F0F4C2Eu);
}

TEST(WriteSpan, OpaquePixelIsNeverTouched) {
    Writer w;
    w.canvas.at(0, 0) = 0xFF123456u;
    w.canvas.at(1, 0) = 0xFF654321u;
    w.solid(0xFFFFFFFFu, 0, 2, 255);
    w.solid(0x80402010u, 0, 2, 77);
    RecordingPaint paint(0xFFFFFFFFu);
    w.painted(paint, 0, 2, 200);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0xFF123456u);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0xFF654321u);
    // The non-solid paint is still stepped over them, with skip set.
    EXPECT_EQ(paint.skips, (std::vector<int32_t>{1, 1}));
}

TEST(WriteSpan, SpanCoversExactlyCountPixelsOfItsRow) {
    Writer w;
    w.solid(0xFF00FF00u, 2, 3, 255, 1);
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const bool inside = y == 1 && x >= 2 && x < 5;
            EXPECT_PIXEL(w.canvas.at(x, y), inside ? 0xFF00FF00u : 0u) << x << "," << y;
        }
    }
}

TEST(WriteSpan, EmptySpansChangeNoPixelButMoveTheSeekCache) {
    Writer w;
    w.solid(0xFFFFFFFFu, 3, 0, 255);
    w.solid(0xFFFFFFFFu, 3, -4, 255);
    RecordingPaint paint(0xFFFFFFFFu);
    w.painted(paint, 3, 0, 255);
    for (uint32_t p : w.canvas.pixels)
        EXPECT_EQ(p, 0u);
    EXPECT_TRUE(paint.skips.empty());
    // The next span starts where the empty one ended: the paint is not moved again.
    const size_t seeks = paint.seeks.size();
    w.painted(paint, 3, 1, 255);
    EXPECT_EQ(paint.seeks.size(), seeks);
}

TEST(WriteSpan, NonSolidPaintSeeksOnlyWhereTheLastSpanDidNotEnd) {
    Writer w;
    RecordingPaint paint(0xFF808080u);
    w.painted(paint, 1, 1, 100);
    w.painted(paint, 2, 3, 255);
    w.painted(paint, 5, 1, 100, 1);
    w.painted(paint, 6, 1, 100, 1);
    w.painted(paint, 0, 1, 100, 1);
    ASSERT_EQ(paint.seeks.size(), 3u);
    EXPECT_EQ(paint.seeks[1].x, 5);
    EXPECT_EQ(paint.seeks[1].y, 1);
    EXPECT_EQ(paint.seeks[2].x, 0);
    EXPECT_EQ(paint.xs, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 0}));
}

TEST(WriteSpan, TransparentColourDrawsNothingYetStepsTheNonSolidPaint) {
    Writer w;
    w.canvas.at(1, 0) = 0x40102030u;
    w.solid(0x00000000u, 0, 4, 255);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0u);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0x40102030u);

    RecordingPaint clear(0x00000000u);
    w.painted(clear, 0, 4, 255);
    EXPECT_EQ(clear.skips.size(), 4u);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0x40102030u);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0u);
}

TEST(WriteSpan, DamagedColourNeverSpillsIntoTheNextByte) {
    // Colour bytes above their alpha are taken as equal to it.
    Writer w;
    w.solid(0x01FFFFFFu, 0, 1, 255);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0x01010101u);
    w.solid(0xFFFFFFFFu, 0, 1, 255);
    EXPECT_PIXEL(w.canvas.at(0, 0), 0xFFFFFFFFu);

    RecordingPaint damaged(0x10FF00FFu);
    w.painted(damaged, 1, 1, 255);
    EXPECT_PIXEL(w.canvas.at(1, 0), 0x10100010u);
    w.painted(damaged, 2, 1, 128);
    EXPECT_PIXEL(w.canvas.at(2, 0), 0x08080008u);

    // A pixel spoiled outside the rasterizer: every byte saturates at 255 instead of
    // carrying into its neighbour.
    w.canvas.at(3, 0) = 0x01FFFFFFu;
    w.canvas.at(4, 0) = 0x01FFFFFFu;
    w.solid(0xFFFFFFFFu, 3, 1, 255);
    RecordingPaint white(0xFFFFFFFFu);
    w.painted(white, 4, 1, 200);
    EXPECT_PIXEL(w.canvas.at(3, 0), 0xFFFFFFFFu);
    EXPECT_EQ(w.canvas.at(4, 0) >> 24, 200u);
    EXPECT_EQ(w.canvas.at(4, 0) & 0xFFFFFFu, 0xFFFFFFu);
}

TEST(ResolveBackground, PutsTheBackgroundUnderAndMakesEveryPixelOpaque) {
    Canvas canvas(4, 1);
    canvas.at(0, 0) = 0x80000080u;
    canvas.at(1, 0) = 0x80FF0000u;
    canvas.at(2, 0) = 0xFF123456u;
    canvas.raster.resolveBackground(0xFF000000u);
    EXPECT_PIXEL(canvas.at(0, 0), 0xFF000080u);
    EXPECT_PIXEL(canvas.at(1, 0), 0xFF800000u);
    EXPECT_PIXEL(canvas.at(2, 0), 0xFF123456u);
    EXPECT_PIXEL(canvas.at(3, 0), 0xFF000000u);

    Canvas white(2, 1);
    white.at(0, 0) = 0x80000080u;
    white.raster.resolveBackground(0x00FFFFFFu);
    EXPECT_PIXEL(white.at(0, 0), 0xFF7F7FFFu);
    EXPECT_PIXEL(white.at(1, 0), 0xFFFFFFFFu);
}

TEST(ResolveBackground, LeavesPixelsOutsideTheWidthAlone) {
    std::vector<uint32_t> pixels(3 * 5, 0u);
    Rasterizer r;
    r.setTarget(pixels.data(), 3, 3, 5);
    r.resolveBackground(0x00112233u);
    for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
            EXPECT_PIXEL(pixels[y * 5 + x], x < 3 ? 0xFF112233u : 0u) << x << "," << y;
        }
    }
}

} // namespace
