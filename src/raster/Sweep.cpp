// sweep: the sorted cells, row by row and left to right, become coverage. A pixel's
// coverage is the winding carried in from the left (128 per half-scanline) plus the
// share of its own crossings to the right of their position; runs between two crossing
// pixels take the carried winding alone. Integers only. The sums are the same in any
// order, so a solid fill can also add its cells into their pixels first and sweep the
// pixels (sweepDirect), which gives the same coverage without sorting.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <typeinfo>

#include "geometry/Cpu.h"
#include "geometry/SolidPaint.h"
#include "raster/Compositing.h"
#include "raster/PixelGrid.h"
#include "raster/PixelLanes.h"
#include "raster/Rasterizer.h"
#include "raster/RowBlocks.h"
#include "raster/ZeroedPages.h"

namespace {

constexpr int32_t kHalfScanline = 128;
constexpr int32_t kMaxPosition = 255;
constexpr int32_t kMaxAlpha = 255;
constexpr int32_t kEvenOddPeriod = 512;

// T(sum * 128 / 255), truncated toward zero. sum can pass 2^24 with many crossings in one
// pixel, so the product is taken in 64 bits.
int32_t partialCoverage(int32_t sum) {
    return static_cast<int32_t>(static_cast<int64_t>(sum) * kHalfScanline / kMaxPosition);
}

// T(sum * 128 / 255) for sum >= 0, the same value in unsigned arithmetic.
int32_t partialCoverageOf(uint32_t sum) {
    return static_cast<int32_t>(static_cast<uint64_t>(sum) * kHalfScanline / kMaxPosition);
}

// A coverage's alpha under a fill's rule.
template <bool kEvenOdd> int32_t ruleAlpha(int32_t v) {
    return kEvenOdd ? Rasterizer::evenOddAlpha(v) : Rasterizer::nonZeroAlpha(v);
}

// The span writer for one known colour: the same compositing as writeSolidSpan with the
// colour fetched, clamped and checked once per fill instead of once per span. Long runs
// skip the blocks the rasterizer knows are opaque, store the colour straight into blocks
// not yet written, and mark those an opaque colour covers whole.
class SolidSpans {
public:
    SolidSpans(uint32_t* pixels, int32_t rowPitch, int32_t rowWidth, int32_t rowCount,
               RowBlocks* blocks, uint32_t colour)
        : target(pixels), rows(blocks), pitch(rowPitch), width(rowWidth), height(rowCount),
          full(compositing::clampToAlpha(colour)), fullAlpha(compositing::alphaByte(full)) {}

    // Nothing at all is drawn when the colour is transparent at full coverage.
    bool visible() const { return fullAlpha != 0; }

    uint32_t* row(uint32_t y) const { return target + static_cast<std::ptrdiff_t>(y) * pitch; }
    // The row a fill's sweep reaches kAheadRows after row y (or row y itself near the
    // bottom), whose pixels are fetched into the cache while row y is composited: a fill's
    // edges move little from row to row, and on a target larger than the core's cache its
    // rows are no longer there from the fill before.
    const uint32_t* ahead(uint32_t y) const {
        return y + kAheadRows < static_cast<uint32_t>(height) ? row(y + kAheadRows) : row(y);
    }
    // Row y's blocks; a record of its own, knowing nothing, when the rasterizer has none.
    RowBlocks* blocksOf(uint32_t y) { return rows != nullptr ? rows + y : &scratch; }
    int32_t rowWidth() const { return width; }
    // Whether runs go by the row's blocks: on rows too narrow for them to pay, they are
    // composited as they come (and nothing is known of the blocks).
    bool blocked() const { return rows != nullptr && width >= rowblocks::kBlockedWidth; }

    // writeSolidSpan of count pixels from rowPixels[x] on: a long run of one alpha (the
    // short ones go through the row's alpha words). Its stretches are composited by
    // under(pixels, count, colour), compositing::underRun's equal.
    template <bool kBlocked, class Under = decltype(compositing::underRun)>
    void run(uint32_t* rowPixels, RowBlocks& blocks, int32_t x, int32_t count, int32_t alpha,
             const Under& under = compositing::underRun) const {
        const uint32_t src = colourAt(alpha);
        if (count <= 0 || compositing::alphaByte(src) == 0) {
            return;
        }
        if constexpr (!kBlocked) {
            under(rowPixels + x, count, src);
            return;
        }
        using rowblocks::blockOf;
        const int32_t end = x + count;
        // The blocks the run covers whole: [firstBlock, endBlock).
        const uint64_t covered = rowblocks::range(blockOf(x + rowblocks::kBlock - 1), blockOf(end));
        // The blocks the run only enters are cleared if they were never written.
        if ((blocks.fresh & ~covered) != 0) {
            const uint64_t ends = rowblocks::range(blockOf(x), blockOf(end - 1) + 1) & ~covered;
            if ((blocks.fresh & ends) != 0) {
                rowblocks::fill(blocks, blocks.fresh & ends, rowPixels, width, 0u);
            }
        }
        if (covered == 0) {
            under(rowPixels + x, count, src);
            return;
        }
        // Empty blocks take the colour as it is; opaque ones keep theirs. The stretches
        // between them are composited one call each.
        const uint64_t empty = blocks.fresh & covered;
        const uint64_t skip = (blocks.opaque & covered) | empty;
        rowblocks::forEachStretch(
            skip, x, end, [&](int32_t from, int32_t n) { under(rowPixels + from, n, src); });
        if (empty != 0) {
            rowblocks::fill(blocks, empty, rowPixels, width, src);
        }
        // An opaque colour leaves every pixel under it opaque.
        if (compositing::alphaByte(src) == compositing::kOpaque) {
            blocks.opaque |= covered;
        }
    }

