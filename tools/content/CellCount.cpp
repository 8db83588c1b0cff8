// A PathSink that tallies half-scanlines per straight piece, clipped to the target rows
// as the rasterizer's cell walk does (rows above are skipped, rows below not produced).
#include "CellCount.h"

#include <algorithm>
#include <cmath>

#include "geometry/Path.h"
#include "geometry/PathSink.h"

namespace {
constexpr int32_t kMovieCurveSteps = 16;

class CellCounter final : public PathSink {
public:
    explicit CellCounter(int32_t rows) : halfRows(2 * rows) {}

    void emitLine(float x0, float y0, float x1, float y1) override {
        if (x0 == x1 && y0 == y1)
            return;
        if (!std::isfinite(y0) || !std::isfinite(y1))
            return;
        const double top = std::floor(2.0 * static_cast<double>(std::min(y0, y1)));
        const double bottom = std::floor(2.0 * static_cast<double>(std::max(y0, y1)));
        const double first = std::max(top, 0.0);
        const double end = std::min(bottom, static_cast<double>(halfRows));
        if (end > first)
            cells += static_cast<int64_t>(end - first);
    }

    int64_t cells = 0;

private:
    int32_t halfRows;
};
} // namespace

int64_t countCells(const std::vector<uint32_t>& words, int32_t width, int32_t height) {
    (void)width;
    Path path;
    path.setWords(words.data(), static_cast<int32_t>(words.size()));
    CellCounter counter(height);
    counter.setCurveSteps(kMovieCurveSteps);
    path.emit(&counter);
    return counter.cells;
}
