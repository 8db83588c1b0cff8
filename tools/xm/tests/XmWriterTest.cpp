// The XM writer: byte layout of header, packed cells, panning fields and delta-coded
// samples worked out by hand, rejection of modules that cannot be stored, a written tune
// that the module player loads without a single warning and plays as sound, and each
// way of panning heard on the side the module asks for.
#include <gtest/gtest.h>

#include <cmath>
#include <libopenmpt/libopenmpt.hpp>
#include <numbers>
#include <sstream>

#include "TestTune.h"
#include "XmWriter.h"

namespace {

uint16_t word(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t dword(const std::vector<uint8_t>& b, size_t at) {
    return word(b, at) | (static_cast<uint32_t>(word(b, at + 2)) << 16);
}

constexpr size_t kFirstPattern = 336; // 60 + 276

XmModule oneRowModule() {
    XmModule m;
    m.name = "one";
    m.channels = 2;
    m.orders = {0};
    m.patterns.emplace_back(1, 2);
    return m;
}

XmInstrument instrumentWith(XmSample s) {
    XmInstrument ins;
    ins.name = "i";
    ins.samples.push_back(std::move(s));
    return ins;
}

} // namespace

TEST(XmHeader, FieldsSitAtTheirOffsets) {
    XmModule m = oneRowModule();
    m.speed = 3;
    m.tempo = 140;
    m.orders = {0, 0, 0};
    m.restartPosition = 1;
    const std::vector<uint8_t> b = writeXm(m);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 20), "one");
    EXPECT_EQ(b[20], 0);
    EXPECT_EQ(b[37], 0x1A);
    EXPECT_EQ(word(b, 58), 0x0104);
    EXPECT_EQ(dword(b, 60), 276u);
    EXPECT_EQ(word(b, 64), 3); // orders
    EXPECT_EQ(word(b, 66), 1); // restart
    EXPECT_EQ(word(b, 68), 2); // channels
    EXPECT_EQ(word(b, 70), 1); // patterns
    EXPECT_EQ(word(b, 72), 0); // instruments
    EXPECT_EQ(word(b, 74), 1); // linear frequencies
    EXPECT_EQ(word(b, 76), 3);
    EXPECT_EQ(word(b, 78), 140);
    // One row of two empty cells: a 9-byte header and two 0x80 flag bytes.
    ASSERT_EQ(b.size(), kFirstPattern + 9 + 2);
    EXPECT_EQ(dword(b, kFirstPattern), 9u);
    EXPECT_EQ(word(b, kFirstPattern + 5), 1);
    EXPECT_EQ(word(b, kFirstPattern + 7), 2);
    EXPECT_EQ(b[kFirstPattern + 9], 0x80);
    EXPECT_EQ(b[kFirstPattern + 10], 0x80);
}

TEST(XmPatternPacking, PartialCellsAreFlaggedAndFullCellsArePlain) {
    XmModule m = oneRowModule();
    m.instruments.push_back(instrumentWith(XmSample{}));
    m.patterns[0].at(0, 0) = {49, 0, 0, 0x0F, 0};       // note and effect only
    m.patterns[0].at(0, 1) = {49, 1, 0x50, 0x0A, 0x02}; // all five fields
    const std::vector<uint8_t> b = writeXm(m);
    const size_t d = kFirstPattern + 9;
    EXPECT_EQ(word(b, kFirstPattern + 7), 3 + 5);
    EXPECT_EQ(b[d + 0], 0x89); // 0x80 | note | effect
    EXPECT_EQ(b[d + 1], 49);
    EXPECT_EQ(b[d + 2], 0x0F);
    const std::vector<uint8_t> plain(b.begin() + d + 3, b.begin() + d + 8);
    EXPECT_EQ(plain, (std::vector<uint8_t>{49, 1, 0x50, 0x0A, 0x02}));
}

