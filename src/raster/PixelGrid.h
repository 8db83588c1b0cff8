// The summed crossings of one fill, pixel by pixel, for the sweep that needs no sort
// (Rasterizer::sweepDirect). Internal to the rasterizer.
#pragma once

#include <cstdint>

// The crossings of eight neighbouring pixels of a row, field by field, so that a sweep
// takes each field of all eight in one load: per pixel the shares (255 - position) of
// those running up and of those running down, indexed by a cell's direction bit, and how
// many more run down than up.
struct SumsBlock {
    static constexpr int32_t kPixels = 8;
    static constexpr int32_t kUp = 0;
    static constexpr int32_t kDown = 1;
    uint32_t shares[2][kPixels];
    int32_t wind[kPixels];
};

// rows x stride sums of the pixels from (firstRow, firstColumn) on, pixel (r, x) in lane
// x % 8 of block (r * stride + x) / 8 (stride is a whole number of blocks), and per row `words`
// words (wordStride apart) of two bitmaps of the pixels that hold crossings: one for the
// cells at even places of the store and one for those at odd places, so that neighbouring
// cells (often in one word) do not wait for each other's updates. Bit b of a row's word w
// is column firstColumn + 64w + b.
struct PixelGrid {
    SumsBlock* sums;
    uint64_t* even;
    uint64_t* odd;
    int32_t rows;
    int32_t stride;
    int32_t words;
    int32_t wordStride;
    int32_t firstRow;
    int32_t firstColumn;
};
