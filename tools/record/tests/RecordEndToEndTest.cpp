// Runs tilsen-record on a short synthetic show: three tiny movies and five solid
// pictures, each scene in its own colour, and the XM test tune. Checks that recordings
// repeat exactly, that every video frame shows the scene its instant falls in, and that
// the sound is the module from its start, faded to silence in the last scene.
#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>
#include <png.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <vector>

#include "TestTune.h"
#include "XmWriter.h"
#include "driver/FrameScale.h"
#include "geometry/Path.h"
#include "movie/MovieWriter.h"
#include "platform/ModuleLibrary.h"

namespace fs = std::filesystem;

namespace {

// Frame counts of the three movies: the scenes show 4, 5 and 3 frames.
constexpr int32_t kPresentsFrames = 3;
constexpr int32_t kTavoFrames = 4;
constexpr int32_t kMainFrames = 2;

// Scene starts in ms, worked out from the tick lengths and scene ends:
// 1: 4 x 66 = 264; 2: 301 x 16 = 4816; 3: 5 x 40 = 200; 4: 3 x 100 = 300;
// 5: 301 x 16 = 4816; 6 and 7: 601 x 16 = 9616; 8: 481 x 16 = 7696.
constexpr uint32_t kSceneStart[9] = {0, 264, 5080, 5280, 5580, 10396, 20012, 29628, 37324};
constexpr uint32_t kShowEndMs = kSceneStart[8];

// Colour of each scene at the picture's centre (0xRRGGBB); scene 8 keeps scene 7's.
constexpr uint32_t kSceneColour[8] = {0xa00000, 0x00a000, 0x0000a0, 0xa0a000,
                                      0x00a0a0, 0xa000a0, 0xa0a0a0, 0xa0a0a0};
constexpr uint32_t kLogoColour = 0x40c040;
constexpr int32_t kLogoSize = 16;

constexpr int32_t kFps = 25;
constexpr int32_t kRate = 48000;
constexpr int32_t kWidth = 320; // --scale 1
constexpr int32_t kHeight = 240;

std::string recorder() {
    return TILSEN_RECORD_PATH;
}

void writeMovie(const fs::path& file, uint32_t frameCount, uint32_t colour) {
    Path square;
    square.appendMoveTo(0.0f, 0.0f);
    square.appendLineTo(320.0f, 0.0f);
    square.appendLineTo(320.0f, 200.0f);
    square.appendLineTo(0.0f, 200.0f);
    square.appendClose();
    MovieWriter w;
    ASSERT_TRUE(w.open(file.c_str()));
    // A scene shows frames 0 to frameCount, one more than the count says.
    w.writeHeader(frameCount);
    for (uint32_t i = 0; i <= frameCount; ++i) {
        w.writeFrameStart(1);
        w.writeShapeStart(0xff000000u | colour, 1);
        w.writePath(square);
    }
    ASSERT_TRUE(w.close());
}

void writePicture(const fs::path& file, uint32_t colour, bool logo = false) {
    std::vector<char> rgb(320 * 200 * 3, 0);
    for (int32_t y = 0; y < 200; ++y) {
        for (int32_t x = 0; x < 320; ++x) {
            if (logo && (x >= kLogoSize || y >= kLogoSize)) {
                continue;
            }
            char* p = &rgb[static_cast<size_t>((y * 320 + x) * 3)];
            p[0] = static_cast<char>(colour >> 16);
            p[1] = static_cast<char>(colour >> 8);
            p[2] = static_cast<char>(colour);
        }
    }
    std::ofstream(file, std::ios::binary)
        .write(rgb.data(), static_cast<std::streamsize>(rgb.size()));
}

std::vector<uint8_t> readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// RGB pixels of a PNG as 0xRRGGBB words.
std::vector<uint32_t> readPng(const fs::path& file, int32_t& width, int32_t& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        return {};
    }
    width = static_cast<int32_t>(image.width);
    height = static_cast<int32_t>(image.height);
    std::vector<uint32_t> out(rgb.size() / 3);
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<uint32_t>(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]);
    }
    return out;
}

std::vector<int16_t> readWavSamples(const fs::path& file) {
    const std::vector<uint8_t> bytes = readFile(file);
    if (bytes.size() < 44) {
        return {};
    }
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8);
    }
    return samples;
}

class RecordEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = fs::temp_directory_path() / ("tilsen-record-e2e-" + std::to_string(getpid()));
        fs::create_directories(root / "data");
        const fs::path data = root / "data";
        saveXm(makeTestTune(), (data / "music.xm").string());
        writeMovie(data / "presents.mvz.gz", kPresentsFrames, kSceneColour[0]);
        writeMovie(data / "tavo01.mvz.gz", kTavoFrames, kSceneColour[2]);
        writeMovie(data / "main02.mvz.gz", kMainFrames, kSceneColour[3]);
        writePicture(data / "pelu.raw", kSceneColour[1]);
        writePicture(data / "greets.raw", kSceneColour[4]);
        writePicture(data / "credits.raw", kSceneColour[5]);
        writePicture(data / "morvane.raw", kSceneColour[6]);
        writePicture(data / "logo.raw", kLogoColour, true);
    }
    // TILSEN_E2E_KEEP=1 keeps the data and recordings for a look.
    static void TearDownTestSuite() {
        if (std::getenv("TILSEN_E2E_KEEP") == nullptr) {
            fs::remove_all(root);
        }
    }

    // Records into root/name: frames in name/png, sound in name.wav.
    static int record(const std::string& name, const std::string& extra) {
        const std::string cmd = recorder() + " --data " + (root / "data").string() +
                                " --scale 1 --fps " + std::to_string(kFps) + " --png " +
                                (root / name).string() + " --wav " +
                                (root / (name + ".wav")).string() + " " + extra + " 2>" +
                                (root / (name + ".log")).string();
        return std::system(cmd.c_str());
    }

    static fs::path frame(const std::string& name, uint64_t n) {
        char file[32];
        // The naming mvz render uses too.
        std::snprintf(file, sizeof file, "frame%06llu.png", static_cast<unsigned long long>(n));
        return root / name / file;
    }

    static size_t frameCount(const std::string& name) {
        return static_cast<size_t>(
            std::distance(fs::directory_iterator(root / name), fs::directory_iterator()));
    }

    static inline fs::path root;
};

