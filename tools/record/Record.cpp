// tilsen-record: runs the show (the same Show, clock and movie players as the program)
// over virtual music time and writes what it presents as a video. A first pass, with
// movies opened but not drawn, only times the show for the progress bar; the second
// pass draws and records, and renders the sound as it goes from the volume changes the
// show has made so far. Every file is written under a temporary name beside its final
// one, and all of them are renamed only once the whole recording has succeeded; any
// failure, a stop signal included, removes them and leaves older files as they were.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "ChildProcess.h"
#include "FfmpegEncoder.h"
#include "FrameFiles.h"
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
#include "driver/StandardStreams.h"
#include "movie/MoviePlayer.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kAudioRate = 48000;
constexpr int32_t kStereo = 2;
constexpr int32_t kAspectHeight = Show::kWidth * 3 / 4; // 240: the 4:3 height of one scale step
constexpr int32_t kBarWidth = 30;
constexpr uint32_t kMsPerSecond = 1000;
// The files the show reads from its data folder; no output may be one of them.
constexpr std::array<const char*, 9> kShowFiles = {
    "music.xm", "presents.mvz.gz", "tavo01.mvz.gz", "main02.mvz.gz", "morvane.raw",
    "pelu.raw", "greets.raw",      "logo.raw",      "credits.raw"};

// Every frame goes under a temporary name in the folder; commit renames them all (and
// removes frames an earlier, longer run left), discard removes them.
class PngFrames final : public FrameSink {
public:
    explicit PngFrames(std::string directory) : dir(std::move(directory)) {}
    bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) override {
        // One picture may stand for many frames, each a large PNG to write: a stop signal
        // ends them at once rather than after the last.
        if (stopSignal() != 0) {
            return false;
        }
        auto file = std::make_unique<AtomicFile>(dir + "/" + frameFileName(pending.size(), ".png"));
        if (!file->create(problem)) {
            return false;
        }
        if (!writePng(file->tempName(), pixels, width, height)) {
            problem = fileError(file->finalName(), errno);
            return false;
        }
        pending.push_back(std::move(file));
        return true;
    }
    // The first failure, naming the frame file and the reason; empty when none.
    const std::string& error() const { return problem; }
    bool commit() {
        std::vector<std::string> names;
        for (size_t n = 0; n < pending.size(); ++n) {
            if (!pending[n]->commit(problem, AtomicFile::Sync::kNo)) {
                return false;
            }
            names.push_back(frameFileName(n, ".png"));
        }
        pending.clear();
        uint32_t removed = 0;
        return removeOtherFrames(dir, names, removed, problem);
    }
    void discard() { pending.clear(); }

private:
    std::string dir;
    std::vector<std::unique_ptr<AtomicFile>> pending;
    std::string problem;
};

// What a recording leaves behind until it succeeds: the encoder and the temporary files.
// It lives in static storage, so that every way out, std::exit included, reaches it.
struct Outputs {
    FfmpegEncoder encoder;
    std::unique_ptr<AtomicFile> video;
    std::unique_ptr<AtomicFile> wav;
    std::unique_ptr<PngFrames> frames;

    // The encoder first: it may still be writing the video's temporary file.
    void discard() {
        encoder.abort();
        video.reset();
        wav.reset();
        if (frames) {
            frames->discard();
        }
    }
    ~Outputs() { discard(); }
};

Outputs outputs;

[[noreturn]] void die(const std::string& message) {
    outputs.discard();
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

// An output that is one of the show's files, or the other output, would be replaced by
// the recording of it: refused before anything is written.
void refuseInputsAsOutputs(const RecordOptions& options, const std::string& video,
                           const std::string& wav) {
    const fs::path data = options.dataDir.empty() ? fs::current_path() : fs::path(options.dataDir);
    for (const auto& [file, what] : {std::pair{video, "the video"}, std::pair{wav, "the sound"}}) {
        if (file.empty()) {
            continue;
        }
        for (const char* input : kShowFiles) {
            if (sameFile(file, (data / input).string())) {
                die("cannot write " + std::string(what) + " " + file + ": it is the show's " +
                    input + ", which the recording reads");
            }
        }
    }
    if (!video.empty() && !wav.empty() && sameFile(video, wav)) {
        die("cannot write the video and the sound both to " + video);
    }
}

// Where the recording goes, absolute, and the ffmpeg it uses.
struct Targets {
    std::string video;
    std::string pngDir;
    std::string wav;
    std::string ffmpeg;
};

// Options: the command line read, or the process ended with help or the usage problem.
RecordOptions readOptions(int argc, char** argv) {
    RecordOptions options;
    const std::string error =
        parseRecordOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (options.help) {
        std::fputs(recordUsage().c_str(), stdout);
        std::exit(0);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "tilsen-record: %s\n\n%s", error.c_str(), recordUsage().c_str());
        std::exit(2);
    }
    return options;
}

