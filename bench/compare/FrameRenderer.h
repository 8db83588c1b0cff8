// Common face of the renderers the bench compares: each draws frame i of a loaded movie
// into its own width x height buffer of premultiplied 0xAARRGGBB pixels over opaque black,
// the movie's 320x200 space stretched onto it (x by width / 320, y by height / 200).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "BenchMovie.h"
#include "PathWords.h"

class FrameRenderer {
public:
    static constexpr int32_t kMovieWidth = 320;
    static constexpr int32_t kMovieHeight = 200;

    virtual ~FrameRenderer() = default;
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    virtual const char* label() const = 0;
    // Converts whatever the renderer keeps per frame; not timed. movie outlives the renderer's use.
    virtual void prepare(const BenchMovie& movie) = 0;
    virtual void render(size_t frameIndex) = 0;
    const uint32_t* pixels() const { return buffer.get(); }

    // How an outside library is handed the movie's arcs (ours always walks its own).
    void setArcs(pathwords::Arcs way) { arcWay = way; }

    int32_t width() const { return targetWidth; }
    int32_t height() const { return targetHeight; }
    size_t pixelCount() const {
        return static_cast<size_t>(targetWidth) * static_cast<size_t>(targetHeight);
    }
    double scaleX() const { return static_cast<double>(targetWidth) / kMovieWidth; }
    double scaleY() const { return static_cast<double>(targetHeight) / kMovieHeight; }
    bool scaled() const { return targetWidth != kMovieWidth || targetHeight != kMovieHeight; }

protected:
    // width and height are at least 1.
    FrameRenderer(int32_t width, int32_t height)
        : targetWidth(width), targetHeight(height),
          buffer(new (std::align_val_t{kAlignment}) uint32_t[pixelCount()]()) {}
    uint32_t* target() { return buffer.get(); }
    pathwords::Arcs arcs() const { return arcWay; }

private:
    int32_t targetWidth;
    int32_t targetHeight;
    pathwords::Arcs arcWay = pathwords::Arcs::kOwn;
    // A cache line, as image libraries align their pixels.
    static constexpr std::size_t kAlignment = 64;
    struct Release {
        void operator()(uint32_t* pixels) const {
            ::operator delete[](pixels, std::align_val_t{kAlignment});
        }
    };
    std::unique_ptr<uint32_t[], Release> buffer;
};
