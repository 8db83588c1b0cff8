// The recorder's music time. Nothing is heard while recording, so play time is a counter
// of milliseconds that only the show's own reads move: drawing a frame costs no time,
// and every read of the play time returns the current instant and then advances it by
// one millisecond. The clock's busy wait therefore reads its way up to exactly the tick
// boundary it waits for: every frame is on time, none is skipped, and each frame is
// presented at its tick boundary. The same show always gives the same times.
#pragma once

#include <cstdint>

#include "driver/PlayTimeSource.h"
#include "driver/WallClock.h"

class VirtualPlayTime final : public PlayTimeSource, public WallClock {
public:
    // Returns the next instant and moves past it.
    uint32_t playTime() override;
    // The stall guard's wall clock is the same counter: it moves with every read, so a
    // wait never looks stalled.
    uint64_t wallMilliseconds() override { return next; }
    // The instant the show has reached: the last play time it read (0 before any read).
    uint32_t now() const { return reached; }

private:
    uint32_t next = 0;
    uint32_t reached = 0;
};
