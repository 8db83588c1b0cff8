// Builds Extended Module (XM) files from code: header and order list, patterns stored
// packed, instruments with volume and panning envelopes, and samples stored as 8- or
// 16-bit deltas with optional loops. Sample data is always given as 16-bit PCM.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// One cell of a pattern. note 0 = none, 1..96 = C-0..B-7, 97 = key off.
// instrument 0 = none; volume 0 = no volume column (0x10..0x50 sets volume 0..64,
// 0x60..0xFF are the column's commands, 0xC0..0xCF among them setting the panning).
// effect 0..35 is the effect column's letter 0-9, A-Z; 0 with param 0 = none.
struct XmNote {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

inline constexpr uint8_t kXmKeyOff = 97;
inline constexpr uint8_t kXmMaxNote = 96;
inline constexpr int32_t kXmMaxChannels = 32;
inline constexpr int32_t kXmMaxRows = 256;
inline constexpr int32_t kXmMaxPatterns = 256;
inline constexpr int32_t kXmMaxInstruments = 128;
inline constexpr int32_t kXmMaxSamples = 16;
inline constexpr int32_t kXmMaxEnvelopePoints = 12;
inline constexpr int32_t kXmMaxOrders = 256;
inline constexpr uint8_t kXmMaxEffect = 35; // 'Z'

// Effect numbers the modules use.
inline constexpr uint8_t kXmPortamentoUp = 0x01;
inline constexpr uint8_t kXmSetPanning = 0x08; // param 0..255, 128 = centre

// Note number of a pitch: octave 0..7, semitone 0..11 (0 = C).
constexpr uint8_t xmNote(int32_t octave, int32_t semitone) {
    return static_cast<uint8_t>(octave * 12 + semitone + 1);
}
// Volume-column byte for a volume 0..64.
constexpr uint8_t xmVolume(int32_t volume) {
    return static_cast<uint8_t>(0x10 + volume);
}
// Volume-column byte that sets the panning to a position 0..255; the column keeps only
// the top four bits, so positions come in steps of 16 (0x80 is centre, 0xF0 hard right).
constexpr uint8_t xmPanningColumn(int32_t position) {
    return static_cast<uint8_t>(0xC0 + (position >> 4));
}

class XmPattern {
public:
    XmPattern(int32_t rows, int32_t channels);
    int32_t rows() const { return rowCount; }
    int32_t channels() const { return channelCount; }
    // Throws std::out_of_range outside the pattern.
    XmNote& at(int32_t row, int32_t channel);
    const XmNote& at(int32_t row, int32_t channel) const;

private:
    int32_t rowCount;
    int32_t channelCount;
    std::vector<XmNote> notes;
};

struct XmEnvelopePoint {
    uint16_t tick = 0;  // ticks from the note's start; strictly increasing
    uint16_t value = 0; // 0..64 (panning: 32 is centre)
};

struct XmEnvelope {
    std::vector<XmEnvelopePoint> points; // at most 12; empty = envelope off
    bool sustain = false;
    uint8_t sustainPoint = 0;
    bool loop = false;
    uint8_t loopStart = 0;
    uint8_t loopEnd = 0;
};

enum class XmLoop : uint8_t { none = 0, forward = 1, pingPong = 2 };

struct XmSample {
    std::string name;
    std::vector<int16_t> data; // 16-bit PCM; stored as its top byte when !sixteenBit
    bool sixteenBit = true;
    XmLoop loop = XmLoop::none;
    uint32_t loopStart = 0;  // in sample frames
    uint32_t loopLength = 0; // in sample frames; > 0 when looping
    uint8_t volume = 64;     // 0..64
    int8_t finetune = 0;     // -128..127 (1/128 semitone)
    uint8_t panning = 128;   // 0..255
    int8_t relativeNote = 0; // semitones added to the played note
};

struct XmInstrument {
    std::string name;
    std::vector<XmSample> samples;           // at most 16
    std::array<uint8_t, 96> sampleForNote{}; // sample index per note 1..96
    XmEnvelope volumeEnvelope;
    // Moves the sound about its current position: 32 leaves it, 0 and 64 take it the whole
    // remaining way to the left or right edge.
    XmEnvelope panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;
};

struct XmModule {
    std::string name;
    std::string trackerName = "tilsen xm writer";
    int32_t channels = 4; // 1..32
    uint16_t restartPosition = 0;
    bool linearFrequencies = true;
    uint16_t speed = 6;          // ticks per row
    uint16_t tempo = 125;        // beats per minute
    std::vector<uint8_t> orders; // pattern numbers, 1..256 entries
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

class XmError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Returns the module as XM file bytes. Throws XmError when the module cannot be stored
// (counts out of range, an order naming a missing pattern, a loop outside its sample...).
std::vector<uint8_t> writeXm(const XmModule& module);
// Writes the module to fileName; throws XmError on a bad module or a failed write.
void saveXm(const XmModule& module, const std::string& fileName);
