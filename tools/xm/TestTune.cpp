// The tune: four channels, two 32-row patterns, order 0 1 0, restart at 0.
#include "TestTune.h"

#include <cmath>
#include <numbers>

namespace {

constexpr int32_t kWaveLength = 64; // frames in one cycle of each waveform
constexpr int16_t kSquareLevel = 12000;
constexpr double kSineLevel = 20000.0;

XmSample sineSample() {
    XmSample s;
    s.name = "sine";
    s.sixteenBit = true;
    for (int32_t i = 0; i < kWaveLength; ++i) {
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(i) / kWaveLength;
        s.data.push_back(static_cast<int16_t>(std::lround(kSineLevel * std::sin(phase))));
    }
    s.loop = XmLoop::forward;
    s.loopStart = 0;
    s.loopLength = kWaveLength;
    // 64 frames per cycle sound a C at 8363 Hz * 2^(n/12) / 64: lift by two octaves.
    s.relativeNote = 24;
    return s;
}

XmSample squareSample() {
    XmSample s;
    s.name = "square";
    s.sixteenBit = false;
    for (int32_t i = 0; i < kWaveLength; ++i) {
        s.data.push_back(i < kWaveLength / 2 ? kSquareLevel : static_cast<int16_t>(-kSquareLevel));
    }
    s.loop = XmLoop::pingPong;
    s.loopStart = 0;
    s.loopLength = kWaveLength;
    s.volume = 40;
    s.relativeNote = 12;
    return s;
}

XmInstrument instrument(const char* name, XmSample sample) {
    XmInstrument ins;
    ins.name = name;
    ins.samples.push_back(std::move(sample));
    ins.volumeEnvelope.points = {{0, 64}, {8, 48}, {32, 32}, {96, 0}};
    ins.volumeEnvelope.sustain = true;
    ins.volumeEnvelope.sustainPoint = 2;
    ins.panningEnvelope.points = {{0, 24}, {16, 40}, {32, 24}};
    ins.panningEnvelope.loop = true;
    ins.panningEnvelope.loopStart = 0;
    ins.panningEnvelope.loopEnd = 2;
    ins.fadeout = 512;
    return ins;
}

} // namespace

XmModule makeTestTune() {
    XmModule m;
    m.name = "test tune";
    m.channels = 4;
    m.speed = 6;
    m.tempo = 125;
    m.orders = {0, 1, 0};
    m.instruments.push_back(instrument("bass", squareSample()));
    m.instruments.push_back(instrument("lead", sineSample()));

    const int32_t bassLine[4] = {0, 5, 7, 3};
    const int32_t melody[8] = {0, 4, 7, 12, 7, 4, 2, 11};
    for (int32_t p = 0; p < 2; ++p) {
        XmPattern pattern(32, m.channels);
        for (int32_t row = 0; row < 32; row += 8) {
            pattern.at(row, 0) = {xmNote(2, bassLine[row / 8] + p * 2), 1, 0, 0, 0};
            pattern.at(row + 6, 0).note = kXmKeyOff;
        }
        for (int32_t row = 0; row < 32; row += 4) {
            const int32_t step = melody[row / 4];
            pattern.at(row, 1) = {xmNote(4 + step / 12, step % 12), 2, xmVolume(48), 0, 0};
        }
        // A volume slide and a full five-byte cell on the third channel.
        pattern.at(16, 2) = {xmNote(3, 7), 2, xmVolume(32), 0x0A, 0x02};
        m.patterns.push_back(std::move(pattern));
    }
    return m;
}
