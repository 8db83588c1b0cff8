// The movie player: reading frame records from the gzip stream, and drawing a decoded
// frame with the shared rasterizer. Counts come from the file and are trusted for nothing
// but loop bounds: storage only grows as the words it holds arrive.
#include "movie/MoviePlayer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
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
// The stream is decompressed into a buffer of this many bytes, read word by word from there.
constexpr size_t kReadBufferBytes = 1u << 16;
// Compressed bytes read from the file at a time.
constexpr unsigned kCompressedBufferBytes = 1u << 17;
// Path words are read this many at a time.
constexpr uint32_t kWordChunk = 16384;
// The scratch path storage is given back after a frame when it grew past this.
constexpr size_t kScratchKeep = 1u << 16;
// The frame to draw gives back its storage after a frame with more words or paths than these.
constexpr size_t kDrawWordsKeep = 1u << 22;
constexpr size_t kDrawPathsKeep = 1u << 16;

// What a shape and a path (besides its words) may cost in the decoded frame, with the
// slack of growing lists; the larger of the frame model's and the frame to draw's.
constexpr size_t kShapeCost = 2 * sizeof(Shape) + sizeof(SolidPaint);
constexpr size_t kPathCost = 2 * sizeof(Path);
// Lines an arc can flatten into: 0.01-radian steps over less than a full turn (629
// points, one more for float rounding), the line to its end point and the closing line,
// with room to spare.
constexpr int64_t kArcLineBound = 640;

// The most straight lines the replay of these path words can hand the rasterizer. The walk
// stops where the replay stops: at an end code or a command cut short.
int64_t flattenedLineBound(const uint32_t* words, size_t count) {
    int64_t lines = 0;
    size_t position = 0;
    while (position < count) {
        const uint32_t code = words[position++];
        if (code >= pathcode::kFirstEnd) {
            break;
        }
        const auto operands = static_cast<size_t>(pathcode::operandCount(code));
        if (operands > count - position) {
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
    // Compressed input is read in large blocks: fewer reads from the file per frame.
    gzbuffer(stream.get(), kCompressedBufferBytes);
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
    readBuffer.reset();
    readPos = 0;
    readEnd = 0;
    shapesLeft = 0;
    pathsLeft = 0;
    ended = true;
    endReason = FrameStatus::kEnd;
    headerWord0 = 0;
    pathWords.clear();
    pathWords.shrink_to_fit();
    clearDrawFrame();
}

// Fills a MovieFrame: one Shape with its own paint per shape record, one Path per path.
class MoviePlayer::ModelBuilder {
public:
    ModelBuilder(MovieFrame& target, std::vector<uint32_t>& scratchWords)
        : frame(target), scratch(scratchWords) {}
    void beginShape(uint32_t colour) {
        shape = &frame.shapes.emplace_back();
        shape->paint = std::make_unique<SolidPaint>(colour);
    }
    // Where the words of a path are read to, one path at a time.
    std::vector<uint32_t>* storage() {
        scratch.clear();
        return &scratch;
    }
    void pathRead(size_t) {
        shape->paths.emplace_back().setWords(scratch.data(), static_cast<int32_t>(scratch.size()));
    }
    void addPath(const uint32_t* words, int32_t count) {
        shape->paths.emplace_back().setWords(words, count);
    }

private:
    MovieFrame& frame;
    std::vector<uint32_t>& scratch;
    Shape* shape = nullptr;
};

// Fills the player's frame to draw: all path words appended to one array.
class MoviePlayer::DrawBuilder {
public:
    explicit DrawBuilder(MoviePlayer& owner) : player(owner) {}
    void beginShape(uint32_t colour) {
        player.drawShapes.push_back({colour, static_cast<uint32_t>(player.drawPaths.size()), 0});
    }
    std::vector<uint32_t>* storage() { return &player.drawWords; }
    void pathRead(size_t start) {
        player.drawPaths.push_back({start, static_cast<int32_t>(player.drawWords.size() - start)});
        ++player.drawShapes.back().pathCount;
    }
    void addPath(const uint32_t* words, int32_t count) {
        const size_t start = player.drawWords.size();
        player.drawWords.insert(player.drawWords.end(), words, words + count);
        pathRead(start);
    }

private:
    MoviePlayer& player;
};

void MoviePlayer::render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                         int32_t height) {
    static_cast<void>(frameIndex);
    for (uint32_t skipped = 0; skipped < skipCount && !ended; ++skipped) {
        if (readFrame(nullptr) == FrameStatus::kBadTag) {
            return;
        }
    }
    if (!ended) {
        DrawBuilder builder(*this);
        const FrameStatus status = readFrameInto(&builder);
        if (status == FrameStatus::kFrame) {
            drawFrame(pixels, width, height);
        }
        clearDrawFrame();
        if (status == FrameStatus::kFrame || status == FrameStatus::kBadTag) {
            return;
        }
    }
    fillBlack(pixels, width, height);
}

MoviePlayer::FrameStatus MoviePlayer::readFrame(MovieFrame* frame) {
    if (frame == nullptr) {
        return readFrameInto<ModelBuilder>(nullptr);
    }
    frame->shapes.clear();
    ModelBuilder builder(*frame, pathWords);
    const FrameStatus status = readFrameInto(&builder);
    if (status != FrameStatus::kFrame) {
        frame->shapes.clear();
    }
    return status;
}

template <class Builder>
MoviePlayer::FrameStatus MoviePlayer::readFrameInto(Builder* builder) {
    const FrameStatus status = readFrameRecord(builder);
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
    }
    return status;
}