    // The colour at full coverage, clamped to its alpha.
    uint32_t colour() const { return full; }

private:
    static constexpr uint32_t kAheadRows = 2;

    uint32_t colourAt(int32_t alpha) const {
        return alpha == kMaxAlpha ? full : compositing::scale(full, static_cast<uint32_t>(alpha));
    }

    uint32_t* target;
    RowBlocks* rows;
    RowBlocks scratch{0u, 0u};
    int32_t pitch;
    int32_t width;
    int32_t height;
    uint32_t full;
    uint32_t fullAlpha;
};

#if TILSEN_SSE2
// The pixel kernels and the block sweep at SSE2's and AVX2's widths.
namespace sweepsse2 {
#include "raster/PixelKernels.inl"
// After the kernels it composites with.
#include "raster/BlockSweep.inl"
} // namespace sweepsse2
#if TILSEN_X86_64
TILSEN_TARGET_AVX2_BEGIN
namespace sweepavx2 {
#include "raster/PixelKernels.inl"
// After the kernels it composites with.
#include "raster/BlockSweep.inl"
} // namespace sweepavx2
TILSEN_TARGET_END
#endif
#endif

// The alphas of one row of a solid fill, pixel by pixel from left to right, eight pixels
// at a time in one word: a crossing pixel gets its coverage from the winding carried in
// and its own crossings' shares (up shares and down shares summed apart, as the plain
// sweep keeps them), the run up to the next crossing pixel the winding carried. Each word
// is composited in one step once the row moves past it; a long run of one alpha is
// composited as one colour instead. Every pixel is composited at most once per fill, so
// the order does not change any pixel. A row starts with no winding and ends at its last
// crossing pixel.
//
// composite(pixels, alphas, count, room) puts the colour under count <= 8 pixels, pixel i
// at the alpha in byte i of alphas (the bytes past count are 0); room (count <= room <= 8)
// pixels are the row's, which it may load and store back.
template <bool kEvenOdd, bool kBlocked, class Composite> class RowWriter {
public:
    RowWriter(SolidSpans& solidSpans, const Composite& compositeWord)
        : spans(solidSpans), composite(compositeWord) {}

    __attribute__((always_inline)) void startRow(uint32_t row, int32_t firstColumn) {
        rowPixels = spans.row(row);
        rowBlocks = spans.blocksOf(row);
        wind = 0;
        previous = firstColumn;
        wordStart = firstColumn;
        alphas = 0;
    }

    // The crossing pixel col (right of the last one) whose crossings running down have
    // shares summing to downShares, those running up to upShares, and add windDelta to the
    // winding.
    __attribute__((always_inline)) void pixel(int32_t col, uint32_t downShares, uint32_t upShares,
                                              int32_t windDelta) {
        const int32_t runLength = col - previous - 1;
        if (runLength > 0) {
            run(runLength, wind != 0 ? alphaOf(wind * kHalfScanline) : 0);
        }
        const int32_t cov =
            wind * kHalfScanline + partialCoverageOf(downShares) - partialCoverageOf(upShares);
        wind += windDelta;
        if (col >= wordStart + kWord) {
            putDown(kWord, col);
        }
        const auto a = static_cast<uint64_t>(cov != 0 ? alphaOf(cov) : 0);
        alphas |= a << (8 * (col - wordStart));
        previous = col;
    }

    __attribute__((always_inline)) void endRow() { putDown(previous + 1 - wordStart, 0); }

private:
    // Runs at least this long leave the alpha words and go their own way.
    static constexpr int32_t kLongRun = 16;
    static constexpr int32_t kWord = 8;
    static constexpr uint64_t kEveryByte = 0x0101010101010101u;

    static int32_t alphaOf(int32_t v) { return ruleAlpha<kEvenOdd>(v); }
    // Bytes [from, to) of a word, 0 <= from < to <= 8.
    static uint64_t bytes(int32_t from, int32_t to) {
        const uint64_t below = to == kWord ? ~uint64_t{0} : (uint64_t{1} << (8 * to)) - 1u;
        return below & ~((uint64_t{1} << (8 * from)) - 1u);
    }

    // The runLength pixels after previous at alpha a.
    __attribute__((always_inline)) void run(int32_t runLength, int32_t a) {
        const int32_t end = previous + 1 + runLength;
        if (runLength >= kLongRun) {
            putDown(previous + 1 - wordStart, end);
            spans.template run<kBlocked>(rowPixels, *rowBlocks, previous + 1, runLength, a);
        } else if (a != 0) {
            const uint64_t fill = kEveryByte * static_cast<uint64_t>(a);
            for (int32_t x = previous + 1; x < end;) {
                if (x >= wordStart + kWord) {
                    putDown(kWord, x);
                }
                const int32_t to = std::min(end - wordStart, kWord);
                alphas |= fill & bytes(x - wordStart, to);
                x = wordStart + to;
            }
        }
    }

    // Composites the word's first count pixels and starts the next word at column next.
    __attribute__((always_inline)) void putDown(int32_t count, int32_t next) {
        if (alphas != 0) {
            if constexpr (kBlocked) {
                rowblocks::prepare(*rowBlocks, rowPixels, spans.rowWidth(), wordStart, count);
            }
            composite(rowPixels + wordStart, alphas, count,
                      std::min(kWord, spans.rowWidth() - wordStart));
            alphas = 0;
        }
        wordStart = next;
    }

    SolidSpans& spans;
    const Composite& composite;
    uint32_t* rowPixels = nullptr;
    RowBlocks* rowBlocks = nullptr;
    int32_t wind = 0;
    int32_t previous = 0;
    // The alphas of columns wordStart.. in the bytes of alphas, not yet composited.
    int32_t wordStart = 0;
    uint64_t alphas = 0;
};

// The sorted cells through a RowWriter: all crossings of one pixel are summed in one
// inner loop.
template <class Writer>
__attribute__((always_inline)) inline void sweepCells(const Cell* it, const Cell* const last,
                                                      Writer& writer) {
    while (it != last) {
        const uint32_t row = cellword::row(*it);
        writer.startRow(row, static_cast<int32_t>(cellword::column(*it)));
        do {
            const Cell key = cellword::pixelKey(*it);
            const auto col = static_cast<int32_t>(cellword::column(*it));
            int32_t windDelta = 0;
            uint32_t downShares = 0;
            uint32_t upShares = 0;
            do {
                const Cell c = *it;
                const uint32_t share = kMaxPosition - cellword::position(c);
                const uint32_t isDown = c & cellword::kDownBit;
                windDelta += 2 * static_cast<int32_t>(isDown) - 1;
                downShares += share & (0u - isDown);
                upShares += share & (isDown - 1u);
                ++it;
            } while (it != last && cellword::pixelKey(*it) == key);
            writer.pixel(col, downShares, upShares, windDelta);
        } while (it != last && cellword::row(*it) == row);
        writer.endRow();
    }
}

// The summed pixels of a fill (Rasterizer::sweepDirect) through a RowWriter, row by row,
// each row's crossing pixels found from left to right in its two bitmaps. The sums and
// bitmaps are left all zero.
template <class Writer>
__attribute__((always_inline)) inline void sweepGrid(const PixelGrid& grid, Writer& writer) {
    // Copied out of grid: the stores below could alias its fields.
    SumsBlock* const sums = grid.sums;
    uint64_t* const evenBits = grid.even;
    uint64_t* const oddBits = grid.odd;
    const int32_t rows = grid.rows;
    const std::ptrdiff_t stride = grid.stride;
    const int32_t words = grid.words;
    const std::ptrdiff_t wordStride = grid.wordStride;
    const int32_t firstRow = grid.firstRow;
    const int32_t firstColumn = grid.firstColumn;
    for (int32_t r = 0; r < rows; ++r) {
        uint64_t* const even = evenBits + r * wordStride;
        uint64_t* const odd = oddBits + r * wordStride;
        SumsBlock* const rowSums = sums + r * stride / SumsBlock::kPixels;
        bool started = false;
        for (int32_t w = 0; w < words; ++w) {
            uint64_t bits = even[w] | odd[w];
            if (bits == 0) {
                continue;
            }
            even[w] = 0;
            odd[w] = 0;
            do {
                const int32_t x = 64 * w + std::countr_zero(bits);
                bits &= bits - 1u;
                SumsBlock& block = rowSums[x / SumsBlock::kPixels];
                const int32_t lane = x % SumsBlock::kPixels;
                const uint32_t down = block.shares[SumsBlock::kDown][lane];
                const uint32_t up = block.shares[SumsBlock::kUp][lane];
                const int32_t wind = block.wind[lane];
                block.shares[SumsBlock::kDown][lane] = 0;
                block.shares[SumsBlock::kUp][lane] = 0;
                block.wind[lane] = 0;
                const int32_t col = firstColumn + x;
                if (!started) {
                    writer.startRow(static_cast<uint32_t>(firstRow + r), col);
                    started = true;
                }
                writer.pixel(col, down, up, wind);
            } while (bits != 0);
        }
        if (started) {
            writer.endRow();
        }
    }
}

// The widths a sweep is compiled for, as tags: each sweep has one overload per width, and
// atWidest picks the one cpu::level() allows.
struct ScalarWidth {};
struct Sse2Width {};
struct Avx2Width {};

// A solid fill's sweep from sorted cells or summed pixels, compositing each word of alphas
// one pixel at a time.
template <bool kEvenOdd, bool kBlocked, class Source>
void sweepSolid(ScalarWidth, const Source& source, SolidSpans& spans) {
    const uint32_t full = spans.colour();
    const auto composite = [full](uint32_t* pixels, uint64_t alphas, int32_t n, int32_t) {
        compositing::underEightScalar(pixels, alphas, n, full);
    };
    RowWriter<kEvenOdd, kBlocked, decltype(composite)> writer(spans, composite);
    source(writer);
}

// A solid fill's summed pixels, each grid grids() hands to its argument in turn (and
// leaves all zero), through the row writer.
template <bool kEvenOdd, bool kBlocked, class Grids>
void sweepSummed(ScalarWidth, const Grids& grids, SolidSpans& spans) {
    sweepSolid<kEvenOdd, kBlocked>(
        ScalarWidth{},
        [&grids](auto& writer) {
            grids([&writer](const PixelGrid& grid) { sweepGrid(grid, writer); });
        },
        spans);
}

#if TILSEN_SSE2
// The scalar sweeps with each word of alphas composited four pixels a step, and summed
// pixels swept a block at a time; only at cpu::SimdLevel::sse2 and above.
template <bool kEvenOdd, bool kBlocked, class Source>
__attribute__((flatten)) void sweepSolid(Sse2Width, const Source& source, SolidSpans& spans) {
    const sweepsse2::CoverageLanes<pixellanes::Sse2> lanes(spans.colour());
    const auto composite = [&lanes](uint32_t* pixels, uint64_t alphas, int32_t n, int32_t room) {
        lanes.under(pixels, alphas, n, room);
    };
    RowWriter<kEvenOdd, kBlocked, decltype(composite)> writer(spans, composite);
    source(writer);
}

template <bool kEvenOdd, bool kBlocked, class Grids>
__attribute__((flatten)) void sweepSummed(Sse2Width, const Grids& grids, SolidSpans& spans) {
    const sweepsse2::BlockSweep<pixellanes::Sse2, kEvenOdd, kBlocked> sweep(spans);
    grids([&sweep](const PixelGrid& grid) { sweep.sweep(grid); });
}
#endif

#if TILSEN_X86_64
// The same eight pixels a step; only at cpu::SimdLevel::avx2 and above.
template <bool kEvenOdd, bool kBlocked, class Source>
TILSEN_AVX2_TARGET __attribute__((flatten)) void sweepSolid(Avx2Width, const Source& source,
                                                            SolidSpans& spans) {
    const sweepavx2::CoverageLanes<pixellanes::Avx2> lanes(spans.colour());
    const auto composite = [&lanes](uint32_t* pixels, uint64_t alphas, int32_t n, int32_t room)
                               TILSEN_AVX2_TARGET { lanes.under(pixels, alphas, n, room); };
    RowWriter<kEvenOdd, kBlocked, decltype(composite)> writer(spans, composite);
    source(writer);
    pixellanes::Avx2::leave();
}

template <bool kEvenOdd, bool kBlocked, class Grids>
TILSEN_AVX2_TARGET __attribute__((flatten)) void sweepSummed(Avx2Width, const Grids& grids,
                                                             SolidSpans& spans) {
    const sweepavx2::BlockSweep<pixellanes::Avx2, kEvenOdd, kBlocked> sweep(spans);
    grids([&sweep](const PixelGrid& grid) TILSEN_AVX2_TARGET { sweep.sweep(grid); });
    pixellanes::Avx2::leave();
}
#endif

// sweep.template operator()<kEvenOdd, kBlocked>(width): the fill's rule and the target's
// blocks as constants, and the tag of the widest width cpu::level() allows.
template <class Sweep> void atWidest(const Sweep& sweep, FillRule rule, bool blocked) {
    const bool evenOdd = rule == FillRule::kEvenOdd;
    const auto byRule = [&](auto width) {
        if (blocked) {
            evenOdd ? sweep.template operator()<true, true>(width)
                    : sweep.template operator()<false, true>(width);
        } else {
            evenOdd ? sweep.template operator()<true, false>(width)
                    : sweep.template operator()<false, false>(width);
        }
    };
#if TILSEN_X86_64
    if (cpu::level() >= cpu::SimdLevel::avx2) {
        byRule(Avx2Width{});
        return;
    }
#endif
#if TILSEN_SSE2
    if (cpu::level() >= cpu::SimdLevel::sse2) {
        byRule(Sse2Width{});
        return;
    }
#endif
    byRule(ScalarWidth{});
}

// A solid fill's sweep from sorted cells (source(writer) runs them through a RowWriter).
template <class Source>
void sweepSolidFill(const Source& source, SolidSpans& spans, FillRule rule) {
    atWidest([&]<bool kEvenOdd, bool kBlocked>(
                 auto width) { sweepSolid<kEvenOdd, kBlocked>(width, source, spans); },
             rule, spans.blocked());
}

// A solid fill's summed pixels, each grid grids() hands to its argument in turn.
template <class Grids> void sweepSummedFill(const Grids& grids, SolidSpans& spans, FillRule rule) {
    atWidest([&]<bool kEvenOdd, bool kBlocked>(
                 auto width) { sweepSummed<kEvenOdd, kBlocked>(width, grids, spans); },
             rule, spans.blocked());
}

} // namespace

