// Streams a gzip-compressed vector movie: each render skips the frames the clock says
// were missed, decodes the next frame and draws it front to back over black.
// One frame in memory at a time; the stream is never sought. A damaged stream ends the
// movie: from then on every render draws black (a bad path tag leaves that one call's
// buffer untouched first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct gzFile_s;
class MovieFrame;
class ScaledFramePainter;
struct FramePath;

class MoviePlayer {
public:
    // What reading one frame record found.
    enum class FrameStatus {
        kFrame,    // a whole frame was read
        kEnd,      // the stream ended cleanly before the frame (or nothing is open)
        kCutShort, // the stream ended inside the frame
        kBadTag,   // a path record did not start with the path tag
        kBadCount, // a path word count larger than any path can hold
        kTooLarge, // a decoded frame would hold more than kMaxFrameBytes
    };

    // Memory a decoded frame may take: shapes, paints, paths and their words. The show's
    // frames need a few hundred KiB; a stream of tiny records that expands past this
    // (a small gzip file can unpack to gigabytes) is damage, not a frame.
    static constexpr size_t kMaxFrameBytes = size_t{64} << 20;
    // Drawing work a frame may ask for, so that no frame can stall the show for long. Lines:
    // the most straight pieces its paths can flatten into (an arc counts its longest walk);
    // a frame that may need more is damage. Cells: what its fills produce together; the
    // paths after the fill that passes the limit are not drawn. The show's frames stay two
    // orders of magnitude below both.
    static constexpr int64_t kMaxFrameLines = int64_t{1} << 24;
    static constexpr int64_t kMaxFrameCells = int64_t{1} << 25;

    MoviePlayer();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Opens "<name>.gz" and returns the movie's frame count (0 when it cannot be read).
    int32_t open(const char* name);
    // Same, for a file name taken as it is.
    int32_t openFile(const char* fileName);
    // Draws one frame into pixels (pitch = width) after skipping skipCount frames.
    // frameIndex is accepted and not used.
    void render(uint32_t* pixels, uint32_t skipCount, int32_t frameIndex, int32_t width,
                int32_t height);
    // render with the movie's 320x200 space mapped onto width x height (pitch width): x
    // scaled by width / 320, y by height / 200. Curves and arcs are flattened for that
    // scale (no chord more than 1/4 pixel off the curve) unless it is 1; any height is
    // drawn in bands on drawThreads threads. At 320x200 it gives render's pixels. The paths
    // drawn are those render draws within kMaxFrameCells, at any size.
    void renderScaled(uint32_t* pixels, uint32_t skipCount, int32_t width, int32_t height);
    // Threads renderScaled draws with; <= 0 (the default) is one per processor core.
    void setDrawThreads(int32_t threads);
    // The rows (movie y) a path's replay can draw on; known false when it cannot be told.
    struct PathReach {
        float minY;
        float maxY;
        bool known;
    };
    // The reach of the path held in words [0, wordCount). renderScaled leaves a path out of
    // a band when its reach lies more than kReachMargin rows (of the target) outside it.
    // lines, when given, receives framebudget::flattenedLineBound of the words, found in
    // the same walk over them.
    static PathReach verticalReach(const uint32_t* words, int32_t wordCount,
                                   int64_t* lines = nullptr);
    // Far more than the rounding of any flattening walk.
    static constexpr int32_t kReachMargin = 2;
    // Movie space size renderScaled maps onto its target.
    static constexpr int32_t kMovieWidth = 320;
    static constexpr int32_t kMovieHeight = 200;
    void close();
    // Asked between the paths of a frame being drawn, always on the thread that called
    // render (while a scaled frame's other threads draw, too, every millisecond); when it
    // answers true the rest of the frame is left undrawn, for a caller that will not show
    // it (a show asked to quit mid-way through a heavy frame). An empty check is never asked.
    void setStopCheck(std::function<bool()> check) { stopCheck = std::move(check); }

