// The monotonic system clock in milliseconds.
#include "driver/WallClock.h"

#include <chrono>

uint64_t SteadyWallClock::wallMilliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
