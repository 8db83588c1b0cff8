// Construction, the global rasterizer, the target and the fill entry points.
// A fill resets the cells and the bounding box, replays the path into emitLine, sorts,
// hands the paint its bounds and sweeps; the paint is borrowed only for that call.
#include "raster/Rasterizer.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>
#include <typeinfo>

#include "geometry/Flattening.h"
#include "geometry/Paint.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/OutlineWalk.h"
#include "raster/PixelGrid.h"
#include "raster/RowBlocks.h"
#include "raster/ZeroedPages.h"

Rasterizer rasterizer;

Rasterizer::Rasterizer() {
    // Static construction must not throw: without memory the arrays start empty and
    // every fill tries to grow them again.
    try {
        cells = std::make_unique_for_overwrite<Cell[]>(kCellCapacity);
        sortScratch = std::make_unique_for_overwrite<Cell[]>(kCellCapacity);
        cellCapacity = kCellCapacity;
    } catch (const std::bad_alloc&) {
        cells.reset();
        sortScratch.reset();
        cellCapacity = 0;
    }
    cellEnd = cells.get();
}

Rasterizer::~Rasterizer() = default;

void Rasterizer::PagesDeleter::operator()(void* memory) const {
    zeroedpages::release(memory, bytes);
}

bool Rasterizer::growCells() {
    if (summing && cellCapacity >= kSumChunkCells) {
        sumStoredCells();
        return true;
    }
    if (cellCapacity >= kMaxCellCapacity) {
        return false;
    }
    const int32_t grown =
        std::min(std::max(cellCapacity, kCellCapacity / 2) * 2 + 1, kMaxCellCapacity);
    const std::ptrdiff_t stored = cellEnd != nullptr ? cellEnd - cells.get() : 0;
    try {
        auto newCells = std::make_unique_for_overwrite<Cell[]>(static_cast<std::size_t>(grown));
        auto newScratch = std::make_unique_for_overwrite<Cell[]>(static_cast<std::size_t>(grown));
        std::copy(cells.get(), cells.get() + stored, newCells.get());
        cells = std::move(newCells);
        sortScratch = std::move(newScratch);
    } catch (const std::bad_alloc&) {
        return false;
    }
    cellCapacity = grown;
    cellEnd = cells.get() + stored;
    return true;
}

int32_t Rasterizer::cellCount() const {
    return cellEnd != nullptr ? static_cast<int32_t>(cellEnd - cells.get()) : 0;
}

void Rasterizer::setTarget(uint32_t* pixels, int32_t targetWidth, int32_t targetHeight,
                           int32_t targetPitch) {
    const bool usable =
        pixels != nullptr && targetWidth > 0 && targetHeight > 0 && targetPitch >= targetWidth;
    if (!usable) {
        target = nullptr;
        width = 0;
        height = 0;
        pitch = 0;
        return;
    }
    // The cell word has no room for larger positions; the rest of the buffer stays untouched.
    target = pixels;
    width = std::min(targetWidth, kMaxWidth);
    height = std::min(targetHeight, kMaxHeight);
    pitch = targetPitch;
    resetRowBlocks(0u);
}

void Rasterizer::reserve(int32_t targetWidth, int32_t targetHeight) {
    const int32_t w = std::min(targetWidth, kMaxWidth);
    const int32_t h = std::min(targetHeight, kMaxHeight);
    if (w <= 0 || h <= 0) {
        return;
    }
    reserveSumsFor(w, h);
    reserveRowBlocks(h);
}

void Rasterizer::reserveRowBlocks(int32_t rows) {
    if (rows <= rowBlockRows) {
        return;
    }
    rowBlocks.reset(new (std::nothrow) RowBlocks[static_cast<std::size_t>(rows)]);
    rowBlockRows = rowBlocks != nullptr ? rows : 0;
    std::fill(rowBlocks.get(), rowBlocks.get() + rowBlockRows, RowBlocks{0u, 0u});
}

bool Rasterizer::resetRowBlocks(uint64_t fresh) {
    reserveRowBlocks(height);
    if (rowBlocks == nullptr) {
        return false;
    }
    std::fill(rowBlocks.get(), rowBlocks.get() + rowBlockRows, RowBlocks{0u, fresh});
    return true;
}

void Rasterizer::passOver(const uint32_t* words, int32_t wordCount) {
    PenOnlyEdges edges;
    OutlineWalk<PenOnlyEdges>::replay(edges, outlinePen, words, wordCount);
}

void Rasterizer::setFirstRow(int32_t row) {
    // Rows beyond any picture would only push coordinates past the fixed-point limit.
    firstRow = std::clamp(row, 0, kFixedLimit / 4);
}

void Rasterizer::setFineTransformedFills(bool on) {
    fineTransformedFills = on;
}

