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

    // writeSolidSpan of the one pixel rowPixels[x].
    void pixel(uint32_t* rowPixels, int32_t x, int32_t alpha) const {
        using namespace compositing;
        const uint32_t src = colourAt(alpha);
        const uint32_t a = alphaByte(src);
        uint32_t* const at = rowPixels + x;
        const uint32_t d = *at;
        const uint32_t da = alphaByte(d);
        if (a == 0 || da == kOpaque) {
            return;
        }
        *at = da == 0 ? src : under(d, src, a);
    }

private:
    uint32_t colourAt(int32_t alpha) const {
        return alpha == kMaxAlpha ? full : compositing::scale(full, static_cast<uint32_t>(alpha));
    }

    uint32_t* target;
    int32_t pitch;
    uint32_t full;
    uint32_t fullAlpha;
};

// Rasterizer::sweep for a SolidPaint, with the fill rule fixed at compile time and the
// span writer inlined, taken a pixel at a time: all crossings of one pixel are summed in
// one inner loop (up shares and down shares apart, as the plain sweep keeps them), the
// pixel gets its coverage, and the run up to the next crossing pixel gets the winding.
// A row starts with no winding and ends at its last crossing pixel.
template <bool kEvenOdd>
void sweepSolid(const Cell* it, const Cell* const last, const SolidSpans& spans) {
    const auto alphaOf = [](int32_t v) {
        return kEvenOdd ? Rasterizer::evenOddAlpha(v) : Rasterizer::nonZeroAlpha(v);
    };
    while (it != last) {
        const uint32_t row = cellword::row(*it);
        uint32_t* const rowPixels = spans.row(row);
        int32_t wind = 0;
        int32_t previous = 0;
        do {
            const Cell key = cellword::pixelKey(*it);
            const auto col = static_cast<int32_t>(cellword::column(*it));
            if (wind != 0) {
                const int32_t a = alphaOf(wind * kHalfScanline);
                if (a != 0) {
                    spans.run(rowPixels, previous + 1, col - previous - 1, a);
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
            if (cov != 0) {
                const int32_t a = alphaOf(cov);
                if (a != 0) {
                    spans.pixel(rowPixels, col, a);
                }
            }
            previous = col;
        } while (it != last && cellword::row(*it) == row);
    }
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
                if (fillRule == FillRule::kEvenOdd) {
                    sweepSolid<true>(cells.get(), cellEnd, spans);
                } else {
                    sweepSolid<false>(cells.get(), cellEnd, spans);
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