TEST_F(RecordEndToEnd, TwoRecordingsOfTheFirstSecondsAreIdentical) {
    ASSERT_EQ(record("first", "--seconds 6"), 0);
    ASSERT_EQ(record("second", "--seconds 6"), 0);
    // 6 s at 25 fps; 6 s of 48 kHz stereo.
    ASSERT_EQ(frameCount("first"), 150u);
    ASSERT_EQ(frameCount("second"), 150u);
    for (uint64_t n = 0; n < 150; ++n) {
        ASSERT_EQ(readFile(frame("first", n)), readFile(frame("second", n))) << "frame " << n;
    }
    const std::vector<uint8_t> wav = readFile(root / "first.wav");
    EXPECT_EQ(wav.size(), 44u + 6u * kRate * 4u);
    EXPECT_EQ(wav, readFile(root / "second.wav"));
}

// Sharp recordings draw the show at the video's size: the same frames on every run, at
// 640x480, with the scenes' colours.
TEST_F(RecordEndToEnd, SharpRecordingsRepeatExactly) {
    for (const char* name : {"sharp1", "sharp2"}) {
        const std::string cmd = recorder() + " --data " + (root / "data").string() +
                                " --sharp --scale 2 --seconds 6 --fps " + std::to_string(kFps) +
                                " --png " + (root / name).string() + " 2>" +
                                (root / (std::string(name) + ".log")).string();
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    ASSERT_EQ(frameCount("sharp1"), 150u);
    ASSERT_EQ(frameCount("sharp2"), 150u);
    for (uint64_t n = 0; n < 150; ++n) {
        ASSERT_EQ(readFile(frame("sharp1", n)), readFile(frame("sharp2", n))) << "frame " << n;
    }
    // Frame 130 (5.2 s) lies in scene 3, tavo01's solid square under the logo; frame 149
    // (5.96 s) in scene 5, a picture.
    for (const auto& [n, colour] : {std::pair{130, kSceneColour[2]}, {149, kSceneColour[4]}}) {
        int32_t w = 0;
        int32_t h = 0;
        const std::vector<uint32_t> pixels =
            readPng(frame("sharp1", static_cast<uint64_t>(n)), w, h);
        ASSERT_EQ(w, 2 * kWidth);
        ASSERT_EQ(h, 2 * kHeight);
        EXPECT_EQ(pixels[static_cast<size_t>(h / 2 * w + w / 2)] & 0xffffffu, colour) << n;
    }
}

TEST_F(RecordEndToEnd, WholeShowFollowsTheSceneTableAndFadesOut) {
    ASSERT_EQ(record("whole", ""), 0);
    // Frames start every 40 ms until the show's end: ceil(37324 / 40) of them.
    const size_t frames = (kShowEndMs + 39) / 40;
    ASSERT_EQ(frameCount("whole"), frames);
    int32_t scene = 0;
    for (size_t n = 0; n < frames; ++n) {
        const uint32_t ms = static_cast<uint32_t>(n) * 40;
        while (ms >= kSceneStart[scene + 1]) {
            ++scene;
        }
        int32_t w = 0;
        int32_t h = 0;
        const std::vector<uint32_t> pixels = readPng(frame("whole", n), w, h);
        ASSERT_EQ(w, kWidth);
        ASSERT_EQ(h, kHeight);
        const uint32_t centre = pixels[static_cast<size_t>(kHeight / 2 * kWidth + kWidth / 2)];
        // Scene 1's grey noise sets the low four bits of every channel.
        const uint32_t mask = scene == 0 ? 0xf0f0f0u : 0xffffffu;
        ASSERT_EQ(centre & mask, kSceneColour[scene])
            << std::hex << "frame " << std::dec << n << " at " << ms << " ms, scene " << scene + 1;
        if (scene == 2 || scene == 3) {
            EXPECT_EQ(pixels[2 * kWidth + 2], kLogoColour) << "logo in frame " << n;
        }
    }

    // The sound is the module from its start: full volume until scene 8, then one step
    // down per 16 ms frame from 255 to 0, then silence to the end.
    const std::vector<int16_t> wav = readWavSamples(root / "whole.wav");
    ASSERT_EQ(wav.size(), static_cast<size_t>(kShowEndMs) * 48 * 2);
    const std::vector<uint8_t> tune = writeXm(makeTestTune());
    openmpt::module module(tune);
    module.set_repeat_count(-1);
    module.ctl_set_integer("dither", 0);
    std::vector<int16_t> expected(wav.size());
    size_t done = 0;
    while (done < expected.size() / 2) {
        const size_t n = module.read_interleaved_stereo(kRate, expected.size() / 2 - done,
                                                        expected.data() + 2 * done);
        ASSERT_GT(n, 0u);
        done += n;
    }
    const size_t fadeStart = static_cast<size_t>(kSceneStart[7]) * 48;
    const size_t silentFrom = fadeStart + 256 * 16 * 48;
    for (size_t i = 0; i < fadeStart * 2; ++i) {
        ASSERT_EQ(wav[i], expected[i]) << "sample " << i;
    }
    for (size_t i = fadeStart * 2; i < silentFrom * 2; ++i) {
        const int32_t volume = 255 - static_cast<int32_t>((i / 2 - fadeStart) / (16 * 48));
        ASSERT_EQ(wav[i], static_cast<int16_t>(expected[i] * volume / 256)) << "sample " << i;
    }
    for (size_t i = silentFrom * 2; i < wav.size(); ++i) {
        ASSERT_EQ(wav[i], 0) << "sample " << i;
    }
    int32_t loudest = 0;
    for (size_t i = 0; i < fadeStart * 2; ++i) {
        loudest = std::max(loudest, std::abs(static_cast<int32_t>(wav[i])));
    }
    EXPECT_GT(loudest, 1000) << "the music is not silent";
}

TEST_F(RecordEndToEnd, MissingMusicFailsWithAMessage) {
    const fs::path empty = root / "empty";
    fs::create_directories(empty);
    const std::string cmd = recorder() + " --data " + empty.string() + " --wav " +
                            (root / "none.wav").string() + " 2>" + (root / "none.log").string();
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::vector<uint8_t> log = readFile(root / "none.log");
    EXPECT_NE(std::string(log.begin(), log.end()).find("music.xm: File not found"),
              std::string::npos);
}

std::string run(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p) != nullptr) {
            out += buf;
        }
        pclose(p);
    }
    return out;
}

