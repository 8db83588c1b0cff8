// Stroke outlines. Only the first line of each drawing command finds joinPending set, so
// the lines of one flattened curve run on without miter points between them.
#include "geometry/Stroker.h"

#include <cmath>

Stroker stroker;

Stroker::~Stroker() = default;

void Stroker::flushSides() {
    outline.appendPath(forwardSide);
    outline.appendPath(backwardSide);
    forwardSide.clearWords();
    backwardSide.clearWords();
}

void Stroker::moveTo(float x, float y) {
    if (!outlinePen.startPending) {
        outline.appendPath(forwardSide);
        outline.appendPath(backwardSide);
    }
    forwardSide.clearWords();
    backwardSide.clearWords();
    firstLine = true;
    PathSink::moveTo(x, y);
}

void Stroker::lineTo(float x, float y) {
    joinPending = true;
    PathSink::lineTo(x, y);
}

void Stroker::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    joinPending = true;
    PathSink::cubicTo(c1x, c1y, c2x, c2y, x, y);
}

void Stroker::quadTo(float cx, float cy, float x, float y) {
    joinPending = true;
    PathSink::quadTo(cx, cy, x, y);
}

void Stroker::arcTo6(float rx, float ry, float x, float y, float e, float f) {
    joinPending = true;
    PathSink::arcTo(rx, ry, x, y, e, f, 1.0f);
}

void Stroker::closePath() {
    joinPending = true;
    PathSink::closePath();
    if (join != Join::kNone) {
        if (mitered()) {
            miterStep(firstStartCap, firstEndCap);
        }
        backwardSide.insertMoveTo(0, firstCapPoint.x, firstCapPoint.y);
        forwardSide.appendClose();
    }
    flushSides();
}

void Stroker::endPath() {
    if (!outlinePen.startPending) {
        flushSides();
    }
}

void Stroker::miterStep(const Segment& s, const Segment& e) {
    const float turn = s.side(prevEndCap.a);
    if (turn > 0.0f) {
        const Point2 x = Segment(prevStartCap.b, prevEndCap.b).intersect(Segment(s.b, e.b));
        forwardSide.appendLineTo(x.x, x.y);
    } else if (turn < 0.0f) {
        const Point2 x = Segment(prevStartCap.a, prevEndCap.a).intersect(Segment(s.a, e.a));
        backwardSide.insertLineTo(0, x.x, x.y);
    }
}

void Stroker::emitLine(float x0, float y0, float x1, float y1) {
    if (x0 == x1 && y0 == y1) {
        return;
    }
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
        return;
    }
    const Segment line({x0, y0}, {x1, y1});
    const Segment s = line.startCap(halfWidth);
    const Segment e = line.endCap(halfWidth);
    if (join != Join::kNone && joinPending) {
        if (firstLine) {
            firstCapPoint = s.a;
            backwardSide.insertClose(0);
            forwardSide.appendMoveTo(s.b.x, s.b.y);
            firstLine = false;
            firstStartCap = s;
            firstEndCap = e;
        } else if (mitered()) {
            miterStep(s, e);
        }
        joinPending = false;
        backwardSide.insertLineTo(0, s.a.x, s.a.y);
        forwardSide.appendLineTo(s.b.x, s.b.y);
    }
    if (join == Join::kNone && joinPending) {
        joinPending = false;
        flushSides();
        backwardSide.insertClose(0);
        forwardSide.appendMoveTo(s.b.x, s.b.y);
        forwardSide.appendLineTo(s.b.x, s.b.y);
        backwardSide.insertLineTo(0, s.a.x, s.a.y);
    }
    backwardSide.insertLineTo(0, e.a.x, e.a.y);
    forwardSide.appendLineTo(e.b.x, e.b.y);
    prevStartCap = s;
    prevEndCap = e;
}
