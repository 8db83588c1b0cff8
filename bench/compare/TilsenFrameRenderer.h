// Our own frame, drawn as the movie player draws it, from a frame model built up front:
// at 320x200 on one thread as render does, at any other size or on more threads as
// renderScaled does, through the same painter.
#pragma once

#include <memory>
#include <vector>

#include "FrameRenderer.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "movie/MoviePlayer.h"

class ScaledFramePainter;
struct FramePath;
struct RasterStageTimes;

class TilsenFrameRenderer final : public FrameRenderer {
public:
    TilsenFrameRenderer(int32_t width, int32_t height, int32_t threads = 1);
    ~TilsenFrameRenderer() override;
    TilsenFrameRenderer(const TilsenFrameRenderer&) = delete;
    TilsenFrameRenderer& operator=(const TilsenFrameRenderer&) = delete;

    const char* label() const override { return "ours"; }
    void prepare(const BenchMovie& movie) override;
    void render(size_t frameIndex) override;
    // Borrowed until unset (null): the frames drawn on this thread add the time of their
    // rasterizer's stages to `times`.
    void setStageTimes(RasterStageTimes* times);

private:
    struct Shape {
        std::unique_ptr<SolidPaint> paint;
        std::vector<Path> paths;
    };
    using Frame = std::vector<Shape>;

    void renderScaled(size_t frameIndex);

    std::vector<Frame> frames;
    // The words of each frame's paths in drawing order, for the scaled way.
    std::vector<std::vector<FramePath>> framePaths;
    std::unique_ptr<ScaledFramePainter> painter;
    int32_t threads;
};
