// The surface is allocated once and keeps its pixels between frames, like the window's.
#include "RecordingDisplay.h"

#include <cstdio>

#include "StopSignal.h"
#include "driver/Show.h"

RecordingDisplay::RecordingDisplay(VirtualPlayTime& playTime, FrameSampler* frameSampler,
                                   uint32_t stopAtMs, int32_t surfaceWidth, int32_t surfaceHeight)
    : time(playTime), sampler(frameSampler), stopAt(stopAtMs), width(surfaceWidth),
      height(surfaceHeight) {}

void RecordingDisplay::open() {
    if (width <= 0 || height <= 0) {
        throw ptc::DynamicError("invalid recording size");
    }
    surface =
        std::make_unique<uint32_t[]>(static_cast<size_t>(width) * static_cast<size_t>(height));
}

int32_t RecordingDisplay::readKey() {
    // A sink that failed (a full disk, an encoder that died) ends the show early too, and
    // so does a stop signal.
    return time.now() >= stopAt || keyWaiting(Show::kEscape) ? Show::kEscape : 0;
}

bool RecordingDisplay::keyWaiting(int32_t code) {
    return code == Show::kEscape && ((sampler != nullptr && !sampler->ok()) || stopSignal() != 0);
}

uint32_t* RecordingDisplay::lock() {
    if (!surface) {
        throw ptc::DynamicError("surface used before the display was opened");
    }
    return surface.get();
}

void RecordingDisplay::present() {
    ++presents;
    // The frame that reads the stopping key lies past the recording's end.
    if (sampler != nullptr && time.now() < stopAt) {
        sampler->present(surface.get(), time.now());
    }
    if (onPresent) {
        onPresent(time.now());
    }
}

void RecordingDisplay::reportError(const ptc::DynamicError& error) {
    failed = true;
    std::fprintf(stderr, "tilsen-record: %s\n", error.message());
}
