// Frames go in as bgr0 (the bytes of 0xFFRRGGBB words on a little-endian machine). The
// colour conversion is tagged as BT.709, limited range, the usual reading for video.
#include "FfmpegVideo.h"

#include <bit>

static_assert(std::endian::native == std::endian::little,
              "frames are piped as the bytes of 0xAARRGGBB words (bgr0)");

namespace {
constexpr const char* kAudioBitrate = "192k";
}

bool FfmpegVideo::start(const std::string& ffmpeg, const std::string& videoFile, int32_t width,
                        int32_t height, int32_t fps) {
    const std::vector<std::string> args = {
        ffmpeg, "-hide_banner", "-loglevel", "error", "-y",
        // input: raw frames on standard input
        "-f", "rawvideo", "-pix_fmt", "bgr0", "-video_size",
        std::to_string(width) + "x" + std::to_string(height), "-framerate", std::to_string(fps),
        "-i", "pipe:0",
        // output: H.264
        "-an", "-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p", "-c:v", "libx264",
        "-preset", "veryfast", "-crf", std::to_string(kCrf), "-pix_fmt", "yuv420p", "-colorspace",
        "bt709", "-color_primaries", "bt709", "-color_trc", "bt709", "-color_range", "tv", "-f",
        "mp4", videoFile};
    return process.start(args, true);
}

bool FfmpegVideo::writeFrame(const uint32_t* pixels, int32_t width, int32_t height) {
    return process.write(pixels, static_cast<size_t>(width) * static_cast<size_t>(height) *
                                     sizeof(uint32_t));
}

bool FfmpegVideo::finish() {
    return process.finish();
}

bool muxVideoAndAudio(const std::string& ffmpeg, const std::string& videoFile,
                      const std::string& wavFile, const std::string& outputFile) {
    const std::vector<std::string> args = {
        ffmpeg,      "-hide_banner", "-loglevel", "error", "-nostdin",
        "-y",        "-i",           videoFile,   "-i",    wavFile,
        "-map",      "0:v:0",        "-map",      "1:a:0", "-c:v",
        "copy",      "-c:a",         "aac",       "-b:a",  kAudioBitrate,
        "-movflags", "+faststart",   "-f",        "mp4",   outputFile};
    ChildProcess process;
    return process.start(args, false) && process.finish();
}
