// Drawing one picture of any size with rasterizers that address at most
// Rasterizer::kMaxWidth x kMaxHeight: the target is cut into horizontal bands, each a
// target of its own whose rows the rasterizer offsets exactly (in fixed point), so the
// bands together give the very pixels one pass would. Bands are drawn on several threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class Rasterizer;

class BandedPainter {
public:
    // Draws one band: the rasterizer's target is set to the band, rows [firstRow,
    // firstRow + rows) of the picture, and nothing else about it is set: the drawer sets
    // what it relies on (the pen too, for paths that go on from it). Calls for
    // different bands may run at once on different threads, so a band drawer must only
    // read what they share.
    using BandDrawer = std::function<void(Rasterizer& band, int32_t firstRow, int32_t rows)>;

    // threads <= 0: one per processor core.
    explicit BandedPainter(int32_t threads = 0);
    ~BandedPainter();
    BandedPainter(const BandedPainter&) = delete;
    BandedPainter& operator=(const BandedPainter&) = delete;

    // Draws width x height pixels (pitch width), band by band. bandRows <= 0 picks the
    // bands: at least two per thread, at most kMaxBands unless the height needs more,
    // none taller than the rasterizer allows. Widths beyond Rasterizer::kMaxWidth are cut
    // to it (the rest of each row is untouched). stop, when given, is asked on the
    // calling thread only, between the paths of its bands (through stopRequested) and
    // every millisecond while it waits for the other threads; once it has answered true,
    // stopRequested answers true on every thread, so that the picture is left unfinished.
    void paint(uint32_t* pixels, int32_t width, int32_t height, const BandDrawer& draw,
               int32_t bandRows = 0, const std::function<bool()>& stop = {});
    // For a band drawer, between two paths: whether to leave the rest undrawn.
    bool stopRequested();

    int32_t threadCount() const { return threads; }
    // The band height paint picks for a target this tall on this many threads.
    static int32_t defaultBandRows(int32_t height, int32_t threads);
    // Every band of a picture replays the paths that reach it, so the bands a picture is
    // cut into for the threads' sake are limited: the work of a frame is at most this
    // many replays of it, whatever the core count.
    static constexpr int32_t kMaxBands = 8;

private:
    int32_t threads;
    // One rasterizer per thread, made when first needed and kept.
    std::vector<std::unique_ptr<Rasterizer>> rasterizers;
    // Set during paint: the stop check and the thread that may ask it.
    const std::function<bool()>* stopCheck = nullptr;
    std::thread::id painting;
    std::atomic<bool> stopped{false};
};
