// Constants of the movie stream: little-endian 32-bit words, a two-word header, then
// frames of shapes (colour, path count) of paths (tag, word count, words).
#pragma once

#include <cstdint>

namespace movieformat {
// Header word 0 (ignored by readers) and the frame count.
inline constexpr int32_t kHeaderWords = 2;
// Every path record starts with this word: the bytes "HTPZ" in file order.
inline constexpr uint32_t kPathTag = 0x5A505448u;
inline constexpr int32_t kBytesPerWord = 4;
} // namespace movieformat