void Rasterizer::clear() {
    if (target == nullptr) {
        return;
    }
    const StageTimer timer(stageTimes != nullptr ? &stageTimes->clear : nullptr);
    // Every row but the last is cleared with its padding; the last stops at its width,
    // so a buffer of exactly (height - 1) * pitch + width pixels suffices.
    const std::ptrdiff_t count =
        static_cast<std::ptrdiff_t>(height - 1) * pitch + static_cast<std::ptrdiff_t>(width);
    std::fill(target, target + count, 0u);
    resetRowBlocks(0u);
}

void Rasterizer::beginPicture() {
    if (target == nullptr) {
        return;
    }
    // Narrow targets are cleared at once: runs on them go without the record of blocks.
    if (width < rowblocks::kBlockedWidth) {
        clear();
        return;
    }
    StageTimer timer(stageTimes != nullptr ? &stageTimes->clear : nullptr);
    if (!resetRowBlocks(rowblocks::all(width))) {
        timer.stop();
        clear();
    }
}

void Rasterizer::beginCells() {
    boundsMinX = std::numeric_limits<float>::max();
    boundsMinY = std::numeric_limits<float>::max();
    // The smallest positive normal float, not the most negative one: a path entirely at
    // negative coordinates keeps this as its maximum.
    boundsMaxX = std::numeric_limits<float>::min();
    boundsMaxY = std::numeric_limits<float>::min();
    cellEnd = cells.get();
    summedCells = 0;
}

bool Rasterizer::appendCells(const Cell* first, const Cell* last) {
    for (; first != last; ++first) {
        if (cellCount() == cellCapacity && !growCells()) {
            return false;
        }
        *cellEnd++ = *first;
    }
    return true;
}

void Rasterizer::setSweepPaint(Paint* sweepPaint, FillRule rule) {
    paint = sweepPaint;
    paintIsSolid = sweepPaint != nullptr && sweepPaint->isSolid();
    fillRule = rule;
    // A new paint starts unpositioned: its first span seeks.
    lastSpanEndX = -1;
    lastSpanY = -1;
}

void Rasterizer::setLineTransform(const Transform2D* lineTransform) {
    transform = lineTransform;
}

void Rasterizer::fill(const Path& path, Paint& fillPaint, FillRule rule) {
    fillOutline(path.words.get(), path.wordCount, fillPaint, rule);
}

void Rasterizer::fillWords(const uint32_t* words, int32_t wordCount,
                           const Transform2D& fillTransform, Paint& fillPaint, FillRule rule) {
    transform = &fillTransform;
    fillOutline(words, wordCount, fillPaint, rule);
    transform = nullptr;
}

void Rasterizer::fillOutline(const uint32_t* words, int32_t wordCount, Paint& fillPaint,
                             FillRule rule) {
    StageTimer walkTimer(stageTimes != nullptr ? &stageTimes->walk : nullptr);
    beginCells();
    fillRule = rule;
    // A solid fill sums its cells into their pixels as they come, so it never runs out of
    // room for them (sweepDirect sweeps the sums).
    // A transparent one draws nothing: its cells are only counted.
    if (typeid(fillPaint) == typeid(SolidPaint)) {
        summingVisible = (static_cast<const SolidPaint&>(fillPaint).colour >> 24) != 0;
        summing = !summingVisible || reserveSums();
    }

    if (fineTransformedFills && transform != nullptr) {
        const flattening::LinearMap map = flattening::linearPartOf(transform->matrix());
        setFineFlattening(&map);
    } else if (fineFlattening()) {
        setFineFlattening(nullptr);
    }
    replayOutline(words, wordCount);
    walkTimer.stop();

    const StageTimer sweepTimer(stageTimes != nullptr ? &stageTimes->sweep : nullptr);
    paint = &fillPaint;
    if (transform != nullptr || firstRow != 0) {
        // Target rows are firstRow rows above the picture's: the paint sees them moved back.
        fillPaint.deviceToPaint.assign(transform != nullptr ? *transform : Transform2D());
        if (firstRow != 0) {
            Transform2D up;
            up.setTranslation(0.0f, -static_cast<float>(firstRow));
            fillPaint.deviceToPaint.compose(up);
        }
        fillPaint.deviceToPaint.invert();
    }
    fillPaint.bounds = {boundsMinX, boundsMinY, boundsMaxX - boundsMinX, boundsMaxY - boundsMinY};
    paintIsSolid = fillPaint.isSolid();
    if (!sweepDirect()) {
        sortCells();
        sweep();
    }
    summing = false;
    paint = nullptr;
}

void Rasterizer::fillTransformed(const Path& path, const Transform2D& fillTransform,
                                 Paint& fillPaint, FillRule rule) {
    transform = &fillTransform;
    fill(path, fillPaint, rule);
    transform = nullptr;
}
