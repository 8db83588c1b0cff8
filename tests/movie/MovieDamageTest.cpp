// Damaged streams: counts that promise more than the file holds, streams cut anywhere,
// garbage. The player must stop cleanly, draw black, and never reserve storage for
// words that are not there.
#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "MovieBuilder.h"
#include "MovieTestFiles.h"
#include "movie/MovieFrame.h"
#include "movie/MoviePlayer.h"
#include "support/AllocationTracker.h"

namespace {

constexpr int kW = 16;
constexpr int kH = 8;
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kGreen = 0xff00ff00u;

class DamageTest : public ::testing::Test {
protected:
    // Renders every call a player would make on this stream; returns the status of
    // reading its frames one by one with readFrame.
    std::vector<MoviePlayer::FrameStatus> statuses(const std::vector<uint8_t>& stream) {
        writeFileBytes(dir.file("d.mvz.gz"), stream);
        MoviePlayer reader;
        std::vector<MoviePlayer::FrameStatus> result;
        if (reader.open(dir.file("d.mvz").c_str()) == 0 && reader.hasEnded()) {
            return result;
        }
        MovieFrame frame;
        do {
            result.push_back(reader.readFrame(&frame));
        } while (result.back() == MoviePlayer::FrameStatus::kFrame);
        return result;
    }

    size_t largestWhileRendering(const std::vector<uint8_t>& stream, int calls) {
        writeFileBytes(dir.file("d.mvz.gz"), stream);
        MoviePlayer player;
        player.open(dir.file("d.mvz").c_str());
        allocationtracker::start();
        for (int i = 0; i < calls; ++i) {
            player.render(pixels.data(), 0, 0, kW, kH);
        }
        return allocationtracker::stop();
    }

    static std::vector<uint8_t> words(std::initializer_list<uint32_t> list) {
        std::vector<uint8_t> bytes;
        for (uint32_t w : list) {
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
            }
        }
        return bytes;
    }

    TempDirectory dir;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kW * kH, 0x12345678u);
};

using Status = MoviePlayer::FrameStatus;

TEST_F(DamageTest, HugeWordCountReservesNothingAndEndsTheMovie) {
    // Three path words present where 0x7FFFFFFF (and then 0xFFFFFFFF) are promised.
    for (uint32_t count : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const auto stream = words({0, 9, 1, kGreen, 1, 0x5A505448u, count, 1, 0, 0});
        EXPECT_LT(largestWhileRendering(stream, 2), 1u << 20) << std::hex << count;
        EXPECT_TRUE(
            std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == kBlack; }));
        const auto s = statuses(stream);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_NE(s[0], Status::kFrame);
    }
}

TEST_F(DamageTest, HugeShapeCountReadsOnlyTheShapesPresent) {
    const auto stream = words({0, 9, 0xFFFFFFFFu, kGreen, 0, kGreen, 0});
    EXPECT_LT(largestWhileRendering(stream, 2), 1u << 16);
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == kBlack; }));
    EXPECT_EQ(statuses(stream), std::vector<Status>{Status::kCutShort});
}

TEST_F(DamageTest, HugePathCountInASkippedFrameEndsTheMovie) {
    writeFileBytes(dir.file("k.mvz.gz"), words({0, 9, 1, kGreen, 0xFFFFFFFFu, 0x5A505448u, 0}));
    MoviePlayer player;
    ASSERT_EQ(player.open(dir.file("k.mvz").c_str()), 9);
    player.render(pixels.data(), 5, 0, kW, kH);
    EXPECT_TRUE(player.hasEnded());
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == kBlack; }));
}

TEST_F(DamageTest, StreamCutAnywhereShowsOnlyWholeFrames) {
    // Two one-shape frames; cut the stream after every byte count.
    const std::string full = dir.file("full.mvz.gz");
    ASSERT_TRUE(writeMovie(full, {{{kGreen, {rectangleWords(0, 0, kW, kH)}}}, {{kGreen, {{}}}}}, 2,
                           MovieWriter::Format::kRaw));
    const std::vector<uint8_t> bytes = readFileBytes(full);
    const size_t firstFrameEnd = 8 + 4 + 8 + 8 + 13 * 4;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        const auto s = statuses(part);
        if (cut < 8) {
            EXPECT_TRUE(s.empty()) << cut;
            continue;
        }
        const size_t whole = cut >= firstFrameEnd ? 1 : 0;
        ASSERT_EQ(s.size(), whole + 1) << cut;
        const bool atBoundary = cut == 8 || cut == firstFrameEnd;
        EXPECT_EQ(s.back(), atBoundary ? Status::kEnd : Status::kCutShort) << cut;
    }
}

TEST_F(DamageTest, GzipCutShortIsReadAsFarAsItGoes) {
    const std::string full = dir.file("g.mvz.gz");
    ASSERT_TRUE(
        writeMovie(full, std::vector<TestFrame>(50, {{kGreen, {rectangleWords(0, 0, 3, 3)}}}), 50));
    std::vector<uint8_t> bytes = readFileBytes(full);
    ASSERT_GT(bytes.size(), 12u);
    bytes.resize(bytes.size() - 12);
    const auto s = statuses(bytes);
    ASSERT_FALSE(s.empty());
    EXPECT_NE(s.back(), Status::kFrame);
}

TEST_F(DamageTest, GarbageNeverCrashesAndAlwaysEnds) {
    std::mt19937 random(1234);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> stream = words({0, 100});
        const int length = static_cast<int>(random() % 400);
        for (int i = 0; i < length; ++i) {
            // Mostly small words so that counts stay plausible and records nest.
            stream.push_back(static_cast<uint8_t>(i % 4 == 0 ? random() % 3
                                                             : (random() % 8 == 0 ? random() : 0)));
        }
        EXPECT_LT(largestWhileRendering(stream, 4), 1u << 16) << round;
        EXPECT_NE(statuses(stream).back(), Status::kFrame);
    }
}

} // namespace
