// Numbers must be whole and in range (seconds may have a fraction); anything else is an
// error that names the option.
#include "RecordOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kMsPerSecond = 1000.0;

bool parseInt(const std::string& text, int32_t low, int32_t high, int32_t& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) {
        return false;
    }
    value = static_cast<int32_t>(v);
    return true;
}

bool parseSeconds(const std::string& text, uint32_t& ms) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v <= 0.0 ||
        v > RecordOptions::kMaxSeconds) {
        return false;
    }
    ms = static_cast<uint32_t>(std::llround(v * kMsPerSecond));
    return ms > 0;
}

} // namespace

const char* recordUsage() {
    return "usage: tilsen-record [OUTPUT.mp4] [--fps N] [--scale K] [--sharp] [--png DIR]\n"
           "                     [--wav FILE] [--data DIR] [--seconds S]\n"
           "Records the show, paced by its music, to a video: H.264 and AAC in MP4 through\n"
           "ffmpeg, and/or the frames as PNG files and the sound as a WAV file.\n"
           "  --fps N      video frames per second (default 60, 1..240)\n"
           "  --scale K    picture size 320K x 240K, 4:3 with sharp pixels (default 3, 1..12)\n"
           "  --sharp      draw the vector scenes at the picture size instead of enlarging\n"
           "               320x200 frames\n"
           "  --png DIR    write every frame as DIR/frame000000.png ...\n"
           "  --wav FILE   write the sound, 48 kHz 16-bit stereo\n"
           "  --data DIR   read the show's files from DIR (default: the working directory)\n"
           "  --seconds S  stop after S seconds of the show\n";
}

std::string parseRecordOptions(const std::vector<std::string>& args, RecordOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            options.help = true;
            return {};
        }
        if (a == "--sharp") {
            options.sharp = true;
            continue;
        }
        const bool takesValue = a == "--fps" || a == "--scale" || a == "--png" || a == "--wav" ||
                                a == "--data" || a == "--seconds";
        if (takesValue) {
            if (i + 1 >= args.size()) {
                return a + " needs a value";
            }
            const std::string& v = args[++i];
            if (a == "--fps" && !parseInt(v, 1, RecordOptions::kMaxFps, options.fps)) {
                return "--fps takes a whole number from 1 to 240, not '" + v + "'";
            }
            if (a == "--scale" && !parseInt(v, 1, RecordOptions::kMaxScale, options.scale)) {
                return "--scale takes a whole number from 1 to 12, not '" + v + "'";
            }
            if (a == "--seconds" && !parseSeconds(v, options.limitMs)) {
                return "--seconds takes a positive number of seconds, not '" + v + "'";
            }
            if ((a == "--png" || a == "--wav" || a == "--data") && v.empty()) {
                return a + " needs a non-empty value";
            }
            if (a == "--png") {
                options.pngDir = v;
            } else if (a == "--wav") {
                options.wavFile = v;
            } else if (a == "--data") {
                options.dataDir = v;
            }
        } else if (!a.empty() && a[0] == '-') {
            return "unknown option " + a;
        } else if (!options.output.empty()) {
            return "only one OUTPUT file, got '" + options.output + "' and '" + a + "'";
        } else if (a.empty()) {
            return "OUTPUT is an empty name";
        } else {
            options.output = a;
        }
    }
    if (options.output.empty() && options.pngDir.empty() && options.wavFile.empty()) {
        return "nothing to write: give OUTPUT, --png DIR or --wav FILE";
    }
    return {};
}
