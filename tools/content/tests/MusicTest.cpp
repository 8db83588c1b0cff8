#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <sstream>
#include <vector>

#include "Instruments.h"
#include "Music.h"
#include "Timeline.h"
#include "XmWriter.h"

namespace {
constexpr int32_t kRate = 44100;

std::vector<uint8_t> songBytes() {
    static const std::vector<uint8_t> bytes = writeXm(composeMusic());
    return bytes;
}

// Frequency of the strongest period between 150 and 1500 Hz, by autocorrelation.
double dominantFrequency(const std::vector<float>& s) {
    double best = -1.0;
    int32_t bestLag = 1;
    for (int32_t lag = kRate / 1500; lag <= kRate / 150; ++lag) {
        double sum = 0.0;
        for (size_t i = 0; i + static_cast<size_t>(lag) < s.size(); ++i)
            sum += static_cast<double>(s[i] * s[i + lag]);
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    return static_cast<double>(kRate) / bestLag;
}

double decibels(double power) {
    return 10.0 * std::log10(power);
}

// How one channel sat between the sides over the song: blocks of 1024 frames in which
// it was heard, and of those the ones leaning left or right, by the player's meters.
struct ChannelField {
    float loudest = 0.0f;
    int32_t heard = 0;
    int32_t left = 0;
    int32_t right = 0;
    float widestBalance = 0.0f; // largest |left - right| / (left + right)
};

// The whole song rendered once: mean power of the mid (L+R)/2 and the side (L-R)/2,
// the peak sample, and each channel's place in the field.
struct SongRender {
    double midPower = 0.0;
    double sidePower = 0.0;
    float peak = 0.0f;
    std::vector<ChannelField> channels;
    // Blocks in which the lead and its echo were both heard leaning, on opposite sides
    // of the centre or on the same side.
    int32_t echoOpposite = 0;
    int32_t echoSameSide = 0;
};

constexpr float kHeardVu = 0.02f;
constexpr float kLeaning = 0.1f; // a voice panned 13 of 256 steps off the centre
constexpr int32_t kLeadChannel = 4;
constexpr int32_t kEchoChannel = 9;

// -1 leaning left, +1 leaning right, 0 near the centre or not heard.
int32_t sideOf(float vuLeft, float vuRight) {
    if (vuLeft + vuRight < kHeardVu)
        return 0;
    const float balance = (vuLeft - vuRight) / (vuLeft + vuRight);
    return balance > kLeaning ? -1 : (balance < -kLeaning ? 1 : 0);
}

const SongRender& songRender() {
    static const SongRender rendered = [] {
        openmpt::module mod(songBytes());
        SongRender song;
        song.channels.resize(static_cast<size_t>(mod.get_num_channels()));
        std::vector<float> left(1024);
        std::vector<float> right(1024);
        size_t frames = 0;
        while (const size_t n = mod.read(kRate, left.size(), left.data(), right.data())) {
            frames += n;
            for (size_t i = 0; i < n; ++i) {
                const double l = left[i];
                const double r = right[i];
                song.midPower += (l + r) * (l + r) / 4.0;
                song.sidePower += (l - r) * (l - r) / 4.0;
                song.peak = std::max({song.peak, std::fabs(left[i]), std::fabs(right[i])});
            }
            std::vector<int32_t> sides(song.channels.size());
            for (size_t c = 0; c < song.channels.size(); ++c) {
                const int32_t channel = static_cast<int32_t>(c);
                ChannelField& f = song.channels[c];
                const float vuLeft = mod.get_current_channel_vu_left(channel);
                const float vuRight = mod.get_current_channel_vu_right(channel);
                f.loudest = std::max(f.loudest, mod.get_current_channel_vu_mono(channel));
                sides[c] = sideOf(vuLeft, vuRight);
                if (vuLeft + vuRight < kHeardVu)
                    continue;
                ++f.heard;
                f.left += sides[c] < 0 ? 1 : 0;
                f.right += sides[c] > 0 ? 1 : 0;
                f.widestBalance =
                    std::max(f.widestBalance, std::fabs(vuLeft - vuRight) / (vuLeft + vuRight));
            }
            if (sides.size() > kEchoChannel) {
                const int32_t lead = sides[kLeadChannel];
                const int32_t echo = sides[kEchoChannel];
                song.echoOpposite += lead * echo < 0 ? 1 : 0;
                song.echoSameSide += lead * echo > 0 ? 1 : 0;
            }
        }
        song.midPower /= static_cast<double>(frames);
        song.sidePower /= static_cast<double>(frames);
        return song;
    }();
    return rendered;
}
} // namespace

TEST(Tuning, RelativeNoteAndFinetuneFollowTheRate) {
    XmSample s;
    tuneRate(s, 8363.0 * 2.0); // one octave up: exactly 12 semitones
    EXPECT_EQ(s.relativeNote, 12);
    EXPECT_EQ(s.finetune, 0);
    tuneRate(s, 22050.0); // 12·log2(22050/8363) = 16.784: 17 and -0.216·128 = -28
    EXPECT_EQ(s.relativeNote, 17);
    EXPECT_EQ(s.finetune, -28);
    tuneSample(s, 1.0 / 64.0); // 64 frames per cycle: C4·64 Hz, 12.0187 semitones
    EXPECT_EQ(s.relativeNote, 12);
    EXPECT_EQ(s.finetune, 2);
}

TEST(Tuning, LeadPlaysA4At440Hertz) {
    XmModule m;
    m.channels = 1;
    m.instruments = {makeInstruments()[instrument::kLead - 1]};
    m.instruments[0].vibratoDepth = 0;
    XmPattern p(16, 1);
    p.at(0, 0) = {xmNote(4, 9), 1, 0, 0, 0};
    m.patterns.push_back(p);
    m.orders = {0};
    openmpt::module mod(writeXm(m));
    std::vector<float> s(kRate / 2);
    mod.read(kRate, s.size(), s.data());
    const std::vector<float> steady(s.begin() + kRate / 10, s.end());
    EXPECT_NEAR(dominantFrequency(steady), 440.0, 440.0 * 0.015);
}

TEST(Music, LoadsWithoutComplaintAndFitsInHalfAMegabyte) {
    std::ostringstream log;
    openmpt::module mod(songBytes(), log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(mod.get_metadata("warnings"), "");
    EXPECT_EQ(mod.get_num_channels(), 10);
    EXPECT_LT(songBytes().size(), 500u * 1024u);
}

TEST(Music, LastsAtLeastAsLongAsTheShow) {
    openmpt::module mod(songBytes());
    const double show = timeline::showLengthMs() / 1000.0;
    EXPECT_NEAR(show, 97.33, 0.001); // 9.570 + 4.816 + 19.2 + 32 + 4.816 + 9.616 + 9.616 + 7.696
    EXPECT_GE(mod.get_duration_seconds(), show);
    EXPECT_LT(mod.get_duration_seconds(), show + 10.0);
}

TEST(Music, SceneChangesFallOnBarLines) {
    openmpt::module mod(songBytes());
    // Scene lengths as the show's own scene table makes them: frames shown (end + 1)
    // times the tick length. A change to that table that the music does not follow fails here.
    int32_t start = 0;
    for (int32_t scene = 1; scene <= 8; ++scene) {
        const double bar = mod.set_position_order_row(timeline::kSceneStartBar[scene - 1], 0);
        EXPECT_NEAR(bar * 1000.0, start, 35.0) << "scene " << scene;
        start += timeline::sceneFrames(scene) * static_cast<int32_t>(sceneTiming(scene).tickMs);
    }
}

TEST(Music, EveryChannelIsHeardAndNothingClips) {
    const SongRender& song = songRender();
    EXPECT_LT(song.peak, 0.95f);
    EXPECT_GT(song.peak, 0.25f);
    for (size_t c = 0; c < song.channels.size(); ++c)
        EXPECT_GT(song.channels[c].loudest, 0.05f) << "channel " << c;
}

// The mix as mid and side: wide enough to be stereo, never so wide that the centre (kick,
// snare, bass) loses its hold, and as full in mono as the mix was before it was spread.
TEST(MusicStereo, SideSitsSixToTwentyDecibelsBelowTheMid) {
    const SongRender& song = songRender();
    const double below = decibels(song.midPower) - decibels(song.sidePower);
    EXPECT_GT(below, 6.0);
    EXPECT_LT(below, 20.0);
}

TEST(MusicStereo, MidKeepsTheLevelOfTheMonoMix) {
    // The mid level of the module before it had a stereo arrangement, rendered the same
    // way (44.1 kHz, the player's default settings, the whole song): -20.13 dBFS.
    constexpr double kMonoMixMidDb = -20.13;
    EXPECT_NEAR(decibels(songRender().midPower), kMonoMixMidDb, 1.0);
}

enum class Field : uint8_t { centre, left, right, bothSides };

struct Placement {
    const char* part;
    int32_t channel;
    Field field;
};

void PrintTo(const Placement& p, std::ostream* out) {
    *out << p.part;
}

class MusicPlacement : public testing::TestWithParam<Placement> {};

// Blocks are counted by the player's channel meters; a part "leans" when one side's meter
// reads a tenth more of the pair than the other's.
TEST_P(MusicPlacement, PartSitsWhereTheArrangementPutsIt) {
    const std::vector<ChannelField>& channels = songRender().channels;
    ASSERT_LT(static_cast<size_t>(GetParam().channel), channels.size());
    const ChannelField& f = channels[static_cast<size_t>(GetParam().channel)];
    ASSERT_GT(f.heard, 20);
    const double left = static_cast<double>(f.left) / f.heard;
    const double right = static_cast<double>(f.right) / f.heard;
    switch (GetParam().field) {
    case Field::centre:
        EXPECT_LT(f.widestBalance, 0.01f);
        break;
    case Field::left:
        EXPECT_GT(left, 0.6) << "right " << right;
        break;
    case Field::right:
        EXPECT_GT(right, 0.6) << "left " << left;
        break;
    case Field::bothSides:
        EXPECT_GT(left, 0.1);
        EXPECT_GT(right, 0.1);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Parts, MusicPlacement,
    testing::Values(Placement{"kick", 0, Field::centre}, Placement{"snare", 1, Field::centre},
                    Placement{"hats", 2, Field::right}, Placement{"bass", 3, Field::centre},
                    Placement{"leadAndBells", 4, Field::bothSides},
                    Placement{"arpeggio", 5, Field::bothSides}, Placement{"pad", 6, Field::left},
                    Placement{"crashAndRiser", 7, Field::left},
                    Placement{"padChorus", 8, Field::right},
                    Placement{"echo", kEchoChannel, Field::bothSides}),
    [](const testing::TestParamInfo<Placement>& p) { return std::string(p.param.part); });

TEST(MusicStereo, EchoAnswersFromTheOtherSide) {
    const SongRender& song = songRender();
    EXPECT_GT(song.echoOpposite, 200);
    EXPECT_LT(song.echoSameSide, song.echoOpposite / 10);
}
