// Path filter that turns the lines it receives into the closed outline of a line of
// width 2·halfWidth. The backward side is built in reverse by inserting at the front, so
// appending it after the forward side walks around each piece.
#pragma once

#include <cstdint>

#include "geometry/Path.h"
#include "geometry/PathSink.h"
#include "geometry/Point2.h"
#include "geometry/Segment.h"

// How the pieces of consecutive drawing commands meet. Values other than these behave
// as kRunOn.
enum class Join : int32_t {
    // Every drawing command gives a closed piece of its own.
    kNone = 0,
    // The sides run on from command to command through the cap corners.
    kRunOn = 1,
    // As kRunOn, plus a miter point at each join.
    kMiter = 2,
    kMiterAlso = 3,
};

class Stroker : public PathSink {
public:
    Stroker() = default;
    Stroker(const Stroker&) = delete;
    Stroker& operator=(const Stroker&) = delete;
    ~Stroker() override;

    void moveTo(float x, float y) override;
    void lineTo(float x, float y) override;
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) override;
    void quadTo(float cx, float cy, float x, float y) override;
    void closePath() override;
    void endPath() override;
    // Lines of length 0 and lines with a non-finite end add nothing.
    void emitLine(float x0, float y0, float x1, float y1) override;
    // An arc that counts as a drawing command of its own (joined to what came before).
    // Outlines reach arcTo through the path replay, so only callers that build strokes
    // command by command use this.
    virtual void arcTo6(float rx, float ry, float x, float y, float e, float f);

    Join join = Join::kMiter;
    float halfWidth = 2.0f;
    Path outline;
    Path backwardSide;
    Path forwardSide;
    Segment firstStartCap;
    Segment firstEndCap;
    Segment prevStartCap;
    Segment prevEndCap;
    Point2 firstCapPoint;
    bool firstLine = false;
    bool joinPending = false;

private:
    bool mitered() const { return join == Join::kMiter || join == Join::kMiterAlso; }
    // Adds the miter point between the previous line and the one with caps s and e.
    void miterStep(const Segment& s, const Segment& e);
    // Moves both sides onto the outline, forward first.
    void flushSides();
};

// The stroker the show creates; nothing draws through it.
extern Stroker stroker;
