// A pixel format: bits per pixel and the channel masks. The console shows 32-bit pixels
// with red, green and blue in bits 16-23, 8-15 and 0-7 and ignores the top byte.
#pragma once

#include <cstdint>

namespace ptc {

class Format {
public:
    Format(int32_t bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha = 0)
        : bitCount(bits), redMask(red), greenMask(green), blueMask(blue), alphaMask(alpha) {}

    int32_t bits() const { return bitCount; }
    uint32_t alpha() const { return alphaMask; }
    // True for the one layout the console displays.
    bool isDirect32() const {
        return bitCount == 32 && redMask == 0xFF0000u && greenMask == 0x00FF00u &&
               blueMask == 0x0000FFu;
    }

private:
    int32_t bitCount;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
};

} // namespace ptc
