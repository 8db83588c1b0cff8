// What the show needs from its pacing clock: a settable tick length, one reset at
// start-up, and a wait for the end of the current tick that returns the whole ticks missed.
// The wait also comes in two halves for hosts that cannot block (a browser's frame
// callback): startWait settles the missed ticks at once, waitOver is then polled.
#pragma once

#include <cstdint>

class TickClock {
public:
    virtual ~TickClock() = default;
    virtual void setTickLength(uint32_t ms) = 0;
    virtual void resetClock() = 0;
    virtual int32_t waitNextTick() = 0;
    // Starts the wait for the end of the current tick and returns the ticks missed, as
    // waitNextTick does; a clock without a polled form waits here in full.
    virtual int32_t startWait() { return waitNextTick(); }
    // True once the tick started by startWait has ended. Never blocks.
    virtual bool waitOver() { return true; }
};
