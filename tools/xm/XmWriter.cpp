// Serialises an XmModule into the XM layout: little-endian words, fixed-size name
// fields padded with zeros, patterns packed, sample data stored as running deltas.
// Every count and reference is checked first, so a written file is always well formed.
#include "XmWriter.h"

#include <cstdio>
#include <memory>

namespace {

constexpr uint16_t kFormatVersion = 0x0104;
constexpr uint32_t kHeaderSize = 276; // from the size field through the orders
constexpr uint32_t kPatternHeaderSize = 9;
constexpr uint32_t kInstrumentHeaderSize = 263; // with samples; 29 without
constexpr uint32_t kEmptyInstrumentHeaderSize = 29;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr size_t kNameLength = 22;
constexpr size_t kModuleNameLength = 20;
constexpr uint8_t kPackedFlag = 0x80;
constexpr uint8_t kSampleIs16Bit = 0x10;
constexpr uint8_t kEnvelopeOn = 1;
constexpr uint8_t kEnvelopeSustain = 2;
constexpr uint8_t kEnvelopeLoop = 4;
constexpr uint16_t kMaxEnvelopeValue = 64;
constexpr uint8_t kMaxVolume = 64;
// Volume-column bytes below the first volume and between the last volume and the first
// command mean nothing; players differ on them.
constexpr uint8_t kFirstVolumeByte = 0x10;
constexpr uint8_t kLastVolumeByte = 0x50;
constexpr uint8_t kFirstVolumeCommand = 0x60;

class ByteSink {
public:
    std::vector<uint8_t> bytes;

    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v & 0xFFu));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v & 0xFFFFu));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) {
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
        }
    }
    void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
};

void require(bool ok, const char* what) {
    if (!ok) {
        throw XmError(what);
    }
}

void checkEnvelope(const XmEnvelope& e) {
    const size_t n = e.points.size();
    require(n <= static_cast<size_t>(kXmMaxEnvelopePoints), "envelope has more than 12 points");
    for (size_t i = 0; i < n; ++i) {
        require(e.points[i].value <= kMaxEnvelopeValue, "envelope value above 64");
        require(i == 0 || e.points[i].tick > e.points[i - 1].tick, "envelope ticks must increase");
    }
    if (n > 0) {
        require(!e.sustain || e.sustainPoint < n, "envelope sustain point out of range");
        require(!e.loop || (e.loopStart <= e.loopEnd && e.loopEnd < n),
                "envelope loop out of range");
    }
}

void checkSample(const XmSample& s) {
    require(s.volume <= kMaxVolume, "sample volume above 64");
    if (s.loop != XmLoop::none) {
        require(s.loopLength > 0, "looping sample with an empty loop");
        require(s.loopStart <= s.data.size() && s.loopLength <= s.data.size() - s.loopStart,
                "sample loop outside the sample");
    }
    const uint64_t bytes = s.data.size() * (s.sixteenBit ? 2u : 1u);
    require(bytes <= UINT32_MAX, "sample too long");
}

void checkModule(const XmModule& m) {
    require(m.channels >= 1 && m.channels <= kXmMaxChannels, "channel count must be 1..32");
    require(!m.orders.empty() && m.orders.size() <= static_cast<size_t>(kXmMaxOrders),
            "order list must hold 1..256 entries");
    require(m.restartPosition < m.orders.size(), "restart position past the order list");
    require(!m.patterns.empty() && m.patterns.size() <= static_cast<size_t>(kXmMaxPatterns),
            "pattern count must be 1..256");
    require(m.instruments.size() <= static_cast<size_t>(kXmMaxInstruments),
            "more than 128 instruments");
    require(m.speed >= 1 && m.speed <= 31, "speed must be 1..31");
    require(m.tempo >= 32 && m.tempo <= 255, "tempo must be 32..255");
    for (uint8_t order : m.orders) {
        require(order < m.patterns.size(), "order names a missing pattern");
    }
    for (const XmPattern& p : m.patterns) {
        require(p.channels() == m.channels, "pattern channel count differs from the module's");
        for (int32_t r = 0; r < p.rows(); ++r) {
            for (int32_t c = 0; c < p.channels(); ++c) {
                const XmNote& n = p.at(r, c);
                require(n.note <= kXmKeyOff, "note above key off");
                require(n.instrument <= m.instruments.size(), "note names a missing instrument");
                require(n.volume == 0 ||
                            (n.volume >= kFirstVolumeByte && n.volume <= kLastVolumeByte) ||
                            n.volume >= kFirstVolumeCommand,
                        "volume column byte is neither a volume nor a command");
                require(n.effect <= kXmMaxEffect, "effect number above 35");
            }
        }
    }
    for (const XmInstrument& ins : m.instruments) {
        require(ins.samples.size() <= static_cast<size_t>(kXmMaxSamples),
                "more than 16 samples in an instrument");
        for (uint8_t s : ins.sampleForNote) {
            require(ins.samples.empty() || s < ins.samples.size(),
                    "note map names a missing sample");
        }
        checkEnvelope(ins.volumeEnvelope);
        checkEnvelope(ins.panningEnvelope);
        for (const XmSample& s : ins.samples) {
            checkSample(s);
        }
    }
}

