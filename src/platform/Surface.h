// An off-screen 32-bit surface in memory. lock() hands out its pixels (pitch = width,
// top row first); they persist from frame to frame. copy() loads them into a console.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Console.h"
#include "platform/Format.h"

namespace ptc {

class Surface {
public:
    Surface(int32_t width, int32_t height, const Format& format);
    uint32_t* lock();
    void unlock();
    void copy(Console& console);
    int32_t width() const { return surfaceWidth; }
    int32_t height() const { return surfaceHeight; }

private:
    int32_t surfaceWidth;
    int32_t surfaceHeight;
    std::unique_ptr<uint32_t[]> pixels;
    bool locked = false;
};

} // namespace ptc