int32_t Rasterizer::nonZeroAlpha(int32_t v) {
    // |v| without overflowing on the most negative value.
    const int64_t magnitude = v < 0 ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return magnitude < kMaxAlpha ? static_cast<int32_t>(magnitude) : kMaxAlpha;
}

int32_t Rasterizer::evenOddAlpha(int32_t v) {
    // v mod 512 in 0..511 for negative v too; the remainder is a triangle wave of windings.
    const int32_t u = static_cast<int32_t>(static_cast<uint32_t>(v) & (kEvenOddPeriod - 1));
    return u < kEvenOddPeriod / 2 ? u : kEvenOddPeriod - 1 - u;
}

namespace {

#if TILSEN_X86_64
TILSEN_AVX2_TARGET const Cell* extentAvx2(const Cell* first, const Cell* last,
                                          cellword::Extent& e) {
    const Cell* const rest = sweepavx2::extentLanes<pixellanes::Avx2>(first, last, e);
    pixellanes::Avx2::leave();
    return rest;
}
#endif

// cellword::extent's whole steps in the widest lanes cpu::level() allows, merged with e: the
// first cell left.
const Cell* extentInLanes(const Cell* first, const Cell* last, cellword::Extent& e) {
#if TILSEN_X86_64
    if (cpu::level() >= cpu::SimdLevel::avx2) {
        return extentAvx2(first, last, e);
    }
#endif
#if TILSEN_SSE2
    if (cpu::level() >= cpu::SimdLevel::sse2) {
        return sweepsse2::extentLanes<pixellanes::Sse2>(first, last, e);
    }
#endif
    (void)last;
    (void)e;
    return first;
}

} // namespace

