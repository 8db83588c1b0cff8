// sweep: the sorted cells, row by row and left to right, become coverage. A pixel's
// coverage is the winding carried in from the left (128 per half-scanline) plus the
// share of its own crossings to the right of their position; runs between two crossing
// pixels take the carried winding alone. Integers only.
#include <cstddef>
#include <cstdlib>
#include <typeinfo>

#include "geometry/SolidPaint.h"
#include "raster/Compositing.h"
#include "raster/Rasterizer.h"

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

    // writeSolidSpan of count pixels from rowPixels[x] on. Most runs between two crossing
    // pixels of a small shape are a few pixels long: those are blended here, inline.
    void run(uint32_t* rowPixels, int32_t x, int32_t count, int32_t alpha) const {
        constexpr int32_t kShortRun = 8;
        if (count <= 0) {
            return;
        }
        const uint32_t src = colourAt(alpha);
        if (compositing::alphaByte(src) == 0) {
            return;
        }
        if (count < kShortRun) {
            compositing::underPixels(rowPixels + x, count, src);
        } else {
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

// Rasterizer::sweep for a SolidPaint, with the fill rule fixed at compile time. Each row
// is worked out into alphas, eight pixels at a time in one word: a crossing pixel gets its
// coverage (all its crossings summed in one inner loop, up shares and down shares apart,
// as the plain sweep keeps them), the run up to the next crossing pixel the winding
// carried. Each word is composited in one step once the row moves past it; a long run of
// one alpha is composited as one colour instead. Every pixel is composited at most once
// per fill, so the order does not change any pixel. A row starts with no winding and ends
// at its last crossing pixel.
//
// composite(pixels, alphas, count) puts the colour under count <= 8 pixels, pixel i at the
// alpha in byte i of alphas.
template <bool kEvenOdd, class Composite>
__attribute__((always_inline)) inline void sweepRows(const Cell* it, const Cell* const last,
                                                     const SolidSpans& spans,
                                                     const Composite& composite) {
    // Runs at least this long leave the alpha words and go their own way.
    constexpr int32_t kLongRun = 16;
    constexpr int32_t kWord = 8;
    constexpr uint64_t kEveryByte = 0x0101010101010101u;
    const auto alphaOf = [](int32_t v) {
        return kEvenOdd ? Rasterizer::evenOddAlpha(v) : Rasterizer::nonZeroAlpha(v);
    };
    // Bytes [from, to) of a word, 0 <= from < to <= 8.
    const auto bytes = [](int32_t from, int32_t to) {
        const uint64_t below = to == kWord ? ~uint64_t{0} : (uint64_t{1} << (8 * to)) - 1u;
        return below & ~((uint64_t{1} << (8 * from)) - 1u);
    };
    while (it != last) {
        const uint32_t row = cellword::row(*it);
        uint32_t* const rowPixels = spans.row(row);
        int32_t wind = 0;
        auto previous = static_cast<int32_t>(cellword::column(*it));
        // The alphas of columns wordStart.. in the bytes of alphas, not yet composited.
        int32_t wordStart = previous;
        uint64_t alphas = 0;
        // Composites the word's first count pixels and starts the next word at column next.
        const auto putDown = [&](int32_t count, int32_t next) {
            if (alphas != 0) {
                composite(rowPixels + wordStart, alphas, count);
                alphas = 0;
            }
            wordStart = next;
        };
        do {
            const Cell key = cellword::pixelKey(*it);
            const auto col = static_cast<int32_t>(cellword::column(*it));
            const int32_t runLength = col - previous - 1;
            if (runLength > 0) {
                const int32_t a = wind != 0 ? alphaOf(wind * kHalfScanline) : 0;
                if (runLength >= kLongRun) {
                    putDown(previous + 1 - wordStart, col);
                    spans.run(rowPixels, previous + 1, runLength, a);
                } else if (a != 0) {
                    const uint64_t fill = kEveryByte * static_cast<uint64_t>(a);
                    for (int32_t x = previous + 1; x < col;) {
                        if (x >= wordStart + kWord) {
                            putDown(kWord, x);
                        }
                        const int32_t to = std::min(col - wordStart, kWord);
                        alphas |= fill & bytes(x - wordStart, to);
                        x = wordStart + to;
                    }
                }
            }
            const int32_t w0 = wind;
            uint32_t up = 0;
            uint32_t down = 0;
            do {
                const Cell c = *it;
                const uint32_t share = kMaxPosition - cellword::position(c);
                const uint32_t isUp = c & cellword::kDownBit;
                wind += 2 * static_cast<int32_t>(isUp) - 1;
                up += share & (0u - isUp);
                down += share & (isUp - 1u);
                ++it;
            } while (it != last && cellword::pixelKey(*it) == key);
            const int32_t cov =
                w0 * kHalfScanline + partialCoverageOf(up) - partialCoverageOf(down);
            if (col >= wordStart + kWord) {
                putDown(kWord, col);
            }
            const auto a = static_cast<uint64_t>(cov != 0 ? alphaOf(cov) : 0);
            alphas |= a << (8 * (col - wordStart));
            previous = col;
        } while (it != last && cellword::row(*it) == row);
        putDown(previous + 1 - wordStart, 0);
    }
}

template <bool kEvenOdd>
void sweepSolid(const Cell* it, const Cell* const last, const SolidSpans& spans) {
    const uint32_t full = spans.colour();
    sweepRows<kEvenOdd>(it, last, spans, [full](uint32_t* pixels, uint64_t alphas, int32_t n) {
        compositing::underEight(pixels, alphas, n, full);
    });
}

#if defined(__x86_64__) || defined(__i386__)
// sweepSolid with each word of alphas composited in one step; only when hasAvx2().
template <bool kEvenOdd>
__attribute__((target("avx2"))) void sweepSolidAvx2(const Cell* it, const Cell* const last,
                                                    const SolidSpans& spans) {
    const compositing::CoverageLanesAvx2 lanes(spans.colour());
    sweepRows<kEvenOdd>(
        it, last, spans,
        [&lanes](uint32_t * pixels, uint64_t alphas, int32_t n)
            __attribute__((target("avx2"))) { lanes.under(pixels, alphas, n); });
    _mm256_zeroupper();
}
#else
template <bool kEvenOdd>
void sweepSolidAvx2(const Cell* it, const Cell* const last, const SolidSpans& spans) {
    sweepSolid<kEvenOdd>(it, last, spans);
}
#endif

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
                const bool wide = compositing::hasAvx2();
                if (fillRule == FillRule::kEvenOdd) {
                    wide ? sweepSolidAvx2<true>(cells.get(), cellEnd, spans)
                         : sweepSolid<true>(cells.get(), cellEnd, spans);
                } else {
                    wide ? sweepSolidAvx2<false>(cells.get(), cellEnd, spans)
                         : sweepSolid<false>(cells.get(), cellEnd, spans);
                }
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
