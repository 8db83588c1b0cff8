// The anti-aliased scanline rasterizer. Straight pieces of an outline become packed
// crossing cells (CellWalk.cpp), which are sorted (CellSort.cpp) and swept into coverage
// runs (Sweep.cpp) — or, for a solid fill, summed into their pixels and swept from those
// without sorting — and composited *under* the target (SpanWriter.cpp).
// Between clear and resolveBackground a pixel's alpha only grows; 255 is final.
// The rasterizer remembers which 64-pixel blocks of each row it has made wholly opaque
// since the target was set or cleared, and leaves them alone: pixels changed behind its
// back after that must be followed by clear() or setTarget() again. After beginPicture, a
// block is empty until first written, and only then cleared in memory.
#pragma once

#include <cstdint>
#include <memory>

#include "geometry/PathSink.h"
#include "raster/CellWord.h"
#include "raster/StageTimes.h"

class Path;
class Paint;
class Transform2D;
struct SumsBlock;
struct RowBlocks;
namespace edgelanes {
struct Run;
}

// How coverage becomes alpha: even-odd, or non-zero winding.
enum class FillRule : int32_t { kEvenOdd = 0, kNonZero = 1 };

class Rasterizer final : public PathSink {
public:
    // Largest target the cell word can address.
    static constexpr int32_t kMaxWidth = 4096;
    static constexpr int32_t kMaxHeight = 2048;
    // Cells the arrays hold from construction on; enough for every frame of the show.
    static constexpr int32_t kCellCapacity = 4095;
    // The arrays double when a fill needs more, up to this many cells (16 MiB each);
    // cells beyond it are dropped, so a hostile path cannot allocate without bound.
    // A solid fill never drops any: it sums its cells into their pixels whenever
    // kSumChunkCells of them are stored, and its arrays grow no further.
    static constexpr int32_t kMaxCellCapacity = 1 << 22;
    static constexpr int32_t kSumChunkCells = (1 << 16) - 1;
    // Every fixed-point coordinate is clamped to +-kFixedLimit (1/256 pixel across,
    // half-scanlines down), which keeps the walk's error terms within 31 bits.
    static constexpr int32_t kFixedLimit = 1 << 28;

    // Bounding box of the current fill's end points, in path coordinates.
    struct Bounds {
        float minX;
        float minY;
        float maxX;
        float maxY;
    };

    Rasterizer();
    ~Rasterizer() override;
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    // Adds the cells of one straight piece. Segments with a non-finite end point are
    // dropped whole, before they reach the bounding box.
    void emitLine(float x0, float y0, float x1, float y1) override;

    // pitch is in pixels. The caller owns the pixels. Sizes beyond kMaxWidth x
    // kMaxHeight are clamped to it; a null buffer, a negative size or pitch < width
    // leaves no target at all (nothing is cleared or drawn until the next setTarget).
    void setTarget(uint32_t* pixels, int32_t width, int32_t height, int32_t pitch);
    // Between pictures: makes room ahead for targets up to width x height (clamped as
    // setTarget clamps them), so that the first fill on a target larger than any before
    // does not stop to allocate. The room is taken untouched; only the pages fills reach
    // are ever written.
    void reserve(int32_t width, int32_t height);
    // The target shows rows firstRow.. of a taller picture: what a fill maps to row
    // firstRow + r lands in target row r. The shift is made on whole half-scanlines after
    // the conversion to fixed point, so bands of one picture give exactly the pixels of
    // one pass over it. Kept until changed; 0 at construction. Negative values count as 0.
    void setFirstRow(int32_t firstRow);
    // Transformed fills (fillTransformed, fillWords) cut curves and arcs finely for the
    // transform's scale (PathSink::setFineFlattening): no chord strays more than a
    // quarter of a target pixel. Off at construction: the fixed curve steps and arc step.
    void setFineTransformedFills(bool on);
    // Every pixel of the target becomes 0: empty, nothing drawn yet.
    void clear();
    // clear() for a picture that ends with resolveBackground: on a wide target the pixels
    // become empty without being written now; each 64-pixel block is cleared when first
    // drawn on, and the resolve writes the background straight into those never drawn on.
    // Until then the target's memory is not the picture.
    void beginPicture();
    // Pixels per block of the opaque record: bit b of a row's word stands for columns
    // [64b, 64b + 64), set once all of them are opaque (kMaxWidth is 64 blocks).
    static constexpr int32_t kOpaqueBlock = 64;
    void fill(const Path& path, Paint& paint, FillRule fillRule);
    void fillTransformed(const Path& path, const Transform2D& transform, Paint& paint,
                         FillRule fillRule);
    // fillTransformed of a path holding words [0, wordCount), read where they lie.
    void fillWords(const uint32_t* words, int32_t wordCount, const Transform2D& transform,
                   Paint& paint, FillRule fillRule);
    // Moves the pen as fillWords of these words would, drawing nothing: a band that
    // leaves out an outline lying wholly outside it keeps the pen of a fill that drew it.
    void passOver(const uint32_t* words, int32_t wordCount);
    // Puts colour (alpha taken as 255) under every pixel that is not yet opaque.
    void resolveBackground(uint32_t colour);
    // Borrowed until unset (null): each stage from now on adds its time to `times`.
    void setStageTimes(RasterStageTimes* times) { stageTimes = times; }

