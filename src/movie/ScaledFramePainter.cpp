// Each band draws the frame's paths into its own rows, leaving out those that cannot reach
// it; every band starts from the pen the caller's rasterizer holds. A path's cells at the
// target's size are never limited: solid fills sum them as they come. The frame's budget
// is the one drawing at 320x200 applies, so a frame that draws whole there draws whole at
// any size.
#include "movie/ScaledFramePainter.h"

#include <algorithm>
#include <cmath>

#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "movie/FrameBudget.h"
#include "raster/BandedPainter.h"
#include "raster/Rasterizer.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000u;
// Cells one straight piece can make at 320x200: one per half-scanline it crosses.
constexpr int64_t kMostCellsPerLine = 2 * MoviePlayer::kMovieHeight;

// The most cells one straight piece of a path with this reach can make at 320x200: the
// half-scanlines of its rows, widened by the reach's margin on each side.
int64_t mostCellsPerLine(const MoviePlayer::PathReach& reach) {
    const float rows = reach.maxY - reach.minY + 2.0f * MoviePlayer::kReachMargin;
    // Also false for a reach without points and one too wide for a float.
    if (!reach.known || !(rows >= 0.0f && rows < MoviePlayer::kMovieHeight)) {
        return kMostCellsPerLine;
    }
    return std::min(kMostCellsPerLine, 2 * static_cast<int64_t>(std::ceil(rows)) + 2);
}

} // namespace

ScaledFramePainter::ScaledFramePainter(int32_t threads)
    : painter(std::make_unique<BandedPainter>(threads)) {}

ScaledFramePainter::~ScaledFramePainter() = default;

int32_t ScaledFramePainter::threadCount() const {
    return painter->threadCount();
}

void ScaledFramePainter::setStageTimes(RasterStageTimes* times) {
    painter->setStageTimes(times);
}

size_t ScaledFramePainter::pathsWithinBudget(const std::vector<FramePath>& paths,
                                             const Rasterizer& pen,
                                             const std::function<bool()>& stop) {
    reach.clear();
    int64_t mostCells = 0;
    for (const FramePath& path : paths) {
        int64_t lines = 0;
        reach.push_back(MoviePlayer::verticalReach(path.words, path.wordCount, &lines));
        mostCells += lines * mostCellsPerLine(reach.back());
    }
    if (mostCells <= MoviePlayer::kMaxFrameCells) {
        return paths.size();
    }
    // As the frame is drawn at 320x200: the budget is checked before each path.
    if (!counter) {
        counter = std::make_unique<Rasterizer>();
        counterPixels.assign(size_t{MoviePlayer::kMovieWidth} * MoviePlayer::kMovieHeight, 0u);
    }
    counter->setTarget(counterPixels.data(), MoviePlayer::kMovieWidth, MoviePlayer::kMovieHeight,
                       MoviePlayer::kMovieWidth);
    counter->clear();
    counter->setFirstRow(0);
    counter->setFineTransformedFills(false);
    counter->setCurveSteps(framebudget::kMovieCurveSteps);
    counter->setPen(pen.pen());
    const Transform2D identity;
    int64_t cells = 0;
    size_t drawn = 0;
    for (; drawn < paths.size() && cells <= MoviePlayer::kMaxFrameCells; ++drawn) {
        // A frame this heavy takes as long to count as to draw at 320x200.
        if (stop && stop()) {
            stopped = true;
            return 0;
        }
        // Cells are made alike under every paint; a clear one only counts them.
        SolidPaint paint(0u);
        counter->fillWords(paths[drawn].words, paths[drawn].wordCount, identity, paint,
                           FillRule::kEvenOdd);
        cells += counter->fillCellCount();
    }
    return drawn;
}

void ScaledFramePainter::paint(uint32_t* pixels, int32_t width, int32_t height,
                               const std::vector<FramePath>& paths, Rasterizer& pen,
                               const std::function<bool()>& stop) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    stopped = false;
    const size_t drawn = pathsWithinBudget(paths, pen, stop);
    if (stopped) {
        return;
    }
    const float scaleX = static_cast<float>(width) / static_cast<float>(MoviePlayer::kMovieWidth);
    const float scaleY = static_cast<float>(height) / static_cast<float>(MoviePlayer::kMovieHeight);
    const bool fine = width != MoviePlayer::kMovieWidth || height != MoviePlayer::kMovieHeight;
    const PathSink::Pen startPen = pen.pen();
    // Where the top band's walk left the pen once it went over every path: where one
    // pass over them leaves it.
    PathSink::Pen endPen = startPen;
    bool walkedAll = false;
    BandedPainter& bands = *painter;
    const auto drawBand = [&](Rasterizer& band, int32_t firstRow, int32_t rows) {
        band.setPen(startPen);
        Transform2D transform;
        transform.setScale(scaleX, scaleY);
        band.beginPicture();
        band.setCurveSteps(framebudget::kMovieCurveSteps);
        band.setFineTransformedFills(fine);
        // Rows as path coordinates, a margin wider on each side than the band.
        const float top = static_cast<float>(firstRow - MoviePlayer::kReachMargin) / scaleY;
        const float bottom =
            static_cast<float>(firstRow + rows + MoviePlayer::kReachMargin) / scaleY;
        for (size_t i = 0; i < drawn; ++i) {
            if (bands.stopRequested()) {
                return;
            }
            const FramePath& path = paths[i];
            const MoviePlayer::PathReach& r = reach[i];
            if (r.known && (r.maxY < top || r.minY > bottom)) {
                band.passOver(path.words, path.wordCount);
            } else {
                SolidPaint paint(path.colour);
                band.fillWords(path.words, path.wordCount, transform, paint, FillRule::kEvenOdd);
            }
        }
        band.resolveBackground(kBlack);
        if (firstRow == 0) {
            endPen = band.pen();
            walkedAll = true;
        }
    };
    bands.paint(pixels, width, height, drawBand, 0, stop);
    if (walkedAll) {
        pen.setPen(endPen);
        return;
    }
    for (size_t i = 0; i < drawn; ++i) {
        pen.passOver(paths[i].words, paths[i].wordCount);
    }
}
