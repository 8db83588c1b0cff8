// The colour conversion is tagged as BT.709, limited range, the usual reading for video.
// Lossless keeps RGB and the surface's size, marking its pixels 5:6 so players show 4:3.
#include "FfmpegEncoder.h"

#include <algorithm>
#include <numeric>

#include "driver/FrameScale.h"

namespace {
constexpr const char* kAudioBitrate = "192k";

std::string size(int32_t width, int32_t height) {
    return std::to_string(width) + ":" + std::to_string(height);
}

const char* formatName(Container container) {
    switch (container) {
    case Container::mov:
        return "mov";
    case Container::mkv:
        return "matroska";
    default:
        return "mp4";
    }
}
} // namespace

std::string videoFilter(const EncodeSettings& s) {
    if (s.lossless) {
        return {};
    }
    const int32_t factor = sharpFactor(FrameRect{0, 0, s.outputWidth, s.outputHeight},
                                       s.surfaceWidth, s.surfaceHeight);
    // Planar RGB scales at a fraction of the cost of packed; the result is within one
    // step of scaleSharp (68 dB PSNR on the show).
    return "format=gbrp,scale=" + size(s.surfaceWidth * factor, s.surfaceHeight * factor) +
           ":flags=neighbor,scale=" + size(s.outputWidth, s.outputHeight) +
           ":flags=bilinear:out_color_matrix=bt709:out_range=tv,format=yuv420p";
}

std::vector<std::string> ffmpegArguments(const std::string& ffmpeg, const EncodeSettings& s,
                                         const std::string& outputFile) {
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin",
                                     "-y",   "-f",           "matroska",  "-i",    "pipe:0"};
    // Each picture is encoded once at its own time, put on the 1/fps grid; the rate gives
    // the last picture its one frame's duration.
    args.insert(args.end(), {"-fps_mode", "passthrough", "-r", std::to_string(s.fps),
                             "-enc_time_base", "1/" + std::to_string(s.fps)});
    if (s.lossless) {
        args.insert(args.end(),
                    {"-c:v", "libx264rgb", "-preset", "ultrafast", "-qp", "0", "-c:a", "flac"});
    } else {
        args.insert(args.end(), {"-vf",
                                 videoFilter(s),
                                 "-c:v",
                                 "libx264",
                                 "-preset",
                                 EncodeSettings::kPreset,
                                 "-crf",
                                 std::to_string(EncodeSettings::kCrf),
                                 "-pix_fmt",
                                 "yuv420p",
                                 "-colorspace",
                                 "bt709",
                                 "-color_primaries",
                                 "bt709",
                                 "-color_trc",
                                 "bt709",
                                 "-color_range",
                                 "tv",
                                 "-c:a",
                                 "aac",
                                 "-aac_coder",
                                 "fast",
                                 "-b:a",
                                 kAudioBitrate});
    }
    if (s.container != Container::mkv) {
        args.insert(args.end(), {"-movflags", "+faststart"});
    }
    args.insert(args.end(), {"-f", formatName(s.container), outputFile});
    return args;
}

bool FfmpegEncoder::start(const std::string& ffmpeg, const EncodeSettings& encodeSettings,
                          const std::string& outputFile) {
    settings = encodeSettings;
    last.assign(static_cast<size_t>(settings.surfaceWidth) *
                    static_cast<size_t>(settings.surfaceHeight),
                0);
    // 320x200 shown 4:3: each pixel is 1.2 times as tall as it is wide.
    const int32_t sampleWidth = settings.surfaceHeight * 4;
    const int32_t sampleHeight = settings.surfaceWidth * 3;
    const int32_t common = std::gcd(sampleWidth, sampleHeight);
    return process.start(ffmpegArguments(ffmpeg, settings, outputFile), true) &&
           stream.writeHeader(settings.surfaceWidth, settings.surfaceHeight, sampleWidth / common,
                              sampleHeight / common, settings.audioRate, settings.audioChannels);
}

uint64_t FfmpegEncoder::frameTimeUs(uint64_t frame) const {
    // Rounded to the microsecond; the frame-rate filter puts it back on its frame.
    const uint64_t fps = static_cast<uint64_t>(settings.fps);
    return (frame * MatroskaStream::kTicksPerSecond + fps / 2) / fps;
}

bool FfmpegEncoder::show(const uint32_t* surface, uint64_t firstFrame) {
    std::copy(surface, surface + last.size(), last.begin());
    lastFrame = firstFrame;
    anyShown = true;
    return stream.writePicture(surface, frameTimeUs(firstFrame));
}

bool FfmpegEncoder::end(uint64_t frameCount) {
    if (!anyShown || frameCount == 0 || lastFrame + 1 >= frameCount) {
        return true;
    }
    return stream.writePicture(last.data(), frameTimeUs(frameCount - 1));
}

bool FfmpegEncoder::writeSound(const int16_t* samples, size_t frames, uint64_t at) {
    const uint64_t rate = static_cast<uint64_t>(settings.audioRate);
    return stream.writeSound(samples, frames,
                             (at * MatroskaStream::kTicksPerSecond + rate / 2) / rate);
}

bool FfmpegEncoder::finish() {
    return process.finish();
}

void FfmpegEncoder::abort() {
    process.kill();
}
