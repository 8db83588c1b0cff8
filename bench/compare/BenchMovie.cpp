// Whole-file gunzip and a bounds-checked walk over frame, shape and path records.

#include "BenchMovie.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr uint32_t kPathTag = 0x5A505448u;
constexpr size_t kReadChunk = 1u << 20;
constexpr size_t kHeaderWords = 2;

struct GzCloser {
    void operator()(gzFile_s* file) const { gzclose(file); }
};

bool readAll(const std::string& path, std::vector<uint8_t>& bytes) {
    std::unique_ptr<gzFile_s, GzCloser> file(gzopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    for (;;) {
        const size_t used = bytes.size();
        bytes.resize(used + kReadChunk);
        const int got = gzread(file.get(), bytes.data() + used, static_cast<unsigned>(kReadChunk));
        if (got < 0) {
            return false;
        }
        bytes.resize(used + static_cast<size_t>(got));
        if (got == 0) {
            return true;
        }
    }
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string suffix = ".gz";
    if (base.size() > suffix.size() &&
        base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0) {
        base.resize(base.size() - suffix.size());
    }
    return base;
}

} // namespace

bool BenchMovie::load(const std::string& filePath) {
    path = filePath;
    name = baseName(filePath);
    frames.clear();
    std::vector<uint8_t> bytes;
    if (!readAll(filePath, bytes)) {
        return false;
    }
    if (FILE* raw = std::fopen(filePath.c_str(), "rb")) {
        std::fseek(raw, 0, SEEK_END);
        const long size = std::ftell(raw);
        compressedBytes = size > 0 ? static_cast<uint64_t>(size) : 0u;
        std::fclose(raw);
    }
    words.assign(bytes.size() / sizeof(uint32_t), 0u);
    std::memcpy(words.data(), bytes.data(), words.size() * sizeof(uint32_t));
    if (words.size() < kHeaderWords) {
        return false;
    }
    frameCount = static_cast<int32_t>(words[1]);

    const size_t end = words.size();
    size_t at = kHeaderWords;
    while (at < end) {
        const size_t frameStart = at;
        BenchFrame frame;
        uint32_t shapeCount = words[at++];
        bool whole = true;
        for (; shapeCount != 0 && whole; --shapeCount) {
            if (end - at < 2) {
                whole = false;
                break;
            }
            BenchShape shape;
            shape.colour = words[at++];
            uint32_t pathCount = words[at++];
            for (; pathCount != 0; --pathCount) {
                if (end - at < 2 || words[at] != kPathTag) {
                    whole = false;
                    break;
                }
                const uint32_t count = words[at + 1];
                at += 2;
                if (end - at < count) {
                    whole = false;
                    break;
                }
                shape.paths.push_back(BenchPath{words.data() + at, count});
                frame.pathWordCount += count;
                at += count;
            }
            frame.shapes.push_back(std::move(shape));
        }
        if (!whole) {
            break;
        }
        frame.byteCount = (at - frameStart) * sizeof(uint32_t);
        frames.push_back(std::move(frame));
    }
    return !frames.empty();
}
