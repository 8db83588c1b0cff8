// tilsen-record: runs the show (the same Show, clock and movie players as the program)
// over virtual music time and writes what it presents as a video. A first pass, with
// movies opened but not drawn, only times the show for the progress bar; the second
// pass draws and records, and renders the sound as it goes from the volume changes the
// show has made so far. Every file is written under a temporary name beside its final
// one and renamed only once complete; any failure, a stop signal included, removes them.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "ChildProcess.h"
#include "FfmpegEncoder.h"
#include "FrameRepeater.h"
#include "FrameSampler.h"
#include "PngFile.h"
#include "RecordOptions.h"
#include "RecordingDisplay.h"
#include "RecordingMusic.h"
#include "StopSignal.h"
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

// What a recording leaves behind until it succeeds: the encoder (borrowed) and the
// temporary files and folders. It lives in static storage, so every way out, std::exit
// included, runs its clean-up.
struct Leftovers {
    FfmpegEncoder* encoder = nullptr;
    std::vector<std::string> paths;

    void clear() {
        if (encoder != nullptr) {
            encoder->abort();
            encoder = nullptr;
        }
        for (const std::string& p : paths) {
            std::error_code ignored;
            fs::remove_all(p, ignored);
        }
        paths.clear();
    }
    void keep(const std::string& path) { std::erase(paths, path); }
    ~Leftovers() { clear(); }
};

Leftovers leftovers;

[[noreturn]] void die(const std::string& message) {
    leftovers.clear();
    if (stopSignal() != 0) {
        std::fprintf(stderr, "tilsen-record: stopped by signal %d; nothing was written\n",
                     stopSignal());
        endByStopSignal();
    }
    std::fprintf(stderr, "tilsen-record: %s\n", message.c_str());
    std::exit(1);
}

std::string reason() {
    return std::strerror(errno);
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

// Each frame is written under a temporary name and renamed, so a frame file is either
// the old one or the new one, whole.
class PngFrames final : public FrameSink {
public:
    explicit PngFrames(std::string directory) : dir(std::move(directory)) {}
    bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) override {
        char name[32];
        std::snprintf(name, sizeof name, "frame%06llu.png", static_cast<unsigned long long>(count));
        ++count;
        const std::string final = dir + "/" + name;
        const std::string part = dir + "/." + name + ".part";
        if (!writePng(part, pixels, width, height) ||
            std::rename(part.c_str(), final.c_str()) != 0) {
            std::remove(part.c_str());
            return false;
        }
        return true;
    }

private:
    std::string dir;
    uint64_t count = 0;
};

// One line on standard error, redrawn in place on a terminal: scene, music time, a bar,
// the percent and the speed in multiples of real time.
class Progress {
public:
    explicit Progress(uint32_t totalMs)
        : total(std::max<uint32_t>(totalMs, 1)), terminal(isatty(STDERR_FILENO) == 1),
          started(std::chrono::steady_clock::now()) {}
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
        std::fprintf(stderr, "%s  scene %d/%d  %s / %s  [%s] %3u%%  %5.1fx real time",
                     terminal ? "\r" : "", std::min(scene, Show::kSceneCount), Show::kSceneCount,
                     clock(ms).c_str(), clock(total).c_str(), bar.c_str(), percent, speed(ms));
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
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    // Music time recorded per second of wall time.
    double speed(uint32_t ms) const {
        return static_cast<double>(ms) / kMsPerSecond / std::max(seconds(), 1e-3);
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
    std::chrono::steady_clock::time_point started;
    uint32_t shownPercent = UINT32_MAX;
    int32_t shownScene = 0;
};

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
    if (stopSignal() != 0) {
        die("stopped");
    }
    if (display.failed) {
        die("the show failed");
    }
    return recordingEnd(music, limitMs);
}

std::string absolute(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).lexically_normal().string();
}

// A file the recording will replace must be a file (or not exist yet) in a folder that
// exists; checked before anything is recorded.
void checkOutputFile(const std::string& file, const char* what) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (fs::is_directory(status)) {
        die("cannot write " + std::string(what) + " " + file + ": it is a directory");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        die("cannot write " + std::string(what) + " " + file +
            ": it exists and is not a regular file");
    }
    const fs::path folder = fs::path(file).parent_path();
    if (!fs::is_directory(folder, ec)) {
        die("cannot write " + std::string(what) + " " + file + ": the folder " + folder.string() +
            " does not exist");
    }
}

