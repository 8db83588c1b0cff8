// Raw 24-bit pictures and the copy, overlay and grey-noise passes over 32-bit pixels.
// The noise is a 31-bit Fibonacci shift register: b[n+31] = b[n] XOR b[n+3].
#include "driver/Pictures.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include "driver/MissingData.h"
#include "movie/DataFile.h"

uint32_t noiseState = 0x12345;

namespace {

// width x height as a pixel count; 0 when the product is not positive or overflows.
size_t pixelCount(int32_t width, int32_t height) {
    const int64_t count = int64_t{width} * int64_t{height};
    return count > 0 && count <= INT32_MAX ? static_cast<size_t>(count) : 0;
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
        const uint32_t feedback = (s ^ (s >> 3)) & 1u;
        const uint32_t level = ((s >> 5) ^ (s >> 8)) & 0xFu;
        s = (feedback << 30) | (s >> 1);
        pixels[i] |= level * 0x010101u;
    }
    noiseState = s;
}
