// The recorder's command line:
//   tilsen-record [OUTPUT] [--lossless] [--fps N] [--scale K] [--sharp] [--png DIR]
//                 [--wav FILE] [--data DIR] [--seconds S]
// At least one of OUTPUT (a video made with ffmpeg), --png and --wav is needed. The
// container follows OUTPUT's extension: .mp4, .mov or .mkv.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Container { none, mp4, mov, mkv };

struct RecordOptions {
    static constexpr int32_t kDefaultFps = 60;
    static constexpr int32_t kMaxFps = 240;
    static constexpr int32_t kDefaultScale = 3;
    // 320K x 240K up to 3840x2880.
    static constexpr int32_t kMaxScale = 12;
    static constexpr uint32_t kNoLimit = UINT32_MAX;
    // A day of music time is far beyond any show; the limit keeps ms in 32 bits.
    static constexpr double kMaxSeconds = 86400.0;

    std::string output;
    Container container = Container::none;
    // Exact pictures and sound (lossless H.264 RGB and FLAC in Matroska) instead of
    // H.264 4:2:0 and AAC.
    bool lossless = false;
    std::string pngDir;
    std::string wavFile;
    std::string dataDir;
    int32_t fps = kDefaultFps;
    int32_t scale = kDefaultScale;
    uint32_t limitMs = kNoLimit;
    // The show draws at the picture size (320K x 240K) instead of 320x200.
    bool sharp = false;
    bool help = false;
};

// The container named by a file's extension (any case); none for any other extension.
Container containerFor(const std::string& fileName);

// Parses the arguments after the program name. Returns an error message that names the
// option at fault, empty when options holds a usable set (or help was asked for).
std::string parseRecordOptions(const std::vector<std::string>& args, RecordOptions& options);

// The usage text.
std::string recordUsage();