TEST(XmSamples, SixteenBitDataIsStoredAsWrappingDeltas) {
    XmModule m = oneRowModule();
    XmSample s;
    s.data = {100, 50, -1, 32767, -32768};
    s.loop = XmLoop::forward;
    s.loopStart = 1;
    s.loopLength = 3;
    m.instruments.push_back(instrumentWith(s));
    const std::vector<uint8_t> b = writeXm(m);
    const size_t ins = kFirstPattern + 9 + 2;
    EXPECT_EQ(dword(b, ins), 263u);
    EXPECT_EQ(word(b, ins + 27), 1); // one sample
    const size_t header = ins + 263;
    EXPECT_EQ(dword(b, header + 0), 10u); // lengths in bytes
    EXPECT_EQ(dword(b, header + 4), 2u);
    EXPECT_EQ(dword(b, header + 8), 6u);
    EXPECT_EQ(b[header + 14], 0x11); // forward loop, 16-bit
    const size_t data = header + 40;
    ASSERT_EQ(b.size(), data + 10);
    EXPECT_EQ(word(b, data + 0), 100);
    EXPECT_EQ(word(b, data + 2), 0xFFCE); // -50
    EXPECT_EQ(word(b, data + 4), 0xFFCD); // -51
    EXPECT_EQ(word(b, data + 6), 0x8000); // 32767 - (-1)
    EXPECT_EQ(word(b, data + 8), 0x0001); // -32768 - 32767 wraps to 1
}

TEST(XmSamples, EightBitDataKeepsTheTopByteAsDeltas) {
    XmModule m = oneRowModule();
    XmSample s;
    s.sixteenBit = false;
    s.data = {0x7F00, 0x0100, -256, 0x00FF};
    s.loop = XmLoop::pingPong;
    s.loopLength = 4;
    m.instruments.push_back(instrumentWith(s));
    const std::vector<uint8_t> b = writeXm(m);
    const size_t header = kFirstPattern + 9 + 2 + 263;
    EXPECT_EQ(dword(b, header + 0), 4u);
    EXPECT_EQ(dword(b, header + 8), 4u);
    EXPECT_EQ(b[header + 14], 0x02);
    const std::vector<uint8_t> data(b.begin() + header + 40, b.end());
    EXPECT_EQ(data, (std::vector<uint8_t>{0x7F, 0x82, 0xFE, 0x01}));
}

TEST(XmInstrumentLayout, PanningFieldsSitAtTheirOffsets) {
    XmModule m = oneRowModule();
    XmSample s;
    s.data = {0};
    s.panning = 0x30;
    XmInstrument ins = instrumentWith(s);
    ins.panningEnvelope.points = {{0, 8}, {96, 56}, {0x1234, 32}};
    ins.panningEnvelope.sustain = true;
    ins.panningEnvelope.sustainPoint = 1;
    ins.panningEnvelope.loop = true;
    ins.panningEnvelope.loopStart = 0;
    ins.panningEnvelope.loopEnd = 2;
    m.instruments.push_back(ins);
    const std::vector<uint8_t> b = writeXm(m);
    const size_t i = kFirstPattern + 9 + 2;
    // Size, name, type, sample count, sample header size, note map, volume envelope.
    const size_t points = i + 4 + 22 + 1 + 2 + 4 + 96 + 48;
    EXPECT_EQ(word(b, points + 0), 0);
    EXPECT_EQ(word(b, points + 2), 8);
    EXPECT_EQ(word(b, points + 4), 96);
    EXPECT_EQ(word(b, points + 6), 56);
    EXPECT_EQ(word(b, points + 8), 0x1234);
    EXPECT_EQ(word(b, points + 10), 32);
    EXPECT_EQ(word(b, points + 12), 0); // unused points stay zero
    EXPECT_EQ(b[i + 225], 0);           // volume envelope point count
    EXPECT_EQ(b[i + 226], 3);           // panning envelope point count
    EXPECT_EQ(b[i + 230], 1);           // panning sustain point
    EXPECT_EQ(b[i + 231], 0);           // panning loop start
    EXPECT_EQ(b[i + 232], 2);           // panning loop end
    EXPECT_EQ(b[i + 233], 0);           // volume envelope off
    EXPECT_EQ(b[i + 234], 7);           // panning envelope on, sustain, loop
    EXPECT_EQ(b[i + 263 + 15], 0x30);   // the sample's own panning
}

