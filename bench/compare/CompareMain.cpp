// tilsen_compare: times our movie frames against Cairo and AGG (and Blend2D when built
// with it) on the same movies.
// (a) rendering only, frames decoded up front; (b) streaming as the show does:
// gzip read, decode and draw through MoviePlayer, with gunzip alone for reference.
// --size WxH stretches the movie's 320x200 onto a larger target for every renderer; ours
// then draws as the player's scaled path does, on one thread.
// Rounds interleave the renderers so that load from other processes hits all alike.

#include <zlib.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AggFrameRenderer.h"
#include "BenchMovie.h"
#include "BenchStats.h"
#include "CairoFrameRenderer.h"
#include "TilsenFrameRenderer.h"
#include "ToolCli.h"
#if defined(TILSEN_BENCH_BLEND2D)
#include "BlendFrameRenderer.h"
#endif
#include "geometry/Cpu.h"
#include "movie/MoviePlayer.h"
#include "raster/BandedPainter.h"
#include "raster/Rasterizer.h"

namespace {

constexpr int32_t kDefaultRounds = 5;
// Frames a renderer draws in one turn before the next renderer takes over.
constexpr size_t kFramesPerTurn = 10;
constexpr const char* kDefaultMovies[] = {"glyphs.mvz.gz", "blobs.mvz.gz", "dense.mvz.gz",
                                          "arcs.mvz.gz"};
constexpr uint32_t kHeaderBytes = 8;
// Largest side --size takes: the widest row our rasterizer draws, and as many rows.
constexpr int32_t kMaxSide = Rasterizer::kMaxWidth;
// More threads than any machine here has.
constexpr int32_t kMaxThreads = 64;
// More passes than anyone waits for.
constexpr int32_t kMostRounds = 1000;

using Clock = std::chrono::steady_clock;

double microsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Options {
    std::string dir = TILSEN_BENCH_MOVIE_DIR;
    std::vector<std::string> movies;
    int32_t rounds = kDefaultRounds;
    int32_t width = FrameRenderer::kMovieWidth;
    int32_t height = FrameRenderer::kMovieHeight;
    int32_t threads = 1;
    bool oursOnly = false;
    // Cairo, AGG and Blend2D get each arc as our rasterizer's polyline of it.
    bool arcsAsLines = false;
    bool stream = true;
    // Ours again with its stages timed, after the rounds.
    bool stages = false;
    // The vector level ours draws at; the machine's own unless --level lowers it.
    cpu::SimdLevel level = cpu::machineLevel();
    std::string ppmDir; // when set, frame 0 of each renderer is written there
};

struct MovieResult {
    std::string name;
    size_t frames = 0;
    BenchStats ours, cairo, agg, blend, floor, stream, gunzip;
    // --stages: ours per stage (RasterStageTimes), the rest of its frame, and the whole
    // frame with the stage clock on.
    BenchStats clear, walk, sweep, resolve, rest, timed;
    double gunzipMean = 0.0;   // per frame: least over rounds, averaged over frames
    double overheadMean = 0.0; // the same for player minus rendering only
    double cairoDiff = 0.0;    // mean absolute channel difference from ours, worst frame
    double aggDiff = 0.0;
    double blendDiff = 0.0;
    bool streamMatches = true;
};

// "WxH", each side a whole number from 1 to kMaxSide; false leaves width and height alone.
bool parseSize(const std::string& text, int32_t& width, int32_t& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    const auto side = [](const char* first, const char* last, int32_t& value) {
        const auto result = std::from_chars(first, last, value);
        return first != last && result.ec == std::errc() && result.ptr == last && value >= 1 &&
               value <= kMaxSide;
    };
    int32_t w = 0;
    int32_t h = 0;
    if (!side(text.data(), text.data() + x, w) ||
        !side(text.data() + x + 1, text.data() + text.size(), h)) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

// Parses the command line into options: kParsed, or the status to exit with (toolcli's).
int parse(int argc, char** argv, Options& options) {
    CLI::App app{"Times our frames against Cairo's, AGG's and (when built with it) Blend2D's on "
                 "the same movies. Without movies: the four bench movies in --dir.",
                 "tilsen_compare"};
    std::string size;
    app.add_option("MOVIE", options.movies, "movie files (.mvz.gz)");
    app.add_option("--dir", options.dir, "folder of the bench movies")->capture_default_str();
    app.add_option("--rounds", options.rounds, "timed passes over every frame")
        ->transform(toolcli::wholeNumber(1, kMostRounds))
        ->capture_default_str();
    app.add_option("--size", size,
                   "target in pixels, WxH, the movie stretched onto it (default "
                   "320x200, sides up to " +
                       std::to_string(kMaxSide) + ")")
        ->check(CLI::Validator(
            // The check is the parse: a size it takes is the target's.
            [&options](std::string& text) {
                return parseSize(text, options.width, options.height)
                           ? std::string()
                           : "'" + text + "' is not WxH with sides from 1 to " +
                                 std::to_string(kMaxSide);
            },
            "WxH"));
    CLI::Option* threads =
        app.add_option("--threads", options.threads,
                       "ours through the show's banded painter, Blend2D and the floor with that "
                       "many threads")
            ->transform(toolcli::wholeNumber(1, kMaxThreads))
            ->capture_default_str();
    toolcli::addLevelOption(app, options.level, "ours at a lower vector level");
    app.add_flag("--ours-only", options.oursOnly, "time ours (and the floor) alone");
    app.add_flag("--stages", options.stages,
                 "after the rounds, as many passes of ours again with each stage of its "
                 "rasterizer timed (one thread)")
        ->excludes(threads);
    app.add_flag("--arcs-as-lines", options.arcsAsLines,
                 "hand the other libraries each arc as the lines ours fills for it (its "
                 "0.01-radian walk), not as an arc they flatten their own way");
    bool noStream = false;
    app.add_flag("--no-stream", noStream, "leave out the streamed player's table");
    app.add_option("--ppm", options.ppmDir, "folder to write each renderer's first frame into");
    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    options.stream = !noStream;
    if (options.movies.empty()) {
        for (const char* name : kDefaultMovies) {
            options.movies.push_back(options.dir + "/" + name);
        }
    }
    return toolcli::kParsed;
}

uint64_t hashPixels(const uint32_t* pixels, size_t count) {
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < count; ++i) {
        hash = (hash ^ pixels[i]) * 1099511628211ull;
    }
    return hash;
}

// Mean absolute difference per colour channel, in levels of 0..255.
double meanChannelDiff(const uint32_t* a, const uint32_t* b, size_t count) {
    uint64_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        for (uint32_t shift = 0; shift < 24; shift += 8) {
            const int32_t ca = static_cast<int32_t>((a[i] >> shift) & 0xFFu);
            const int32_t cb = static_cast<int32_t>((b[i] >> shift) & 0xFFu);
            sum += static_cast<uint64_t>(std::abs(ca - cb));
        }
    }
    return static_cast<double>(sum) / static_cast<double>(count * 3);
}

