// PNG output through libpng's simplified writer (no setjmp in our code).
#include "PngFile.h"

#include <cstddef>
#include <vector>

#include <png.h>

namespace {
constexpr int32_t kRgbBytes = 3;
}

bool writePng(const std::string& fileName, const uint32_t* pixels, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return false;
    }
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
    const int ok = png_image_write_to_file(&image, fileName.c_str(), 0, rgb.data(),
                                           width * kRgbBytes, nullptr);
    png_image_free(&image);
    return ok != 0;
}
