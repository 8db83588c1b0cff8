// Committed virtual memory: Windows backs a page with a zero page on its first touch.
#include "raster/ZeroedPages.h"

#include <windows.h>

void* zeroedpages::allocate(std::size_t bytes) {
    if (bytes == 0) {
        return nullptr;
    }
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void zeroedpages::release(void* memory, std::size_t /*bytes*/) {
    if (memory != nullptr) {
        VirtualFree(memory, 0, MEM_RELEASE);
    }
}
