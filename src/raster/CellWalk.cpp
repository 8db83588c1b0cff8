// emitLine: one straight piece to one cell per half-scanline it crosses. The walk is the
// integer form of x(j) = xStart + xStep * ceil(j * dx / dy) on half-scanline yTop + j;
// every float reaches fixed point through fixedFloor, which clamps before it converts.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "geometry/Cpu.h"
#include "geometry/Flattening.h"
#include "geometry/Path.h"
#include "geometry/Transform2D.h"
#include "raster/Compositing.h"
#include "raster/EdgeLanes.h"
#include "raster/OutlineWalk.h"
#include "raster/Rasterizer.h"

namespace {

// floor(v) as a 32-bit integer, clamped to +-kFixedLimit. v is finite. Clamping first
// makes the conversion defined for any magnitude; the slope of a clamped edge changes
// but its crossings keep their direction, so windings stay balanced.
int32_t fixedFloor(double v) {
    constexpr double limit = static_cast<double>(Rasterizer::kFixedLimit);
    const double floored = std::floor(v);
    if (floored <= -limit) {
        return -Rasterizer::kFixedLimit;
    }
    if (floored >= limit) {
        return Rasterizer::kFixedLimit;
    }
    return static_cast<int32_t>(floored);
}

bool finite(float x0, float y0, float x1, float y1) {
    return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1);
}

constexpr double kSubpixels = 256.0;
constexpr double kHalfScanlines = 2.0;
constexpr float kSubpixelsF = 256.0f;
#if TILSEN_SSE2
// Edges crossing at least this many half-scanlines inside the target are walked four
// half-scanlines a step.
constexpr std::ptrdiff_t kLaneWalkMin = 8;
#endif

// floor(v) for |v| < kFixedLimit, where it equals fixedFloor.
using edgelanes::floorInRange;

// Jumps the walk over the half-scanlines above the target at once, as if it had started
// at its true top: x and err become what -k steps of the walk would leave, k becomes 0.
// dx * -k can pass 31 bits; callers only clip edges that reach the target (-k < dy), so
// the resulting move stays within dx.
void clipTop(int32_t& x, int32_t& err, int32_t& k, int32_t dx, int32_t dy, int32_t xStep) {
    const int64_t skipped = static_cast<int64_t>(dx) * static_cast<int64_t>(-k);
    int64_t wideErr = static_cast<int64_t>(dy) + skipped;
    if (wideErr > dy) {
        const int64_t q = (wideErr - 1) / dy;
        x += xStep * static_cast<int32_t>(q);
        wideErr -= q * dy;
    }
    err = static_cast<int32_t>(wideErr);
    k = 0;
}

// The one cell of an edge that crosses a single half-scanline, yTop, where it starts at
// xTop. It is written at out, and the result is 1 when yTop lies in the target; else the
// next cell overwrites it.
inline int32_t storeOneCell(Cell* out, int32_t yTop, float xTop, bool down, int32_t rightmost,
                            int32_t bottom) {
    const int32_t x = std::clamp(floorInRange(kSubpixelsF * xTop), 0, rightmost);
    *out = cellword::pack(static_cast<uint32_t>(yTop >> 1), static_cast<uint32_t>(x), down);
    return (yTop >= 0) & (yTop < bottom);
}

} // namespace