// A cell is packed as a flag byte naming the fields that follow, unless all five are
// present, in which case the plain five bytes are shorter.
void writePattern(ByteSink& out, const XmPattern& p) {
    ByteSink data;
    for (int32_t r = 0; r < p.rows(); ++r) {
        for (int32_t c = 0; c < p.channels(); ++c) {
            const XmNote& n = p.at(r, c);
            const uint8_t fields[5] = {n.note, n.instrument, n.volume, n.effect, n.param};
            uint8_t mask = 0;
            for (uint8_t i = 0; i < 5; ++i) {
                if (fields[i] != 0) {
                    mask = static_cast<uint8_t>(mask | (1u << i));
                }
            }
            if (mask == 0x1F) {
                for (uint8_t f : fields) {
                    data.u8(f);
                }
                continue;
            }
            data.u8(static_cast<uint8_t>(kPackedFlag | mask));
            for (uint8_t i = 0; i < 5; ++i) {
                if ((mask & (1u << i)) != 0) {
                    data.u8(fields[i]);
                }
            }
        }
    }
    require(data.bytes.size() <= UINT16_MAX, "packed pattern larger than 64 KiB");
    out.u32(kPatternHeaderSize);
    out.u8(0); // packing type
    out.u16(static_cast<uint16_t>(p.rows()));
    out.u16(static_cast<uint16_t>(data.bytes.size()));
    out.bytes.insert(out.bytes.end(), data.bytes.begin(), data.bytes.end());
}

void writeEnvelopePoints(ByteSink& out, const XmEnvelope& e) {
    for (int32_t i = 0; i < kXmMaxEnvelopePoints; ++i) {
        const size_t k = static_cast<size_t>(i);
        out.u16(k < e.points.size() ? e.points[k].tick : 0);
        out.u16(k < e.points.size() ? e.points[k].value : 0);
    }
}

uint8_t envelopeFlags(const XmEnvelope& e) {
    if (e.points.empty()) {
        return 0;
    }
    uint8_t flags = kEnvelopeOn;
    if (e.sustain) {
        flags = static_cast<uint8_t>(flags | kEnvelopeSustain);
    }
    if (e.loop) {
        flags = static_cast<uint8_t>(flags | kEnvelopeLoop);
    }
    return flags;
}

// Each stored value is the difference from the previous one, wrapping in the sample's
// width; the first difference is taken from 0.
void writeSampleData(ByteSink& out, const XmSample& s) {
    if (s.sixteenBit) {
        uint16_t previous = 0;
        for (int16_t v : s.data) {
            const uint16_t u = static_cast<uint16_t>(v);
            out.u16(static_cast<uint16_t>(u - previous));
            previous = u;
        }
    } else {
        uint8_t previous = 0;
        for (int16_t v : s.data) {
            const uint8_t u = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
            out.u8(static_cast<uint8_t>(u - previous));
            previous = u;
        }
    }
}

