// sweep: the sorted cells, row by row and left to right, become coverage. A pixel's
// coverage is the winding carried in from the left (128 per half-scanline) plus the
// share of its own crossings to the right of their position; runs between two crossing
// pixels take the carried winding alone. Integers only.
#include <cstddef>
#include <cstdlib>
#include <cstring>
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
// is worked out into alphas first: a crossing pixel gets its coverage (all its crossings
// summed in one inner loop, up shares and down shares apart, as the plain sweep keeps
// them), the run up to the next crossing pixel the winding carried. The alphas are then
// composited together, several pixels a step; a long run of one alpha is composited as
// one colour instead, and a long run of nothing is skipped. Every pixel is composited at
// most once per fill, so the order does not change any pixel. A row starts with no winding
// and ends at its last crossing pixel.
// composite(pixels, alphas, count) puts the colour under count pixels, each at its alpha;
// it may read the alphas up to seven bytes past count.
template <bool kEvenOdd, class Composite>
__attribute__((always_inline)) inline void sweepRows(const Cell* it, const Cell* const last,
                                                     const SolidSpans& spans,
                                                     const Composite& composite) {
    // Runs at least this long leave the alphas and go their own way.
    constexpr int32_t kLongRun = 32;
    const auto alphaOf = [](int32_t v) {
        return kEvenOdd ? Rasterizer::evenOddAlpha(v) : Rasterizer::nonZeroAlpha(v);
    };
    // One row's alphas by column, with room for the wide reads past the last one.
    uint8_t alphas[Rasterizer::kMaxWidth + 40];
    while (it != last) {
        const uint32_t row = cellword::row(*it);
        uint32_t* const rowPixels = spans.row(row);
        int32_t wind = 0;
        auto previous = static_cast<int32_t>(cellword::column(*it));
        // Alphas from here to previous are waiting to be composited.
        int32_t pending = previous;
        do {
            const Cell key = cellword::pixelKey(*it);
            const auto col = static_cast<int32_t>(cellword::column(*it));
            const int32_t runLength = col - previous - 1;
            if (runLength > 0) {
                const int32_t a = wind != 0 ? alphaOf(wind * kHalfScanline) : 0;
                if (runLength >= kLongRun) {
                    composite(rowPixels + pending, alphas + pending, previous + 1 - pending);
                    spans.run(rowPixels, previous + 1, runLength, a);
                    pending = col;
                } else {
                    // Eight alphas a store: what lands past the run is written over by the
                    // pixels to its right before it is read, or lies past the row's end.
                    const uint64_t eight = uint64_t{0x0101010101010101} * static_cast<uint64_t>(a);
                    for (int32_t x = previous + 1; x < col; x += 8) {
                        std::memcpy(alphas + x, &eight, sizeof eight);
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
            alphas[col] = static_cast<uint8_t>(cov != 0 ? alphaOf(cov) : 0);
            previous = col;
        } while (it != last && cellword::row(*it) == row);
        composite(rowPixels + pending, alphas + pending, previous + 1 - pending);
    }
}

template <bool kEvenOdd>
void sweepSolid(const Cell* it, const Cell* const last, const SolidSpans& spans) {
    const uint32_t full = spans.colour();
    sweepRows<kEvenOdd>(it, last, spans,
                        [full](uint32_t* pixels, const uint8_t* alphas, int32_t n) {
                            compositing::underCoveragePixels(pixels, alphas, n, full);
                        });
}

#if defined(__x86_64__) || defined(__i386__)
// sweepSolid with the spans composited eight pixels a step; only when hasAvx2().
template <bool kEvenOdd>
__attribute__((target("avx2"))) void sweepSolidAvx2(const Cell* it, const Cell* const last,
                                                    const SolidSpans& spans) {
    const compositing::CoverageLanesAvx2 lanes(spans.colour());
    sweepRows<kEvenOdd>(
        it, last, spans,
        [&lanes](uint32_t * pixels, const uint8_t* alphas, int32_t n)
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