cellword::Extent cellword::extent(const Cell* first, const Cell* last) {
    Extent e{row(*first), row(*first), column(*first), column(*first)};
    for (const Cell* it = extentInLanes(first, last, e); it != last; ++it) {
        e.minRow = std::min(e.minRow, row(*it));
        e.maxRow = std::max(e.maxRow, row(*it));
        e.minColumn = std::min(e.minColumn, column(*it));
        e.maxColumn = std::max(e.maxColumn, column(*it));
    }
    return e;
}

namespace {

#if TILSEN_X86_64
TILSEN_AVX2_TARGET const Cell* addCellsAvx2(const Cell* first, const Cell* last,
                                            const PixelGrid& grid) {
    const Cell* const rest = sweepavx2::addCellsLanes<pixellanes::Avx2>(first, last, grid);
    pixellanes::Avx2::leave();
    return rest;
}
#endif

// addCells' whole steps in the widest lanes cpu::level() allows: the first cell left.
const Cell* addCellsInLanes(const Cell* first, const Cell* last, const PixelGrid& grid) {
#if TILSEN_X86_64
    if (cpu::level() >= cpu::SimdLevel::avx2) {
        return addCellsAvx2(first, last, grid);
    }
#endif
#if TILSEN_SSE2
    if (cpu::level() >= cpu::SimdLevel::sse2) {
        return sweepsse2::addCellsLanes<pixellanes::Sse2>(first, last, grid);
    }
#endif
    (void)last;
    (void)grid;
    return first;
}

// Adds cells (all inside the grid's pixels) to their pixels' sums and marks them in the
// bitmaps, cells at even places in one and at odd places in the other. Out of line:
// inlined into a strip's sweep, its loop is left too few registers and spills.
__attribute__((noinline)) void addCells(const Cell* first, const Cell* last,
                                        const PixelGrid& grid) {
    constexpr auto kBlock = static_cast<std::size_t>(SumsBlock::kPixels);
    SumsBlock* const sums = grid.sums;
    // The stride is a whole number of blocks.
    const std::size_t rowBlocks = static_cast<std::size_t>(grid.stride) / kBlock;
    const auto words = static_cast<std::size_t>(grid.wordStride);
    const auto firstRow = static_cast<uint32_t>(grid.firstRow);
    const auto firstColumn = static_cast<uint32_t>(grid.firstColumn);
    const auto add = [=](Cell c, uint64_t* bits) {
        // Unsigned all through: no cell lies before the grid's first row or column, and
        // divisions need no rounding toward zero.
        const std::size_t r = cellword::row(c) - firstRow;
        const std::size_t x = cellword::column(c) - firstColumn;
        static_assert(cellword::kDownBit == 1u && SumsBlock::kDown == 1 && SumsBlock::kUp == 0);
        const uint32_t down = c & cellword::kDownBit;
        SumsBlock& block = sums[r * rowBlocks + x / kBlock];
        const std::size_t lane = x % kBlock;
        block.shares[down][lane] += kMaxPosition - cellword::position(c);
        block.wind[lane] += 2 * static_cast<int32_t>(down) - 1;
        bits[r * words + x / 64] |= uint64_t{1} << (x % 64);
    };
    uint64_t* const even = grid.even;
    uint64_t* const odd = grid.odd;
    const Cell* it = addCellsInLanes(first, last, grid);
    for (; last - it >= 2; it += 2) {
        add(it[0], even);
        add(it[1], odd);
    }
    if (it != last) {
        add(*it, even);
    }
}

// Sums of a fill that take more than kWholeGridBytes are made strip by strip, each strip
// within kStripBytes: the cells of a few rows are added, then swept, while those rows'
// sums are still in the core's own cache. Summed over the whole fill at once, every cell
// would miss it twice; a smaller fill's sums stay in the cache anyway (a whole 320x200
// picture's take 1 MiB).
constexpr int64_t kWholeGridBytes = 1024 * 1024;
constexpr int64_t kStripBytes = 192 * 1024;
constexpr int32_t kMostStripRows = 64;
constexpr int64_t kSumBytesPerPixel = sizeof(SumsBlock) / SumsBlock::kPixels;
// Fills at least this many columns wide are swept in blocks of whole target columns.
constexpr uint32_t kAlignedFillWidth = 64;

// pixels rounded up to whole blocks of sums.
int32_t wholeBlocks(int32_t pixels) {
    return (pixels + SumsBlock::kPixels - 1) / SumsBlock::kPixels * SumsBlock::kPixels;
}

// Rows per strip for sums stride pixels wide: a power of two, 1..kMostStripRows.
int32_t stripRowsFor(int32_t stride) {
    int32_t rows = 1;
    while (rows < kMostStripRows && int64_t{2} * rows * stride * kSumBytesPerPixel <= kStripBytes) {
        rows *= 2;
    }
    return rows;
}

// Copies cells into out grouped by strip (rows minRow + 2^shift * s on), strips in order
// and each strip's cells in their order; ends[s] becomes where strip s ends (a strip's
// start is the end of the one before), ends has room for strips + 1.
void bucketStrips(const Cell* first, const Cell* last, uint32_t minRow, int32_t shift,
                  int32_t strips, Cell* out, uint32_t* ends) {
    std::fill(ends, ends + strips + 1, 0u);
    for (const Cell* it = first; it != last; ++it) {
        ++ends[((cellword::row(*it) - minRow) >> shift) + 1];
    }
    for (int32_t s = 1; s <= strips; ++s) {
        ends[s] += ends[s - 1];
    }
    // ends[s] is strip s's start; writing moves it on to the strip's end.
    for (const Cell* it = first; it != last; ++it) {
        out[ends[(cellword::row(*it) - minRow) >> shift]++] = *it;
    }
}

// A solid fill's sweep from its cells [first, last), whose sums are laid out as extent
// (all of them inside it), a strip of stripRows rows (a power of two) at a time: each
// strip's sums lie at the start of the arrays. scratch holds as many cells as there are,
// stripEnds one more entry than there are strips.
void sweepStrips(const Cell* first, const Cell* last, Cell* scratch, uint32_t* stripEnds,
                 const PixelGrid& extent, int32_t stripRows, SolidSpans& spans, FillRule rule) {
    const int32_t shift = std::countr_zero(static_cast<uint32_t>(stripRows));
    const int32_t strips = (extent.rows + stripRows - 1) >> shift;
    bucketStrips(first, last, static_cast<uint32_t>(extent.firstRow), shift, strips, scratch,
                 stripEnds);
    PixelGrid strip = extent;
    strip.odd = strip.even + static_cast<std::ptrdiff_t>(stripRows) * strip.wordStride;
    sweepSummedFill(
        [&](auto&& sweepGrid) {
            uint32_t start = 0;
            for (int32_t s = 0; s < strips; ++s) {
                const uint32_t end = stripEnds[s];
                strip.firstRow = extent.firstRow + s * stripRows;
                strip.rows = std::min(stripRows, extent.rows - s * stripRows);
                addCells(scratch + start, scratch + end, strip);
                sweepGrid(strip);
                start = end;
            }
        },
        spans, rule);
}

} // namespace

