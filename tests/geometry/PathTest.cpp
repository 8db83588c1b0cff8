// Path word storage: growth, copies, insert positions and the replay into a sink.
#include "geometry/Path.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "support/RecordingSink.h"

namespace {

uint32_t f(float value) {
    return std::bit_cast<uint32_t>(value);
}

Path pathOf(const std::vector<uint32_t>& words) {
    Path path;
    path.setWords(words.data(), static_cast<int32_t>(words.size()));
    return path;
}

std::vector<uint32_t> wordsOf(const Path& path) {
    return std::vector<uint32_t>(path.words.get(), path.words.get() + path.wordCount);
}

const std::vector<uint32_t> kSquare = {1,     f(20), f(30), 2,     f(30), f(30), 2,
                                       f(30), f(40), 2,     f(20), f(40), 6};

using Names = std::vector<std::string>;

TEST(PathStorage, SetWordsAllocatesExactlyAndCopyRoundsUpTo256) {
    const Path path = pathOf(kSquare);
    EXPECT_EQ(path.wordCount, 13);
    EXPECT_EQ(path.capacity, 13);
    const Path copy = path;
    EXPECT_EQ(copy.capacity, 256);
    EXPECT_EQ(wordsOf(copy), kSquare);
    Path assigned = pathOf({1, f(1), f(2), 2, f(3), f(4)});
    assigned = path;
    EXPECT_EQ(assigned.capacity, 256);
    EXPECT_EQ(wordsOf(assigned), kSquare);
}

TEST(PathStorage, EmptyPathsHaveNoStorage) {
    const Path empty = pathOf({});
    EXPECT_EQ(empty.words, nullptr);
    EXPECT_EQ(empty.capacity, 0);
    const Path copy = empty;
    EXPECT_EQ(copy.words, nullptr);
    EXPECT_EQ(copy.capacity, 0);
    Path square = pathOf(kSquare);
    square.appendPath(empty);
    EXPECT_EQ(wordsOf(square), kSquare);
    EXPECT_EQ(square.capacity, 13);
    square.clearWords();
    EXPECT_EQ(square.words, nullptr);
    EXPECT_EQ(square.wordCount, 0);
}

TEST(PathStorage, GrowsInStepsOf256AndKeepsItsWords) {
    Path path;
    path.appendMoveTo(0.0f, 0.0f);
    EXPECT_EQ(path.capacity, 256);
    EXPECT_EQ(path.wordCount, 3);
    for (int i = 1; i <= 84; ++i)
        path.appendLineTo(static_cast<float>(i), 0.0f);
    EXPECT_EQ(path.wordCount, 255);
    EXPECT_EQ(path.capacity, 256);
    path.appendLineTo(85.0f, 1.0f);
    EXPECT_EQ(path.capacity, 512);
    EXPECT_EQ(path.wordCount, 258);
    EXPECT_EQ(path.words[0], 1u);
    EXPECT_EQ(path.words[252], 2u);
    EXPECT_EQ(path.words[253], f(84.0f));
    EXPECT_EQ(path.words[256], f(85.0f));
    EXPECT_EQ(path.words[257], f(1.0f));

    Path big;
    big.reserveWords(600);
    EXPECT_EQ(big.capacity, 768);
    EXPECT_EQ(big.wordCount, 0);
}

TEST(PathStorage, AppendingAPathToItselfDoublesIt) {
    Path path = pathOf(kSquare);
    path.appendPath(path);
    std::vector<uint32_t> twice = kSquare;
    twice.insert(twice.end(), kSquare.begin(), kSquare.end());
    EXPECT_EQ(wordsOf(path), twice);
    Path& same = path;
    path = same;
    EXPECT_EQ(wordsOf(path), twice);
}

TEST(PathInsert, GoesBeforeTheNumberedCommand) {
    Path path = pathOf({1, f(1), f(2), 2, f(3), f(4)});
    path.insertLineTo(1, 5.0f, 6.0f);
    EXPECT_EQ(wordsOf(path), (std::vector<uint32_t>{1, f(1), f(2), 2, f(5), f(6), 2, f(3), f(4)}));
    path.insertMoveTo(0, 7.0f, 8.0f);
    EXPECT_EQ(path.words[0], 1u);
    EXPECT_EQ(path.words[1], f(7));
    EXPECT_EQ(path.words[3], 1u);
    path.insertClose(-4);
    EXPECT_EQ(path.words[0], 6u);
    EXPECT_EQ(path.wordCount, 13);
}

TEST(PathInsert, BeyondTheLastCommandAppends) {
    Path path = pathOf({1, f(1), f(2), 2, f(3), f(4)});
    path.insertClose(5);
    EXPECT_EQ(wordsOf(path), (std::vector<uint32_t>{1, f(1), f(2), 2, f(3), f(4), 6}));
    Path empty;
    empty.insertLineTo(3, 1.0f, 2.0f);
    empty.insertMoveTo(0, 3.0f, 4.0f);
    empty.insertClose(7);
    EXPECT_EQ(wordsOf(empty), (std::vector<uint32_t>{1, f(3), f(4), 2, f(1), f(2), 6}));
    EXPECT_EQ(empty.capacity, 256);
}

TEST(PathInsert, WalkCountsEachCodesOperands) {
    // nop (1 word), arc (8 words), close (1 word), quad (5), cubic (7), then a line.
    std::vector<uint32_t> words = {0,    5,    f(1), f(1), f(2), f(0), 0,   0,    0,
                                   6,    3,    f(1), f(1), f(2), f(2), 4,   f(1), f(1),
                                   f(2), f(2), f(3), f(3), 2,    f(4), f(4)};
    const int32_t starts[] = {0, 1, 9, 10, 15, 22, 25};
    for (int32_t index = 0; index < 7; ++index) {
        Path path = pathOf(words);
        EXPECT_EQ(path.commandPosition(index), starts[index]) << "command " << index;
        path.insertClose(index);
        EXPECT_EQ(path.words[starts[index]], 6u) << "command " << index;
        EXPECT_EQ(path.wordCount, 26);
    }
}

TEST(PathInsert, TruncatedTrailingCommandStopsAtTheEnd) {
    // A cubic with only two of its six operands.
    Path path = pathOf({1, f(1), f(2), 4, f(3), f(4)});
    EXPECT_EQ(path.commandPosition(2), 6);
    EXPECT_EQ(path.commandPosition(50), 6);
    path.insertClose(2);
    EXPECT_EQ(path.wordCount, 7);
    EXPECT_EQ(path.words[6], 6u);
}

TEST(PathEmit, ForwardsCommandsBetweenBeginAndEnd) {
    RecordingSink sink;
    pathOf({}).emit(&sink);
    EXPECT_EQ(sink.names(), (Names{"beginPath", "endPath"}));

    sink.calls.clear();
    pathOf({0, 0, 1, f(3), f(4)}).emit(&sink);
    ASSERT_EQ(sink.calls.size(), 3u);
    EXPECT_EQ(sink.calls[1], (RecordedCall{"moveTo", {3, 4}}));

    sink.calls.clear();
    sink.lines.clear();
    pathOf({1, f(1), f(2), 2, f(5), f(6), 6}).emit(&sink);
    EXPECT_EQ(sink.names(), (Names{"beginPath", "moveTo", "lineTo", "closePath", "endPath"}));
    EXPECT_EQ(sink.lines, (std::vector<RecordedLine>{{1, 2, 5, 6}, {5, 6, 1, 2}}));
}

TEST(PathEmit, CurvesAndArcsKeepTheirOperandOrder) {
    RecordingSink sink;
    sink.setCurveSteps(1);
    pathOf({1,    f(0),  f(0), 3,     f(1),  f(2),  f(3),  f(4),  4,     f(5),  f(6), f(7), f(8),
            f(9), f(10), 5,    f(11), f(12), f(13), f(14), f(15), f(16), f(17), 2,    f(0), f(0)})
        .emit(&sink);
    EXPECT_EQ(sink.calls, (std::vector<RecordedCall>{
                              {"beginPath", {}},
                              {"moveTo", {0, 0}},
                              {"quadTo", {1, 2, 3, 4}},
                              {"cubicTo", {5, 6, 7, 8, 9, 10}},
                              {"arcTo", {11, 12, 13, 14, 15, 16, 17}},
                              {"closePath", {}},
                              {"lineTo", {0, 0}},
                              {"endPath", {}},
                          }));
}

TEST(PathEmit, EndCodeOrTruncatedCommandStopsWithoutEndPath) {
    RecordingSink sink;
    pathOf({1, f(1), f(1), 9, 2, f(2), f(2)}).emit(&sink);
    EXPECT_EQ(sink.names(), (Names{"beginPath", "moveTo"}));

    sink.calls.clear();
    pathOf({1, f(1), f(1), 0xFFFFFFFFu}).emit(&sink);
    EXPECT_EQ(sink.names(), (Names{"beginPath", "moveTo"}));

    sink.calls.clear();
    pathOf({1, f(1), f(1), 2, f(2), f(2), 5, f(1), f(1), f(0), f(0), 0}).emit(&sink);
    EXPECT_EQ(sink.names(), (Names{"beginPath", "moveTo", "lineTo"}));

    pathOf(kSquare).emit(nullptr);
}

} // namespace
