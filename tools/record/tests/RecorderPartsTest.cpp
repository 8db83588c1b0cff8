// The recorder's parts: virtual music time under the show's clock, the choice of the
// surface each video frame shows, the volume changes in the rendered sound, the WAV
// header and the command line.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "FrameRepeater.h"
#include "FrameSampler.h"
#include "MatroskaStream.h"
#include "RecordOptions.h"
#include "RecordingDisplay.h"
#include "RecordingMusic.h"
#include "StopSignal.h"
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

class CapturingSink final : public FrameSink {
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
    FrameSampler sampler{60, 1, 1};
    CapturingSink sink;
    FrameRepeater repeater{sink, 1, 1, 1, 1};
    void SetUp() override { sampler.addSink(repeater); }
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
    FrameSampler sampler(1000, Show::kWidth, Show::kHeight);
    CapturingSink sink;
    FrameRepeater repeater(sink, Show::kWidth, Show::kHeight, 320, 240);
    sampler.addSink(repeater);
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

// Refuses every picture, as a full disk or an encoder that died does.
class RefusingPictures final : public PictureSink {
public:
    bool show(const uint32_t*, uint64_t) override { return false; }
    bool end(uint64_t) override { return false; }
};

TEST(RecordingDisplay, GivesEscapeOnceASinkFailed) {
    VirtualPlayTime time;
    FrameSampler sampler(1000, Show::kWidth, Show::kHeight);
    RefusingPictures sink;
    sampler.addSink(sink);
    RecordingDisplay display(time, &sampler, RecordingDisplay::kNoLimit);
    display.open();
    time.playTime();
    EXPECT_EQ(display.readKey(), 0);
    EXPECT_FALSE(display.keyWaiting(Show::kEscape));
    display.present();
    time.playTime();
    time.playTime();
    display.lock()[0] = 0x123456; // frame 0 is handed on when a new picture comes
    display.present();
    // Waiting as well, so that a frame being drawn is cut short.
    EXPECT_TRUE(display.keyWaiting(Show::kEscape));
    EXPECT_FALSE(display.keyWaiting(Show::kQuitKey));
    EXPECT_EQ(display.readKey(), Show::kEscape);
}

// A stop signal is a waiting Escape at once, mid-frame; an ignored signal is none. (In a
// child process: the signal stays noted for the rest of the process.)
TEST(RecordingDisplayDeathTest, ReportsAStopSignalAsAWaitingEscape) {
    const auto escapeAfter = [](int signalNumber, bool ignored) {
        if (ignored) {
            std::signal(signalNumber, SIG_IGN);
        }
        installStopSignals();
        VirtualPlayTime time;
        RecordingDisplay display(time, nullptr, RecordingDisplay::kNoLimit);
        display.open();
        const bool before = display.keyWaiting(Show::kEscape);
        std::raise(signalNumber);
        std::exit(!before && display.keyWaiting(Show::kEscape) ? 0 : 3);
    };
    EXPECT_EXIT(escapeAfter(SIGTERM, false), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(escapeAfter(SIGHUP, true), ::testing::ExitedWithCode(3), "");
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
    o = parse({"--lossless", "m.MKV", "--png", "p"}, &error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(o.lossless);
    EXPECT_EQ(o.container, Container::mkv);
    o = parse({"--sharp", "--scale", "12", "show.mp4"}, &error);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(o.sharp);
    EXPECT_EQ(o.scale, 12);
    // Leading zeros are decimal, not octal.
    o = parse({"--fps", "010", "show.mp4"}, &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(o.fps, 10);
}

TEST(RecordOptions, BadValuesAreErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--fps", "0", "a.mp4"},
                                               {"--fps", "61x", "a.mp4"},
                                               {"--scale", "13", "a.mp4"},
                                               {"--scale", "0", "--sharp", "a.mp4"},
                                               {"--scale", "a.mp4"},
                                               {"--scale", "3.5", "a.mp4"},
                                               {"--scale", "+3", "a.mp4"},
                                               {"--fps", " 25", "a.mp4"},
                                               {"--fps", "0x19", "a.mp4"},
                                               {"--seconds", "-1", "a.mp4"},
                                               {"--seconds", "nan", "a.mp4"},
                                               {"--seconds", "1e9", "a.mp4"},
                                               {"a.mp4", "b.mp4"},
                                               {"--colour", "a.mp4"},
                                               {"a.mp4", "--wav"},
                                               {"a.avi"},
                                               {"--lossless", "a.mp4"},
                                               {"--lossless", "--wav", "a.wav"},
                                               {"--seconds", "0.0001", "a.mp4"},
                                               {""}}) {
        std::string error;
        parse(args, &error);
        EXPECT_NE(error, "") << ::testing::PrintToString(args);
    }
}

// Records what the sampler hands on: (colour, first frame) per picture, and the end.
class PictureLog final : public PictureSink {
public:
    bool show(const uint32_t* surface, uint64_t firstFrame) override {
        pictures.emplace_back(surface[0] & 0xffffffu, firstFrame);
        return true;
    }
    bool end(uint64_t frameCount) override {
        ends.push_back(frameCount);
        return true;
    }
    std::vector<std::pair<uint32_t, uint64_t>> pictures;
    std::vector<uint64_t> ends;
};

TEST(FrameSampler, HandsOnEachSeenPictureOnceWithItsFirstFrame) {
    FrameSampler sampler(60, 1, 1);
    PictureLog log;
    sampler.addSink(log);
    auto present = [&](uint32_t colour, uint32_t ms) { sampler.present(&colour, ms); };
    present(0x000001, 10);  // frame 1; frame 0 stays black
    present(0x000001, 16);  // the same picture again: nothing new
    present(0x000002, 40);  // frame 3 ...
    present(0x000003, 45);  // ... replaced within frame 3: 2 is never seen
    present(0x000004, 100); // frame 6, exactly on its instant
    sampler.finish(101);    // 7 frames
    const std::vector<std::pair<uint32_t, uint64_t>> expected = {
        {0x000000, 0}, {0x000001, 1}, {0x000003, 3}, {0x000004, 6}};
    EXPECT_EQ(log.pictures, expected);
    EXPECT_EQ(log.ends, (std::vector<uint64_t>{7}));
    EXPECT_EQ(sampler.framesWritten(), 7u);
}

TEST(FrameSampler, APictureFromTheEndOnIsNeverHandedOn) {
    FrameSampler sampler(60, 1, 1);
    PictureLog log;
    sampler.addSink(log);
    const uint32_t colour = 5;
    sampler.present(&colour, 50); // frame 3 = the end
    sampler.finish(50);
    EXPECT_EQ(log.pictures, (std::vector<std::pair<uint32_t, uint64_t>>{{0, 0}}));
    EXPECT_EQ(log.ends, (std::vector<uint64_t>{3}));
}

std::vector<uint8_t> streamBytes(const std::function<void(MatroskaStream&)>& write) {
    std::vector<uint8_t> bytes;
    MatroskaStream stream([&](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return true;
    });
    write(stream);
    return bytes;
}

TEST(MatroskaStream, ASoundBlockSitsInAClusterOfItsOwnAtItsTime) {
    std::vector<uint8_t> header;
    const std::vector<uint8_t> bytes = streamBytes([&](MatroskaStream& s) {
        ASSERT_TRUE(s.writeHeader(2, 1, 5, 6, 48000, 2));
        const int16_t samples[2] = {0x0102, -2};
        ASSERT_TRUE(s.writeSound(samples, 1, 5));
    });
    // Cluster: 17 bytes of time element, the block's id, size and 4 + 4 bytes.
    const std::vector<uint8_t> cluster = {
        0x1F, 0x43, 0xB6, 0x75, 0x01, 0, 0, 0, 0, 0, 0, 34,                // cluster, size 34
        0xE7, 0x01, 0,    0,    0,    0, 0, 0, 8, 0, 0, 0,  0, 0, 0, 0, 5, // time 5 us
        0xA3, 0x01, 0,    0,    0,    0, 0, 0, 8,                          // simple block, size 8
        0x82, 0,    0,    0x80,                                            // track 2, offset 0, key
        0x02, 0x01, 0xFE, 0xFF};                                           // little-endian samples
    ASSERT_GT(bytes.size(), cluster.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
              (std::vector<uint8_t>{0x1A, 0x45, 0xDF, 0xA3}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - static_cast<std::ptrdiff_t>(cluster.size()),
                                   bytes.end()),
              cluster);
}

TEST(MatroskaStream, PicturesAreWholeAndSoundNeedsItsTrack) {
    const uint32_t pixels[2] = {0x00112233, 0xff445566};
    const std::vector<uint8_t> bytes = streamBytes([&](MatroskaStream& s) {
        ASSERT_TRUE(s.writeHeader(2, 1, 1, 1, 0, 0));
        const int16_t samples[2] = {1, 2};
        EXPECT_FALSE(s.writeSound(samples, 1, 0)) << "no sound track was declared";
        ASSERT_TRUE(s.writePicture(pixels, 1000));
    });
    // The picture's 8 bytes end the stream, after its block's track 1 head.
    const std::vector<uint8_t> tail = {0x81, 0,    0,    0x80, 0x33, 0x22,
                                       0x11, 0x00, 0x66, 0x55, 0x44, 0xff};
    EXPECT_EQ(
        std::vector<uint8_t>(bytes.end() - static_cast<std::ptrdiff_t>(tail.size()), bytes.end()),
        tail);
    EXPECT_FALSE(streamBytes([](MatroskaStream& s) {
                     EXPECT_FALSE(s.writeHeader(0, 1, 1, 1, 0, 0));
                 }).size() > 0);
}

TEST(WavWriter, AFullDiskIsReportedWithTheSystemsReason) {
    WavWriter wav;
    ASSERT_TRUE(wav.open("/dev/full", 48000, 2)); // the header waits in the buffer
    std::vector<int16_t> samples(48000 * 2, 7);
    wav.write(samples.data(), 48000);
    EXPECT_FALSE(wav.close());
    EXPECT_EQ(wav.error(), std::strerror(ENOSPC));
}

TEST(ContainerFor, TheExtensionChoosesInAnyCase) {
    EXPECT_EQ(containerFor("a/show.mp4"), Container::mp4);
    EXPECT_EQ(containerFor("show.MOV"), Container::mov);
    EXPECT_EQ(containerFor("x.y.mkv"), Container::mkv);
    EXPECT_EQ(containerFor("show.avi"), Container::none);
    EXPECT_EQ(containerFor("mp4"), Container::none);
    EXPECT_EQ(containerFor("dir.mp4/show"), Container::none);
}

} // namespace
