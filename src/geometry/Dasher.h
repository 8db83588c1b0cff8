// Path filter that cuts every subpath into dashes by a pattern of up to 16 lengths:
// even entries draw, odd entries are gaps. The pattern restarts at every closePath.
#pragma once

#include <array>
#include <cstdint>

#include "geometry/Path.h"
#include "geometry/PathSink.h"

struct DashPattern {
    static constexpr int32_t kEntries = 16;
    // Marks an entry not in use; the pattern wraps at the first one.
    static constexpr float kUnused = -1.0f;

    // Entry i, or 0 for i outside 0..15.
    float lengthAt(int32_t i) const;

    std::array<float, kEntries> lengths{kUnused, kUnused, kUnused, kUnused, kUnused, kUnused,
                                        kUnused, kUnused, kUnused, kUnused, kUnused, kUnused,
                                        kUnused, kUnused, kUnused, kUnused};
};

class Dasher : public PathSink {
public:
    // A line is cut into at most this many pieces; the rest of it continues the current
    // entry, so no pattern can make the output grow without bound.
    static constexpr int32_t kMaxPiecesPerLine = 16384;

    Dasher() = default;
    Dasher(const Dasher&) = delete;
    Dasher& operator=(const Dasher&) = delete;
    ~Dasher() override;

    void moveTo(float x, float y) override;
    void closePath() override;
    void endPath() override;
    void emitLine(float x0, float y0, float x1, float y1) override;

    // The first count lengths (at most 16) become the pattern; the other entries are
    // unused. A pattern whose first entry is not positive passes lines through undashed.
    void setPattern(const float* lengths, int32_t count);
    // Back to the default: every entry unused.
    void clearPattern();

    DashPattern pattern;
    Path dashes;
    Path outline;
    float carried = 0.0f;
    int32_t dashIndex = 0;
};

// The dasher the show creates; nothing draws through it.
extern Dasher dasher;
