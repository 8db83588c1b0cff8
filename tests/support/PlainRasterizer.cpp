// Straightforward on purpose: no incremental walk, no radix passes, no fast paths.

#include "support/PlainRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "geometry/Flattening.h"
#include "geometry/Path.h"
#include "geometry/Transform2D.h"
#include "raster/Rasterizer.h"

namespace {

int64_t fixedFloor(double v) {
    const double limit = Rasterizer::kFixedLimit;
    return static_cast<int64_t>(std::clamp(std::floor(v), -limit, limit));
}

uint32_t d255(uint32_t x) {
    return (x + (x >> 8) + 1) >> 8;
}

uint32_t byteOf(uint32_t colour, int shift) {
    return (colour >> shift) & 0xFFu;
}

uint32_t clampToAlpha(uint32_t c) {
    const uint32_t a = c >> 24;
    return (a << 24) | (std::min(byteOf(c, 16), a) << 16) | (std::min(byteOf(c, 8), a) << 8) |
           std::min(byteOf(c, 0), a);
}

int64_t ceilDiv(int64_t a, int64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
} // a >= 0, b > 0

} // namespace

void PlainRasterizer::beginPath() {
    penStartPending = true;
}

void PlainRasterizer::moveTo(float x, float y) {
    if (penStartPending) {
        penStartX = x;
        penStartY = y;
        penStartPending = false;
    }
    penX = x;
    penY = y;
}

void PlainRasterizer::lineTo(float x, float y) {
    emitLine(penX, penY, x, y);
    penX = x;
    penY = y;
}

void PlainRasterizer::quadTo(float cx, float cy, float x, float y) {
    const CurveSteps steps = quadSteps(penX, penY, cx, cy, x, y);
    flattening::quad(steps.count, steps.step, steps.squared, penX, penY, cx, cy, x, y,
                     [this](float px, float py) { lineTo(px, py); });
}

void PlainRasterizer::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    const CurveSteps steps = cubicSteps(penX, penY, c1x, c1y, c2x, c2y, x, y);
    flattening::cubic(steps.count, steps.step, steps.squared, steps.cubed, penX, penY, c1x, c1y,
                      c2x, c2y, x, y, [this](float px, float py) { lineTo(px, py); });
}

void PlainRasterizer::arcTo(float rx, float ry, float x, float y, float, float, float) {
    flattening::arc(arcStep(rx, ry), rx, ry, penX, penY, x, y,
                    [this](float px, float py) { lineTo(px, py); });
}

void PlainRasterizer::closePath() {
    emitLine(penX, penY, penStartX, penStartY);
    penX = penStartX;
    penY = penStartY;
    penStartPending = true;
}

void PlainRasterizer::emitLine(float x0, float y0, float x1, float y1) {
    if ((x0 == x1 && y0 == y1) || !std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) ||
        !std::isfinite(y1)) {
        return;
    }
    if (transform != nullptr && !transform->isIdentity()) {
        transform->map(x0, y0);
        transform->map(x1, y1);
        if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
            return;
        }
    }
    const bool down = y0 < y1;
    const float topX = down ? x0 : x1;
    const float bottomX = down ? x1 : x0;
    const int64_t yTop = fixedFloor(2.0 * double(down ? y0 : y1));
    const int64_t yBottom = fixedFloor(2.0 * double(down ? y1 : y0));
    const int64_t xStart = fixedFloor(256.0 * double(topX));
    const int64_t dx = std::abs(fixedFloor(256.0 * double(x1)) - fixedFloor(256.0 * double(x0)));
    const int64_t dy = yBottom - yTop;
    const int64_t xStep = bottomX > topX ? 1 : -1;
    for (int64_t k = std::max<int64_t>(yTop, 0); k < std::min<int64_t>(yBottom, 2 * height); ++k) {
        if (cells.size() >= static_cast<size_t>(Rasterizer::kMaxCellCapacity)) {
            return;
        }
        const int64_t x = std::clamp<int64_t>(xStart + xStep * ceilDiv((k - yTop) * dx, dy), 0,
                                              256 * int64_t{width} - 1);
        cells.push_back(
            cellword::pack(static_cast<uint32_t>(k / 2), static_cast<uint32_t>(x), down));
    }
}

