// The movie player: reading frame records from the gzip stream, and drawing a decoded
// frame with the shared rasterizer. Counts come from the file and are trusted for nothing
// but loop bounds: storage only grows as the words it holds arrive.
#include "movie/MoviePlayer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <limits>

#include <unistd.h>
#include <zlib.h>

#include "driver/DataFile.h"
#include "geometry/Transform2D.h"
#include "movie/MovieFormat.h"
#include "movie/MovieFrame.h"
#include "movie/Path.h"
#include "raster/Rasterizer.h"

namespace {
// The formatted "<name>.gz" must fit this buffer; longer names count as a missing file.
constexpr size_t kFileNameCapacity = 128;
constexpr int32_t kMovieCurveSteps = 16;
constexpr uint32_t kBackground = 0xff000000u;
// Fill rule of every movie path: even-odd.
constexpr int32_t kEvenOdd = 0;
// Path words are read this many at a time.
constexpr uint32_t kWordChunk = 16384;
// The scratch path storage is given back after a frame when it grew past this.
constexpr size_t kScratchKeep = 1u << 16;

// Lines an arc can flatten into: 0.01-radian steps over less than a full turn (629
// points, one more for float rounding), the line to its end point and the closing line,
// with room to spare.
constexpr int64_t kArcLineBound = 640;

// The most straight lines the replay of these path words can hand the rasterizer. The walk
// stops where the replay stops: at an end code or a command cut short.
int64_t flattenedLineBound(const std::vector<uint32_t>& words) {
    int64_t lines = 0;
    size_t position = 0;
    while (position < words.size()) {
        const uint32_t code = words[position++];
        if (code >= pathcode::kFirstEnd) {
            break;
        }
        const auto operands = static_cast<size_t>(pathcode::operandCount(code));
        if (operands > words.size() - position) {
            break;
        }
        position += operands;
        switch (code) {
        case pathcode::kLine:
        case pathcode::kClose:
            lines += 1;
            break;
        case pathcode::kQuad:
        case pathcode::kCubic:
            lines += kMovieCurveSteps;
            break;
        case pathcode::kArc:
            lines += kArcLineBound;
            break;
        default: // no-op and move draw nothing
            break;
        }
    }
    return lines;
}

uint32_t fromLittleEndian(uint32_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        return word;
    } else {
        return (word >> 24) | ((word >> 8) & 0xff00u) | ((word << 8) & 0xff0000u) | (word << 24);
    }
}

void fillBlack(uint32_t* pixels, int32_t width, int32_t height) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const auto count = static_cast<size_t>(static_cast<int64_t>(width) * height);
    std::fill_n(pixels, count, kBackground);
}
} // namespace

void MoviePlayer::GzCloser::operator()(gzFile_s* handle) const {
    gzclose(handle);
}

MoviePlayer::MoviePlayer() = default;

MoviePlayer::~MoviePlayer() = default;

int32_t MoviePlayer::open(const char* name) {
    std::array<char, kFileNameCapacity> fileName{};
    if (name == nullptr) {
        close();
        return 0;
    }
    const int length = std::snprintf(fileName.data(), fileName.size(), "%s.gz", name);
    if (length < 0 || static_cast<size_t>(length) >= fileName.size()) {
        close();
        return 0;
    }
    return openFile(fileName.data());
}

int32_t MoviePlayer::openFile(const char* fileName) {
    close();
    if (fileName == nullptr) {
        return 0;
    }
    const int fd = openDataFile(fileName);
    if (fd < 0) {
        return 0;
    }
    // The stream owns the descriptor from here; gzclose closes it.
    stream.reset(gzdopen(fd, "rb"));
    if (!stream) {
        ::close(fd);
        return 0;
    }
    uint32_t word0 = 0;
    uint32_t frameCount = 0;
    if (!readWord(word0) || !readWord(frameCount)) {
        close();
        return 0;
    }
    headerWord0 = word0;
    ended = false;
    return static_cast<int32_t>(frameCount);
}

void MoviePlayer::close() {
    stream.reset();
    shapesLeft = 0;
    pathsLeft = 0;
    ended = true;
    endReason = FrameStatus::kEnd;
    headerWord0 = 0;
    pathWords.clear();
    pathWords.shrink_to_fit();
}

void MoviePlayer::render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                         int32_t height) {
    static_cast<void>(frameIndex);
    for (uint32_t skipped = 0; skipped < skipCount && !ended; ++skipped) {
        if (readFrame(nullptr) == FrameStatus::kBadTag) {
            return;
        }
    }
    if (!ended) {
        MovieFrame frame;
        const FrameStatus status = readFrame(&frame);
        if (status == FrameStatus::kFrame) {
            drawFrame(frame, pixels, width, height);
            return;
        }
        if (status == FrameStatus::kBadTag) {
            return;
        }
    }
    fillBlack(pixels, width, height);
}

MoviePlayer::FrameStatus MoviePlayer::readFrame(MovieFrame* frame) {
    if (frame != nullptr) {
        frame->shapes.clear();
    }
    const FrameStatus status = readFrameRecord(frame);
    shapesLeft = 0;
    pathsLeft = 0;
    if (pathWords.capacity() > kScratchKeep) {
        pathWords.clear();
        pathWords.shrink_to_fit();
    }
    if (status != FrameStatus::kFrame) {
        if (!ended) {
            endReason = status;
        }
        ended = true;
        if (frame != nullptr) {
            frame->shapes.clear();
        }
    }
    return status;
}