void writePpm(const std::string& file, const FrameRenderer& renderer) {
    const uint32_t* const pixels = renderer.pixels();
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        std::perror(file.c_str());
        return;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", renderer.width(), renderer.height());
    for (size_t i = 0; i < renderer.pixelCount(); ++i) {
        const uint8_t rgb[3] = {static_cast<uint8_t>(pixels[i] >> 16),
                                static_cast<uint8_t>(pixels[i] >> 8),
                                static_cast<uint8_t>(pixels[i])};
        std::fwrite(rgb, 1, sizeof rgb, out);
    }
    std::fclose(out);
}

// MoviePlayer opens "<name>.gz" relative to the working directory, with a short name.
struct MovieLocation {
    std::string dir;
    std::string name; // without ".gz"
};

MovieLocation locate(const BenchMovie& movie) {
    const size_t slash = movie.path.find_last_of('/');
    MovieLocation where;
    where.dir = slash == std::string::npos ? "." : movie.path.substr(0, slash);
    where.name = movie.name;
    return where;
}

class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& dir) {
        if (char* here = getcwd(nullptr, 0)) {
            previous = here;
            std::free(here);
        }
        changed = chdir(dir.c_str()) == 0;
    }
    ~WorkingDirectory() {
        if (changed && !previous.empty() && chdir(previous.c_str()) != 0) {
            std::perror("chdir");
        }
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;
    bool ok() const { return changed; }

private:
    std::string previous;
    bool changed = false;
};