    // Reads the next frame record into frame (emptied first), or past it when frame is
    // null. Anything but kFrame ends the movie; frame is then left empty.
    FrameStatus readFrame(MovieFrame* frame);
    // The header word before the frame count (read and otherwise ignored).
    uint32_t headerWord() const { return headerWord0; }
    bool hasEnded() const { return ended; }
    // Why the movie ended: kEnd for a clean end (or nothing open), else the damage found.
    FrameStatus endStatus() const { return endReason; }

    // Decompressed bytes are read in blocks of at least this size (large enough for zlib
    // to inflate straight into the player's buffer), into a buffer that starts at
    // kReadBufferBytes and grows only while one frame's bytes fill it.
    static constexpr size_t kReadBlockBytes = size_t{1} << 18;
    static constexpr size_t kReadBufferBytes = size_t{1} << 19;
    // The buffer never grows past this: a frame record larger than it (far beyond any
    // real frame) ends the movie as a cut stream would.
    static constexpr size_t kMaxBufferBytes = size_t{1} << 26;
    // Compressed bytes read from the file at a time (gzbuffer).
    static constexpr unsigned kCompressedBufferBytes = 1u << 17;

private:
    struct GzCloser {
        void operator()(gzFile_s* handle) const;
    };

    // Where a frame record's shapes and paths go: a MovieFrame, or the shape table of
    // the frame to draw (below).
    class ModelBuilder;
    class DrawBuilder;
    // One shape of the frame to draw: its colour, and pathCount path records (tag, word
    // count, words) starting firstRecord bytes after frameStart in the read buffer.
    struct DrawShape {
        uint32_t colour;
        uint32_t pathCount;
        size_t firstRecord;
    };

    // readFrame into builder (null: read past the frame).
    template <class Builder> FrameStatus readFrameInto(Builder* builder);
    template <class Builder> FrameStatus readFrameRecord(Builder* builder);
    // The next word of the buffer (the caller has made sure it is there).
    uint32_t takeWord();
    // Makes n unread bytes available at readPos; false when the stream ends first.
    bool need(size_t n) { return readEnd - readPos >= n || refill(n); }
    // Reads blocks until n bytes are unread. Bytes from keepFrom() on stay in the buffer
    // (moved to its front when room is short); the buffer grows only when they fill it,
    // so a damaged count cannot make it reserve more than the stream holds.
    bool refill(size_t n);
    size_t keepFrom() const { return keepFrame ? frameStart : readPos; }
    // Gives back a buffer one unusually large frame made grow.
    void shrinkBuffer();
    void drawFrame(uint32_t* pixels, int32_t width, int32_t height);
    void drawFrameScaled(uint32_t* pixels, int32_t width, int32_t height);

    std::unique_ptr<gzFile_s, GzCloser> stream;
    uint32_t shapesLeft = 0;
    uint32_t pathsLeft = 0;
    // Set when nothing more can be read: no file, end of stream or damage.
    bool ended = true;
    uint32_t headerWord0 = 0;
    FrameStatus endReason = FrameStatus::kEnd;
    // Decompressed bytes; words, so that a path is read where it lies. Unread bytes are
    // [readPos, readEnd); the frame being read for drawing starts at frameStart and is
    // kept whole while keepFrame is set. Positions are in bytes.
    std::unique_ptr<uint32_t[]> readBuffer;
    size_t bufferBytes = 0;
    size_t readPos = 0;
    size_t readEnd = 0;
    size_t frameStart = 0;
    // Bytes before this have been turned into native word order (big-endian hosts only).
    size_t nativeEnd = 0;
    bool keepFrame = false;
    std::function<bool()> stopCheck;
    // Shapes of the frame render draws; storage is reused from frame to frame.
    std::vector<DrawShape> drawShapes;
    int32_t drawThreads = 0;
    // Set while renderScaled runs render.
    bool scaledTarget = false;
    // Made at the first scaled frame.
    std::unique_ptr<ScaledFramePainter> scaledPainter;
    // The paths of the frame renderScaled draws, in drawing order.
    std::vector<FramePath> framePaths;
};
