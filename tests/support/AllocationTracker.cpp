// Replaces the global operator new and delete of the test programs that use the tracker.
// Block sizes come from the allocator (allocatedSize: malloc_usable_size, or _msize on
// Windows), so unsized deletes count too.
#include "support/AllocationTracker.h"

#include "support/TestSystem.h"

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
        held -= static_cast<int64_t>(allocatedSize(p));
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

namespace {
void* allocate(std::size_t size) noexcept {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr && tracking) {
        largest = std::max(largest, size);
        held += static_cast<int64_t>(allocatedSize(p));
        peak = std::max(peak, held);
    }
    return p;
}

void release(void* p) noexcept {
    noteFree(p);
    std::free(p);
}
} // namespace

// Every form without alignment is replaced, so that no block is allocated by one allocator
// and freed by another (the sanitizer build checks that).
void* operator new(std::size_t size) {
    if (void* p = allocate(size)) {
        return p;
    }
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}

void operator delete(void* p) noexcept {
    release(p);
}

void operator delete[](void* p) noexcept {
    release(p);
}

void operator delete(void* p, std::size_t) noexcept {
    release(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
