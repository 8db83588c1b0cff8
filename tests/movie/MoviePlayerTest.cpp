#include "movie/MoviePlayer.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <zlib.h>

#include "MovieBuilder.h"
#include "MovieTestFiles.h"
#include "geometry/Transform2D.h"
#include "movie/MovieFrame.h"
#include "raster/Rasterizer.h"
#include "support/AllocationTracker.h"

namespace {

constexpr int kW = 8;
constexpr int kH = 8;
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kRed = 0xffff0000u;
constexpr uint32_t kBlue = 0xff0000ffu;
constexpr uint32_t kUntouched = 0x12345678u;

// A frame that fills the whole 8x8 target with one colour.
TestFrame fullFrame(uint32_t colour) {
    return {{colour, {rectangleWords(0.0f, 0.0f, kW, kH)}}};
}

struct Pixels {
    Pixels() : data(kW * kH, kUntouched) {}
    uint32_t at(int x, int y) const { return data[y * kW + x]; }
    bool all(uint32_t value) const {
        for (uint32_t p : data) {
            if (p != value) {
                return false;
            }
        }
        return true;
    }
    std::vector<uint32_t> data;
};

::testing::AssertionResult hexEq(uint32_t expected, uint32_t actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    char text[64];
    std::snprintf(text, sizeof text, "expected 0x%08X, got 0x%08X", expected, actual);
    return ::testing::AssertionFailure() << text;
}

class PlayerTest : public ::testing::Test {
protected:
    // Writes "<dir>/movie.mvz.gz" and opens it through the player's own naming.
    int32_t openMovie(const std::vector<TestFrame>& frames, uint32_t frameCount = 250,
                      MovieWriter::Format format = MovieWriter::Format::kGzip) {
        EXPECT_TRUE(writeMovie(dir.file("movie.mvz.gz"), frames, frameCount, format));
        return player.open(dir.file("movie.mvz").c_str());
    }
    void render(uint32_t skip = 0) { player.render(pixels.data.data(), skip, 0, kW, kH); }

