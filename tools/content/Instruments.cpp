// Instrument synthesis. All arithmetic is in double with our own noise generator and the
// sines come from floatmath, not the C library, so the samples are the same on every build.
// Levels leave headroom: eight voices are mixed.
#include "Instruments.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "Random.h"
#include "geometry/FloatMath.h"

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Rate at which the one-shot drums and effects are made.
constexpr double kDrumRate = 22050.0;
// Frequency of note C-4 at relative note 0 and finetune 0.
constexpr double kC4Rate = 8363.0;
constexpr double kC4Pitch = 261.6255653;
constexpr double kFullScale = 32767.0;

// Places in the stereo field, 0 = left, 128 = centre, 255 = right; kick, snare, bass
// and the arpeggio's pluck keep the centre (the music moves the pluck itself). A panned
// voice keeps its level in mono: the player shares it between the sides linearly.
constexpr uint8_t kClosedHatPanning = 184;
constexpr uint8_t kOpenHatPanning = 64;
constexpr uint8_t kCrashPanning = 80;
constexpr uint8_t kLeadPanning = 112;
constexpr uint8_t kBellPanning = 168;
constexpr uint8_t kPadPanning = 40;
constexpr uint8_t kPadChorusPanning = 216;

// sin(2π·cycles) through floatmath, the same on every machine: the whole cycles are taken
// off exactly in double, and the sine of the rest is taken in float (about 7 significant
// digits, far finer than a 16-bit sample).
double sineOfCycles(double cycles) {
    const double turn = cycles - std::floor(cycles);
    return static_cast<double>(floatmath::sin(static_cast<float>(kTwoPi * turn)));
}

int16_t toSample(double v) {
    const double clipped = std::clamp(v, -1.0, 1.0);
    return static_cast<int16_t>(std::lround(clipped * kFullScale));
}

double largestMagnitude(const std::vector<double>& v) {
    double largest = 1e-9;
    for (double x : v)
        largest = std::max(largest, std::fabs(x));
    return largest;
}

std::vector<int16_t> scaled(const std::vector<double>& v, double gain) {
    std::vector<int16_t> out;
    out.reserve(v.size());
    for (double x : v)
        out.push_back(toSample(x * gain));
    return out;
}

// Scales the buffer so that its largest magnitude is peak (0..1), then stores it.
std::vector<int16_t> normalise(const std::vector<double>& v, double peak) {
    return scaled(v, peak / largestMagnitude(v));
}

size_t frames(double seconds, double rate) {
    return static_cast<size_t>(seconds * rate);
}

// Band-limited sawtooth at phase p (cycles) with the given number of harmonics.
double saw(double p, int32_t harmonics) {
    double s = 0.0;
    for (int32_t k = 1; k <= harmonics; ++k) {
        s += sineOfCycles(k * p) / k;
    }
    return s;
}

// Band-limited square (odd harmonics) at phase p.
double square(double p, int32_t harmonics) {
    double s = 0.0;
    for (int32_t k = 1; k <= harmonics; k += 2) {
        s += sineOfCycles(k * p) / k;
    }
    return s;
}

// One-pole high-pass over white noise: bright hiss for hats and snares.
std::vector<double> brightNoise(size_t n, uint32_t seed, double keep) {
    Random random(seed);
    std::vector<double> out(n);
    double previousIn = 0.0;
    double previousOut = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double in = static_cast<double>(random.unit()) * 2.0 - 1.0;
        previousOut = keep * (previousOut + in - previousIn);
        previousIn = in;
        out[i] = previousOut;
    }
    return out;
}

XmInstrument single(const char* name, XmSample sample) {
    XmInstrument ins;
    ins.name = name;
    ins.samples.push_back(std::move(sample));
    return ins;
}

void setEnvelope(XmInstrument& ins, std::vector<XmEnvelopePoint> points, int32_t sustainPoint,
                 uint16_t fadeout) {
    ins.volumeEnvelope.points = std::move(points);
    ins.volumeEnvelope.sustain = sustainPoint >= 0;
    ins.volumeEnvelope.sustainPoint = static_cast<uint8_t>(std::max(sustainPoint, 0));
    ins.fadeout = fadeout;
}

