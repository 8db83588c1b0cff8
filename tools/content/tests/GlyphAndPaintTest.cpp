#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "Colour.h"
#include "DrawList.h"
#include "GlyphFont.h"
#include "GradientPaint.h"

namespace {
uint32_t pixelAt(const std::vector<uint32_t>& p, float x, float y) {
    return p[static_cast<size_t>(static_cast<int>(y) * DrawList::kWidth + static_cast<int>(x))];
}
} // namespace

TEST(GlyphFont, LetterOIsARingWithItsHoleCutByEvenOdd) {
    const GlyphFont font(dejavuPath("DejaVuSans-Bold.ttf"));
    const auto glyphs = font.centred("O", 100.0f, 160.0f, 150.0f);
    ASSERT_EQ(glyphs.size(), 1u);
    DrawList list;
    list.fill(0xFFFFFFFFu, glyphs[0].outline);
    std::vector<uint32_t> pixels(DrawList::kWidth * DrawList::kHeight);
    list.render(pixels.data());
    const auto b = glyphs[0].outline.bounds();
    const float midY = (b[1] + b[3]) / 2.0f;
    EXPECT_EQ(pixelAt(pixels, (b[0] + b[2]) / 2.0f, midY), 0xFF000000u) << "the hole";
    EXPECT_EQ(pixelAt(pixels, b[0] + 5.0f, midY), 0xFFFFFFFFu) << "the left stroke";
    EXPECT_EQ(pixelAt(pixels, b[0] - 3.0f, midY), 0xFF000000u) << "outside";
}

TEST(GlyphFont, CentredTextIsCentredOnItsAdvance) {
    const GlyphFont font(dejavuPath("DejaVuSans.ttf"));
    const auto glyphs = font.centred("MORVANE", 20.0f, 160.0f, 100.0f, 1.0f);
    ASSERT_EQ(glyphs.size(), 7u);
    const float left = glyphs.front().originX;
    const float right = glyphs.back().originX + glyphs.back().advance - 1.0f;
    EXPECT_NEAR((left + right) / 2.0f, 160.0f, 1e-3f);
}

TEST(GlyphFont, MissingFontIsAnError) {
    EXPECT_THROW(GlyphFont("/nonexistent/font.ttf"), std::runtime_error);
}

TEST(GradientPaint, LinearSamplesPixelCentresAndClampsPastTheEnd) {
    LinearGradientPaint paint(0.0f, 0.0f, 10.0f, 0.0f, {{0.0f, {0, 0, 0}}, {1.0f, {1, 1, 1}}});
    paint.seek(0, 7);
    EXPECT_EQ(paint.nextColour(0), 0xFF0D0D0Du); // t = 0.05 -> 12.75 -> 13
    EXPECT_EQ(paint.nextColour(0), 0xFF262626u); // t = 0.15 -> 38.25 -> 38
    EXPECT_EQ(paint.nextColour(1), 0u);          // skipped, but advanced
    EXPECT_EQ(paint.nextColour(0), 0xFF595959u); // pixel 3: t = 0.35 -> 89.25 -> 89
    paint.seek(12, 0);
    EXPECT_EQ(paint.nextColour(0), 0xFFFFFFFFu);
}

TEST(GradientPaint, RadialPremultipliesTranslucentStops) {
    RadialGradientPaint paint(0.0f, 0.0f, 10.0f, 10.0f,
                              {{0.0f, {1, 1, 1}, 0.5f}, {1.0f, {1, 0, 0}, 0.5f}});
    paint.seek(100, 100); // far outside: the last stop, red at half opacity
    EXPECT_EQ(paint.nextColour(0), 0x80800000u);
    paint.seek(0, 0); // centre (0.5, 0.5): t = 0.0707, white fading to red
    const uint32_t c = paint.nextColour(0);
    EXPECT_EQ(c >> 24, 0x80u);
    EXPECT_EQ((c >> 16) & 0xFFu, 0x80u);
    EXPECT_LE(c & 0xFFu, 0x80u);
}

TEST(Colour, PremultipliedNeverExceedsAlpha) {
    EXPECT_EQ(premultiplied({1.0f, 0.5f, 0.0f}, 1.0f), 0xFFFF8000u);
    EXPECT_EQ(premultiplied({1.0f, 1.0f, 1.0f}, 0.25f), 0x40404040u);
    EXPECT_EQ(premultiplied({2.0f, -1.0f, 0.5f}, 2.0f), 0xFFFF0080u);
}