    TempDirectory dir;
    MoviePlayer player;
    Pixels pixels;
};

TEST_F(PlayerTest, FrameCountIsTheSecondWordWhateverTheFirst) {
    for (uint32_t word0 : {7u, 0u, 0xffffffffu}) {
        MovieWriter writer;
        ASSERT_TRUE(writer.open(dir.file("m.mvz.gz").c_str()));
        writer.writeHeader(250, word0);
        ASSERT_TRUE(writer.close());
        EXPECT_EQ(player.open(dir.file("m.mvz").c_str()), 250);
        EXPECT_EQ(player.headerWord(), word0);
    }
    // Read as a signed value.
    ASSERT_TRUE(writeMovie(dir.file("n.mvz.gz"), {}, 0xfffffffeu));
    EXPECT_EQ(player.open(dir.file("n.mvz").c_str()), -2);
}

TEST_F(PlayerTest, OnlyTheNameWithGzAppendedIsOpened) {
    ASSERT_TRUE(writeMovie(dir.file("a.mvz"), {fullFrame(kRed)}, 5));
    ASSERT_TRUE(writeMovie(dir.file("a.mvz.gz"), {fullFrame(kBlue)}, 9));
    EXPECT_EQ(player.open(dir.file("a.mvz").c_str()), 9);
    render();
    EXPECT_TRUE(hexEq(kBlue, pixels.at(3, 3)));

    // Without the ".gz" file there is nothing to play: 0 frames, black frames.
    ASSERT_TRUE(writeMovie(dir.file("b.mvz"), {fullFrame(kRed)}, 5));
    EXPECT_EQ(player.open(dir.file("b.mvz").c_str()), 0);
    render();
    EXPECT_TRUE(pixels.all(kBlack));
}

TEST_F(PlayerTest, NameWhoseGzFormDoesNotFit128BytesIsAMissingFile) {
    // "<name>.gz" plus its terminating zero must fit 128 bytes: 124 characters do, 125 do not.
    const std::string prefix = dir.path.string() + "/";
    ASSERT_LT(prefix.size(), 100u);
    const std::string fits = prefix + std::string(124 - prefix.size(), 'f');
    const std::string tooLong = prefix + std::string(125 - prefix.size(), 'g');
    ASSERT_TRUE(writeMovie(fits + ".gz", {fullFrame(kRed)}, 3));
    ASSERT_TRUE(writeMovie(tooLong + ".gz", {fullFrame(kRed)}, 4));
    EXPECT_EQ(player.open(fits.c_str()), 3);
    EXPECT_EQ(player.open(tooLong.c_str()), 0);
    EXPECT_EQ(player.open(nullptr), 0);
}

TEST_F(PlayerTest, SkipThreeShowsTheFourthFrameAndTheNextCallTheFifth) {
    std::vector<TestFrame> frames;
    for (uint32_t i = 1; i <= 6; ++i) {
        frames.push_back(fullFrame(0xff000000u | i));
    }
    openMovie(frames);
    render(3);
    EXPECT_TRUE(hexEq(0xff000004u, pixels.at(0, 0)));
    render(0);
    EXPECT_TRUE(hexEq(0xff000005u, pixels.at(7, 7)));
}

TEST_F(PlayerTest, FrameWithoutShapesIsAllOpaqueBlack) {
    openMovie({{}});
    render();
    EXPECT_TRUE(pixels.all(kBlack));
}

TEST_F(PlayerTest, LaterShapeInTheFileLiesOnTop) {
    // Red covers columns 0..5, blue columns 3..8; both the full height.
    openMovie({{{kRed, {rectangleWords(0, 0, 5, kH)}}, {kBlue, {rectangleWords(3, 0, kW, kH)}}}});
    render();
    EXPECT_TRUE(hexEq(kRed, pixels.at(1, 4)));
    EXPECT_TRUE(hexEq(kBlue, pixels.at(4, 4)));
    EXPECT_TRUE(hexEq(kBlue, pixels.at(6, 4)));
}

TEST_F(PlayerTest, TranslucentColourIsCompositedOverBlack) {
    openMovie({fullFrame(0x80800000u)});
    render();
    EXPECT_TRUE(hexEq(0xff800000u, pixels.at(2, 2)));
}

TEST_F(PlayerTest, EmptyShapesAndPathsDrawNothingAndDisturbNoNeighbour) {
    openMovie({{{kRed, {rectangleWords(0, 0, 4, kH)}},
                {kBlue, {}},
                {kBlue, {{}}},
                {kBlue, {rectangleWords(4, 0, kW, kH)}}}});
    render();
    EXPECT_TRUE(hexEq(kRed, pixels.at(1, 1)));
    EXPECT_TRUE(hexEq(kBlue, pixels.at(6, 1)));
}

TEST_F(PlayerTest, PastTheLastFrameEveryFrameIsBlack) {
    openMovie({fullFrame(kRed)}, 250);
    render();
    EXPECT_TRUE(hexEq(kRed, pixels.at(0, 0)));
    for (int call = 0; call < 3; ++call) {
        pixels.data.assign(kW * kH, kUntouched);
        render(call);
        EXPECT_TRUE(pixels.all(kBlack)) << "call " << call;
    }
    EXPECT_TRUE(player.hasEnded());
}

TEST_F(PlayerTest, UncompressedStreamIsAccepted) {
    EXPECT_EQ(openMovie({fullFrame(kRed), fullFrame(kBlue)}, 2, MovieWriter::Format::kRaw), 2);
    render(1);
    EXPECT_TRUE(hexEq(kBlue, pixels.at(5, 5)));
}

TEST_F(PlayerTest, ColourBytesInFileOrderAreBlueGreenRedAlpha) {
    const std::vector<uint8_t> stream = {
        0,    0,    0,    0,    1, 0, 0, 0, // header, one frame
        1,    0,    0,    0,                // one shape
        0x11, 0x22, 0x33, 0xFF, 0, 0, 0, 0, // colour, no paths
    };
    writeFileBytes(dir.file("c.mvz.gz"), stream);
    ASSERT_EQ(player.open(dir.file("c.mvz").c_str()), 1);
    MovieFrame frame;
    ASSERT_EQ(player.readFrame(&frame), MoviePlayer::FrameStatus::kFrame);
    ASSERT_EQ(frame.shapes.size(), 1u);
    ASSERT_TRUE(frame.shapes[0].paint);
    EXPECT_TRUE(hexEq(0xFF332211u, frame.shapes[0].paint->colour));
}

TEST_F(PlayerTest, BadTagInTheSecondShapeLeavesTheBufferAndEndsTheMovie) {
    MovieWriter writer;
    ASSERT_TRUE(writer.open(dir.file("t.mvz.gz").c_str()));
    writer.writeHeader(3);
    writeFrames(writer, {fullFrame(kRed)});
    writer.writeFrameStart(2);
    writer.writeShapeStart(kBlue, 1);
    const auto square = rectangleWords(0, 0, kW, kH);
    writer.writePath(square.data(), static_cast<uint32_t>(square.size()));
    writer.writeShapeStart(kBlue, 1);
    writer.writeWord(0x5A505449u); // tag off by one
    writer.writeWord(0);
    writeFrames(writer, {fullFrame(kBlue)});
    ASSERT_TRUE(writer.close());

    ASSERT_EQ(player.open(dir.file("t.mvz").c_str()), 3);
    render();
    EXPECT_TRUE(pixels.all(kRed));
    pixels.data.assign(kW * kH, kUntouched);
    render();
    EXPECT_TRUE(pixels.all(kUntouched));
    // No resynchronisation: the good frame after the damage is never shown.
    render();
    EXPECT_TRUE(pixels.all(kBlack));
}

TEST_F(PlayerTest, BadTagInASkippedFrameAlsoLeavesTheBuffer) {
    MovieWriter writer;
    ASSERT_TRUE(writer.open(dir.file("s.mvz.gz").c_str()));
    writer.writeHeader(2);
    writer.writeFrameStart(1);
    writer.writeShapeStart(kRed, 1);
    writer.writeWord(0);
    ASSERT_TRUE(writer.close());
    ASSERT_EQ(player.open(dir.file("s.mvz").c_str()), 2);
    render(1);
    EXPECT_TRUE(pixels.all(kUntouched));
}

TEST_F(PlayerTest, WrittenFrameReadsBackAsTheSameModel) {
    MovieFrame frame;
    frame.shapes.emplace_back();
    frame.shapes[0].paint = std::make_unique<SolidPaint>(0x80402010u);
    const auto words = rectangleWords(1.5f, 2.5f, 3.5f, 4.5f);
    frame.shapes[0].paths.emplace_back().setWords(words.data(), static_cast<int32_t>(words.size()));
    frame.shapes[0].paths.emplace_back();
    frame.shapes.emplace_back(); // no paint: written as colour 0

    MovieWriter writer;
    ASSERT_TRUE(writer.open(dir.file("r.mvz.gz").c_str()));
    writer.writeHeader(1);
    writer.writeFrame(frame);
    ASSERT_TRUE(writer.close());

    ASSERT_EQ(player.open(dir.file("r.mvz").c_str()), 1);
    MovieFrame back;
    ASSERT_EQ(player.readFrame(&back), MoviePlayer::FrameStatus::kFrame);
    ASSERT_EQ(back.shapes.size(), 2u);
    EXPECT_EQ(back.shapes[0].paint->colour, 0x80402010u);
    ASSERT_EQ(back.shapes[0].paths.size(), 2u);
    const Path& path = back.shapes[0].paths[0];
    EXPECT_EQ(std::vector<uint32_t>(path.words.get(), path.words.get() + path.wordCount), words);
    EXPECT_EQ(back.shapes[0].paths[1].wordCount, 0);
    EXPECT_EQ(back.shapes[1].paint->colour, 0u);
    EXPECT_TRUE(back.shapes[1].paths.empty());
    EXPECT_EQ(player.readFrame(&back), MoviePlayer::FrameStatus::kEnd);
}

} // namespace