template <class Builder>
MoviePlayer::FrameStatus MoviePlayer::readFrameRecord(Builder* builder) {
    if (!stream || ended) {
        return FrameStatus::kEnd;
    }
    // A clean end comes exactly at a frame boundary; a partial count word is a cut.
    std::array<uint8_t, movieformat::kBytesPerWord> first{};
    const size_t got = readBytes(first.data(), first.size());
    if (got == 0) {
        return FrameStatus::kEnd;
    }
    if (got != movieformat::kBytesPerWord) {
        return FrameStatus::kCutShort;
    }
    shapesLeft = static_cast<uint32_t>(first[0]) | (static_cast<uint32_t>(first[1]) << 8) |
                 (static_cast<uint32_t>(first[2]) << 16) | (static_cast<uint32_t>(first[3]) << 24);

    // What the decoded frame holds so far, and the most lines its paths can flatten into.
    size_t frameBytes = 0;
    int64_t frameLines = 0;
    while (shapesLeft != 0) {
        uint32_t colour = 0;
        uint32_t pathCount = 0;
        if (!readWord(colour) || !readWord(pathCount)) {
            return FrameStatus::kCutShort;
        }
        pathsLeft = pathCount;
        if (builder != nullptr) {
            frameBytes += kShapeCost;
            if (frameBytes > kMaxFrameBytes) {
                return FrameStatus::kTooLarge;
            }
            builder->beginShape(colour);
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
            const size_t bytes = static_cast<size_t>(wordCount) * sizeof(uint32_t);
            if (builder != nullptr) {
                frameBytes += kPathCost + bytes;
                if (frameBytes > kMaxFrameBytes) {
                    return FrameStatus::kTooLarge;
                }
            }
            // A path whose words all lie in the read buffer is copied straight from it.
            if constexpr (std::endian::native == std::endian::little) {
                if (builder != nullptr && readEnd - readPos >= bytes && readPos % sizeof(uint32_t) == 0) {
                    const uint32_t* words = readBuffer.get() + readPos / sizeof(uint32_t);
                    frameLines += flattenedLineBound(words, wordCount);
                    if (frameLines > kMaxFrameLines) {
                        return FrameStatus::kTooLarge;
                    }
                    builder->addPath(words, static_cast<int32_t>(wordCount));
                    readPos += bytes;
                    --pathsLeft;
                    continue;
                }
            }
            std::vector<uint32_t>* const storage = builder != nullptr ? builder->storage() : nullptr;
            const size_t start = storage != nullptr ? storage->size() : 0;
            if (!readWords(wordCount, storage)) {
                return FrameStatus::kCutShort;
            }
            if (builder != nullptr) {
                frameLines += flattenedLineBound(storage->data() + start, storage->size() - start);
                if (frameLines > kMaxFrameLines) {
                    return FrameStatus::kTooLarge;
                }
                builder->pathRead(start);
            }
            --pathsLeft;
        }
        --shapesLeft;
    }
    return FrameStatus::kFrame;
}

size_t MoviePlayer::readBytes(uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n && stream) {
        if (readPos == readEnd) {
            if (!readBuffer) {
                readBuffer = std::make_unique_for_overwrite<uint32_t[]>(kReadBufferBytes / sizeof(uint32_t));
            }
            const int got = gzread(stream.get(), readBuffer.get(), static_cast<unsigned>(kReadBufferBytes));
            if (got <= 0) {
                break;
            }
            readPos = 0;
            readEnd = static_cast<size_t>(got);
        }
        const size_t take = std::min(n - done, readEnd - readPos);
        if (out != nullptr) {
            std::memcpy(out + done, reinterpret_cast<const uint8_t*>(readBuffer.get()) + readPos, take);
        }
        readPos += take;
        done += take;
    }
    return done;
}

bool MoviePlayer::readWord(uint32_t& word) {
    uint32_t raw = 0;
    // Most words lie whole in the read buffer.
    if (readEnd - readPos >= sizeof raw) {
        std::memcpy(&raw, reinterpret_cast<const uint8_t*>(readBuffer.get()) + readPos, sizeof raw);
        readPos += sizeof raw;
        word = fromLittleEndian(raw);
        return true;
    }
    if (readBytes(reinterpret_cast<uint8_t*>(&raw), sizeof raw) != sizeof raw) {
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
        const size_t bytes = n * sizeof(uint32_t);
        if (readBytes(reinterpret_cast<uint8_t*>(words), bytes) != bytes) {
            return false;
        }
        if constexpr (std::endian::native != std::endian::little) {
            std::transform(words, words + n, words, fromLittleEndian);
        }
        count -= n;
    }
    return true;
}

void MoviePlayer::clearDrawFrame() {
    // Storage is kept for the next frame unless one frame made it unusually large.
    const bool large = drawWords.capacity() > kDrawWordsKeep || drawPaths.capacity() > kDrawPathsKeep ||
                       drawShapes.capacity() > kDrawPathsKeep;
    drawWords.clear();
    drawShapes.clear();
    drawPaths.clear();
    if (large) {
        drawWords.shrink_to_fit();
        drawShapes.shrink_to_fit();
        drawPaths.shrink_to_fit();
    }
}

void MoviePlayer::drawFrame(uint32_t* pixels, int32_t width, int32_t height) {
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
    for (auto shape = drawShapes.rbegin(); shape != drawShapes.rend(); ++shape) {
        SolidPaint paint(shape->colour);
        for (uint32_t i = 0; i < shape->pathCount && frameCells <= kMaxFrameCells; ++i) {
            const DrawPath& path = drawPaths[shape->firstPath + i];
            rasterizer.fillWords(drawWords.data() + path.offset, path.wordCount, movieTransform, paint,
                                 kEvenOdd);
            frameCells += rasterizer.cellCount();
        }
    }
    rasterizer.resolveBackground(kBackground);
}
