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

#if TILSEN_X86_64
// The pixel kernels at AVX2's width, for the row writer's words.
TILSEN_TARGET_AVX2_BEGIN
namespace sweepavx2 {
#include "raster/PixelKernels.inl"
} // namespace sweepavx2
TILSEN_TARGET_END
#endif

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

// The span writer for one known colour: the same compositing as writeSolidSpan with the
// colour fetched, clamped and checked once per fill instead of once per span.
class SolidSpans {
public:
    SolidSpans(uint32_t* pixels, int32_t rowPitch, uint32_t colour)
        : target(pixels), pitch(rowPitch), full(compositing::clampToAlpha(colour)),
          fullAlpha(compositing::alphaByte(full)) {}

    // Nothing at all is drawn when the colour is transparent at full coverage.
    bool visible() const { return fullAlpha != 0; }

    uint32_t* row(uint32_t y) const { return target + static_cast<std::ptrdiff_t>(y) * pitch; }

    // writeSolidSpan of count pixels from rowPixels[x] on: a long run of one alpha (the
    // short ones go through the row's alpha words).
    void run(uint32_t* rowPixels, int32_t x, int32_t count, int32_t alpha) const {
        const uint32_t src = colourAt(alpha);
        if (count > 0 && compositing::alphaByte(src) != 0) {
            compositing::underRun(rowPixels + x, count, src);
        }
    }

    // The colour at full coverage, clamped to its alpha.
    uint32_t colour() const { return full; }

private:
    uint32_t colourAt(int32_t alpha) const {
        return alpha == kMaxAlpha ? full : compositing::scale(full, static_cast<uint32_t>(alpha));
    }

    uint32_t* target;
    int32_t pitch;
    uint32_t full;
    uint32_t fullAlpha;
};

// The alphas of one row of a solid fill, pixel by pixel from left to right, eight pixels
// at a time in one word: a crossing pixel gets its coverage from the winding carried in
// and its own crossings' shares (up shares and down shares summed apart, as the plain
// sweep keeps them), the run up to the next crossing pixel the winding carried. Each word
// is composited in one step once the row moves past it; a long run of one alpha is
// composited as one colour instead. Every pixel is composited at most once per fill, so
// the order does not change any pixel. A row starts with no winding and ends at its last
// crossing pixel.
//
// composite(pixels, alphas, count) puts the colour under count <= 8 pixels, pixel i at the
// alpha in byte i of alphas.
template <bool kEvenOdd, class Composite> class RowWriter {
public:
    RowWriter(const SolidSpans& solidSpans, const Composite& compositeWord)
        : spans(solidSpans), composite(compositeWord) {}

    __attribute__((always_inline)) void startRow(uint32_t row, int32_t firstColumn) {
        rowPixels = spans.row(row);
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

    static int32_t alphaOf(int32_t v) {
        return kEvenOdd ? Rasterizer::evenOddAlpha(v) : Rasterizer::nonZeroAlpha(v);
    }
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
            spans.run(rowPixels, previous + 1, runLength, a);
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
            composite(rowPixels + wordStart, alphas, count);
            alphas = 0;
        }
        wordStart = next;
    }

    const SolidSpans& spans;
    const Composite& composite;
    uint32_t* rowPixels = nullptr;
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
    PixelSums* const sums = grid.sums;
    uint64_t* const evenBits = grid.even;
    uint64_t* const oddBits = grid.odd;
    const int32_t rows = grid.rows;
    const std::ptrdiff_t stride = grid.stride;
    const int32_t words = grid.words;
    const int32_t firstRow = grid.firstRow;
    const int32_t firstColumn = grid.firstColumn;
    for (int32_t r = 0; r < rows; ++r) {
        uint64_t* const even = evenBits + static_cast<std::ptrdiff_t>(r) * words;
        uint64_t* const odd = oddBits + static_cast<std::ptrdiff_t>(r) * words;
        PixelSums* const rowSums = sums + r * stride;
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
                PixelSums& at = rowSums[x];
                const PixelSums pixel = at;
                at = PixelSums{};
                const int32_t col = firstColumn + x;
                if (!started) {
                    writer.startRow(static_cast<uint32_t>(firstRow + r), col);
                    started = true;
                }
                writer.pixel(col, pixel.down, pixel.up, pixel.wind);
            } while (bits != 0);
        }
        if (started) {
            writer.endRow();
        }
    }
}

// A solid fill's sweep from sorted cells or summed pixels, compositing each word of alphas
// one pixel at a time.
template <bool kEvenOdd, class Source>
void sweepSolidScalar(const Source& source, const SolidSpans& spans) {
    const uint32_t full = spans.colour();
    const auto composite = [full](uint32_t* pixels, uint64_t alphas, int32_t n) {
        compositing::underEightScalar(pixels, alphas, n, full);
    };
    RowWriter<kEvenOdd, decltype(composite)> writer(spans, composite);
    source(writer);
}