namespace {

// Frames whose paths straddle the player's 64 KiB read buffer: each of them must be drawn
// as the decoded model of the same frame is.
TEST_F(PlayerTest, FramesLargerThanTheReadBufferDrawLikeTheirModel) {
    std::vector<TestFrame> frames;
    for (int f = 0; f < 3; ++f) {
        TestFrame frame;
        for (int s = 0; s < 40; ++s) {
            TestShape shape{0x80000000u | static_cast<uint32_t>(s * 6151 + f), {}};
            for (int p = 0; p < 3; ++p) {
                // About 7000 words per shape: whole paths and split ones alike.
                std::vector<uint32_t> words;
                for (int r = 0; r < 180; ++r) {
                    const float x = static_cast<float>((s + r + p) % 7);
                    const auto more = rectangleWords(x, static_cast<float>(r % 6), x + 1.5f, 7.5f);
                    words.insert(words.end(), more.begin(), more.end());
                }
                shape.paths.push_back(words);
            }
            frame.push_back(shape);
        }
        frames.push_back(frame);
    }
    ASSERT_EQ(openMovie(frames, 3), 3);
    MoviePlayer reader;
    ASSERT_EQ(reader.open(dir.file("movie.mvz").c_str()), 3);
    for (int f = 0; f < 3; ++f) {
        render();
        MovieFrame model;
        ASSERT_EQ(reader.readFrame(&model), MoviePlayer::FrameStatus::kFrame);
        std::vector<uint32_t> expected(kW * kH);
        rasterizer.setTarget(expected.data(), kW, kH, kW);
        rasterizer.clear();
        rasterizer.setCurveSteps(16);
        for (auto shape = model.shapes.rbegin(); shape != model.shapes.rend(); ++shape) {
            for (const Path& path : shape->paths) {
                rasterizer.fillTransformed(path, movieTransform, *shape->paint, FillRule::kEvenOdd);
            }
        }
        rasterizer.resolveBackground(kBlack);
        ASSERT_EQ(pixels.data, expected) << "frame " << f;
    }
}

} // namespace

