// What the rasterizer knows of each target row in blocks of 64 pixels: which are wholly
// opaque (final: nothing composited under them can change them), and which have not been
// written since beginPicture (empty, though their memory still holds whatever was there).
// Internal to the rasterizer.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

struct RowBlocks {
    uint64_t opaque;
    uint64_t fresh;
};

namespace rowblocks {

inline constexpr int32_t kBlock = 64;
// Targets narrower than this go without the record: a row of a few blocks gains less from
// skipping them than it costs to keep them.
inline constexpr int32_t kBlockedWidth = 16 * kBlock;

// The block of a column. Columns are never negative: an unsigned division, with no rounding
// toward zero to mend.
inline int32_t blockOf(int32_t column) {
    return static_cast<int32_t>(static_cast<uint32_t>(column) / static_cast<uint32_t>(kBlock));
}

// Bits [from, to) of a word, 0 <= from <= to <= 64.
inline uint64_t range(int32_t from, int32_t to) {
    if (from >= to) {
        return 0u;
    }
    const uint64_t below = to == 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1u;
    return below & ~((uint64_t{1} << from) - 1u);
}

// Bits first..last of a word, both included, 0 <= first <= last <= 63 (2 << 63 wraps to 0).
inline uint64_t through(int32_t first, int32_t last) {
    return (uint64_t{2} << last) - (uint64_t{1} << first);
}

// Every block that holds a column of a row width pixels wide.
inline uint64_t all(int32_t width) {
    return range(0, (width + kBlock - 1) / kBlock);
}

// visit(from, count) for each stretch of columns [first, end) between the blocks of skip,
// left to right; skip holds only blocks wholly inside [first, end).
template <class Visit>
inline void forEachStretch(uint64_t skip, int32_t first, int32_t end, const Visit& visit) {
    int32_t from = first;
    while (skip != 0) {
        const int32_t block = std::countr_zero(skip);
        const int32_t blockEnd = block + std::countr_one(skip >> block);
        skip &= ~range(block, blockEnd);
        if (block * kBlock > from) {
            visit(from, block * kBlock - from);
        }
        from = blockEnd * kBlock;
    }
    if (end > from) {
        visit(from, end - from);
    }
}

// Writes value into the fresh blocks of `blocks` (columns past width are left alone) and
// takes them off the fresh ones.
inline void fill(RowBlocks& row, uint64_t blocks, uint32_t* pixels, int32_t width, uint32_t value) {
    row.fresh &= ~blocks;
    while (blocks != 0) {
        const int32_t block = __builtin_ctzll(blocks);
        blocks &= blocks - 1u;
        uint32_t* const at = pixels + block * kBlock;
        if ((block + 1) * kBlock <= width) {
            // A whole block in stores of eight pixels (by the target's widest registers),
            // not a string store, which takes longer to start than these take to finish.
            using Eight = uint32_t __attribute__((vector_size(32)));
            const Eight eight = Eight{} + value;
            for (int32_t i = 0; i < kBlock; i += 8) {
                std::memcpy(at + i, &eight, sizeof eight);
            }
        } else {
            std::fill(at, pixels + width, value);
        }
    }
}

// Before columns [x, x + count) of a row are composited: its fresh blocks among them are
// made empty in memory.
inline void prepare(RowBlocks& row, uint32_t* pixels, int32_t width, int32_t x, int32_t count) {
    if (row.fresh == 0 || count <= 0) {
        return;
    }
    const uint64_t blocks = row.fresh & through(blockOf(x), blockOf(x + count - 1));
    if (blocks != 0) {
        fill(row, blocks, pixels, width, 0u);
    }
}

} // namespace rowblocks
