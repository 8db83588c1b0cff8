// The movie player: reading frame records from the gzip stream, and drawing a decoded
// frame with the shared rasterizer. Counts come from the file and are trusted for nothing
// but loop bounds: storage only grows as the words it holds arrive.
#include "movie/MoviePlayer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include <unistd.h>
#include <zlib.h>

#include "geometry/Path.h"
#include "geometry/Transform2D.h"
#include "movie/DataFile.h"
#include "movie/FrameBudget.h"
#include "movie/MovieFormat.h"
#include "movie/MovieFrame.h"
#include "movie/ScaledFramePainter.h"
#include "raster/Rasterizer.h"

namespace {
// The formatted "<name>.gz" must fit this buffer; longer names count as a missing file.
constexpr size_t kFileNameCapacity = 128;
constexpr uint32_t kBackground = 0xff000000u;
// Fill rule of every movie path: even-odd.
// The shape table is given back after a frame with more shapes than this.
constexpr size_t kDrawShapesKeep = 1u << 16;
// Largest single read asked of zlib (its length is an unsigned int, its result an int).
constexpr size_t kLargestRead = size_t{1} << 30;

} // namespace

// From the points of its commands: curves stay within their control points, an arc within
// twice its y radius of its ends. Known only when the first drawing command is a move (so
// no edge starts at an earlier path's pen) and every point is finite.
MoviePlayer::PathReach MoviePlayer::verticalReach(const uint32_t* words, int32_t wordCount,
                                                  int64_t* lines) {
    MoviePlayer::PathReach reach{std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::lowest(), false};
    bool moved = false;
    bool unknown = false;
    int64_t lineBound = 0;
    pathcode::Reader reader(words, wordCount > 0 ? static_cast<size_t>(wordCount) : 0);
    pathcode::Command command;
    while (reader.next(command)) {
        const uint32_t code = command.code;
        lineBound += framebudget::kCommandLineBound[code];
        if (unknown || code == pathcode::kNop) {
            continue;
        }
        unknown = !moved && code != pathcode::kMove;
        moved = true;
        const auto f = [&command](int32_t i) { return command.operand(i); };
        float spread = 0.0f;
        int32_t firstY = 1;
        int32_t lastY = command.operandCount - 1;
        if (code == pathcode::kArc) {
            spread = 2.0f * std::fabs(f(1));
            firstY = 3;
            lastY = 3;
        }
        for (int32_t i = firstY; i <= lastY && !unknown; i += 2) {
            const float y = f(i);
            unknown = !std::isfinite(y) || !std::isfinite(spread);
            reach.minY = std::min(reach.minY, y - spread);
            reach.maxY = std::max(reach.maxY, y + spread);
        }
        if (unknown && lines == nullptr) {
            return reach;
        }
    }
    if (lines != nullptr) {
        *lines = lineBound;
    }
    reach.known = !unknown;
    return reach;
}

namespace {

[[maybe_unused]] uint32_t fromLittleEndian(uint32_t word) {
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
    if (!need(2 * sizeof(uint32_t))) {
        close();
        return 0;
    }
    headerWord0 = takeWord();
    const uint32_t frameCount = takeWord();
    ended = false;
    return static_cast<int32_t>(frameCount);
}

void MoviePlayer::close() {
    stream.reset();
    readBuffer.reset();
    bufferBytes = 0;
    readPos = 0;
    readEnd = 0;
    frameStart = 0;
    nativeEnd = 0;
    keepFrame = false;
    shapesLeft = 0;
    pathsLeft = 0;
    ended = true;
    endReason = FrameStatus::kEnd;
    headerWord0 = 0;
    drawShapes.clear();
    drawShapes.shrink_to_fit();
}

// Fills a MovieFrame: one Shape with its own paint per shape record, one Path per path.
class MoviePlayer::ModelBuilder {
public:
    explicit ModelBuilder(MovieFrame& target) : frame(target) {}
    void beginShape(uint32_t colour, uint32_t, size_t) {
        shape = &frame.shapes.emplace_back();
        shape->paint = std::make_unique<SolidPaint>(colour);
    }
    void addPath(const uint32_t* words, int32_t count) {
        shape->paths.emplace_back().setWords(words, count);
    }

private:
    MovieFrame& frame;
    Shape* shape = nullptr;
};

// Fills the shape table of the frame to draw; the paths stay where they lie in the buffer.
class MoviePlayer::DrawBuilder {
public:
    explicit DrawBuilder(std::vector<DrawShape>& table) : shapes(table) {}
    void beginShape(uint32_t colour, uint32_t pathCount, size_t firstRecord) {
        shapes.push_back({colour, pathCount, firstRecord});
    }
    void addPath(const uint32_t*, int32_t) {}

private:
    std::vector<DrawShape>& shapes;
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
        DrawBuilder builder(drawShapes);
        keepFrame = true;
        const FrameStatus status = readFrameInto(&builder);
        if (status == FrameStatus::kFrame) {
            if (scaledTarget) {
                drawFrameScaled(pixels, width, height);
            } else {
                drawFrame(pixels, width, height);
            }
        }
        keepFrame = false;
        drawShapes.clear();
        if (drawShapes.capacity() > kDrawShapesKeep) {
            drawShapes.shrink_to_fit();
        }
        shrinkBuffer();
        if (status == FrameStatus::kFrame || status == FrameStatus::kBadTag) {
            return;
        }
    }
    fillBlack(pixels, width, height);
}

