// Streams a gzip-compressed vector movie: each render skips the frames the clock says
// were missed, decodes the next frame and draws it front to back over black.
// One frame in memory at a time; the stream is never sought. A damaged stream ends the
// movie: from then on every render draws black (a bad path tag leaves that one call's
// buffer untouched first).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct gzFile_s;
class MovieFrame;

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
    void close();

    // Reads the next frame record into frame (emptied first), or past it when frame is
    // null. Anything but kFrame ends the movie; frame is then left empty.
    FrameStatus readFrame(MovieFrame* frame);
    // The header word before the frame count (read and otherwise ignored).
    uint32_t headerWord() const { return headerWord0; }
    bool hasEnded() const { return ended; }
    // Why the movie ended: kEnd for a clean end (or nothing open), else the damage found.
    FrameStatus endStatus() const { return endReason; }

private:
    struct GzCloser {
        void operator()(gzFile_s* handle) const;
    };

    // Up to n bytes from the stream through the read buffer (dropped when out is null);
    // fewer only at the end of the stream or on a read error.
    size_t readBytes(uint8_t* out, size_t n);
    bool readWord(uint32_t& word);
    // Where a frame record's shapes and paths go: a MovieFrame, or the words of the frame
    // to draw (below).
    class ModelBuilder;
    class DrawBuilder;
    // One shape of the frame to draw: its colour and its paths drawPaths[firstPath, +count).
    struct DrawShape {
        uint32_t colour;
        uint32_t firstPath;
        uint32_t pathCount;
    };
    // One path of the frame to draw: drawWords[offset, offset + wordCount).
    struct DrawPath {
        size_t offset;
        int32_t wordCount;
    };

    // readFrame into builder (null: read past the frame).
    template <class Builder>
    FrameStatus readFrameInto(Builder* builder);
    // Reads count words, appended to out when it is not null. Storage grows only as words
    // arrive, so a damaged count cannot make it reserve more than the stream holds.
    bool readWords(uint32_t count, std::vector<uint32_t>* out);
    template <class Builder>
    FrameStatus readFrameRecord(Builder* builder);
    void clearDrawFrame();
    void drawFrame(uint32_t* pixels, int32_t width, int32_t height);

    std::unique_ptr<gzFile_s, GzCloser> stream;
    uint32_t shapesLeft = 0;
    uint32_t pathsLeft = 0;
    // Set when nothing more can be read: no file, end of stream or damage.
    bool ended = true;
    uint32_t headerWord0 = 0;
    FrameStatus endReason = FrameStatus::kEnd;
    // Words of the path being read; kept between paths so its storage is reused.
    std::vector<uint32_t> pathWords;
    // Decompressed bytes not yet consumed: readBuffer bytes [readPos, readEnd). Words, so
    // that a whole path can be handed on from it where it sits.
    std::unique_ptr<uint32_t[]> readBuffer;
    // The frame render draws, kept as one run of words with tables of shapes and paths so
    // that decoding it allocates nothing once the storage has grown to the movie's frames.
    std::vector<uint32_t> drawWords;
    std::vector<DrawShape> drawShapes;
    std::vector<DrawPath> drawPaths;
    size_t readPos = 0;
    size_t readEnd = 0;
};
