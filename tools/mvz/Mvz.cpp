// mvz: the movie tool. info lists what a movie holds, render draws it with the show's own
// player, encode and decode convert between the binary movie and its text form.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "MovieText.h"
#include "PathWalk.h"
#include "PngFile.h"
#include "geometry/Path.h"
#include "movie/MovieFrame.h"
#include "movie/MoviePlayer.h"

namespace {
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;
constexpr uint32_t kStartPixel = 0xff000000u;
constexpr int kUsageStatus = 2;
constexpr int kFailStatus = 1;

const char* const kUsage = "usage: mvz info MOVIE\n"
                           "       mvz render MOVIE OUTDIR [--frames K] [--skip S] [--raw]\n"
                           "       mvz encode TEXT MOVIE\n"
                           "       mvz decode MOVIE TEXT\n"
                           "MOVIE is the movie file itself (for example presents.mvz.gz).\n";

int usage(const std::string& problem) {
    std::cerr << "mvz: " << problem << "\n" << kUsage;
    return kUsageStatus;
}

int failure(const std::string& message) {
    std::cerr << "mvz: " << message << "\n";
    return kFailStatus;
}

struct Spread {
    void add(uint64_t value) { values.push_back(value); }
    std::string text() {
        if (values.empty()) {
            return "-";
        }
        std::sort(values.begin(), values.end());
        return std::to_string(values.front()) + " / " + std::to_string(values[values.size() / 2]) +
               " / " + std::to_string(values.back());
    }
    std::vector<uint64_t> values;
};

struct Bounds {
    void add(uint32_t xWord, uint32_t yWord) {
        const auto x = std::bit_cast<float>(xWord);
        const auto y = std::bit_cast<float>(yWord);
        if (!std::isfinite(x) || !std::isfinite(y)) {
            return;
        }
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
        any = true;
    }
    float minX = std::numeric_limits<float>::max();
    float minY = std::numeric_limits<float>::max();
    float maxX = std::numeric_limits<float>::lowest();
    float maxY = std::numeric_limits<float>::lowest();
    bool any = false;
};

void addCommandPoints(const PathCommand& command, Bounds& bounds) {
    if (command.code == pathcode::kArc) {
        // Radii first; only the end point is a position.
        bounds.add(command.operands[2], command.operands[3]);
        return;
    }
    for (int32_t i = 0; i + 1 < command.operandCount; i += 2) {
        bounds.add(command.operands[i], command.operands[i + 1]);
    }
}

int runInfo(const std::string& movieFile) {
    MoviePlayer reader;
    const int32_t frameCount = reader.openFile(movieFile.c_str());
    if (reader.hasEnded()) {
        return failure(movieFile + ": cannot open the file or read its header");
    }
    constexpr std::array<const char*, pathcode::kFirstEnd> names = {"nop",   "move", "line", "quad",
                                                                    "cubic", "arc",  "close"};
    std::array<uint64_t, pathcode::kFirstEnd> commands{};
    uint64_t restWords = 0;
    Spread shapes;
    Spread paths;
    Spread words;
    Bounds bounds;
    MovieFrame frame;
    uint64_t present = 0;
    while (reader.readFrame(&frame) == MoviePlayer::FrameStatus::kFrame) {
        ++present;
        uint64_t framePaths = 0;
        uint64_t frameWords = 0;
        for (const Shape& shape : frame.shapes) {
            framePaths += shape.paths.size();
            for (const Path& path : shape.paths) {
                const auto count = static_cast<size_t>(path.wordCount);
                frameWords += count;
                PathWalk walk(path.words.get(), count);
                PathCommand command;
                while (walk.next(command)) {
                    ++commands[command.code];
                    addCommandPoints(command, bounds);
                }
                restWords += walk.restCount();
            }
        }
        shapes.add(frame.shapes.size());
        paths.add(framePaths);
        words.add(frameWords);
    }
    std::cout << "file:           " << movieFile << "\n"
              << "header word 0:  " << reader.headerWord() << "\n"
              << "frame count:    " << frameCount << "\n"
              << "frames present: " << present << "\n"
              << "per frame (min / median / max):\n"
              << "  shapes: " << shapes.text() << "\n"
              << "  paths:  " << paths.text() << "\n"
              << "  words:  " << words.text() << "\n"
              << "commands:";
    for (size_t code = 0; code < names.size(); ++code) {
        std::cout << ' ' << names[code] << ' ' << commands[code];
    }
    std::cout << "\nwords after an end code or in a cut command: " << restWords << "\n";
    if (bounds.any) {
        std::cout << "bounding box:   x " << bounds.minX << " .. " << bounds.maxX << ", y "
                  << bounds.minY << " .. " << bounds.maxY << "\n";
    } else {
        std::cout << "bounding box:   none\n";
    }
    const MoviePlayer::FrameStatus end = reader.endStatus();
    if (end != MoviePlayer::FrameStatus::kEnd) {
        std::cout << "damage:         " << damageText(end) << " in frame " << present << "\n";
        return failure(movieFile + ": damaged: " + damageText(end) + " in frame " +
                       std::to_string(present));
    }
    std::cout << "damage:         none\n";
    return 0;
}

bool parseCount(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

bool writeRaw(const std::string& fileName, const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> bytes(pixels.size() * 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        for (size_t b = 0; b < 4; ++b) {
            bytes[4 * i + b] = static_cast<uint8_t>(pixels[i] >> (8 * b));
        }
    }
    std::ofstream out(fileName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

int runRender(const std::vector<std::string_view>& args) {
    if (args.size() < 2) {
        return usage("render needs MOVIE and OUTDIR");
    }
    const std::string movieFile(args[0]);
    const std::filesystem::path outDir(args[1]);
    bool raw = false;
    bool limited = false;
    uint32_t frames = 0;
    uint32_t skip = 0;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--raw") {
            raw = true;
        } else if (args[i] == "--frames" && i + 1 < args.size() &&
                   parseCount(args[i + 1], frames)) {
            limited = true;
            ++i;
        } else if (args[i] == "--skip" && i + 1 < args.size() && parseCount(args[i + 1], skip)) {
            ++i;
        } else {
            return usage("bad render option '" + std::string(args[i]) + "'");
        }
    }
    MoviePlayer player;
    player.openFile(movieFile.c_str());
    if (player.hasEnded()) {
        return failure(movieFile + ": cannot open the file or read its header");
    }
    std::error_code made;
    std::filesystem::create_directories(outDir, made);
    if (made) {
        return failure(outDir.string() + ": cannot create the folder: " + made.message());
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight, kStartPixel);
    uint32_t written = 0;
    for (uint32_t call = 0; !limited || call < frames; ++call) {
        player.render(pixels.data(), skip, static_cast<int32_t>(call), kWidth, kHeight);
        // Without --frames, stop at the first call that found no frame to draw.
        if (!limited && player.hasEnded()) {
            break;
        }
        std::array<char, 32> name{};
        std::snprintf(name.data(), name.size(), raw ? "frame_%04u.raw" : "frame_%04u.png", call);
        const std::string fileName = (outDir / name.data()).string();
        const bool ok =
            raw ? writeRaw(fileName, pixels) : writePng(fileName, pixels.data(), kWidth, kHeight);
        if (!ok) {
            return failure(fileName + ": cannot write");
        }
        ++written;
    }
    std::cout << "wrote " << written << " frame" << (written == 1 ? "" : "s") << " to "
              << outDir.string() << "\n";
    const MoviePlayer::FrameStatus end = player.endStatus();
    if (end != MoviePlayer::FrameStatus::kEnd) {
        return failure(movieFile + ": damaged: " + damageText(end));
    }
    return 0;
}

int runDecode(const std::string& movieFile, const std::string& textFile) {
    std::ofstream out(textFile);
    if (!out) {
        return failure(textFile + ": cannot create the file");
    }
    std::string error;
    if (!decodeMovie(movieFile, out, error)) {
        return failure(error);
    }
    out.close();
    if (!out) {
        return failure(textFile + ": write failed");
    }
    return 0;
}

int runEncode(const std::string& textFile, const std::string& movieFile) {
    std::ifstream in(textFile);
    if (!in) {
        return failure(textFile + ": cannot open the file");
    }
    std::string error;
    if (!encodeMovie(in, movieFile, error)) {
        std::error_code ignored;
        std::filesystem::remove(movieFile, ignored);
        return failure(textFile + ": " + error);
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) {
        return usage("no command");
    }
    const std::string_view command = args[0];
    args.erase(args.begin());
    try {
        if (command == "info" && args.size() == 1) {
            return runInfo(std::string(args[0]));
        }
        if (command == "render") {
            return runRender(args);
        }
        if (command == "encode" && args.size() == 2) {
            return runEncode(std::string(args[0]), std::string(args[1]));
        }
        if (command == "decode" && args.size() == 2) {
            return runDecode(std::string(args[0]), std::string(args[1]));
        }
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    return usage("unknown command or wrong arguments");
}
