// How a painter on several threads cuts a picture into bands: by the time each band of the
// last picture of the size took, so that a frame's heavy rows are shared out; and the
// threads it keeps from picture to picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "raster/BandedPainter.h"

namespace {

using Starts = std::vector<int32_t>;

struct CutCase {
    const char* name;
    Starts starts;
    std::vector<double> seconds;
    int32_t height;
    int32_t count;
    int32_t maxRows;
    Starts expected;
};

void PrintTo(const CutCase& c, std::ostream* out) {
    *out << c.name;
}

class BalancedCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(BalancedCut, SharesTheMeasuredTimeOut) {
    const CutCase& c = GetParam();
    EXPECT_EQ(BandedPainter::balancedStarts(c.starts, c.seconds, c.height, c.count, c.maxRows),
              c.expected);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cuts, BalancedCut,
    ::testing::Values(
        CutCase{"EvenTimeKeepsEvenBands",
                {0, 200, 400, 600},
                {1, 1, 1, 1},
                800,
                4,
                400,
                {0, 200, 400, 600}},
        // Half the time in the first band: the ideal cuts 100, 200 and 400 are met half way.
        CutCase{"HeavyRowsGetNarrowerBandsHalfWayAtATime",
                {0, 200, 400, 600},
                {4, 2, 1, 1},
                800,
                4,
                400,
                {0, 150, 300, 500}},
        // Every band keeps a row, and the last cannot pass maxRows.
        CutCase{"NoBandEmptyOrTallerThanAllowed",
                {0, 200, 400, 600},
                {1, 0, 0, 0},
                800,
                4,
                400,
                {0, 125, 250, 400}},
        CutCase{"ATimelessRecordGivesEvenBands",
                {0, 200, 400, 600},
                {0, 0, 0, 0},
                800,
                4,
                400,
                {0, 200, 400, 600}},
        CutCase{"AnUnreadableRecordGivesEvenBands",
                {0, 200, 400, 600},
                {1, kNaN, 1, 1},
                800,
                4,
                400,
                {0, 200, 400, 600}},
        CutCase{
            "ARecordOfOtherRowsGivesEvenBands", {0, 500, 900}, {1, 1, 1}, 800, 2, 400, {0, 400}},
        // A record of another band count is read without the half step.
        CutCase{"AnotherCountIsCutByTimeAlone", {0, 400}, {3, 1}, 800, 4, 2048, {0, 133, 267, 400}},
        // The height bounds the cut from below: 2160 rows in two bands of at most 2048.
        CutCase{"TallPicturesStayWithinTheRasterizer",
                {0, 100, 1000},
                {1, 0, 0},
                2160,
                2,
                2048,
                {0, 112}}),
    [](const ::testing::TestParamInfo<CutCase>& cut) { return std::string(cut.param.name); });

// A painter on two threads whose drawer spends its time on the top rows: once it has
// measured a picture after the first of the size, the band that holds them is cut
// narrower, and every row is still drawn exactly once.
TEST(BandedPainter, CutsTheNextPictureByTheTimeItsBandsTook) {
    constexpr int32_t kWidth = 16;
    constexpr int32_t kHeight = 800;
    BandedPainter painter(2);
    std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
    std::mutex bandsMutex;
    std::vector<std::pair<int32_t, int32_t>> bands;
    const auto draw = [&](Rasterizer&, int32_t firstRow, int32_t rows) {
        const int32_t heavy = std::max(0, std::min(firstRow + rows, 100) - firstRow);
        std::this_thread::sleep_for(std::chrono::microseconds(100) * heavy);
        const std::lock_guard<std::mutex> lock(bandsMutex);
        bands.emplace_back(firstRow, rows);
    };
    const int32_t even = BandedPainter::defaultBandRows(kHeight, 2);
    for (int32_t picture = 0; picture < 4; ++picture) {
        bands.clear();
        painter.paint(pixels.data(), kWidth, kHeight, draw);
        std::vector<int32_t> drawn(kHeight, 0);
        int32_t first = kHeight;
        for (const auto& [firstRow, rows] : bands) {
            EXPECT_LE(rows, 2 * even);
            for (int32_t r = firstRow; r < firstRow + rows; ++r) {
                ++drawn[static_cast<size_t>(r)];
            }
            if (firstRow == 0) {
                first = rows;
            }
        }
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 1), kHeight) << "picture " << picture;
        if (picture < 2) {
            // The first picture of a size is not measured: it is cold.
            EXPECT_EQ(first, even) << "picture " << picture;
        } else {
            EXPECT_LT(first, even) << "picture " << picture;
        }
    }
}

