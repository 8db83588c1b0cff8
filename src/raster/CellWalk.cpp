// emitLine: one straight piece to one cell per half-scanline it crosses. The walk is the
// integer form of x(j) = xStart + xStep * ceil(j * dx / dy) on half-scanline yTop + j;
// every float reaches fixed point through fixedFloor, which clamps before it converts.
#include <algorithm>
#include <cmath>

#include "geometry/Transform2D.h"
#include "raster/Rasterizer.h"

namespace {

// floor(v) as a 32-bit integer, clamped to +-kFixedLimit. v is finite. Clamping first
// makes the conversion defined for any magnitude; the slope of a clamped edge changes
// but its crossings keep their direction, so windings stay balanced.
int32_t fixedFloor(double v) {
    constexpr double limit = static_cast<double>(Rasterizer::kFixedLimit);
    const double floored = std::floor(v);
    if (floored <= -limit) {
        return -Rasterizer::kFixedLimit;
    }
    if (floored >= limit) {
        return Rasterizer::kFixedLimit;
    }
    return static_cast<int32_t>(floored);
}

bool finite(float x0, float y0, float x1, float y1) {
    return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1);
}

constexpr double kSubpixels = 256.0;
constexpr double kHalfScanlines = 2.0;

} // namespace

void Rasterizer::emitLine(float x0, float y0, float x1, float y1) {
    if (x0 == x1 && y0 == y1) {
        return;
    }
    // A segment with a non-finite end has no sensible crossings; it is dropped before
    // it can spoil the bounding box handed to the paint.
    if (!finite(x0, y0, x1, y1)) {
        return;
    }
    // Only start points feed the minimum and only end points the maximum; for closed
    // outlines that is every point in both.
    if (y0 <= boundsMinY) {
        boundsMinY = y0;
    }
    if (y1 >= boundsMaxY) {
        boundsMaxY = y1;
    }
    if (x0 <= boundsMinX) {
        boundsMinX = x0;
    }
    if (x1 >= boundsMaxX) {
        boundsMaxX = x1;
    }

    if (transform != nullptr && !transform->isIdentity) {
        transform->map(x0, y0);
        transform->map(x1, y1);
        // A huge matrix can overflow to infinity or produce NaN: drop what cannot be placed.
        if (!finite(x0, y0, x1, y1)) {
            return;
        }
    }

    // 256 * x and 2 * y of a float are exact in double.
    const int32_t xLeft = fixedFloor(kSubpixels * static_cast<double>(x0 < x1 ? x0 : x1));
    const int32_t xRight = fixedFloor(kSubpixels * static_cast<double>(x0 < x1 ? x1 : x0));
    const bool down = y0 < y1;
    const float topX = down ? x0 : x1;
    const float topY = down ? y0 : y1;
    const float bottomX = down ? x1 : x0;
    const float bottomY = down ? y1 : y0;
    const int32_t yTop = fixedFloor(kHalfScanlines * static_cast<double>(topY));
    const int32_t yBottom = fixedFloor(kHalfScanlines * static_cast<double>(bottomY));
    if (yTop == yBottom) {
        return;
    }
    const int32_t xStart = fixedFloor(kSubpixels * static_cast<double>(topX));
    const int32_t xStep = bottomX > topX ? 1 : -1;
    const Cell direction = down ? 1u : 0u;

    // Both at most 2 * kFixedLimit, so err (<= dx + dy) stays within 31 bits.
    const int32_t dx = xRight - xLeft;
    const int32_t dy = yBottom - yTop;
    const int32_t yEnd = std::min(yBottom, 2 * height);

    int32_t x = xStart;
    int32_t err = dy;
    int32_t k = yTop;
    // Nothing to do below the target or wholly above it (yBottom <= 0). The top clip
    // relies on the second: its jump is only bounded by dx while -k < dy.
    if (k >= yEnd || yEnd <= 0) {
        return;
    }
    if (k < 0) {
        // Jump over the half-scanlines above the target at once. dx * -k can pass 31 bits;
        // since -k < dy here, the resulting move stays within dx.
        const int64_t skipped = static_cast<int64_t>(dx) * static_cast<int64_t>(-k);
        int64_t wideErr = static_cast<int64_t>(dy) + skipped;
        if (wideErr > dy) {
            const int64_t q = (wideErr - 1) / dy;
            x += xStep * static_cast<int32_t>(q);
            wideErr -= q * dy;
        }
        err = static_cast<int32_t>(wideErr);
        k = 0;
    }

    const int32_t maxX = 256 * width - 1;
    Cell* out = cellEnd;
    Cell* limit = cells.get() + cellCapacity;
    for (; k < yEnd; ++k) {
        if (out == limit) {
            cellEnd = out;
            if (!growCells()) {
                return;
            }
            out = cellEnd;
            limit = cells.get() + cellCapacity;
        }
        const int32_t clampedX = std::clamp(x, 0, maxX);
        *out++ = (static_cast<Cell>(k >> 1) << 21) | (static_cast<Cell>(clampedX) << 1) | direction;
        err += dx;
        if (err > dy) {
            const int32_t q = (err - 1) / dy;
            x += xStep * q;
            err -= q * dy;
        }
    }
    cellEnd = out;
}