namespace {

std::vector<uint32_t> drawModel(const MovieFrame& model) {
    std::vector<uint32_t> out(kW * kH);
    rasterizer.setTarget(out.data(), kW, kH, kW);
    rasterizer.clear();
    rasterizer.setCurveSteps(16);
    for (auto shape = model.shapes.rbegin(); shape != model.shapes.rend(); ++shape) {
        for (const Path& path : shape->paths) {
            rasterizer.fillTransformed(path, movieTransform, *shape->paint, FillRule::kEvenOdd);
        }
    }
    rasterizer.resolveBackground(kBlack);
    return out;
}

// A frame of one shape whose paths hold about wordCount words of small rectangles.
TestFrame rectanglesFrame(uint32_t colour, int wordCount, int seed) {
    TestShape shape{colour, {}};
    std::vector<uint32_t> words;
    for (int r = 0, total = 0; total < wordCount; ++r) {
        const float x = static_cast<float>((seed + r) % 7);
        const auto more =
            rectangleWords(x, static_cast<float>((seed + 3 * r) % 6), x + 1.25f, 7.5f);
        words.insert(words.end(), more.begin(), more.end());
        total += static_cast<int>(more.size());
        if (words.size() > 5000) {
            shape.paths.push_back(words);
            words.clear();
        }
    }
    shape.paths.push_back(words);
    return {shape};
}

// Frames far larger than the read buffer between small ones, drawn and skipped in turn: the
// buffer grows for the large ones and shrinks after them, and every drawn frame still
// matches the model read by a second player.
TEST_F(PlayerTest, SmallFramesAfterHugeOnesDrawLikeTheirModel) {
    const int sizes[] = {40, 600000, 40, 3000, 400000, 40, 40, 900000, 40};
    std::vector<TestFrame> frames;
    for (int f = 0; f < 9; ++f) {
        frames.push_back(
            rectanglesFrame(0x90000000u | static_cast<uint32_t>(f * 7919), sizes[f], f));
    }
    ASSERT_EQ(openMovie(frames, 9), 9);
    MoviePlayer reader;
    ASSERT_EQ(reader.open(dir.file("movie.mvz").c_str()), 9);
    const uint32_t skips[] = {0, 1, 0, 0, 1, 0};
    int next = 0;
    for (const uint32_t skip : skips) {
        render(skip);
        MovieFrame model;
        for (uint32_t s = 0; s <= skip; ++s) {
            ASSERT_EQ(reader.readFrame(&model), MoviePlayer::FrameStatus::kFrame);
        }
        next += static_cast<int>(skip);
        ASSERT_EQ(pixels.data, drawModel(model)) << "frame " << next;
        ++next;
    }
    render();
    EXPECT_EQ(reader.readFrame(nullptr), MoviePlayer::FrameStatus::kFrame);
    EXPECT_FALSE(player.hasEnded());
    render();
    EXPECT_TRUE(player.hasEnded());
    EXPECT_EQ(player.endStatus(), MoviePlayer::FrameStatus::kEnd);
    EXPECT_TRUE(pixels.all(kBlack));
}

// A path that promises 2^31 - 1 words and really goes on past the largest buffer the
// player keeps (zeros compress to almost nothing): the frame is given up once the buffer
// is full, like a cut stream, instead of growing with the stream.
TEST_F(PlayerTest, FrameBeyondTheLargestBufferEndsTheMovieWithoutGrowingFurther) {
    const std::string file = dir.file("long.mvz.gz");
    gzFile out = gzopen(file.c_str(), "wb1");
    ASSERT_NE(out, nullptr);
    const uint32_t head[] = {0, 4, 1, kRed, 1, 0x5A505448u, 0x7FFFFFFFu};
    ASSERT_EQ(gzwrite(out, head, sizeof head), static_cast<int>(sizeof head));
    const std::vector<uint8_t> zeros(1u << 20, 0u);
    const size_t total = MoviePlayer::kMaxBufferBytes + MoviePlayer::kMaxBufferBytes / 4;
    for (size_t written = 0; written < total; written += zeros.size()) {
        ASSERT_EQ(gzwrite(out, zeros.data(), static_cast<unsigned>(zeros.size())),
                  static_cast<int>(zeros.size()));
    }
    ASSERT_EQ(gzclose(out), Z_OK);

    ASSERT_EQ(player.open(dir.file("long.mvz").c_str()), 4);
    allocationtracker::start();
    render();
    const size_t largest = allocationtracker::stop();
    EXPECT_LE(largest, MoviePlayer::kMaxBufferBytes);
    EXPECT_TRUE(pixels.all(kBlack));
    EXPECT_TRUE(player.hasEnded());
    EXPECT_EQ(player.endStatus(), MoviePlayer::FrameStatus::kCutShort);
}

} // namespace

