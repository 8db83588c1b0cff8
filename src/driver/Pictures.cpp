// Raw 24-bit pictures and the copy, overlay and grey-noise passes over 32-bit pixels.
// The noise is a 31-bit Fibonacci shift register: b[n+31] = b[n] XOR b[n+3].
#include "driver/Pictures.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

#include "driver/FrameScale.h"
#include "driver/MissingData.h"
#include "movie/DataFile.h"

uint32_t noiseState = 0x12345;

namespace {

// width x height as a pixel count; 0 when the product is not positive or overflows.
size_t pixelCount(int32_t width, int32_t height) {
    const int64_t count = int64_t{width} * int64_t{height};
    return count > 0 && count <= INT32_MAX ? static_cast<size_t>(count) : 0;
}

constexpr uint32_t kColourBytes = 0x00ffffffu;

// One step of the noise register: the 4-bit grey level it gives, and its next state.
uint32_t nextNoiseLevel(uint32_t& s) {
    const uint32_t feedback = (s ^ (s >> 3)) & 1u;
    const uint32_t level = ((s >> 5) ^ (s >> 8)) & 0xFu;
    s = (feedback << 30) | (s >> 1);
    return level;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::unique_ptr<uint32_t[]> loadRawPicture(const char* fileName, int32_t width, int32_t height) {
    const size_t count = pixelCount(width, height);
    // Value-initialised: whatever the file does not supply stays black.
    auto picture = std::make_unique<uint32_t[]>(count);
    auto bytes = std::make_unique<uint8_t[]>(count * 3);
    size_t got = 0;
    const int fd = openDataFile(fileName);
    if (fd < 0) {
        reportMissingData(fileName, errno);
    } else {
        if (std::unique_ptr<std::FILE, FileCloser> file{fdopen(fd, "rb")}) {
            got = std::fread(bytes.get(), 1, count * 3, file.get());
        } else {
            close(fd);
        }
    }
    for (size_t i = 0; i < got / 3; ++i) {
        const uint8_t* rgb = &bytes[3 * i];
        picture[i] = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | uint32_t{rgb[2]};
    }
    return picture;
}

void copyPixels(uint32_t* dst, const uint32_t* src, int32_t width, int32_t height) {
    const size_t count = pixelCount(width, height);
    for (size_t i = 0; i < count; ++i) {
        dst[i] = src[i];
    }
}

void overlayPixels(uint32_t* dst, const uint32_t* src, int32_t width, int32_t height) {
    const size_t count = pixelCount(width, height);
    for (size_t i = 0; i < count; ++i) {
        if (src[i] != 0) {
            dst[i] = src[i];
        }
    }
}

void addGreyNoise(uint32_t* pixels, int32_t width, int32_t height) {
    const size_t count = pixelCount(width, height);
    uint32_t s = noiseState;
    for (size_t i = 0; i < count; ++i) {
        pixels[i] |= nextNoiseLevel(s) * 0x010101u;
    }
    noiseState = s;
}

void scaleOverlay(const uint32_t* src, int32_t width, int32_t height, uint32_t* dst,
                  int32_t dstWidth, int32_t dstHeight) {
    const size_t count = pixelCount(width, height);
    const size_t dstCount = pixelCount(dstWidth, dstHeight);
    if (count == 0 || dstCount == 0) {
        return;
    }
    std::vector<uint32_t> opacity(count);
    for (size_t i = 0; i < count; ++i) {
        opacity[i] = (src[i] & kColourBytes) != 0 ? 0xffu : 0u;
    }
    std::vector<uint32_t> enlargedOpacity(dstCount);
    scaleSharp(opacity.data(), width, height, enlargedOpacity.data(), dstWidth, dstHeight);
    scaleSharp(src, width, height, dst, dstWidth, dstHeight);
    for (size_t i = 0; i < dstCount; ++i) {
        dst[i] = (dst[i] & kColourBytes) | (enlargedOpacity[i] & 0xffu) << 24;
    }
}

void blendOverlay(uint32_t* dst, const uint32_t* over, int32_t width, int32_t height) {
    const size_t count = pixelCount(width, height);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t o = over[i];
        const uint32_t a = o >> 24;
        if (a == 0) {
            continue;
        }
        const uint32_t keep = 0xffu - a;
        uint32_t out = 0;
        for (uint32_t shift = 0; shift <= 16; shift += 8) {
            const uint32_t under = (dst[i] >> shift & 0xffu) * keep;
            const uint32_t v = (o >> shift & 0xffu) + (under + 127u) / 255u;
            out |= std::min(v, 0xffu) << shift;
        }
        dst[i] = (dst[i] & ~kColourBytes) | out;
    }
}

void addGreyNoiseScaled(uint32_t* pixels, int32_t width, int32_t height, int32_t dstWidth,
                        int32_t dstHeight) {
    const size_t count = pixelCount(width, height);
    if (count == 0 || pixelCount(dstWidth, dstHeight) == 0) {
        return;
    }
    std::vector<uint32_t> levels(count);
    uint32_t s = noiseState;
    for (size_t i = 0; i < count; ++i) {
        levels[i] = nextNoiseLevel(s) * 0x010101u;
    }
    noiseState = s;
    std::vector<size_t> columns(static_cast<size_t>(dstWidth));
    for (int32_t x = 0; x < dstWidth; ++x) {
        columns[static_cast<size_t>(x)] = static_cast<size_t>(int64_t{x} * width / dstWidth);
    }
    for (int32_t y = 0; y < dstHeight; ++y) {
        const int64_t sourceRow = int64_t{y} * height / dstHeight;
        const uint32_t* row = levels.data() + sourceRow * width;
        uint32_t* out = pixels + int64_t{y} * dstWidth;
        for (int32_t x = 0; x < dstWidth; ++x) {
            out[x] |= row[columns[static_cast<size_t>(x)]];
        }
    }
}