// Plays the movie through the player as the show does; at a size other than the movie's
// (or on more threads) through renderScaled, on the threads asked for.
void timeStreaming(const BenchMovie& movie, const Options& options, size_t frames,
                   const std::vector<uint64_t>& expected, bool checkPixels,
                   std::vector<double>& samples, bool& matches) {
    const MovieLocation where = locate(movie);
    WorkingDirectory cd(where.dir);
    if (!cd.ok()) {
        return;
    }
    const size_t count = static_cast<size_t>(options.width) * static_cast<size_t>(options.height);
    const bool scaled = options.width != FrameRenderer::kMovieWidth ||
                        options.height != FrameRenderer::kMovieHeight || options.threads > 1;
    auto pixels = std::make_unique<uint32_t[]>(count);
    MoviePlayer player;
    player.setDrawThreads(options.threads);
    player.open(where.name.c_str());
    for (size_t i = 0; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        if (scaled) {
            player.renderScaled(pixels.get(), 0, options.width, options.height);
        } else {
            player.render(pixels.get(), 0, static_cast<int32_t>(i), options.width, options.height);
        }
        samples.push_back(microsSince(start));
        if (checkPixels && i < expected.size() && hashPixels(pixels.get(), count) != expected[i]) {
            matches = false;
        }
    }
    player.close();
}

struct GzCloser {
    void operator()(gzFile_s* file) const { gzclose(file); }
};

// Gunzip alone, read as the player reads: into a buffer of the player's size, whenever the
// frame needs more bytes than remain unread, as much as fits behind them. The first block
// is read before the clock starts, as the player reads it when it opens the movie.
void timeGunzip(const BenchMovie& movie, size_t frames, std::vector<double>& samples) {
    std::unique_ptr<gzFile_s, GzCloser> file(gzopen(movie.path.c_str(), "rb"));
    if (!file) {
        return;
    }
    gzbuffer(file.get(), MoviePlayer::kCompressedBufferBytes);
    std::vector<uint8_t> buffer(MoviePlayer::kReadBufferBytes);
    size_t pos = 0;
    size_t end = 0;
    const auto fillTo = [&](size_t bytes) {
        while (end - pos < bytes) {
            std::memmove(buffer.data(), buffer.data() + pos, end - pos);
            end -= pos;
            pos = 0;
            if (buffer.size() - end < MoviePlayer::kReadBlockBytes) {
                buffer.resize(buffer.size() * 2);
            }
            const int got =
                gzread(file.get(), buffer.data() + end, static_cast<unsigned>(buffer.size() - end));
            if (got <= 0) {
                return;
            }
            end += static_cast<size_t>(got);
        }
    };
    fillTo(kHeaderBytes);
    pos += kHeaderBytes;
    for (size_t i = 0; i < frames; ++i) {
        const size_t bytes = movie.frames[i].byteCount;
        const Clock::time_point start = Clock::now();
        fillTo(bytes);
        samples.push_back(microsSince(start));
        pos += std::min(bytes, end - pos);
    }
}

std::vector<double> leastPerFrame(const std::vector<double>& samples, size_t n);
double mean(const std::vector<double>& values);

// Ours drawn again, rounds passes over every frame, with the rasterizer's stages timed.
void timeStages(TilsenFrameRenderer& ours, size_t frames, int32_t rounds, MovieResult& result) {
    std::vector<double> clear, walk, sweep, resolve, rest, timed;
    const auto micros = [](int64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e3; };
    for (int32_t round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < frames; ++i) {
            RasterStageTimes times;
            ours.setStageTimes(&times);
            const Clock::time_point start = Clock::now();
            ours.render(i);
            const double total = microsSince(start);
            ours.setStageTimes(nullptr);
            clear.push_back(micros(times.clear));
            walk.push_back(micros(times.walk));
            sweep.push_back(micros(times.sweep));
            resolve.push_back(micros(times.resolve));
            rest.push_back(total - micros(times.clear + times.walk + times.sweep + times.resolve));
            timed.push_back(total);
        }
    }
    result.clear = BenchStats::of(clear);
    result.walk = BenchStats::of(walk);
    result.sweep = BenchStats::of(sweep);
    result.resolve = BenchStats::of(resolve);
    result.rest = BenchStats::of(rest);
    result.timed = BenchStats::of(timed);
}

