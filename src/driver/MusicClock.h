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
    // waitNextTick in two halves: startWait reads the play time once and settles the
    // missed ticks and the boundary; each waitOver is one read of the busy wait.
    int32_t startWait() override;
    bool waitOver() override;

    uint32_t tickLength = 0;
    uint32_t tickStart = 0;
    uint32_t origin = 0;

private:
    // Begins the wait for boundary: the first read of play time and wall clock.
    void beginSpin(uint32_t boundary);

    PlayTimeSource& source;
    WallClock& wall;
    // The wait in progress: its boundary, the last play time read and the wall-clock time
    // it last changed.
    uint32_t boundary = 0;
    uint32_t lastRead = 0;
    uint64_t lastChange = 0;
    bool waiting = false;
};
