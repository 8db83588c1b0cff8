// Wall-clock milliseconds, used only to notice music that has stopped advancing.
#pragma once

#include <cstdint>

class WallClock {
public:
    virtual ~WallClock() = default;
    virtual uint64_t wallMilliseconds() = 0;
};

// The monotonic system clock.
class SteadyWallClock final : public WallClock {
public:
    uint64_t wallMilliseconds() override;
};
