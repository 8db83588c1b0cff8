// Built on CLI11 with the tools' shared checks. Numbers are checked as text before CLI11
// converts them, so a bad value is reported with the option's name, the accepted range and
// the value given.
#include "RecordOptions.h"

#include "ToolCli.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

constexpr double kMsPerSecond = 1000.0;

CLI::Validator seconds() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const double v = std::strtod(text.c_str(), &end);
            if (text.empty() || errno != 0 || *end != '\0' || !std::isfinite(v) ||
                v * kMsPerSecond < 0.5 || v > RecordOptions::kMaxSeconds) {
                return "takes a number of seconds from 0.001 to 86400, not '" + text + "'";
            }
            return {};
        },
        "", "seconds");
}

CLI::Validator notEmpty() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return text.empty() ? "needs a non-empty name" : std::string();
        },
        "", "not empty");
}

struct Parser {
    std::unique_ptr<CLI::App> app;
    double secondsValue = 0.0;
};

Parser makeParser(RecordOptions& options) {
    Parser p;
    p.app = std::make_unique<CLI::App>(
        "Records the show, paced by its music, to a video through ffmpeg (H.264 and AAC in "
        "MP4 or MOV, or in Matroska for .mkv), and/or its frames as PNG files and its sound "
        "as a WAV file.",
        "tilsen-record");
    CLI::App& app = *p.app;
    app.set_help_flag("-h,--help", "print this text and exit");
    app.add_option("OUTPUT", options.output,
                   "the video to write: .mp4, .mov or .mkv (it is replaced only once complete)")
        ->check(notEmpty());
    app.add_flag("--lossless", options.lossless,
                 "exact pictures at the show's own 320x200 (shown 4:3) and exact sound: "
                 "lossless H.264 RGB and FLAC in Matroska (.mkv); --scale then sizes only "
                 "the --png frames");
    app.add_option("--fps", options.fps, "video frames per second, 1 to 240 (default 60)")
        ->type_name("N")
        ->transform(toolcli::wholeNumber(1, RecordOptions::kMaxFps));
    app.add_option("--scale", options.scale,
                   "picture size 320K x 240K, 4:3 with sharp pixels, K from 1 to 12 (default "
                   "3: 960x720)")
        ->type_name("K")
        ->transform(toolcli::wholeNumber(1, RecordOptions::kMaxScale));
    app.add_flag("--sharp", options.sharp,
                 "draw the vector scenes at the picture size (320K x 240K) instead of "
                 "enlarging 320x200 frames; with --lossless the video keeps that size");
    app.add_option("--png", options.pngDir, "write every frame as DIR/frame000000.png ...")
        ->type_name("DIR")
        ->check(notEmpty());
    app.add_option("--wav", options.wavFile, "write the sound, 48 kHz 16-bit stereo")
        ->type_name("FILE")
        ->check(notEmpty());
    app.add_option("--data", options.dataDir,
                   "read the show's files from DIR (default: the working directory)")
        ->type_name("DIR")
        ->check(notEmpty());
    app.add_option("--seconds", p.secondsValue, "stop after S seconds of the show")
        ->type_name("S")
        ->check(seconds());
    return p;
}

} // namespace

Container containerFor(const std::string& fileName) {
    std::string ext = std::filesystem::path(fileName).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".mp4"   ? Container::mp4
           : ext == ".mov" ? Container::mov
           : ext == ".mkv" ? Container::mkv
                           : Container::none;
}

std::string recordUsage() {
    RecordOptions unused;
    return makeParser(unused).app->help();
}

std::string parseRecordOptions(const std::vector<std::string>& args, RecordOptions& options) {
    Parser p = makeParser(options);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        p.app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return {};
    } catch (const CLI::ParseError& e) {
        return e.what();
    }
    if (p.secondsValue > 0.0) {
        options.limitMs = static_cast<uint32_t>(std::llround(p.secondsValue * kMsPerSecond));
    }
    if (options.output.empty() && options.pngDir.empty() && options.wavFile.empty()) {
        return "nothing to write: give OUTPUT, --png DIR or --wav FILE";
    }
    if (!options.output.empty()) {
        options.container = containerFor(options.output);
        if (options.container == Container::none) {
            return "OUTPUT " + options.output +
                   ": the name must end in .mp4, .mov or .mkv (it chooses the container)";
        }
        if (options.lossless && options.container != Container::mkv) {
            return "--lossless writes Matroska: name the OUTPUT .mkv, not " + options.output;
        }
    } else if (options.lossless) {
        return "--lossless needs an OUTPUT video (.mkv)";
    }
    return {};
}
