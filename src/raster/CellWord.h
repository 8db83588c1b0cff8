// The packed crossing cell: one word per crossing of a half-scanline by an edge.
// Row sits in the top bits so that sorting raw words orders cells by row, then column,
// then position; every stage and test packs and unpacks it through these functions.
#pragma once

#include <cstdint>

// Bits 31..21 row (a pair of half-scanlines), 20..9 column, 8..1 position inside the
// pixel (1/256), 0 direction (set when the edge runs down). Column and position together
// are the crossing's x in 1/256 pixel.
using Cell = uint32_t;

namespace cellword {

inline constexpr uint32_t kRowShift = 21;
// Shifting by this leaves row and column: the key of one pixel's cells.
inline constexpr uint32_t kColumnShift = 9;
inline constexpr uint32_t kColumnMask = 0xFFFu;
inline constexpr uint32_t kPositionShift = 1;
inline constexpr uint32_t kPositionMask = 0xFFu;
inline constexpr uint32_t kDownBit = 1u;

// x is in 1/256 pixel (column * 256 + position), 0 <= x < 2^20; row < 2^11.
constexpr Cell pack(uint32_t row, uint32_t x, bool down) {
    return (row << kRowShift) | (x << kPositionShift) | (down ? kDownBit : 0u);
}
constexpr Cell pack(uint32_t row, uint32_t column, uint32_t position, bool down) {
    return pack(row, (column << 8) | position, down);
}
constexpr uint32_t row(Cell c) {
    return c >> kRowShift;
}
constexpr uint32_t column(Cell c) {
    return (c >> kColumnShift) & kColumnMask;
}
constexpr uint32_t position(Cell c) {
    return (c >> kPositionShift) & kPositionMask;
}
constexpr bool down(Cell c) {
    return (c & kDownBit) != 0;
}
// Row and column: equal for the cells of one pixel.
constexpr uint32_t pixelKey(Cell c) {
    return c >> kColumnShift;
}

// The rows and columns some cells touch.
struct Extent {
    uint32_t minRow;
    uint32_t maxRow;
    uint32_t minColumn;
    uint32_t maxColumn;
};

// The rows and columns either extent touches.
constexpr Extent merged(const Extent& a, const Extent& b) {
    return {a.minRow < b.minRow ? a.minRow : b.minRow, a.maxRow > b.maxRow ? a.maxRow : b.maxRow,
            a.minColumn < b.minColumn ? a.minColumn : b.minColumn,
            a.maxColumn > b.maxColumn ? a.maxColumn : b.maxColumn};
}

// The rows and columns of the cells [first, last), first != last; in lanes where the
// processor has them (raster/Sweep.cpp).
Extent extent(const Cell* first, const Cell* last);

} // namespace cellword
