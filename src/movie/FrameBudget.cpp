// The frame bounds as a writer meets them; the player applies the same constants inline.
#include "movie/FrameBudget.h"

#include "movie/MovieFormat.h"

namespace {
constexpr size_t kWordBytes = sizeof(uint32_t);
// Shape record: colour and path count. Path record: tag and word count before the words.
constexpr size_t kShapeRecordBytes = 2 * kWordBytes;
constexpr size_t kPathRecordBytes = 2 * kWordBytes;
} // namespace

bool FrameBudget::addFrameStart() {
    recordBytes += kWordBytes;
    return check();
}

bool FrameBudget::addShape() {
    recordBytes += kShapeRecordBytes;
    decodedBytes += framebudget::kShapeCost;
    return check();
}

bool FrameBudget::addPath(const uint32_t* words, uint32_t count) {
    const size_t bytes = static_cast<size_t>(count) * kWordBytes;
    recordBytes += kPathRecordBytes + bytes;
    decodedBytes += framebudget::kPathCost + bytes;
    lines += framebudget::flattenedLineBound(words, count);
    return check();
}

bool FrameBudget::check() {
    if (bound != Bound::kNone) {
        return false;
    }
    if (lines > MoviePlayer::kMaxFrameLines) {
        bound = Bound::kLines;
    } else if (decodedBytes > MoviePlayer::kMaxFrameBytes) {
        bound = Bound::kDecodedBytes;
    } else if (recordBytes > MoviePlayer::kMaxBufferBytes) {
        bound = Bound::kRecordBytes;
    }
    return bound == Bound::kNone;
}

const char* FrameBudget::boundText(Bound bound) {
    switch (bound) {
    case Bound::kRecordBytes:
        return "the frame record is larger than the player reads at once (64 MiB)";
    case Bound::kDecodedBytes:
        return "the frame's shapes and paths take more than the player holds for one frame "
               "(64 MiB decoded)";
    case Bound::kLines:
        return "the frame's paths flatten into more lines than the player draws in one frame "
               "(16,777,216)";
    default:
        return "within bounds";
    }
}
