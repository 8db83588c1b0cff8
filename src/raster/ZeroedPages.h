// Large arrays that start all zero and take memory only where they are written: pages
// straight from the system. The heap is no good for them: once it has a freed block of the
// size, calloc clears it byte by byte, all of it, before the first fill has touched a page.
// One definition per system (ZeroedPages<System>.cpp). Internal to the rasterizer.
#pragma once

#include <cstddef>

namespace zeroedpages {

// bytes of zero, page-aligned; null for 0 bytes or when the system has no more.
void* allocate(std::size_t bytes);
// Gives back what allocate returned for the same byte count; null is ignored.
void release(void* memory, std::size_t bytes);

} // namespace zeroedpages
