// What one frame record may ask of the player, written once for the reader, which refuses
// a frame past any bound as damage, and for the writers, which must never make a frame the
// reader would refuse. FrameBudget adds a frame up record by record as a writer makes it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "movie/MovieFrame.h"
#include "movie/MoviePlayer.h"

namespace framebudget {
// Flattening steps of every movie curve.
inline constexpr int32_t kMovieCurveSteps = 16;
// What a shape and a path (besides its words) may cost in the decoded frame, with the
// slack of growing lists; the larger of the frame model's and the frame to draw's.
inline constexpr size_t kShapeCost = 2 * sizeof(Shape) + sizeof(SolidPaint);
inline constexpr size_t kPathCost = 2 * sizeof(Path);
// Lines an arc can flatten into: 0.01-radian steps over less than a full turn (629
// points, one more for float rounding), the line to its end point and the closing line,
// with room to spare.
inline constexpr int64_t kArcLineBound = 640;
// Most lines each command code can flatten into (no-op and move draw nothing).
inline constexpr std::array<int64_t, pathcode::kFirstEnd> kCommandLineBound = {
    0, 0, 1, kMovieCurveSteps, kMovieCurveSteps, kArcLineBound, 1};

// The most straight lines the replay of these path words can hand the rasterizer. The walk
// stops where the replay stops (pathcode::Reader): at an end code or a command cut short. It
// reads one word per command and looks its bound up, so it costs little beside decoding.
inline int64_t flattenedLineBound(const uint32_t* words, size_t count) {
    int64_t lines = 0;
    pathcode::Reader reader(words, count);
    pathcode::Command command;
    while (reader.next(command)) {
        lines += kCommandLineBound[command.code];
    }
    return lines;
}
} // namespace framebudget

// One frame's cost against the player's bounds, added record by record in stream order.
class FrameBudget {
public:
    enum class Bound {
        kNone,
        kRecordBytes,  // the whole record must fit the player's read buffer
        kDecodedBytes, // MoviePlayer::kMaxFrameBytes
        kLines,        // MoviePlayer::kMaxFrameLines
    };

    // Each returns false once the frame has passed a bound (and keeps returning false).
    bool addFrameStart();
    bool addShape();
    bool addPath(const uint32_t* words, uint32_t count);
    Bound passed() const { return bound; }
    // The bound in words, for messages ("more than 64 MiB of decoded shapes and paths").
    static const char* boundText(Bound bound);

private:
    bool check();

    size_t recordBytes = 0;
    size_t decodedBytes = 0;
    int64_t lines = 0;
    Bound bound = Bound::kNone;
};
