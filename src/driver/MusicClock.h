// Paces frames to the music's play time: ticks of tickLength ms starting at tickStart.
// A late frame realigns to the grid of tick boundaries anchored at origin (the reset
// time), whatever tick length is in force. All arithmetic is unsigned 32-bit.
#pragma once

#include <cstdint>

#include "driver/PlayTimeSource.h"
#include "driver/TickClock.h"
#include "driver/WallClock.h"

class MusicClock final : public TickClock {
public:
    // A wait gives up on play time that has not moved for this long (wall clock).
    static constexpr uint64_t kStallLimitMs = 500;

    // Both sources are borrowed for the clock's lifetime.
    MusicClock(PlayTimeSource& playTimeSource, WallClock& wallClock);

    void setTickLength(uint32_t ms) override;
    void resetClock() override;
    int32_t waitNextTick() override;

    uint32_t tickLength = 0;
    uint32_t tickStart = 0;
    uint32_t origin = 0;

private:
    // Reads the play time until it reaches boundary, or until it has stood still for
    // kStallLimitMs of wall-clock time.
    void spinUntil(uint32_t boundary);

    PlayTimeSource& source;
    WallClock& wall;
};
