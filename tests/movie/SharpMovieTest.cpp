// Movies drawn at other sizes than their own: at 320x200 the scaled drawing is today's
// frame to the bit; any target, however it is cut into bands and however many threads
// draw them, gets the pixels of one pass.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "MovieBuilder.h"
#include "MovieTestFiles.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "movie/FrameBudget.h"
#include "movie/MoviePlayer.h"
#include "raster/BandedPainter.h"
#include "raster/Rasterizer.h"

namespace {

uint32_t w(float f) {
    return std::bit_cast<uint32_t>(f);
}

// Outlines of lines, curves and arcs spread over the movie's 320x200 and a little past it,
// many wholly inside a few bands of a cut target.
std::vector<uint32_t> randomWords(std::mt19937& rng) {
    std::uniform_real_distribution<float> x(-20.0f, 340.0f);
    std::uniform_real_distribution<float> y(-20.0f, 220.0f);
    std::uniform_real_distribution<float> reach(-60.0f, 60.0f);
    const float cx = x(rng);
    const float cy = y(rng);
    const auto px = [&] { return w(cx + reach(rng)); };
    const auto py = [&] { return w(cy + reach(rng)); };
    // One path in five goes on from the pen the previous path left.
    const uint32_t first = std::uniform_int_distribution<int>(0, 4)(rng) == 0 ? 2u : 1u;
    std::vector<uint32_t> words{first, px(), py()};
    const int commands = std::uniform_int_distribution<int>(2, 12)(rng);
    for (int i = 0; i < commands; ++i) {
        switch (std::uniform_int_distribution<int>(2, 6)(rng)) {
        case 2:
            words.insert(words.end(), {2u, px(), py()});
            break;
        case 3:
            words.insert(words.end(), {3u, px(), py(), px(), py()});
            break;
        case 4:
            words.insert(words.end(), {4u, px(), py(), px(), py(), px(), py()});
            break;
        case 5: {
            const float r = std::uniform_real_distribution<float>(5.0f, 70.0f)(rng);
            words.insert(words.end(), {5u, w(r), w(r * 0.8f), px(), py(), 0u, 0u, 0u});
            break;
        }
        default:
            words.push_back(6u);
            break;
        }
    }
    words.push_back(6u);
    return words;
}

std::vector<TestFrame> randomFrames(uint32_t seed, int frames) {
    std::mt19937 rng(seed);
    std::vector<TestFrame> out(static_cast<size_t>(frames));
    for (TestFrame& frame : out) {
        frame.resize(static_cast<size_t>(std::uniform_int_distribution<int>(3, 25)(rng)));
        for (TestShape& shape : frame) {
            const uint32_t a = std::uniform_int_distribution<int>(0, 2)(rng) == 0 ? 0x80u : 0xffu;
            std::uniform_int_distribution<uint32_t> byte(0, a);
            shape.colour = a << 24 | byte(rng) << 16 | byte(rng) << 8 | byte(rng);
            shape.paths.push_back(randomWords(rng));
            if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) {
                shape.paths.push_back(randomWords(rng));
            }
        }
    }
    return out;
}