XmSample drumSample(const char* name, const std::vector<double>& v, double peak) {
    XmSample s;
    s.name = name;
    s.data = normalise(v, peak);
    tuneRate(s, kDrumRate);
    return s;
}

XmInstrument kick() {
    const size_t n = frames(0.34, kDrumRate);
    std::vector<double> v(n);
    double phase = 0.0;
    Random random(7);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kDrumRate;
        const double pitch = 44.0 + 120.0 * std::exp(-t / 0.03);
        phase += pitch / kDrumRate;
        const double body = sineOfCycles(phase) * std::exp(-t / 0.16);
        const double click =
            (static_cast<double>(random.unit()) * 2.0 - 1.0) * std::exp(-t / 0.002) * 0.5;
        v[i] = std::tanh(1.8 * (body + click));
    }
    return single("kick", drumSample("kick", v, 0.92));
}

XmInstrument snare() {
    const size_t n = frames(0.28, kDrumRate);
    const std::vector<double> noise = brightNoise(n, 11, 0.85);
    std::vector<double> v(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kDrumRate;
        phase += (180.0 + 60.0 * std::exp(-t / 0.01)) / kDrumRate;
        const double tone = sineOfCycles(phase) * std::exp(-t / 0.05) * 0.7;
        v[i] = tone + noise[i] * std::exp(-t / 0.075) * 1.4;
    }
    return single("snare", drumSample("snare", v, 0.85));
}

XmInstrument hat(const char* name, double seconds, double decay, uint32_t seed, uint8_t panning) {
    const size_t n = frames(seconds, kDrumRate);
    const std::vector<double> noise = brightNoise(n, seed, 0.55);
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kDrumRate;
        // A few fixed square partials give the metal ring under the hiss.
        const double ring = square(t * 3150.0, 3) * 0.12 + square(t * 4720.0, 3) * 0.1;
        v[i] = (noise[i] + ring) * std::exp(-t / decay);
    }
    XmSample s = drumSample(name, v, 0.7);
    s.panning = panning;
    return single(name, std::move(s));
}

XmInstrument crash() {
    const size_t n = frames(1.6, kDrumRate);
    const std::vector<double> noise = brightNoise(n, 23, 0.7);
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kDrumRate;
        const double ring = square(t * 2630.0, 5) * 0.08 + square(t * 3890.0, 3) * 0.06;
        v[i] = (noise[i] + ring) * std::exp(-t / 0.45) * std::min(1.0, t / 0.003);
    }
    XmSample s = drumSample("crash", v, 0.75);
    s.panning = kCrashPanning;
    return single("crash", std::move(s));
}

// Looped noise whose envelope swells over a bar: the build-up before a new part.
XmInstrument riser() {
    const size_t n = frames(0.25, kDrumRate);
    std::vector<double> v = brightNoise(n, 31, 0.9);
    // Fade the loop's ends into each other so the seam is silent.
    const size_t fade = 256;
    for (size_t i = 0; i < fade; ++i) {
        const double w = static_cast<double>(i) / fade;
        v[i] = v[i] * w + v[n - fade + i] * (1.0 - w);
    }
    v.resize(n - fade);
    XmSample s = drumSample("riser", v, 0.6);
    s.loop = XmLoop::forward;
    s.loopStart = 0;
    s.loopLength = static_cast<uint32_t>(s.data.size());
    XmInstrument ins = single("riser", std::move(s));
    setEnvelope(ins, {{0, 0}, {40, 12}, {80, 40}, {96, 64}, {100, 0}}, -1, 0);
    // It sweeps from the left edge to the right over its bar as it swells.
    ins.panningEnvelope.points = {{0, 4}, {96, 60}};
    return ins;
}

// A looping voice of loopFrames frames in which every partial runs a whole number of
// cycles. voice(i) gives the value of frame i; cycles is the fundamental's cycle count.
XmSample loopedSample(const char* name, std::vector<int16_t> data, double cycles) {
    XmSample s;
    s.name = name;
    s.data = std::move(data);
    s.loop = XmLoop::forward;
    s.loopStart = 0;
    s.loopLength = static_cast<uint32_t>(s.data.size());
    tuneSample(s, cycles / static_cast<double>(s.data.size()));
    return s;
}

