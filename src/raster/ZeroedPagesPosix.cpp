// Anonymous private mappings: the kernel hands out a zero page on a page's first touch.
#include "raster/ZeroedPages.h"

#include <sys/mman.h>

void* zeroedpages::allocate(std::size_t bytes) {
    if (bytes == 0) {
        return nullptr;
    }
    void* const memory =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

void zeroedpages::release(void* memory, std::size_t bytes) {
    if (memory != nullptr) {
        munmap(memory, bytes);
    }
}
