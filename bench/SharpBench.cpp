// Sharp drawing: every frame of each movie streamed through MoviePlayer at 320x200 (the
// show's own path) and, mapped onto larger targets, at 1280x960, 1920x1440 and 2880x2160
// on one thread and on every core. Prints the median and worst frame time per movie and
// size; a frame's time includes reading and decoding it, which is small beside drawing.
// A second table times the three ways a fill can take at 320x200, on the same frames:
// untransformed (the show's own), under a transform through the mapped walk, and under
// the same transform through emitLine's checked route (what every transformed fill took
// before the mapped walk).
// Usage: tilsen_sharp_bench [--frames N] [--threads N] [--level L] MOVIE.mvz.gz... (--help for
// more)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "MovieCheck.h"
#include "ToolCli.h"
#include "geometry/Cpu.h"
#include "geometry/Path.h"
#include "geometry/PathSink.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "movie/MovieFrame.h"
#include "movie/MoviePlayer.h"
#include "raster/BandedPainter.h"
#include "raster/Rasterizer.h"

namespace {

struct Size {
    int32_t width;
    int32_t height;
};

constexpr Size kSizes[] = {{320, 200}, {1280, 960}, {1920, 1440}, {2880, 2160}};
// The most threads --threads takes.
constexpr int64_t kMostThreads = 64;

struct Times {
    double median = 0.0;
    double worst = 0.0;
    size_t frames = 0;
};

// Milliseconds per frame of one pass through the movie.
Times timeMovie(const std::string& file, Size size, int32_t threads, int32_t frameLimit) {
    MoviePlayer player;
    player.setDrawThreads(threads);
    const int32_t count = std::min(player.openFile(file.c_str()), frameLimit);
    std::vector<uint32_t> pixels(static_cast<size_t>(size.width) *
                                 static_cast<size_t>(size.height));
    std::vector<double> ms;
    const bool own =
        size.width == MoviePlayer::kMovieWidth && size.height == MoviePlayer::kMovieHeight;
    // A stream cut short ends before the count its header claims.
    for (int32_t i = 0; i < count && !player.hasEnded(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (own) {
            player.render(pixels.data(), 0, i, size.width, size.height);
        } else {
            player.renderScaled(pixels.data(), 0, size.width, size.height);
        }
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    Times t;
    t.frames = ms.size();
    if (!ms.empty()) {
        std::sort(ms.begin(), ms.end());
        t.median = ms[ms.size() / 2];
        t.worst = ms.back();
    }
    return t;
}

enum class Route { kIdentity, kMapped, kChecked };

// Median milliseconds per frame of drawing the decoded frames one way.
double timeRoute(const std::vector<MovieFrame>& frames, Route route) {
    std::vector<uint32_t> pixels(320 * 200);
    Rasterizer r;
    Transform2D moved;
    // A quarter-pixel move: the same work as the identity, through a transform.
    moved.setTranslation(0.25f, 0.25f);
    std::vector<double> ms;
    for (const MovieFrame& frame : frames) {
        const auto start = std::chrono::steady_clock::now();
        r.setTarget(pixels.data(), 320, 200, 320);
        r.clear();
        r.setCurveSteps(16);
        for (auto shape = frame.shapes.rbegin(); shape != frame.shapes.rend(); ++shape) {
            if (!shape->paint) {
                continue;
            }
            for (const Path& path : shape->paths) {
                switch (route) {
                case Route::kIdentity:
                    r.fill(path, *shape->paint, FillRule::kEvenOdd);
                    break;
                case Route::kMapped:
                    r.fillTransformed(path, moved, *shape->paint, FillRule::kEvenOdd);
                    break;
                case Route::kChecked:
                    r.beginCells();
                    r.setLineTransform(&moved);
                    Path::replayWords(path.words.get(), path.wordCount, static_cast<PathSink&>(r));
                    r.setLineTransform(nullptr);
                    r.sortCells();
                    r.setSweepPaint(shape->paint.get(), FillRule::kEvenOdd);
                    r.sweep();
                    break;
                }
            }
        }
        r.resolveBackground(0xff000000u);
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0.0 : ms[ms.size() / 2];
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Times every frame of each movie through MoviePlayer at 320x200 and at sharp "
                 "sizes, on one thread and on several.",
                 "tilsen_sharp_bench"};
    int32_t frameLimit = INT32_MAX;
    int32_t allThreads = BandedPainter(0).threadCount();
    std::vector<std::string> movies;
    app.add_option("MOVIE", movies, "movie files (.mvz.gz)")->required();
    app.add_option("--frames", frameLimit, "frames of each movie (default: all)")
        ->transform(toolcli::wholeNumber(1, INT32_MAX));
    app.add_option("--threads", allThreads, "threads of the second column")
        ->transform(toolcli::wholeNumber(1, kMostThreads))
        ->capture_default_str();
    cpu::SimdLevel level = cpu::machineLevel();
    toolcli::addLevelOption(app, level,
                            "draw at a lower vector level (sse2: the width of the browser's)");
    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    // A file that is no movie is refused by name; one with no frame to time would only
    // print zeros.
    for (const std::string& movie : movies) {
        std::string error;
        bool hasFrame = false;
        if (!checkMovie(movie, error, &hasFrame)) {
            std::fprintf(stderr, "tilsen_sharp_bench: %s\n", error.c_str());
            return 1;
        }
        if (!hasFrame) {
            std::fprintf(stderr, "tilsen_sharp_bench: %s: no frame to time\n", movie.c_str());
            return 1;
        }
    }
    const cpu::ScopedLevel drawnAt(level);
    std::printf("%-18s %-10s %7s %18s %18s\n", "movie", "size", "frames", "1 thread med/worst",
                "all med/worst");
    for (const std::string& movie : movies) {
        for (const Size size : kSizes) {
            const Times one = timeMovie(movie, size, 1, frameLimit);
            char label[32];
            std::snprintf(label, sizeof label, "%dx%d", size.width, size.height);
            if (size.width == MoviePlayer::kMovieWidth) {
                std::printf("%-18s %-10s %7zu %8.2f / %7.2f %18s\n", baseName(movie).c_str(), label,
                            one.frames, one.median, one.worst, "-");
                continue;
            }
            const Times all = timeMovie(movie, size, allThreads, frameLimit);
            std::printf("%-18s %-10s %7zu %8.2f / %7.2f %8.2f / %7.2f\n", baseName(movie).c_str(),
                        label, one.frames, one.median, one.worst, all.median, all.worst);
        }
        std::fflush(stdout);
    }
    std::printf("(milliseconds per frame; all = %d threads; level %s)\n\n", allThreads,
                toolcli::levelOptionName(level).c_str());
    std::printf("%-18s %10s %10s %10s %14s %14s\n", "movie at 320x200", "identity", "mapped",
                "checked", "mapped/ident", "checked/ident");
    for (const std::string& movie : movies) {
        MoviePlayer player;
        const int32_t count = std::min(player.openFile(movie.c_str()), frameLimit);
        std::vector<MovieFrame> frames(static_cast<size_t>(std::max(count, 0)));
        for (MovieFrame& frame : frames) {
            player.readFrame(&frame);
        }
        // Each way twice, the first as a warm-up.
        double t[3] = {};
        for (int round = 0; round < 2; ++round) {
            t[0] = timeRoute(frames, Route::kIdentity);
            t[1] = timeRoute(frames, Route::kMapped);
            t[2] = timeRoute(frames, Route::kChecked);
        }
        std::printf("%-18s %10.3f %10.3f %10.3f %14.2f %14.2f\n", baseName(movie).c_str(), t[0],
                    t[1], t[2], t[1] / t[0], t[2] / t[0]);
    }
    return 0;
}
