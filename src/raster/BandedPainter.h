// Drawing one picture of any size with rasterizers that address at most
// Rasterizer::kMaxWidth x kMaxHeight: the target is cut into horizontal bands, each a
// target of its own whose rows the rasterizer offsets exactly (in fixed point), so the
// bands together give the very pixels one pass would. Bands are drawn on several threads:
// the caller's and helpers the painter starts when a picture first needs them and keeps
// until it is destroyed, so that a frame does not wait for threads to start.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class Rasterizer;
struct RasterStageTimes;

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
    // none taller than the rasterizer allows; on several threads they are cut by the
    // time the bands of the last picture of this size took (balancedStarts), so that a
    // frame's heavy rows are shared out rather than left to one thread. Widths beyond
    // Rasterizer::kMaxWidth are cut to it (the rest of each row is untouched). stop, when
    // given, is asked on the calling thread only, between the paths of its bands (through
    // stopRequested) and every millisecond while it waits for the other threads; once it
    // has answered true, stopRequested answers true on every thread, so that the picture
    // is left unfinished.
    void paint(uint32_t* pixels, int32_t width, int32_t height, const BandDrawer& draw,
               int32_t bandRows = 0, const std::function<bool()>& stop = {});
    // For a band drawer, between two paths: whether to leave the rest undrawn.
    bool stopRequested();

    int32_t threadCount() const { return threads; }
    // Borrowed until unset (null): the bands drawn on the calling thread add their stages'
    // time to `times` (Rasterizer::setStageTimes); the helpers' bands add nothing.
    void setStageTimes(RasterStageTimes* times) { stageTimes = times; }
    // The band height paint picks for a target this tall on this many threads.
    static int32_t defaultBandRows(int32_t height, int32_t threads);
    // The first rows of count bands over height rows (the first 0, each band 1..maxRows
    // rows; count * maxRows >= height >= count), placed so that the bands cost about the
    // same when each row of band i of an earlier cut costs seconds[i] over its rows.
    // Even bands when the earlier cut is not one of height rows or measured nothing.
    static std::vector<int32_t> balancedStarts(const std::vector<int32_t>& starts,
                                               const std::vector<double>& seconds, int32_t height,
                                               int32_t count, int32_t maxRows);
    // Every band of a picture replays the paths that reach it, so the bands a picture is
    // cut into for the threads' sake are limited: the work of a frame is at most this
    // many replays of it, whatever the core count.
    static constexpr int32_t kMaxBands = 8;

private:
    // Helper index's life: it waits for a picture numbered past `seen`, draws bands with
    // rasterizers[index + 1] when it is one of those asked to, and waits again.
    void helperLoop(size_t index, uint64_t seen);

    int32_t threads;
    RasterStageTimes* stageTimes = nullptr;
    // One rasterizer per thread, made when first needed and kept.
    std::vector<std::unique_ptr<Rasterizer>> rasterizers;
    // Set during paint: the stop check and the thread that may ask it.
    const std::function<bool()>* stopCheck = nullptr;
    std::thread::id painting;
    std::atomic<bool> stopped{false};
    // The last picture whose bands the painter chose and drew on several threads: its size,
    // the first row of each band and the seconds each took (none for the first picture of
    // a size). The next picture of that size is cut by them.
    int32_t cutWidth = 0;
    int32_t cutHeight = 0;
    std::vector<int32_t> cutStarts;
    std::vector<double> cutSeconds;
    // The helpers and what they are told, under crewMutex: the picture's number, how many
    // of them draw it, how many of those have not finished, and the work they run
    // (run(context, rasterizer)).
    std::vector<std::thread> helpers;
    std::mutex crewMutex;
    std::condition_variable wake;
    std::condition_variable finished;
    uint64_t picture = 0;
    size_t joining = 0;
    size_t busy = 0;
    bool closing = false;
    void (*run)(void* context, Rasterizer& own) = nullptr;
    void* context = nullptr;
};
