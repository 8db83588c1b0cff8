// The command reader against hand-worked word arrays at the edges of the stop rule: operands
// exactly at the end, one word short, end codes, unknown codes.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "geometry/PathCommands.h"

namespace {

uint32_t f(float value) {
    return std::bit_cast<uint32_t>(value);
}

struct Read {
    std::vector<uint32_t> codes;
    std::vector<size_t> operandOffsets; // of each command's operands, in words
    size_t stop;
    bool ended;
};

Read readAll(const std::vector<uint32_t>& words) {
    pathcode::Reader reader(words.data(), words.size());
    pathcode::Command command;
    Read read{};
    while (reader.next(command)) {
        read.codes.push_back(command.code);
        read.operandOffsets.push_back(static_cast<size_t>(command.operands - words.data()));
        EXPECT_EQ(command.operandCount, pathcode::operandCount(command.code));
    }
    // Asked again after stopping, the reader stays where it stopped.
    EXPECT_FALSE(reader.next(command));
    read.stop = reader.position();
    read.ended = reader.ended();
    EXPECT_EQ(reader.restCount(), words.size() - read.stop);
    return read;
}

} // namespace

TEST(PathCommandReader, EmptyWordsEndAtOnce) {
    const Read read = readAll({});
    EXPECT_TRUE(read.codes.empty());
    EXPECT_EQ(read.stop, 0u);
    EXPECT_TRUE(read.ended);
}

TEST(PathCommandReader, YieldsEachCommandWithItsOperands) {
    // move (3 words), nop (1), quad (5), close (1), cubic (7), arc (8), line (3).
    const std::vector<uint32_t> words = {1,    f(1), f(2), 0,    3,    f(3), f(4), f(5), f(6), 6,
                                         4,    f(1), f(2), f(3), f(4), f(5), f(6), 5,    f(1), f(1),
                                         f(2), f(2), 0,    0,    0,    2,    f(7), f(8)};
    const Read read = readAll(words);
    EXPECT_EQ(read.codes, (std::vector<uint32_t>{1, 0, 3, 6, 4, 5, 2}));
    EXPECT_EQ(read.operandOffsets, (std::vector<size_t>{1, 4, 5, 10, 11, 18, 26}));
    EXPECT_TRUE(read.ended);
    EXPECT_EQ(read.stop, words.size());
    pathcode::Reader reader(words.data(), words.size());
    pathcode::Command command;
    ASSERT_TRUE(reader.next(command));
    EXPECT_EQ(command.operand(0), 1.0f);
    EXPECT_EQ(command.operand(1), 2.0f);
}

TEST(PathCommandReader, OperandsExactlyAtTheEndAreWhole) {
    const Read read = readAll({1, f(1), f(2), 4, f(1), f(2), f(3), f(4), f(5), f(6)});
    EXPECT_EQ(read.codes, (std::vector<uint32_t>{1, 4}));
    EXPECT_TRUE(read.ended);
    EXPECT_EQ(read.stop, 10u);
}

TEST(PathCommandReader, OneOperandShortStopsAtTheCutCommand) {
    // The cubic lacks its last operand: the reader stops on its code.
    const Read cubic = readAll({1, f(1), f(2), 4, f(1), f(2), f(3), f(4), f(5)});
    EXPECT_EQ(cubic.codes, (std::vector<uint32_t>{1}));
    EXPECT_FALSE(cubic.ended);
    EXPECT_EQ(cubic.stop, 3u);
    // A move with no operand at all, and an arc one short, first thing.
    const Read move = readAll({1});
    EXPECT_TRUE(move.codes.empty());
    EXPECT_EQ(move.stop, 0u);
    EXPECT_FALSE(move.ended);
    const Read arc = readAll({5, f(1), f(1), f(2), f(2), 0, 0});
    EXPECT_TRUE(arc.codes.empty());
    EXPECT_EQ(arc.stop, 0u);
}

TEST(PathCommandReader, EndCodesStopTheReadingWhereTheyStand) {
    // kFirstEnd itself, after a close.
    const Read first = readAll({1, f(1), f(2), 6, pathcode::kFirstEnd, 2, f(3), f(4)});
    EXPECT_EQ(first.codes, (std::vector<uint32_t>{1, 6}));
    EXPECT_EQ(first.stop, 4u);
    EXPECT_FALSE(first.ended);
    // An end code as the very last word still stops before it.
    const Read last = readAll({2, f(1), f(2), 8});
    EXPECT_EQ(last.codes, (std::vector<uint32_t>{2}));
    EXPECT_EQ(last.stop, 3u);
    EXPECT_FALSE(last.ended);
}

TEST(PathCommandReader, UnknownCodesAreEndCodes) {
    // Every code from kFirstEnd on ends the reading, however large, also where operands of
    // an unknown code's would-be command follow.
    for (const uint32_t code : {7u, 8u, 255u, 0x80000000u, 0xffffffffu}) {
        const Read read = readAll({0, code, f(1), f(2)});
        EXPECT_EQ(read.codes, (std::vector<uint32_t>{0})) << code;
        EXPECT_EQ(read.stop, 1u) << code;
        EXPECT_FALSE(read.ended) << code;
        EXPECT_EQ(pathcode::operandCount(code), 0) << code;
    }
}

TEST(PathCommandReader, NamesFollowTheCodes) {
    EXPECT_EQ(pathcode::kNames[pathcode::kNop], "nop");
    EXPECT_EQ(pathcode::kNames[pathcode::kMove], "move");
    EXPECT_EQ(pathcode::kNames[pathcode::kLine], "line");
    EXPECT_EQ(pathcode::kNames[pathcode::kQuad], "quad");
    EXPECT_EQ(pathcode::kNames[pathcode::kCubic], "cubic");
    EXPECT_EQ(pathcode::kNames[pathcode::kArc], "arc");
    EXPECT_EQ(pathcode::kNames[pathcode::kClose], "close");
}
