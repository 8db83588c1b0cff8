// Video frame n belongs before a present at ms exactly when n * 1000 < ms * fps, so all
// comparisons stay in integers and a present at a frame's own instant is shown in it.
#include "FrameSampler.h"

#include <algorithm>

#include "driver/FrameScale.h"

namespace {
constexpr uint64_t kMsPerSecond = 1000;
constexpr uint32_t kBlack = 0xff000000u;
constexpr uint32_t kColourBits = 0x00ffffffu;
} // namespace

FrameSampler::FrameSampler(int32_t framesPerSecond, int32_t width, int32_t height, int32_t outWidth,
                           int32_t outHeight)
    : fps(framesPerSecond), surfaceWidth(width), surfaceHeight(height), outputWidth(outWidth),
      outputHeight(outHeight), latest(static_cast<size_t>(width) * static_cast<size_t>(height), 0),
      shown(static_cast<size_t>(outWidth) * static_cast<size_t>(outHeight), kBlack) {}

void FrameSampler::addSink(FrameSink& sink) {
    sinks.push_back(&sink);
}

uint64_t FrameSampler::framesBefore(uint32_t ms, int32_t framesPerSecond) {
    const uint64_t scaled = static_cast<uint64_t>(ms) * static_cast<uint64_t>(framesPerSecond);
    return (scaled + kMsPerSecond - 1) / kMsPerSecond;
}

void FrameSampler::writeUntil(uint32_t ms) {
    const uint64_t end = framesBefore(ms, fps);
    if (written < end && stale) {
        scaleSharp(latest.data(), surfaceWidth, surfaceHeight, shown.data(), outputWidth,
                   outputHeight);
        stale = false;
    }
    for (; written < end; ++written) {
        for (FrameSink* sink : sinks) {
            if (!sink->writeFrame(shown.data(), outputWidth, outputHeight)) {
                healthy = false;
            }
        }
    }
}

void FrameSampler::present(const uint32_t* surface, uint32_t ms) {
    writeUntil(ms);
    if (sinks.empty()) {
        return;
    }
    // Only the colour bytes are shown; the top byte may differ between equal pictures.
    bool changed = !presentedOnce;
    for (size_t i = 0; i < latest.size() && !changed; ++i) {
        changed = ((surface[i] ^ latest[i]) & kColourBits) != 0;
    }
    if (changed) {
        std::copy(surface, surface + latest.size(), latest.begin());
        stale = true;
    }
    presentedOnce = true;
}

void FrameSampler::finish(uint32_t endMs) {
    writeUntil(endMs);
}