void Rasterizer::emitLineGeneral(float x0, float y0, float x1, float y1) {
    // A segment with a non-finite end has no sensible crossings; it is dropped before
    // it can spoil the bounding box handed to the paint.
    if (!finite(x0, y0, x1, y1)) {
        return;
    }
    // Only start points feed the minimum and only end points the maximum; for closed
    // outlines that is every point in both.
    if (y0 <= boundsMinY) {
        boundsMinY = y0;
    }
    if (y1 >= boundsMaxY) {
        boundsMaxY = y1;
    }
    if (x0 <= boundsMinX) {
        boundsMinX = x0;
    }
    if (x1 >= boundsMaxX) {
        boundsMaxX = x1;
    }

    if (transform != nullptr && !transform->isIdentity()) {
        transform->map(x0, y0);
        transform->map(x1, y1);
        // A huge matrix can overflow to infinity or produce NaN: drop what cannot be placed.
        if (!finite(x0, y0, x1, y1)) {
            return;
        }
    }

    // 256 * x and 2 * y of a float are exact in double.
    const int32_t xLeft = fixedFloor(kSubpixels * static_cast<double>(x0 < x1 ? x0 : x1));
    const int32_t xRight = fixedFloor(kSubpixels * static_cast<double>(x0 < x1 ? x1 : x0));
    const bool down = y0 < y1;
    const float topX = down ? x0 : x1;
    const float topY = down ? y0 : y1;
    const float bottomX = down ? x1 : x0;
    const float bottomY = down ? y1 : y0;
    // A band of a taller picture takes its first row off after the clamp, in whole
    // half-scanlines, as the mapped walk does.
    const int32_t rowShift = 2 * firstRow;
    const int32_t yTop = fixedFloor(kHalfScanlines * static_cast<double>(topY)) - rowShift;
    const int32_t yBottom = fixedFloor(kHalfScanlines * static_cast<double>(bottomY)) - rowShift;
    if (yTop == yBottom) {
        return;
    }
    const int32_t xStart = fixedFloor(kSubpixels * static_cast<double>(topX));
    const int32_t xStep = bottomX > topX ? 1 : -1;
    const Cell direction = down ? cellword::kDownBit : 0u;

    // Both at most 2 * kFixedLimit, so err (<= dx + dy) stays within 31 bits.
    const int32_t dx = xRight - xLeft;
    const int32_t dy = yBottom - yTop;
    const int32_t yEnd = std::min(yBottom, 2 * height);

    int32_t x = xStart;
    int32_t err = dy;
    int32_t k = yTop;
    // Nothing to do below the target or wholly above it (yBottom <= 0). The top clip
    // relies on the second: its jump is only bounded by dx while -k < dy.
    if (k >= yEnd || yEnd <= 0) {
        return;
    }
    if (k < 0) {
        clipTop(x, err, k, dx, dy, xStep);
    }

    walkClamped(x, err, k, yEnd, dx, dy, xStep, direction);
}

Rasterizer::EdgePoint Rasterizer::edgePoint(float x, float y) {
    EdgePoint point{x, y, 0, false};
    edgelanes::halfScanline(x, y, point.halfScanline, point.inRange);
    return point;
}

// The common case: every coordinate well inside the fixed-point range (which also makes
// it finite). 256·x and 2·y are exact in float. An edge within one half-scanline adds
// only to the bounding box.
inline void Rasterizer::edge(const EdgePoint& a, const EdgePoint& b) {
    if (a.x == b.x && a.y == b.y) {
        return;
    }
    if (!(a.inRange && b.inRange)) {
        emitLineGeneral(a.x, a.y, b.x, b.y);
        return;
    }
    // A start point becomes the minimum when it is <= the minimum, an end point the
    // maximum when it is >=: for values that are not NaN, std::min(point, minimum) and
    // std::max(point, maximum) keep the point on a tie too (down to the sign of a zero),
    // and they compile to min/max instructions instead of branches.
    boundsMinY = std::min(a.y, boundsMinY);
    boundsMaxY = std::max(b.y, boundsMaxY);
    boundsMinX = std::min(a.x, boundsMinX);
    boundsMaxX = std::max(b.x, boundsMaxX);
    storeEdge(a, b);
}

// Out of line: the identity walk needs it only for runs with a zero bound, and inlined it
// costs that walk's common case registers.
__attribute__((noinline)) void Rasterizer::foldBounds(float x, float y, const float* xs,
                                                      const float* ys, int32_t n) {
    // In locals: the points could alias the bounds, which would otherwise be reloaded
    // after every store.
    float minX = boundsMinX;
    float minY = boundsMinY;
    float maxX = boundsMaxX;
    float maxY = boundsMaxY;
    for (int32_t i = 0; i < n; ++i) {
        if (x != xs[i] || y != ys[i]) {
            minY = std::min(y, minY);
            maxY = std::max(ys[i], maxY);
            minX = std::min(x, minX);
            maxX = std::max(xs[i], maxX);
        }
        x = xs[i];
        y = ys[i];
    }
    boundsMinX = minX;
    boundsMinY = minY;
    boundsMaxX = maxX;
    boundsMaxY = maxY;
}

