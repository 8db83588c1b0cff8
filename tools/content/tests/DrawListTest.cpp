#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "Affine.h"
#include "Colour.h"
#include "DrawList.h"
#include "MovieOutput.h"
#include "Random.h"
#include "movie/MoviePlayer.h"

namespace {
std::vector<uint32_t> renderList(const DrawList& list) {
    std::vector<uint32_t> pixels(DrawList::kWidth * DrawList::kHeight);
    list.render(pixels.data());
    return pixels;
}

// A frame with every kind of item: solid and translucent fills, an ellipse with a hole,
// curves, a stroke.
void sampleFrame(int32_t frame, DrawList& list) {
    Outline back;
    back.rect(0.0f, 0.0f, 320.0f, 200.0f);
    list.fill(opaque({0.1f, 0.1f, 0.3f}), back);
    Outline ring;
    ring.ellipse(100.0f + 10.0f * static_cast<float>(frame), 100.0f, 50.0f, 40.0f);
    ring.ellipse(100.0f + 10.0f * static_cast<float>(frame), 100.0f, 30.0f, 20.0f);
    list.fill(premultiplied({1.0f, 0.5f, 0.0f}, 0.6f), ring);
    Outline curve;
    curve.moveTo(10.0f, 190.0f);
    curve.cubicTo(80.0f, 20.0f, 240.0f, 20.0f, 310.0f, 190.0f);
    curve.quadTo(160.0f, 120.0f, 10.0f, 190.0f);
    curve.close();
    list.fill(premultiplied({0.2f, 1.0f, 0.6f}, 0.5f), curve);
    Outline line;
    line.moveTo(20.0f, 20.0f);
    line.lineTo(300.0f, 60.0f);
    list.stroke(opaque({1.0f, 1.0f, 1.0f}), line, 2.0f);
}
} // namespace

TEST(DrawList, PicturesMatchWhatThePlayerDrawsFromTheWrittenMovie) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "tilsen_drawlist_test.mvz.gz";
    writeMovie(file.string(), 2, sampleFrame);
    MoviePlayer player;
    ASSERT_EQ(player.openFile(file.string().c_str()), 2);
    for (int32_t frame = 0; frame < 2; ++frame) {
        DrawList list;
        sampleFrame(frame, list);
        const std::vector<uint32_t> expected = renderList(list);
        std::vector<uint32_t> shown(expected.size(), 0x12345678u);
        player.render(shown.data(), 0, frame, DrawList::kWidth, DrawList::kHeight);
        size_t differing = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            differing += shown[i] != expected[i] ? 1 : 0;
        EXPECT_EQ(differing, 0u) << "frame " << frame;
    }
    player.close();
    std::filesystem::remove(file);
}

TEST(DrawList, LaterItemsLieInFront) {
    DrawList list;
    Outline a;
    a.rect(10.0f, 10.0f, 20.0f, 20.0f);
    Outline b;
    b.rect(20.0f, 20.0f, 20.0f, 20.0f);
    list.fill(0xFFFF0000u, a);
    list.fill(0xFF0000FFu, b);
    const std::vector<uint32_t> p = renderList(list);
    EXPECT_EQ(p[15 * 320 + 15], 0xFFFF0000u);
    EXPECT_EQ(p[25 * 320 + 25], 0xFF0000FFu);
    EXPECT_EQ(p[35 * 320 + 35], 0xFF0000FFu);
    EXPECT_EQ(p[5 * 320 + 5], 0xFF000000u);
}

TEST(DrawList, LeavesOutWhatCannotBeSeen) {
    DrawList list;
    Outline off;
    off.rect(400.0f, 10.0f, 20.0f, 20.0f);
    list.fill(0xFFFFFFFFu, off);
    Outline above;
    above.ellipse(100.0f, -50.0f, 10.0f, 10.0f);
    list.fill(0xFFFFFFFFu, above);
    Outline clear;
    clear.rect(10.0f, 10.0f, 20.0f, 20.0f);
    list.fill(0x00000000u, clear);
    list.stroke(0xFFFFFFFFu, Outline{}, 2.0f);
    EXPECT_EQ(list.size(), 0u);
    list.fill(0xFFFFFFFFu, clear);
    EXPECT_EQ(list.size(), 1u);
}

