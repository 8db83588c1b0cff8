// Path filter that turns the lines it receives into the closed outline of a line of
// width 2·halfWidth. The backward side is built in reverse by inserting at the front, so
// appending it after the forward side walks around each piece.
#pragma once

#include <cstdint>

#include "geometry/PathSink.h"
#include "geometry/Point2.h"
#include "geometry/Segment.h"
#include "geometry/Path.h"

class Stroker : public PathSink {
public:
    // join values: separate pieces per drawing command, and mitered corners.
    static constexpr int32_t kJoinNone = 0;
    static constexpr int32_t kJoinMiter = 2;
    static constexpr int32_t kJoinMiterAlso = 3;

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
    virtual void arcTo6(float rx, float ry, float x, float y, float e, float f);

    int32_t join = kJoinMiter;
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
    bool mitered() const { return join == kJoinMiter || join == kJoinMiterAlso; }
    // Adds the miter point between the previous line and the one with caps s and e.
    void miterStep(const Segment& s, const Segment& e);
    // Moves both sides onto the outline, forward first.
    void flushSides();
};

// The stroker the show creates; nothing draws through it.
extern Stroker stroker;