inline void Rasterizer::addRunBounds(const edgelanes::Run& run, float x, float y, const float* xs,
                                     const float* ys, int32_t n) {
    if (!run.anyEdge) {
        return;
    }
    if (run.minX == 0.0f || run.minY == 0.0f || run.maxX == 0.0f || run.maxY == 0.0f) {
        // A zero bound could be either zero: edge by edge, as edge() takes them.
        foldBounds(x, y, xs, ys, n);
        return;
    }
    // Away from zero equal floats are the same bits, so the order in which ties were met
    // no longer matters.
    boundsMinY = std::min(run.minY, boundsMinY);
    boundsMaxY = std::max(run.maxY, boundsMaxY);
    boundsMinX = std::min(run.minX, boundsMinX);
    boundsMaxX = std::max(run.maxX, boundsMaxX);
}

// An edge crossing a single half-scanline (many pieces of a flattened curve) has the
// one cell walkEdge would write: at its top half-scanline, x where it starts there.
inline void Rasterizer::storeEdge(const EdgePoint& a, const EdgePoint& b) {
    const int32_t rise = b.halfScanline - a.halfScanline;
    if (rise == 0) {
        return;
    }
    Cell* const out = cellEnd;
    if ((rise == 1 || rise == -1) && out != cells.get() + cellCapacity) {
        const bool down = rise > 0;
        cellEnd = out + storeOneCell(out, down ? a.halfScanline : b.halfScanline, down ? a.x : b.x,
                                     down, 256 * width - 1, 2 * height);
    } else {
        walkEdge(a, b);
    }
}

// storeEdge with the target's size and the cell array in locals: a cell's store could
// otherwise change them, as far as the compiler knows, and they would be read again for
// every edge.
void Rasterizer::storeCrossings(const EdgePoint& start, uint32_t crossing, const float* xs,
                                const float* ys, const int32_t* lines, int32_t shift) {
    const int32_t rightmost = 256 * width - 1;
    const int32_t bottom = 2 * height;
    Cell* out = cellEnd;
    Cell* limit = cells.get() + cellCapacity;
    for (; crossing != 0; crossing &= crossing - 1) {
        const int32_t i = std::countr_zero(crossing);
        const float fromX = i == 0 ? start.x : xs[i - 1];
        const int32_t fromLine = i == 0 ? start.halfScanline : lines[i - 1] - shift;
        const int32_t toLine = lines[i] - shift;
        const int32_t rise = toLine - fromLine;
        if ((rise == 1 || rise == -1) && out != limit) {
            const bool down = rise > 0;
            out += storeOneCell(out, down ? fromLine : toLine, down ? fromX : xs[i], down,
                                rightmost, bottom);
        } else {
            // The walk may grow the arrays, or sum the stored cells and empty them.
            cellEnd = out;
            walkEdge(i == 0 ? start : EdgePoint{xs[i - 1], ys[i - 1], fromLine, true},
                     EdgePoint{xs[i], ys[i], toLine, true});
            out = cellEnd;
            limit = cells.get() + cellCapacity;
        }
    }
    cellEnd = out;
}

void Rasterizer::emitLine(float x0, float y0, float x1, float y1) {
    if ((transform != nullptr && !transform->isIdentity()) || firstRow != 0) {
        if (x0 != x1 || y0 != y1) {
            emitLineGeneral(x0, y0, x1, y1);
        }
        return;
    }
    edge(edgePoint(x0, y0), edgePoint(x1, y1));
}

