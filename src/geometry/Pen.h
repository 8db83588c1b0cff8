// The pen of an outline walk, written once for every walker: where the last piece ended,
// where the open subpath started, and whether the next move starts a new subpath. Point is
// what a walker keeps per point: a plain point (PathSink), or a point with what its edges
// need (the rasterizer's walks).
#pragma once

template <class Point> struct PenOf {
    Point start{};
    Point current{};
    bool startPending = true;

    void beginPath() { startPending = true; }
    // A move goes to p; the first move after a close (or the path's start) starts a subpath.
    void moveTo(const Point& p) {
        if (startPending) {
            start = p;
            startPending = false;
        }
        current = p;
    }
    // After the closing line from current to start: back at the start, and the next move
    // starts a new subpath.
    void closePath() {
        current = start;
        startPending = true;
    }
    // The same pen with each point converted by convert.
    template <class Convert> auto converted(Convert convert) const {
        return PenOf<decltype(convert(start))>{convert(start), convert(current), startPending};
    }
};