TEST(DrawList, RefusesAPathTheRasterizerWouldCutShort) {
    // 60 tall thin rectangles in one path cross each of the 400 half-scanlines 120 times.
    Outline comb;
    for (int32_t i = 0; i < 60; ++i)
        comb.rect(5.0f * static_cast<float>(i), 0.0f, 2.0f, 200.0f);
    DrawList list;
    EXPECT_THROW(list.fill(0xFFFFFFFFu, comb), std::runtime_error);
    EXPECT_EQ(list.size(), 0u);
}

TEST(DrawList, StrokeCoversTheLineToItsHalfWidth) {
    DrawList list;
    Outline line;
    line.moveTo(50.0f, 100.0f);
    line.lineTo(250.0f, 100.0f);
    list.stroke(0xFFFFFFFFu, line, 3.0f);
    const std::vector<uint32_t> p = renderList(list);
    EXPECT_EQ(p[97 * 320 + 150], 0xFFFFFFFFu); // rows 97..102 lie inside y 97..103
    EXPECT_EQ(p[102 * 320 + 150], 0xFFFFFFFFu);
    EXPECT_EQ(p[95 * 320 + 150], 0xFF000000u);
    EXPECT_EQ(p[104 * 320 + 150], 0xFF000000u);
    EXPECT_EQ(p[100 * 320 + 45], 0xFF000000u); // square ends at the end points
    EXPECT_EQ(p[100 * 320 + 251], 0xFF000000u);
}

TEST(Affine, ThenAppliesTheFirstMapFirst) {
    const Affine m = Affine::translation(1.0f, 2.0f).then(Affine::scaling(3.0f, 4.0f));
    const Point2 p = m.apply({1.0f, 1.0f});
    EXPECT_FLOAT_EQ(p.x, 6.0f);  // (1 + 1) * 3
    EXPECT_FLOAT_EQ(p.y, 12.0f); // (1 + 2) * 4
    const Point2 q =
        Affine::rotation(1.5707964f).then(Affine::translation(10.0f, 0.0f)).apply({1.0f, 0.0f});
    EXPECT_NEAR(q.x, 10.0f, 1e-6f);
    EXPECT_NEAR(q.y, 1.0f, 1e-6f); // y points down: a quarter turn takes +x to +y
}

TEST(Random, SameSeedSameSequenceAndValuesInRange) {
    Random a(42);
    Random b(42);
    for (int32_t i = 0; i < 1000; ++i) {
        const float u = a.unit();
        EXPECT_EQ(u, b.unit());
        EXPECT_GE(u, 0.0f);
        EXPECT_LT(u, 1.0f);
        const int32_t k = a.below(7);
        EXPECT_EQ(k, b.below(7));
        EXPECT_GE(k, 0);
        EXPECT_LT(k, 7);
    }
    Random zero(0);
    EXPECT_NE(zero.next(), 0u) << "a zero seed must not stick at zero";
}

TEST(Ease, CurvesStartAtZeroEndAtOneAndClamp) {
    for (auto curve : {ease::smooth, ease::outCubic, ease::outBack}) {
        EXPECT_NEAR(curve(0.0f), 0.0f, 1e-6f);
        EXPECT_NEAR(curve(1.0f), 1.0f, 1e-6f);
        EXPECT_NEAR(curve(-3.0f), 0.0f, 1e-6f);
        EXPECT_NEAR(curve(5.0f), 1.0f, 1e-6f);
    }
    EXPECT_GT(ease::outBack(0.8f), 1.0f) << "overshoots before settling";
    EXPECT_FLOAT_EQ(ease::span(15.0f, 10.0f, 20.0f), 0.5f);
}
