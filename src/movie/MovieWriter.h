// Writes movie streams: the inverse of the player's reader. Records are written as they
// come (nothing is buffered beyond one compression chunk), so the caller gives each
// count before the records it counts. Gzip output is level 9 with a fixed header (no
// name, no time stamp): the same words always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

class Path;
class MovieFrame;

class MovieWriter {
public:
    enum class Format {
        kGzip, // what the show reads
        kRaw,  // the bare word stream; the reader accepts it too
    };

    MovieWriter();
    // Closes an open file without reporting; call close to learn whether it was written.
    ~MovieWriter();
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Creates (or truncates) fileName. False when it cannot be created.
    bool open(const char* fileName, Format format = Format::kGzip);
    // Finishes the stream and closes the file. False when anything failed since open.
    bool close();
    bool isOpen() const { return file != nullptr; }
    // The errno of the first failed file call since open (0 when none failed, or when only
    // the compressor did), for messages that give the system's reason.
    int errorNumber() const { return firstErrno; }

    void writeHeader(uint32_t frameCount, uint32_t headerWord0 = 0);
    void writeFrameStart(uint32_t shapeCount);
    void writeShapeStart(uint32_t colour, uint32_t pathCount);
    // One path record: tag, word count, words.
    void writePath(const uint32_t* words, uint32_t wordCount);
    void writePath(const Path& path);
    // A whole frame record; a shape without paint is written with colour 0.
    void writeFrame(const MovieFrame& frame);
    // Bare words, for streams made by hand (including damaged ones).
    void writeWord(uint32_t word);
    void writeWords(const uint32_t* words, size_t count);

private:
    struct FileCloser {
        void operator()(std::FILE* handle) const;
    };
    // The compressor and the gzip header it writes; defined with zlib in the source.
    struct Deflater;

    void writeBytes(const uint8_t* bytes, size_t count);
    // Runs the compressor over its pending input; finish flushes the end of the stream.
    void deflatePending(bool finish);
    // Marks the stream failed, keeping the errno of the first failed file call.
    void failFile();

    std::unique_ptr<std::FILE, FileCloser> file;
    std::unique_ptr<Deflater> deflater; // null for raw output
    std::vector<uint8_t> outBuffer;
    bool failed = false;
    int firstErrno = 0;
};