::testing::AssertionResult samePixels(const std::vector<uint32_t>& expected,
                                      const std::vector<uint32_t>& actual, int32_t width) {
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i]) {
            char text[96];
            std::snprintf(text, sizeof text, "pixel (%d, %d): expected 0x%08X, got 0x%08X",
                          static_cast<int>(i % static_cast<size_t>(width)),
                          static_cast<int>(i / static_cast<size_t>(width)), expected[i], actual[i]);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

class SharpMovie : public ::testing::Test {
protected:
    // Every frame drawn twice, by render and by renderScaled on this many threads.
    void expectScaledEqualsRender(const std::string& file, int32_t threads, int32_t frameLimit) {
        MoviePlayer plain;
        MoviePlayer scaled;
        scaled.setDrawThreads(threads);
        const int32_t frames = std::min(plain.openFile(file.c_str()), frameLimit);
        ASSERT_EQ(std::min(scaled.openFile(file.c_str()), frameLimit), frames);
        std::vector<uint32_t> a(320 * 200), b(320 * 200);
        // Both start each frame from the same pen of the show's rasterizer.
        const PathSink::Pen pen{{3.5f, 150.25f}, {300.0f, 20.5f}, false};
        for (int32_t i = 0; i < frames; ++i) {
            rasterizer.setPen(pen);
            plain.render(a.data(), 0, i, 320, 200);
            const PathSink::Pen after = rasterizer.pen();
            rasterizer.setPen(pen);
            scaled.renderScaled(b.data(), 0, 320, 200);
            const PathSink::Pen scaledAfter = rasterizer.pen();
            ASSERT_TRUE(after.start == scaledAfter.start && after.current == scaledAfter.current &&
                        after.startPending == scaledAfter.startPending)
                << "the pen moves on as one pass moves it, frame " << i;
            ASSERT_TRUE(samePixels(a, b, 320))
                << file << " frame " << i << ", " << threads << " threads";
        }
    }

    TempDirectory dir;
};

TEST_F(SharpMovie, AtTheMovieSizeScaledDrawingIsTodaysFrame) {
    const std::string file = dir.file("random.mvz.gz");
    ASSERT_TRUE(writeMovie(file, randomFrames(17u, 12), 12));
    // One thread draws one band; three draw six bands through the mapped walk.
    expectScaledEqualsRender(file, 1, 12);
    expectScaledEqualsRender(file, 3, 12);
}

// The movies the build writes must all be there (a fresh clone has them); those kept beside
// the repository are an extra check where present.
TEST_F(SharpMovie, AtTheMovieSizeBenchMoviesAreTodaysFrames) {
    const auto drawBenchMovies = [this](const std::string& folder) {
        int loaded = 0;
        for (const char* name : {"glyphs", "blobs", "dense", "arcs"}) {
            const std::string file = folder + "/" + name + ".mvz.gz";
            if (std::FILE* probe = std::fopen(file.c_str(), "rb")) {
                std::fclose(probe);
                ++loaded;
                expectScaledEqualsRender(file, 4, 25);
            }
        }
        return loaded;
    };
#ifdef TILSEN_MADE_BENCH_MOVIE_DIR
    EXPECT_EQ(drawBenchMovies(TILSEN_MADE_BENCH_MOVIE_DIR), 4)
        << "the build writes four movies into " << TILSEN_MADE_BENCH_MOVIE_DIR;
    if (HasFailure()) {
        return;
    }
    drawBenchMovies(TILSEN_BENCH_MOVIE_DIR);
#else
    if (drawBenchMovies(TILSEN_BENCH_MOVIE_DIR) == 0) {
        GTEST_SKIP() << "built without the tools, and no bench movies in "
                     << TILSEN_BENCH_MOVIE_DIR;
    }
#endif
}

TEST_F(SharpMovie, ThreadedDrawingEqualsOneThread) {
    const std::string file = dir.file("random.mvz.gz");
    ASSERT_TRUE(writeMovie(file, randomFrames(23u, 6), 6));
    MoviePlayer one;
    MoviePlayer many;
    one.setDrawThreads(1);
    many.setDrawThreads(4);
    ASSERT_EQ(one.openFile(file.c_str()), 6);
    ASSERT_EQ(many.openFile(file.c_str()), 6);
    constexpr int32_t kW = 1280;
    constexpr int32_t kH = 960;
    std::vector<uint32_t> a(kW * kH), b(kW * kH, 0x12345678u);
    for (int i = 0; i < 6; ++i) {
        const PathSink::Pen pen = rasterizer.pen();
        one.renderScaled(a.data(), 0, kW, kH);
        rasterizer.setPen(pen);
        many.renderScaled(b.data(), 0, kW, kH);
        ASSERT_TRUE(samePixels(a, b, kW)) << "frame " << i;
    }
}

// The frame drawn by the painter in bands of the given height on the given threads,
// scaled from 320x200 with fine flattening.
std::vector<uint32_t> paintBands(const std::vector<TestFrame>& frames, int32_t width,
                                 int32_t height, int32_t bandRows, int32_t threads) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                                 0x12345678u);
    std::vector<std::vector<Path>> paths;
    for (const TestShape& shape : frames[0]) {
        std::vector<Path>& list = paths.emplace_back();
        for (const auto& words : shape.paths) {
            list.emplace_back().setWords(words.data(), static_cast<int32_t>(words.size()));
        }
    }
    BandedPainter painter(threads);
    painter.paint(
        pixels.data(), width, height,
        [&](Rasterizer& band, int32_t, int32_t) {
            Transform2D scale;
            scale.setScale(static_cast<float>(width) / 320.0f, static_cast<float>(height) / 200.0f);
            band.setPen({0.0f, 0.0f, 160.0f, 100.0f, true});
            band.clear();
            band.setCurveSteps(16);
            band.setFineTransformedFills(true);
            for (size_t s = frames[0].size(); s-- > 0;) {
                SolidPaint paint(frames[0][s].colour);
                for (const Path& path : paths[s]) {
                    band.fillTransformed(path, scale, paint, FillRule::kEvenOdd);
                }
            }
            band.resolveBackground(0xff000000u);
        },
        bandRows);
    return pixels;
}

struct BandCase {
    int32_t bandRows;
    int32_t threads;
};

class BandedDrawing : public ::testing::TestWithParam<BandCase> {};

TEST_P(BandedDrawing, BandsGiveThePixelsOfOnePass) {
    const BandCase& c = GetParam();
    const std::vector<TestFrame> frames = randomFrames(5u + static_cast<uint32_t>(c.bandRows), 1);
    constexpr int32_t kW = 960;
    constexpr int32_t kH = 720;
    const std::vector<uint32_t> onePass = paintBands(frames, kW, kH, kH, 1);
    EXPECT_TRUE(samePixels(onePass, paintBands(frames, kW, kH, c.bandRows, c.threads), kW));
}

INSTANTIATE_TEST_SUITE_P(Cuts, BandedDrawing,
                         ::testing::Values(BandCase{1, 1}, BandCase{7, 1}, BandCase{100, 1},
                                           BandCase{7, 3}, BandCase{239, 2}, BandCase{0, 4}));