// Pictures of one band, of many, and one asked to stop: no band of a picture is drawn
// twice, the picture after a stop is whole again, and the helpers are the painter's own
// from picture to picture: one of them draws bands of several pictures.
TEST(BandedPainter, KeepsItsThreadsFromPictureToPicture) {
    constexpr int32_t kWidth = 8;
    BandedPainter painter(3);
    std::vector<uint32_t> pixels(size_t{kWidth} * 4096);
    std::mutex drawnMutex;
    std::vector<int32_t> drawn;
    int32_t current = 0;
    bool shared = false;
    // The last picture a helper drew a band of.
    std::atomic<int32_t> helped{0};
    int32_t mostPicturesOnAHelper = 0;
    const std::thread::id caller = std::this_thread::get_id();
    const auto draw = [&](Rasterizer&, int32_t firstRow, int32_t rows) {
        if (std::this_thread::get_id() == caller) {
            // A picture of several bands waits in the caller's band until a helper has
            // drawn one too (however coarse the system's sleeps), for at most two seconds.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (shared && helped.load() != current &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::yield();
            }
        }
        thread_local int32_t lastPicture = -1;
        thread_local int32_t pictures = 0;
        const std::lock_guard<std::mutex> lock(drawnMutex);
        if (std::this_thread::get_id() != caller) {
            if (lastPicture != current) {
                lastPicture = current;
                mostPicturesOnAHelper = std::max(mostPicturesOnAHelper, ++pictures);
            }
            helped.store(current);
        }
        for (int32_t r = firstRow; r < firstRow + rows; ++r) {
            ++drawn[static_cast<size_t>(r)];
        }
    };
    struct Picture {
        int32_t height;
        int32_t bandRows;
        bool stopped;
    };
    const Picture pictures[] = {{64, 64, false}, {600, 0, false},  {600, 0, false}, {64, 32, false},
                                {4096, 0, true}, {4096, 0, false}, {600, 7, false}};
    for (const Picture& picture : pictures) {
        ++current;
        shared = picture.height > picture.bandRows;
        drawn.assign(static_cast<size_t>(picture.height), 0);
        const std::function<bool()> stop = [] { return true; };
        painter.paint(pixels.data(), kWidth, picture.height, draw, picture.bandRows,
                      picture.stopped ? stop : std::function<bool()>());
        const auto once = std::count(drawn.begin(), drawn.end(), 1);
        if (picture.stopped) {
            EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 0) + once, picture.height);
        } else {
            EXPECT_EQ(once, picture.height) << "picture " << current;
        }
    }
    EXPECT_GT(mostPicturesOnAHelper, 1);
}

// A drawer that throws on the calling thread: paint throws it on once the helpers have
// stopped, and the next picture is whole.
TEST(BandedPainter, WhatTheCallersBandThrowsComesOutOnceTheHelpersAreDone) {
    constexpr int32_t kWidth = 8;
    constexpr int32_t kHeight = 600;
    BandedPainter painter(2);
    std::vector<uint32_t> pixels(size_t{kWidth} * kHeight);
    std::mutex drawnMutex;
    std::vector<int32_t> drawn(kHeight, 0);
    bool failing = true;
    const std::thread::id caller = std::this_thread::get_id();
    const auto draw = [&](Rasterizer&, int32_t firstRow, int32_t rows) {
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (failing && std::this_thread::get_id() == caller) {
            throw std::runtime_error("no memory for this band");
        }
        const std::lock_guard<std::mutex> lock(drawnMutex);
        for (int32_t r = firstRow; r < firstRow + rows; ++r) {
            ++drawn[static_cast<size_t>(r)];
        }
    };
    EXPECT_THROW(painter.paint(pixels.data(), kWidth, kHeight, draw, 10), std::runtime_error);
    failing = false;
    drawn.assign(kHeight, 0);
    painter.paint(pixels.data(), kWidth, kHeight, draw, 10);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 1), kHeight);
}

} // namespace