TEST(XmValidation, ModulesThatCannotBeStoredAreRefused) {
    XmModule m = oneRowModule();
    m.orders = {1};
    EXPECT_THROW(writeXm(m), XmError);

    m = oneRowModule();
    m.patterns[0].at(0, 0).instrument = 1; // no instruments
    EXPECT_THROW(writeXm(m), XmError);

    m = oneRowModule();
    XmSample s;
    s.data.resize(8);
    s.loop = XmLoop::forward;
    s.loopStart = 6;
    s.loopLength = 3;
    m.instruments.push_back(instrumentWith(s));
    EXPECT_THROW(writeXm(m), XmError);

    m = oneRowModule();
    XmInstrument ins = instrumentWith(XmSample{});
    ins.volumeEnvelope.points = {{0, 64}, {0, 32}};
    m.instruments.push_back(ins);
    EXPECT_THROW(writeXm(m), XmError);

    EXPECT_THROW(XmPattern(0, 4), XmError);
    EXPECT_THROW(XmPattern(64, 33), XmError);
    XmPattern p(4, 2);
    EXPECT_THROW(p.at(4, 0), std::out_of_range);
}

TEST(XmPlayback, TestTuneLoadsWithoutWarningsAndSounds) {
    const std::vector<uint8_t> bytes = writeXm(makeTestTune());
    std::ostringstream log;
    openmpt::module mod(bytes, log);
    EXPECT_EQ(log.str(), "");
    EXPECT_EQ(mod.get_metadata("warnings"), "");
    EXPECT_EQ(mod.get_metadata("type"), "xm");
    EXPECT_EQ(mod.get_num_channels(), 4);
    EXPECT_EQ(mod.get_num_orders(), 3);
    EXPECT_EQ(mod.get_num_patterns(), 2);
    EXPECT_EQ(mod.get_num_instruments(), 2);
    EXPECT_EQ(mod.get_num_samples(), 2);
    EXPECT_EQ(mod.get_instrument_names()[1], "lead");
    // Three patterns of 32 rows at speed 6 and 125 BPM: 96 rows x 6 ticks x 20 ms.
    EXPECT_NEAR(mod.get_duration_seconds(), 11.52, 0.01);

    std::vector<int16_t> left(44100), right(44100);
    const size_t frames = mod.read(44100, left.size(), left.data(), right.data());
    ASSERT_EQ(frames, left.size());
    int32_t peak = 0;
    for (int16_t v : left) {
        peak = std::max(peak, std::abs(static_cast<int32_t>(v)));
    }
    EXPECT_GT(peak, 1000);
}

struct CellCase {
    const char* name;
    uint8_t volume;
    uint8_t effect;
    bool storable;
};
void PrintTo(const CellCase& c, std::ostream* out) {
    *out << c.name;
}

class XmCellValidation : public testing::TestWithParam<CellCase> {};

