// One picture as a list of filled paths, back to front: the content's model of a movie
// frame, also drawn straight into pixels for the raw pictures. Paths wholly outside
// the target are left out; a path over the cell budget is an error of the content.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Outline.h"
#include "geometry/Stroker.h"

class MovieWriter;
class Paint;

class DrawList {
public:
    static constexpr int32_t kWidth = 320;
    static constexpr int32_t kHeight = 200;

    // A filled outline (one path, even-odd) in a premultiplied colour.
    void fill(uint32_t colour, const Outline& outline);
    // A filled outline with a paint of its own (pictures only).
    void fill(std::shared_ptr<Paint> paint, const Outline& outline);
    // The outline of a line of width 2·halfWidth along centre, made by the Stroker.
    // Join::kNone cuts the line into separate pieces per command; kMiter mitres the corners.
    void stroke(uint32_t colour, const Outline& centre, float halfWidth, Join join = Join::kMiter);
    void clear() { items.clear(); }
    size_t size() const { return items.size(); }

    // One frame record. Throws std::runtime_error when a path needs more cells than the
    // rasterizer keeps.
    void writeFrame(MovieWriter& writer) const;
    // Draws into width x height pixels (pitch = width) as the movie player does, over
    // opaque black; pixels come out as 0xFFRRGGBB.
    void render(uint32_t* pixels) const;

    struct Item {
        uint32_t colour = 0;
        std::shared_ptr<Paint> paint; // null: solid colour
        std::vector<uint32_t> words;
    };
    std::vector<Item> items;

private:
    bool visible(const Outline& outline) const;
    void add(Item item);
};

// Same words as a stroke would give, for callers that want the outline itself.
std::vector<uint32_t> strokeWords(const Outline& centre, float halfWidth, Join join);