// An empty file with a fresh name in the folder of finalName, removed again on failure.
std::string temporaryFileBeside(const std::string& finalName) {
    const fs::path p(finalName);
    std::string pattern = (p.parent_path() / ("." + p.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        die("cannot create a temporary file beside " + finalName + ": " + reason());
    }
    close(fd);
    leftovers.paths.push_back(pattern);
    return pattern;
}

// Renames a finished temporary file over its final name.
void moveIntoPlace(const std::string& temporary, const std::string& finalName) {
    if (std::rename(temporary.c_str(), finalName.c_str()) != 0) {
        die("cannot rename " + temporary + " to " + finalName + ": " + reason());
    }
    leftovers.keep(temporary);
}

const char* extension(Container container) {
    switch (container) {
    case Container::mov:
        return ".mov";
    case Container::mkv:
        return ".mkv";
    default:
        return ".mp4";
    }
}

// The sound as the recording goes: rendered up to each picture's time before the picture
// is handed on (every volume change before that time has been made by then), to the WAV
// file and to the encoder. The pictures pass on to the encoder, if any.
class SoundAndPictures final : public PictureSink {
public:
    SoundAndPictures(const RecordingMusic& recordingMusic, WavWriter* wavFile,
                     FfmpegEncoder* videoEncoder, int32_t framesPerSecond)
        : music(recordingMusic), wav(wavFile), encoder(videoEncoder), fps(framesPerSecond) {}

    bool show(const uint32_t* surface, uint64_t firstFrame) override {
        const uint64_t ms = firstFrame * kMsPerSecond / static_cast<uint64_t>(fps);
        return soundUntil(static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX))) &&
               (encoder == nullptr || encoder->show(surface, firstFrame));
    }
    bool end(uint64_t frameCount) override {
        return soundUntil(endMs) && (encoder == nullptr || encoder->end(frameCount));
    }
    void setEnd(uint32_t ms) { endMs = ms; }
    enum class Failure { none, decoding, wav, encoder };
    Failure failure() const { return failed; }

