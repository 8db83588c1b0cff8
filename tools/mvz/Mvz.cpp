// mvz: the movie tool. info lists what a movie holds, render draws it with the show's own
// player, encode and decode convert between the binary movie and its text form. Every file
// it writes appears whole or not at all (AtomicFile); a file that is not a movie is said
// to be one before anything else is done with it.

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "FrameFiles.h"
#include "MovieCheck.h"
#include "MovieText.h"
#include "PngFile.h"
#include "ToolCli.h"
#include "driver/StandardStreams.h"
#include "geometry/Path.h"
#include "movie/MovieFrame.h"
#include "movie/MoviePlayer.h"

namespace {
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;
constexpr uint32_t kStartPixel = 0xff000000u;
// render --scale: frames of 320K x 200K pixels, up to 3840x2400.
constexpr int32_t kMaxRenderScale = 12;
constexpr int kFailStatus = 1;

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

void addCommandPoints(const pathcode::Command& command, Bounds& bounds) {
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
    std::string problem;
    if (!checkMovie(movieFile, problem)) {
        return failure(problem);
    }
    MoviePlayer reader;
    const int32_t frameCount = reader.openFile(movieFile.c_str());
    if (reader.hasEnded()) {
        return failure(movieFile + ": cannot open the file or read its header");
    }
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
                pathcode::Reader pathWords(path.words.get(), count);
                pathcode::Command command;
                while (pathWords.next(command)) {
                    ++commands[command.code];
                    addCommandPoints(command, bounds);
                }
                restWords += pathWords.restCount();
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
    for (size_t code = 0; code < pathcode::kNames.size(); ++code) {
        std::cout << ' ' << pathcode::kNames[code] << ' ' << commands[code];
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
    out.close();
    return static_cast<bool>(out);
}

struct RenderOptions {
    std::string movieFile;
    std::string outDir;
    uint32_t frames = 0;
    bool limited = false;
    uint32_t skip = 0;
    bool raw = false;
    // Frames kWidth * scale x kHeight * scale, drawn at that size (MoviePlayer::renderScaled).
    int32_t scale = 1;
};

int runRender(const RenderOptions& options) {
    const std::string& movieFile = options.movieFile;
    const std::filesystem::path outDir(options.outDir);
    std::string problem;
    if (!checkMovie(movieFile, problem)) {
        return failure(problem);
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
    const int32_t width = kWidth * options.scale;
    const int32_t height = kHeight * options.scale;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                                 kStartPixel);
    std::vector<std::string> writtenNames;
    for (uint32_t call = 0; !options.limited || call < options.frames; ++call) {
        if (options.scale == 1) {
            player.render(pixels.data(), options.skip, static_cast<int32_t>(call), kWidth, kHeight);
        } else {
            player.renderScaled(pixels.data(), options.skip, width, height);
        }
        // Without --frames, stop at the first call that found no frame to draw.
        if (!options.limited && player.hasEnded()) {
            break;
        }
        const std::string name = frameFileName(call, options.raw ? ".raw" : ".png");
        AtomicFile file((outDir / name).string());
        std::string error;
        if (!file.create(error)) {
            return failure(error);
        }
        const bool ok = options.raw ? writeRaw(file.tempName(), pixels)
                                    : writePng(file.tempName(), pixels.data(), width, height);
        if (!ok) {
            return failure(fileError(file.finalName(), errno));
        }
        if (!file.commit(error, AtomicFile::Sync::kNo)) {
            return failure(error);
        }
        writtenNames.push_back(name);
    }
    uint32_t removed = 0;
    if (!removeOtherFrames(outDir.string(), writtenNames, removed, problem)) {
        return failure(problem);
    }
    const size_t written = writtenNames.size();
    std::cout << "wrote " << written << " frame" << (written == 1 ? "" : "s") << " to "
              << outDir.string();
    if (removed > 0) {
        std::cout << " (removed " << removed << " older frame" << (removed == 1 ? "" : "s") << ")";
    }
    std::cout << "\n";
    const MoviePlayer::FrameStatus end = player.endStatus();
    if (end != MoviePlayer::FrameStatus::kEnd) {
        return failure(movieFile + ": damaged: " + damageText(end));
    }
    return 0;
}

// An output that is the input would be replaced by what is read from it.
int refuseInputAsOutput(const std::string& input, const std::string& output) {
    return failure("cannot write " + output + ": it is the file being read (" + input +
                   "); give the output another name");
}

// A damaged movie still gives the text of the frames before the damage (that is what the
// text form is for), with status 1; a file that cannot be written leaves TEXT as it was.

int runDecode(const std::string& movieFile, const std::string& textFile) {
    std::string error;
    if (!checkMovie(movieFile, error)) {
        return failure(error);
    }
    if (sameFile(movieFile, textFile)) {
        return refuseInputAsOutput(movieFile, textFile);
    }
    AtomicFile file(textFile);
    if (!file.create(error)) {
        return failure(error);
    }
    std::ofstream out(file.tempName());
    if (!out) {
        return failure(fileError(textFile, errno));
    }
    const bool decoded = decodeMovie(movieFile, out, error);
    out.close();
    if (!out) {
        return failure(fileError(textFile, errno));
    }
    if (!file.commit(error)) {
        return failure(error);
    }
    if (!decoded) {
        return failure(error + "; " + textFile + " holds the frames before it");
    }
    return 0;
}

int runEncode(const std::string& textFile, const std::string& movieFile) {
    std::ifstream in(textFile);
    if (!in) {
        return failure(fileError(textFile, errno));
    }
    if (sameFile(textFile, movieFile)) {
        return refuseInputAsOutput(textFile, movieFile);
    }
    AtomicFile file(movieFile);
    std::string error;
    if (!file.create(error)) {
        return failure(error);
    }
    try {
        if (!encodeMovie(in, {textFile, file.tempName(), movieFile}, error)) {
            return failure(error);
        }
    } catch (const std::bad_alloc&) {
        return failure(textFile + ": out of memory while encoding it");
    }
    if (!file.commit(error)) {
        return failure(error);
    }
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    // Before any file is opened: a closed stream must not become the output's descriptor.
    keepStandardStreams();
    CLI::App app{"The movie tool: inspect, render, and convert movies to and from text.\n"
                 "MOVIE is the movie file itself (for example presents.mvz.gz).",
                 "mvz"};
    // At most one command; none at all is reported below, after an unknown word has been
    // named by the parser.
    app.require_subcommand(0, 1);
    std::string movieFile;
    std::string textFile;

    CLI::App* info = app.add_subcommand("info", "what a movie holds, frame by frame");
    info->add_option("MOVIE", movieFile, "movie file")->required();

    RenderOptions render;
    CLI::App* renderCommand =
        app.add_subcommand("render", "draw the frames as the show does, into OUTDIR");
    renderCommand->add_option("MOVIE", render.movieFile, "movie file")->required();
    renderCommand->add_option("OUTDIR", render.outDir, "folder for frame000000.png ... (or .raw)")
        ->required();
    CLI::Option* frames =
        renderCommand->add_option("--frames", render.frames, "render calls (default: to the end)")
            ->transform(toolcli::countValidator());
    renderCommand->add_option("--skip", render.skip, "frames skipped before each call")
        ->transform(toolcli::countValidator());
    renderCommand->add_flag("--raw", render.raw,
                            "320x200 (times --scale) little-endian 0xAARRGGBB words");
    renderCommand
        ->add_option("--scale", render.scale,
                     "frames K times the movie's 320x200, drawn at that size with sharp edges "
                     "(1 to 12, default 1)")
        ->type_name("K")
        ->transform(toolcli::wholeNumber(1, kMaxRenderScale));

    CLI::App* encode = app.add_subcommand("encode", "text form to a gzip movie");
    encode->add_option("TEXT", textFile, "text file")->required();
    encode->add_option("MOVIE", movieFile, "movie file to write")->required();

    CLI::App* decode = app.add_subcommand("decode", "movie to its text form");
    decode->add_option("MOVIE", movieFile, "movie file")->required();
    decode->add_option("TEXT", textFile, "text file to write")->required();

    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    AtomicFile::removeTempFilesOnSignals();
    if (app.get_subcommands().empty()) {
        std::cerr << "mvz: a command is required\n" << app.help();
        return toolcli::kUsageStatus;
    }
    render.limited = frames->count() > 0;
    int status = kFailStatus;
    try {
        if (info->parsed()) {
            status = runInfo(movieFile);
        } else if (renderCommand->parsed()) {
            status = runRender(render);
        } else if (encode->parsed()) {
            status = runEncode(textFile, movieFile);
        } else {
            status = runDecode(movieFile, textFile);
        }
    } catch (const std::bad_alloc&) {
        return failure("out of memory");
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    // What info and render print is their result: output that was lost is a failure.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        return failure(fileError("standard output", errno));
    }
    return status;
}
