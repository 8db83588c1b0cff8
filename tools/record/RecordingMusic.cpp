// Offline rendering through libopenmpt, the same decoder the show plays through. Blocks
// end at volume changes so that each block is scaled by one volume.
#include "RecordingMusic.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>

#include "platform/ModuleLibrary.h"

namespace {

constexpr const char* kMusicFile = "music.xm";
constexpr int32_t kStereo = 2;
// 100 ms: blocks start on whole milliseconds, so their times are exact in microseconds.
constexpr size_t kBlockFrames = 4800;
constexpr uint64_t kMsPerSecond = 1000;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

[[noreturn]] void fail(const char* why) {
    std::fprintf(stderr, "tilsen-record: cannot play %s: %s\n", kMusicFile, why);
    std::exit(1);
}

} // namespace

RecordingMusic::RecordingMusic(VirtualPlayTime& playTime) : time(playTime) {}

void RecordingMusic::startMusic() {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(kMusicFile, "rb"));
    if (!file) {
        fail("File not found");
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        fail("Error loading file");
    }
    const long size = std::ftell(file.get());
    if (size <= 0 || static_cast<uint64_t>(size) > kMaxModuleBytes ||
        std::fseek(file.get(), 0, SEEK_SET) != 0) {
        fail(size == 0 ? "Unknown file format" : "Error loading file");
    }
    bytes.resize(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        fail("Error loading file");
    }
    if (openmpt::probe_file_header(openmpt::probe_file_header_flags_default2, bytes.data(),
                                   bytes.size(),
                                   bytes.size()) != openmpt::probe_file_header_result_success) {
        fail("Unknown file format");
    }
    volume = kFullVolume;
    volumeChanges.clear();
    hasStopped = false;
}

void RecordingMusic::stopMusic() {
    hasStopped = true;
    end = time.now();
}

void RecordingMusic::setMasterVolume(int32_t newVolume) {
    volume = std::clamp(newVolume, 0, kFullVolume);
    volumeChanges.push_back({time.now(), volume});
}

SoundRenderer::SoundRenderer() : volume(RecordingMusic::kFullVolume) {}

SoundRenderer::~SoundRenderer() = default;

bool SoundRenderer::open(const std::vector<uint8_t>& module, int32_t sampleRate) {
    std::ostringstream log; // the decoder's messages stay out of the tool's output
    try {
        decoder = std::make_unique<openmpt::module>(module, log);
        decoder->set_repeat_count(-1);
        // Dither noise comes from a randomly seeded generator; without it two renders of
        // the same module give the same samples.
        decoder->ctl_set_integer("dither", 0);
    } catch (...) {
        decoder.reset();
        return false;
    }
    rate = sampleRate;
    block.assign(kBlockFrames * kStereo, 0);
    volume = RecordingMusic::kFullVolume;
    nextChange = 0;
    done = 0;
    return rate > 0;
}

uint64_t SoundRenderer::frameAt(uint32_t ms) const {
    return static_cast<uint64_t>(ms) * static_cast<uint64_t>(rate) / kMsPerSecond;
}

bool SoundRenderer::renderUntil(uint64_t until, const std::vector<VolumeChange>& changes,
                                const Output& out) {
    if (!decoder) {
        return false;
    }
    while (done < until) {
        uint64_t blockEnd = std::min<uint64_t>(until, done + kBlockFrames);
        while (nextChange < changes.size()) {
            const uint64_t at = frameAt(changes[nextChange].ms);
            if (at > done) {
                blockEnd = std::min(blockEnd, at);
                break;
            }
            volume = changes[nextChange].volume;
            ++nextChange;
        }
        const size_t count = static_cast<size_t>(blockEnd - done);
        size_t got = 0;
        try {
            while (got < count) {
                const size_t n = decoder->read_interleaved_stereo(rate, count - got,
                                                                  block.data() + got * kStereo);
                if (n == 0) {
                    break;
                }
                got += n;
            }
        } catch (...) {
            return false;
        }
        std::fill(block.begin() + static_cast<std::ptrdiff_t>(got * kStereo),
                  block.begin() + static_cast<std::ptrdiff_t>(count * kStereo), int16_t{0});
        ModuleLibrary::applyVolume(block.data(), count * kStereo, volume);
        if (!out(block.data(), count)) {
            return false;
        }
        done = blockEnd;
    }
    return true;
}

bool renderAudio(const std::vector<uint8_t>& module, const std::vector<VolumeChange>& changes,
                 uint64_t frames, int32_t rate,
                 const std::function<bool(const int16_t* samples, size_t frameCount)>& out) {
    SoundRenderer renderer;
    return renderer.open(module, rate) && renderer.renderUntil(frames, changes, out);
}
