// The processor form of the sharp 4:3 scaling. Each destination column and row is mapped
// once to two source indices and a weight; the pixels then only blend table entries.
#include "driver/FrameScale.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int64_t kWeightOne = 256;
constexpr uint32_t kOpaque = 0xff000000u;

struct Tap {
    int32_t first;  // source index of the left (upper) neighbour
    int32_t second; // source index of the right (lower) neighbour
    int32_t weight; // 0..255, the share of second
};

// Destination index d of dstSize samples the enlarged image (srcSize * factor wide) at
// (d + 1/2) * enlarged / dstSize - 1/2, here in 1/256 steps, clamped to its first and last
// pixel centres; enlarged pixel i is source pixel i / factor.
std::vector<Tap> taps(int32_t srcSize, int32_t factor, int32_t dstSize) {
    const int64_t enlarged = static_cast<int64_t>(srcSize) * factor;
    const int64_t last = (enlarged - 1) * kWeightOne;
    std::vector<Tap> out(static_cast<size_t>(dstSize));
    for (int32_t d = 0; d < dstSize; ++d) {
        const int64_t centre = (2 * static_cast<int64_t>(d) + 1) * enlarged * (kWeightOne / 2);
        // Floor division: the numerator is never negative.
        const int64_t u = std::clamp(centre / dstSize - kWeightOne / 2, int64_t{0}, last);
        const int64_t i0 = u / kWeightOne;
        const int64_t i1 = std::min(i0 + 1, enlarged - 1);
        out[static_cast<size_t>(d)] = {static_cast<int32_t>(i0 / factor),
                                       static_cast<int32_t>(i1 / factor),
                                       static_cast<int32_t>(u % kWeightOne)};
    }
    return out;
}

uint32_t channel(uint32_t pixel, int32_t shift) {
    return (pixel >> shift) & 0xffu;
}

// (a * (256 - w) + b * w) / 256 rounded, per colour byte.
uint32_t blend(uint32_t a, uint32_t b, int32_t weight) {
    if (weight == 0) {
        return a & 0x00ffffffu;
    }
    const uint32_t wb = static_cast<uint32_t>(weight);
    const uint32_t wa = static_cast<uint32_t>(kWeightOne) - wb;
    uint32_t out = 0;
    for (int32_t shift = 0; shift <= 16; shift += 8) {
        const uint32_t v = (channel(a, shift) * wa + channel(b, shift) * wb + 128u) >> 8;
        out |= v << shift;
    }
    return out;
}

} // namespace

FrameRect fitFourByThree(int32_t width, int32_t height) {
    FrameRect r{0, 0, width, height};
    if (static_cast<int64_t>(width) * 3 > static_cast<int64_t>(height) * 4) {
        r.w = static_cast<int32_t>(static_cast<int64_t>(height) * 4 / 3);
    } else {
        r.h = static_cast<int32_t>(static_cast<int64_t>(width) * 3 / 4);
    }
    r.x = (width - r.w) / 2;
    r.y = (height - r.h) / 2;
    return r;
}

int32_t sharpFactor(const FrameRect& target, int32_t frameWidth, int32_t frameHeight) {
    if (frameWidth <= 0 || frameHeight <= 0) {
        return 1;
    }
    return std::max(1, std::min(target.w / frameWidth, target.h / frameHeight));
}

FrameRect sharpFrameSize(int32_t shownWidth, int32_t shownHeight) {
    return {0, 0, std::clamp(shownWidth, kMinSharpWidth, kMaxSharpWidth),
            std::clamp(shownHeight, kMinSharpHeight, kMaxSharpHeight)};
}

void scaleSharp(const uint32_t* src, int32_t width, int32_t height, uint32_t* dst, int32_t dstWidth,
                int32_t dstHeight) {
    if (width <= 0 || height <= 0 || dstWidth <= 0 || dstHeight <= 0) {
        return;
    }
    const int32_t factor = sharpFactor(FrameRect{0, 0, dstWidth, dstHeight}, width, height);
    const std::vector<Tap> columns = taps(width, factor, dstWidth);
    const std::vector<Tap> rows = taps(height, factor, dstHeight);
    std::vector<uint32_t> upper(static_cast<size_t>(dstWidth));
    std::vector<uint32_t> lower(static_cast<size_t>(dstWidth));
    for (int32_t y = 0; y < dstHeight; ++y) {
        const Tap& row = rows[static_cast<size_t>(y)];
        const uint32_t* a = src + static_cast<int64_t>(row.first) * width;
        const uint32_t* b = src + static_cast<int64_t>(row.second) * width;
        uint32_t* out = dst + static_cast<int64_t>(y) * dstWidth;
        for (int32_t x = 0; x < dstWidth; ++x) {
            const Tap& c = columns[static_cast<size_t>(x)];
            upper[static_cast<size_t>(x)] = blend(a[c.first], a[c.second], c.weight);
            if (row.weight != 0) {
                lower[static_cast<size_t>(x)] = blend(b[c.first], b[c.second], c.weight);
            }
        }
        for (int32_t x = 0; x < dstWidth; ++x) {
            const size_t i = static_cast<size_t>(x);
            out[x] = kOpaque | (row.weight == 0 ? upper[i] : blend(upper[i], lower[i], row.weight));
        }
    }
}
