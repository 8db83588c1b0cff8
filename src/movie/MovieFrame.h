// The in-memory model of one movie frame: shapes in file order (back to front), each
// owning its paint and its paths. Built by one render call and released before it returns.
#pragma once

#include <memory>
#include <vector>

#include "geometry/Path.h"
#include "geometry/SolidPaint.h"

class Shape {
public:
    // Null only when no paint could be made; such a shape's paths are not drawn.
    std::unique_ptr<SolidPaint> paint;
    std::vector<Path> paths;
};

class MovieFrame {
public:
    std::vector<Shape> shapes;
};