// The walk steps by the whole quotient dx / dy and carries the remainder, which gives
// the same crossings as dividing the error term on every half-scanline.
void Rasterizer::walkEdge(const EdgePoint& a, const EdgePoint& b) {
    const bool down = a.y < b.y;
    const int32_t yTop = down ? a.halfScanline : b.halfScanline;
    const int32_t yBottom = down ? b.halfScanline : a.halfScanline;
    const int32_t yEnd = std::min(yBottom, 2 * height);
    // Nothing to do below the target or wholly above it (yBottom <= 0): the top clip's
    // jump is only bounded by dx while -yTop < dy.
    if (yTop >= yEnd || yEnd <= 0) {
        return;
    }
    // 256x is exact, so the floors keep the order of the x: the left end's is the lesser.
    const int32_t x0 = floorInRange(kSubpixelsF * a.x);
    const int32_t x1 = floorInRange(kSubpixelsF * b.x);
    const float topX = down ? a.x : b.x;
    const float bottomX = down ? b.x : a.x;
    const int32_t xLeft = std::min(x0, x1);
    const int32_t xRight = std::max(x0, x1);
    const int32_t xStart = down ? x0 : x1;
    const int32_t xStep = bottomX > topX ? 1 : -1;
    const Cell direction = down ? cellword::kDownBit : 0u;
    const int32_t dx = xRight - xLeft;
    const int32_t dy = yBottom - yTop;

    int32_t x = xStart;
    int32_t err = dy;
    int32_t k = yTop;
    if (k < 0) {
        clipTop(x, err, k, dx, dy, xStep);
    }
    const int32_t maxX = 256 * width - 1;
    const auto count = static_cast<std::ptrdiff_t>(yEnd - k);
    // A summing fill makes room for the whole edge (and the lanes' overhang) up front, so
    // that long edges keep to the fast walk.
    if (summing && cells.get() + cellCapacity - cellEnd < count + 3) {
        growCells();
    }
    Cell* out = cellEnd;
    // Crossings stay between the two ends, so an edge inside the target needs no clamp.
    if (cells.get() + cellCapacity - out < count || xLeft < 0 || xRight > maxX) {
        walkClamped(x, err, k, yEnd, dx, dy, xStep, direction);
        return;
    }
    const int32_t whole = dx < dy ? 0 : dx / dy;
    const int32_t rest = dx - whole * dy;
    // The cell's row and x bits run as counters of their own: k << 20 holds the row
    // (k >> 1) in the row bits once the half-scanline's bit below them is masked off, and
    // the x bits, 2x + direction, move by twice the steps of x. Unsigned, as the words are.
    constexpr uint32_t kHalfRow = 1u << (cellword::kRowShift - 1);
    constexpr uint32_t kRowBits = ~((1u << cellword::kRowShift) - 1u);
    uint32_t line = static_cast<uint32_t>(k) << (cellword::kRowShift - 1);
    uint32_t xBits = cellword::pack(0u, static_cast<uint32_t>(x), false) | direction;
    const uint32_t stride = static_cast<uint32_t>(xStep * whole) << cellword::kPositionShift;
    const uint32_t carryStride = static_cast<uint32_t>(xStep) << cellword::kPositionShift;
    Cell* const stop = out + count;
#if TILSEN_SSE2
    // Four half-scanlines a step: lane i walks cells i, i + 4, ... with the walk's step
    // taken four times at once. 4·rest = quarters·dy + part, so a lane's error takes part
    // and carries once more when it passes dy, exactly as four single steps carry
    // quarters or quarters + 1 times. rest <= dx < 256·kMaxWidth keeps 4·rest small. The
    // last step may write up to three words past the edge's cells, where the array has
    // room; they are not counted and the next cells overwrite them.
    if (count >= kLaneWalkMin && cells.get() + cellCapacity - out >= count + 3 &&
        cpu::level() >= cpu::SimdLevel::sse2) {
        alignas(16) uint32_t laneX[4];
        alignas(16) int32_t laneErr[4];
        laneX[0] = xBits;
        laneErr[0] = err;
        for (int32_t i = 1; i < 4; ++i) {
            xBits += stride;
            err += rest;
            const bool carry = err > dy;
            xBits += carry ? carryStride : 0u;
            err -= carry ? dy : 0;
            laneX[i] = xBits;
            laneErr[i] = err;
        }
        const int32_t quarters = 4 * rest / dy;
        const int32_t part = 4 * rest - quarters * dy;
        const uint32_t stride4 = static_cast<uint32_t>(xStep * (4 * whole + quarters))
                                 << cellword::kPositionShift;
        const __m128i rowBits = _mm_set1_epi32(static_cast<int32_t>(kRowBits));
        const __m128i lineStep = _mm_set1_epi32(static_cast<int32_t>(4u * kHalfRow));
        const __m128i xStep4 = _mm_set1_epi32(static_cast<int32_t>(stride4));
        const __m128i carryX = _mm_set1_epi32(static_cast<int32_t>(carryStride));
        const __m128i errStep = _mm_set1_epi32(part);
        const __m128i errLimit = _mm_set1_epi32(dy);
        __m128i lines = _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(line)),
                                      _mm_setr_epi32(0, static_cast<int32_t>(kHalfRow),
                                                     static_cast<int32_t>(2u * kHalfRow),
                                                     static_cast<int32_t>(3u * kHalfRow)));
        __m128i xs = _mm_load_si128(reinterpret_cast<const __m128i*>(laneX));
        __m128i errs = _mm_load_si128(reinterpret_cast<const __m128i*>(laneErr));
        for (; out < stop; out += 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             _mm_or_si128(_mm_and_si128(lines, rowBits), xs));
            lines = _mm_add_epi32(lines, lineStep);
            xs = _mm_add_epi32(xs, xStep4);
            errs = _mm_add_epi32(errs, errStep);
            const __m128i carry = _mm_cmpgt_epi32(errs, errLimit);
            xs = _mm_add_epi32(xs, _mm_and_si128(carry, carryX));
            errs = _mm_sub_epi32(errs, _mm_and_si128(carry, errLimit));
        }
        cellEnd = stop;
        return;
    }
