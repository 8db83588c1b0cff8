// Writes a whole movie: the header with its frame count, then one DrawList per frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "DrawList.h"

// Calls write(tempName) to write the file under a temporary name beside fileName, then
// renames it over fileName (or, while a HeldFiles lives, leaves that to it). When write
// throws, or the file cannot be put in place, an older fileName stays as it was and the
// temporary file is removed; errors are thrown as std::runtime_error naming the file and
// the reason.
void writeFileAtomically(const std::string& fileName,
                         const std::function<void(const std::string&)>& write);

// While a HeldFiles lives, every file written through writeFileAtomically stays under its
// temporary name; placeAll renames them all over their final names once all are whole.
// Dropped before that, it removes them: a run that fails part-way leaves the older files
// as they were, never a mix of old and new. One at a time; not for several threads.
class HeldFiles {
public:
    HeldFiles();
    ~HeldFiles();
    HeldFiles(const HeldFiles&) = delete;
    HeldFiles& operator=(const HeldFiles&) = delete;
    // Throws std::runtime_error naming the file that could not be put in place.
    void placeAll();

private:
    std::vector<std::unique_ptr<AtomicFile>> files;
    friend void writeFileAtomically(const std::string&,
                                    const std::function<void(const std::string&)>&);
};

// Writes bytes as fileName the same way.
void writeFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes);

// draw(frame, list) fills the list for each frame 0..frameCount-1. Throws
// std::runtime_error when the file cannot be written.
void writeMovie(const std::string& fileName, int32_t frameCount,
                const std::function<void(int32_t, DrawList&)>& draw);

// Easing and small helpers shared by the movies.
namespace ease {
inline float clamp01(float t) {
    return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
}
// Progress of t through [a, b], clamped to 0..1.
inline float span(float t, float a, float b) {
    return clamp01((t - a) / (b - a));
}
inline float smooth(float t) {
    t = clamp01(t);
    return t * t * (3.0f - 2.0f * t);
}
inline float outCubic(float t) {
    t = 1.0f - clamp01(t);
    return 1.0f - t * t * t;
}
// Overshoots a little before settling at 1.
inline float outBack(float t) {
    t = clamp01(t) - 1.0f;
    constexpr float k = 1.9f;
    return 1.0f + t * t * ((k + 1.0f) * t + k);
}
} // namespace ease
