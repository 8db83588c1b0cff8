// Per frame: target, clear, 16 curve steps, identity transform, every path filled
// front to back (last shape first) with the even-odd rule, then black under it all.

#include "TilsenFrameRenderer.h"

#include "geometry/Transform2D.h"
#include "raster/Rasterizer.h"

namespace {
constexpr int32_t kCurveSteps = 16;
constexpr uint32_t kBlack = 0xFF000000u;
} // namespace

TilsenFrameRenderer::TilsenFrameRenderer() : buffer(std::make_unique<uint32_t[]>(kPixelCount)) {}

void TilsenFrameRenderer::prepare(const BenchMovie& movie) {
    frames.clear();
    frames.reserve(movie.frames.size());
    for (const BenchFrame& source : movie.frames) {
        Frame frame;
        frame.reserve(source.shapes.size());
        for (const BenchShape& sourceShape : source.shapes) {
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
    rasterizer.setTarget(buffer.get(), kWidth, kHeight, kWidth);
    rasterizer.clear();
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