#endif
    while (out != stop) {
        *out++ = (line & kRowBits) | xBits;
        line += kHalfRow;
        xBits += stride;
        err += rest;
        const bool carry = err > dy;
        xBits += carry ? carryStride : 0u;
        err -= carry ? dy : 0;
    }
    cellEnd = out;
}

// The identity mapping for OutlineWalk (raster/OutlineWalk.h): the points are kept as
// EdgePoints, so that each point's half-scanline is found once for the two edges that share
// it, and curves and arcs come in batches whose edges are scanned in lanes.
class Rasterizer::IdentityEdges {
public:
    using Point = EdgePoint;

    explicit IdentityEdges(Rasterizer& owner) : r(owner), level(cpu::level()) {}

    static EdgePoint point(float x, float y) { return edgePoint(x, y); }
    static Point2 plain(const EdgePoint& p) { return {p.x, p.y}; }
    void lineTo(EdgePoint& current, float x, float y) { emitTo(current, x, y); }
    void quadTo(EdgePoint& current, float cx, float cy, float x, float y) {
        const CurveSteps& steps = r.curveSteps();
        flattening::quadBatches(steps.count, steps.step, steps.squared, current.x, current.y, cx,
                                cy, x, y,
                                [this, &current](const float* xs, const float* ys, int32_t n) {
                                    emitPoints(current, xs, ys, n);
                                });
    }
    void cubicTo(EdgePoint& current, float c1x, float c1y, float c2x, float c2y, float x, float y) {
        const CurveSteps& steps = r.curveSteps();
        flattening::cubicBatches(steps.count, steps.step, steps.squared, steps.cubed, current.x,
                                 current.y, c1x, c1y, c2x, c2y, x, y,
                                 [this, &current](const float* xs, const float* ys, int32_t n) {
                                     emitPoints(current, xs, ys, n);
                                 });
    }
    void arcTo(EdgePoint& current, float rx, float ry, float x, float y) {
        flattening::arcBatches(flattening::kArcStep, rx, ry, current.x, current.y, x, y,
                               [this, &current](const float* xs, const float* ys, int32_t n) {
                                   emitPoints(current, xs, ys, n);
                               });
    }
    void edge(const EdgePoint& a, const EdgePoint& b) { r.edge(a, b); }

private:
    // emitTo of each of the n <= edgelanes::kMaxRun points in turn. When the pen and all
    // the points are in range, the half-scanlines, the crossings and the bounds are found
    // four or eight edges a step, and only the edges that cross a half-scanline go on to
    // storeEdge, in order: the others would store nothing.
    void emitPoints(EdgePoint& current, const float* xs, const float* ys, int32_t n) {
        if (n <= 0) {
            return;
        }
        if (!current.inRange) {
            emitEach(current, xs, ys, n);
            return;
        }
        int32_t lines[edgelanes::kRunLines];
        const edgelanes::Run run = scan(current, xs, ys, n, lines);
        if (!run.inRange) {
            emitEach(current, xs, ys, n);
            return;
        }
        r.addRunBounds(run, current.x, current.y, xs, ys, n);
        r.storeCrossings(current, run.crossing, xs, ys, lines, 0);
        current.x = xs[n - 1];
        current.y = ys[n - 1];
        current.halfScanline = lines[n - 1];
        current.inRange = true;
    }
    edgelanes::Run scan(const EdgePoint& current, const float* xs, const float* ys, int32_t n,
                        int32_t* lines) const {
        return edgelanes::scanRun(level, current.x, current.y, current.halfScanline, xs, ys, n,
                                  lines);
    }
    void emitEach(EdgePoint& current, const float* xs, const float* ys, int32_t n) {
        for (int32_t i = 0; i < n; ++i) {
            emitTo(current, xs[i], ys[i]);
        }
    }
    void emitTo(EdgePoint& current, float x, float y) {
        const EdgePoint next = edgePoint(x, y);
        r.edge(current, next);
        // Field by field: a whole-struct copy here makes the next read of the point wait
        // for stores it cannot be forwarded from.
        current.x = next.x;
        current.y = next.y;
        current.halfScanline = next.halfScanline;
        current.inRange = next.inRange;
    }