// Set-up: every output checked and its temporary file made, before the show is timed.
Targets setUp(const RecordOptions& options) {
    Targets t{absolute(options.output), absolute(options.pngDir), absolute(options.wavFile), {}};
    if (!t.video.empty()) {
        t.ffmpeg = ChildProcess::findProgram("ffmpeg");
        if (t.ffmpeg.empty()) {
            die("the ffmpeg command was not found; install the Debian package \"ffmpeg\" "
                "(apt-get install ffmpeg), or record frames and sound with --png DIR and "
                "--wav FILE instead");
        }
        checkOutputFile(t.video, "the video");
    }
    if (!t.wav.empty()) {
        checkOutputFile(t.wav, "the sound");
    }
    refuseInputsAsOutputs(options, t.video, t.wav);
    std::string error;
    if (!t.video.empty()) {
        outputs.video = std::make_unique<AtomicFile>(t.video);
        if (!outputs.video->create(error)) {
            die("cannot write the video: " + error);
        }
    }
    if (!t.wav.empty()) {
        outputs.wav = std::make_unique<AtomicFile>(t.wav);
        if (!outputs.wav->create(error)) {
            die("cannot write the sound: " + error);
        }
    }
    if (!t.pngDir.empty()) {
        std::error_code ec;
        fs::create_directories(t.pngDir, ec);
        if (ec) {
            die("cannot create " + t.pngDir + ": " + ec.message());
        }
        outputs.frames = std::make_unique<PngFrames>(t.pngDir);
    }
    if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0) {
        die("cannot enter the data directory " + options.dataDir + ": " + reason());
    }
    return t;
}

// What the recording pass found, for the report.
struct Recorded {
    uint32_t endMs = 0;
    uint64_t frames = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t surfaceWidth = 0;
    int32_t surfaceHeight = 0;
    double seconds = 0.0;
    double speed = 0.0;
};

// Says why the encoder failed: how ffmpeg ended, or that it stopped taking the stream.
[[noreturn]] void encoderFailed(const std::string& video) {
    if (outputs.encoder.finish()) {
        die("ffmpeg stopped reading the recording of " + video + " and exited with status 0");
    }
    const std::string& ending = outputs.encoder.endText();
    die("ffmpeg " + ending + " while encoding " + video +
        (ending.rfind("exited", 0) == 0 ? " (its message is above)" : ""));
}

