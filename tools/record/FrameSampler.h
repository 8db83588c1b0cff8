// Turns the show's presents into the pictures of a video of fixed frame rate: video
// frame n (at n / fps seconds of music time) shows the surface as last presented at or
// before that instant. Each different picture is handed on once, with the first frame
// that shows it; frames before the first present are black.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Where the pictures go (the encoder's pipe, the per-frame writers). A picture is on
// screen from its first frame until the next picture's first frame, or the end. Surfaces
// are the sampler's size, 0x??RRGGBB (the top byte means nothing). Calls return false
// when the sink failed.
class PictureSink {
public:
    virtual ~PictureSink() = default;
    // firstFrame grows from call to call.
    virtual bool show(const uint32_t* surface, uint64_t firstFrame) = 0;
    // The video has frameCount frames; the last picture lasts until then.
    virtual bool end(uint64_t frameCount) = 0;
};

class FrameSampler {
public:
    FrameSampler(int32_t fps, int32_t surfaceWidth, int32_t surfaceHeight);

    // sink is borrowed for the sampler's lifetime.
    void addSink(PictureSink& sink);
    // The surface presented at play time ms; presents come in time order.
    void present(const uint32_t* surface, uint32_t ms);
    // Hands on the last picture; the video ends at endMs (exclusive).
    void finish(uint32_t endMs);

    // The video's frame count, once finished.
    uint64_t framesWritten() const { return frames; }
    // False once any sink failed.
    bool ok() const { return healthy; }
    // The number of video frames that start before ms: ceil(ms * fps / 1000).
    static uint64_t framesBefore(uint32_t ms, int32_t fps);

private:
    void handOn();

    int32_t fps;
    // The picture presented last, not yet handed on: a later present that lands on the
    // same frame replaces it, so only pictures that are really seen reach the sinks.
    std::vector<uint32_t> latest;
    uint64_t latestFrame = 0;
    bool pending = true; // black at frame 0 until something is presented
    bool presentedOnce = false;
    std::vector<PictureSink*> sinks;
    uint64_t frames = 0;
    bool healthy = true;
};
