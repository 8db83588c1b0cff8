// Movie files that are not what the show expects, one row each: what open returns and
// what each of three render calls leaves in the buffer (untouched, black, or the frame's
// green square). Every row also checks that the player leaves no file open after close
// and holds no more memory than the unpacked stream plus a fixed bound. The damage tests
// next door look at the reader's statuses; these rows look at what the show gets.
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MovieBuilder.h"
#include "MovieTestFiles.h"
#include "movie/MovieFormat.h"
#include "movie/MoviePlayer.h"
#include "support/AllocationTracker.h"
#include "support/OpenFiles.h"

namespace {

constexpr int32_t kW = 16;
constexpr int32_t kH = 8;
constexpr uint32_t kMarker = 0x12345678u;
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kGreen = 0xff00ff00u;
constexpr uint32_t kTag = movieformat::kPathTag;
// Memory any row may use beyond four times its unpacked stream.
constexpr size_t kFixedBound = size_t{1} << 20;

enum class Shown { kUntouched, kAllBlack, kSquare };

struct Call {
    uint32_t skip;
    Shown shown;
};

struct MovieCase {
    const char* name;
    // Writes "m.mvz.gz" into the folder; returns the unpacked stream's size in bytes.
    std::function<size_t(const TempDirectory& dir)> make;
    int32_t frameCount;
    std::vector<Call> calls;
    // Why the row cannot exist on this system (support/TestSystem.h), or nullptr.
    const char* (*missingHere)() = [] { return static_cast<const char*>(nullptr); };
};

std::vector<uint8_t> wordBytes(const std::vector<uint32_t>& words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
        }
    }
    return bytes;
}

uint32_t f(float v) {
    return std::bit_cast<uint32_t>(v);
}

// A green square over pixels (1, 1) to (4, 4); the frame of every "drawn" row.
const TestFrame kSquareFrame = {{kGreen, {rectangleWords(1, 1, 5, 5)}}};

// The square's frame with a second shape in front whose path is 200 words that gzip
// cannot squeeze, starting with an end code so that it draws nothing.
constexpr uint32_t kNoiseWords = 200;
constexpr size_t kNoisyFrameBytes = (1 + 2 + 2 + 13 + 2 + 2 + kNoiseWords) * 4;

TestFrame noisyFrame(uint32_t seed) {
    std::vector<uint32_t> noise(kNoiseWords);
    uint32_t state = seed;
    for (uint32_t& word : noise) {
        state = state * 1664525u + 1013904223u;
        word = state | 0x80000000u;
    }
    TestFrame frame = kSquareFrame;
    frame.push_back({0xff0000ffu, {noise}});
    return frame;
}

// The words of a frame whose one path has a bad tag.
const std::vector<uint32_t> kBadTagFrame = {1, kGreen, 1, 0x5A505449u, 0};

// Whole movie as gzip bytes, with a header and the given frames.
std::vector<uint8_t> gzipMovie(const TempDirectory& dir, const std::vector<TestFrame>& frames,
                               uint32_t frameCount) {
    const std::string scratch = dir.file("scratch.gz");
    EXPECT_TRUE(writeMovie(scratch, frames, frameCount));
    return readFileBytes(scratch);
}

size_t writeRaw(const TempDirectory& dir, const std::vector<uint8_t>& bytes) {
    writeFileBytes(dir.file("m.mvz.gz"), bytes);
    return bytes.size();
}

size_t rawStream(const TempDirectory& dir, const std::vector<uint32_t>& words) {
    return writeRaw(dir, wordBytes(words));
}

