// Writes a 0xAARRGGBB pixel buffer (pitch = width) as an 8-bit RGB PNG; alpha is dropped.
// The picture is compressed in memory first, so that a failed write leaves errno as the
// system set it for this file, not as libpng's clean-up left it.
#pragma once

#include <cstdint>
#include <string>

// False with errno set to the reason: the write's own for a file that cannot be written,
// EINVAL for an empty size, ENOMEM when the picture cannot be compressed.
bool writePng(const std::string& fileName, const uint32_t* pixels, int32_t width, int32_t height);
