// The tuned rasterizer against the plain one (support/PlainRasterizer): whole frames of
// seeded random outlines, and every frame of the bench movies when they are present, at
// every vector level this machine has (the scalar one included). Pixels must agree exactly.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/CellWord.h"
#include "raster/Rasterizer.h"
#include "support/PlainRasterizer.h"
#include "support/RasterHarness.h"
#include "support/SimdLevels.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 200;

struct Shape {
    uint32_t colour;
    std::vector<Path> paths;
};

uint32_t w(float f) {
    return std::bit_cast<uint32_t>(f);
}

// Mostly on-target coordinates, sometimes far off it or at a pixel boundary.
float coordinate(std::mt19937& rng, float extent) {
    const int kind = std::uniform_int_distribution<int>(0, 19)(rng);
    if (kind == 0)
        return std::uniform_real_distribution<float>(-3000.0f, 3000.0f)(rng);
    if (kind == 1)
        return static_cast<float>(std::uniform_int_distribution<int>(-4, 330)(rng)) * 0.5f;
    return std::uniform_real_distribution<float>(-15.0f, extent + 15.0f)(rng);
}

Path randomPath(std::mt19937& rng, float cx, float cy, float size) {
    std::vector<uint32_t> words;
    const auto pt = [&](float c, float extent) {
        return std::uniform_int_distribution<int>(0, 9)(rng) == 0
                   ? coordinate(rng, extent)
                   : c + std::uniform_real_distribution<float>(-size, size)(rng);
    };
    const int commands = std::uniform_int_distribution<int>(2, 24)(rng);
    for (int i = 0; i < commands; ++i) {
        const int code = i == 0 ? 1 : std::uniform_int_distribution<int>(1, 7)(rng);
        switch (code) {
        case 1:
        case 2:
            words.insert(words.end(), {uint32_t(code), w(pt(cx, kWidth)), w(pt(cy, kHeight))});
            break;
        case 3:
            words.insert(words.end(), {3u, w(pt(cx, kWidth)), w(pt(cy, kHeight)), w(pt(cx, kWidth)),
                                       w(pt(cy, kHeight))});
            break;
        case 4:
            words.insert(words.end(), {4u, w(pt(cx, kWidth)), w(pt(cy, kHeight)), w(pt(cx, kWidth)),
                                       w(pt(cy, kHeight)), w(pt(cx, kWidth)), w(pt(cy, kHeight))});
            break;
        case 5: {
            const float r = std::uniform_real_distribution<float>(1.0f, size + 2.0f)(rng);
            words.insert(words.end(), {5u, w(r), w(r * 0.7f), w(pt(cx, kWidth)), w(pt(cy, kHeight)),
                                       0u, 0u, 0u});
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

uint32_t randomColour(std::mt19937& rng) {
    const int kind = std::uniform_int_distribution<int>(0, 9)(rng);
    const uint32_t a = kind < 4    ? 255u
                       : kind == 4 ? 0u
                                   : std::uniform_int_distribution<uint32_t>(1, 254)(rng);
    const auto byte = [&] {
        // One colour in twenty is damaged: a colour byte above its alpha.
        return kind == 9 ? std::uniform_int_distribution<uint32_t>(0, 255)(rng)
                         : std::uniform_int_distribution<uint32_t>(0, a)(rng);
    };
    return (a << 24) | (byte() << 16) | (byte() << 8) | byte();
}

// Draws the shapes front to back (last first) with both rasterizers and compares.
void expectSamePixels(const std::vector<Shape>& shapes, FillRule fillRule, uint32_t background,
                      const Transform2D& transform, const std::string& what, int width = kWidth,
                      int height = kHeight) {
    std::vector<uint32_t> tuned(static_cast<size_t>(width * height), 0x12345678u),
        plain(static_cast<size_t>(width * height), 0x12345678u);
    rasterizer.setTarget(tuned.data(), width, height, width);
    // Every other picture is begun without clearing: its blocks hold the stale 0x12345678
    // until first drawn on, which no pixel of the result may show.
    static int pictures = 0;
    if (++pictures % 2 == 0) {
        rasterizer.beginPicture();
    } else {
        rasterizer.clear();
    }
    rasterizer.setCurveSteps(16);
    PlainRasterizer reference;
    reference.setTarget(plain.data(), width, height, width);
    reference.clear();
    reference.setCurveSteps(16);
    for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape) {
        SolidPaint paint(shape->colour);
        for (const Path& path : shape->paths) {
            rasterizer.fillTransformed(path, transform, paint, fillRule);
            reference.fill(path, &transform, shape->colour, fillRule);
        }
    }
    rasterizer.resolveBackground(background);
    reference.resolveBackground(background);
    for (int i = 0; i < width * height; ++i) {
        if (tuned[i] != plain[i]) {
            char message[128];
            std::snprintf(message, sizeof message, "pixel (%d, %d): tuned %08X, plain %08X",
                          i % width, i / width, tuned[i], plain[i]);
            ADD_FAILURE() << what << ": " << message;
            return;
        }
    }
}

class TunedRaster : public AtEveryLevel {};

TEST_P(TunedRaster, MatchesPlainOnRandomFrames) {
    std::mt19937 rng(20240611u);
    Transform2D identity;
    for (int frame = 0; frame < 60; ++frame) {
        std::vector<Shape> shapes(
            static_cast<size_t>(std::uniform_int_distribution<int>(1, 40)(rng)));
        const float size = frame % 3 == 0 ? 120.0f : frame % 3 == 1 ? 25.0f : 4.0f;
        for (Shape& shape : shapes) {
            shape.colour = randomColour(rng);
            const int paths = std::uniform_int_distribution<int>(0, 3)(rng);
            for (int p = 0; p < paths; ++p) {
                shape.paths.push_back(
                    randomPath(rng, coordinate(rng, kWidth), coordinate(rng, kHeight), size));
            }
        }
        const uint32_t background = frame % 2 == 0 ? 0xFF000000u : randomColour(rng);
        expectSamePixels(shapes, frame % 4 == 3 ? FillRule::kNonZero : FillRule::kEvenOdd,
                         background, identity, "frame " + std::to_string(frame));
    }
}

// On a large target, small solid fills and fills spread over most of it, many of them over
// long opaque runs, against the plain rasterizer under both rules.
TEST_P(TunedRaster, MatchesPlainOnALargeTargetBothWaysOfSweeping) {
    constexpr int kLargeWidth = 1100;
    constexpr int kLargeHeight = 640;
    std::mt19937 rng(5150u);
    for (int frame = 0; frame < 4; ++frame) {
        std::vector<Shape> shapes(12);
        for (Shape& shape : shapes) {
            shape.colour = randomColour(rng);
            // A small outline and one spread over most of the target.
            for (const float size : {30.0f, 900.0f}) {
                shape.paths.push_back(randomPath(rng, coordinate(rng, kLargeWidth),
                                                 coordinate(rng, kLargeHeight), size));
            }
        }
        expectSamePixels(shapes, frame % 2 == 0 ? FillRule::kEvenOdd : FillRule::kNonZero,
                         0xFF000000u, Transform2D{}, "large frame " + std::to_string(frame),
                         kLargeWidth, kLargeHeight);
    }
}

// Wide fills of every height from one row to a few dozen, each starting at a different
// row, some with a second outline far below the first (rows with no crossing between), so
// that a fill's rows are cut every way into the groups its sums are made in.
TEST_P(TunedRaster, MatchesPlainOnWideFillsOfEveryHeight) {
    constexpr int kLargeWidth = 1100;
    constexpr int kLargeHeight = 640;
    std::vector<Shape> shapes;
    for (int rows = 1; rows <= 70; ++rows) {
        const float top =
            static_cast<float>((rows * 37) % 500) + 0.25f * static_cast<float>(rows % 4);
        const float left = static_cast<float>(rows % 9) * 3.5f;
        const float right = static_cast<float>(kLargeWidth) - left - 0.5f;
        std::vector<uint32_t> words = {1u, w(left),         w(top),
                                       2u, w(right),        w(top + 2.0f),
                                       2u, w(right - 9.0f), w(top + static_cast<float>(rows)),
                                       2u, w(left + 1.0f),  w(top + static_cast<float>(rows)),
                                       6u};
        if (rows % 3 == 0) {
            const float below = top + 120.0f;
            words.insert(words.end(), {1u, w(left + 40.0f), w(below), 2u, w(left + 700.0f),
                                       w(below + 0.5f), 2u, w(left + 60.0f), w(below + 3.5f), 6u});
        }
        Shape& shape = shapes.emplace_back();
        shape.colour = rows % 5 == 0 ? 0xFF204080u : 0x50000000u | static_cast<uint32_t>(rows * 3);
        shape.paths.emplace_back().setWords(words.data(), static_cast<int32_t>(words.size()));
    }
    for (const FillRule rule : {FillRule::kEvenOdd, FillRule::kNonZero}) {
        expectSamePixels(shapes, rule, 0xFF000000u, Transform2D{}, "wide fills", kLargeWidth,
                         kLargeHeight);
    }
}

TEST_P(TunedRaster, MatchesPlainUnderATransformAndBeyondTheFirstCellArray) {
    std::mt19937 rng(77u);
    const Transform2D skewed =
        Transform2D::fromMatrix({0.8f, 0.3f, 12.5f, -0.2f, 1.1f, -7.25f, 0.0f, 0.0f, 1.0f});
    std::vector<Shape> shapes(1);
    shapes[0].colour = 0xC0806040u;
    // Many overlapping subpaths in one path: far more cells than the arrays start with.
    std::vector<uint32_t> words;
    for (int i = 0; i < 60; ++i) {
        const float x = static_cast<float>(i) * 5.0f;
        words.insert(words.end(), {1u, w(x), w(-5.0f), 2u, w(x + 17.0f), w(210.0f), 2u, w(x + 3.5f),
                                   w(199.5f), 6u});
    }
    shapes[0].paths.emplace_back().setWords(words.data(), static_cast<int32_t>(words.size()));
    shapes.push_back(Shape{0x80402000u, {}});
    shapes.back().paths.push_back(randomPath(rng, 160.0f, 100.0f, 150.0f));
    expectSamePixels(shapes, FillRule::kEvenOdd, 0xFF000000u, skewed, "transformed");
    expectSamePixels(shapes, FillRule::kNonZero, 0xFF203040u, Transform2D{}, "many cells");
}

// Cells handed in as they are, summed (sweepDirect) and sorted (sortCells, sweep), make the
// same pixels: rows whose winding never comes back to zero (a row ends at its last crossing
// pixel, whatever it carries), crossings in the target's last columns, translucent and
// opaque colours over what earlier cells drew, and pixels crossed so often that their
// shares sum past 2^25: one in a row that goes on past it, one that ends its row.
TEST_P(TunedRaster, SummedCellsMatchSortedCellsWhereRowsDoNotClose) {
    std::mt19937 rng(4242u);
    for (const int width : {320, 1100}) {
        constexpr int kRows = 120;
        for (const FillRule rule : {FillRule::kEvenOdd, FillRule::kNonZero}) {
            std::vector<uint32_t> summed(static_cast<size_t>(width * kRows));
            std::vector<uint32_t> sorted(summed.size());
            Rasterizer a;
            Rasterizer b;
            a.setTarget(summed.data(), width, kRows, width);
            b.setTarget(sorted.data(), width, kRows, width);
            a.clear();
            b.clear();
            for (int fill = 0; fill < 6; ++fill) {
                std::vector<Cell> cells;
                const int count = std::uniform_int_distribution<int>(1, 4000)(rng);
                for (int i = 0; i < count; ++i) {
                    // The last row is left to the crossings below.
                    const auto row = std::uniform_int_distribution<uint32_t>(0, kRows - 2)(rng);
                    // One crossing in four in the last nine columns.
                    const auto column = i % 4 == 0
                                            ? static_cast<uint32_t>(width - 1) -
                                                  std::uniform_int_distribution<uint32_t>(0, 8)(rng)
                                            : std::uniform_int_distribution<uint32_t>(
                                                  0, static_cast<uint32_t>(width - 1))(rng);
                    cells.push_back(cellword::pack(
                        row, column, std::uniform_int_distribution<uint32_t>(0, 255)(rng),
                        std::uniform_int_distribution<int>(0, 1)(rng) == 1));
                }
                if (fill == 3) {
                    // 140,000 crossings down through pixels (21, 7) and (21, kRows - 1),
                    // their shares summing to 35.7 million, and 100,000 up.
                    for (const uint32_t row : {7u, uint32_t{kRows - 1}}) {
                        for (int i = 0; i < 140000; ++i) {
                            cells.push_back(cellword::pack(row, 21, 0, true));
                            if (i % 7 < 5) {
                                cells.push_back(cellword::pack(row, 21, 1 + i % 3, false));
                            }
                        }
                    }
                }
                SolidPaint paint(fill % 2 == 0 ? 0xFF3060A0u : 0x80402010u);
                a.beginCells();
                b.beginCells();
                ASSERT_TRUE(a.appendCells(cells.data(), cells.data() + cells.size()));
                ASSERT_TRUE(b.appendCells(cells.data(), cells.data() + cells.size()));
                a.setSweepPaint(&paint, rule);
                b.setSweepPaint(&paint, rule);
                ASSERT_TRUE(a.sweepDirect());
                b.sortCells();
                b.sweep();
            }
            for (size_t i = 0; i < summed.size(); ++i) {
                ASSERT_EQ(summed[i], sorted[i])
                    << "width " << width << ", pixel (" << i % static_cast<size_t>(width) << ", "
                    << i / static_cast<size_t>(width) << ")";
            }
        }
    }
}

TEST_P(TunedRaster, ResolveOverBlackMatchesPlainForEveryAlphaAndDamagedColours) {
    // Rows of 29 = 16 + 8 + 4 + 1 pixels: a whole sixteen-pixel step and a masked one (with
    // AVX-512), the eight-pixel step (with AVX2), the four-pixel step and the one-pixel tail
    // are all used.
    constexpr int kRowWidth = 29;
    constexpr int kRows = 256 * 4 / kRowWidth + 1;
    std::vector<uint32_t> tuned(kRowWidth * kRows), plain;
    std::mt19937 rng(5u);
    for (size_t i = 0; i < tuned.size(); ++i) {
        const uint32_t a = static_cast<uint32_t>(i / 4) & 0xFFu;
        // Alternately valid premultiplied bytes and bytes above the alpha.
        const uint32_t top = i % 2 == 0 ? a : 255u;
        std::uniform_int_distribution<uint32_t> byte(0, top);
        tuned[i] = (a << 24) | (byte(rng) << 16) | (byte(rng) << 8) | byte(rng);
    }
    plain = tuned;
    rasterizer.setTarget(tuned.data(), kRowWidth, kRows, kRowWidth);
    rasterizer.resolveBackground(0x00000000u);
    PlainRasterizer reference;
    reference.setTarget(plain.data(), kRowWidth, kRows, kRowWidth);
    reference.resolveBackground(0x00000000u);
    for (size_t i = 0; i < tuned.size(); ++i) {
        ASSERT_EQ(tuned[i], plain[i]) << std::hex << "pixel " << std::dec << i;
    }
}

TEST_P(TunedRaster, SortOfVeryManyCellsSkipsSharedBytesAndStillSorts) {
    // Vertical edges at one x share the two low bytes of every cell; with this many cells
    // the byte-wise passes run and skip those two.
    std::vector<uint32_t> pixels(kWidth * kHeight);
    rasterizer.setTarget(pixels.data(), kWidth, kHeight, kWidth);
    rasterizer.beginCells();
    for (int edge = 0; edge < 60; ++edge) {
        const float top = static_cast<float>(edge % 7);
        if (edge % 2 == 0) {
            rasterizer.emitLine(10.5f, top, 10.5f, 200.0f);
        } else {
            rasterizer.emitLine(10.5f, 200.0f, 10.5f, top);
        }
    }
    std::vector<Cell> expected = storedCells(rasterizer);
    ASSERT_GT(expected.size(), 20000u);
    std::sort(expected.begin(), expected.end());
    rasterizer.sortCells();
    EXPECT_EQ(storedCells(rasterizer), expected);
}

// Bench movies: gzip of little-endian words; frames of shapes of tagged paths.
std::vector<std::vector<Shape>> loadMovie(const std::string& file) {
    std::vector<std::vector<Shape>> frames;
    gzFile in = gzopen(file.c_str(), "rb");
    if (in == nullptr)
        return frames;
    std::vector<uint32_t> words;
    uint32_t chunk[4096];
    int got;
    while ((got = gzread(in, chunk, sizeof chunk)) > 0)
        words.insert(words.end(), chunk, chunk + got / 4);
    gzclose(in);
    size_t at = 2;
    while (at < words.size()) {
        std::vector<Shape> frame(words[at++]);
        for (Shape& shape : frame) {
            if (words.size() - at < 2)
                return frames;
            shape.colour = words[at++];
            shape.paths.resize(words[at++]);
            for (Path& path : shape.paths) {
                if (words.size() - at < 2 || words.size() - at - 2 < words[at + 1])
                    return frames;
                path.setWords(words.data() + at + 2, static_cast<int32_t>(words[at + 1]));
                at += 2 + words[at + 1];
            }
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Draws every frame of the four movies in dir both ways; the count of movies found.
int compareBenchMovies(const std::string& dir, const std::string& label) {
    int loaded = 0;
    for (const char* name : {"glyphs", "blobs", "dense", "arcs"}) {
        const auto frames = loadMovie(dir + "/" + name + ".mvz.gz");
        loaded += frames.empty() ? 0 : 1;
        for (size_t i = 0; i < frames.size(); ++i) {
            expectSamePixels(frames[i], FillRule::kEvenOdd, 0xFF000000u, movieTransform,
                             label + " " + name + " frame " + std::to_string(i));
            if (::testing::Test::HasFailure())
                return loaded;
        }
    }
    return loaded;
}

// The movies the build writes must all be there; those kept beside the repository are an
// extra check where present.
TEST_P(TunedRaster, MatchesPlainOnEveryBenchMovieFrame) {
#ifdef TILSEN_MADE_BENCH_MOVIE_DIR
    EXPECT_EQ(compareBenchMovies(TILSEN_MADE_BENCH_MOVIE_DIR, "made"), 4)
        << "the build writes four movies into " << TILSEN_MADE_BENCH_MOVIE_DIR;
#else
    std::cout << "built without the tools: no benchmark movies of our own\n";
#endif
    if (HasFailure())
        return;
    if (compareBenchMovies(TILSEN_BENCH_MOVIE_DIR, "shared") == 0)
        std::cout << "no extra benchmark movies in " << TILSEN_BENCH_MOVIE_DIR << "\n";
}

INSTANTIATE_TEST_SUITE_P(Levels, TunedRaster, everyLevel(), levelName);

} // namespace
