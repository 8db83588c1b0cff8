// tilsen-record: runs the show (the same Show, clock and movie players as the program)
// over virtual music time and writes what it presents as a video. A first pass, with
// movies opened but not drawn, only times the show for the progress bar; the second
// pass draws and records. The sound is rendered after the second pass from the volume
// changes the show made in it.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "FfmpegVideo.h"
#include "FrameSampler.h"
#include "PngFile.h"
#include "RecordOptions.h"
#include "RecordingDisplay.h"
#include "RecordingMusic.h"
#include "VirtualPlayTime.h"
#include "WavWriter.h"
#include "driver/Movie.h"
#include "driver/MusicClock.h"
#include "driver/Pictures.h"
#include "driver/Show.h"
#include "movie/MoviePlayer.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kAudioRate = 48000;
constexpr int32_t kStereo = 2;
constexpr int32_t kAspectHeight = Show::kWidth * 3 / 4; // 240: the 4:3 height of one scale step
constexpr int32_t kBarWidth = 30;
constexpr uint32_t kMsPerSecond = 1000;

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "tilsen-record: %s\n", message.c_str());
    std::exit(1);
}

// Movies that are opened (for their frame counts) but never drawn.
class UndrawnMovieSource final : public MovieSource {
public:
    std::unique_ptr<Movie> createMovie() override { return std::make_unique<UndrawnMovie>(); }

private:
    class UndrawnMovie final : public Movie {
    public:
        int32_t open(const char* name) override { return player.open(name); }
        void render(uint32_t*, uint32_t, int32_t, int32_t, int32_t) override {}
        void close() override { player.close(); }

    private:
        MoviePlayer player;
    };
};

class PngFrames final : public FrameSink {
public:
    explicit PngFrames(std::string directory) : dir(std::move(directory)) {}
    bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) override {
        char name[32];
        std::snprintf(name, sizeof name, "frame%06llu.png", static_cast<unsigned long long>(count));
        ++count;
        return writePng(dir + "/" + name, pixels, width, height);
    }

private:
    std::string dir;
    uint64_t count = 0;
};

// One line on standard error, redrawn in place: scene, music time, a bar and a percent.
class Progress {
public:
    explicit Progress(uint32_t totalMs)
        : total(std::max<uint32_t>(totalMs, 1)), terminal(isatty(STDERR_FILENO) == 1) {}
    void update(int32_t scene, uint32_t ms) {
        const uint32_t percent =
            static_cast<uint32_t>(std::min<uint64_t>(100, static_cast<uint64_t>(ms) * 100 / total));
        // A log gets one line per scene and the last one, not a redraw per percent.
        const bool due = percent != shownPercent && (terminal || percent == 100);
        if (!due && scene == shownScene) {
            return;
        }
        shownPercent = percent;
        shownScene = scene;
        const int32_t filled = static_cast<int32_t>(percent) * kBarWidth / 100;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.resize(kBarWidth, '.');
        std::fprintf(stderr, "%s  scene %d/%d  %s / %s  [%s] %3u%%", terminal ? "\r" : "",
                     std::min(scene, Show::kSceneCount), Show::kSceneCount, clock(ms).c_str(),
                     clock(total).c_str(), bar.c_str(), percent);
        if (!terminal) {
            std::fputc('\n', stderr);
        }
        std::fflush(stderr);
    }
    void finish() {
        if (terminal && shownPercent <= 100) {
            std::fputc('\n', stderr);
        }
    }
    static std::string clock(uint32_t ms) {
        char text[32];
        std::snprintf(text, sizeof text, "%u:%02u.%u", ms / 60000, ms / kMsPerSecond % 60,
                      ms / 100 % 10);
        return text;
    }

private:
    uint32_t total;
    bool terminal = false;
    uint32_t shownPercent = UINT32_MAX;
    int32_t shownScene = 0;
};

