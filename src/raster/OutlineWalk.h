// The rasterizer's walk over an outline, written once: the path's commands (Path::replayWords)
// move one pen (geometry/Pen.h), and the point mapping and edge making are a policy:
//
//   Edges::Point                     what the walk keeps per point
//   Point point(float x, float y)    a path point as the walk keeps it (mapped, if it maps)
//   Point2 plain(const Point&)       the path point back, for the pen the walk leaves
//   lineTo(Point& current, x, y)     the edges from current to (x, y); current ends there
//   quadTo, cubicTo, arcTo           the same for a curve or an arc from current
//   edge(const Point& a, const Point& b)   the closing edge
//
// The walk starts from a pen in path coordinates and leaves its own there when done, as if
// the path had been replayed into that pen's PathSink.
#pragma once

#include <cstdint>

#include "geometry/Path.h"
#include "geometry/PathSink.h"
#include "geometry/Pen.h"
#include "geometry/Point2.h"

template <class Edges> class OutlineWalk {
public:
    using Point = typename Edges::Point;

    OutlineWalk(Edges& edgePolicy, PathSink::Pen& ownerPen)
        : edges(edgePolicy), owner(ownerPen),
          pen(ownerPen.converted([&](const Point2& p) { return edgePolicy.point(p.x, p.y); })) {}
    OutlineWalk(const OutlineWalk&) = delete;
    OutlineWalk& operator=(const OutlineWalk&) = delete;
    ~OutlineWalk() {
        owner = pen.converted([this](const Point& p) { return edges.plain(p); });
    }

    // Replays words [0, wordCount) through this walk.
    static void replay(Edges& edgePolicy, PathSink::Pen& ownerPen, const uint32_t* words,
                       int32_t wordCount) {
        OutlineWalk walk(edgePolicy, ownerPen);
        Path::replayWords(words, wordCount, walk);
    }

    void beginPath() { pen.beginPath(); }
    void moveTo(float x, float y) { pen.moveTo(edges.point(x, y)); }
    void lineTo(float x, float y) { edges.lineTo(pen.current, x, y); }
    void quadTo(float cx, float cy, float x, float y) { edges.quadTo(pen.current, cx, cy, x, y); }
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
        edges.cubicTo(pen.current, c1x, c1y, c2x, c2y, x, y);
    }
    void arcTo(float rx, float ry, float x, float y, float, float, float) {
        edges.arcTo(pen.current, rx, ry, x, y);
    }
    void closePath() {
        edges.edge(pen.current, pen.start);
        pen.closePath();
    }
    void endPath() {}

private:
    Edges& edges;
    PathSink::Pen& owner;
    PenOf<Point> pen;
};

// The policy that draws nothing: every drawing command leaves the pen on its stored end
// point (flattening ends there exactly), so following the end points gives the pen a
// replay leaves.
struct PenOnlyEdges {
    using Point = Point2;
    static Point point(float x, float y) { return {x, y}; }
    static Point2 plain(const Point& p) { return p; }
    static void lineTo(Point& current, float x, float y) { current = {x, y}; }
    static void quadTo(Point& current, float, float, float x, float y) { current = {x, y}; }
    static void cubicTo(Point& current, float, float, float, float, float x, float y) {
        current = {x, y};
    }
    static void arcTo(Point& current, float, float, float x, float y) { current = {x, y}; }
    static void edge(const Point&, const Point&) {}
};
