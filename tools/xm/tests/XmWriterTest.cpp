// The XM writer: byte layout of header, packed cells and delta-coded samples worked out
// by hand, rejection of modules that cannot be stored, and a written tune that the
// module player loads without a single warning and plays as sound.
#include <gtest/gtest.h>

#include <cmath>
#include <libopenmpt/libopenmpt.hpp>
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
