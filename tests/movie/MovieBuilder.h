// Small movies for the player tests, written with MovieWriter into a temporary folder.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "movie/MovieWriter.h"

struct TestShape {
    uint32_t colour = 0;
    std::vector<std::vector<uint32_t>> paths;
};
using TestFrame = std::vector<TestShape>;

// Outline of the rectangle [x0, x1] x [y0, y1] as path words.
inline std::vector<uint32_t> rectangleWords(float x0, float y0, float x1, float y1) {
    auto f = [](float v) { return std::bit_cast<uint32_t>(v); };
    return {1, f(x0), f(y0), 2, f(x1), f(y0), 2, f(x1), f(y1), 2, f(x0), f(y1), 6};
}

inline void writeFrames(MovieWriter& writer, const std::vector<TestFrame>& frames) {
    for (const TestFrame& frame : frames) {
        writer.writeFrameStart(static_cast<uint32_t>(frame.size()));
        for (const TestShape& shape : frame) {
            writer.writeShapeStart(shape.colour, static_cast<uint32_t>(shape.paths.size()));
            for (const auto& words : shape.paths) {
                writer.writePath(words.data(), static_cast<uint32_t>(words.size()));
            }
        }
    }
}

// Writes a whole movie; returns false when the file could not be written.
inline bool writeMovie(const std::string& fileName, const std::vector<TestFrame>& frames,
                       uint32_t frameCount,
                       MovieWriter::Format format = MovieWriter::Format::kGzip) {
    MovieWriter writer;
    if (!writer.open(fileName.c_str(), format)) {
        return false;
    }
    writer.writeHeader(frameCount);
    writeFrames(writer, frames);
    return writer.close();
}
