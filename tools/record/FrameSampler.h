// Turns the show's presents into a video of fixed frame rate: video frame n (at n / fps
// seconds of music time) shows the surface as last presented at or before that instant,
// scaled to the output size. Frames before the first present are black.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the scaled video frames go (PNG files, the encoder's pipe). Pixels are
// 0xFFRRGGBB, pitch = width. Returns false when the frame could not be written.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) = 0;
};

class FrameSampler {
public:
    // surfaceWidth x surfaceHeight frames are scaled to outputWidth x outputHeight.
    FrameSampler(int32_t fps, int32_t surfaceWidth, int32_t surfaceHeight, int32_t outputWidth,
                 int32_t outputHeight);

    // sink is borrowed for the sampler's lifetime.
    void addSink(FrameSink& sink);
    // The surface presented at play time ms; presents come in time order.
    void present(const uint32_t* surface, uint32_t ms);
    // Writes the frames before endMs with what was presented last; the video ends there.
    void finish(uint32_t endMs);

    uint64_t framesWritten() const { return written; }
    // False once any sink failed to take a frame.
    bool ok() const { return healthy; }
    // The number of video frames that start before ms: ceil(ms * fps / 1000).
    static uint64_t framesBefore(uint32_t ms, int32_t fps);

private:
    void writeUntil(uint32_t ms);

    int32_t fps;
    int32_t surfaceWidth;
    int32_t surfaceHeight;
    int32_t outputWidth;
    int32_t outputHeight;
    // The surface last presented, and whether shown has yet to be scaled from it. Most
    // presents repeat the previous picture or fall between two video frames, so scaling
    // waits until a frame is written and is skipped for an unchanged surface.
    std::vector<uint32_t> latest;
    bool stale = false;
    bool presentedOnce = false;
    std::vector<uint32_t> shown; // the scaled frame on screen now
    std::vector<FrameSink*> sinks;
    uint64_t written = 0;
    bool healthy = true;
};
