// Base of every consumer of outlines. Keeps the pen and the subpath start, flattens
// curves and arcs, and hands every straight piece to emitLine, which derived classes supply.
#pragma once

#include <cstdint>

#include "geometry/Flattening.h"
#include "geometry/Pen.h"
#include "geometry/Point2.h"

class PathSink {
public:
    PathSink();

    virtual void beginPath();
    virtual void moveTo(float x, float y);
    virtual void lineTo(float x, float y);
    virtual void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y);
    virtual void quadTo(float cx, float cy, float x, float y);
    // e, f and g are carried along by the path format and ignored.
    virtual void arcTo(float rx, float ry, float x, float y, float e, float f, float g);
    virtual void closePath();
    virtual void endPath();
    virtual ~PathSink();
    virtual void emitLine(float x0, float y0, float x1, float y1);

    // Straight pieces per quadratic or cubic curve; n <= 1 gives one straight line.
    void setCurveSteps(int32_t n);

    // The number of pieces per curve with the parameter step and its powers, which
    // setCurveSteps keeps in step with it.
    struct CurveSteps {
        int32_t count;
        float step;
        float squared;
        float cubed;
    };
    const CurveSteps& curveSteps() const { return stepping; }

    // Fine flattening for output through this linear map (copied): every curve and arc
    // is cut for its own mapped size, no chord more than flattening::kFineTolerance off.
    // Null (the default) keeps the fixed curve steps and the 0.01-radian arc walk.
    void setFineFlattening(const flattening::LinearMap* map);
    bool fineFlattening() const { return fine; }
    // The steps of one curve from (x0, y0): the fixed ones, or fine ones for its size.
    CurveSteps quadSteps(float x0, float y0, float cx, float cy, float x, float y) const;
    CurveSteps cubicSteps(float x0, float y0, float c1x, float c1y, float c2x, float c2y, float x,
                          float y) const;
    // The parameter step of one arc walk.
    float arcStep(float rx, float ry) const;

    // Where the last piece ended, and where the open subpath started (startPending: the
    // next move starts a new subpath).
    using Pen = PenOf<Point2>;
    const Pen& pen() const { return outlinePen; }
    // Puts the pen where another sink's replay left its own (sinks that draw one picture
    // in parts start each part where the whole would).
    void setPen(const Pen& p) { outlinePen = p; }

protected:
    // emitLine from the pen to (x, y), then the pen moves there.
    void emitTo(float x, float y);

    PathSink(const PathSink&) = default;
    PathSink& operator=(const PathSink&) = default;

    // The pen; sinks that walk outlines their own way move it themselves.
    Pen outlinePen;

private:
    static CurveSteps stepsOf(int32_t n);
    // stepsOf(n) for a count of fine flattening (1..kMaxFineCurveSteps, or stepping's).
    CurveSteps fineStepsOf(int32_t n) const;

    CurveSteps stepping{32, 1.0f / 32.0f, 1.0f / 1024.0f, 1.0f / 32768.0f};
    flattening::LinearMap fineMap{1.0f, 0.0f, 0.0f, 1.0f};
    bool fine = false;
};
