// The busy-wait pacing of the show. Reads of play time are never cached: the on-time test
// reads once, and each spin reads again until the boundary is reached.
#include "driver/MusicClock.h"

#include <algorithm>
#include <cstdint>

MusicClock::MusicClock(PlayTimeSource& playTimeSource, WallClock& wallClock)
    : source(playTimeSource), wall(wallClock) {}

// A zero length would divide by zero in a late wait; the shortest tick is 1 ms.
void MusicClock::setTickLength(uint32_t ms) {
    tickLength = ms == 0 ? 1 : ms;
}

void MusicClock::resetClock() {
    tickStart = source.playTime();
    origin = tickStart;
}

int32_t MusicClock::waitNextTick() {
    const uint32_t now = source.playTime();
    if (now <= tickStart + tickLength) {
        spinUntil(tickStart + tickLength);
        tickStart += tickLength;
        return 0;
    }
    const uint32_t missed = (now - tickStart) / tickLength;
    tickStart = now - ((now - origin) % tickLength);
    spinUntil(tickStart + tickLength);
    tickStart += tickLength;
    // More than 2^31 ticks cannot be counted in the result; that many is as good as all.
    return static_cast<int32_t>(std::min<uint32_t>(missed, INT32_MAX));
}

// Play time stops when the audio device dies or is starved (a suspended machine, an
// unplugged headset). Spinning on forever would freeze the window with the quit keys
// unread, so after kStallLimitMs without progress the wait ends as if the tick had: the
// show keeps presenting frames at the pace of its own frame loop and can still be quit.
void MusicClock::spinUntil(uint32_t boundary) {
    uint32_t last = source.playTime();
    uint64_t lastChange = wall.wallMilliseconds();
    while (last < boundary) {
        const uint32_t t = source.playTime();
        const uint64_t w = wall.wallMilliseconds();
        if (t != last) {
            last = t;
            lastChange = w;
        } else if (w - lastChange >= kStallLimitMs) {
            return;
        }
    }
}
