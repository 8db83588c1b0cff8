// Bands are handed out through one atomic counter, so a thread that finishes a cheap band
// takes the next; which thread draws a band never changes its pixels, since each band has
// its own target rows and every rasterizer starts a fill from scratch.
#include "raster/BandedPainter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "raster/Rasterizer.h"

namespace {

// Bands per thread when several threads share a picture: parts of a frame differ in
// cost, so a few bands each keep the threads busy until the end.
constexpr int32_t kBandsPerThread = 2;
// More threads than this are never started.
constexpr int32_t kMaxThreads = 64;

int32_t ceilDiv(int32_t a, int32_t b) {
    return (a + b - 1) / b;
}

} // namespace

BandedPainter::BandedPainter(int32_t threadCount) {
    if (threadCount <= 0) {
        threadCount = static_cast<int32_t>(std::thread::hardware_concurrency());
    }
    threads = std::clamp(threadCount, 1, kMaxThreads);
}

BandedPainter::~BandedPainter() = default;

int32_t BandedPainter::defaultBandRows(int32_t height, int32_t threadCount) {
    if (height <= 0) {
        return 1;
    }
    const int32_t wanted = threadCount > 1 ? std::min(threadCount * kBandsPerThread, kMaxBands) : 1;
    const int32_t bands = std::max(ceilDiv(height, Rasterizer::kMaxHeight), wanted);
    return std::max(1, ceilDiv(height, bands));
}

bool BandedPainter::stopRequested() {
    if (stopCheck != nullptr && *stopCheck && !stopped.load(std::memory_order_relaxed) &&
        std::this_thread::get_id() == painting && (*stopCheck)()) {
        stopped.store(true, std::memory_order_relaxed);
    }
    return stopped.load(std::memory_order_relaxed);
}

void BandedPainter::paint(uint32_t* pixels, int32_t width, int32_t height, const BandDrawer& draw,
                          int32_t bandRows, const std::function<bool()>& stop) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const int32_t rows = std::min(bandRows > 0 ? bandRows : defaultBandRows(height, threads),
                                  Rasterizer::kMaxHeight);
    const int32_t bands = ceilDiv(height, rows);
    const int32_t workers = std::min(threads, bands);
    while (static_cast<int32_t>(rasterizers.size()) < workers) {
        rasterizers.push_back(std::make_unique<Rasterizer>());
    }
    stopCheck = &stop;
    painting = std::this_thread::get_id();
    stopped.store(false);
    const int32_t drawnWidth = std::min(width, Rasterizer::kMaxWidth);
    std::atomic<int32_t> nextBand{0};
    std::atomic<int32_t> running{0};
    auto work = [&](Rasterizer& own) {
        for (int32_t band = nextBand++; band < bands && !stopRequested(); band = nextBand++) {
            const int32_t firstRow = band * rows;
            const int32_t bandHeight = std::min(rows, height - firstRow);
            own.setTarget(pixels + static_cast<int64_t>(firstRow) * width, drawnWidth, bandHeight,
                          width);
            own.setFirstRow(firstRow);
            draw(own, firstRow, bandHeight);
        }
    };
    std::vector<std::thread> started;
    started.reserve(static_cast<size_t>(workers - 1));
    for (int32_t i = 1; i < workers; ++i) {
        Rasterizer& worker = *rasterizers[static_cast<size_t>(i)];
        // Without another thread the ones running draw the remaining bands.
        try {
            ++running;
            started.emplace_back([&work, &worker, &running] {
                work(worker);
                --running;
            });
        } catch (const std::system_error&) {
            --running;
            break;
        }
    }
    work(*rasterizers[0]);
    // The stop check belongs to this thread: it keeps asking while the others finish.
    if (stop) {
        while (running.load() > 0 && !stopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    for (std::thread& thread : started) {
        thread.join();
    }
    stopCheck = nullptr;
}
