// What the show needs from its pacing clock: a settable tick length, one reset at
// start-up, and a wait for the end of the current tick that returns the whole ticks missed.
#pragma once

#include <cstdint>

class TickClock {
public:
    virtual ~TickClock() = default;
    virtual void setTickLength(uint32_t ms) = 0;
    virtual void resetClock() = 0;
    virtual int32_t waitNextTick() = 0;
};
