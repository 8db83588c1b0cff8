// One straight segment a -> b with the measurements the stroke and dash filters need.
// Caps are perpendicular to the segment: n = d·(uy, -ux) for the unit direction u.
#pragma once

#include "geometry/Point2.h"

class Segment {
public:
    Segment() = default;
    Segment(Point2 start, Point2 end) : a(start), b(end) {}
    Segment(const Segment&) = default;
    Segment& operator=(const Segment&) = default;
    virtual ~Segment();

    float length() const;
    Point2 midpoint() const;
    // (1 - t)·a + t·b; t = 0 gives a and t = 1 gives b exactly.
    Point2 pointAt(float t) const;
    // Positive on one side of the line a -> b, negative on the other, 0 on it.
    float side(Point2 p) const;
    // Where the infinite lines through both segments cross. Parallel (or degenerate)
    // lines have no crossing; then other.a is returned so no far-off point appears.
    Point2 intersect(const Segment& other) const;
    // (a - n -> a + n) and (b - n -> b + n); a segment of length 0 gives n = 0.
    Segment startCap(float d) const;
    Segment endCap(float d) const;

    Point2 a;
    Point2 b;

private:
    Point2 capOffset(float d) const;
};
