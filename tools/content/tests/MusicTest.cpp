#include <gtest/gtest.h>

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <array>
#include <cmath>
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
    EXPECT_EQ(mod.get_num_channels(), 8);
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
    // Scene lengths in ms: ticks shown (sceneEnd + 1) times the tick length.
    const std::array<int32_t, 8> lengths = {145 * 66, 301 * 16, 480 * 40, 320 * 100,
                                            301 * 16, 601 * 16, 601 * 16, 481 * 16};
    int32_t start = 0;
    for (size_t scene = 0; scene < lengths.size(); ++scene) {
        const double bar = mod.set_position_order_row(timeline::kSceneStartBar[scene], 0);
        EXPECT_NEAR(bar * 1000.0, start, 35.0) << "scene " << scene + 1;
        start += lengths[scene];
    }
}

TEST(Music, EveryChannelIsHeardAndNothingClips) {
    openmpt::module mod(songBytes());
    std::array<float, 8> loudest{};
    float peak = 0.0f;
    std::vector<float> left(1024);
    std::vector<float> right(1024);
    while (true) {
        const size_t n = mod.read(kRate, left.size(), left.data(), right.data());
        if (n == 0)
            break;
        for (size_t i = 0; i < n; ++i)
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        for (int32_t c = 0; c < 8; ++c)
            loudest[c] = std::max(loudest[c], mod.get_current_channel_vu_mono(c));
    }
    EXPECT_LT(peak, 0.95f);
    EXPECT_GT(peak, 0.25f);
    for (int32_t c = 0; c < 8; ++c)
        EXPECT_GT(loudest[c], 0.05f) << "channel " << c;
}