void MoviePlayer::renderScaled(uint32_t* pixels, uint32_t skipCount, int32_t width,
                               int32_t height) {
    scaledTarget = true;
    render(pixels, skipCount, 0, width, height);
    scaledTarget = false;
}

void MoviePlayer::setDrawThreads(int32_t threads) {
    if (threads != drawThreads) {
        drawThreads = threads;
        scaledPainter.reset();
    }
}

MoviePlayer::FrameStatus MoviePlayer::readFrame(MovieFrame* frame) {
    if (frame == nullptr) {
        const FrameStatus status = readFrameInto<ModelBuilder>(nullptr);
        shrinkBuffer();
        return status;
    }
    frame->shapes.clear();
    ModelBuilder builder(*frame);
    const FrameStatus status = readFrameInto(&builder);
    if (status != FrameStatus::kFrame) {
        frame->shapes.clear();
    }
    shrinkBuffer();
    return status;
}

template <class Builder> MoviePlayer::FrameStatus MoviePlayer::readFrameInto(Builder* builder) {
    const FrameStatus status = readFrameRecord(builder);
    shapesLeft = 0;
    pathsLeft = 0;
    if (status != FrameStatus::kFrame) {
        if (!ended) {
            endReason = status;
        }
        ended = true;
    }
    return status;
}

template <class Builder> MoviePlayer::FrameStatus MoviePlayer::readFrameRecord(Builder* builder) {
    if (!stream || ended) {
        return FrameStatus::kEnd;
    }
    frameStart = readPos;
    // A clean end comes exactly at a frame boundary; a partial count word is a cut.
    if (!need(sizeof(uint32_t))) {
        return readPos == readEnd ? FrameStatus::kEnd : FrameStatus::kCutShort;
    }
    shapesLeft = takeWord();

    // What the decoded frame holds so far, and the most lines its paths can flatten into.
    size_t frameBytes = 0;
    int64_t frameLines = 0;
    while (shapesLeft != 0) {
        if (!need(2 * sizeof(uint32_t))) {
            return FrameStatus::kCutShort;
        }
        const uint32_t colour = takeWord();
        pathsLeft = takeWord();
        if (builder != nullptr) {
            frameBytes += framebudget::kShapeCost;
            if (frameBytes > kMaxFrameBytes) {
                return FrameStatus::kTooLarge;
            }
            builder->beginShape(colour, pathsLeft, readPos - frameStart);
        }
        while (pathsLeft != 0) {
            if (!need(sizeof(uint32_t))) {
                return FrameStatus::kCutShort;
            }
            if (takeWord() != movieformat::kPathTag) {
                return FrameStatus::kBadTag;
            }
            if (!need(sizeof(uint32_t))) {
                return FrameStatus::kCutShort;
            }
            const uint32_t wordCount = takeWord();
            if (wordCount > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
                return FrameStatus::kBadCount;
            }
            const size_t bytes = static_cast<size_t>(wordCount) * sizeof(uint32_t);
            if (!need(bytes)) {
                return FrameStatus::kCutShort;
            }
            if (builder != nullptr) {
                frameBytes += framebudget::kPathCost + bytes;
                if (frameBytes > kMaxFrameBytes) {
                    return FrameStatus::kTooLarge;
                }
                const uint32_t* words = readBuffer.get() + readPos / sizeof(uint32_t);
                frameLines += framebudget::flattenedLineBound(words, wordCount);
                if (frameLines > kMaxFrameLines) {
                    return FrameStatus::kTooLarge;
                }
                builder->addPath(words, static_cast<int32_t>(wordCount));
            }
            readPos += bytes;
            --pathsLeft;
        }
        --shapesLeft;
    }
    return FrameStatus::kFrame;
}

uint32_t MoviePlayer::takeWord() {
    const uint32_t word = readBuffer[readPos / sizeof(uint32_t)];
    readPos += sizeof(uint32_t);
    return word;
}

