// The radix sort of cell words against std::stable_sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/RasterHarness.h"

namespace {

std::vector<Cell> sortThroughRasterizer(Rasterizer& r, const std::vector<Cell>& input) {
    r.cellEnd = r.cells.get();
    for (Cell c : input) {
        if (r.cellCount() == r.cellCapacity) {
            ADD_FAILURE() << "test input larger than the cell array";
            break;
        }
        *r.cellEnd++ = c;
    }
    r.sortCells();
    return {r.cells.get(), r.cellEnd};
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

} // namespace