std::vector<uint32_t> concat(std::vector<uint32_t> a, const std::vector<uint32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint32_t> squareFrameWords() {
    const std::vector<uint32_t> path = rectangleWords(1, 1, 5, 5);
    std::vector<uint32_t> words = {1, kGreen, 1, kTag, static_cast<uint32_t>(path.size())};
    return concat(words, path);
}

// A stream of n empty shapes under a count that promises four thousand million.
size_t shapeBomb(const TempDirectory& dir, uint32_t shapes) {
    MovieWriter writer;
    EXPECT_TRUE(writer.open(dir.file("m.mvz.gz").c_str()));
    writer.writeHeader(1);
    writer.writeFrameStart(0xFFFFFFFFu);
    const std::vector<uint32_t> zeros(1 << 16, 0);
    for (uint32_t done = 0; done < shapes; done += (1 << 15)) {
        writer.writeWords(zeros.data(), zeros.size());
    }
    EXPECT_TRUE(writer.close());
    return size_t{shapes} * 8 + 12;
}

// One frame: the square in front of one path of n half ellipses, each from (14, 7) to
// (2, 7) and closed back again (the arcs lie at the back, under the square's colour).
size_t arcBomb(const TempDirectory& dir, uint32_t arcs) {
    std::vector<uint32_t> path = {1, f(14), f(7)};
    for (uint32_t i = 0; i < arcs; ++i) {
        path.insert(path.end(), {5, f(6), f(3), f(2), f(7), 0, 0, 0});
    }
    MovieWriter writer;
    EXPECT_TRUE(writer.open(dir.file("m.mvz.gz").c_str()));
    writer.writeHeader(1);
    writer.writeFrameStart(2);
    writer.writeShapeStart(0xff0000ffu, 1);
    writer.writePath(path.data(), static_cast<uint32_t>(path.size()));
    const std::vector<uint32_t> square = rectangleWords(1, 1, 5, 5);
    writer.writeShapeStart(kGreen, 1);
    writer.writePath(square.data(), static_cast<uint32_t>(square.size()));
    EXPECT_TRUE(writer.close());
    return (path.size() + square.size() + 12) * 4;
}

const MovieCase kMovieCases[] = {
    {"Missing",
     [](const TempDirectory&) { return size_t{0}; },
     0,
     {{0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    // A pipe without a writer would block the open; a device would never end.
    {"NamedPipe",
     [](const TempDirectory& d) {
         makeNamedPipe(d.file("m.mvz.gz"));
         return size_t{0};
     },
     0,
     {{0, Shown::kAllBlack}},
     noNamedPipes},
    {"EndlessDevice",
     [](const TempDirectory& d) {
         linkToEndlessDevice(d.file("m.mvz.gz"));
         return size_t{0};
     },
     0,
     {{0, Shown::kAllBlack}, {3, Shown::kAllBlack}},
     noEndlessDevice},
    {"Empty",
     [](const TempDirectory& d) { return writeRaw(d, {}); },
     0,
     {{0, Shown::kAllBlack}, {2, Shown::kAllBlack}}},
    {"FourBytes",
     [](const TempDirectory& d) { return rawStream(d, {7}); },
     0,
     {{0, Shown::kAllBlack}}},
    // Read unchanged as a bare stream: "hell" is the ignored word, "o wo" the frame count,
    // "rld!" the shape count, " thi" a colour, "s is" the path count and " not" a bad tag.
    {"NotGzip",
     [](const TempDirectory& d) {
         const std::string text = "hello world! this is not a movie";
         return writeRaw(d, std::vector<uint8_t>(text.begin(), text.end()));
     },
     0x6F77206F,
     {{0, Shown::kUntouched}, {0, Shown::kAllBlack}}},
    // Cut halfway through the compressed bytes, inside the second frame: the first frame
    // is shown, then black.
    {"TruncatedGzip",
     [](const TempDirectory& d) {
         std::vector<uint8_t> bytes =
             gzipMovie(d, {noisyFrame(1), noisyFrame(2), noisyFrame(3)}, 3);
         bytes.resize(bytes.size() / 2);
         writeRaw(d, bytes);
         return size_t{8 + 3 * kNoisyFrameBytes};
     },
     3,
     {{0, Shown::kSquare}, {0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    // The reader checks the CRC as it unpacks a buffer-ful and gives none of a buffer that
    // fails; this movie fits one buffer, so it reads as unreadable: no frame count, black.
    {"CorruptGzipCrc",
     [](const TempDirectory& d) {
         std::vector<uint8_t> bytes = gzipMovie(d, {noisyFrame(1), noisyFrame(2)}, 2);
         bytes[bytes.size() - 8] ^= 0xFF; // first byte of the stored CRC-32
         writeRaw(d, bytes);
         return size_t{8 + 2 * kNoisyFrameBytes};
     },
     0,
     {{0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    {"BadTagInASkippedFrame",
     [](const TempDirectory& d) {
         return rawStream(d, concat(concat({0, 2}, kBadTagFrame), squareFrameWords()));
     },
     2,
     {{1, Shown::kUntouched}, {0, Shown::kAllBlack}}},
    {"BadTagInADrawnFrame",
     [](const TempDirectory& d) {
         return rawStream(d, concat(concat(concat({0, 3}, squareFrameWords()), kBadTagFrame),
                                    squareFrameWords()));
     },
     3,
     {{0, Shown::kSquare}, {0, Shown::kUntouched}, {0, Shown::kAllBlack}}},
    {"WordCountAllOnes",
     [](const TempDirectory& d) {
         return rawStream(
             d, concat({0, 2, 1, kGreen, 1, kTag, 0xFFFFFFFFu, 1, 0, 0}, squareFrameWords()));
     },
     2,
     {{0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    // Two whole shape records where four thousand million are promised.
    {"ShapeCountAllOnes",
     [](const TempDirectory& d) {
         const std::vector<uint32_t> square = squareFrameWords();
         const std::vector<uint32_t> shape(square.begin() + 1, square.end());
         return rawStream(d, concat(concat({0, 2, 0xFFFFFFFFu}, shape), shape));
     },
     2,
     {{0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    // Four million empty shapes unpack from a few tens of KiB; the frame is refused once
    // it would hold more than the player's frame limit.
    {"ShapeCountAllOnesOverAGzipBomb",
     [](const TempDirectory& d) { return shapeBomb(d, 1u << 22); },
     1,
     {{0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    // Thirty thousand half ellipses in one path would flatten into more lines than any
    // frame may ask for (about a second of drawing): the frame is damage.
    {"ArcsPastTheFrameLineLimit",
     [](const TempDirectory& d) { return arcBomb(d, 30000); },
     1,
     {{0, Shown::kAllBlack}, {0, Shown::kAllBlack}}},
    // The same arcs, as many as the limit allows, are drawn.
    {"ArcsWithinTheFrameLineLimit",
     [](const TempDirectory& d) { return arcBomb(d, 20000); },
     1,
     {{0, Shown::kSquare}, {0, Shown::kAllBlack}}},
    {"NegativeFrameCount",
     [](const TempDirectory& d) {
         return rawStream(d, concat({0, 0xFFFFFFFBu}, squareFrameWords()));
     },
     -5,
     {{0, Shown::kSquare}, {0, Shown::kAllBlack}}},
    {"SmallestFrameCount",
     [](const TempDirectory& d) {
         return rawStream(d, concat({0, 0x80000000u}, squareFrameWords()));
     },
     std::numeric_limits<int32_t>::min(),
     {{0, Shown::kSquare}}},
    {"HugeFrameCount",
     [](const TempDirectory& d) {
         return rawStream(d, concat({0, 0x7FFFFFFFu}, squareFrameWords()));
     },
     std::numeric_limits<int32_t>::max(),
     {{0, Shown::kSquare}, {5, Shown::kAllBlack}}},
    // Paths made of non-numbers, infinities and huge values draw what they can, and the
    // square behind them still shows where they do not cover it.
    {"NonFiniteCoordinates",
     [](const TempDirectory& d) {
         const float nan = std::numeric_limits<float>::quiet_NaN();
         const float inf = std::numeric_limits<float>::infinity();
         const std::vector<uint32_t> wild = {
             1,      f(nan),   f(2),   2,    f(inf), f(3),   2,    f(-inf), f(-inf), 3,
             f(nan), f(1e30f), f(9),   f(9), 4,      f(inf), f(0), f(0),    f(inf),  f(1),
             f(1),   5,        f(nan), f(1), f(4),   f(4),   0,    0,       0,       6};
         std::vector<uint32_t> words = {
             0, 1, 2, 0xff0000ffu, 1, kTag, static_cast<uint32_t>(wild.size())};
         words = concat(words, wild);
         const std::vector<uint32_t> square = squareFrameWords();
         // The square's shape record, without its frame's shape count.
         words = concat(words, std::vector<uint32_t>(square.begin() + 1, square.end()));
         // Blue wild shape first in the file (at the back), the square in front of it.
         return rawStream(d, words);
     },
     1,
     {{0, Shown::kSquare}}},
};

void PrintTo(const MovieCase& row, std::ostream* out) {
    *out << row.name;
}

class MovieFiles : public ::testing::TestWithParam<MovieCase> {};

TEST_P(MovieFiles, OpenAndRenderGiveTheRowsOutcomeWithinBoundedMemory) {
    const MovieCase& row = GetParam();
    if (const char* why = row.missingHere()) {
        GTEST_SKIP() << why;
    }
    TempDirectory dir;
    const size_t streamBytes = row.make(dir);
    std::filesystem::remove(dir.file("scratch.gz"));
    const int filesBefore = openFileCount();
    std::vector<uint32_t> pixels(kW * kH, kMarker);

    allocationtracker::start();
    {
        MoviePlayer player;
        EXPECT_EQ(player.open(dir.file("m.mvz").c_str()), row.frameCount);
        for (size_t i = 0; i < row.calls.size(); ++i) {
            SCOPED_TRACE("call " + std::to_string(i));
            std::fill(pixels.begin(), pixels.end(), kMarker);
            player.render(pixels.data(), row.calls[i].skip, 0, kW, kH);
            switch (row.calls[i].shown) {
            case Shown::kUntouched:
                EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(),
                                        [](uint32_t p) { return p == kMarker; }));
                break;
            case Shown::kAllBlack:
                EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(),
                                        [](uint32_t p) { return p == kBlack; }));
                break;
            case Shown::kSquare:
                for (int32_t y = 0; y < kH; ++y) {
                    for (int32_t x = 0; x < kW; ++x) {
                        const bool inside = x >= 1 && x < 5 && y >= 1 && y < 5;
                        const uint32_t p = pixels[y * kW + x];
                        if (inside) {
                            EXPECT_EQ(p, kGreen) << x << "," << y;
                        } else {
                            EXPECT_EQ(p >> 24, 0xFFu) << x << "," << y;
                        }
                    }
                }
                break;
            }
        }
        player.close();
    }
    allocationtracker::stop();
    EXPECT_EQ(openFileCount(), filesBefore);
    EXPECT_LE(allocationtracker::peakBytes(), 4 * streamBytes + kFixedBound);
    // Whatever the stream promises, a frame holds no more than the frame limit (64 MiB).
    EXPECT_LE(allocationtracker::peakBytes(), (size_t{64} << 20) + kFixedBound);
}

INSTANTIATE_TEST_SUITE_P(BadInput, MovieFiles, ::testing::ValuesIn(kMovieCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace

namespace {

TEST(FrameCellLimit, PathsPastTheLimitAreNotDrawn) {
    // 44,000 paths, each a full-height bar whose two edges cross all 400 half-scanlines of
    // a 320x200 frame: 35.2 million cells, past the frame's limit of 2^25. The red square
    // lies at the very back (first in the file), so it would be drawn last: it is dropped.
    TempDirectory dir;
    constexpr uint32_t kRed = 0xffff0000u;
    constexpr uint32_t kBars = 44000;
    ASSERT_GT(int64_t{kBars} * 800, MoviePlayer::kMaxFrameCells);
    MovieWriter writer;
    ASSERT_TRUE(writer.open(dir.file("bars.mvz.gz").c_str()));
    writer.writeHeader(1);
    writer.writeFrameStart(2);
    const std::vector<uint32_t> square = rectangleWords(0, 0, 10, 10);
    writer.writeShapeStart(kRed, 1);
    writer.writePath(square.data(), static_cast<uint32_t>(square.size()));
    writer.writeShapeStart(kGreen, kBars);
    const std::vector<uint32_t> bar = rectangleWords(100, -10, 101, 210);
    for (uint32_t i = 0; i < kBars; ++i) {
        writer.writePath(bar.data(), static_cast<uint32_t>(bar.size()));
    }
    ASSERT_TRUE(writer.close());

    MoviePlayer player;
    ASSERT_EQ(player.open(dir.file("bars.mvz").c_str()), 1);
    std::vector<uint32_t> pixels(320 * 200, kMarker);
    player.render(pixels.data(), 0, 0, 320, 200);
    EXPECT_EQ(pixels[50 * 320 + 100], kGreen);
    EXPECT_EQ(pixels[5 * 320 + 5], kBlack) << std::hex << pixels[5 * 320 + 5];
    player.close();
}

} // namespace
