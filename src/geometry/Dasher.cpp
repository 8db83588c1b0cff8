// Dashing. Each line is walked from its start: an entry that ends on the line ends a dash
// or a gap there and the walk goes on from that point with the next entry. The walk is a
// loop, bounded per line, so no pattern or coordinate can keep it going for ever.
#include "geometry/Dasher.h"

#include <algorithm>
#include <cmath>

#include "geometry/Segment.h"

Dasher dasher;

float DashPattern::lengthAt(int32_t i) const {
    if (i < 0 || i >= kEntries) {
        return 0.0f;
    }
    return lengths[static_cast<size_t>(i)];
}

Dasher::~Dasher() = default;

void Dasher::setPattern(const float* lengths, int32_t count) {
    clearPattern();
    const int32_t n = lengths == nullptr ? 0 : std::clamp(count, 0, DashPattern::kEntries);
    std::copy_n(lengths, n, pattern.lengths.begin());
}

void Dasher::clearPattern() {
    pattern.lengths.fill(DashPattern::kUnused);
}

void Dasher::moveTo(float x, float y) {
    dashes.appendMoveTo(x, y);
    PathSink::moveTo(x, y);
}

void Dasher::closePath() {
    PathSink::closePath();
    outline.appendPath(dashes);
    dashes.clearWords();
    carried = 0.0f;
    dashIndex = 0;
}

void Dasher::endPath() {
    outline.appendPath(dashes);
    dashes.clearWords();
}

void Dasher::emitLine(float x0, float y0, float x1, float y1) {
    Segment rest({x0, y0}, {x1, y1});
    for (int32_t piece = 0;; ++piece) {
        const float len = rest.length();
        // Nothing to add for a line of length 0; a non-finite one cannot be measured.
        if (len == 0.0f || !std::isfinite(len)) {
            return;
        }
        const float run = len + carried;
        const float entry = pattern.lengthAt(dashIndex);
        // Without a positive first entry the walk would never make progress.
        const bool undashed = !(pattern.lengthAt(0) > 0.0f);
        if (undashed || entry > run || piece >= kMaxPiecesPerLine) {
            if (undashed || dashIndex % 2 == 0) {
                dashes.appendLineTo(rest.b.x, rest.b.y);
            }
            if (!undashed) {
                carried = carried + len;
            }
            return;
        }
        const float t = (entry - carried) / len;
        const Point2 x = rest.pointAt(t);
        if (dashIndex % 2 == 0) {
            dashes.appendLineTo(x.x, x.y);
        } else {
            dashes.appendMoveTo(x.x, x.y);
        }
        dashIndex = dashIndex + 1;
        if (dashIndex >= DashPattern::kEntries ||
            pattern.lengthAt(dashIndex) == DashPattern::kUnused) {
            dashIndex = 0;
        }
        carried = 0.0f;
        rest = Segment(x, rest.b);
    }
}
