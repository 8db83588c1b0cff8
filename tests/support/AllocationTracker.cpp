// Replaces the global operator new and delete of the test programs that use the tracker.
#include "support/AllocationTracker.h"

#include <cstdlib>
#include <new>

namespace {
bool tracking = false;
std::size_t largest = 0;
} // namespace

void allocationtracker::start() {
    largest = 0;
    tracking = true;
}

std::size_t allocationtracker::stop() {
    tracking = false;
    return largest;
}

void* operator new(std::size_t size) {
    if (tracking && size > largest) {
        largest = size;
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

// Every other form goes through the two above, so a sanitizer sees matching pairs.
void* operator new[](std::size_t size) {
    return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return ::operator new(size, tag);
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