bool Rasterizer::reserveSums() {
    return target != nullptr && reserveSumsFor(width, height);
}

bool Rasterizer::reserveSumsFor(int32_t targetWidth, int32_t targetHeight) {
    const int32_t words = (targetWidth + 63) / 64;
    const int64_t blockCount =
        int64_t{wholeBlocks(targetWidth) / SumsBlock::kPixels} * targetHeight;
    const int64_t wordCount = int64_t{2} * targetHeight * words;
    // Fresh pages: the arrays start all zero, and pages no fill touches are never written.
    if (blockCount > pixelSumsSize) {
        const auto bytes = static_cast<std::size_t>(blockCount) * sizeof(SumsBlock);
        pixelSums = {static_cast<SumsBlock*>(zeroedpages::allocate(bytes)), PagesDeleter{bytes}};
        pixelSumsSize = pixelSums != nullptr ? blockCount : 0;
    }
    if (wordCount > pixelBitsSize) {
        const auto bytes = static_cast<std::size_t>(wordCount) * sizeof(uint64_t);
        pixelBits = {static_cast<uint64_t*>(zeroedpages::allocate(bytes)), PagesDeleter{bytes}};
        pixelBitsSize = pixelBits != nullptr ? wordCount : 0;
    }
    return pixelSums != nullptr && pixelBits != nullptr;
}