#if TILSEN_X86_64
// sweepSolidScalar with each word of alphas composited in one step; only at
// cpu::SimdLevel::avx2 and above.
template <bool kEvenOdd, class Source>
TILSEN_AVX2_TARGET __attribute__((flatten)) void sweepSolidAvx2(const Source& source,
                                                                const SolidSpans& spans) {
    const sweepavx2::CoverageLanes<pixellanes::Avx2> lanes(spans.colour());
    const auto composite = [&lanes](uint32_t* pixels, uint64_t alphas, int32_t n)
                               TILSEN_AVX2_TARGET { lanes.under(pixels, alphas, n); };
    RowWriter<kEvenOdd, decltype(composite)> writer(spans, composite);
    source(writer);
    pixellanes::Avx2::leave();
}
#endif

// Either sweep of a solid fill under its rule, the widest way cpu::level() allows.
template <class Source>
void sweepSolidFill(const Source& source, const SolidSpans& spans, FillRule rule) {
    const bool evenOdd = rule == FillRule::kEvenOdd;
#if TILSEN_X86_64
    if (cpu::level() >= cpu::SimdLevel::avx2) {
        evenOdd ? sweepSolidAvx2<true>(source, spans) : sweepSolidAvx2<false>(source, spans);
        return;
    }
#endif
    evenOdd ? sweepSolidScalar<true>(source, spans) : sweepSolidScalar<false>(source, spans);
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

bool Rasterizer::sweepDirect() {
    // Summed pixels this many or fewer take this way (4 MiB of sums); larger fills sort.
    constexpr int64_t kMaxGridPixels = int64_t{1} << 18;
    if (!paintIsSolid || typeid(*paint) != typeid(SolidPaint) || cellEnd == cells.get()) {
        return false;
    }
    const SolidSpans spans(target, pitch, static_cast<const SolidPaint*>(paint)->colour);
    if (!spans.visible()) {
        return true;
    }
    const Cell* const first = cells.get();
    const Cell* const last = cellEnd;
    uint32_t minRow = cellword::row(*first);
    uint32_t maxRow = minRow;
    uint32_t minColumn = cellword::column(*first);
    uint32_t maxColumn = minColumn;
    for (const Cell* it = first; it != last; ++it) {
        minRow = std::min(minRow, cellword::row(*it));
        maxRow = std::max(maxRow, cellword::row(*it));
        minColumn = std::min(minColumn, cellword::column(*it));
        maxColumn = std::max(maxColumn, cellword::column(*it));
    }
    PixelGrid grid{};
    grid.rows = static_cast<int32_t>(maxRow - minRow + 1);
    grid.stride = static_cast<int32_t>(maxColumn - minColumn + 1);
    grid.words = (grid.stride + 63) / 64;
    grid.firstRow = static_cast<int32_t>(minRow);
    grid.firstColumn = static_cast<int32_t>(minColumn);
    const int64_t pixelCount = int64_t{grid.rows} * grid.stride;
    const int64_t wordCount = int64_t{2} * grid.rows * grid.words;
    if (pixelCount > kMaxGridPixels) {
        return false;
    }
    // Both arrays are all zero between fills; grown ones start so. They grow to at least
    // twice their old size, so that fills growing a little at a time do not allocate and
    // clear each time.
    if (pixelCount > pixelSumsSize) {
        const int64_t size = std::min(std::max(pixelCount, 2 * pixelSumsSize), kMaxGridPixels);
        pixelSums.reset(new (std::nothrow) PixelSums[static_cast<std::size_t>(size)]());
        pixelSumsSize = pixelSums != nullptr ? size : 0;
    }
    if (wordCount > pixelBitsSize) {
        constexpr int64_t kMostWords = int64_t{2} * kMaxHeight * (kMaxWidth / 64);
        const int64_t size = std::min(std::max(wordCount, 2 * pixelBitsSize), kMostWords);
        pixelBits.reset(new (std::nothrow) uint64_t[static_cast<std::size_t>(size)]());
        pixelBitsSize = pixelBits != nullptr ? size : 0;
    }
    if (pixelSums == nullptr || pixelBits == nullptr) {
        return false;
    }
    grid.sums = pixelSums.get();
    grid.even = pixelBits.get();
    grid.odd = grid.even + static_cast<std::ptrdiff_t>(grid.rows) * grid.words;
    PixelSums* const sums = grid.sums;
    const std::ptrdiff_t stride = grid.stride;
    const std::ptrdiff_t words = grid.words;
    const auto add = [sums, stride, words, minRow, minColumn](Cell c, uint64_t* bits) {
        const auto r = static_cast<std::ptrdiff_t>(cellword::row(c) - minRow);
        const auto x = static_cast<std::ptrdiff_t>(cellword::column(c) - minColumn);
        const uint32_t share = kMaxPosition - cellword::position(c);
        const uint32_t isDown = c & cellword::kDownBit;
        PixelSums& at = sums[r * stride + x];
        at.down += share & (0u - isDown);
        at.up += share & (isDown - 1u);
        at.wind += 2 * static_cast<int32_t>(isDown) - 1;
        bits[r * words + x / 64] |= uint64_t{1} << (x % 64);
    };
    uint64_t* const even = grid.even;
    uint64_t* const odd = grid.odd;
    const Cell* it = first;
    for (; last - it >= 2; it += 2) {
        add(it[0], even);
        add(it[1], odd);
    }
    if (it != last) {
        add(*it, even);
    }
    sweepSolidFill([&grid](auto& writer) { sweepGrid(grid, writer); }, spans, fillRule);
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
            const SolidSpans spans(target, pitch, solid->colour);
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