void PlainRasterizer::setTarget(uint32_t* pixels, int32_t targetWidth, int32_t targetHeight,
                                int32_t targetPitch) {
    target = pixels;
    width = targetWidth;
    height = targetHeight;
    pitch = targetPitch;
}

void PlainRasterizer::clear() {
    std::fill(target, target + static_cast<ptrdiff_t>(height) * pitch, 0u);
}

void PlainRasterizer::fill(const Path& path, const Transform2D* fillTransform, uint32_t colour,
                           FillRule rule) {
    cells.clear();
    transform = fillTransform;
    fillRule = rule;
    path.emit(this);
    transform = nullptr;
    std::stable_sort(cells.begin(), cells.end());
    sweep(colour);
}

void PlainRasterizer::sweep(uint32_t colour) {
    const auto alphaOf = [this](int64_t v) -> int32_t {
        if (fillRule != FillRule::kEvenOdd) {
            return static_cast<int32_t>(std::min<int64_t>(std::abs(v), 255));
        }
        const int64_t u = ((v % 512) + 512) % 512;
        return static_cast<int32_t>(u < 256 ? u : 511 - u);
    };
    int32_t cx = 0, cy = 0;
    int64_t wind = 0, w0 = 0, up = 0, down = 0;
    const auto flush = [&] {
        const int64_t cov = w0 * 128 + up * 128 / 255 + down * 128 / 255;
        if (cov != 0 && alphaOf(cov) != 0) {
            writeSpan(cx, cy, 1, alphaOf(cov), colour);
        }
    };
    for (const uint32_t c : cells) {
        const auto col = static_cast<int32_t>(cellword::column(c));
        const auto row = static_cast<int32_t>(cellword::row(c));
        if (col != cx || row != cy) {
            flush();
            if (row == cy) {
                if (wind != 0 && alphaOf(wind * 128) != 0) {
                    writeSpan(cx + 1, cy, col - cx - 1, alphaOf(wind * 128), colour);
                }
                w0 = wind;
            } else {
                wind = w0 = 0;
                cy = row;
            }
            cx = col;
            up = down = 0;
        }
        const int64_t share = 255 - ((c >> 1) & 0xFFu);
        if (c & 1u) {
            ++wind;
            up += share;
        } else {
            --wind;
            down -= share;
        }
    }
    flush();
}

void PlainRasterizer::writeSpan(int32_t x, int32_t y, int32_t count, int32_t alpha,
                                uint32_t colour) {
    uint32_t src = clampToAlpha(colour);
    if (alpha < 255) {
        const auto a = static_cast<uint32_t>(alpha);
        src = (d255(byteOf(src, 24) * a) << 24) | (d255(byteOf(src, 16) * a) << 16) |
              (d255(byteOf(src, 8) * a) << 8) | d255(byteOf(src, 0) * a);
    }
    const uint32_t sa = src >> 24;
    if (sa == 0) {
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        uint32_t& p = target[static_cast<ptrdiff_t>(y) * pitch + x + i];
        const uint32_t da = p >> 24;
        if (da == 0) {
            p = src;
        } else if (da != 255) {
            uint32_t out = d255(65025 - (255 - da) * (255 - sa)) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                out |=
                    std::min(d255(byteOf(p, shift) * 255 + byteOf(src, shift) * (255 - da)), 255u)
                    << shift;
            }
            p = out;
        }
    }
}

void PlainRasterizer::resolveBackground(uint32_t colour) {
    for (int32_t row = 0; row < height; ++row) {
        for (int32_t col = 0; col < width; ++col) {
            uint32_t& p = target[static_cast<ptrdiff_t>(row) * pitch + col];
            const uint32_t da = p >> 24;
            if (da == 0) {
                p = colour | 0xFF000000u;
            } else if (da != 255) {
                uint32_t out = 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint32_t b = std::min(byteOf(p, shift), da);
                    out |= std::min(d255(byteOf(colour, shift) * (255 - da) + b * 255), 255u)
                           << shift;
                }
                p = out;
            }
        }
    }
}