TEST_F(RecordEndToEnd, Mp4HasH264At60FpsAndAacSound) {
    if (run("command -v ffmpeg ffprobe").empty()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const fs::path mp4 = root / "two.mp4";
    const std::string cmd = recorder() + " --data " + (root / "data").string() +
                            " --scale 1 --seconds 2 " + mp4.string() + " 2>" +
                            (root / "two.log").string();
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string probe =
        run("ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,pix_fmt,"
            "sample_rate,channels -show_entries format=duration -of default=nw=1 " +
            mp4.string());
    for (const char* line :
         {"codec_name=h264", "width=320", "height=240", "pix_fmt=yuv420p", "r_frame_rate=60/1",
          "codec_name=aac", "sample_rate=48000", "channels=2"}) {
        EXPECT_NE(probe.find(line), std::string::npos) << line << " in\n" << probe;
    }
    const size_t at = probe.find("duration=");
    ASSERT_NE(at, std::string::npos) << probe;
    EXPECT_NEAR(std::stod(probe.substr(at + 9)), 2.0, 0.05) << probe;
    // Nothing is left beside the video.
    for (const auto& entry : fs::directory_iterator(root)) {
        EXPECT_EQ(entry.path().filename().string().find(".tilsen-record"), std::string::npos);
    }
}

TEST_F(RecordEndToEnd, WithoutFfmpegTheMessageNamesThePackage) {
    const std::string out =
        run("PATH=/nonexistent " + recorder() + " --data " + (root / "data").string() + " " +
            (root / "x.mp4").string() + " 2>&1; echo status $?");
    EXPECT_NE(out.find("Debian package \"ffmpeg\""), std::string::npos) << out;
    EXPECT_NE(out.find("status 1"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(root / "x.mp4"));
}

// The tool run by the shell with the synthetic data; its standard error goes to
// root/<log>.log. Returns the wait status.
int recordWith(const std::string& args, const std::string& log) {
    const fs::path root =
        fs::temp_directory_path() / ("tilsen-record-e2e-" + std::to_string(getpid()));
    const std::string cmd = recorder() + " --data " + (root / "data").string() + " " + args +
                            " 2>" + (root / (log + ".log")).string();
    return std::system(cmd.c_str());
}

bool haveFfmpeg() {
    return !run("command -v ffmpeg && command -v ffprobe").empty();
}

std::string text(const fs::path& file) {
    const std::vector<uint8_t> b = readFile(file);
    return {b.begin(), b.end()};
}

// Decoded frames on the fps grid (each frame shows the picture last stamped at or before
// its instant), as packed RGB.
std::vector<uint8_t> decode(const fs::path& video, const std::string& filter) {
    const std::string cmd = "ffmpeg -v error -i " + video.string() + " -vf " + filter +
                            " -f rawvideo -pix_fmt rgb24 - 2>/dev/null";
    std::vector<uint8_t> out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        std::array<uint8_t, 65536> buf{};
        size_t n = 0;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) {
            out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
        }
        pclose(p);
    }
    return out;
}

double probeNumber(const std::string& probe, const std::string& key) {
    const size_t at = probe.find(key + "=");
    return at == std::string::npos ? -1.0 : std::stod(probe.substr(at + key.size() + 1));
}

// The first 6 s of the synthetic show at 60 fps: scenes start at frames ceil(ms * 60 / 1000).
constexpr uint32_t kVideoMs = 6000;
constexpr int32_t kVideoFrames = 360;