// Recording: the show drawn and recorded, into the temporary files.
Recorded record(const RecordOptions& options, const Targets& t, uint32_t totalMs) {
    Recorded r;
    r.width = Show::kWidth * options.scale;
    r.height = kAspectHeight * options.scale;
    // Sharp: the show draws at the video's size, which the sinks then take as it is.
    r.surfaceWidth = options.sharp ? r.width : Show::kWidth;
    r.surfaceHeight = options.sharp ? r.height : Show::kHeight;
    FrameSampler sampler(options.fps, r.surfaceWidth, r.surfaceHeight);
    PngFrames unused("");
    FrameRepeater pngFrames(outputs.frames ? *outputs.frames : unused, r.surfaceWidth,
                            r.surfaceHeight, r.width, r.height);
    if (outputs.frames) {
        sampler.addSink(pngFrames);
    }
    if (outputs.video) {
        EncodeSettings settings;
        settings.container = options.container;
        settings.lossless = options.lossless;
        settings.fps = options.fps;
        settings.surfaceWidth = r.surfaceWidth;
        settings.surfaceHeight = r.surfaceHeight;
        settings.outputWidth = r.width;
        settings.outputHeight = r.height;
        settings.audioRate = kAudioRate;
        settings.audioChannels = kStereo;
        if (!outputs.encoder.start(t.ffmpeg, settings, outputs.video->tempName())) {
            if (!outputs.encoder.startError().empty()) {
                die("cannot start " + t.ffmpeg + ": " + outputs.encoder.startError());
            }
            encoderFailed(t.video);
        }
    }
    WavWriter wav;
    if (outputs.wav && !wav.open(outputs.wav->tempName(), kAudioRate, kStereo)) {
        die("cannot create " + t.wav + ": " + wav.error());
    }

    VirtualPlayTime time;
    MusicClock clock(time, time);
    RecordingMusic music(time);
    SoundAndPictures sound(music, outputs.wav ? &wav : nullptr,
                           outputs.video ? &outputs.encoder : nullptr, options.fps);
    if (outputs.video || outputs.wav) {
        sampler.addSink(sound);
    }
    RecordingDisplay display(time, &sampler, options.limitMs, r.surfaceWidth, r.surfaceHeight);
    PlayerMovieSource movies;
    Show show(display, music, clock, movies);
    Progress progress(totalMs);
    display.onPresent = [&](uint32_t ms) { progress.update(show.scene, std::min(ms, totalMs)); };
    show.run();
    if (stopSignal() != 0) {
        die("stopped");
    }
    r.endMs = recordingEnd(music, options.limitMs);
    sound.setEnd(r.endMs);
    sampler.finish(r.endMs);
    progress.update(show.scene, std::min(r.endMs, totalMs));
    progress.finish();
    if (display.failed) {
        die("the show failed");
    }
    // A failed sound names its file; a failed picture names where it went.
    using Failure = SoundAndPictures::Failure;
    if (sound.failure() == Failure::wav) {
        die("cannot write " + t.wav + ": " + wav.error());
    }
    if (sound.failure() == Failure::decoding) {
        die("cannot decode music.xm");
    }
    if (outputs.frames && !outputs.frames->error().empty()) {
        die("cannot write a frame: " + outputs.frames->error());
    }
    if (!sampler.ok() || sound.failure() == Failure::encoder) {
        encoderFailed(t.video);
    }
    if (outputs.wav && !wav.close()) {
        die("cannot write " + t.wav + ": " + wav.error());
    }
    if (outputs.video) {
        if (!outputs.encoder.finish() || stopSignal() != 0) {
            encoderFailed(t.video);
        }
        struct stat info {};
        if (stat(outputs.video->tempName().c_str(), &info) != 0 || info.st_size == 0) {
            die("ffmpeg exited with status 0 but wrote nothing to " + t.video);
        }
    }
    r.frames = sampler.framesWritten();
    r.seconds = progress.seconds();
    r.speed = progress.speed(r.endMs);
    return r;
}

// Every output renamed into place, now that all of them are whole.
void placeOutputs() {
    std::string error;
    if (outputs.wav && !outputs.wav->commit(error)) {
        die("cannot write the sound: " + error);
    }
    if (outputs.video && !outputs.video->commit(error)) {
        die("cannot write the video: " + error);
    }
    if (outputs.frames && !outputs.frames->commit()) {
        die("cannot write a frame: " + outputs.frames->error());
    }
}

void report(const RecordOptions& options, const Targets& t, const Recorded& r) {
    const std::string length = Progress::clock(r.endMs);
    const auto frames = static_cast<unsigned long long>(r.frames);
    if (!t.video.empty()) {
        std::fprintf(stderr,
                     "tilsen-record: wrote %s (%s, %llu frames at %d fps, %dx%d%s) in %.1f s, "
                     "%.1fx real time\n",
                     t.video.c_str(), length.c_str(), frames, options.fps,
                     options.lossless ? r.surfaceWidth : r.width,
                     options.lossless ? r.surfaceHeight : r.height,
                     options.lossless ? (options.sharp ? ", lossless" : " shown 4:3, lossless")
                                      : "",
                     r.seconds, r.speed);
    }
    if (!t.pngDir.empty()) {
        std::fprintf(stderr, "tilsen-record: wrote %s (%s, %llu frames at %d fps, %dx%d)\n",
                     t.pngDir.c_str(), length.c_str(), frames, options.fps, r.width, r.height);
    }
    if (!t.wav.empty()) {
        std::fprintf(stderr, "tilsen-record: wrote %s (%s, 48 kHz 16-bit stereo)\n", t.wav.c_str(),
                     length.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    // A service may start the recorder with a standard stream closed: the next file opened
    // would take its number.
    keepStandardStreams();
    std::signal(SIGPIPE, SIG_IGN);
    // A file over the size limit fails its write (EFBIG) and is reported like a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    installStopSignals();
    const RecordOptions options = readOptions(argc, argv);
    const Targets targets = setUp(options);
    const uint32_t totalMs = timeShow(options.limitMs);
    const Recorded recorded = record(options, targets, totalMs);
    placeOutputs();
    report(options, targets, recorded);
    return 0;
}
