// The video through Debian's ffmpeg command: raw frames piped in, H.264 (CRF 18,
// yuv420p) out; then the video and a WAV file are joined into the final MP4 with AAC
// sound. Nothing links the codec libraries.
#pragma once

#include <string>

#include "ChildProcess.h"
#include "FrameSampler.h"

class FfmpegVideo final : public FrameSink {
public:
    static constexpr int32_t kCrf = 18;

    // ffmpeg is the program's path. Starts encoding width x height frames at fps into
    // videoFile (video only). False when ffmpeg cannot be started.
    bool start(const std::string& ffmpeg, const std::string& videoFile, int32_t width,
               int32_t height, int32_t fps);
    bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) override;
    // Ends the stream; true when ffmpeg finished without error.
    bool finish();

private:
    ChildProcess process;
};

// Copies the video of videoFile and encodes wavFile as AAC into the MP4 outputFile.
bool muxVideoAndAudio(const std::string& ffmpeg, const std::string& videoFile,
                      const std::string& wavFile, const std::string& outputFile);
