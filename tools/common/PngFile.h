// Writes a 0xAARRGGBB pixel buffer (pitch = width) as an 8-bit RGB PNG; alpha is dropped.
#pragma once

#include <cstdint>
#include <string>

bool writePng(const std::string& fileName, const uint32_t* pixels, int32_t width, int32_t height);