template <typename Voice>
XmSample loopedVoice(const char* name, size_t loopFrames, double cycles, double peak, Voice voice) {
    std::vector<double> v(loopFrames);
    for (size_t i = 0; i < loopFrames; ++i)
        v[i] = voice(i);
    return loopedSample(name, normalise(v, peak), cycles);
}

XmInstrument bass() {
    // 16 cycles of 128 frames: a saw with a sine an octave below for weight.
    constexpr size_t kFrames = 2048;
    constexpr double kCycles = 16.0;
    XmSample s = loopedVoice("bass", kFrames, kCycles, 0.8, [&](size_t i) {
        const double p = kCycles * static_cast<double>(i) / kFrames;
        return saw(p, 18) * 0.55 + sineOfCycles(p * 0.5) * 0.9 + square(p, 9) * 0.2;
    });
    // The loop holds half-cycles of the sub: its own pitch is the saw's.
    XmInstrument ins = single("bass", std::move(s));
    setEnvelope(ins, {{0, 64}, {6, 50}, {30, 38}, {60, 30}}, 3, 2048);
    return ins;
}

XmInstrument lead() {
    // Two saws 128 and 129 cycles per loop beat gently against each other (13 cents).
    constexpr size_t kFrames = 8192;
    XmSample s = loopedVoice("lead", kFrames, 128.0, 0.8, [&](size_t i) {
        const double t = static_cast<double>(i) / kFrames;
        return saw(128.0 * t, 14) + saw(129.0 * t, 14) * 0.8 + square(128.0 * t, 7) * 0.35;
    });
    s.panning = kLeadPanning;
    XmInstrument ins = single("lead", std::move(s));
    setEnvelope(ins, {{0, 0}, {2, 64}, {10, 46}, {40, 40}}, 3, 1200);
    ins.vibratoType = 0;
    ins.vibratoSweep = 24;
    ins.vibratoDepth = 4;
    ins.vibratoRate = 10;
    return ins;
}

XmInstrument pluck() {
    // Harmonics that die faster the higher they are: a plucked, filtered saw.
    constexpr double kCyclesPerFrame = 1.0 / 64.0;
    const size_t n = 9000;
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i) {
        const double p = kCyclesPerFrame * static_cast<double>(i);
        const double t = static_cast<double>(i) / n;
        double s = 0.0;
        for (int32_t k = 1; k <= 16; ++k) {
            s += sineOfCycles(k * p) / k * std::exp(-t * (2.0 + 1.6 * k));
        }
        v[i] = s * std::min(1.0, static_cast<double>(i) / 40.0);
    }
    XmSample s;
    s.name = "pluck";
    s.data = normalise(v, 0.75);
    tuneSample(s, kCyclesPerFrame);
    return single("pluck", std::move(s));
}

XmInstrument bell() {
    constexpr double kCyclesPerFrame = 1.0 / 64.0;
    const size_t n = 16000;
    std::vector<double> v(n);
    const double ratios[4] = {1.0, 2.0, 2.76, 5.4};
    const double levels[4] = {1.0, 0.5, 0.35, 0.15};
    const double decays[4] = {3.0, 5.0, 7.0, 12.0};
    for (size_t i = 0; i < n; ++i) {
        const double p = kCyclesPerFrame * static_cast<double>(i);
        const double t = static_cast<double>(i) / n;
        double s = 0.0;
        for (int32_t k = 0; k < 4; ++k)
            s += sineOfCycles(ratios[k] * p) * levels[k] * std::exp(-t * decays[k]);
        v[i] = s * std::min(1.0, static_cast<double>(i) / 30.0);
    }
    XmSample s;
    s.name = "bell";
    s.data = normalise(v, 0.7);
    tuneSample(s, kCyclesPerFrame);
    s.panning = kBellPanning;
    return single("bell", std::move(s));
}

struct PadPair {
    XmInstrument voice;
    XmInstrument chorus;
};

