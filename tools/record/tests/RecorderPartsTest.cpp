// The recorder's parts: virtual music time under the show's clock, the choice of the
// surface each video frame shows, the volume changes in the rendered sound, the WAV
// header and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "FrameSampler.h"
#include "RecordOptions.h"
#include "RecordingDisplay.h"
#include "RecordingMusic.h"
#include "TestTune.h"
#include "VirtualPlayTime.h"
#include "WavWriter.h"
#include "XmWriter.h"
#include "driver/MusicClock.h"
#include "driver/Show.h"
#include "platform/ModuleLibrary.h"

namespace {

TEST(VirtualClock, EveryWaitEndsOnItsTickBoundaryWithNothingMissed) {
    VirtualPlayTime time;
    MusicClock clock(time, time);
    clock.setTickLength(66);
    clock.resetClock();
    EXPECT_EQ(time.now(), 0u);
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(time.now(), 66u);
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(time.now(), 132u);
    clock.setTickLength(16); // from the current tick's end on
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(time.now(), 148u);
    clock.setTickLength(100);
    EXPECT_EQ(clock.waitNextTick(), 0);
    EXPECT_EQ(time.now(), 248u);
}

class CapturingSink : public FrameSink {
public:
    bool writeFrame(const uint32_t* pixels, int32_t width, int32_t height) override {
        frames.emplace_back(pixels, pixels + width * height);
        return !failing;
    }
    std::vector<std::vector<uint32_t>> frames;
    bool failing = false;
};

// One-pixel surfaces scaled 1:1, so each frame is the presented colour made opaque.
struct Sampler60 : ::testing::Test {
    FrameSampler sampler{60, 1, 1, 1, 1};
    CapturingSink sink;
    void SetUp() override { sampler.addSink(sink); }
    void present(uint32_t colour, uint32_t ms) { sampler.present(&colour, ms); }
    std::vector<uint32_t> colours() const {
        std::vector<uint32_t> out;
        for (const auto& f : sink.frames) {
            out.push_back(f[0]);
        }
        return out;
    }
};

TEST_F(Sampler60, EachFrameShowsTheLastPresentAtOrBeforeItsInstant) {
    // Frames at 0, 16.7, 33.3, 50, 66.7 ms; presents every 16 ms and one exactly at 50.
    present(0x000001, 0);
    present(0x000002, 16);
    present(0x000003, 32);
    present(0x000004, 48);
    present(0x000005, 50);
    present(0x000006, 64);
    sampler.finish(67);
    EXPECT_EQ(colours(),
              (std::vector<uint32_t>{0xff000001, 0xff000002, 0xff000003, 0xff000005, 0xff000006}));
    EXPECT_EQ(sampler.framesWritten(), 5u);
}

TEST_F(Sampler60, FramesBeforeTheFirstPresentAreBlackAndTheEndIsExclusive) {
    present(0x00ff00, 40);
    sampler.finish(50); // the frame at exactly 50 ms lies past the end
    EXPECT_EQ(colours(), (std::vector<uint32_t>{0xff000000, 0xff000000, 0xff000000}));
    sampler.finish(51);
    EXPECT_EQ(colours().back(), 0xff00ff00u);
}

TEST_F(Sampler60, ASurfaceThatDiffersOnlyInItsTopByteIsTheSamePicture) {
    present(0x00123456, 0);
    present(0xff123456, 10);
    present(0x00654321, 20);
    sampler.finish(34);
    EXPECT_EQ(colours(), (std::vector<uint32_t>{0xff123456, 0xff123456, 0xff654321}));
}

TEST_F(Sampler60, AFailingSinkIsReported) {
    sink.failing = true;
    present(1, 0);
    sampler.finish(20);
    EXPECT_FALSE(sampler.ok());
}

TEST(FramesBefore, CountsFramesStartingBeforeTheInstant) {
    EXPECT_EQ(FrameSampler::framesBefore(0, 60), 0u);
    EXPECT_EQ(FrameSampler::framesBefore(1, 60), 1u);
    EXPECT_EQ(FrameSampler::framesBefore(1000, 60), 60u);
    EXPECT_EQ(FrameSampler::framesBefore(1001, 60), 61u);
    // 4294967295 * 240 = 1030792150800, over 32 bits; / 1000 rounded up.
    EXPECT_EQ(FrameSampler::framesBefore(UINT32_MAX, 240), 1030792151u);
}

TEST(RecordingDisplay, GivesEscapeFromTheLimitOnAndSamplesNothingPastIt) {
    VirtualPlayTime time;
    FrameSampler sampler(1000, Show::kWidth, Show::kHeight, 320, 240);
    CapturingSink sink;
    sampler.addSink(sink);
    RecordingDisplay display(time, &sampler, 3);
    display.open();
    time.playTime(); // now 0
    EXPECT_EQ(display.readKey(), 0);
    display.present();
    time.playTime();
    time.playTime();
    time.playTime(); // now 3
    EXPECT_EQ(display.readKey(), Show::kEscape);
    display.present();
    sampler.finish(3);
    EXPECT_EQ(sink.frames.size(), 3u);
    EXPECT_EQ(display.presents, 2u);
}

TEST(RecordingDisplay, GivesEscapeOnceASinkFailed) {
    VirtualPlayTime time;
    FrameSampler sampler(1000, Show::kWidth, Show::kHeight, 320, 240);
    CapturingSink sink;
    sink.failing = true;
    sampler.addSink(sink);
    RecordingDisplay display(time, &sampler, RecordingDisplay::kNoLimit);
    display.open();
    time.playTime();
    EXPECT_EQ(display.readKey(), 0);
    display.present();
    time.playTime();
    time.playTime(); // frame 0 is written at the next present
    display.present();
    EXPECT_EQ(display.readKey(), Show::kEscape);
}

std::vector<int16_t> render(const std::vector<VolumeChange>& changes, uint64_t frames) {
    std::vector<int16_t> out;
    const bool ok = renderAudio(writeXm(makeTestTune()), changes, frames, 48000,
                                [&](const int16_t* s, size_t n) {
                                    out.insert(out.end(), s, s + 2 * n);
                                    return true;
                                });
    EXPECT_TRUE(ok);
    return out;
}

TEST(RenderAudio, VolumeChangesApplyFromTheSampleOfTheirMusicTime) {
    const std::vector<int16_t> full = render({}, 9600);
    // 10 ms is sample frame 480 at 48 kHz, 20 ms frame 960.
    const std::vector<int16_t> faded = render({{10, 128}, {20, 0}}, 9600);
    ASSERT_EQ(full.size(), 19200u);
    ASSERT_EQ(faded.size(), 19200u);
    int32_t loudest = 0;
    for (size_t i = 0; i < full.size(); ++i) {
        const int32_t expected = i < 960 ? full[i] : i < 1920 ? full[i] * 128 / 256 : 0;
        ASSERT_EQ(faded[i], expected) << "sample " << i;
        loudest = std::max(loudest, std::abs(static_cast<int32_t>(full[i])));
    }
    EXPECT_GT(loudest, 1000);
    EXPECT_EQ(render({}, 9600), full) << "two renders differ";
}

TEST(RenderAudio, GarbageIsNotAModule) {
    const std::vector<uint8_t> garbage(100, 0x5a);
    EXPECT_FALSE(renderAudio(garbage, {}, 10, 48000, [](const int16_t*, size_t) { return true; }));
}

TEST(WavWriter, HeaderGivesRateLayoutAndSizes) {
    const auto file = std::filesystem::temp_directory_path() / "tilsen-wav-test.wav";
    WavWriter wav;
    ASSERT_TRUE(wav.open(file.string(), 48000, 2));
    const int16_t samples[4] = {1, -1, 0x1234, -2};
    ASSERT_TRUE(wav.write(samples, 2));
    ASSERT_TRUE(wav.close());
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
    std::filesystem::remove(file);
    const std::vector<uint8_t> expected = {
        'R',  'I',  'F',  'F',  44,   0,    0,    0,   'W', 'A', 'V', 'E',
        'f',  'm',  't',  ' ',  16,   0,    0,    0,   1,   0,   2,   0, // PCM, stereo
        0x80, 0xbb, 0,    0,    0x00, 0xee, 2,    0,                     // 48000 Hz, 192000 bytes/s
        4,    0,    16,   0,    'd',  'a',  't',  'a', 8,   0,   0,   0,
        1,    0,    0xff, 0xff, 0x34, 0x12, 0xfe, 0xff};
    EXPECT_EQ(b, expected);
}

TEST(WavWriter, UncreatableFileFails) {
    WavWriter wav;
    EXPECT_FALSE(wav.open("/nonexistent-dir/x.wav", 48000, 2));
    EXPECT_FALSE(wav.close());
}

RecordOptions parse(std::vector<std::string> args, std::string* error = nullptr) {
    RecordOptions o;
    const std::string e = parseRecordOptions(args, o);
    if (error != nullptr) {
        *error = e;
    }
    return o;
}

TEST(RecordOptions, DefaultsAndValues) {
    std::string error;
    RecordOptions o = parse({"show.mp4"}, &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(o.output, "show.mp4");
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.scale, 3);
    EXPECT_EQ(o.limitMs, RecordOptions::kNoLimit);
    o = parse({"--png", "d", "--wav", "a.wav", "--fps", "25", "--scale", "1", "--seconds", "2.5",
               "--data", "data"},
              &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(o.output, "");
    EXPECT_EQ(o.pngDir, "d");
    EXPECT_EQ(o.wavFile, "a.wav");
    EXPECT_EQ(o.dataDir, "data");
    EXPECT_EQ(o.fps, 25);
    EXPECT_EQ(o.scale, 1);
    EXPECT_EQ(o.limitMs, 2500u);
    EXPECT_FALSE(o.sharp);
    EXPECT_TRUE(parse({"--help"}).help);
    o = parse({"--sharp", "--scale", "12", "show.mp4"}, &error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(o.sharp);
    EXPECT_EQ(o.scale, 12);
}

TEST(RecordOptions, BadValuesAreErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--fps", "0", "a.mp4"},
                                               {"--fps", "61x", "a.mp4"},
                                               {"--scale", "13", "a.mp4"},
                                               {"--scale", "0", "--sharp", "a.mp4"},
                                               {"--scale", "a.mp4"},
                                               {"--seconds", "-1", "a.mp4"},
                                               {"--seconds", "nan", "a.mp4"},
                                               {"--seconds", "1e9", "a.mp4"},
                                               {"a.mp4", "b.mp4"},
                                               {"--colour", "a.mp4"},
                                               {"a.mp4", "--wav"}}) {
        std::string error;
        parse(args, &error);
        EXPECT_NE(error, "") << ::testing::PrintToString(args);
    }
}

} // namespace