MoviePlayer::FrameStatus MoviePlayer::readFrameRecord(MovieFrame* frame) {
    if (!stream || ended) {
        return FrameStatus::kEnd;
    }
    // A clean end comes exactly at a frame boundary; a partial count word is a cut.
    std::array<uint8_t, movieformat::kBytesPerWord> first{};
    const int got = gzread(stream.get(), first.data(), static_cast<unsigned>(first.size()));
    if (got <= 0) {
        return FrameStatus::kEnd;
    }
    if (got != movieformat::kBytesPerWord) {
        return FrameStatus::kCutShort;
    }
    shapesLeft = static_cast<uint32_t>(first[0]) | (static_cast<uint32_t>(first[1]) << 8) |
                 (static_cast<uint32_t>(first[2]) << 16) | (static_cast<uint32_t>(first[3]) << 24);

    // What the decoded frame holds so far; shapes are counted twice over for the slack
    // of the growing list. And the most lines its paths can flatten into.
    size_t frameBytes = 0;
    int64_t frameLines = 0;
    while (shapesLeft != 0) {
        uint32_t colour = 0;
        uint32_t pathCount = 0;
        if (!readWord(colour) || !readWord(pathCount)) {
            return FrameStatus::kCutShort;
        }
        pathsLeft = pathCount;
        Shape* shape = nullptr;
        if (frame != nullptr) {
            frameBytes += 2 * sizeof(Shape) + sizeof(SolidPaint);
            if (frameBytes > kMaxFrameBytes) {
                return FrameStatus::kTooLarge;
            }
            shape = &frame->shapes.emplace_back();
            shape->paint = std::make_unique<SolidPaint>(colour);
        }
        while (pathsLeft != 0) {
            uint32_t tag = 0;
            if (!readWord(tag)) {
                return FrameStatus::kCutShort;
            }
            if (tag != movieformat::kPathTag) {
                return FrameStatus::kBadTag;
            }
            uint32_t wordCount = 0;
            if (!readWord(wordCount)) {
                return FrameStatus::kCutShort;
            }
            if (wordCount > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
                return FrameStatus::kBadCount;
            }
            if (shape != nullptr) {
                frameBytes += 2 * sizeof(Path) + size_t{wordCount} * sizeof(uint32_t);
                if (frameBytes > kMaxFrameBytes) {
                    return FrameStatus::kTooLarge;
                }
            }
            pathWords.clear();
            if (!readWords(wordCount, shape != nullptr ? &pathWords : nullptr)) {
                return FrameStatus::kCutShort;
            }
            if (shape != nullptr) {
                frameLines += flattenedLineBound(pathWords);
                if (frameLines > kMaxFrameLines) {
                    return FrameStatus::kTooLarge;
                }
                shape->paths.emplace_back().setWords(pathWords.data(),
                                                     static_cast<int32_t>(pathWords.size()));
            }
            --pathsLeft;
        }
        --shapesLeft;
    }
    return FrameStatus::kFrame;
}

bool MoviePlayer::readWord(uint32_t& word) {
    uint32_t raw = 0;
    if (!stream || gzread(stream.get(), &raw, sizeof raw) != static_cast<int>(sizeof raw)) {
        return false;
    }
    word = fromLittleEndian(raw);
    return true;
}

bool MoviePlayer::readWords(uint32_t count, std::vector<uint32_t>* out) {
    // Words read past (out null) go through the scratch storage one chunk at a time.
    std::vector<uint32_t>& target = out != nullptr ? *out : pathWords;
    while (count > 0) {
        const uint32_t n = std::min(count, kWordChunk);
        const size_t start = out != nullptr ? target.size() : 0;
        target.resize(start + n);
        uint32_t* words = target.data() + start;
        const auto bytes = static_cast<unsigned>(n * sizeof(uint32_t));
        if (gzread(stream.get(), words, bytes) != static_cast<int>(bytes)) {
            return false;
        }
        if constexpr (std::endian::native != std::endian::little) {
            std::transform(words, words + n, words, fromLittleEndian);
        }
        count -= n;
    }
    return true;
}

void MoviePlayer::drawFrame(const MovieFrame& frame, uint32_t* pixels, int32_t width,
                            int32_t height) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    rasterizer.setTarget(pixels, width, height, width);
    rasterizer.clear();
    rasterizer.setCurveSteps(kMovieCurveSteps);
    movieTransform.setRotation(0.0f);
    movieTransform.setScale(1.0f, 1.0f);
    // The file lists shapes back to front; the rasterizer composites under what is
    // there, so drawing them front to back leaves covered pixels alone.
    int64_t frameCells = 0;
    for (auto shape = frame.shapes.rbegin(); shape != frame.shapes.rend(); ++shape) {
        if (!shape->paint) {
            continue;
        }
        for (const Path& path : shape->paths) {
            if (frameCells > kMaxFrameCells) {
                break;
            }
            rasterizer.fillTransformed(path, movieTransform, *shape->paint, kEvenOdd);
            frameCells += rasterizer.cellCount();
        }
    }
    rasterizer.resolveBackground(kBackground);
}