// A pad voice: slow attack, held while the key is down, and a panning envelope that
// breathes from breathFrom to breathTo and back over two bars (32 = stay in place).
XmInstrument padVoice(const char* name, XmSample sample, uint16_t breathFrom, uint16_t breathTo) {
    XmInstrument ins = single(name, std::move(sample));
    setEnvelope(ins, {{0, 0}, {40, 48}, {80, 56}, {120, 56}}, 3, 300);
    ins.panningEnvelope.points = {{0, breathFrom}, {96, breathTo}, {192, breathFrom}};
    ins.panningEnvelope.loop = true;
    ins.panningEnvelope.loopStart = 0;
    ins.panningEnvelope.loopEnd = 2;
    return ins;
}

// A chord in just intonation (ratios over a common base) and a copy one cycle per loop
// higher for a slow chorus; the written note is the chord's root. The chord and its copy
// are two instruments, played together on the left and the right. Both are scaled by the
// gain that brings their sum to the peak, so in mono they add up to one full pad.
PadPair pad(const char* name, const char* chorusName, const double (&ratios)[3],
            double baseCycles) {
    constexpr size_t kFrames = 8192;
    std::vector<double> voice(kFrames);
    std::vector<double> chorus(kFrames);
    std::vector<double> both(kFrames);
    for (size_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / kFrames;
        for (double r : ratios) {
            const double c = baseCycles * r;
            voice[i] += saw(c * t, 6) * 0.5 + sineOfCycles(c * t);
            chorus[i] += saw((c + 1.0) * t, 6) * 0.4 + sineOfCycles((c + 1.0) * t) * 0.6;
        }
        both[i] = voice[i] + chorus[i];
    }
    const double gain = 0.7 / largestMagnitude(both);
    XmSample voiceSample = loopedSample(name, scaled(voice, gain), baseCycles);
    voiceSample.panning = kPadPanning;
    XmSample chorusSample = loopedSample(chorusName, scaled(chorus, gain), baseCycles);
    chorusSample.panning = kPadChorusPanning;
    return {padVoice(name, std::move(voiceSample), 24, 40),
            padVoice(chorusName, std::move(chorusSample), 40, 24)};
}
} // namespace

void tuneRate(XmSample& sample, double rate) {
    const double semitones = 12.0 * std::log2(rate / kC4Rate);
    double relative = std::floor(semitones + 0.5);
    double fine = std::round((semitones - relative) * 128.0);
    if (fine > 127.0) {
        fine -= 128.0;
        relative += 1.0;
    }
    sample.relativeNote = static_cast<int8_t>(relative);
    sample.finetune = static_cast<int8_t>(fine);
}

void tuneSample(XmSample& sample, double cyclesPerFrame) {
    // Playing C-4 must sound middle C: the sample then runs at C4 / cyclesPerFrame.
    tuneRate(sample, kC4Pitch / cyclesPerFrame);
}

std::vector<XmInstrument> makeInstruments() {
    // Minor 10:12:15 and major 4:5:6 over base counts that keep every partial whole.
    constexpr double kMinor[3] = {1.0, 1.2, 1.5};
    constexpr double kMajor[3] = {1.0, 1.25, 1.5};
    std::vector<XmInstrument> all;
    all.push_back(kick());
    all.push_back(snare());
    all.push_back(hat("closed hat", 0.07, 0.018, 13, kClosedHatPanning));
    all.push_back(hat("open hat", 0.32, 0.11, 17, kOpenHatPanning));
    all.push_back(bass());
    all.push_back(lead());
    all.push_back(pluck());
    PadPair minor = pad("pad minor", "pad minor chorus", kMinor, 100.0);
    PadPair major = pad("pad major", "pad major chorus", kMajor, 100.0);
    all.push_back(std::move(minor.voice));
    all.push_back(std::move(major.voice));
    all.push_back(crash());
    all.push_back(riser());
    all.push_back(bell());
    all.push_back(std::move(minor.chorus));
    all.push_back(std::move(major.chorus));
    for (XmInstrument& ins : all) {
        for (uint8_t& s : ins.sampleForNote)
            s = 0;
    }
    return all;
}
