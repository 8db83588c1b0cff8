// The music's instruments, synthesised from scratch: drums from sine sweeps and filtered
// noise, pitched voices from additive (band-limited) waveforms whose loops hold whole
// cycles, so they loop without clicks. Each carries its place in the stereo field: kick,
// snare and bass in the middle, the rest to one side (see makeInstruments).
#pragma once

#include <cstdint>
#include <vector>

#include "XmWriter.h"

// Instrument numbers as the patterns use them (1-based, as in a pattern cell).
namespace instrument {
inline constexpr uint8_t kKick = 1;
inline constexpr uint8_t kSnare = 2;
inline constexpr uint8_t kClosedHat = 3;
inline constexpr uint8_t kOpenHat = 4;
inline constexpr uint8_t kBass = 5;
inline constexpr uint8_t kLead = 6;
inline constexpr uint8_t kPluck = 7;
inline constexpr uint8_t kPadMinor = 8;
inline constexpr uint8_t kPadMajor = 9;
inline constexpr uint8_t kCrash = 10;
inline constexpr uint8_t kRiser = 11;
inline constexpr uint8_t kBell = 12;
// The pads' second voices: the same chords one cycle per loop higher, played with them on
// a channel of their own on the other side, so the chorus opens up into stereo.
inline constexpr uint8_t kPadMinorChorus = 13;
inline constexpr uint8_t kPadMajorChorus = 14;
} // namespace instrument

// Drums sound as recorded when played at this note (C-4).
inline constexpr uint8_t kDrumNote = 49;

std::vector<XmInstrument> makeInstruments();

// Relative note and finetune that make a sample whose tone has cyclesPerFrame cycles
// per sample frame sound at its written pitch (A-4 = 440 Hz). Exposed for the tests.
void tuneSample(XmSample& sample, double cyclesPerFrame);
// Relative note and finetune that play a sample at rate frames per second on C-4.
void tuneRate(XmSample& sample, double rate);