    // The stages of one fill, callable one by one (tests and benchmarks drive them).
    // Empties the stored cells and the bounding box, as every fill starts.
    void beginCells();
    // Stores these cells after those already stored, growing the arrays as a fill does;
    // false when they cannot all be held.
    bool appendCells(const Cell* first, const Cell* last);
    // Sorts the stored cells ascending as unsigned words (stable).
    void sortCells();
    // Sets what the sweep and writeSpan composite with; a fill sets them itself.
    // The paint is borrowed until the next call or fill.
    void setSweepPaint(Paint* paint, FillRule fillRule);
    // emitLine maps its points through this transform (null: none) until the next call or
    // fill; fillTransformed sets it for its own duration.
    void setLineTransform(const Transform2D* transform);
    // Turns the sorted cells into writeSpan calls.
    void sweep();
    // For a fill with a SolidPaint: sums the stored cells, in any order, into their pixels
    // and composites those, giving the pixels sortCells and sweep would give; the cells
    // stay where they are. False, with nothing done, for other paints and for fills too
    // large to sum this way.
    bool sweepDirect();
    // Composites count pixels from (x, y) rightward in row y; alpha is 1..255.
    void writeSpan(int32_t x, int32_t y, int32_t count, int32_t alpha);

    // What the stages left behind, read-only.
    int32_t cellCount() const;
    // Every cell the current (or last) fill made: those stored and those already summed.
    int64_t fillCellCount() const { return summedCells + cellCount(); }
    const Cell* storedCells() const { return cells.get(); }
    int32_t cellArraySize() const { return cellCapacity; }
    Bounds bounds() const { return {boundsMinX, boundsMinY, boundsMaxX, boundsMaxY}; }
    bool hasTarget() const { return target != nullptr; }
    int32_t targetWidth() const { return width; }
    int32_t targetHeight() const { return height; }

    // Coverage v (1/256 pixel, signed) to 0..255 under either rule.
    static int32_t nonZeroAlpha(int32_t v);
    static int32_t evenOddAlpha(int32_t v);
    // Rounding divide by 255; exact for multiples of 255 up to 65025.
    static constexpr uint32_t divide255(uint32_t x) { return (x + (x >> 8) + 1) >> 8; }

private:
    // An outline point with what every edge from or to it needs: its half-scanline
    // (floor of 2y) and whether 256x and 2y lie inside +-kFixedLimit (false when not finite).
    struct EdgePoint {
        float x;
        float y;
        int32_t halfScanline;
        bool inRange;
    };
    // The point mappings of the outline walk (raster/OutlineWalk.h), in CellWalk.cpp: the
    // identity, with curve batches and edge lanes; and the affine map of a transform, a
    // first row or fine flattening, each point mapped once as Transform2D::map maps it.
    class IdentityEdges;
    class MappedEdges;

