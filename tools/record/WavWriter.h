// Writes 16-bit PCM WAV files as the samples come; the sizes in the header are filled in
// by close.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class WavWriter {
public:
    static constexpr uint32_t kHeaderBytes = 44;

    // False when the file cannot be created.
    bool open(const std::string& fileName, int32_t rate, int32_t channels);
    // Interleaved samples, frames x channels of them.
    bool write(const int16_t* samples, size_t frames);
    // Finishes the header and closes; false when anything failed since open, or when the
    // data would not fit a WAV file's 32-bit sizes.
    bool close();
    // Why the first failure happened, in the system's words (strerror); empty when none.
    std::string error() const;

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };

    std::unique_ptr<std::FILE, FileCloser> file;
    int32_t channelCount = 0;
    uint64_t dataBytes = 0;
    bool failed = false;
    int errorNumber = 0; // errno of the first failure; 0 for a size that does not fit
    bool tooLarge = false;

    void fail();
};
