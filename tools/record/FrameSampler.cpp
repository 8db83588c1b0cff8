// Video frame n belongs before a present at ms exactly when n * 1000 < ms * fps, so all
// comparisons stay in integers and a present at a frame's own instant is shown in it.
#include "FrameSampler.h"

#include <algorithm>

namespace {
constexpr uint64_t kMsPerSecond = 1000;
constexpr uint32_t kColourBits = 0x00ffffffu;
constexpr size_t kCompareBlock = 256;

// Whether the colour bytes of a and b (count words) are all equal. Equals comparing
// (a[i] ^ b[i]) & kColourBits word by word; blocks of ORed differences let the compiler
// use vector instructions and still stop early at a changed block.
bool sameColours(const uint32_t* a, const uint32_t* b, size_t count) {
    for (size_t i = 0; i < count; i += kCompareBlock) {
        const size_t end = std::min(count, i + kCompareBlock);
        uint32_t difference = 0;
        for (size_t j = i; j < end; ++j) {
            difference |= a[j] ^ b[j];
        }
        if ((difference & kColourBits) != 0) {
            return false;
        }
    }
    return true;
}
} // namespace

FrameSampler::FrameSampler(int32_t framesPerSecond, int32_t width, int32_t height)
    : fps(framesPerSecond), latest(static_cast<size_t>(width) * static_cast<size_t>(height), 0) {}

void FrameSampler::addSink(PictureSink& sink) {
    sinks.push_back(&sink);
}

uint64_t FrameSampler::framesBefore(uint32_t ms, int32_t framesPerSecond) {
    const uint64_t scaled = static_cast<uint64_t>(ms) * static_cast<uint64_t>(framesPerSecond);
    return (scaled + kMsPerSecond - 1) / kMsPerSecond;
}

void FrameSampler::handOn() {
    for (PictureSink* sink : sinks) {
        if (!sink->show(latest.data(), latestFrame)) {
            healthy = false;
        }
    }
    pending = false;
}

void FrameSampler::present(const uint32_t* surface, uint32_t ms) {
    if (sinks.empty()) {
        return;
    }
    // Only the colour bytes are shown; the top byte may differ between equal pictures.
    const bool changed = !presentedOnce || !sameColours(surface, latest.data(), latest.size());
    presentedOnce = true;
    if (!changed) {
        return;
    }
    const uint64_t frame = framesBefore(ms, fps);
    if (pending && latestFrame < frame) {
        handOn();
    }
    std::copy(surface, surface + latest.size(), latest.begin());
    latestFrame = frame;
    pending = true;
}

void FrameSampler::finish(uint32_t endMs) {
    frames = framesBefore(endMs, fps);
    if (pending && latestFrame < frames) {
        handOn();
    }
    for (PictureSink* sink : sinks) {
        if (!sink->end(frames)) {
            healthy = false;
        }
    }
}