    Rasterizer& r;
    // The level runs are scanned at: eight edges a step from AVX2 on, four with SSE2.
    const cpu::SimdLevel level;
};

// The affine mapping for OutlineWalk, under a transform, a first row or fine flattening.
// Each point is mapped once, with the very expression of Transform2D::map, and its
// half-scanline is taken in the target's rows; the points' path coordinates are kept for
// the bounding box and for the checked route. So every edge stores what emitLine stores for
// it: the fixed-point values of its ends are the same, and so are the walks over them.
class Rasterizer::MappedEdges {
public:
    // A point in path coordinates and as mapped into the target.
    struct Point {
        float x;
        float y;
        EdgePoint target;
    };

    MappedEdges(Rasterizer& owner, const Transform2D* transform)
        : r(owner), identity(transform == nullptr || transform->isIdentity()),
          m(transform != nullptr ? transform->matrix() : Transform2D().matrix()),
          rowShift(2 * owner.firstRow), level(cpu::level()) {}

    Point point(float x, float y) const {
        float tx = x;
        float ty = y;
        if (!identity) {
            tx = m[0] * x + m[1] * y + m[2];
            ty = m[3] * x + m[4] * y + m[5];
        }
        EdgePoint e = edgePoint(tx, ty);
        e.halfScanline -= rowShift;
        return {x, y, e};
    }
    static Point2 plain(const Point& p) { return {p.x, p.y}; }
    void lineTo(Point& current, float x, float y) { emitTo(current, x, y); }
    // Curves go point by point: at sharp sizes most have too few points for lanes to pay.
    void quadTo(Point& current, float cx, float cy, float x, float y) {
        const CurveSteps steps = r.quadSteps(current.x, current.y, cx, cy, x, y);
        flattening::quad(steps.count, steps.step, steps.squared, current.x, current.y, cx, cy, x, y,
                         [this, &current](float px, float py) { emitTo(current, px, py); });
    }
    void cubicTo(Point& current, float c1x, float c1y, float c2x, float c2y, float x, float y) {
        const CurveSteps steps = r.cubicSteps(current.x, current.y, c1x, c1y, c2x, c2y, x, y);
        flattening::cubic(steps.count, steps.step, steps.squared, steps.cubed, current.x, current.y,
                          c1x, c1y, c2x, c2y, x, y,
                          [this, &current](float px, float py) { emitTo(current, px, py); });
    }
    // Arcs come in batches of many points, which are mapped and scanned in lanes.
    void arcTo(Point& current, float rx, float ry, float x, float y) {
        flattening::arcBatches(r.arcStep(rx, ry), rx, ry, current.x, current.y, x, y,
                               [this, &current](const float* xs, const float* ys, int32_t n) {
                                   emitPoints(current, xs, ys, n);
                               });
    }
    // emitLine's route for one line, the fast way when both ends are in range.
    void edge(const Point& a, const Point& b) {
        if (a.x == b.x && a.y == b.y) {
            return;
        }
        if (!(a.target.inRange && b.target.inRange)) {
            r.emitLineGeneral(a.x, a.y, b.x, b.y);
            return;
        }
        // In range after mapping means finite before. Minimum and maximum as in edge().
        r.boundsMinY = std::min(a.y, r.boundsMinY);
        r.boundsMaxY = std::max(b.y, r.boundsMaxY);
        r.boundsMinX = std::min(a.x, r.boundsMinX);
        r.boundsMaxX = std::max(b.x, r.boundsMaxX);
        r.storeEdge(a.target, b.target);
    }

private:
    // Batches shorter than this go point by point: setting up the lanes costs them more
    // than it saves.
    static constexpr int32_t kShortestBatch = 8;

