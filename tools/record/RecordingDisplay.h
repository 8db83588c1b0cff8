// The show's display while recording: a surface in memory whose presents go to a frame
// sampler, stamped with the music time the show has reached. Keys are never read; the
// only key it gives is Escape, once the recording's time limit is reached, the sampler
// failed or a stop signal came, so such a recording ends through the show's own quit path.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "FrameSampler.h"
#include "VirtualPlayTime.h"
#include "driver/Display.h"

class RecordingDisplay final : public Display {
public:
    static constexpr uint32_t kNoLimit = UINT32_MAX;

    // time is borrowed; sampler is borrowed and may be null (a run that only times the
    // show). From stopAtMs on, readKey gives Escape. The surface is width x height; any
    // other size than 320x200 makes the show draw sharp.
    RecordingDisplay(VirtualPlayTime& time, FrameSampler* sampler, uint32_t stopAtMs,
                     int32_t width = kFrameWidth, int32_t height = kFrameHeight);

    void open() override;
    int32_t readKey() override;
    // Escape is waiting once a stop signal came or a sink failed, so that the show ends
    // in the middle of a frame it asks about; the time limit waits for the next read.
    bool keyWaiting(int32_t code) override;
    uint32_t* lock() override;
    int32_t frameWidth() const override { return width; }
    int32_t frameHeight() const override { return height; }
    void unlock() override {}
    void present() override;
    void close() override {}
    void destroy() override {}
    void reportError(const ptc::DynamicError& error) override;

    // Called after every present with its music time.
    std::function<void(uint32_t ms)> onPresent;
    uint64_t presents = 0;
    // Set when the show handed over a display error.
    bool failed = false;

private:
    VirtualPlayTime& time;
    FrameSampler* sampler;
    uint32_t stopAt;
    int32_t width;
    int32_t height;
    std::unique_ptr<uint32_t[]> surface;
};
