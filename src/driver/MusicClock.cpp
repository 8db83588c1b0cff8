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
    const int32_t missed = startWait();
    while (!waitOver()) {
    }
    return missed;
}

int32_t MusicClock::startWait() {
    const uint32_t now = source.playTime();
    uint32_t missed = 0;
    if (now > tickStart + tickLength) {
        missed = (now - tickStart) / tickLength;
        tickStart = now - ((now - origin) % tickLength);
    }
    beginSpin(tickStart + tickLength);
    tickStart += tickLength;
    // More than 2^31 ticks cannot be counted in the result; that many is as good as all.
    return static_cast<int32_t>(std::min<uint32_t>(missed, INT32_MAX));
}

void MusicClock::beginSpin(uint32_t end) {
    boundary = end;
    lastRead = source.playTime();
    lastChange = wall.wallMilliseconds();
    waiting = lastRead < boundary;
}

// Play time stops when the audio device dies or is starved (a suspended machine, an
// unplugged headset). Spinning on forever would freeze the window with the quit keys
// unread, so after kStallLimitMs without progress the wait ends as if the tick had: the
// show keeps presenting frames at the pace of its own frame loop and can still be quit.
bool MusicClock::waitOver() {
    if (!waiting) {
        return true;
    }
    const uint32_t t = source.playTime();
    const uint64_t w = wall.wallMilliseconds();
    if (t != lastRead) {
        lastRead = t;
        lastChange = w;
    } else if (w - lastChange >= kStallLimitMs) {
        waiting = false;
        return true;
    }
    waiting = lastRead < boundary;
    return !waiting;
}
