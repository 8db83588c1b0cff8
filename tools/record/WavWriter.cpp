// RIFF/WAVE with one fmt chunk (PCM, 16 bits) and one data chunk, little-endian fields.
#include "WavWriter.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr uint16_t kPcm = 1;
constexpr uint16_t kBitsPerSample = 16;
constexpr uint32_t kBytesPerSample = 2;
constexpr uint32_t kFmtBytes = 16;
constexpr uint64_t kMaxDataBytes = UINT32_MAX - WavWriter::kHeaderBytes;

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xffffu);
    put16(p + 2, v >> 16);
}

std::array<uint8_t, WavWriter::kHeaderBytes> header(uint32_t rate, uint32_t channels,
                                                    uint32_t dataBytes) {
    std::array<uint8_t, WavWriter::kHeaderBytes> h{'R', 'I', 'F', 'F', 0,   0,   0,   0,
                                                   'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    put32(&h[4], WavWriter::kHeaderBytes - 8 + dataBytes);
    put32(&h[16], kFmtBytes);
    put16(&h[20], kPcm);
    put16(&h[22], channels);
    put32(&h[24], rate);
    put32(&h[28], rate * channels * kBytesPerSample);
    put16(&h[32], channels * kBytesPerSample);
    put16(&h[34], kBitsPerSample);
    h[36] = 'd';
    h[37] = 'a';
    h[38] = 't';
    h[39] = 'a';
    put32(&h[40], dataBytes);
    return h;
}

} // namespace

void WavWriter::fail() {
    if (!failed) {
        errorNumber = errno;
    }
    failed = true;
}

std::string WavWriter::error() const {
    if (tooLarge) {
        return "the sound is too long for a WAV file's 32-bit sizes";
    }
    if (!failed) {
        return {};
    }
    return errorNumber != 0 ? std::strerror(errorNumber) : "write failed";
}

bool WavWriter::open(const std::string& fileName, int32_t rate, int32_t channels) {
    failed = false;
    tooLarge = false;
    errorNumber = 0;
    if (rate <= 0 || channels <= 0) {
        errno = EINVAL;
        fail();
        return false;
    }
    errno = 0;
    file.reset(std::fopen(fileName.c_str(), "wb"));
    if (!file) {
        fail();
        return false;
    }
    channelCount = channels;
    dataBytes = 0;
    // The sizes stay 0 until close; the rate and layout are final now.
    const auto h = header(static_cast<uint32_t>(rate), static_cast<uint32_t>(channels), 0);
    if (std::fwrite(h.data(), 1, h.size(), file.get()) != h.size()) {
        fail();
    }
    return !failed;
}

bool WavWriter::write(const int16_t* samples, size_t frames) {
    if (!file) {
        return false;
    }
    const size_t count = frames * static_cast<size_t>(channelCount);
    if constexpr (std::endian::native == std::endian::little) {
        if (std::fwrite(samples, sizeof(int16_t), count, file.get()) != count) {
            fail();
        }
    } else {
        std::vector<uint8_t> bytes(count * kBytesPerSample);
        for (size_t i = 0; i < count; ++i) {
            put16(&bytes[i * kBytesPerSample], static_cast<uint16_t>(samples[i]));
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
            fail();
        }
    }
    dataBytes += count * kBytesPerSample;
    return !failed;
}

bool WavWriter::close() {
    if (!file) {
        return false;
    }
    std::array<uint8_t, 4> riff{};
    std::array<uint8_t, 4> data{};
    const bool fits = dataBytes <= kMaxDataBytes;
    tooLarge = !fits;
    const uint32_t size = fits ? static_cast<uint32_t>(dataBytes) : 0;
    put32(riff.data(), kHeaderBytes - 8 + size);
    put32(data.data(), size);
    bool ok = !failed && fits;
    ok = ok && std::fseek(file.get(), 4, SEEK_SET) == 0 &&
         std::fwrite(riff.data(), 1, riff.size(), file.get()) == riff.size();
    ok = ok && std::fseek(file.get(), 40, SEEK_SET) == 0 &&
         std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
    if (!ok && !tooLarge) {
        fail();
    }
    // Buffered bytes reach the disk here: a full disk often shows only now.
    if (std::fclose(file.release()) != 0 && ok) {
        fail();
        ok = false;
    }
    return ok;
}
