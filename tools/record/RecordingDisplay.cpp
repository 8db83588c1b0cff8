// The surface is allocated once and keeps its pixels between frames, like the window's.
#include "RecordingDisplay.h"

#include <cstdio>

#include "StopSignal.h"
#include "driver/Show.h"

namespace {
constexpr size_t kSurfacePixels = static_cast<size_t>(Show::kWidth) * Show::kHeight;
}

RecordingDisplay::RecordingDisplay(VirtualPlayTime& playTime, FrameSampler* frameSampler,
                                   uint32_t stopAtMs)
    : time(playTime), sampler(frameSampler), stopAt(stopAtMs) {}

void RecordingDisplay::open() {
    surface = std::make_unique<uint32_t[]>(kSurfacePixels);
}

int32_t RecordingDisplay::readKey() {
    // A sink that failed (a full disk, an encoder that died) ends the show early too, and
    // so does a stop signal.
    const bool stop =
        time.now() >= stopAt || (sampler != nullptr && !sampler->ok()) || stopSignal() != 0;
    return stop ? Show::kEscape : 0;
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
