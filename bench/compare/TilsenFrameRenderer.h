// Our own frame, drawn as the movie player draws it, from a frame model built up front:
// at 320x200 as render does, at any other size as renderScaled does on one thread.
#pragma once

#include <memory>
#include <vector>

#include "FrameRenderer.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "movie/MoviePlayer.h"

class BandedPainter;

class TilsenFrameRenderer final : public FrameRenderer {
public:
    TilsenFrameRenderer(int32_t width, int32_t height);
    ~TilsenFrameRenderer() override;
    TilsenFrameRenderer(const TilsenFrameRenderer&) = delete;
    TilsenFrameRenderer& operator=(const TilsenFrameRenderer&) = delete;

    const char* label() const override { return "ours"; }
    void prepare(const BenchMovie& movie) override;
    void render(size_t frameIndex) override;

private:
    struct Shape {
        std::unique_ptr<SolidPaint> paint;
        std::vector<Path> paths;
    };
    using Frame = std::vector<Shape>;

    void renderScaled(size_t frameIndex);

    std::vector<Frame> frames;
    const BenchMovie* source = nullptr;        // borrowed, for the scaled path's words
    std::unique_ptr<BandedPainter> painter;    // one thread, for the scaled path
    std::vector<MoviePlayer::PathReach> reach; // of each path, in drawing order
};
