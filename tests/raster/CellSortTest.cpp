// The radix sort of cell words against std::stable_sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/RasterHarness.h"

namespace {

std::vector<Cell> sortThroughRasterizer(Rasterizer& r, const std::vector<Cell>& input) {
    r.beginCells();
    EXPECT_TRUE(r.appendCells(input.data(), input.data() + input.size()));
    r.sortCells();
    return storedCells(r);
}

TEST(CellSort, MatchesStableSortOnRandomWords) {
    Rasterizer r;
    std::mt19937 random(7u);
    // Full-range words, then words that differ only in one byte, so every pass matters
    // and equal keys are common.
    std::uniform_int_distribution<uint32_t> any;
    std::uniform_int_distribution<uint32_t> fewRows(0, 3);
    for (int32_t n : {0, 1, 2, 255, 1000, Rasterizer::kCellCapacity}) {
        std::vector<Cell> input(static_cast<size_t>(n));
        for (Cell& c : input)
            c = any(random);
        std::vector<Cell> expected = input;
        std::stable_sort(expected.begin(), expected.end());
        EXPECT_EQ(sortThroughRasterizer(r, input), expected) << n << " words";

        for (Cell& c : input)
            c = cellWord(fewRows(random), fewRows(random) * 300, 0, 1);
        expected = input;
        std::stable_sort(expected.begin(), expected.end());
        EXPECT_EQ(sortThroughRasterizer(r, input), expected) << n << " clustered words";
    }
}

TEST(CellSort, SortsAgainAfterTheTablesWereUsed) {
    // The count tables are shared and never cleared again: every sort must leave them empty.
    Rasterizer a;
    Rasterizer b;
    const std::vector<Cell> input = {0xFFFFFFFFu, 0u, 0x80000000u, 0x00000100u, 7u};
    const std::vector<Cell> expected = {0u, 7u, 0x00000100u, 0x80000000u, 0xFFFFFFFFu};
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(sortThroughRasterizer(a, input), expected);
        EXPECT_EQ(sortThroughRasterizer(b, input), expected);
    }
}

// Fills of small shapes: every row holds a handful of cells (one to twelve, equal words
// included) in any order, the sizes the short rows are sorted by value for.
TEST(CellSort, RowsOfAFewCellsInEveryOrderAreSorted) {
    Rasterizer r;
    std::mt19937 random(3301u);
    std::uniform_int_distribution<uint32_t> perRow(1, 12);
    std::uniform_int_distribution<uint32_t> column(0, 9);
    std::uniform_int_distribution<uint32_t> bit(0, 1);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<Cell> input;
        for (uint32_t row = 5; row < 40; ++row) {
            const uint32_t count = perRow(random);
            for (uint32_t i = 0; i < count; ++i) {
                input.push_back(cellWord(row, column(random), column(random) * 25, bit(random)));
            }
        }
        std::shuffle(input.begin(), input.end(), random);
        std::vector<Cell> expected = input;
        std::sort(expected.begin(), expected.end());
        ASSERT_EQ(sortThroughRasterizer(r, input), expected) << "trial " << trial;
    }
}

} // namespace
