// Stops at the first frame the sink refuses: the recording has failed by then.
#include "FrameRepeater.h"

#include "driver/FrameScale.h"

namespace {
constexpr uint32_t kBlack = 0xff000000u;
}

FrameRepeater::FrameRepeater(FrameSink& frameSink, int32_t width, int32_t height, int32_t outWidth,
                             int32_t outHeight)
    : sink(frameSink), surfaceWidth(width), surfaceHeight(height), outputWidth(outWidth),
      outputHeight(outHeight),
      shown(static_cast<size_t>(outWidth) * static_cast<size_t>(outHeight), kBlack) {}

bool FrameRepeater::writeUntil(uint64_t until) {
    for (; written < until; ++written) {
        if (!sink.writeFrame(shown.data(), outputWidth, outputHeight)) {
            return false;
        }
    }
    return true;
}

bool FrameRepeater::show(const uint32_t* surface, uint64_t firstFrame) {
    if (!writeUntil(firstFrame)) {
        return false;
    }
    scaleSharp(surface, surfaceWidth, surfaceHeight, shown.data(), outputWidth, outputHeight);
    return true;
}

bool FrameRepeater::end(uint64_t frameCount) {
    return writeUntil(frameCount);
}
