// The composition as data: a chord per bar, a plan of which parts play in each bar, and
// a handful of phrases. Each bar becomes one 16-row pattern; identical bars share a
// pattern. Sections, in bars (a bar is 1.6 s):
//   0-5   intro (the group's name): pad and bells, arpeggio from bar 2, settle hit at 3
//   6-8   build: kick, bass and hats enter, snare roll and riser into the groove
//   9-20  groove: full drums, bass, arpeggio; from bar 13 the theme, an octave down
//   21-40 main theme: the lead's eight-bar theme twice, then its second half an
//         octave up; a fill into the breakdown
//   41-49 breakdown: pad, arpeggio and bells; hats return at 46, kick at 48, riser
//   50-55 reprise of the theme with full drums
//   56-63 outro: drums thin out, the arpeggio stops, a last held A minor chord
// In the stereo field kick, snare and bass hold the middle; the instruments place the
// hats, crash, lead, bells and the pads' two voices (see Instruments.cpp), the patterns
// sweep the arpeggio from side to side and echo the lead from the opposite side.
#include "Music.h"

#include <array>
#include <string>
#include <vector>

#include "Instruments.h"
#include "Timeline.h"

namespace {
constexpr int32_t kChannels = 10;
constexpr int32_t kKickChannel = 0;
constexpr int32_t kSnareChannel = 1;
constexpr int32_t kHatChannel = 2;
constexpr int32_t kBassChannel = 3;
constexpr int32_t kLeadChannel = 4;
constexpr int32_t kArpChannel = 5;
constexpr int32_t kPadChannel = 6;
constexpr int32_t kFxChannel = 7;
constexpr int32_t kPadChorusChannel = 8;
constexpr int32_t kEchoChannel = 9;
constexpr int32_t kRows = timeline::kRowsPerBar;

// The arpeggio's sweep, twice across the field and back in a bar: centre on every beat,
// where kick, bass and the arpeggio's own accent hit together, out to 128 + kArpWidth
// and 128 - kArpWidth on the eighths between them.
constexpr int32_t kArpSweepRows = 8;
constexpr int32_t kArpWidth = 80;
// The echo: three rows (a dotted eighth) late, at two fifths of the volume.
constexpr int32_t kEchoDelay = 3;
constexpr int32_t kEchoVolumeFifths = 2;
constexpr uint8_t kLeadEchoPanning = 200; // the lead leans left, so its echo goes right
constexpr uint8_t kBellEchoPanning = 56;  // the bells ring right, their echo left

struct Chord {
    int32_t root; // semitone of the root, 0 = C
    bool minor;
};
constexpr Chord kAm{9, true};
constexpr Chord kF{5, false};
constexpr Chord kC{0, false};
constexpr Chord kG{7, false};

enum class Hats : uint8_t { none, eighths, sixteenths };
enum class Melody : uint8_t { none, lead, leadLow, leadHigh, bell };

struct BarPlan {
    Chord chord;
    bool kick = false;     // four on the floor
    bool kickHalf = false; // kicks on beats one and three only
    bool snare = false;
    Hats hats = Hats::none;
    bool bass = false;
    bool bassLong = false; // one long note per bar
    int32_t arp = 0;       // arpeggio volume, 0 = silent
    bool pad = true;
    Melody melody = Melody::none;
    int32_t themeBar = -1; // which bar of the theme the melody plays
    bool crash = false;
    bool riser = false;
    bool fill = false; // snare roll over the second half
    bool hit = false;  // one kick and crash on the downbeat
};

struct Note {
    int32_t row;
    const char* name; // "A4", "C#5"
    int32_t length;   // rows until the key is released
};

// The theme: eight bars over Am F C G Am F C G.
const std::vector<std::vector<Note>>& theme() {
    static const std::vector<std::vector<Note>> bars = {
        {{0, "A4", 3}, {3, "C5", 3}, {6, "E5", 2}, {8, "D5", 2}, {10, "C5", 2}, {12, "D5", 4}},
        {{0, "C5", 3}, {3, "A4", 3}, {6, "F4", 2}, {8, "A4", 4}, {12, "C5", 4}},
        {{0, "E5", 3},
         {3, "G5", 3},
         {6, "E5", 2},
         {8, "D5", 2},
         {10, "C5", 2},
         {12, "D5", 2},
         {14, "E5", 2}},
        {{0, "D5", 6}, {6, "B4", 2}, {8, "G4", 4}, {12, "B4", 2}, {14, "D5", 2}},
        {{0, "E5", 3}, {3, "A5", 3}, {6, "G5", 2}, {8, "E5", 2}, {10, "D5", 2}, {12, "C5", 4}},
        {{0, "A4", 3}, {3, "C5", 3}, {6, "F5", 2}, {8, "E5", 2}, {10, "C5", 2}, {12, "A4", 4}},
        {{0, "G4", 3}, {3, "C5", 3}, {6, "E5", 2}, {8, "G5", 4}, {12, "E5", 2}, {14, "G5", 2}},
        {{0, "D5", 3},
         {3, "B4", 3},
         {6, "G4", 2},
         {8, "A4", 2},
         {10, "B4", 2},
         {12, "D5", 2},
         {14, "E5", 2}},
    };
    return bars;
}

// Bell phrases of the intro, one per bar.
const std::vector<std::vector<Note>>& introBells() {
    static const std::vector<std::vector<Note>> bars = {
        {{0, "E5", 0}, {6, "A5", 0}, {12, "B5", 0}},
        {{0, "C6", 0}, {6, "B5", 0}, {12, "E5", 0}},
        {{0, "A5", 0}, {6, "F5", 0}, {12, "C5", 0}},
        {{0, "D5", 0}, {6, "G5", 0}, {12, "B5", 0}},
        {{0, "C6", 0}, {8, "A5", 0}},
        {{0, "B5", 0}, {8, "D6", 0}},
    };
    return bars;
}

uint8_t noteNumber(const std::string& name) {
    static const int32_t semitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int32_t semitone = semitones[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') {
        ++semitone;
        ++i;
    }
    const int32_t octave = name[i] - '0';
    return xmNote(octave, semitone);
}

uint8_t offset(uint8_t note, int32_t semitones) {
    return static_cast<uint8_t>(note + semitones);
}

// The theme bar whose harmony matches a chord, for melodies laid over other progressions.
int32_t themeBarFor(Chord chord, int32_t variant) {
    const int32_t a = variant % 2 == 0 ? 0 : 4;
    if (chord.root == kAm.root)
        return a;
    if (chord.root == kF.root)
        return a + 1;
    if (chord.root == kC.root)
        return a + 2;
    return a + 3;
}

std::vector<BarPlan> plan() {
    std::vector<BarPlan> bars(static_cast<size_t>(timeline::kSongBars));
    const Chord loop[4] = {kAm, kF, kC, kG};
    auto at = [&](int32_t bar) -> BarPlan& { return bars[static_cast<size_t>(bar)]; };

    // Intro: the name assembles; it settles on the hit at bar 3.
    const Chord intro[6] = {kAm, kAm, kF, kG, kAm, kG};
    for (int32_t b = 0; b < 6; ++b) {
        at(b).chord = intro[b];
        at(b).melody = Melody::bell;
        at(b).arp = b < 2 ? 0 : 14 + b * 3;
    }
    at(3).hit = true;
    at(4).hats = Hats::eighths;
    at(5).hats = Hats::eighths;
    at(5).riser = true;

    // Build.
    const Chord build[3] = {kAm, kF, kG};
    for (int32_t b = 6; b < 9; ++b) {
        BarPlan& p = at(b);
        p.chord = build[b - 6];
        p.kick = true;
        p.bass = true;
        p.hats = Hats::eighths;
        p.arp = 30;
    }
    at(6).crash = true;
    at(8).fill = true;
    at(8).riser = true;

    // Groove, then the theme an octave down.
    for (int32_t b = 9; b < 21; ++b) {
        BarPlan& p = at(b);
        p.chord = loop[(b - 9) % 4];
        p.kick = true;
        p.snare = true;
        p.hats = Hats::sixteenths;
        p.bass = true;
        p.arp = 32;
        if (b >= 13) {
            p.melody = Melody::leadLow;
            p.themeBar = (b - 13) % 8;
        }
    }
    at(9).crash = true;
    at(13).crash = true;
    at(20).fill = true;
    at(20).riser = true;

    // Main theme.
    for (int32_t b = 21; b < 41; ++b) {
        BarPlan& p = at(b);
        p.chord = loop[(b - 21) % 4];
        p.kick = true;
        p.snare = true;
        p.hats = Hats::sixteenths;
        p.bass = true;
        p.arp = 34;
        p.melody = b < 37 ? Melody::lead : Melody::leadHigh;
        p.themeBar = b < 37 ? (b - 21) % 8 : 4 + (b - 37);
    }
    at(21).crash = true;
    at(29).crash = true;
    at(37).crash = true;
    at(40).fill = true;

    // Breakdown.
    const Chord breakdown[9] = {kF, kG, kAm, kF, kC, kG, kAm, kF, kG};
    for (int32_t b = 41; b < 50; ++b) {
        BarPlan& p = at(b);
        p.chord = breakdown[b - 41];
        p.bassLong = true;
        p.arp = 22 + (b - 41) * 2;
        p.melody = Melody::bell;
        p.themeBar = themeBarFor(p.chord, b);
        if (b >= 46)
            p.hats = Hats::eighths;
        if (b >= 48)
            p.kickHalf = true;
    }
    at(41).crash = true;
    at(49).fill = true;
    at(49).riser = true;

    // Reprise.
    const Chord reprise[6] = {kAm, kF, kC, kG, kAm, kF};
    for (int32_t b = 50; b < 56; ++b) {
        BarPlan& p = at(b);
        p.chord = reprise[b - 50];
        p.kick = true;
        p.snare = true;
        p.hats = Hats::sixteenths;
        p.bass = true;
        p.arp = 34;
        p.melody = Melody::lead;
        p.themeBar = b - 50;
    }
    at(50).crash = true;

    // Outro.
    const Chord outro[8] = {kG, kAm, kF, kG, kAm, kAm, kAm, kAm};
    for (int32_t b = 56; b < 64; ++b) {
        BarPlan& p = at(b);
        p.chord = outro[b - 56];
        if (b < 60) {
            p.kick = b < 59;
            p.kickHalf = b == 59;
            p.hats = Hats::eighths;
            p.bass = true;
        }
        p.arp = b < 62 ? 30 - (b - 56) * 4 : 0;
    }
    at(56).melody = Melody::lead;
    at(56).themeBar = 7;
    at(56).crash = true;
    at(60).melody = Melody::bell;
    at(60).themeBar = 0;
    return bars;
}

void put(XmPattern& p, int32_t row, int32_t channel, uint8_t note, uint8_t ins, int32_t volume,
         uint8_t effect = 0, uint8_t param = 0) {
    p.at(row, channel) = {note, ins, xmVolume(volume), effect, param};
}

void keyOff(XmPattern& p, int32_t row, int32_t channel) {
    if (row < kRows && p.at(row, channel).note == 0)
        p.at(row, channel) = {kXmKeyOff, 0, 0, 0, 0};
}

void writeDrums(XmPattern& p, const BarPlan& b, int32_t bar) {
    using namespace instrument;
    if (b.kick) {
        for (int32_t row = 0; row < kRows; row += 4)
            put(p, row, kKickChannel, kDrumNote, kKick, 64);
        if (bar % 4 == 3 && !b.fill)
            put(p, 14, kKickChannel, kDrumNote, kKick, 44);
    }
    if (b.kickHalf) {
        put(p, 0, kKickChannel, kDrumNote, kKick, 60);
        put(p, 8, kKickChannel, kDrumNote, kKick, 60);
        put(p, 10, kKickChannel, kDrumNote, kKick, 36);
    }
    if (b.hit)
        put(p, 0, kKickChannel, kDrumNote, kKick, 64);
    if (b.snare) {
        put(p, 4, kSnareChannel, kDrumNote, kSnare, 52);
        put(p, 12, kSnareChannel, kDrumNote, kSnare, 52);
        if (bar % 2 == 1)
            put(p, 15, kSnareChannel, kDrumNote, kSnare, 16);
        if (bar % 4 == 2)
            put(p, 7, kSnareChannel, kDrumNote, kSnare, 14);
    }
    if (b.fill) {
        for (int32_t row = 8; row < kRows; ++row) {
            put(p, row, kSnareChannel, kDrumNote, kSnare, 24 + (row - 8) * 5);
        }
    }
    if (b.hats == Hats::eighths) {
        for (int32_t row = 2; row < kRows; row += 4)
            put(p, row, kHatChannel, kDrumNote, kClosedHat, 34);
    } else if (b.hats == Hats::sixteenths) {
        for (int32_t row = 0; row < kRows; ++row) {
            const int32_t volume = row % 4 == 2 ? 40 : (row % 2 == 1 ? 20 : 26);
            put(p, row, kHatChannel, kDrumNote, kClosedHat, volume);
        }
        if (bar % 2 == 1)
            put(p, 14, kHatChannel, kDrumNote, kOpenHat, 30);
    }
}

// A triangle: centre, right edge, centre, left edge, back to the centre in kArpSweepRows.
uint8_t arpPanning(int32_t bar, int32_t row) {
    const int32_t step = (bar * kRows + row) % kArpSweepRows;
    const int32_t quarter = kArpSweepRows / 4; // rows from the centre to an edge
    int32_t swing = step;
    if (step > 3 * quarter)
        swing = step - kArpSweepRows;
    else if (step > quarter)
        swing = 2 * quarter - step;
    return static_cast<uint8_t>(128 + kArpWidth * swing / quarter);
}

void writeHarmony(XmPattern& p, const BarPlan& b, const BarPlan* previous, int32_t bar) {
    using namespace instrument;
    // Pad roots: A3, F3, C4, G3 keep the chords close together.
    const int32_t padOctave = b.chord.root <= 4 ? 4 : 3;
    const uint8_t padRoot = xmNote(padOctave, b.chord.root);
    const uint8_t padIns = b.chord.minor ? kPadMinor : kPadMajor;
    if (b.pad) {
        // A held chord is not struck again: the pad's slow attack would dip.
        const bool held = previous != nullptr && previous->pad &&
                          previous->chord.root == b.chord.root &&
                          previous->chord.minor == b.chord.minor;
        if (!held) {
            put(p, 0, kPadChannel, padRoot, padIns, 40);
            put(p, 0, kPadChorusChannel, padRoot, b.chord.minor ? kPadMinorChorus : kPadMajorChorus,
                40);
        }
        if (bar == timeline::kSongBars - 1) {
            keyOff(p, 8, kPadChannel);
            keyOff(p, 8, kPadChorusChannel);
        }
    }

    const int32_t third = b.chord.minor ? 3 : 4;
    if (b.arp > 0) {
        const int32_t tones[3] = {0, third, 7};
        const int32_t steps[16] = {0, 1, 2, 3, 4, 3, 2, 1, 0, 1, 2, 3, 5, 4, 3, 2};
        const uint8_t base = offset(padRoot, 12);
        for (int32_t row = 0; row < kRows; ++row) {
            const int32_t s = steps[row];
            const int32_t semis = tones[s % 3] + 12 * (s / 3);
            const int32_t volume = row % 4 == 0 ? b.arp + 8 : b.arp;
            put(p, row, kArpChannel, offset(base, semis), kPluck, volume > 64 ? 64 : volume,
                kXmSetPanning, arpPanning(bar, row));
        }
    }

    const uint8_t bassRoot = offset(padRoot, -12);
    if (b.bass) {
        const int32_t rows[6] = {0, 3, 6, 8, 11, 14};
        const int32_t lastInterval = bar % 2 == 1 ? 7 : 12;
        const int32_t intervals[6] = {0, 0, 12, 0, 0, lastInterval};
        for (int32_t i = 0; i < 6; ++i) {
            put(p, rows[i], kBassChannel, offset(bassRoot, intervals[i]), kBass,
                i % 3 == 0 ? 60 : 50);
        }
        for (int32_t i = 0; i < 6; ++i)
            keyOff(p, rows[i] + 2, kBassChannel);
    } else if (b.bassLong) {
        put(p, 0, kBassChannel, bassRoot, kBass, 44);
        keyOff(p, 14, kBassChannel);
    }
}

void writeMelody(XmPattern& p, const BarPlan& b, int32_t bar) {
    using namespace instrument;
    if (b.melody == Melody::none)
        return;
    if (b.melody == Melody::bell && b.themeBar < 0) {
        for (const Note& n : introBells()[static_cast<size_t>(bar)]) {
            put(p, n.row, kLeadChannel, noteNumber(n.name), kBell, 40);
        }
        return;
    }
    const auto& notes = theme()[static_cast<size_t>(b.themeBar)];
    for (size_t i = 0; i < notes.size(); ++i) {
        const Note& n = notes[i];
        const uint8_t note = noteNumber(n.name);
        switch (b.melody) {
        case Melody::lead:
            put(p, n.row, kLeadChannel, note, kLead, 46);
            keyOff(p, n.row + n.length, kLeadChannel);
            break;
        case Melody::leadLow:
            put(p, n.row, kLeadChannel, offset(note, -12), kLead, 36);
            keyOff(p, n.row + n.length, kLeadChannel);
            break;
        case Melody::leadHigh:
            put(p, n.row, kLeadChannel, offset(note, 12), kLead, 40);
            keyOff(p, n.row + n.length, kLeadChannel);
            break;
        case Melody::bell:
            // Every other note of the theme, an octave up, left to ring.
            if (i % 2 == 0)
                put(p, n.row, kLeadChannel, offset(note, 12), kBell, 36);
            break;
        case Melody::none:
            break;
        }
    }
}

void writeEffects(XmPattern& p, const BarPlan& b) {
    using namespace instrument;
    if (b.crash || b.hit)
        put(p, 0, kFxChannel, kDrumNote, kCrash, b.hit ? 56 : 44);
    if (b.riser) {
        put(p, 0, kFxChannel, kDrumNote, kRiser, 64, kXmPortamentoUp, 0x04);
        for (int32_t row = 1; row < kRows; ++row)
            p.at(row, kFxChannel) = {0, 0, 0, kXmPortamentoUp, 0x04};
    }
}

// Every cell of the lead channel again kEchoDelay rows later on the echo channel,
// quieter and from the other side; echoes of a bar's last rows open the next bar.
void writeEchoes(std::vector<XmPattern>& song) {
    const int32_t songRows = static_cast<int32_t>(song.size()) * kRows;
    for (int32_t at = 0; at + kEchoDelay < songRows; ++at) {
        const XmNote& n = song[static_cast<size_t>(at / kRows)].at(at % kRows, kLeadChannel);
        if (n.note == 0)
            continue;
        const int32_t to = at + kEchoDelay;
        XmNote& echo = song[static_cast<size_t>(to / kRows)].at(to % kRows, kEchoChannel);
        if (n.note == kXmKeyOff) {
            echo = {kXmKeyOff, 0, 0, 0, 0};
            continue;
        }
        const bool hasVolume = n.volume >= xmVolume(0) && n.volume <= xmVolume(64);
        const int32_t volume = (hasVolume ? n.volume - xmVolume(0) : 64) * kEchoVolumeFifths / 5;
        const uint8_t panning =
            n.instrument == instrument::kBell ? kBellEchoPanning : kLeadEchoPanning;
        echo = {n.note, n.instrument, xmVolume(volume), kXmSetPanning, panning};
    }
}

bool samePattern(const XmPattern& a, const XmPattern& b) {
    for (int32_t row = 0; row < a.rows(); ++row) {
        for (int32_t ch = 0; ch < a.channels(); ++ch) {
            const XmNote& x = a.at(row, ch);
            const XmNote& y = b.at(row, ch);
            if (x.note != y.note || x.instrument != y.instrument || x.volume != y.volume ||
                x.effect != y.effect || x.param != y.param) {
                return false;
            }
        }
    }
    return true;
}
} // namespace

XmModule composeMusic() {
    XmModule m;
    m.name = "Morvane TILSEN";
    m.trackerName = "tilsen content";
    m.channels = kChannels;
    m.speed = static_cast<uint16_t>(timeline::kSpeed);
    m.tempo = static_cast<uint16_t>(timeline::kTempo);
    m.instruments = makeInstruments();

    const std::vector<BarPlan> bars = plan();
    std::vector<XmPattern> song;
    for (int32_t bar = 0; bar < timeline::kSongBars; ++bar) {
        XmPattern p(kRows, kChannels);
        const BarPlan& b = bars[static_cast<size_t>(bar)];
        writeDrums(p, b, bar);
        writeHarmony(p, b, bar > 0 ? &bars[static_cast<size_t>(bar - 1)] : nullptr, bar);
        writeMelody(p, b, bar);
        writeEffects(p, b);
        song.push_back(std::move(p));
    }
    writeEchoes(song);
    for (const XmPattern& p : song) {
        size_t index = 0;
        while (index < m.patterns.size() && !samePattern(m.patterns[index], p))
            ++index;
        if (index == m.patterns.size())
            m.patterns.push_back(p);
        m.orders.push_back(static_cast<uint8_t>(index));
    }
    return m;
}
