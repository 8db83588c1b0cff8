// PNG output through libpng's simplified writer (no setjmp in our code), into memory; the
// file itself is written with plain stdio so that its errors are the system's.
#include "PngFile.h"

#include <png.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
constexpr int32_t kRgbBytes = 3;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The PNG bytes of the picture; empty when libpng refused it.
std::vector<uint8_t> encode(const uint32_t* pixels, int32_t width, int32_t height) {
    const auto count = static_cast<size_t>(width) * static_cast<size_t>(height);
    std::vector<uint8_t> rgb(count * kRgbBytes);
    for (size_t i = 0; i < count; ++i) {
        rgb[kRgbBytes * i] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[kRgbBytes * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[kRgbBytes * i + 2] = static_cast<uint8_t>(pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // The first call only measures; the second writes into a buffer of that size.
    png_alloc_size_t size = 0;
    std::vector<uint8_t> bytes;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), width * kRgbBytes,
                                  nullptr) != 0) {
        bytes.resize(size);
        if (png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), width * kRgbBytes,
                                      nullptr) == 0) {
            bytes.clear();
        }
        bytes.resize(size);
    }
    png_image_free(&image);
    return bytes;
}
} // namespace

bool writePng(const std::string& fileName, const uint32_t* pixels, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        errno = EINVAL;
        return false;
    }
    const std::vector<uint8_t> bytes = encode(pixels, width, height);
    if (bytes.empty()) {
        errno = ENOMEM;
        return false;
    }
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
    if (!file) {
        return false;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0) {
        // Closing may set errno again; the write's reason is the one to report.
        const int reason = errno;
        file.reset();
        errno = reason;
        return false;
    }
    return std::fclose(file.release()) == 0;
}