    // emitTo of each of the n <= edgelanes::kMaxRun points in turn. When the pen and all
    // the mapped points are in range, the points are mapped and their half-scanlines and
    // crossings found in lanes, as IdentityEdges does, and only the edges that cross a
    // half-scanline go on to storeEdge.
    void emitPoints(Point& current, const float* xs, const float* ys, int32_t n) {
        if (n <= 0) {
            return;
        }
        float txs[edgelanes::kMaxRun];
        float tys[edgelanes::kMaxRun];
        int32_t lines[edgelanes::kRunLines];
        edgelanes::Run run{};
        if (current.target.inRange && n >= kShortestBatch && n <= edgelanes::kMaxRun) {
            for (int32_t i = 0; i < n; ++i) {
                txs[i] = identity ? xs[i] : m[0] * xs[i] + m[1] * ys[i] + m[2];
                tys[i] = identity ? ys[i] : m[3] * xs[i] + m[4] * ys[i] + m[5];
            }
            run = edgelanes::scanRun(level, current.target.x, current.target.y,
                                     current.target.halfScanline + rowShift, txs, tys, n, lines);
        }
        if (!run.inRange) {
            for (int32_t i = 0; i < n; ++i) {
                emitTo(current, xs[i], ys[i]);
            }
            return;
        }
        // The bounds are the path's: the lanes' own under the identity.
        r.addRunBounds(identity ? run
                                : edgelanes::boundsRun(level, current.x, current.y, xs, ys, n),
                       current.x, current.y, xs, ys, n);
        r.storeCrossings(current.target, run.crossing, txs, tys, lines, rowShift);
        current.x = xs[n - 1];
        current.y = ys[n - 1];
        current.target.x = txs[n - 1];
        current.target.y = tys[n - 1];
        current.target.halfScanline = lines[n - 1] - rowShift;
        current.target.inRange = true;
    }

    void emitTo(Point& current, float x, float y) {
        const Point next = point(x, y);
        edge(current, next);
        // Field by field, as IdentityEdges::emitTo does, and for the same reason.
        current.x = next.x;
        current.y = next.y;
        current.target.x = next.target.x;
        current.target.y = next.target.y;
        current.target.halfScanline = next.target.halfScanline;
        current.target.inRange = next.target.inRange;
    }

    Rasterizer& r;
    const bool identity;
    const std::array<float, 9> m;
    const int32_t rowShift;
    // The level runs are scanned at, as IdentityEdges scans them.
    const cpu::SimdLevel level;
};

void Rasterizer::replayOutline(const uint32_t* words, int32_t wordCount) {
    if ((transform == nullptr || transform->isIdentity()) && firstRow == 0 && !fineFlattening()) {
        IdentityEdges edges(*this);
        OutlineWalk<IdentityEdges>::replay(edges, outlinePen, words, wordCount);
    } else {
        MappedEdges edges(*this, transform);
        OutlineWalk<MappedEdges>::replay(edges, outlinePen, words, wordCount);
    }
}

// The walk one half-scanline at a time, clamping every crossing to the target and
// growing the cell arrays when they fill up.
void Rasterizer::walkClamped(int32_t x, int32_t err, int32_t k, int32_t yEnd, int32_t dx,
                             int32_t dy, int32_t xStep, Cell direction) {
    const int32_t maxX = 256 * width - 1;
    Cell* out = cellEnd;
    Cell* limit = cells.get() + cellCapacity;
    for (; k < yEnd; ++k) {
        if (out == limit) {
            cellEnd = out;
            if (!growCells()) {
                return;
            }
            out = cellEnd;
            limit = cells.get() + cellCapacity;
        }
        const int32_t clampedX = std::clamp(x, 0, maxX);
        *out++ =
            cellword::pack(static_cast<uint32_t>(k >> 1), static_cast<uint32_t>(clampedX), false) |
            direction;
        err += dx;
        if (err > dy) {
            const int32_t q = (err - 1) / dy;
            x += xStep * q;
            err -= q * dy;
        }
    }
    cellEnd = out;
}