bool MoviePlayer::refill(size_t n) {
    while (readEnd - readPos < n) {
        if (!stream) {
            return false;
        }
        auto* const bytes = reinterpret_cast<uint8_t*>(readBuffer.get());
        // Room short: what must stay moves to the front (positions are whole words, so
        // the words stay aligned).
        const size_t keep = keepFrom();
        if (keep > 0 && bufferBytes - readEnd < kReadBlockBytes) {
            std::memmove(bytes, bytes + keep, readEnd - keep);
            readPos -= keep;
            readEnd -= keep;
            nativeEnd -= keep;
            frameStart = frameStart >= keep ? frameStart - keep : 0;
        }
        // Still short: the kept bytes fill the buffer, which doubles (or is made), up to
        // kMaxBufferBytes. A frame that would need more is not read, like a cut stream.
        if (bufferBytes - readEnd < kReadBlockBytes && bufferBytes < kMaxBufferBytes) {
            const size_t grown =
                bufferBytes == 0 ? kReadBufferBytes : std::min(bufferBytes * 2, kMaxBufferBytes);
            try {
                auto larger = std::make_unique_for_overwrite<uint32_t[]>(grown / sizeof(uint32_t));
                if (readEnd > 0) {
                    std::memcpy(larger.get(), readBuffer.get(), readEnd);
                }
                readBuffer = std::move(larger);
                bufferBytes = grown;
            } catch (const std::bad_alloc&) {
                // Reading goes on in the room that is left, if any.
            }
        }
        if (readEnd == bufferBytes) {
            return false;
        }
        const size_t ask = std::min(bufferBytes - readEnd, kLargestRead);
        const int got = gzread(stream.get(), reinterpret_cast<uint8_t*>(readBuffer.get()) + readEnd,
                               static_cast<unsigned>(ask));
        if (got <= 0) {
            return false;
        }
        readEnd += static_cast<size_t>(got);
        const size_t wholeEnd = readEnd - readEnd % sizeof(uint32_t);
        if constexpr (std::endian::native != std::endian::little) {
            std::transform(readBuffer.get() + nativeEnd / sizeof(uint32_t),
                           readBuffer.get() + wholeEnd / sizeof(uint32_t),
                           readBuffer.get() + nativeEnd / sizeof(uint32_t), fromLittleEndian);
        }
        nativeEnd = wholeEnd;
    }
    return true;
}

void MoviePlayer::shrinkBuffer() {
    const size_t unread = readEnd - readPos;
    if (bufferBytes <= kReadBufferBytes || unread > kReadBufferBytes) {
        return;
    }
    auto smaller = std::make_unique_for_overwrite<uint32_t[]>(kReadBufferBytes / sizeof(uint32_t));
    std::memcpy(smaller.get(), reinterpret_cast<const uint8_t*>(readBuffer.get()) + readPos,
                unread);
    readBuffer = std::move(smaller);
    bufferBytes = kReadBufferBytes;
    nativeEnd -= readPos;
    readPos = 0;
    readEnd = unread;
    frameStart = 0;
}

void MoviePlayer::drawFrame(uint32_t* pixels, int32_t width, int32_t height) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    rasterizer.setTarget(pixels, width, height, width);
    rasterizer.beginPicture();
    rasterizer.setCurveSteps(framebudget::kMovieCurveSteps);
    movieTransform.setRotation(0.0f);
    movieTransform.setScale(1.0f, 1.0f);
    // The file lists shapes back to front; the rasterizer composites under what is
    // there, so drawing them front to back leaves covered pixels alone. Each path record
    // is its tag, its word count and its words, checked whole while the frame was read.
    int64_t frameCells = 0;
    const uint32_t* const frame = readBuffer.get() + frameStart / sizeof(uint32_t);
    for (auto shape = drawShapes.rbegin(); shape != drawShapes.rend(); ++shape) {
        SolidPaint paint(shape->colour);
        const uint32_t* record = frame + shape->firstRecord / sizeof(uint32_t);
        for (uint32_t i = 0; i < shape->pathCount && frameCells <= kMaxFrameCells; ++i) {
            if (stopCheck && stopCheck()) {
                return;
            }
            const auto wordCount = static_cast<int32_t>(record[1]);
            rasterizer.fillWords(record + 2, wordCount, movieTransform, paint, FillRule::kEvenOdd);
            frameCells += rasterizer.fillCellCount();
            record += 2 + static_cast<size_t>(wordCount);
        }
    }
    rasterizer.resolveBackground(kBackground);
}

void MoviePlayer::drawFrameScaled(uint32_t* pixels, int32_t width, int32_t height) {
    if (!scaledPainter) {
        scaledPainter = std::make_unique<ScaledFramePainter>(drawThreads);
    }
    // The file lists shapes back to front; they are drawn front to back.
    const uint32_t* const frame = readBuffer.get() + frameStart / sizeof(uint32_t);
    framePaths.clear();
    for (auto shape = drawShapes.rbegin(); shape != drawShapes.rend(); ++shape) {
        const uint32_t* record = frame + shape->firstRecord / sizeof(uint32_t);
        for (uint32_t i = 0; i < shape->pathCount; ++i) {
            const auto wordCount = static_cast<int32_t>(record[1]);
            framePaths.push_back({record + 2, wordCount, shape->colour});
            record += 2 + static_cast<size_t>(wordCount);
        }
    }
    scaledPainter->paint(pixels, width, height, framePaths, rasterizer, stopCheck);
}
