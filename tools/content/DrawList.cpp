// Frames and pictures from lists of paths.
#include "DrawList.h"

#include <stdexcept>
#include <string>

#include "CellCount.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Stroker.h"
#include "movie/MovieWriter.h"
#include "raster/Rasterizer.h"

namespace {
constexpr int32_t kCurveSteps = 16;
constexpr float kMargin = 2.0f;
constexpr uint32_t kBlack = 0xFF000000u;
} // namespace

std::vector<uint32_t> strokeWords(const Outline& centre, float halfWidth, Join join) {
    const std::vector<uint32_t> words = centre.words();
    Path path;
    path.setWords(words.data(), static_cast<int32_t>(words.size()));
    Stroker s;
    s.join = join;
    s.halfWidth = halfWidth;
    s.setCurveSteps(kCurveSteps);
    path.emit(&s);
    return std::vector<uint32_t>(s.outline.words.get(),
                                 s.outline.words.get() + s.outline.wordCount);
}

bool DrawList::visible(const Outline& outline) const {
    if (outline.empty())
        return false;
    const auto b = outline.bounds();
    return b[2] >= -kMargin && b[0] <= static_cast<float>(kWidth) + kMargin && b[3] >= -kMargin &&
           b[1] <= static_cast<float>(kHeight) + kMargin;
}

void DrawList::add(Item item) {
    if (item.words.empty())
        return;
    const int64_t cells = countCells(item.words, kWidth, kHeight);
    if (cells > kCellBudget) {
        throw std::runtime_error("a path needs " + std::to_string(cells) + " cells");
    }
    items.push_back(std::move(item));
}

void DrawList::fill(uint32_t colour, const Outline& outline) {
    if ((colour >> 24) == 0u || !visible(outline))
        return;
    add({colour, nullptr, outline.words()});
}

void DrawList::fill(std::shared_ptr<Paint> paint, const Outline& outline) {
    if (!visible(outline))
        return;
    add({0, std::move(paint), outline.words()});
}

void DrawList::stroke(uint32_t colour, const Outline& centre, float halfWidth, Join join) {
    if ((colour >> 24) == 0u || !visible(centre))
        return;
    add({colour, nullptr, strokeWords(centre, halfWidth, join)});
}

void DrawList::writeFrame(MovieWriter& writer) const {
    writer.writeFrameStart(static_cast<uint32_t>(items.size()));
    for (const Item& item : items) {
        writer.writeShapeStart(item.colour, 1);
        writer.writePath(item.words.data(), static_cast<uint32_t>(item.words.size()));
    }
}

void DrawList::render(uint32_t* pixels) const {
    rasterizer.setTarget(pixels, kWidth, kHeight, kWidth);
    rasterizer.clear();
    rasterizer.setCurveSteps(kCurveSteps);
    // The rasterizer puts each fill under what is there: front to back.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        Path path;
        path.setWords(it->words.data(), static_cast<int32_t>(it->words.size()));
        if (it->paint != nullptr) {
            rasterizer.fill(path, *it->paint, FillRule::kEvenOdd);
        } else {
            SolidPaint paint(it->colour);
            rasterizer.fill(path, paint, FillRule::kEvenOdd);
        }
    }
    rasterizer.resolveBackground(kBlack);
}
