// Where a rasterizer's time goes, for benchmarks: while a RasterStageTimes is set on a
// rasterizer (Rasterizer::setStageTimes), each of its stages adds the nanoseconds of its
// calls to its own field. Unset, a stage costs one test of a null pointer.
#pragma once

#include <chrono>
#include <cstdint>

struct RasterStageTimes {
    // clear and beginPicture.
    int64_t clear = 0;
    // Every fill's outline walk into cells, with the sums of fills too large to hold them.
    int64_t walk = 0;
    // The rest of every fill: sums or sort, coverage and compositing, and the clearing of
    // the blocks beginPicture leaves until first drawn on.
    int64_t sweep = 0;
    // resolveBackground.
    int64_t resolve = 0;
};

// Adds the nanoseconds from its construction to stop() (or its end) to *total, if any.
class StageTimer {
public:
    explicit StageTimer(int64_t* into) : total(into), start(into != nullptr ? now() : 0) {}
    ~StageTimer() { stop(); }
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;

    void stop() {
        if (total != nullptr) {
            *total += now() - start;
            total = nullptr;
        }
    }

private:
    static int64_t now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    int64_t* total;
    int64_t start;
};