// The volume column holds 0 (empty), a volume 0x10..0x50 or a command 0x60..0xFF;
// effects run 0..35. Bytes in the gaps would play differently in different players.
TEST_P(XmCellValidation, VolumeColumnAndEffectMustMeanSomething) {
    XmModule m = oneRowModule();
    m.patterns[0].at(0, 1) = {49, 0, GetParam().volume, GetParam().effect, 0x20};
    if (GetParam().storable) {
        EXPECT_NO_THROW(writeXm(m));
    } else {
        EXPECT_THROW(writeXm(m), XmError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cells, XmCellValidation,
    testing::Values(CellCase{"emptyColumn", 0x00, 0, true},
                    CellCase{"belowVolumes", 0x0F, 0, false}, CellCase{"silence", 0x10, 0, true},
                    CellCase{"fullVolume", 0x50, 0, true}, CellCase{"aboveVolumes", 0x51, 0, false},
                    CellCase{"lastGapByte", 0x5F, 0, false},
                    CellCase{"volumeSlideDown", 0x60, 0, true},
                    CellCase{"panningHardLeft", xmPanningColumn(0), 0, true},
                    CellCase{"panningHardRight", xmPanningColumn(255), 0, true},
                    CellCase{"lastCommand", 0xFF, 0, true},
                    CellCase{"setPanningEffect", 0, kXmSetPanning, true},
                    CellCase{"effectZ", 0, 35, true}, CellCase{"effectPastZ", 0, 36, false}),
    [](const testing::TestParamInfo<CellCase>& c) { return std::string(c.param.name); });

namespace {
struct PanCase {
    const char* name;
    uint8_t samplePanning;
    uint8_t volumeColumn;
    uint8_t effect;
    uint8_t param;
    int32_t envelopeValue;  // held panning envelope value, -1 = none
    double rightOverLeftDb; // expected right level against left, or kLeftOnly
};
void PrintTo(const PanCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr double kLeftOnly = -100.0; // the right side stays 40 dB below the left
constexpr double kThirdDb = -9.542;  // 20 log10(64 / 192)

// A held sine on one channel, panned the case's way; returns the right channel's RMS
// level against the left one's, in dB, over the second half second.
double rightOverLeftDb(const PanCase& c) {
    XmModule m = oneRowModule();
    m.channels = 1;
    m.patterns.clear();
    m.patterns.emplace_back(32, 1);
    XmSample s;
    constexpr int32_t kCycle = 64;
    for (int32_t i = 0; i < kCycle; ++i) {
        const double phase = 2.0 * std::numbers::pi * i / kCycle;
        s.data.push_back(static_cast<int16_t>(std::lround(16000.0 * std::sin(phase))));
    }
    s.loop = XmLoop::forward;
    s.loopLength = kCycle;
    s.panning = c.samplePanning;
    XmInstrument ins = instrumentWith(s);
    if (c.envelopeValue >= 0) {
        const uint16_t value = static_cast<uint16_t>(c.envelopeValue);
        ins.panningEnvelope.points = {{0, value}, {10, value}};
    }
    m.instruments.push_back(ins);
    m.patterns[0].at(0, 0) = {xmNote(4, 0), 1, c.volumeColumn, c.effect, c.param};
    openmpt::module mod(writeXm(m));
    constexpr int32_t kRate = 48000;
    std::vector<float> left(kRate), right(kRate);
    mod.read(kRate, left.size(), left.data(), right.data());
    double l = 1e-20;
    double r = 1e-20;
    for (size_t i = kRate / 2; i < left.size(); ++i) {
        l += static_cast<double>(left[i]) * static_cast<double>(left[i]);
        r += static_cast<double>(right[i]) * static_cast<double>(right[i]);
    }
    return 10.0 * std::log10(r / l);
}
} // namespace

class XmPanning : public testing::TestWithParam<PanCase> {};

// Panning is linear: at position p of 256 the left side gets (256 - p) parts and the
// right side p, so 64 gives a third of the left level on the right, -9.54 dB.
TEST_P(XmPanning, SoundIsHeardWhereTheModulePutsIt) {
    const double db = rightOverLeftDb(GetParam());
    const double expected = GetParam().rightOverLeftDb;
    if (expected == kLeftOnly) {
        EXPECT_LT(db, -40.0);
    } else {
        EXPECT_NEAR(db, expected, 0.3);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, XmPanning,
    testing::Values(PanCase{"centre", 128, 0, 0, 0, -1, 0.0},
                    PanCase{"sampleHardLeft", 0, 0, 0, 0, -1, kLeftOnly},
                    PanCase{"sampleQuarter", 64, 0, 0, 0, -1, kThirdDb},
                    PanCase{"columnQuarterRight", 128, xmPanningColumn(192), 0, 0, -1, -kThirdDb},
                    PanCase{"columnHardLeft", 128, xmPanningColumn(0), 0, 0, -1, kLeftOnly},
                    PanCase{"effectQuarter", 128, 0, kXmSetPanning, 64, -1, kThirdDb},
                    PanCase{"effectOverridesSample", 0, 0, kXmSetPanning, 128, -1, 0.0},
                    // 128 + (48 - 32) / 32 * 128 = 192
                    PanCase{"envelopeHalfwayRight", 128, 0, 0, 0, 48, -kThirdDb},
                    // From 64 the envelope's 0 reaches the left edge: 64 - 64 = 0.
                    PanCase{"envelopeFromQuarterToEdge", 64, 0, 0, 0, 0, kLeftOnly}),
    [](const testing::TestParamInfo<PanCase>& c) { return std::string(c.param.name); });
