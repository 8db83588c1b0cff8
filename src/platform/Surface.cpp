// Surface pixels start black.
#include "platform/Surface.h"

namespace ptc {

namespace {
constexpr int32_t kMaxSide = 16384;
}

Surface::Surface(int32_t width, int32_t height, const Format& format)
    : surfaceWidth(width), surfaceHeight(height) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        throw DynamicError("invalid surface size");
    }
    if (!format.isDirect32()) {
        throw DynamicError("unsupported surface format");
    }
    pixels = std::make_unique<uint32_t[]>(static_cast<size_t>(width) * static_cast<size_t>(height));
}

uint32_t* Surface::lock() {
    if (locked) {
        throw DynamicError("surface is already locked");
    }
    locked = true;
    return pixels.get();
}

void Surface::unlock() {
    if (!locked) {
        throw DynamicError("surface is not locked");
    }
    locked = false;
}

void Surface::copy(Console& console) {
    if (locked) {
        throw DynamicError("cannot copy a locked surface");
    }
    console.load(pixels.get(), surfaceWidth, surfaceHeight, surfaceWidth);
}

} // namespace ptc