private:
    bool soundUntil(uint32_t ms) {
        if (failed != Failure::none) {
            return false;
        }
        if (!opened) {
            if (!renderer.open(music.module(), kAudioRate)) {
                failed = Failure::decoding;
                return false;
            }
            opened = true;
        }
        failed = Failure::decoding; // unless a sink refuses the samples first
        const bool done = renderer.renderUntil(
            renderer.frameAt(ms), music.changes(), [&](const int16_t* samples, size_t frames) {
                const uint64_t at = written;
                written += frames;
                if (wav != nullptr && !wav->write(samples, frames)) {
                    failed = Failure::wav;
                    return false;
                }
                if (encoder != nullptr && !encoder->writeSound(samples, frames, at)) {
                    failed = Failure::encoder;
                    return false;
                }
                return true;
            });
        if (done) {
            failed = Failure::none;
        }
        return done;
    }

    const RecordingMusic& music;
    WavWriter* wav;
    FfmpegEncoder* encoder;
    int32_t fps;
    SoundRenderer renderer;
    bool opened = false;
    uint64_t written = 0;
    uint32_t endMs = 0;
    Failure failed = Failure::none;
};

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // A file over the size limit fails its write (EFBIG) and is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    installStopSignals();
    RecordOptions options;
    const std::string error =
        parseRecordOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (options.help) {
        std::fputs(recordUsage().c_str(), stdout);
        return 0;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "tilsen-record: %s\n\n%s", error.c_str(), recordUsage().c_str());
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
        checkOutputFile(output, "the video");
    }
    if (!wavFile.empty()) {
        checkOutputFile(wavFile, "the sound");
    }
    if (!pngDir.empty()) {
        std::error_code ec;
        fs::create_directories(pngDir, ec);
        if (ec) {
            die("cannot create " + pngDir + ": " + ec.message());
        }
    }
    std::string tempDir;
    if (!output.empty()) {
        const fs::path folder = fs::path(output).parent_path();
        std::string pattern = (folder / ".tilsen-record-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            die("cannot create a temporary folder in " + folder.string() + " for " + output + ": " +
                reason());
        }
        tempDir = pattern;
        leftovers.paths.push_back(tempDir);
    }
    const std::string wavPart = wavFile.empty() ? std::string() : temporaryFileBeside(wavFile);
    if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0) {
        die("cannot enter the data directory " + options.dataDir + ": " + reason());
    }

    const uint32_t totalMs = timeShow(options.limitMs);

    const int32_t width = Show::kWidth * options.scale;
    const int32_t height = kAspectHeight * options.scale;
    // Sharp: the show draws at the video's size, which the sinks then take as it is.
    const int32_t surfaceWidth = options.sharp ? width : Show::kWidth;
    const int32_t surfaceHeight = options.sharp ? height : Show::kHeight;
    FrameSampler sampler(options.fps, surfaceWidth, surfaceHeight);
    PngFrames png(pngDir);
    FrameRepeater pngFrames(png, surfaceWidth, surfaceHeight, width, height);
    if (!pngDir.empty()) {
        sampler.addSink(pngFrames);
    }
    FfmpegEncoder encoder;
    const std::string videoPart =
        tempDir.empty() ? std::string() : tempDir + "/video" + extension(options.container);
    if (!output.empty()) {
        EncodeSettings settings;
        settings.container = options.container;
        settings.lossless = options.lossless;
        settings.fps = options.fps;
        settings.surfaceWidth = surfaceWidth;
        settings.surfaceHeight = surfaceHeight;
        settings.outputWidth = width;
        settings.outputHeight = height;
        settings.audioRate = kAudioRate;
        settings.audioChannels = kStereo;
        leftovers.encoder = &encoder;
        if (!encoder.start(ffmpeg, settings, videoPart)) {
            die("cannot start " + ffmpeg);
        }
    }
    WavWriter wav;
    if (!wavPart.empty() && !wav.open(wavPart, kAudioRate, kStereo)) {
        die("cannot create " + wavFile + ": " + wav.error());
    }

    VirtualPlayTime time;
    MusicClock clock(time, time);
    RecordingMusic music(time);
    SoundAndPictures sound(music, wavPart.empty() ? nullptr : &wav,
                           output.empty() ? nullptr : &encoder, options.fps);
    if (!output.empty() || !wavPart.empty()) {
        sampler.addSink(sound);
    }
    RecordingDisplay display(time, &sampler, options.limitMs, surfaceWidth, surfaceHeight);
    PlayerMovieSource movies;
    Show show(display, music, clock, movies);
    Progress progress(totalMs);
    display.onPresent = [&](uint32_t ms) { progress.update(show.scene, std::min(ms, totalMs)); };
    show.run();
    if (stopSignal() != 0) {
        die("stopped");
    }
    const uint32_t endMs = recordingEnd(music, options.limitMs);
    sound.setEnd(endMs);
    sampler.finish(endMs);
    progress.update(show.scene, std::min(endMs, totalMs));
    progress.finish();
    if (display.failed) {
        die("the show failed");
    }
    // A failed sound names its file; a failed picture names where it went.
    using Failure = SoundAndPictures::Failure;
    if (sound.failure() == Failure::wav) {
        die("cannot write " + wavFile + ": " + wav.error());
    }
    if (sound.failure() == Failure::decoding) {
        die("cannot decode music.xm");
    }
    if (!sampler.ok() || sound.failure() == Failure::encoder) {
        const bool encoderFailed = !output.empty() && !encoder.finish();
        if (encoderFailed || pngDir.empty()) {
            die("ffmpeg failed while encoding " + output + " (its message is above)");
        }
        die("cannot write the frames to " + pngDir + ": " + reason());
    }
    if (!wavPart.empty()) {
        if (!wav.close()) {
            die("cannot write " + wavFile + ": " + wav.error());
        }
        moveIntoPlace(wavPart, wavFile);
    }
    if (!output.empty()) {
        const bool encoded = encoder.finish();
        leftovers.encoder = nullptr;
        if (stopSignal() != 0 || !encoded) {
            die("ffmpeg failed to write " + output + " (its message is above)");
        }
        moveIntoPlace(videoPart, output);
        leftovers.clear();
    }

    const std::string length = Progress::clock(endMs);
    const auto frames = static_cast<unsigned long long>(sampler.framesWritten());
    const double seconds = progress.seconds();
    const double speed = progress.speed(endMs);
    if (!output.empty()) {
        std::fprintf(
            stderr,
            "tilsen-record: wrote %s (%s, %llu frames at %d fps, %dx%d%s) in %.1f s, "
            "%.1fx real time\n",
            output.c_str(), length.c_str(), frames, options.fps,
            options.lossless ? surfaceWidth : width, options.lossless ? surfaceHeight : height,
            options.lossless ? (options.sharp ? ", lossless" : " shown 4:3, lossless") : "",
            seconds, speed);
    }
    if (!pngDir.empty()) {
        std::fprintf(stderr, "tilsen-record: wrote %s (%s, %llu frames at %d fps, %dx%d)\n",
                     pngDir.c_str(), length.c_str(), frames, options.fps, width, height);
    }
    if (!wavFile.empty()) {
        std::fprintf(stderr, "tilsen-record: wrote %s (%s, 48 kHz 16-bit stereo)\n",
                     wavFile.c_str(), length.c_str());
    }
    return 0;
}
