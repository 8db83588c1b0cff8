// The video through Debian's ffmpeg command. The show's own pictures go down a pipe as
// a Matroska stream, each different picture once with the time of the first video frame
// that shows it, and the sound beside them; ffmpeg enlarges each picture once and
// encodes it once, time-stamped on the frame-rate grid (a picture stays on screen until
// the next one's time), with the sound in the same pass. Nothing links the codec
// libraries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FrameSampler.h"
#include "MatroskaStream.h"
#include "RecordOptions.h"

struct EncodeSettings {
    // Chosen by measurement on the whole show (bench/record.sh): ultrafast at CRF 16 beats
    // veryfast at CRF 18 on SSIM and PSNR against the exact frames, at a third of the time.
    static constexpr int32_t kCrf = 16;
    static constexpr const char* kPreset = "ultrafast";

    Container container = Container::mp4;
    bool lossless = false;
    int32_t fps = 60;
    int32_t surfaceWidth = 320;
    int32_t surfaceHeight = 200;
    // The picture in the video: ignored for lossless, which keeps the surface's size.
    int32_t outputWidth = 960;
    int32_t outputHeight = 720;
    int32_t audioRate = 48000;
    int32_t audioChannels = 2;
};

// The ffmpeg command line that reads the stream from standard input and writes
// outputFile.
std::vector<std::string> ffmpegArguments(const std::string& ffmpeg, const EncodeSettings& settings,
                                         const std::string& outputFile);
// The filter that turns the surface into the video's pictures: the window's sharp 4:3
// scaling (a whole-number nearest-neighbour enlargement, then a linear stretch of the
// rest) and the colour conversion. Empty for lossless, which keeps the surface.
std::string videoFilter(const EncodeSettings& settings);

class FfmpegEncoder final : public PictureSink {
public:
    // Starts ffmpeg writing outputFile and sends the stream's header. False when ffmpeg
    // cannot be started.
    bool start(const std::string& ffmpeg, const EncodeSettings& settings,
               const std::string& outputFile);
    bool show(const uint32_t* surface, uint64_t firstFrame) override;
    // Sends the last picture once more in the last frame, so that the video (whose last
    // frame lasts one frame) ends exactly at frameCount.
    bool end(uint64_t frameCount) override;
    // frames stereo sample frames starting at sample frame `at`.
    bool writeSound(const int16_t* samples, size_t frames, uint64_t at);
    // Why start failed to start ffmpeg (the system's words); empty when it started.
    const std::string& startError() const { return process.startError(); }
    // Ends the stream; true when ffmpeg finished without error.
    bool finish();
    // How ffmpeg ended when finish gave false ("exited with status 1", "was ended by
    // signal 9 (Killed)").
    const std::string& endText() const { return process.endText(); }
    // Stops ffmpeg at once (a failed or interrupted recording).
    void abort();

private:
    uint64_t frameTimeUs(uint64_t frame) const;

    ChildProcess process;
    MatroskaStream stream{
        [this](const void* bytes, size_t count) { return process.write(bytes, count); }};
    EncodeSettings settings;
    std::vector<uint32_t> last;
    uint64_t lastFrame = 0;
    bool anyShown = false;
};
