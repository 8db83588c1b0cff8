// A whole movie decompressed and split into frames, for renderers that time drawing
// alone. Path words point into one shared word array; nothing is copied per path.
// Damaged input ends the movie at the last whole frame.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BenchPath {
    const uint32_t* words = nullptr;
    uint32_t wordCount = 0;
};

struct BenchShape {
    uint32_t colour = 0; // premultiplied 0xAARRGGBB
    std::vector<BenchPath> paths;
};

struct BenchFrame {
    std::vector<BenchShape> shapes; // back to front, as in the file
    uint64_t byteCount = 0;         // decompressed bytes of the frame record
    uint64_t pathWordCount = 0;
};

class BenchMovie {
public:
    // Reads the gzip file at path; false when it cannot be read or holds no whole frame.
    bool load(const std::string& path);

    std::string name;       // file name without folder and ".gz"
    std::string path;       // as given to load
    int32_t frameCount = 0; // from the header
    std::vector<BenchFrame> frames;
    uint64_t compressedBytes = 0;

private:
    std::vector<uint32_t> words;
};
