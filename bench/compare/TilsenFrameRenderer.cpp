// Per frame: target, clear, 16 curve steps, identity transform, every path filled
// front to back (last shape first) with the even-odd rule, then black under it all.
// Scaled, the movie player's own ScaledFramePainter, from the pen the shared rasterizer
// holds.

#include "TilsenFrameRenderer.h"

#include <algorithm>

#include "geometry/Transform2D.h"
#include "movie/ScaledFramePainter.h"
#include "raster/Rasterizer.h"

namespace {
constexpr int32_t kCurveSteps = 16;
constexpr uint32_t kBlack = 0xFF000000u;
} // namespace

TilsenFrameRenderer::TilsenFrameRenderer(int32_t width, int32_t height, int32_t threadCount)
    : FrameRenderer(width, height), painter(std::make_unique<ScaledFramePainter>(threadCount)),
      threads(threadCount) {}

TilsenFrameRenderer::~TilsenFrameRenderer() = default;

void TilsenFrameRenderer::prepare(const BenchMovie& movie) {
    frames.clear();
    frames.reserve(movie.frames.size());
    framePaths.clear();
    for (const BenchFrame& sourceFrame : movie.frames) {
        std::vector<FramePath>& paths = framePaths.emplace_back();
        for (auto shape = sourceFrame.shapes.rbegin(); shape != sourceFrame.shapes.rend();
             ++shape) {
            for (const BenchPath& path : shape->paths) {
                paths.push_back({path.words, static_cast<int32_t>(path.wordCount), shape->colour});
            }
        }
        Frame frame;
        frame.reserve(sourceFrame.shapes.size());
        for (const BenchShape& sourceShape : sourceFrame.shapes) {
            Shape shape;
            shape.paint = std::make_unique<SolidPaint>(sourceShape.colour);
            shape.paths.resize(sourceShape.paths.size());
            for (size_t i = 0; i < sourceShape.paths.size(); ++i) {
                shape.paths[i].setWords(sourceShape.paths[i].words,
                                        static_cast<int32_t>(sourceShape.paths[i].wordCount));
            }
            frame.push_back(std::move(shape));
        }
        frames.push_back(std::move(frame));
    }
}

void TilsenFrameRenderer::render(size_t frameIndex) {
    if (scaled() || threads > 1) {
        renderScaled(frameIndex);
        return;
    }
    rasterizer.setTarget(target(), width(), height(), width());
    rasterizer.beginPicture();
    rasterizer.setCurveSteps(kCurveSteps);
    movieTransform.setRotation(0.0f);
    movieTransform.setScale(1.0f, 1.0f);
    const Frame& frame = frames[frameIndex];
    for (auto shape = frame.rbegin(); shape != frame.rend(); ++shape) {
        for (const Path& path : shape->paths) {
            rasterizer.fillTransformed(path, movieTransform, *shape->paint, FillRule::kEvenOdd);
        }
    }
    rasterizer.resolveBackground(kBlack);
}

void TilsenFrameRenderer::renderScaled(size_t frameIndex) {
    painter->paint(target(), width(), height(), framePaths[frameIndex], rasterizer);
}

void TilsenFrameRenderer::setStageTimes(RasterStageTimes* times) {
    rasterizer.setStageTimes(times);
    painter->setStageTimes(times);
}
