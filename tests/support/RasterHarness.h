// Helpers for the rasterizer suites: a pixel canvas bound to its own Rasterizer, cell
// words built from their fields, polygon paths, and a non-solid paint that records how
// the span writer drives it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "geometry/Paint.h"
#include "geometry/Path.h"
#include "raster/Rasterizer.h"

inline Cell cellWord(uint32_t row, uint32_t col, uint32_t pos, uint32_t down) {
    return cellword::pack(row, col, pos, down != 0);
}

// The cells a rasterizer holds, in store order.
inline std::vector<Cell> storedCells(const Rasterizer& r) {
    return {r.storedCells(), r.storedCells() + r.cellCount()};
}

struct Canvas {
    Canvas(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w) * h, 0u) {
        raster.setTarget(pixels.data(), w, h, w);
    }
    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
    uint32_t& at(int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; }
    // Cells of one emitLine call on a fresh cell array, in emission order.
    std::vector<Cell> walk(float x0, float y0, float x1, float y1) {
        raster.beginCells();
        raster.emitLine(x0, y0, x1, y1);
        return storedCells(raster);
    }

    int32_t width;
    int32_t height;
    std::vector<uint32_t> pixels;
    Rasterizer raster;
};

// A closed polygon through the given points, appended as one subpath.
inline void addPolygon(Path& path, std::initializer_list<std::pair<float, float>> points) {
    bool first = true;
    for (const auto& [x, y] : points) {
        if (first) {
            path.appendMoveTo(x, y);
            first = false;
        } else {
            path.appendLineTo(x, y);
        }
    }
    path.appendClose();
}

inline void addRect(Path& path, float x0, float y0, float x1, float y1) {
    addPolygon(path, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// A paint whose colour is `colour` everywhere but which claims not to be solid, and
// records every call the span writer makes.
class RecordingPaint final : public Paint {
public:
    struct Seek {
        int32_t x;
        int32_t y;
        int32_t callIndex;
    };
    explicit RecordingPaint(uint32_t c) : colour(c) {}

    void seek(int32_t x, int32_t y) override {
        seeks.push_back({x, y, int32_t(skips.size())});
        currentX = x;
    }
    uint32_t nextColour(int32_t skip) override {
        skips.push_back(skip);
        xs.push_back(currentX++);
        return colour;
    }
    bool isSolid() const override {
        ++solidQuestions;
        return false;
    }

    mutable int solidQuestions = 0;
    uint32_t colour;
    int32_t currentX = -1000;
    std::vector<Seek> seeks;
    // One entry per nextColour call: the skip argument and the x the paint stood at.
    std::vector<int32_t> skips;
    std::vector<int32_t> xs;
};
