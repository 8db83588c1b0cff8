// One decoded frame drawn at any size: the movie's 320x200 space stretched onto the
// target, curves and arcs cut finely for the scale, tall targets in bands on several
// threads. What a frame may cost is decided once, from the frame itself: the paths drawn
// are those it draws at 320x200 within MoviePlayer::kMaxFrameCells, so a movie gives one
// picture at a size whatever the threads, the bands or the machine.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "movie/MoviePlayer.h"

class BandedPainter;
class Rasterizer;
struct RasterStageTimes;

// One path of a frame with its shape's colour, words read where they lie.
struct FramePath {
    const uint32_t* words;
    int32_t wordCount;
    uint32_t colour;
};

class ScaledFramePainter {
public:
    // threads <= 0: one per processor core.
    explicit ScaledFramePainter(int32_t threads);
    ~ScaledFramePainter();
    ScaledFramePainter(const ScaledFramePainter&) = delete;
    ScaledFramePainter& operator=(const ScaledFramePainter&) = delete;

    // Draws paths (in drawing order: the front shape's first) front to back over black
    // into width x height pixels (pitch width). Every path starts from the pen that pen
    // holds and leaves, as one pass over the frame with it would; it is moved on over
    // the paths drawn. stop is asked on this thread between paths; once it answers true
    // the rest of the picture is left undrawn.
    void paint(uint32_t* pixels, int32_t width, int32_t height, const std::vector<FramePath>& paths,
               Rasterizer& pen, const std::function<bool()>& stop = {});
    int32_t threadCount() const;
    // Borrowed until unset: the bands drawn on the calling thread add their rasterizer's
    // stage times to `times` (BandedPainter::setStageTimes).
    void setStageTimes(RasterStageTimes* times);

    // How many of the paths, from the first, a frame drawn at 320x200 fills before its
    // cells pass MoviePlayer::kMaxFrameCells (the path that passes it is drawn), starting
    // from the pen given. The count is worked out only when the paths could pass it (each
    // piece of a path crossing at most the half-scanlines of the path's reach); stop is
    // asked between its paths, and once it answers true the count ends at 0. Leaves every
    // path's reach in `reach`.
    size_t pathsWithinBudget(const std::vector<FramePath>& paths, const Rasterizer& pen,
                             const std::function<bool()>& stop = {});

private:
    std::unique_ptr<BandedPainter> painter;
    // Reach of each path of the last frame, in drawing order.
    std::vector<MoviePlayer::PathReach> reach;
    // Counts cells at 320x200 for a frame that could pass the budget; made when needed.
    std::unique_ptr<Rasterizer> counter;
    std::vector<uint32_t> counterPixels;
    // Set when the stop check ended the count.
    bool stopped = false;
};