namespace {

// The sums and bitmaps of the whole target, laid out row by row.
PixelGrid targetGrid(SumsBlock* sums, uint64_t* bits, int32_t width, int32_t height) {
    PixelGrid grid{};
    grid.sums = sums;
    grid.rows = height;
    grid.stride = wholeBlocks(width);
    grid.wordStride = (width + 63) / 64;
    grid.words = grid.wordStride;
    grid.even = bits;
    grid.odd = bits + static_cast<std::ptrdiff_t>(height) * grid.wordStride;
    return grid;
}

} // namespace

void Rasterizer::sumStoredCells() {
    const Cell* const first = cells.get();
    const Cell* const last = cellEnd;
    if (first == last) {
        return;
    }
    if (!summingVisible) {
        summedCells += last - first;
        cellEnd = cells.get();
        return;
    }
    const cellword::Extent e = cellword::extent(first, last);
    summedExtent = summedCells == 0 ? e : cellword::merged(summedExtent, e);
    addCells(first, last, targetGrid(pixelSums.get(), pixelBits.get(), width, height));
    summedCells += last - first;
    cellEnd = cells.get();
}

bool Rasterizer::sweepDirect() {
    if (!paintIsSolid || typeid(*paint) != typeid(SolidPaint) ||
        (cellEnd == cells.get() && summedCells == 0)) {
        return false;
    }
    SolidSpans spans(target, pitch, width, height, rowBlocks.get(),
                     static_cast<const SolidPaint*>(paint)->colour);
    if (!spans.visible()) {
        return true;
    }
    // Cells handed in one by one may lie anywhere; those of a fill lie inside the target.
    cellword::Extent e = summedExtent;
    if (cellEnd != cells.get()) {
        const cellword::Extent stored = cellword::extent(cells.get(), cellEnd);
        if (stored.maxRow >= static_cast<uint32_t>(height) ||
            stored.maxColumn >= static_cast<uint32_t>(width) || !reserveSums()) {
            return false;
        }
        e = summedCells == 0 ? stored : cellword::merged(e, stored);
    }
    PixelGrid grid{};
    if (summedCells == 0) {
        // All the cells are stored: the sums are laid out over their extent alone, at the
        // start of the arrays, where a small fill finds them close together.
        grid.sums = pixelSums.get();
        grid.firstRow = static_cast<int32_t>(e.minRow);
        grid.rows = static_cast<int32_t>(e.maxRow - e.minRow + 1);
        // A wide fill's blocks start at whole blocks of target columns, so that on an
        // aligned target a block's pixels never straddle two cache lines and a block read
        // just after rowblocks::fill wrote it meets whole stores of its own. A narrow
        // fill's start at its first column: aligned, they would often take a block more.
        const auto minColumn = static_cast<int32_t>(e.minColumn);
        grid.firstColumn = e.maxColumn - e.minColumn >= kAlignedFillWidth
                               ? minColumn / SumsBlock::kPixels * SumsBlock::kPixels
                               : minColumn;
        grid.stride = wholeBlocks(static_cast<int32_t>(e.maxColumn + 1) - grid.firstColumn);
        grid.words = (grid.stride + 63) / 64;
        grid.wordStride = grid.words;
        grid.even = pixelBits.get();
        const int32_t stripRows = stripRowsFor(grid.stride);
        const int64_t gridBytes = int64_t{grid.rows} * grid.stride * kSumBytesPerPixel;
        if (gridBytes > kWholeGridBytes && grid.rows > stripRows) {
            sweepStrips(cells.get(), cellEnd, sortScratch.get(), counts.stripEnds, grid, stripRows,
                        spans, fillRule);
            return true;
        }
        grid.odd = grid.even + static_cast<std::ptrdiff_t>(grid.rows) * grid.words;
        addCells(cells.get(), cellEnd, grid);
    } else {
        // Sums laid out over the whole target (as the chunks were added); the stored cells
        // stay where they are, only the sums take them in.
        const PixelGrid whole = targetGrid(pixelSums.get(), pixelBits.get(), width, height);
        addCells(cells.get(), cellEnd, whole);
        // Only the rows and bitmap words the cells touched are swept.
        const int32_t firstWord = static_cast<int32_t>(e.minColumn / 64);
        grid = whole;
        grid.firstRow = static_cast<int32_t>(e.minRow);
        grid.rows = static_cast<int32_t>(e.maxRow - e.minRow + 1);
        grid.firstColumn = 64 * firstWord;
        grid.words = static_cast<int32_t>(e.maxColumn / 64) - firstWord + 1;
        const std::ptrdiff_t rowOffset = static_cast<std::ptrdiff_t>(grid.firstRow);
        grid.sums += (rowOffset * whole.stride + grid.firstColumn) / SumsBlock::kPixels;
        grid.even += rowOffset * whole.wordStride + firstWord;
        grid.odd += rowOffset * whole.wordStride + firstWord;
    }
    sweepSummedFill([&grid](auto&& sweepGrid) { sweepGrid(grid); }, spans, fillRule);
    return true;
}

