// Records the largest single operator new request while tracking is on, so tests can
// show that damaged input never makes the code under test reserve large storage.
#pragma once

#include <cstddef>

namespace allocationtracker {
void start();
// Stops tracking and returns the largest request since start.
std::size_t stop();
} // namespace allocationtracker
