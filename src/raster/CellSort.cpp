// sortCells: the cell words in ascending unsigned order. Sorted unsigned words are one
// and the same array whatever sort made them, so the method follows the size:
// - a few cells: insertion sort in place;
// - typical fills: a counting pass by pixel row (the top bits) into sortScratch, then
//   each row's cells are sorted back into cells: compare-and-swap networks up to eight
//   cells, insertion sort beyond (std::sort for crowded rows);
// - very many cells: a stable least-significant-byte-first radix sort, four passes of
//   8 bits, skipping any pass whose byte is the same in every cell.
// The count tables are the rasterizer's own; each use hands them back all zero.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "raster/Rasterizer.h"

namespace {

constexpr int32_t kBuckets = 256;
constexpr int32_t kPasses = 4;
constexpr uint32_t kByteMask = 0xFFu;
// At most this many cells are insertion-sorted directly.
constexpr std::size_t kInsertionLimit = 24;
// Rows holding more cells than this are sorted with std::sort.
constexpr uint32_t kCrowdedRow = 48;
// From this many cells on, the radix passes are cheaper than the row buckets.
constexpr std::size_t kRadixFrom = 16384;

void insertionSort(Cell* first, Cell* last) {
    for (Cell* it = first + (first != last ? 1 : 0); it < last; ++it) {
        const Cell value = *it;
        Cell* hole = it;
        while (hole != first && hole[-1] > value) {
            *hole = hole[-1];
            --hole;
        }
        *hole = value;
    }
}

// a, b become min(a, b), max(a, b).
inline void order(Cell& a, Cell& b) {
    const Cell low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

// Sorts [first, last) of one row into out, which has room for as many. Rows of up to four
// cells (the usual row of a small shape) go through fixed compare-and-swap networks,
// which decide by value rather than by branch.
void sortRowInto(const Cell* first, const Cell* last, Cell* out) {
    const auto n = static_cast<uint32_t>(last - first);
    switch (n) {
    case 1:
        out[0] = first[0];
        return;
    case 2: {
        Cell c0 = first[0], c1 = first[1];
        order(c0, c1);
        out[0] = c0;
        out[1] = c1;
        return;
    }
    case 3: {
        Cell c0 = first[0], c1 = first[1], c2 = first[2];
        order(c0, c1);
        order(c1, c2);
        order(c0, c1);
        out[0] = c0;
        out[1] = c1;
        out[2] = c2;
        return;
    }
    case 4: {
        Cell c0 = first[0], c1 = first[1], c2 = first[2], c3 = first[3];
        order(c0, c1);
        order(c2, c3);
        order(c0, c2);
        order(c1, c3);
        order(c1, c2);
        out[0] = c0;
        out[1] = c1;
        out[2] = c2;
        out[3] = c3;
        return;
    }
    default:
        break;
    }
    if (n <= 8) {
        // Padded with the largest word, which the network leaves at the end.
        Cell c[8];
        for (uint32_t i = 0; i < 8; ++i) {
            c[i] = i < n ? first[i] : ~Cell{0};
        }
        order(c[0], c[2]);
        order(c[1], c[3]);
        order(c[4], c[6]);
        order(c[5], c[7]);
        order(c[0], c[4]);
        order(c[1], c[5]);
        order(c[2], c[6]);
        order(c[3], c[7]);
        order(c[0], c[1]);
        order(c[2], c[3]);
        order(c[4], c[5]);
        order(c[6], c[7]);
        order(c[2], c[4]);
        order(c[3], c[5]);
        order(c[1], c[4]);
        order(c[3], c[6]);
        order(c[1], c[2]);
        order(c[3], c[4]);
        order(c[5], c[6]);
        std::copy(c, c + n, out);
        return;
    }
    if (n > kCrowdedRow) {
        std::copy(first, last, out);
        std::sort(out, out + n);
        return;
    }
    Cell* outEnd = out;
    for (const Cell* it = first; it != last; ++it) {
        const Cell value = *it;
        Cell* hole = outEnd++;
        while (hole != out && hole[-1] > value) {
            *hole = hole[-1];
            --hole;
        }
        *hole = value;
    }
}

} // namespace

void Rasterizer::sortCells() {
    const std::size_t n = static_cast<std::size_t>(cellCount());
    Cell* const source = cells.get();
    if (n <= kInsertionLimit) {
        insertionSort(source, source + n);
        return;
    }
    if (n >= kRadixFrom) {
        radixSortCells();
        return;
    }
    // evenRows and oddRows are all zero here: every sort hands them back so.
    uint32_t* const evenRows = counts.evenRows;
    uint32_t* const oddRows = counts.oddRows;
    uint32_t minRow = cellword::row(source[0]);
    uint32_t maxRow = minRow;
    for (std::size_t i = 0; i < n; ++i) {
        const uint32_t row = cellword::row(source[i]);
        ++((i & 1u) != 0 ? oddRows : evenRows)[row];
        minRow = std::min(minRow, row);
        maxRow = std::max(maxRow, row);
    }
    // Each row's even cells go first, then its odd ones; the row's own sort orders them.
    uint32_t start = 0;
    for (uint32_t r = minRow; r <= maxRow; ++r) {
        const uint32_t even = evenRows[r];
        evenRows[r] = start;
        start += even;
        const uint32_t odd = oddRows[r];
        oddRows[r] = start;
        start += odd;
    }
    Cell* const scratch = sortScratch.get();
    std::size_t i = 0;
    for (; i + 1 < n; i += 2) {
        const Cell even = source[i];
        const Cell odd = source[i + 1];
        scratch[evenRows[cellword::row(even)]++] = even;
        scratch[oddRows[cellword::row(odd)]++] = odd;
    }
    if (i < n) {
        scratch[evenRows[cellword::row(source[i])]++] = source[i];
    }
    // oddRows[r] is now the end of row r.
    start = 0;
    for (uint32_t r = minRow; r <= maxRow; ++r) {
        const uint32_t end = oddRows[r];
        sortRowInto(scratch + start, scratch + end, source + start);
        start = end;
    }
    std::fill(evenRows + minRow, evenRows + maxRow + 1, 0u);
    std::fill(oddRows + minRow, oddRows + maxRow + 1, 0u);
}

void Rasterizer::radixSortCells() {
    static_assert(sizeof counts.byteCounts / sizeof counts.byteCounts[0] == kBuckets);
    // All zero here: every radix sort hands them back so.
    uint32_t* const byteCounts = counts.byteCounts;
    uint32_t* const positions = counts.bytePositions;
    const std::size_t n = static_cast<std::size_t>(cellCount());
    Cell* source = cells.get();
    Cell* destination = sortScratch.get();

    for (std::size_t i = 0; i < n; ++i) {
        ++byteCounts[source[i] & kByteMask];
    }
    for (int32_t pass = 0; pass < kPasses; ++pass) {
        const uint32_t shift = static_cast<uint32_t>(pass) * 8u;
        const uint32_t nextShift = shift + 8u;
        const bool last = pass + 1 == kPasses;
        // A byte shared by every cell leaves the order as it is: skip the scatter.
        if (byteCounts[(source[0] >> shift) & kByteMask] == n) {
            byteCounts[(source[0] >> shift) & kByteMask] = 0;
            if (!last) {
                for (std::size_t i = 0; i < n; ++i) {
                    ++byteCounts[(source[i] >> nextShift) & kByteMask];
                }
            }
            continue;
        }
        uint32_t start = 0;
        for (int32_t bucket = 0; bucket < kBuckets; ++bucket) {
            positions[bucket] = start;
            start += byteCounts[bucket];
            byteCounts[bucket] = 0;
        }
        if (!last) {
            // The next pass's counts come from the words as they are scattered.
            for (std::size_t i = 0; i < n; ++i) {
                const Cell c = source[i];
                destination[positions[(c >> shift) & kByteMask]++] = c;
                ++byteCounts[(c >> nextShift) & kByteMask];
            }
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const Cell c = source[i];
                destination[positions[(c >> shift) & kByteMask]++] = c;
            }
        }
        std::swap(source, destination);
    }
    if (source != cells.get()) {
        std::copy(source, source + n, cells.get());
    }
}
