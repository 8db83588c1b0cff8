// Dashing by a pattern of lengths, across lines and subpaths, and its guards.
#include "geometry/Dasher.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/PathWords.h"

namespace {

using Commands = std::vector<PathCommand>;

void usePattern(Dasher& d, std::initializer_list<float> lengths) {
    d.setPattern(lengths.begin(), static_cast<int32_t>(lengths.size()));
}

TEST(DashWalk, FourTwoOverTenEndsAtTheLineEnd) {
    Dasher d;
    const float pattern[] = {4.0f, 2.0f};
    d.setPattern(pattern, 2);
    d.moveTo(0.0f, 0.0f);
    d.lineTo(10.0f, 0.0f);
    EXPECT_EQ(commandsOf(d.dashes), (Commands{M(0, 0), L(4, 0), M(6, 0), L(10, 0)}));
    EXPECT_EQ(d.dashIndex, 1);
    EXPECT_EQ(d.carried, 0.0f);
    d.endPath();
    EXPECT_EQ(d.dashes.wordCount, 0);
    EXPECT_EQ(commandsOf(d.outline), (Commands{M(0, 0), L(4, 0), M(6, 0), L(10, 0)}));
}

TEST(DashWalk, EntryRunsOnAcrossLines) {
    Dasher d;
    const float pattern[] = {3.0f, 1.0f};
    d.setPattern(pattern, 2);
    d.moveTo(0.0f, 0.0f);
    d.lineTo(2.0f, 0.0f);
    EXPECT_EQ(d.carried, 2.0f);
    d.lineTo(5.0f, 0.0f);
    const Commands out = commandsOf(d.dashes);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[1], L(2, 0));
    EXPECT_NEAR(out[2].x, 3.0f, 1e-6f);
    EXPECT_EQ(out[2].code, pathcode::kLine);
    EXPECT_NEAR(out[3].x, 4.0f, 1e-6f);
    EXPECT_EQ(out[3].code, pathcode::kMove);
    EXPECT_EQ(out[4], L(5, 0));
    EXPECT_EQ(d.dashIndex, 0);
    EXPECT_NEAR(d.carried, 1.0f, 1e-6f);
}

TEST(DashWalk, CloseDashesTheClosingLineAndRestarts) {
    Dasher d;
    usePattern(d, {3.0f, 1.0f});
    d.moveTo(0.0f, 0.0f);
    d.lineTo(2.0f, 0.0f);
    d.closePath();
    // The closing line (2, 0) -> (0, 0) finishes the dash after 1 and gaps the last 1.
    EXPECT_EQ(commandsOf(d.outline), (Commands{M(0, 0), L(2, 0), L(1, 0), M(0, 0)}));
    EXPECT_EQ(d.dashIndex, 0);
    EXPECT_EQ(d.carried, 0.0f);
    EXPECT_EQ(d.dashes.wordCount, 0);
}

TEST(DashGuards, WithoutAPositiveFirstEntryLinesPassUndashed) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float first : {-1.0f, 0.0f, -3.0f, nan}) {
        Dasher d;
        const float pattern[] = {first, 2.0f};
        d.setPattern(pattern, 2);
        d.moveTo(0.0f, 0.0f);
        d.lineTo(10.0f, 0.0f);
        d.lineTo(10.0f, 5.0f);
        EXPECT_EQ(commandsOf(d.dashes), (Commands{M(0, 0), L(10, 0), L(10, 5)})) << first;
        EXPECT_EQ(d.dashIndex, 0);
    }
    // The default pattern has no entry in use at all.
    dasher.moveTo(1.0f, 1.0f);
    dasher.lineTo(2.0f, 2.0f);
    dasher.endPath();
    EXPECT_EQ(commandsOf(dasher.outline), (Commands{M(1, 1), L(2, 2)}));
    dasher.outline.clearWords();
}

TEST(DashGuards, NonFiniteLinesAddNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Dasher d;
    usePattern(d, {4.0f, 2.0f});
    d.moveTo(0.0f, 0.0f);
    d.lineTo(inf, 0.0f);
    d.lineTo(nan, 1.0f);
    d.moveTo(0.0f, 0.0f);
    d.lineTo(-inf, -inf);
    EXPECT_EQ(commandsOf(d.dashes), (Commands{M(0, 0), M(0, 0)}));
}

TEST(DashGuards, PiecesPerLineAreBounded) {
    // Entries far below the coordinates' resolution make no progress along the line;
    // a backward entry undoes more than the forward one gains.
    for (auto lengths : {std::initializer_list<float>{1e-10f, 1e-10f},
                         std::initializer_list<float>{1.0f, -2.0f}}) {
        Dasher d;
        usePattern(d, lengths);
        d.moveTo(1e6f, 0.0f);
        d.lineTo(2e6f, 0.0f);
        EXPECT_LE(d.dashes.wordCount, 3 * (Dasher::kMaxPiecesPerLine + 2));
        EXPECT_EQ(commandsOf(d.dashes).back().x, 2e6f);
    }
}

TEST(DashPattern, LengthAtOutsideTheEntriesIsZero) {
    Dasher d;
    usePattern(d, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    EXPECT_EQ(d.pattern.lengthAt(0), 1.0f);
    EXPECT_EQ(d.pattern.lengthAt(15), 16.0f);
    EXPECT_EQ(d.pattern.lengthAt(16), 0.0f);
    EXPECT_EQ(d.pattern.lengthAt(-1), 0.0f);
    d.clearPattern();
    EXPECT_EQ(d.pattern.lengthAt(0), -1.0f);
}

} // namespace
