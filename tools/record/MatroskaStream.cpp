// Every element size is written in the eight-byte form, so a header is built without
// knowing how long its payload will be. Integers are big-endian, as EBML has them.
#include "MatroskaStream.h"

#include <bit>
#include <cstring>
#include <string>

static_assert(std::endian::native == std::endian::little,
              "pictures and samples are written as the machine's little-endian words");

namespace {

constexpr uint32_t kEbml = 0x1A45DFA3;
constexpr uint32_t kEbmlVersion = 0x4286;
constexpr uint32_t kEbmlReadVersion = 0x42F7;
constexpr uint32_t kEbmlMaxIdLength = 0x42F2;
constexpr uint32_t kEbmlMaxSizeLength = 0x42F3;
constexpr uint32_t kDocType = 0x4282;
constexpr uint32_t kDocTypeVersion = 0x4287;
constexpr uint32_t kDocTypeReadVersion = 0x4285;
constexpr uint32_t kSegment = 0x18538067;
constexpr uint32_t kInfo = 0x1549A966;
constexpr uint32_t kTimestampScale = 0x2AD7B1;
constexpr uint32_t kMuxingApp = 0x4D80;
constexpr uint32_t kWritingApp = 0x5741;
constexpr uint32_t kTracks = 0x1654AE6B;
constexpr uint32_t kTrackEntry = 0xAE;
constexpr uint32_t kTrackNumber = 0xD7;
constexpr uint32_t kTrackUid = 0x73C5;
constexpr uint32_t kTrackType = 0x83;
constexpr uint32_t kCodecId = 0x86;
constexpr uint32_t kVideo = 0xE0;
constexpr uint32_t kPixelWidth = 0xB0;
constexpr uint32_t kPixelHeight = 0xBA;
constexpr uint32_t kDisplayWidth = 0x54B0;
constexpr uint32_t kDisplayHeight = 0x54BA;
constexpr uint32_t kColourSpace = 0x2EB524;
constexpr uint32_t kAudio = 0xE1;
constexpr uint32_t kSamplingFrequency = 0xB5;
constexpr uint32_t kChannels = 0x9F;
constexpr uint32_t kBitDepth = 0x6264;
constexpr uint32_t kCluster = 0x1F43B675;
constexpr uint32_t kClusterTimestamp = 0xE7;
constexpr uint32_t kSimpleBlock = 0xA3;

constexpr uint8_t kVideoTrack = 1;
constexpr uint8_t kAudioTrack = 2;
constexpr uint64_t kTrackTypeVideo = 1;
constexpr uint64_t kTrackTypeAudio = 2;
constexpr uint8_t kKeyframe = 0x80;
constexpr uint64_t kBitsPerSample = 16;
constexpr size_t kSizeBytes = 8;
constexpr uint8_t kSizeMarker = 0x01; // the length marker of an eight-byte size
constexpr uint64_t kUnknownSize = 0x00FFFFFFFFFFFFFFull;

using Bytes = std::vector<uint8_t>;

void appendId(Bytes& b, uint32_t id) {
    const int32_t bytes = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
    for (int32_t i = bytes - 1; i >= 0; --i) {
        b.push_back(static_cast<uint8_t>(id >> (8 * i)));
    }
}

void appendSize(Bytes& b, uint64_t size) {
    b.push_back(kSizeMarker);
    for (int32_t i = static_cast<int32_t>(kSizeBytes) - 2; i >= 0; --i) {
        b.push_back(static_cast<uint8_t>(size >> (8 * i)));
    }
}

Bytes uintPayload(uint64_t v) {
    Bytes b;
    for (int32_t i = 7; i >= 0; --i) {
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    return b;
}

Bytes floatPayload(double v) {
    return uintPayload(std::bit_cast<uint64_t>(v));
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes uintElement(uint32_t id, uint64_t v) {
    return MatroskaStream::element(id, uintPayload(v));
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

} // namespace

Bytes MatroskaStream::element(uint32_t id, const Bytes& payload) {
    Bytes b;
    appendId(b, id);
    appendSize(b, payload.size());
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

bool MatroskaStream::writeHeader(int32_t width, int32_t height, int32_t sampleWidth,
                                 int32_t sampleHeight, int32_t audioRate, int32_t audioChannels) {
    if (width <= 0 || height <= 0 || sampleWidth <= 0 || sampleHeight <= 0) {
        return false;
    }
    pictureBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(uint32_t);
    channels = audioRate > 0 ? audioChannels : 0;
    const Bytes ebml =
        element(kEbml, join({uintElement(kEbmlVersion, 1), uintElement(kEbmlReadVersion, 1),
                             uintElement(kEbmlMaxIdLength, 4), uintElement(kEbmlMaxSizeLength, 8),
                             element(kDocType, text("matroska")), uintElement(kDocTypeVersion, 4),
                             uintElement(kDocTypeReadVersion, 2)}));
    Bytes segment;
    appendId(segment, kSegment);
    appendSize(segment, kUnknownSize);
    const Bytes info = element(kInfo, join({uintElement(kTimestampScale, kNanosecondsPerTick),
                                            element(kMuxingApp, text("tilsen-record")),
                                            element(kWritingApp, text("tilsen-record"))}));
    // The colour space names the pixel layout: bytes B, G, R and one unused.
    const Bytes bgr0 = {'B', 'G', 'R', 0};
    const Bytes video =
        element(kVideo, join({uintElement(kPixelWidth, static_cast<uint64_t>(width)),
                              uintElement(kPixelHeight, static_cast<uint64_t>(height)),
                              uintElement(kDisplayWidth, static_cast<uint64_t>(width) *
                                                             static_cast<uint64_t>(sampleWidth)),
                              uintElement(kDisplayHeight, static_cast<uint64_t>(height) *
                                                              static_cast<uint64_t>(sampleHeight)),
                              element(kColourSpace, bgr0)}));
    Bytes tracks = element(kTrackEntry, join({uintElement(kTrackNumber, kVideoTrack),
                                              uintElement(kTrackUid, kVideoTrack),
                                              uintElement(kTrackType, kTrackTypeVideo),
                                              element(kCodecId, text("V_UNCOMPRESSED")), video}));
    if (channels > 0) {
        const Bytes audio = element(
            kAudio, join({element(kSamplingFrequency, floatPayload(static_cast<double>(audioRate))),
                          uintElement(kChannels, static_cast<uint64_t>(channels)),
                          uintElement(kBitDepth, kBitsPerSample)}));
        tracks = join({tracks, element(kTrackEntry,
                                       join({uintElement(kTrackNumber, kAudioTrack),
                                             uintElement(kTrackUid, kAudioTrack),
                                             uintElement(kTrackType, kTrackTypeAudio),
                                             element(kCodecId, text("A_PCM/INT/LIT")), audio}))});
    }
    const Bytes head = join({ebml, segment, info, element(kTracks, tracks)});
    return out(head.data(), head.size());
}

bool MatroskaStream::writeBlock(uint8_t track, const void* payload, size_t bytes, uint64_t timeUs) {
    // SimpleBlock: track number (a one-byte EBML number), time offset 0, flags.
    const Bytes blockHead = {static_cast<uint8_t>(0x80 | track), 0, 0, kKeyframe};
    const Bytes stamp = uintElement(kClusterTimestamp, timeUs);
    Bytes head;
    appendId(head, kCluster);
    appendSize(head, stamp.size() + 1 + kSizeBytes + blockHead.size() + bytes);
    head.insert(head.end(), stamp.begin(), stamp.end());
    appendId(head, kSimpleBlock);
    appendSize(head, blockHead.size() + bytes);
    head.insert(head.end(), blockHead.begin(), blockHead.end());
    return out(head.data(), head.size()) && out(payload, bytes);
}

bool MatroskaStream::writePicture(const uint32_t* pixels, uint64_t timeUs) {
    return pictureBytes > 0 && writeBlock(kVideoTrack, pixels, pictureBytes, timeUs);
}

bool MatroskaStream::writeSound(const int16_t* samples, size_t frames, uint64_t timeUs) {
    if (channels == 0) {
        return false;
    }
    return frames == 0 ||
           writeBlock(kAudioTrack, samples,
                      frames * static_cast<size_t>(channels) * sizeof(int16_t), timeUs);
}