// The memory floor of a frame at this size, timed beside the renderers: one clear and one
// full write of the target, the least any renderer's frame costs here. On several threads
// each takes an even share of the rows, through the banded painter ours draws with.
class FloorFrameRenderer final : public FrameRenderer {
public:
    FloorFrameRenderer(int32_t width, int32_t height, int32_t threads)
        : FrameRenderer(width, height),
          painter(threads > 1 ? std::make_unique<BandedPainter>(threads) : nullptr) {}
    const char* label() const override { return "floor"; }
    void prepare(const BenchMovie&) override {}
    void render(size_t) override {
        if (!painter) {
            writeRows(target(), pixelCount());
            return;
        }
        const int32_t threads = painter->threadCount();
        painter->paint(
            target(), width(), height(),
            [this](Rasterizer&, int32_t firstRow, int32_t rows) {
                writeRows(target() + static_cast<size_t>(firstRow) * static_cast<size_t>(width()),
                          static_cast<size_t>(rows) * static_cast<size_t>(width()));
            },
            (height() + threads - 1) / threads);
    }

private:
    static void writeRows(uint32_t* pixels, size_t count) {
        std::fill(pixels, pixels + count, 0u);
        // Keeps the clear: the write below would otherwise make it dead.
        asm volatile("" : : "r"(pixels) : "memory");
        std::fill(pixels, pixels + count, 0xFF000000u);
        asm volatile("" : : "r"(pixels) : "memory");
    }

    std::unique_ptr<BandedPainter> painter;
};

bool runMovie(const std::string& path, const Options& options, MovieResult& result) {
    BenchMovie movie;
    if (!movie.load(path)) {
        std::fprintf(stderr, "cannot read movie %s\n", path.c_str());
        return false;
    }
    result.name = movie.name;
    result.frames = movie.frames.size();
    uint64_t words = 0;
    size_t paths = 0;
    for (const BenchFrame& frame : movie.frames) {
        words += frame.pathWordCount;
        for (const BenchShape& shape : frame.shapes) {
            paths += shape.paths.size();
        }
    }
    std::printf("%-12s %zu frames, %.0f paths and %.0f path words per frame\n", movie.name.c_str(),
                result.frames, static_cast<double>(paths) / static_cast<double>(result.frames),
                static_cast<double>(words) / static_cast<double>(result.frames));
    std::fflush(stdout);

    TilsenFrameRenderer ours(options.width, options.height, options.threads);
    CairoFrameRenderer cairo(options.width, options.height);
    AggFrameRenderer agg(options.width, options.height);
    FloorFrameRenderer floor(options.width, options.height, options.threads);
    std::vector<FrameRenderer*> renderers = {&ours, &floor};
    // Per renderer after ours: where its statistics and its picture difference go (none for
    // the floor).
    std::vector<BenchStats*> stats = {&result.ours, &result.floor};
    std::vector<double*> diffs = {nullptr, nullptr};
    if (!options.oursOnly) {
        renderers.push_back(&cairo);
        stats.push_back(&result.cairo);
        diffs.push_back(&result.cairoDiff);
        renderers.push_back(&agg);
        stats.push_back(&result.agg);
        diffs.push_back(&result.aggDiff);
    }
#if defined(TILSEN_BENCH_BLEND2D)
    BlendFrameRenderer blend(options.width, options.height, options.threads);
    if (!options.oursOnly) {
        renderers.push_back(&blend);
        stats.push_back(&result.blend);
        diffs.push_back(&result.blendDiff);
    }
#endif
    for (FrameRenderer* renderer : renderers) {
        renderer->setArcs(options.arcsAsLines ? pathwords::Arcs::kOurPolyline
                                              : pathwords::Arcs::kOwn);
        renderer->prepare(movie);
        renderer->render(0); // warm caches and lazy set-up
        if (!options.ppmDir.empty()) {
            writePpm(options.ppmDir + "/" + movie.name + "." + renderer->label() + ".ppm",
                     *renderer);
        }
    }

    std::vector<std::vector<double>> samples(renderers.size());
    std::vector<double> streamSamples, gunzipSamples;
    std::vector<uint64_t> hashes(result.frames);
    const size_t streamFrames =
        std::min(result.frames, static_cast<size_t>(std::max(movie.frameCount, int32_t{0})));
    for (int32_t round = 0; round < options.rounds; ++round) {
        // The renderers take turns a few frames at a time, so that a change in the machine's
        // speed (other guests, the clock) falls on all of them alike rather than on whichever
        // was running then; each still draws its frames in a row, with its own caches warm.
        for (size_t chunk = 0; chunk < result.frames; chunk += kFramesPerTurn) {
            const size_t chunkEnd = std::min(result.frames, chunk + kFramesPerTurn);
            for (size_t r = 0; r < renderers.size(); ++r) {
                for (size_t i = chunk; i < chunkEnd; ++i) {
                    const Clock::time_point start = Clock::now();
                    renderers[r]->render(i);
                    samples[r].push_back(microsSince(start));
                    if (round != 0) {
                        continue;
                    }
                    if (r == 0) {
                        hashes[i] = hashPixels(ours.pixels(), ours.pixelCount());
                    } else if (diffs[r] != nullptr) {
                        double& worst = *diffs[r];
                        // Ours last drew another frame; compare against a fresh frame i.
                        ours.render(i);
                        worst =
                            std::max(worst, meanChannelDiff(ours.pixels(), renderers[r]->pixels(),
                                                            ours.pixelCount()));
                    }
                }
            }
        }
        if (options.stream) {
            timeStreaming(movie, options, streamFrames, hashes, round == 0, streamSamples,
                          result.streamMatches);
            timeGunzip(movie, streamFrames, gunzipSamples);
        }
    }
    if (options.stages) {
        timeStages(ours, result.frames, options.rounds, result);
    }
    for (size_t r = 0; r < renderers.size(); ++r) {
        *stats[r] = BenchStats::of(samples[r]);
    }
    result.stream = BenchStats::of(streamSamples);
    result.gunzip = BenchStats::of(gunzipSamples);
    if (streamFrames > 0 && !streamSamples.empty()) {
        const std::vector<double> stream = leastPerFrame(streamSamples, streamFrames);
        const std::vector<double> render = leastPerFrame(samples[0], result.frames);
        std::vector<double> overhead(streamFrames);
        for (size_t i = 0; i < streamFrames; ++i) {
            overhead[i] = stream[i] - render[i];
        }
        result.overheadMean = mean(overhead);
        result.gunzipMean = mean(leastPerFrame(gunzipSamples, streamFrames));
    }
    return true;
}