int32_t sceneAtFrame(int32_t n) {
    int32_t scene = 0;
    while (static_cast<uint64_t>(n) * 1000 >= static_cast<uint64_t>(kSceneStart[scene + 1]) * 60) {
        ++scene;
    }
    return scene;
}

class RecordVideo : public RecordEndToEnd {
protected:
    void SetUp() override {
        if (!haveFfmpeg()) {
            GTEST_SKIP() << "ffmpeg is not installed (scripts/deps.sh installs it)";
        }
    }
};

TEST_F(RecordVideo, EachFrameShowsTheSceneOfItsInstantAndTheVideoEndsWithTheSound) {
    const fs::path mp4 = root / "timed.mp4";
    ASSERT_EQ(recordWith("--scale 1 --seconds 6 " + mp4.string(), "timed"), 0)
        << text(root / "timed.log");
    // Centre 2x2 pixels of every frame on the 60 fps grid.
    const std::vector<uint8_t> centres = decode(mp4, "fps=60,crop=2:2:159:119");
    ASSERT_EQ(centres.size(), static_cast<size_t>(kVideoFrames) * 12) << "frame count";
    for (int32_t n = 0; n < kVideoFrames; ++n) {
        const int32_t scene = sceneAtFrame(n);
        const uint8_t* rgb = &centres[static_cast<size_t>(n) * 12];
        const uint32_t want = kSceneColour[scene];
        for (int32_t ch = 0; ch < 3; ++ch) {
            const int32_t expected = static_cast<int32_t>(want >> (16 - 8 * ch) & 0xff);
            ASSERT_NEAR(rgb[ch], expected, 24)
                << "frame " << n << " (scene " << scene + 1 << "), channel " << ch;
        }
    }
    // The scene changes are encoded at exactly their frame's time.
    const std::string packets =
        run("ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 " +
            mp4.string());
    for (const int32_t frame : {16, 305, 317, 335}) {
        char time[32];
        std::snprintf(time, sizeof time, "%.6f\n", frame / 60.0);
        EXPECT_NE(packets.find(time), std::string::npos) << "no picture at frame " << frame;
    }
    // The last picture lasts to the end; sound and picture end together, to the sound's
    // own step: AAC comes in frames of 1024 samples (21.3 ms), the last one padded.
    const std::string video = run("ffprobe -v error -select_streams v -show_entries "
                                  "stream=duration -of default=nw=1 " +
                                  mp4.string());
    const std::string audio = run("ffprobe -v error -select_streams a -show_entries "
                                  "stream=duration -of default=nw=1 " +
                                  mp4.string());
    EXPECT_NEAR(probeNumber(video, "duration"), kVideoMs / 1000.0, 1e-6) << video;
    EXPECT_NEAR(probeNumber(audio, "duration"), probeNumber(video, "duration"), 1024.0 / kRate)
        << audio;
}

TEST_F(RecordVideo, LosslessFramesAreThePngFramesToTheBit) {
    const fs::path mkv = root / "master.mkv";
    ASSERT_EQ(recordWith("--lossless --scale 1 --seconds 6 --png " + (root / "master").string() +
                             " " + mkv.string(),
                         "master"),
              0)
        << text(root / "master.log");
    const std::vector<int32_t> picked = {0, 15, 16, 200, 305, 316, 317, 335, 359};
    std::string select = "fps=60,select='";
    for (size_t i = 0; i < picked.size(); ++i) {
        select += (i > 0 ? "+" : "") + std::string("eq(n\\,") + std::to_string(picked[i]) + ")";
    }
    select += "'";
    const std::vector<uint8_t> rgb = decode(mkv, "\"" + select + "\" -fps_mode passthrough");
    constexpr size_t kSurface = 320 * 200;
    ASSERT_EQ(rgb.size(), picked.size() * kSurface * 3);
    for (size_t i = 0; i < picked.size(); ++i) {
        std::vector<uint32_t> surface(kSurface);
        for (size_t p = 0; p < kSurface; ++p) {
            const uint8_t* px = &rgb[(i * kSurface + p) * 3];
            surface[p] = static_cast<uint32_t>(px[0] << 16 | px[1] << 8 | px[2]);
        }
        std::vector<uint32_t> scaled(static_cast<size_t>(kWidth * kHeight));
        scaleSharp(surface.data(), 320, 200, scaled.data(), kWidth, kHeight);
        int32_t w = 0;
        int32_t h = 0;
        const std::vector<uint32_t> png =
            readPng(frame("master", static_cast<uint64_t>(picked[i])), w, h);
        ASSERT_EQ(png.size(), scaled.size());
        for (size_t p = 0; p < png.size(); ++p) {
            ASSERT_EQ(scaled[p] & 0xffffffu, png[p])
                << std::hex << "frame " << std::dec << picked[i] << " pixel " << p;
        }
    }
}

TEST_F(RecordVideo, TwoRecordingsDecodeToTheSameFrames) {
    ASSERT_EQ(recordWith("--scale 1 --seconds 2 " + (root / "same1.mp4").string(), "same1"), 0);
    ASSERT_EQ(recordWith("--scale 1 --seconds 2 " + (root / "same2.mp4").string(), "same2"), 0);
    const std::string a =
        run("ffmpeg -v error -i " + (root / "same1.mp4").string() + " -f framemd5 - 2>&1");
    EXPECT_GT(a.size(), 1000u);
    EXPECT_EQ(a,
              run("ffmpeg -v error -i " + (root / "same2.mp4").string() + " -f framemd5 - 2>&1"));
}