// Removes the temporary directory however the recording ends: it lives in static storage,
// so die()'s exit runs its destructor too.
struct TempDir {
    std::string path;
    ~TempDir() {
        if (!path.empty()) {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    }
};

TempDir temp;

uint32_t recordingEnd(const RecordingMusic& music, uint32_t limitMs) {
    if (!music.stopped()) {
        die("the show ended without stopping its music");
    }
    return std::min(music.endMs(), limitMs);
}

// The first pass: the show's length (up to the limit), without drawing movies.
uint32_t timeShow(uint32_t limitMs) {
    const uint32_t noise = noiseState;
    VirtualPlayTime time;
    MusicClock clock(time, time);
    RecordingDisplay display(time, nullptr, limitMs);
    RecordingMusic music(time);
    UndrawnMovieSource movies;
    Show show(display, music, clock, movies);
    show.run();
    noiseState = noise; // the recording pass starts the noise where the show does
    if (display.failed) {
        die("the show failed");
    }
    return recordingEnd(music, limitMs);
}

std::string absolute(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).lexically_normal().string();
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    RecordOptions options;
    const std::string error =
        parseRecordOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (options.help) {
        std::fputs(recordUsage(), stdout);
        return 0;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "tilsen-record: %s\n%s", error.c_str(), recordUsage());
        return 2;
    }
    const std::string output = absolute(options.output);
    const std::string pngDir = absolute(options.pngDir);
    const std::string wavFile = absolute(options.wavFile);

    std::string ffmpeg;
    if (!output.empty()) {
        ffmpeg = ChildProcess::findProgram("ffmpeg");
        if (ffmpeg.empty()) {
            die("the ffmpeg command was not found; install the Debian package \"ffmpeg\" "
                "(apt-get install ffmpeg), or record frames and sound with --png DIR and "
                "--wav FILE instead");
        }
    }
    if (!pngDir.empty()) {
        std::error_code ec;
        fs::create_directories(pngDir, ec);
        if (ec) {
            die("cannot create " + pngDir + ": " + ec.message());
        }
    }
    if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0) {
        die("cannot enter the data directory " + options.dataDir + ": " + std::strerror(errno));
    }

    const uint32_t totalMs = timeShow(options.limitMs);

    const int32_t width = Show::kWidth * options.scale;
    const int32_t height = kAspectHeight * options.scale;
    // Sharp: the show draws at the video's size, which the sampler then copies as it is.
    const int32_t surfaceWidth = options.sharp ? width : Show::kWidth;
    const int32_t surfaceHeight = options.sharp ? height : Show::kHeight;
    FrameSampler sampler(options.fps, surfaceWidth, surfaceHeight, width, height);
    PngFrames png(pngDir);
    if (!pngDir.empty()) {
        sampler.addSink(png);
    }
    FfmpegVideo video;
    if (!output.empty()) {
        std::string pattern = (fs::path(output).parent_path() / ".tilsen-record-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            die("cannot create a temporary directory beside " + output + ": " +
                std::strerror(errno));
        }
        temp.path = pattern;
        if (!video.start(ffmpeg, temp.path + "/video.mp4", width, height, options.fps)) {
            die("cannot start " + ffmpeg);
        }
        sampler.addSink(video);
    }

    VirtualPlayTime time;
    MusicClock clock(time, time);
    RecordingDisplay display(time, &sampler, options.limitMs, surfaceWidth, surfaceHeight);
    RecordingMusic music(time);
    PlayerMovieSource movies;
    Show show(display, music, clock, movies);
    Progress progress(totalMs);
    display.onPresent = [&](uint32_t ms) { progress.update(show.scene, std::min(ms, totalMs)); };
    show.run();
    const uint32_t endMs = recordingEnd(music, options.limitMs);
    sampler.finish(endMs);
    progress.update(show.scene, std::min(endMs, totalMs));
    progress.finish();
    if (display.failed) {
        die("the show failed");
    }
    if (!sampler.ok()) {
        die(output.empty() ? "cannot write the frames to " + pngDir
                           : "cannot write the frames (did ffmpeg fail?)");
    }
    if (!output.empty() && !video.finish()) {
        die("ffmpeg failed to encode the video");
    }

    const std::string audioFile = !wavFile.empty() ? wavFile
                                  : output.empty() ? std::string()
                                                   : temp.path + "/audio.wav";
    if (!audioFile.empty()) {
        WavWriter wav;
        if (!wav.open(audioFile, kAudioRate, kStereo)) {
            die("cannot create " + audioFile);
        }
        const uint64_t frames = static_cast<uint64_t>(endMs) * kAudioRate / kMsPerSecond;
        const bool rendered = renderAudio(
            music.module(), music.changes(), frames, kAudioRate,
            [&](const int16_t* samples, size_t count) { return wav.write(samples, count); });
        if (!wav.close() || !rendered) {
            die(rendered ? "cannot write " + audioFile : "cannot decode music.xm");
        }
    }
    if (!output.empty() && !muxVideoAndAudio(ffmpeg, temp.path + "/video.mp4", audioFile, output)) {
        die("ffmpeg failed to write " + output);
    }

    const std::string length = Progress::clock(endMs);
    const auto frames = static_cast<unsigned long long>(sampler.framesWritten());
    for (const std::string& written : {output, pngDir}) {
        if (!written.empty()) {
            std::fprintf(stderr, "tilsen-record: wrote %s (%s, %llu frames at %d fps, %dx%d)\n",
                         written.c_str(), length.c_str(), frames, options.fps, width, height);
        }
    }
    if (!wavFile.empty()) {
        std::fprintf(stderr, "tilsen-record: wrote %s (%s, 48 kHz 16-bit stereo)\n",
                     wavFile.c_str(), length.c_str());
    }
    return 0;
}