// Per frame the least time over the rounds (samples are round after round of n frames),
// averaged over the frames: steady under load from other processes.
std::vector<double> leastPerFrame(const std::vector<double>& samples, size_t n) {
    std::vector<double> least(n, 0.0);
    for (size_t i = 0; i < samples.size(); ++i) {
        const size_t frame = i % n;
        least[frame] = i < n ? samples[i] : std::min(least[frame], samples[i]);
    }
    return least;
}

double mean(const std::vector<double>& values) {
    double sum = 0.0;
    for (const double v : values) {
        sum += v;
    }
    return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

double ratio(double a, double b) {
    return b > 0.0 ? a / b : 0.0;
}

#if defined(TILSEN_BENCH_BLEND2D)
constexpr bool kWithBlend = true;
#else
constexpr bool kWithBlend = false;
#endif

void printTables(const std::vector<MovieResult>& results, const Options& options) {
    const bool blend = kWithBlend && !options.oursOnly;
    std::printf(
        "\nRendering only at %dx%d, us per frame (median / min), frames decoded up front%s\n",
        options.width, options.height,
        options.arcsAsLines ? ", arcs handed on as the lines ours fills" : "");
    std::printf("%-12s %17s %17s %17s", "movie", "ours", "cairo", "agg");
    if (blend) {
        std::printf(" %17s", "blend2d");
    }
    std::printf(" %15s %11s %9s%s %10s\n", "floor", "ours/cairo", "ours/agg",
                blend ? " ours/blend2d" : "", "ours/floor");
    for (const MovieResult& r : results) {
        std::printf("%-12s %8.0f / %6.0f %8.0f / %6.0f %8.0f / %6.0f", r.name.c_str(),
                    r.ours.median, r.ours.minimum, r.cairo.median, r.cairo.minimum, r.agg.median,
                    r.agg.minimum);
        if (blend) {
            std::printf(" %8.0f / %6.0f", r.blend.median, r.blend.minimum);
        }
        std::printf(" %6.0f / %6.0f %11.2f %9.2f", r.floor.median, r.floor.minimum,
                    ratio(r.ours.median, r.cairo.median), ratio(r.ours.median, r.agg.median));
        if (blend) {
            std::printf(" %12.2f", ratio(r.ours.median, r.blend.median));
        }
        std::printf(" %10.2f\n", ratio(r.ours.median, r.floor.median));
    }
    std::printf("floor: one clear and one full write of the target, timed beside the renderers\n");
    if (options.threads > 1) {
        std::printf("ours, blend2d and the floor on %d threads\n", options.threads);
    }
    if (!options.oursOnly) {
        std::printf(
            "\nPicture check: mean absolute channel difference from ours, worst frame (0..255)\n");
        for (const MovieResult& r : results) {
            std::printf("%-12s cairo %.2f  agg %.2f", r.name.c_str(), r.cairoDiff, r.aggDiff);
            if (blend) {
                std::printf("  blend2d %.2f", r.blendDiff);
            }
            std::printf("\n");
        }
    }
    if (options.stages) {
        std::printf("\nOurs by stage at %dx%d, us per frame (median over frames), the stage clock "
                    "on\n",
                    options.width, options.height);
        std::printf("%-12s %8s %8s %8s %8s %8s %8s %8s\n", "movie", "clear", "walk", "sweep",
                    "resolve", "rest", "timed", "floor");
        for (const MovieResult& r : results) {
            std::printf("%-12s %8.0f %8.0f %8.0f %8.0f %8.0f %8.0f %8.0f\n", r.name.c_str(),
                        r.clear.median, r.walk.median, r.sweep.median, r.resolve.median,
                        r.rest.median, r.timed.median, r.floor.median);
        }
        std::printf(
            "clear: the clear of the target (on wide targets only the record of its blocks);\n"
            "walk: outlines into cells; sweep: sums or sort, coverage, compositing and the\n"
            "first clearing of wide targets' blocks; resolve: the background under it all;\n"
            "rest: the frame's work beside them (the paths' reach and budget, the bands) and the\n"
            "stage clock's own reading; each column a median of its own\n");
    }
    if (!options.stream) {
        return;
    }
    std::printf("\nStreaming as the show does, us per frame\n");
    std::printf("%-12s %24s %24s %13s %15s %8s\n", "movie", "player med / min / mean",
                "gunzip med / min / mean", "gunzip least", "overhead", "pixels");
    for (const MovieResult& r : results) {
        char share[16] = "    -";
        // Movies that fit the player's first block are gunzipped whole when it opens them.
        if (r.gunzipMean >= 1.0) {
            std::snprintf(share, sizeof share, "%5.2fx", ratio(r.overheadMean, r.gunzipMean));
        }
        std::printf("%-12s %7.0f / %6.0f / %6.0f %7.1f / %5.1f / %6.1f %13.1f %7.1f %s %8s\n",
                    r.name.c_str(), r.stream.median, r.stream.minimum, r.stream.mean,
                    r.gunzip.median, r.gunzip.minimum, r.gunzip.mean, r.gunzipMean, r.overheadMean,
                    share, r.streamMatches ? "same" : "DIFFER");
    }
    std::printf(
        "overhead: player minus rendering only (gunzip + decode), and its ratio to gunzip;\n"
        "gunzip least and overhead take each frame's least time over the rounds, averaged over "
        "frames.\n"
        "Gunzip reads as the player does: in blocks into a buffer of the player's size, the first\n"
        "block when the movie is opened (untimed on both sides; small movies fit it whole).\n"
        "Target: overhead <= 1.15x gunzip.\n");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = parse(argc, argv, options); status != toolcli::kParsed) {
        return status;
    }
    const cpu::ScopedLevel level(options.level);
    std::vector<MovieResult> results;
    for (const std::string& path : options.movies) {
        MovieResult result;
        if (runMovie(path, options, result)) {
            results.push_back(std::move(result));
        }
    }
    if (results.empty()) {
        return 1;
    }
    printTables(results, options);
    bool same = true;
    for (const MovieResult& r : results) {
        same = same && r.streamMatches;
    }
    return same ? 0 : 1;
}