// The extension chooses the container; the streams stay H.264 and AAC.
class RecordContainer : public RecordVideo,
                        public ::testing::WithParamInterface<std::array<const char*, 3>> {};

TEST_P(RecordContainer, FollowsTheExtension) {
    const auto& [name, format, brand] = GetParam();
    const fs::path out = root / name;
    ASSERT_EQ(recordWith("--scale 1 --seconds 1 " + out.string(), name), 0);
    const std::string probe = run("ffprobe -v error -show_entries format=format_name:format_tags="
                                  "major_brand:stream=codec_name -of default=nw=1 " +
                                  out.string());
    EXPECT_NE(probe.find(std::string("format_name=") + format), std::string::npos) << probe;
    EXPECT_NE(probe.find(brand), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, RecordContainer,
    ::testing::Values(std::array<const char*, 3>{"c.mp4", "mov,mp4", "isom"},
                      std::array<const char*, 3>{"c.MOV", "mov,mp4", "qt"},
                      std::array<const char*, 3>{"c.mkv", "matroska", "codec_name=h264"}),
    [](const auto& p) { return std::string(std::strchr(p.param[0], '.') + 1); });

// Leftovers of a recording in a folder and the folders below: temporary folders and files.
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".tilsen-record-", 0) == 0 ||
            (name[0] == '.' && (name.find(".wav.") != std::string::npos ||
                                name.find(".tmp-") != std::string::npos))) {
            found.push_back(name);
        }
    }
    return found;
}

const std::string kOldBytes = "the user's own file, not to be lost";

fs::path oldFile(const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    const fs::path file = folder / name;
    std::ofstream(file, std::ios::binary) << kOldBytes;
    return file;
}

// A recording that fails keeps the file it was to replace and leaves nothing beside it.
class FailedRecording : public RecordEndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(FailedRecording, KeepsTheOldFile) {
    const fs::path folder = root / (std::string("fail-") + (GetParam()[1] == 'w' ? "wav" : "mp4"));
    const fs::path keep = oldFile(folder, GetParam()[1] == 'w' ? "keep.wav" : "keep.mp4");
    const fs::path empty = root / "no-music";
    fs::create_directories(empty);
    const std::string args = (GetParam()[1] == 'w' ? "--wav " : "") + keep.string();
    const int status = std::system(
        (recorder() + " --data " + empty.string() + " " + args + " 2>" + (folder / "log").string())
            .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(text(folder / "log").find("music.xm"), std::string::npos) << text(folder / "log");
    EXPECT_EQ(text(keep), kOldBytes);
    EXPECT_TRUE(leftovers(folder).empty());
}

INSTANTIATE_TEST_SUITE_P(Outputs, FailedRecording, ::testing::Values("-video", "-wav"),
                         [](const auto& p) { return std::string(p.param + 1); });

TEST_F(RecordEndToEnd, AFullDiskWhileWritingTheWavNamesTheFileAndTheReason) {
    const fs::path folder = root / "full";
    const fs::path wav = oldFile(folder, "big.wav");
    // 64 blocks of file size: the sound of 2 s does not fit.
    const std::string cmd = "ulimit -f 64; " + recorder() + " --data " + (root / "data").string() +
                            " --seconds 2 --wav " + wav.string() + " 2>" +
                            (folder / "log").string();
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string log = text(folder / "log");
    EXPECT_NE(log.find("cannot write " + wav.string() + ": " + std::strerror(EFBIG)),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("decode"), std::string::npos) << log;
    EXPECT_EQ(text(wav), kOldBytes);
    EXPECT_TRUE(leftovers(folder).empty());
}

pid_t spawnRecorder(const std::string& args, const fs::path& log) {
    const std::string cmd = "exec " + recorder() + " " + args + " 2>" + log.string();
    const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return -1;
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
    }
    return status;
}

// A stop signal mid-recording ends the recorder by that signal, with the temporary
// folder and the partial video gone and the old output as it was.
class StopSignal : public RecordVideo, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignal, RemovesThePartialVideoAndKeepsTheOldFile) {
    const fs::path folder = root / ("signal-" + std::to_string(GetParam()));
    const fs::path keep = oldFile(folder, "keep.mp4");
    // Large PNG frames make the recording slow enough to be caught in the middle.
    const pid_t pid = spawnRecorder("--data " + (root / "data").string() + " --scale 8 --png " +
                                        (folder / "frames").string() + " " + keep.string(),
                                    folder / "log");
    ASSERT_GT(pid, 0);
    bool recording = false;
    for (int32_t i = 0; i < 600 && !recording; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        recording = text(folder / "log").find("scene 2/8") != std::string::npos;
    }
    ASSERT_TRUE(recording) << text(folder / "log");
    kill(pid, GetParam());
    const int status = waitFor(pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << "\n" << text(folder / "log");
    EXPECT_EQ(WTERMSIG(status), GetParam());
    EXPECT_EQ(text(keep), kOldBytes);
    EXPECT_TRUE(leftovers(folder).empty()) << leftovers(folder)[0];
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& p) {
                             return std::string(p.param == SIGTERM ? "SIGTERM" : "SIGINT");
                         });