void Rasterizer::sweep() {
    lastSpanEndX = -1;
    lastSpanY = -1;
    // A SolidPaint (a final class) answers every nextColour with its colour and has no
    // other effect, so asking it once per fill gives the same pixels as once per span.
    if (paintIsSolid) {
        // SolidPaint is final: the exact type says all a dynamic_cast would, for less.
        if (typeid(*paint) == typeid(SolidPaint)) {
            const auto* solid = static_cast<const SolidPaint*>(paint);
            SolidSpans spans(target, pitch, width, height, rowBlocks.get(), solid->colour);
            if (spans.visible()) {
                const Cell* const first = cells.get();
                const Cell* const last = cellEnd;
                sweepSolidFill([first, last](auto& writer) { sweepCells(first, last, writer); },
                               spans, fillRule);
            }
            return;
        }
    }
    int32_t cx = 0;
    int32_t cy = 0;
    int32_t wind = 0;
    int32_t w0 = 0;
    int32_t up = 0;
    int32_t down = 0;

    const auto flush = [&]() {
        const int32_t cov = w0 * kHalfScanline + partialCoverage(up) + partialCoverage(down);
        if (cov != 0) {
            const int32_t a = alphaOf(cov);
            if (a != 0) {
                writeSpan(cx, cy, 1, a);
            }
        }
    };

    const Cell* const end = cellEnd;
    for (const Cell* it = cells.get(); it != end; ++it) {
        const Cell c = *it;
        const auto col = static_cast<int32_t>(cellword::column(c));
        const auto row = static_cast<int32_t>(cellword::row(c));
        if (col != cx || row != cy) {
            flush();
            if (row == cy) {
                if (wind != 0) {
                    const int32_t a = alphaOf(wind * kHalfScanline);
                    if (a != 0) {
                        writeSpan(cx + 1, cy, col - cx - 1, a);
                    }
                }
                w0 = wind;
            } else {
                // Whatever winding a row leaves open ends with it.
                wind = 0;
                w0 = 0;
                cy = row;
            }
            cx = col;
            up = 0;
            down = 0;
        }
        const int32_t share = kMaxPosition - static_cast<int32_t>(cellword::position(c));
        if (cellword::down(c)) {
            ++wind;
            up += share;
        } else {
            --wind;
            down -= share;
        }
    }
    flush();
}