namespace {

// Ten one-column paths, drawn front to back: the last one in the file first.
std::vector<TestFrame> tenColumnFrame() {
    TestShape shape{kRed, {}};
    for (int i = 0; i < 10; ++i) {
        shape.paths.push_back(rectangleWords(0, 0, 1, kH));
    }
    return {{shape}};
}

TEST_F(PlayerTest, StopCheckIsAskedBeforeEveryPath) {
    openMovie(tenColumnFrame());
    int asked = 0;
    player.setStopCheck([&] {
        ++asked;
        return false;
    });
    render();
    EXPECT_EQ(asked, 10);
    EXPECT_TRUE(hexEq(kRed, pixels.at(0, 0)));
    EXPECT_TRUE(hexEq(kBlack, pixels.at(5, 0)));
}

TEST_F(PlayerTest, StopCheckAnsweringTrueLeavesTheRestOfTheFrameUndrawn) {
    openMovie(tenColumnFrame());
    int asked = 0;
    player.setStopCheck([&] { return ++asked == 3; });
    render();
    EXPECT_EQ(asked, 3) << "drawing went on after the check said stop";
    // Not finished: the background was never put under the cleared pixels no path reached.
    EXPECT_TRUE(hexEq(0u, pixels.at(5, 0)));
}

} // namespace