// 3840x2880 is taller than one pass can be: it is always drawn in bands, and any cut
// gives the same picture.
TEST(BandedDrawingBeyondOnePass, AnyCutOfA4KTargetGivesTheSamePixels) {
    const std::vector<TestFrame> frames = randomFrames(31u, 1);
    constexpr int32_t kW = 3840;
    constexpr int32_t kH = 2880;
    const std::vector<uint32_t> tall = paintBands(frames, kW, kH, Rasterizer::kMaxHeight, 1);
    EXPECT_TRUE(samePixels(tall, paintBands(frames, kW, kH, 333, 2), kW));
    EXPECT_EQ(BandedPainter::defaultBandRows(kH, 1), 1440) << "two bands of at most 2048";
}

// Where a band may leave a path out: the rows its points (control points, an arc's ends
// widened by twice its y radius) span, unknown when the path may draw from an earlier
// path's pen or a point is not finite.
struct ReachCase {
    const char* name;
    std::vector<uint32_t> words;
    bool known;
    float minY;
    float maxY;
};

class PathReachTable : public ::testing::TestWithParam<ReachCase> {};

TEST_P(PathReachTable, SpansTheRowsThePathCanDrawOn) {
    const ReachCase& c = GetParam();
    const MoviePlayer::PathReach reach =
        MoviePlayer::verticalReach(c.words.data(), static_cast<int32_t>(c.words.size()));
    ASSERT_EQ(reach.known, c.known);
    if (c.known) {
        EXPECT_EQ(reach.minY, c.minY);
        EXPECT_EQ(reach.maxY, c.maxY);
    }
    // Counting the path's lines on the way changes no reach, and counts as the budget does.
    int64_t lines = -1;
    const MoviePlayer::PathReach counted =
        MoviePlayer::verticalReach(c.words.data(), static_cast<int32_t>(c.words.size()), &lines);
    EXPECT_EQ(lines, framebudget::flattenedLineBound(c.words.data(), c.words.size()));
    ASSERT_EQ(counted.known, c.known);
    if (c.known) {
        EXPECT_EQ(counted.minY, c.minY);
        EXPECT_EQ(counted.maxY, c.maxY);
    }
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Paths, PathReachTable,
    ::testing::Values(
        ReachCase{"Lines", {1u, w(5.0f), w(30.0f), 2u, w(9.0f), w(12.5f), 6u}, true, 12.5f, 30.0f},
        ReachCase{"CurveControlPointsCount",
                  {1u, w(0.0f), w(10.0f), 4u, w(1.0f), w(-5.0f), w(2.0f), w(80.0f), w(3.0f),
                   w(20.0f), 3u, w(0.0f), w(-9.0f), w(4.0f), w(11.0f)},
                  true,
                  -9.0f,
                  80.0f},
        ReachCase{
            "ArcWidenedByTwiceItsYRadius",
            {1u, w(100.0f), w(40.0f), 5u, w(10.0f), w(-15.0f), w(100.0f), w(40.0f), 0u, 0u, 0u},
            true,
            10.0f,
            70.0f},
        ReachCase{"NopBeforeTheMove", {0u, 1u, w(0.0f), w(7.0f)}, true, 7.0f, 7.0f},
        ReachCase{"WordsAfterAnEndCodeAreNotReplayed",
                  {1u, w(0.0f), w(5.0f), 2u, w(0.0f), w(6.0f), 7u, 2u, w(0.0f), w(1000.0f)},
                  true,
                  5.0f,
                  6.0f},
        ReachCase{"CutCommandIsNotReplayed", {1u, w(0.0f), w(5.0f), 2u, w(0.0f)}, true, 5.0f, 5.0f},
        ReachCase{"GoesOnFromThePen", {2u, w(0.0f), w(5.0f)}, false, 0.0f, 0.0f},
        ReachCase{"GoesOnFromThePenThroughCurvesAndAnArc",
                  {2u,      w(0.0f), w(5.0f), 3u,      w(1.0f), w(2.0f), w(3.0f),
                   w(4.0f), 5u,      w(1.0f), w(1.0f), w(0.0f), w(0.0f), 0u,
                   0u,      0u,      1u,      w(0.0f), w(0.0f), 6u},
                  false,
                  0.0f,
                  0.0f},
        ReachCase{"NotANumber", {1u, w(0.0f), w(5.0f), 2u, w(0.0f), w(kNaN)}, false, 0.0f, 0.0f},
        ReachCase{"InfiniteArcRadius",
                  {1u, w(0.0f), w(5.0f), 5u, w(1.0f), w(kInf), w(0.0f), w(5.0f), 0u, 0u, 0u},
                  false,
                  0.0f,
                  0.0f}),
    [](const ::testing::TestParamInfo<ReachCase>& param) { return std::string(param.param.name); });

// An empty path reaches no row: every band leaves it out.
TEST(PathReach, EmptyPathReachesNoRow) {
    const MoviePlayer::PathReach reach = MoviePlayer::verticalReach(nullptr, 0);
    EXPECT_TRUE(reach.known);
    EXPECT_GT(reach.minY, reach.maxY);
}

} // namespace
