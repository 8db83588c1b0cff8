// One outline under construction: move, line, quadratic and cubic curves, closes, and
// whole ellipses. It is transformed as points and written out as the command words a
// movie path holds. An ellipse becomes two half-ellipse arcs whose end points and radii
// sit on a 1/64 pixel grid: the arc's centre then comes out exact (chord midpoint,
// distance zero) and the half-chord can never exceed the radius through rounding.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "Affine.h"
#include "geometry/Point2.h"

class Outline {
public:
    enum class Kind : uint8_t { Move, Line, Quad, Cubic, Ellipse, Close };
    struct Command {
        Kind kind;
        // Move, Line: p[0]. Quad: control p[0], end p[1]. Cubic: p[0], p[1], end p[2].
        // Ellipse: centre p[0], radii p[1].
        std::array<Point2, 3> p;
    };

    void moveTo(float x, float y);
    void lineTo(float x, float y);
    void quadTo(float cx, float cy, float x, float y);
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y);
    void close();
    // A closed axis-aligned ellipse, drawn with two arc commands.
    void ellipse(float cx, float cy, float rx, float ry);
    // A closed circle from four cubic curves (survives any transform).
    void circleCubic(float cx, float cy, float r);
    void rect(float x, float y, float w, float h);
    void roundRect(float x, float y, float w, float h, float r);
    void polygon(const std::vector<Point2>& points);
    void append(const Outline& other);

    // Ellipses keep their axes: under a rotating map a circle stays a circle, an
    // ellipse with unequal radii is only allowed under maps that keep the axes.
    Outline transformed(const Affine& map) const;
    // x0, y0, x1, y1 of every point (control points included); all zero when empty.
    std::array<float, 4> bounds() const;
    bool empty() const { return commands.empty(); }
    std::vector<uint32_t> words() const;

    std::vector<Command> commands;
};