void writeInstrument(ByteSink& out, const XmInstrument& ins) {
    const size_t start = out.bytes.size();
    out.u32(ins.samples.empty() ? kEmptyInstrumentHeaderSize : kInstrumentHeaderSize);
    out.text(ins.name, kNameLength);
    out.u8(0); // type
    out.u16(static_cast<uint16_t>(ins.samples.size()));
    if (ins.samples.empty()) {
        return;
    }
    out.u32(kSampleHeaderSize);
    for (uint8_t s : ins.sampleForNote) {
        out.u8(s);
    }
    writeEnvelopePoints(out, ins.volumeEnvelope);
    writeEnvelopePoints(out, ins.panningEnvelope);
    out.u8(static_cast<uint8_t>(ins.volumeEnvelope.points.size()));
    out.u8(static_cast<uint8_t>(ins.panningEnvelope.points.size()));
    for (const XmEnvelope* e : {&ins.volumeEnvelope, &ins.panningEnvelope}) {
        out.u8(e->sustainPoint);
        out.u8(e->loopStart);
        out.u8(e->loopEnd);
    }
    out.u8(envelopeFlags(ins.volumeEnvelope));
    out.u8(envelopeFlags(ins.panningEnvelope));
    out.u8(ins.vibratoType);
    out.u8(ins.vibratoSweep);
    out.u8(ins.vibratoDepth);
    out.u8(ins.vibratoRate);
    out.u16(ins.fadeout);
    out.zeros(kInstrumentHeaderSize - (out.bytes.size() - start));

    for (const XmSample& s : ins.samples) {
        const uint32_t width = s.sixteenBit ? 2u : 1u;
        const bool looping = s.loop != XmLoop::none;
        out.u32(static_cast<uint32_t>(s.data.size()) * width);
        out.u32(looping ? s.loopStart * width : 0);
        out.u32(looping ? s.loopLength * width : 0);
        out.u8(s.volume);
        out.u8(static_cast<uint8_t>(s.finetune));
        out.u8(static_cast<uint8_t>(static_cast<uint8_t>(s.loop) |
                                    (s.sixteenBit ? kSampleIs16Bit : 0)));
        out.u8(s.panning);
        out.u8(static_cast<uint8_t>(s.relativeNote));
        out.u8(0); // reserved
        out.text(s.name, kNameLength);
    }
    for (const XmSample& s : ins.samples) {
        writeSampleData(out, s);
    }
}

} // namespace

XmPattern::XmPattern(int32_t rows, int32_t channels) : rowCount(rows), channelCount(channels) {
    if (rows < 1 || rows > kXmMaxRows || channels < 1 || channels > kXmMaxChannels) {
        throw XmError("pattern must have 1..256 rows and 1..32 channels");
    }
    notes.resize(static_cast<size_t>(rows) * static_cast<size_t>(channels));
}

XmNote& XmPattern::at(int32_t row, int32_t channel) {
    if (row < 0 || row >= rowCount || channel < 0 || channel >= channelCount) {
        throw std::out_of_range("pattern cell out of range");
    }
    return notes[static_cast<size_t>(row) * static_cast<size_t>(channelCount) +
                 static_cast<size_t>(channel)];
}

const XmNote& XmPattern::at(int32_t row, int32_t channel) const {
    return const_cast<XmPattern*>(this)->at(row, channel);
}

std::vector<uint8_t> writeXm(const XmModule& m) {
    checkModule(m);
    ByteSink out;
    out.text("Extended Module: ", 17);
    out.text(m.name, kModuleNameLength);
    out.u8(0x1A);
    out.text(m.trackerName, kModuleNameLength);
    out.u16(kFormatVersion);
    out.u32(kHeaderSize);
    out.u16(static_cast<uint16_t>(m.orders.size()));
    out.u16(m.restartPosition);
    out.u16(static_cast<uint16_t>(m.channels));
    out.u16(static_cast<uint16_t>(m.patterns.size()));
    out.u16(static_cast<uint16_t>(m.instruments.size()));
    out.u16(m.linearFrequencies ? 1 : 0);
    out.u16(m.speed);
    out.u16(m.tempo);
    for (int32_t i = 0; i < kXmMaxOrders; ++i) {
        const size_t k = static_cast<size_t>(i);
        out.u8(k < m.orders.size() ? m.orders[k] : 0);
    }
    for (const XmPattern& p : m.patterns) {
        writePattern(out, p);
    }
    for (const XmInstrument& ins : m.instruments) {
        writeInstrument(out, ins);
    }
    return std::move(out.bytes);
}

void saveXm(const XmModule& module, const std::string& fileName) {
    const std::vector<uint8_t> bytes = writeXm(module);
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(fileName.c_str(), "wb"));
    if (!file) {
        throw XmError("cannot create " + fileName);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fclose(file.release()) != 0) {
        throw XmError("cannot write " + fileName);
    }
}