TEST_F(RecordVideo, TwoRecordersOnOneOutputLeaveOneWholeRecording) {
    const fs::path folder = root / "race";
    const fs::path out = oldFile(folder, "same.mp4");
    const std::string args =
        "--data " + (root / "data").string() + " --scale 1 --seconds 3 " + out.string();
    const pid_t a = spawnRecorder(args, folder / "a.log");
    const pid_t b = spawnRecorder(args, folder / "b.log");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(waitFor(a), 0) << text(folder / "a.log");
    EXPECT_EQ(waitFor(b), 0) << text(folder / "b.log");
    EXPECT_EQ(run("ffmpeg -v error -i " + out.string() + " -f null - 2>&1"), "");
    const std::vector<uint8_t> frames = decode(out, "fps=60,crop=2:2:0:0");
    EXPECT_EQ(frames.size(), 180u * 12);
    EXPECT_TRUE(leftovers(folder).empty());
}

// Usage: help on standard output with status 0; wrong usage names what is wrong on
// standard error, with the usage, and status 2; nothing is recorded.
struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* out;   // expected on standard output
    const char* error; // expected on standard error
};

class RecordUsage : public RecordEndToEnd, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(RecordUsage, AnswersWithTheRightStreamAndStatus) {
    const UsageCase& c = GetParam();
    std::string args;
    for (const std::string& a : c.args) {
        args += " '" + a + "'";
    }
    const fs::path out = root / "usage.out";
    const fs::path err = root / "usage.err";
    const int status =
        std::system((recorder() + args + " >" + out.string() + " 2>" + err.string()).c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status) << text(err);
    const std::string stdoutText = text(out);
    const std::string stderrText = text(err);
    EXPECT_NE(stdoutText.find(c.out), std::string::npos) << stdoutText;
    EXPECT_NE(stderrText.find(c.error), std::string::npos) << stderrText;
    if (c.status == 0) {
        EXPECT_EQ(stderrText, "");
    } else {
        EXPECT_EQ(stdoutText, "");
        EXPECT_NE(stderrText.find("--seconds"), std::string::npos) << "no usage in\n" << stderrText;
    }
}

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordUsage,
    ::testing::Values(UsageCase{"help", {"--help"}, 0, "--lossless", ""},
                      UsageCase{"h", {"-h"}, 0, "OUTPUT", ""},
                      UsageCase{"nothing", {}, 2, "", "nothing to write"},
                      UsageCase{"avi", {"show.avi"}, 2, "", ".mp4, .mov or .mkv"},
                      UsageCase{"losslessMp4", {"--lossless", "show.mp4"}, 2, "", ".mkv"},
                      UsageCase{"negativeFps", {"--fps", "-3", "show.mp4"}, 2, "", "--fps"},
                      UsageCase{"largeScale", {"--scale", "99", "show.mp4"}, 2, "", "'99'"},
                      // The same reading and words as mvz render --scale.
                      UsageCase{"hexScale",
                                {"--scale", "0x3", "show.mp4"},
                                2,
                                "",
                                "--scale: '0x3' is not a whole number from 1 to 12"},
                      UsageCase{"spacedScale",
                                {"--scale", " 3", "show.mp4"},
                                2,
                                "",
                                "--scale: ' 3' is not a whole number from 1 to 12"},
                      UsageCase{"wordSeconds", {"--seconds", "soon", "show.mp4"}, 2, "", "'soon'"},
                      UsageCase{"unknownOption", {"--colour", "show.mp4"}, 2, "", "--colour"}),
    [](const ::testing::TestParamInfo<UsageCase>& c) { return std::string(c.param.name); });

TEST_F(RecordEndToEnd, AnOutputThatCannotBeWrittenFailsBeforeRecording) {
    fs::create_directories(root / "folder.mp4");
    for (const std::string& target :
         {(root / "folder.mp4").string(), (root / "missing" / "x.mp4").string()}) {
        const std::string out = run(recorder() + " --data " + (root / "data").string() + " " +
                                    target + " 2>&1; echo status $?");
        EXPECT_NE(out.find("cannot write the video " + target), std::string::npos) << out;
        EXPECT_EQ(out.find("scene"), std::string::npos) << "recorded first:\n" << out;
        EXPECT_NE(out.find("status 1"), std::string::npos) << out;
    }
}

// A stand-in for ffmpeg: a shell script named ffmpeg, alone in a folder put first on PATH.
// Its last argument is the file ffmpeg would write (the video's temporary file).
std::string withFakeFfmpeg(const fs::path& folder, const std::string& body) {
    fs::create_directories(folder / "bin");
    const fs::path script = folder / "bin" / "ffmpeg";
    std::ofstream(script) << "#!/bin/sh\nfor last; do :; done\n" << body << "\n";
    fs::permissions(script, fs::perms::owner_all);
    return "PATH=" + (folder / "bin").string() + ":/usr/bin:/bin; export PATH; ";
}

pid_t spawnShell(const std::string& cmd) {
    const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return -1;
    }
    return pid;
}

