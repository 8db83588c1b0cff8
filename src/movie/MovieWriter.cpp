// Movie stream output. Words are turned into little-endian bytes here, so the files are
// the same on any host; compression runs in fixed-size chunks straight to the file.
#include "movie/MovieWriter.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <zlib.h>

#include "geometry/Path.h"
#include "movie/MovieFormat.h"
#include "movie/MovieFrame.h"

namespace {
constexpr int kGzipLevel = 9;
// deflate writes a gzip wrapper (instead of zlib's) when 16 is added to the window bits.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 8;
// Operating system byte of the gzip header: always "Unix", whatever builds the file.
constexpr int kGzipOsUnix = 3;
constexpr size_t kOutChunk = 64 * 1024;
// Words converted to bytes per step of writeWords.
constexpr size_t kWordChunk = 1024;
} // namespace

struct MovieWriter::Deflater {
    Deflater() = default;
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() {
        if (started) {
            deflateEnd(&zs);
        }
    }

    z_stream zs{};
    gz_header header{};
    bool started = false;
};

void MovieWriter::FileCloser::operator()(std::FILE* handle) const {
    std::fclose(handle);
}

MovieWriter::MovieWriter() = default;

MovieWriter::~MovieWriter() = default;

bool MovieWriter::open(const char* fileName, Format format) {
    deflater.reset();
    file.reset();
    failed = false;
    firstErrno = 0;
    if (fileName == nullptr) {
        return false;
    }
    file.reset(std::fopen(fileName, "wb"));
    if (!file) {
        firstErrno = errno;
        return false;
    }
    if (format == Format::kGzip) {
        deflater = std::make_unique<Deflater>();
        if (deflateInit2(&deflater->zs, kGzipLevel, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                         Z_DEFAULT_STRATEGY) != Z_OK) {
            deflater.reset();
            file.reset();
            return false;
        }
        deflater->started = true;
        // No name, no comment, time 0: the header is the same for every file.
        deflater->header.os = kGzipOsUnix;
        if (deflateSetHeader(&deflater->zs, &deflater->header) != Z_OK) {
            failed = true;
        }
        outBuffer.resize(kOutChunk);
    }
    return true;
}

bool MovieWriter::close() {
    if (!file) {
        return false;
    }
    if (deflater) {
        deflatePending(true);
        deflater.reset();
    }
    if (std::fflush(file.get()) != 0) {
        failFile();
    }
    if (std::fclose(file.release()) != 0) {
        failFile();
    }
    return !failed;
}

void MovieWriter::writeHeader(uint32_t frameCount, uint32_t headerWord0) {
    const std::array<uint32_t, movieformat::kHeaderWords> header{headerWord0, frameCount};
    writeWords(header.data(), header.size());
}

void MovieWriter::writeFrameStart(uint32_t shapeCount) {
    writeWord(shapeCount);
}

void MovieWriter::writeShapeStart(uint32_t colour, uint32_t pathCount) {
    const std::array<uint32_t, 2> record{colour, pathCount};
    writeWords(record.data(), record.size());
}

void MovieWriter::writePath(const uint32_t* words, uint32_t wordCount) {
    const std::array<uint32_t, 2> record{movieformat::kPathTag, wordCount};
    writeWords(record.data(), record.size());
    if (words != nullptr) {
        writeWords(words, wordCount);
    }
}

void MovieWriter::writePath(const Path& path) {
    const uint32_t count = path.wordCount > 0 ? static_cast<uint32_t>(path.wordCount) : 0u;
    writePath(path.words.get(), count);
}

void MovieWriter::writeFrame(const MovieFrame& frame) {
    writeFrameStart(static_cast<uint32_t>(frame.shapes.size()));
    for (const Shape& shape : frame.shapes) {
        const uint32_t colour = shape.paint ? shape.paint->colour : 0u;
        writeShapeStart(colour, static_cast<uint32_t>(shape.paths.size()));
        for (const Path& path : shape.paths) {
            writePath(path);
        }
    }
}

void MovieWriter::writeWord(uint32_t word) {
    writeWords(&word, 1);
}

void MovieWriter::writeWords(const uint32_t* words, size_t count) {
    std::array<uint8_t, kWordChunk * movieformat::kBytesPerWord> bytes{};
    while (count > 0) {
        const size_t n = count < kWordChunk ? count : kWordChunk;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t w = words[i];
            bytes[4 * i] = static_cast<uint8_t>(w);
            bytes[4 * i + 1] = static_cast<uint8_t>(w >> 8);
            bytes[4 * i + 2] = static_cast<uint8_t>(w >> 16);
            bytes[4 * i + 3] = static_cast<uint8_t>(w >> 24);
        }
        writeBytes(bytes.data(), n * movieformat::kBytesPerWord);
        words += n;
        count -= n;
    }
}

void MovieWriter::writeBytes(const uint8_t* bytes, size_t count) {
    if (!file || failed) {
        failed = true;
        return;
    }
    if (!deflater) {
        if (std::fwrite(bytes, 1, count, file.get()) != count) {
            failFile();
        }
        return;
    }
    // The input chunks from writeWords are small, so they always fit zlib's uInt.
    deflater->zs.next_in = const_cast<Bytef*>(bytes); // zlib does not write through next_in
    deflater->zs.avail_in = static_cast<uInt>(count);
    deflatePending(false);
}

void MovieWriter::deflatePending(bool finish) {
    z_stream& zs = deflater->zs;
    const int flush = finish ? Z_FINISH : Z_NO_FLUSH;
    while (!failed) {
        zs.next_out = outBuffer.data();
        zs.avail_out = static_cast<uInt>(outBuffer.size());
        const int status = deflate(&zs, flush);
        if (status == Z_STREAM_ERROR) {
            failed = true;
            break;
        }
        const size_t produced = outBuffer.size() - zs.avail_out;
        if (produced > 0 && std::fwrite(outBuffer.data(), 1, produced, file.get()) != produced) {
            failFile();
            break;
        }
        if (finish ? status == Z_STREAM_END : (zs.avail_in == 0 && zs.avail_out != 0)) {
            break;
        }
    }
    zs.next_in = nullptr;
    zs.avail_in = 0;
}

void MovieWriter::failFile() {
    if (!failed && firstErrno == 0) {
        firstErrno = errno;
    }
    failed = true;
}
