// tilsen-bench-movies OUTDIR [--frames N]: writes the four benchmark movies into OUTDIR.
// The build writes a short set for the tests; scripts/bench.sh asks for longer ones.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "AtomicFile.h"
#include "BenchMovies.h"
#include "ToolCli.h"

namespace {
constexpr int32_t kDefaultFrames = 100;
constexpr int32_t kMostFrames = 100000;
} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes the benchmark movies glyphs, blobs, dense and arcs (.mvz.gz) into OUTDIR.",
                 "tilsen-bench-movies"};
    std::string outDir;
    int32_t frames = kDefaultFrames;
    app.add_option("OUTDIR", outDir, "folder to write into (created if need be)")->required();
    app.add_option("--frames", frames, "frames per movie")
        ->check(CLI::Range(1, kMostFrames))
        ->capture_default_str();
    if (const int status = toolcli::parse(app, argc, argv); status != toolcli::kParsed) {
        return status;
    }
    AtomicFile::removeTempFilesOnSignals();
    try {
        std::filesystem::create_directories(outDir);
        writeBenchMovies(outDir, frames);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tilsen-bench-movies: %s\n", e.what());
        return 1;
    }
    return 0;
}
