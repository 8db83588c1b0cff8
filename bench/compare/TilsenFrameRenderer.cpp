// Per frame: target, clear, 16 curve steps, identity transform, every path filled
// front to back (last shape first) with the even-odd rule, then black under it all.
// Scaled, the same in bands of at most the rasterizer's height, with the movie's scale
// as the transform and curves and arcs cut finely for it; a band leaves out the paths
// that cannot reach it, and each starts from the pen the shared rasterizer holds.

#include "TilsenFrameRenderer.h"

#include <algorithm>

#include "geometry/Transform2D.h"
#include "raster/BandedPainter.h"
#include "raster/Rasterizer.h"

namespace {
constexpr int32_t kCurveSteps = 16;
constexpr uint32_t kBlack = 0xFF000000u;
} // namespace

TilsenFrameRenderer::TilsenFrameRenderer(int32_t width, int32_t height)
    : FrameRenderer(width, height), painter(std::make_unique<BandedPainter>(1)) {}

TilsenFrameRenderer::~TilsenFrameRenderer() = default;

void TilsenFrameRenderer::prepare(const BenchMovie& movie) {
    source = &movie;
    frames.clear();
    frames.reserve(movie.frames.size());
    for (const BenchFrame& sourceFrame : movie.frames) {
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
    if (scaled()) {
        renderScaled(frameIndex);
        return;
    }
    rasterizer.setTarget(target(), width(), height(), width());
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

void TilsenFrameRenderer::renderScaled(size_t frameIndex) {
    const std::vector<BenchShape>& shapes = source->frames[frameIndex].shapes;
    const auto scaleX = static_cast<float>(width()) / static_cast<float>(kMovieWidth);
    const auto scaleY = static_cast<float>(height()) / static_cast<float>(kMovieHeight);
    reach.clear();
    for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape) {
        for (const BenchPath& path : shape->paths) {
            reach.push_back(
                MoviePlayer::verticalReach(path.words, static_cast<int32_t>(path.wordCount)));
        }
    }
    const PathSink::Pen startPen = rasterizer.pen();
    painter->paint(
        target(), width(), height(), [&](Rasterizer& band, int32_t firstRow, int32_t rows) {
            band.setPen(startPen);
            Transform2D transform;
            transform.setScale(scaleX, scaleY);
            band.clear();
            band.setCurveSteps(kCurveSteps);
            band.setFineTransformedFills(true);
            const int64_t cellLimit =
                MoviePlayer::kMaxFrameCells *
                std::max<int64_t>(1, (int64_t{rows} + kMovieHeight - 1) / kMovieHeight);
            const float top = static_cast<float>(firstRow - MoviePlayer::kReachMargin) / scaleY;
            const float bottom =
                static_cast<float>(firstRow + rows + MoviePlayer::kReachMargin) / scaleY;
            int64_t cells = 0;
            size_t index = 0;
            for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape) {
                SolidPaint paint(shape->colour);
                for (const BenchPath& path : shape->paths) {
                    if (cells > cellLimit) {
                        break;
                    }
                    const MoviePlayer::PathReach& r = reach[index++];
                    const auto wordCount = static_cast<int32_t>(path.wordCount);
                    if (r.known && (r.maxY < top || r.minY > bottom)) {
                        band.passOver(path.words, wordCount);
                    } else {
                        band.fillWords(path.words, wordCount, transform, paint, FillRule::kEvenOdd);
                        cells += band.cellCount();
                    }
                }
            }
            band.resolveBackground(kBlack);
        });
    for (auto shape = shapes.rbegin(); shape != shapes.rend(); ++shape) {
        for (const BenchPath& path : shape->paths) {
            rasterizer.passOver(path.words, static_cast<int32_t>(path.wordCount));
        }
    }
}
