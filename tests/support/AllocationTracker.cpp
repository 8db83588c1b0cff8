// Replaces the global operator new and delete of the test programs that use the tracker.
// Block sizes come from the allocator (malloc_usable_size), so unsized deletes count too.
#include "support/AllocationTracker.h"

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
bool tracking = false;
std::size_t largest = 0;
int64_t held = 0;
int64_t peak = 0;

void noteFree(void* p) {
    if (tracking && p != nullptr) {
        held -= static_cast<int64_t>(malloc_usable_size(p));
    }
}
} // namespace

void allocationtracker::start() {
    largest = 0;
    held = 0;
    peak = 0;
    tracking = true;
}

std::size_t allocationtracker::stop() {
    tracking = false;
    return largest;
}

std::size_t allocationtracker::peakBytes() {
    return static_cast<std::size_t>(std::max<int64_t>(peak, 0));
}

void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    if (tracking) {
        largest = std::max(largest, size);
        held += static_cast<int64_t>(malloc_usable_size(p));
        peak = std::max(peak, held);
    }
    return p;
}

void operator delete(void* p) noexcept {
    noteFree(p);
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    noteFree(p);
    std::free(p);
}
