// Fuzz target over the raw picture loader: the first eight bytes give the width and the
// height (signed, little-endian), the rest is the file's content. The loaded picture then
// goes through copy, overlay and noise with the same size. Sizes whose product is
// negative, zero or past 31 bits must give nothing to touch; sizes that fit are capped so
// that a run never asks for more than a few megabytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "driver/Pictures.h"

namespace {

constexpr size_t kSizeBytes = 8;
// Largest picture a run loads: 1024 x 1024 pixels.
constexpr int64_t kMaxPixels = int64_t{1} << 20;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "picture fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t width = 0;
    int32_t height = 0;
    if (size >= kSizeBytes) {
        std::memcpy(&width, data, sizeof width);
        std::memcpy(&height, data + sizeof width, sizeof height);
    }
    const int64_t product = int64_t{width} * int64_t{height};
    if (product > kMaxPixels && product <= INT32_MAX) {
        return 0; // a real picture that large is fine, only too slow for fuzzing
    }
    const size_t count = product > 0 && product <= INT32_MAX ? static_cast<size_t>(product) : 0;

    const int fd = memfd_create("picture", 0);
    if (fd < 0) {
        return 0;
    }
    const size_t contentSize = size > kSizeBytes ? size - kSizeBytes : 0;
    if (contentSize > 0 && write(fd, data + kSizeBytes, contentSize) < 0) {
        close(fd);
        return 0;
    }
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    std::unique_ptr<uint32_t[]> picture = loadRawPicture(name.c_str(), width, height);
    close(fd);
    check(picture != nullptr, "no picture returned");

    // Each pixel comes from its three bytes; where the file ran out it is black.
    const size_t whole = std::min(count, contentSize / 3);
    for (size_t i = 0; i < count; ++i) {
        uint32_t expected = 0;
        if (i < whole) {
            const uint8_t* rgb = data + kSizeBytes + 3 * i;
            expected = uint32_t{rgb[0]} << 16 | uint32_t{rgb[1]} << 8 | uint32_t{rgb[2]};
        }
        check(picture[i] == expected, "a pixel differs from its file bytes");
    }

    std::vector<uint32_t> frame(count, 0x01020304u);
    overlayPixels(frame.data(), picture.get(), width, height);
    addGreyNoise(frame.data(), width, height);
    copyPixels(frame.data(), picture.get(), width, height);
    check(std::equal(frame.begin(), frame.end(), picture.get()), "copy differs from the picture");
    return 0;
}
