// A frame drawn at a sharp size gives one picture whatever the threads and bands: fills
// whose cells would overflow any array draw whole, the frame's budget is the one it has at
// 320x200, the bands a frame is cut into do not grow with the core count, and a stop
// leaves the rest of the picture undrawn on every thread.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <vector>

#include "movie/ScaledFramePainter.h"
#include "raster/BandedPainter.h"
#include "raster/Rasterizer.h"

namespace {

uint32_t w(float f) {
    return std::bit_cast<uint32_t>(f);
}

// Rectangles from (x0, y0) to (x1, y1) as path words, one subpath each.
void addRect(std::vector<uint32_t>& words, float x0, float y0, float x1, float y1) {
    words.insert(words.end(),
                 {1u, w(x0), w(y0), 2u, w(x1), w(y0), 2u, w(x1), w(y1), 2u, w(x0), w(y1), 6u});
}

struct Picture {
    Picture(int32_t w, int32_t h) : width(w), pixels(size_t(w) * size_t(h), 0u) {}
    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
    int32_t width;
    std::vector<uint32_t> pixels;
};

Picture paint(const std::vector<FramePath>& paths, int32_t width, int32_t height, int32_t threads) {
    Picture picture(width, height);
    ScaledFramePainter painter(threads);
    Rasterizer pen;
    painter.paint(picture.pixels.data(), width, height, paths, pen);
    return picture;
}

// 1,000 full-height stripes in one path: at 1920x1200 one band of it makes 4.8 million
// cells, past the largest cell array, and the cells a band makes depend on how tall the
// bands are. Every cut must draw every stripe to the bottom row.
TEST(ScaledFrame, StripesBeyondAnyCellArrayGiveOnePictureOnAnyThreadCount) {
    std::vector<uint32_t> words;
    for (int i = 0; i < 1000; ++i) {
        const float left = 0.32f * float(i) + 0.01f;
        addRect(words, left, -1.0f, left + 0.16f, 201.0f);
    }
    const std::vector<FramePath> paths{{words.data(), int32_t(words.size()), 0xFF30A0F0u}};
    const Picture one = paint(paths, 1920, 1200, 1);
    for (const int32_t threads : {2, 16}) {
        EXPECT_TRUE(paint(paths, 1920, 1200, threads).pixels == one.pixels) << threads;
    }
    // The last stripe covers columns 1917.8..1918.8 at the bottom.
    EXPECT_EQ(one.at(1918, 1199) >> 24, 0xFFu);
    EXPECT_NE(one.at(1918, 1199), 0xFF000000u);
}

// A red background behind 40 transparent paths, each with millions of cells at a sharp
// size: at 320x200 they stay within the frame's budget, so the red is drawn at every size
// and on any thread count, never cut off in some bands.
TEST(ScaledFrame, TheBudgetIsTheFramesOwnAt320x200) {
    std::vector<std::vector<uint32_t>> words(41);
    std::vector<FramePath> paths;
    for (int i = 0; i < 40; ++i) {
        for (int s = 0; s < 300; ++s) {
            const float left = float(s) + 0.1f * float(i % 5);
            addRect(words[size_t(i)], left, -1.0f, left + 0.5f, 201.0f);
        }
        paths.push_back({words[size_t(i)].data(), int32_t(words[size_t(i)].size()), 0x00000000u});
    }
    addRect(words[40], -1.0f, -1.0f, 321.0f, 201.0f);
    paths.push_back({words[40].data(), int32_t(words[40].size()), 0xFFFF0000u});
    Rasterizer pen;
    ScaledFramePainter painter(1);
    EXPECT_EQ(painter.pathsWithinBudget(paths, pen), paths.size());
    for (const int32_t threads : {1, 2, 16}) {
        const Picture p = paint(paths, 3840, 2400, threads);
        EXPECT_EQ(p.at(0, 0), 0xFFFF0000u) << threads;
        EXPECT_EQ(p.at(3839, 599), 0xFFFF0000u) << threads;
        EXPECT_EQ(p.at(1234, 2399), 0xFFFF0000u) << threads;
    }
}

// Past the budget at 320x200, the same prefix of paths is drawn at every size: the path
// that passes it is the last.
TEST(ScaledFrame, AFramePastItsBudgetDrawsTheSamePathsAtEverySize) {
    // Each path: 500 full-height stripes, 400 cells an edge, 400,000 cells at 320x200.
    std::vector<uint32_t> heavy;
    for (int s = 0; s < 500; ++s) {
        const float left = 0.6f * float(s) + 0.05f;
        addRect(heavy, left, -1.0f, left + 0.3f, 201.0f);
    }
    std::vector<uint32_t> background;
    addRect(background, -1.0f, -1.0f, 321.0f, 201.0f);
    std::vector<FramePath> paths(100, FramePath{heavy.data(), int32_t(heavy.size()), 0u});
    paths.push_back({background.data(), int32_t(background.size()), 0xFF00FF00u});
    Rasterizer pen;
    ScaledFramePainter painter(2);
    // 84 paths pass 2^25 cells; the background after them is left out.
    const size_t drawn = painter.pathsWithinBudget(paths, pen);
    EXPECT_EQ(drawn, size_t{84});
    EXPECT_EQ(paint(paths, 640, 400, 2).at(5, 5), 0xFF000000u);
    // Counting such a frame costs a frame at 320x200: a stop is heard between its paths.
    int32_t asked = 0;
    Picture stopped(640, 400);
    painter.paint(stopped.pixels.data(), 640, 400, paths, pen, [&] { return ++asked >= 2; });
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(stopped.at(5, 5), 0u);
    paths.resize(drawn - 1);
    paths.push_back({background.data(), int32_t(background.size()), 0xFF00FF00u});
    EXPECT_EQ(paint(paths, 640, 400, 2).at(5, 5), 0xFF00FF00u);
}

// Short paths count a cell for each half-scanline their pieces cross, no more and no
// less at a sharp size: 1,900 zigzags of 1,000 lines, each line 10 rows tall (20 cells),
// pass the budget on path 1,678. A bound of 16 cells a line, short of the 20 each line
// makes, would let the whole frame through uncounted.
TEST(ScaledFrame, ShortPathsPastTheBudgetAreCountedCellByCell) {
    std::vector<uint32_t> zigzag{1u, w(10.0f), w(5.0f)};
    for (int i = 1; i <= 1000; ++i) {
        zigzag.insert(zigzag.end(),
                      {2u, w(10.0f + 0.25f * float(i)), w(i % 2 != 0 ? 15.0f : 5.0f)});
    }
    std::vector<FramePath> paths(1900, FramePath{zigzag.data(), int32_t(zigzag.size()), 0u});
    Rasterizer pen;
    ScaledFramePainter painter(1);
    EXPECT_EQ(painter.pathsWithinBudget(paths, pen), size_t{1678});
}

// The caller's pen ends where one pass over the frame's paths leaves it, whatever the
// bands and threads, with curves and arcs cut finely at a sharp size.
TEST(ScaledFrame, ThePenMovesOnAsOnePassOverThePaths) {
    std::vector<uint32_t> open{1u,       w(20.0f),  w(30.0f),  4u,        w(60.0f), w(-10.0f),
                               w(90.0f), w(250.0f), w(140.0f), w(120.0f), 5u,       w(30.0f),
                               w(20.0f), w(200.0f), w(150.0f), 0u,        0u,       0u};
    std::vector<uint32_t> onward{2u,       w(300.0f), w(180.0f), 3u,
                                 w(10.0f), w(190.0f), w(5.0f),   w(5.0f)};
    const std::vector<FramePath> paths{{open.data(), int32_t(open.size()), 0xFF2080C0u},
                                       {onward.data(), int32_t(onward.size()), 0x80404040u}};
    Rasterizer onePass;
    for (const FramePath& path : paths) {
        onePass.passOver(path.words, path.wordCount);
    }
    for (const int32_t threads : {1, 2}) {
        ScaledFramePainter painter(threads);
        Rasterizer pen;
        Picture picture(1600, 2400);
        painter.paint(picture.pixels.data(), 1600, 2400, paths, pen);
        EXPECT_TRUE(pen.pen().current == onePass.pen().current &&
                    pen.pen().start == onePass.pen().start &&
                    pen.pen().startPending == onePass.pen().startPending)
            << threads;
    }
}

// However many threads a painter has, a picture is cut into at most kMaxBands bands (or
// as many as its height needs), so no path is replayed more often on a larger machine.
TEST(BandedPainter, BandsDoNotGrowWithTheThreadCount) {
    for (const int32_t threads : {1, 2, 4, 16, 64}) {
        BandedPainter painter(threads);
        std::vector<uint32_t> pixels(size_t(64) * 2880, 0u);
        std::atomic<int32_t> bands{0};
        painter.paint(pixels.data(), 64, 2880, [&](Rasterizer&, int32_t, int32_t) { ++bands; });
        EXPECT_LE(bands.load(), BandedPainter::kMaxBands) << threads;
        EXPECT_GE(bands.load(), 2) << threads; // 2880 rows need two passes at least
    }
}

// A stop asked on the painting thread ends the picture on every thread: bands not yet
// started are not drawn, and the others leave their remaining paths.
TEST(ScaledFrame, AStopEndsThePictureOnEveryThread) {
    std::vector<uint32_t> words;
    addRect(words, 10.0f, 10.0f, 310.0f, 190.0f);
    std::vector<FramePath> paths(400, FramePath{words.data(), int32_t(words.size()), 0x10101010u});
    ScaledFramePainter painter(2);
    Rasterizer pen;
    Picture picture(1280, 800);
    int32_t asked = 0;
    painter.paint(picture.pixels.data(), 1280, 800, paths, pen, [&] { return ++asked >= 3; });
    EXPECT_EQ(asked, 3);
    // A band left unfinished is never resolved over black: its pixels are not opaque.
    bool unfinished = false;
    for (int32_t y = 40; y < 760; y += 10)
        unfinished = unfinished || (picture.at(640, y) >> 24) != 0xFFu;
    EXPECT_TRUE(unfinished);
}

} // namespace
