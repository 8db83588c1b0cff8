// Records, while tracking is on, the largest single operator new request and the peak of
// the bytes held by blocks allocated since start, so tests can show that damaged input
// never makes the code under test reserve large storage.
#pragma once

#include <cstddef>

namespace allocationtracker {
void start();
// Stops tracking and returns the largest request since start.
std::size_t stop();
// After stop: the most bytes that blocks allocated during tracking held at one time
// (blocks freed during tracking that were allocated before it count against the total).
std::size_t peakBytes();
} // namespace allocationtracker