    static EdgePoint edgePoint(float x, float y);
    // Path::replayWords into this rasterizer through an outline walk, without a virtual
    // call per piece; the pen is the rasterizer's own (PathSink::pen).
    void replayOutline(const uint32_t* words, int32_t wordCount);
    void fillOutline(const uint32_t* words, int32_t wordCount, Paint& paint, FillRule fillRule);
    // emitLine between two points when no transform applies.
    void edge(const EdgePoint& a, const EdgePoint& b);
    // edge()'s bounds for the edges from (x, y) through the n points in turn, each edge
    // that is not a single point folded in as edge() folds it.
    void foldBounds(float x, float y, const float* xs, const float* ys, int32_t n);
    // The same bounds from what the edge lanes found of them (run's anyEdge and four
    // bounds); foldBounds where a bound is zero, which could be either zero.
    void addRunBounds(const edgelanes::Run& run, float x, float y, const float* xs, const float* ys,
                      int32_t n);
    // The cells of an edge between in-range points, bounds aside.
    void storeEdge(const EdgePoint& a, const EdgePoint& b);
    // storeEdge of the edges into points i of a run whose bit is set in crossing, in order:
    // from start for i = 0, else from point i - 1. Point i is (xs[i], ys[i]), in range, on
    // half-scanline lines[i] - shift; every edge set in crossing joins different
    // half-scanlines.
    void storeCrossings(const EdgePoint& start, uint32_t crossing, const float* xs, const float* ys,
                        const int32_t* lines, int32_t shift);
    // The cells of an in-range edge that crosses at least one half-scanline.
    void walkEdge(const EdgePoint& a, const EdgePoint& b);
    // Makes room for more cells: a summing fill past kSumChunkCells adds the stored cells
    // into their pixels and empties the array; otherwise both arrays double, keeping the
    // stored cells. False once at kMaxCellCapacity or when memory runs out; the arrays are
    // then unchanged.
    bool growCells();
    // Makes the pixel sums cover the whole target (all zero). False without the memory.
    bool reserveSums();
    // Makes the pixel sums cover targetWidth x targetHeight pixels. False without the memory.
    bool reserveSumsFor(int32_t targetWidth, int32_t targetHeight);
    // Adds the stored cells into the pixel sums and empties the array.
    void sumStoredCells();
    // No block of the target is known opaque any more; those of `fresh` are empty.
    // False when there is no record of the rows (no memory for it).
    bool resetRowBlocks(uint64_t fresh);
    // Makes the record of rows hold at least `rows` rows (none without the memory); a new
    // record knows nothing of any row.
    void reserveRowBlocks(int32_t rows);
    // The byte-wise radix sort sortCells uses for very many cells.
    void radixSortCells();
    // emitLine for transformed or far-off coordinates: the checked, double-precision way.
    void emitLineGeneral(float x0, float y0, float x1, float y1);
    void walkClamped(int32_t x, int32_t err, int32_t k, int32_t yEnd, int32_t dx, int32_t dy,
                     int32_t xStep, Cell direction);
    int32_t alphaOf(int32_t v) const {
        return fillRule == FillRule::kEvenOdd ? evenOddAlpha(v) : nonZeroAlpha(v);
    }
    static void resolveRow(uint32_t* pixel, int32_t count, uint32_t bg);
    static void resolveRowOverBlack(uint32_t* pixel, int32_t count);
    void writeSolidSpan(int32_t x, int32_t y, int32_t count, int32_t alpha);
    void writePaintedSpan(int32_t x, int32_t y, int32_t count, int32_t alpha);

    // Borrowed; set only while a transformed fill runs (or through setLineTransform).
    const Transform2D* transform = nullptr;
    // Borrowed; set only while a fill sweeps (or through setSweepPaint).
    Paint* paint = nullptr;
    // Borrowed; null unless a benchmark times the stages.
    RasterStageTimes* stageTimes = nullptr;
    // One past the last stored cell.
    Cell* cellEnd = nullptr;
    std::unique_ptr<Cell[]> cells;
    std::unique_ptr<Cell[]> sortScratch;
    // sweepDirect's sums and bitmaps, one of each per target pixel, all zero between fills
    // (a sweep clears what it reads); grown with the target. Only the pages a fill
    // touches are ever written, so a tall band costs memory only where it is drawn.
    struct PagesDeleter {
        std::size_t bytes;
        void operator()(void* memory) const;
    };
    std::unique_ptr<SumsBlock[], PagesDeleter> pixelSums;
    std::unique_ptr<uint64_t[], PagesDeleter> pixelBits;
    int64_t pixelSumsSize = 0;
    int64_t pixelBitsSize = 0;
    // Per target row: its blocks known to be wholly opaque (see kOpaqueBlock) and those
    // not yet written since beginPicture. Null when it could not be had.
    std::unique_ptr<RowBlocks[]> rowBlocks;
    int32_t rowBlockRows = 0;
    // Set while a solid fill sums its cells in chunks (a transparent one only counts
    // them); the cells summed so far and the rows and columns they touched.
    bool summing = false;
    bool summingVisible = false;
    int64_t summedCells = 0;
    cellword::Extent summedExtent{};
    // Cells both arrays can hold.
    int32_t cellCapacity = 0;
    // Borrowed pixels of the target.
    uint32_t* target = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    // Where the last span of a non-solid paint ended, to skip a needless seek.
    int32_t lastSpanEndX = 0;
    int32_t lastSpanY = 0;
    FillRule fillRule = FillRule::kEvenOdd;
    // The first target row's row in the whole picture.
    int32_t firstRow = 0;
    bool fineTransformedFills = false;
    // Bounding box of the current fill, in path coordinates.
    float boundsMinX = 0.0f;
    float boundsMaxX = 0.0f;
    float boundsMinY = 0.0f;
    float boundsMaxY = 0.0f;
    bool paintIsSolid = false;
    // The count tables of the sorts and of the strip sweep: the radix passes' byte counts
    // and scatter positions, the row sort's per-row counts (cells at even and at odd
    // places apart, so neighbouring cells of an edge do not wait for each other's
    // updates), and where each strip's cells end. Each rasterizer has its own, so bands
    // are drawn at once; the sorts hand theirs back all zero.
    struct CountTables {
        uint32_t byteCounts[256];
        uint32_t bytePositions[256];
        uint32_t evenRows[kMaxHeight];
        uint32_t oddRows[kMaxHeight];
        uint32_t stripEnds[kMaxHeight + 1];
    };
    CountTables counts{};
};

// The one rasterizer of the show.
extern Rasterizer rasterizer;