// Waits for a file to appear; false when it has not after a generous while.
bool appears(const fs::path& file) {
    for (int32_t i = 0; i < 1200 && !fs::exists(file); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(file);
}

// The wait status of pid once it ends, or -1 (after killing it) when it has not ended
// within a generous bound: a recorder that does not stop on a signal must not hang the suite.
int endsOnItsOwn(pid_t pid) {
    for (int32_t i = 0; i < 400; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitFor(pid);
    return -1;
}

// One SIGTERM stops a recorder whose ffmpeg has stopped reading, though the signal cuts a
// picture's write short (the pipe takes part of it): the rest is not written on. Before a
// stop, the display reports the signal as a waiting quit key, so the show ends mid-frame.
TEST_F(RecordEndToEnd, OneSignalStopsARecorderWhoseFfmpegStoppedReading) {
    const fs::path folder = root / "blocked";
    const fs::path keep = oldFile(folder, "keep.mkv");
    const std::string path =
        withFakeFfmpeg(folder, "touch \"$(dirname \"$last\")/started\"\nexec sleep 30");
    const pid_t pid =
        spawnShell(path + "exec " + recorder() + " --data " + (root / "data").string() +
                   " --scale 1 --seconds 4 " + keep.string() + " 2>" + (folder / "log").string());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(appears(folder / "started")) << text(folder / "log");
    // Time for the recorder to fill the pipe and wait in a write.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGTERM);
    const int status = endsOnItsOwn(pid);
    ASSERT_NE(status, -1) << "one SIGTERM did not stop the recorder\n" << text(folder / "log");
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status << "\n" << text(folder / "log");
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(text(keep), kOldBytes);
    EXPECT_TRUE(leftovers(folder).empty());
}

// Started under nohup (SIGHUP ignored), a hangup does not end the recording.
TEST_F(RecordEndToEnd, AnIgnoredHangupStaysIgnored) {
    const fs::path folder = root / "nohup";
    fs::create_directories(folder);
    const fs::path out = folder / "show.mkv";
    // ffmpeg waits before it reads, so the hangup surely comes mid-recording.
    const std::string path = withFakeFfmpeg(
        folder, "touch \"$(dirname \"$last\")/started\"\nsleep 1\nexec cat >\"$last\"");
    const pid_t pid = spawnShell(path + "trap '' HUP; exec " + recorder() + " --data " +
                                 (root / "data").string() + " --scale 1 --seconds 2 " +
                                 out.string() + " 2>" + (folder / "log").string());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(appears(folder / "started")) << text(folder / "log");
    kill(pid, SIGHUP);
    const int status = endsOnItsOwn(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << text(folder / "log");
    EXPECT_EQ(WEXITSTATUS(status), 0) << text(folder / "log");
    EXPECT_GT(fs::file_size(out), 0u);
}

// A recorder started with its standard streams closed, as a service may be: ffmpeg still
// gets the stream on its standard input (a Matroska stream starts with 1A 45 DF A3).
TEST_F(RecordEndToEnd, ClosedStandardStreamsStillRecord) {
    const fs::path folder = root / "closed";
    fs::create_directories(folder);
    const fs::path out = folder / "show.mkv";
    const std::string path = withFakeFfmpeg(folder, "exec cat >\"$last\"");
    const std::string log = " 2>" + (folder / "log").string();
    for (const std::string& closing :
         std::vector<std::string>{"<&-" + log, "<&- >&-" + log, "<&- >&- 2>&-"}) {
        fs::remove(out);
        const int status = std::system((path + recorder() + " --data " + (root / "data").string() +
                                        " --scale 1 --seconds 1 " + out.string() + " " + closing)
                                           .c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << closing;
        const std::vector<uint8_t> bytes = readFile(out);
        ASSERT_GE(bytes.size(), 4u) << closing;
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
                  (std::vector<uint8_t>{0x1a, 0x45, 0xdf, 0xa3}))
            << closing;
    }
}

// An ffmpeg that fails in any way: the message says how, the status is 1, and neither the
// old video nor the old WAV (recorded beside it) is replaced.
struct FfmpegCase {
    const char* name;
    const char* script; // the fake ffmpeg's body; "!" for a file that is no program at all
    const char* message;
};

void PrintTo(const FfmpegCase& c, std::ostream* os) {
    *os << c.name;
}

class FfmpegFailure : public RecordEndToEnd, public ::testing::WithParamInterface<FfmpegCase> {};

TEST_P(FfmpegFailure, SaysWhatHappenedAndKeepsEveryOldFile) {
    const FfmpegCase& c = GetParam();
    const fs::path folder = root / (std::string("ffmpeg-") + c.name);
    const fs::path video = oldFile(folder, "keep.mp4");
    const fs::path wav = oldFile(folder, "keep.wav");
    std::string path = withFakeFfmpeg(folder, c.script);
    if (std::string(c.script) == "!") {
        std::ofstream(folder / "bin" / "ffmpeg") << "this is not a program\n";
    }
    const int status = std::system((path + recorder() + " --data " + (root / "data").string() +
                                    " --scale 1 --seconds 1 --wav " + wav.string() + " " +
                                    video.string() + " 2>" + (folder / "log").string())
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string log = text(folder / "log");
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_EQ(text(video), kOldBytes);
    EXPECT_EQ(text(wav), kOldBytes);
    EXPECT_TRUE(leftovers(folder).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FfmpegFailure,
    ::testing::Values(FfmpegCase{"killed", "kill -KILL $$",
                                 "ffmpeg was ended by signal 9 (Killed) while encoding"},
                      FfmpegCase{"failsAtTheEnd", "cat >/dev/null\nexit 3",
                                 "ffmpeg exited with status 3 while encoding"},
                      FfmpegCase{"writesNothing", "cat >/dev/null",
                                 "ffmpeg exited with status 0 but wrote nothing"},
                      FfmpegCase{"noProgram", "!", "/ffmpeg: Exec format error"}),
    [](const ::testing::TestParamInfo<FfmpegCase>& c) { return std::string(c.param.name); });

// An output that is one of the show's files or the other output is refused before
// anything is written, naming it; a link to an input counts as that input.
TEST_F(RecordEndToEnd, AnOutputThatIsAnInputIsRefused) {
    const fs::path folder = root / "same";
    fs::create_directories(folder);
    const fs::path music = root / "data" / "music.xm";
    const std::vector<uint8_t> before = readFile(music);
    fs::create_symlink(music, folder / "link.wav");
    const std::string path = withFakeFfmpeg(folder, "exec cat >\"$last\"");
    const std::string mkv = (folder / "x.mkv").string();
    for (const auto& [args, named] :
         {std::pair{"--wav " + music.string(), music.string()},
          std::pair{"--wav " + (folder / "link.wav").string(), (folder / "link.wav").string()},
          std::pair{"--wav " + mkv + " " + mkv, mkv}}) {
        const std::string out = run(path + recorder() + " --data " + (root / "data").string() +
                                    " --seconds 1 " + args + " 2>&1; echo status $?");
        EXPECT_NE(out.find(named), std::string::npos) << out;
        EXPECT_EQ(out.find("scene"), std::string::npos) << "recorded first:\n" << out;
        EXPECT_NE(out.find("status 1"), std::string::npos) << out;
    }
    EXPECT_EQ(readFile(music), before);
    EXPECT_FALSE(fs::exists(mkv));
    EXPECT_TRUE(leftovers(folder).empty());
}

// --png into a folder of older frames leaves only this recording's frames (and the files
// that are no frames), as mvz render does.
TEST_F(RecordEndToEnd, PngFramesReplaceTheFramesOfAnEarlierRecording) {
    const fs::path folder = root / "reframe";
    fs::create_directories(folder);
    for (const char* old : {"frame000999.png", "frame_0003.png", "frame000001.png", "notes.txt"}) {
        std::ofstream(folder / old) << "old";
    }
    ASSERT_EQ(std::system((recorder() + " --data " + (root / "data").string() +
                           " --scale 1 --seconds 1 --fps 25 --png " + folder.string() + " 2>" +
                           (root / "reframe.log").string())
                              .c_str()),
              0);
    EXPECT_EQ(frameCount("reframe"), 26u); // 25 frames and notes.txt
    EXPECT_FALSE(fs::exists(folder / "frame000999.png"));
    EXPECT_FALSE(fs::exists(folder / "frame_0003.png"));
    EXPECT_EQ(text(folder / "notes.txt"), "old");
    EXPECT_GT(fs::file_size(folder / "frame000001.png"), 3u);
}

// A frame that cannot be written is named with the system's reason for it, and the older
// frame of that name stays.
TEST_F(RecordEndToEnd, AFrameThatCannotBeWrittenIsNamedWithItsReason) {
    const fs::path folder = root / "fullframes";
    fs::create_directories(folder);
    std::ofstream(folder / "frame000000.png") << "old";
    // No file may grow under the limit, the log included: it goes through a pipe.
    const std::string log =
        run("(ulimit -f 0; " + recorder() + " --data " + (root / "data").string() +
            " --scale 1 --seconds 1 --png " + folder.string() + "; echo status $?) 2>&1 | cat");
    EXPECT_NE(log.find("status 1"), std::string::npos) << log;
    EXPECT_NE(log.find((folder / "frame000000.png").string() + ": " + std::strerror(EFBIG)),
              std::string::npos)
        << log;
    EXPECT_EQ(text(folder / "frame000000.png"), "old");
    EXPECT_TRUE(leftovers(folder).empty());
}

// A new WAV gets the mode the umask gives new files; a WAV named through a symbolic link
// is written where the link points (even where nothing is yet), and the link stays.
TEST_F(RecordEndToEnd, TheWavFollowsTheUmaskAndSymbolicLinks) {
    const fs::path folder = root / "modes";
    fs::create_directories(folder / "real");
    const fs::path old = oldFile(folder / "real", "old.wav");
    fs::create_symlink(old, folder / "old-link.wav");
    fs::create_symlink(folder / "real" / "new.wav", folder / "new-link.wav");
    for (const char* name : {"plain.wav", "old-link.wav", "new-link.wav"}) {
        const int status = std::system(
            ("umask 027; " + recorder() + " --data " + (root / "data").string() +
             " --seconds 1 --wav " + (folder / name).string() + " 2>" + (folder / "log").string())
                .c_str());
        ASSERT_EQ(status, 0) << name << ": " << text(folder / "log");
    }
    struct stat info {};
    ASSERT_EQ(stat((folder / "plain.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    for (const char* link : {"old-link.wav", "new-link.wav"}) {
        EXPECT_TRUE(fs::is_symlink(folder / link)) << link;
    }
    EXPECT_EQ(fs::file_size(folder / "real" / "old.wav"), 44u + kRate * 4u);
    EXPECT_EQ(fs::file_size(folder / "real" / "new.wav"), 44u + kRate * 4u);
    EXPECT_TRUE(leftovers(folder).empty());
}

} // namespace
