// Bands are handed out through one atomic counter, so a thread that finishes a cheap band
// takes the next; which thread draws a band never changes its pixels, since each band has
// its own target rows and every rasterizer starts a fill from scratch.
#include "raster/BandedPainter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
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

BandedPainter::~BandedPainter() {
    {
        const std::lock_guard<std::mutex> lock(crewMutex);
        closing = true;
    }
    wake.notify_all();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

void BandedPainter::helperLoop(size_t index, uint64_t seen) {
    std::unique_lock<std::mutex> lock(crewMutex);
    for (;;) {
        wake.wait(lock, [&] { return closing || picture != seen; });
        if (closing) {
            return;
        }
        seen = picture;
        if (index >= joining) {
            continue;
        }
        void (*const work)(void*, Rasterizer&) = run;
        void* const workContext = context;
        Rasterizer& own = *rasterizers[index + 1];
        lock.unlock();
        work(workContext, own);
        lock.lock();
        if (--busy == 0) {
            finished.notify_one();
        }
    }
}

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

std::vector<int32_t> BandedPainter::balancedStarts(const std::vector<int32_t>& starts,
                                                   const std::vector<double>& seconds,
                                                   int32_t height, int32_t count, int32_t maxRows) {
    std::vector<int32_t> cut(static_cast<size_t>(std::max(count, 1)), 0);
    bool measured = !starts.empty() && starts.size() == seconds.size() && starts[0] == 0 &&
                    starts.back() < height;
    double total = 0.0;
    for (size_t i = 0; measured && i < starts.size(); ++i) {
        measured = seconds[i] >= 0.0 && (i == 0 || starts[i] > starts[i - 1]);
        total += seconds[i];
    }
    measured = measured && total > 0.0 && std::isfinite(total);
    const int32_t even = ceilDiv(height, std::max(count, 1));
    size_t band = 0;
    double before = 0.0; // the seconds of the earlier bands before `band`
    for (int32_t k = 1; k < count; ++k) {
        double ideal = static_cast<double>(k) * even;
        if (measured) {
            // The row at which k / count of the time has gone by, read linearly in its band.
            const double due = total * k / count;
            while (band + 1 < starts.size() && before + seconds[band] < due) {
                before += seconds[band++];
            }
            const int32_t end = band + 1 < starts.size() ? starts[band + 1] : height;
            const double share = seconds[band] > 0.0 ? (due - before) / seconds[band] : 0.0;
            ideal = starts[band] + std::clamp(share, 0.0, 1.0) * (end - starts[band]);
            // Half way from the earlier cut: one band's slow moment (the thread preempted,
            // its cache cold) moves the next cut only half as far.
            if (starts.size() == static_cast<size_t>(count)) {
                ideal = 0.5 * (ideal + starts[static_cast<size_t>(k)]);
            }
        }
        // Every band keeps a row, and those after it can still hold the rest.
        const int32_t previous = cut[static_cast<size_t>(k - 1)];
        const int32_t lowest = std::max(previous + 1, height - (count - k) * maxRows);
        const int32_t highest = std::min(previous + maxRows, height - (count - k));
        cut[static_cast<size_t>(k)] =
            std::clamp(static_cast<int32_t>(std::lround(ideal)), lowest, highest);
    }
    return cut;
}

void BandedPainter::paint(uint32_t* pixels, int32_t width, int32_t height, const BandDrawer& draw,
                          int32_t bandRows, const std::function<bool()>& stop) {
    if (pixels == nullptr || width <= 0 || height <= 0) {
        return;
    }
    const bool chosen = bandRows <= 0;
    const int32_t rows =
        std::min(chosen ? defaultBandRows(height, threads) : bandRows, Rasterizer::kMaxHeight);
    const int32_t bands = ceilDiv(height, rows);
    const int32_t workers = std::min(threads, bands);
    // Bands of the given height, or cut by the last picture of this size when the painter
    // chooses and several threads share them.
    const bool balanced = chosen && workers > 1;
    // A band cut by time is at most twice as tall as an even one: each rasterizer makes
    // room for that once, rather than again whenever it is handed a taller band than before.
    const int32_t tallest = std::min(2 * rows, Rasterizer::kMaxHeight);
    std::vector<int32_t> starts;
    if (balanced && cutWidth == width && cutHeight == height &&
        cutStarts.size() == static_cast<size_t>(bands)) {
        starts = balancedStarts(cutStarts, cutSeconds, height, bands, tallest);
    } else {
        for (int32_t band = 0; band < bands; ++band) {
            starts.push_back(band * rows);
        }
    }
    std::vector<double> seconds(static_cast<size_t>(bands), 0.0);
    while (static_cast<int32_t>(rasterizers.size()) < workers) {
        rasterizers.push_back(std::make_unique<Rasterizer>());
    }
    const int32_t drawnWidth = std::min(width, Rasterizer::kMaxWidth);
    if (balanced) {
        for (int32_t i = 0; i < workers; ++i) {
            rasterizers[static_cast<size_t>(i)]->reserve(drawnWidth, tallest);
        }
    }
    stopCheck = &stop;
    painting = std::this_thread::get_id();
    stopped.store(false);
    std::atomic<int32_t> nextBand{0};
    auto work = [&](Rasterizer& own) {
        for (int32_t band = nextBand++; band < bands && !stopRequested(); band = nextBand++) {
            const auto b = static_cast<size_t>(band);
            const int32_t firstRow = starts[b];
            const int32_t bandHeight = (band + 1 < bands ? starts[b + 1] : height) - firstRow;
            const auto start = std::chrono::steady_clock::now();
            own.setTarget(pixels + static_cast<int64_t>(firstRow) * width, drawnWidth, bandHeight,
                          width);
            own.setFirstRow(firstRow);
            draw(own, firstRow, bandHeight);
            seconds[b] =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    };
    // Without another helper the threads running draw the remaining bands.
    const auto wanted = static_cast<size_t>(workers - 1);
    while (helpers.size() < wanted) {
        try {
            helpers.emplace_back(
                [this, index = helpers.size(), seen = picture] { helperLoop(index, seen); });
        } catch (const std::system_error&) {
            break;
        }
    }
    const size_t asked = std::min(wanted, helpers.size());
    {
        const std::lock_guard<std::mutex> lock(crewMutex);
        run = [](void* job, Rasterizer& own) { (*static_cast<decltype(&work)>(job))(own); };
        context = &work;
        joining = asked;
        busy = asked;
        ++picture;
    }
    if (asked > 0) {
        wake.notify_all();
    }
    // The helpers use this frame's locals: whatever this thread's drawing or stop check
    // throws stops the picture and is held until they have finished, then thrown on.
    std::exception_ptr failure;
    const auto holding = [&](const auto& step) {
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
            stopped.store(true);
        }
    };
    rasterizers[0]->setStageTimes(stageTimes);
    holding([&] { work(*rasterizers[0]); });
    // The stop check belongs to this thread: it keeps asking while the helpers finish, and
    // goes on as soon as the last of them has.
    std::unique_lock<std::mutex> lock(crewMutex);
    if (stop) {
        while (!failure &&
               !finished.wait_for(lock, std::chrono::milliseconds(1), [&] { return busy == 0; })) {
            lock.unlock();
            bool leave = false;
            holding([&] { leave = stopRequested(); });
            lock.lock();
            if (leave) {
                break;
            }
        }
    }
    finished.wait(lock, [&] { return busy == 0; });
    lock.unlock();
    stopCheck = nullptr;
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (balanced && !stopped.load()) {
        // The first picture of a size touches the rasterizers' memory for the first time as
        // it goes: its times tell more of that than of its rows, so the next is cut evenly.
        const bool sameSize = cutWidth == width && cutHeight == height;
        cutWidth = width;
        cutHeight = height;
        cutStarts = sameSize ? std::move(starts) : std::vector<int32_t>{};
        cutSeconds = sameSize ? std::move(seconds) : std::vector<double>{};
    }
}
