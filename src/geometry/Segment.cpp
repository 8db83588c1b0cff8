// Segment arithmetic in floats, in the order the formulas are written.
#include "geometry/Segment.h"

#include <cmath>

Segment::~Segment() = default;

float Segment::length() const {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    return std::sqrt(dx * dx + dy * dy);
}

Point2 Segment::midpoint() const {
    return {(a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f};
}

Point2 Segment::pointAt(float t) const {
    return {(1.0f - t) * a.x + t * b.x, (1.0f - t) * a.y + t * b.y};
}

float Segment::side(Point2 p) const {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

Point2 Segment::intersect(const Segment& other) const {
    const float dx = b.x - a.x;
    const float dy = b.y - a.y;
    const float ex = other.b.x - other.a.x;
    const float ey = other.b.y - other.a.y;
    const float denominator = dx * ey - dy * ex;
    if (denominator == 0.0f || !std::isfinite(denominator)) {
        return other.a;
    }
    const float t = ((other.a.x - a.x) * ey - (other.a.y - a.y) * ex) / denominator;
    const Point2 crossing = pointAt(t);
    if (!std::isfinite(crossing.x) || !std::isfinite(crossing.y)) {
        return other.a;
    }
    return crossing;
}

Point2 Segment::capOffset(float d) const {
    const float len = length();
    if (!(len > 0.0f)) {
        return {};
    }
    const float ux = (b.x - a.x) / len;
    const float uy = (b.y - a.y) / len;
    return {d * uy, d * -ux};
}

Segment Segment::startCap(float d) const {
    const Point2 n = capOffset(d);
    return {a - n, a + n};
}

Segment Segment::endCap(float d) const {
    const Point2 n = capOffset(d);
    return {b - n, b + n};
}
