// libopenmpt and SDL audio behind the music library calls. The audio callback renders
// the module and publishes (frames handed, performance counter at hand-over) through a
// sequence lock; playTime() turns the pair into what the listener hears by now.
#include "platform/ModuleLibrary.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <libopenmpt/libopenmpt.hpp>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "movie/DataFile.h"

namespace {

constexpr int32_t kStereo = 2;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

struct ModuleLibrary::State {
    int32_t error = kMusicNoError;
    bool initialised = false;
    SDL_AudioDeviceID device = 0;
    int32_t rate = 0;
    uint64_t bufferFrames = 0;
    uint64_t counterFrequency = 1;

    SongHandle song = kNoSong;
    SongHandle nextSong = 1;
    std::ostringstream moduleLog; // load messages stay out of the show's output
    std::unique_ptr<openmpt::module> module;

    // Set (release) once the module belongs to the audio thread.
    std::atomic<bool> playing{false};
    std::atomic<int32_t> volume{kMusicFullVolume};
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint64_t> framesHanded{0};
    std::atomic<uint64_t> handOverCounter{0};
    uint32_t lastPlayTime = 0; // main thread only

    bool openDevice(const char* driver);
    void render(int16_t* out, size_t frames);
    static void SDLCALL callback(void* user, Uint8* stream, int length);
};

bool ModuleLibrary::State::openDevice(const char* driver) {
    if (SDL_AudioInit(driver) != 0) {
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = kStereo;
    want.samples = static_cast<Uint16>(kBufferFrames);
    want.callback = &State::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                 SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device == 0) {
        SDL_AudioQuit();
        return false;
    }
    rate = have.freq;
    bufferFrames = have.samples;
    return true;
}

void ModuleLibrary::State::render(int16_t* out, size_t frames) {
    size_t done = 0;
    try {
        while (done < frames) {
            const size_t n = module->read_interleaved_stereo(
                rate, frames - done, out + done * static_cast<size_t>(kStereo));
            if (n == 0) {
                break;
            }
            done += n;
        }
    } catch (...) {
        // A decoding failure leaves silence; the play time keeps running.
    }
    std::fill(out + done * static_cast<size_t>(kStereo),
              out + frames * static_cast<size_t>(kStereo), int16_t{0});
    applyVolume(out, frames * static_cast<size_t>(kStereo), volume.load(std::memory_order_relaxed));
}

void SDLCALL ModuleLibrary::State::callback(void* user, Uint8* stream, int length) {
    State& s = *static_cast<State*>(user);
    const uint64_t now = SDL_GetPerformanceCounter();
    const size_t bytes = static_cast<size_t>(std::max(length, 0));
    const size_t frames = bytes / (sizeof(int16_t) * static_cast<size_t>(kStereo));
    if (!s.playing.load(std::memory_order_acquire)) {
        std::memset(stream, 0, bytes);
        return;
    }
    s.render(reinterpret_cast<int16_t*>(stream), frames);

    const uint32_t seq = s.sequence.load(std::memory_order_relaxed);
    s.sequence.store(seq + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    s.framesHanded.store(s.framesHanded.load(std::memory_order_relaxed) + frames,
                         std::memory_order_relaxed);
    s.handOverCounter.store(now, std::memory_order_relaxed);
    s.sequence.store(seq + 2, std::memory_order_release);
}

ModuleLibrary::ModuleLibrary() : state(std::make_unique<State>()) {}

ModuleLibrary::~ModuleLibrary() {
    close();
}

float ModuleLibrary::version() {
    return kVersion;
}

bool ModuleLibrary::init(int32_t mixRate, int32_t /*channels*/, uint32_t /*flags*/) {
    State& s = *state;
    if (s.initialised) {
        s.error = kMusicAlreadyInitialised;
        return false;
    }
    if (mixRate <= 0) {
        s.error = kMusicInvalidParameter;
        return false;
    }
    s.rate = mixRate;
    // SDL opens the first driver that initialises and gives up if its device will not
    // open (a sound server that is down, a card that is busy). Try the others too, but
    // never fall back to the silent ones unless asked for by name.
    bool opened = s.openDevice(nullptr);
    const char* requested = std::getenv("SDL_AUDIODRIVER");
    if (!opened && (requested == nullptr || *requested == '\0')) {
        for (int i = 0; i < SDL_GetNumAudioDrivers() && !opened; ++i) {
            const std::string name = SDL_GetAudioDriver(i);
            if (name != "dummy" && name != "disk") {
                s.rate = mixRate;
                opened = s.openDevice(name.c_str());
            }
        }
    }
    if (!opened) {
        s.error = kMusicOutputInit;
        return false;
    }
    s.counterFrequency = std::max<uint64_t>(SDL_GetPerformanceFrequency(), 1);
    s.initialised = true;
    s.error = kMusicNoError;
    return true;
}

int32_t ModuleLibrary::lastError() {
    return state->error;
}

void ModuleLibrary::close() {
    State& s = *state;
    if (!s.initialised) {
        return;
    }
    freeSong(s.song);
    SDL_CloseAudioDevice(s.device);
    SDL_AudioQuit();
    s.device = 0;
    s.initialised = false;
}

SongHandle ModuleLibrary::loadSong(const char* fileName) {
    State& s = *state;
    if (!s.initialised) {
        s.error = kMusicNotInitialised;
        return kNoSong;
    }
    if (fileName == nullptr) {
        s.error = kMusicInvalidParameter;
        return kNoSong;
    }
    errno = 0;
    const int fd = openDataFile(fileName);
    if (fd < 0) {
        s.error = (errno == ENOENT || errno == ENOTDIR) ? kMusicFileNotFound : kMusicFileLoad;
        return kNoSong;
    }
    std::unique_ptr<std::FILE, FileCloser> file(fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        s.error = kMusicFileLoad;
        return kNoSong;
    }
    std::vector<uint8_t> bytes;
    try {
        if (std::fseek(file.get(), 0, SEEK_END) != 0) {
            s.error = kMusicFileLoad;
            return kNoSong;
        }
        const long size = std::ftell(file.get());
        if (size < 0 || static_cast<uint64_t>(size) > kMaxModuleBytes ||
            std::fseek(file.get(), 0, SEEK_SET) != 0) {
            s.error = kMusicFileLoad;
            return kNoSong;
        }
        if (size == 0) {
            s.error = kMusicUnknownFormat;
            return kNoSong;
        }
        bytes.resize(static_cast<size_t>(size));
        if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
            s.error = kMusicFileLoad;
            return kNoSong;
        }
        if (openmpt::probe_file_header(openmpt::probe_file_header_flags_default2, bytes.data(),
                                       bytes.size(),
                                       bytes.size()) != openmpt::probe_file_header_result_success) {
            s.error = kMusicUnknownFormat;
            return kNoSong;
        }
        freeSong(s.song);
        s.volume.store(kMusicFullVolume, std::memory_order_relaxed);
        s.moduleLog.str("");
        auto module = std::make_unique<openmpt::module>(bytes, s.moduleLog);
        module->set_repeat_count(-1);
        s.module = std::move(module);
    } catch (const std::bad_alloc&) {
        s.error = kMusicOutOfMemory;
        return kNoSong;
    } catch (const openmpt::exception&) {
        // Headers can look like a format without magic words (early four-channel modules)
        // yet hold none: that is still not a module.
        s.error = kMusicUnknownFormat;
        return kNoSong;
    } catch (...) {
        s.error = kMusicFileLoad;
        return kNoSong;
    }
    s.song = s.nextSong++;
    s.error = kMusicNoError;
    return s.song;
}

bool ModuleLibrary::playSong(SongHandle song) {
    State& s = *state;
    if (song == kNoSong || song != s.song) {
        s.error = kMusicInvalidParameter;
        return false;
    }
    if (s.playing.load(std::memory_order_relaxed)) {
        return true;
    }
    s.framesHanded.store(0, std::memory_order_relaxed);
    s.handOverCounter.store(0, std::memory_order_relaxed);
    s.lastPlayTime = 0;
    // From here the module is the audio thread's.
    s.playing.store(true, std::memory_order_release);
    SDL_PauseAudioDevice(s.device, 0);
    return true;
}

bool ModuleLibrary::freeSong(SongHandle song) {
    State& s = *state;
    if (song == kNoSong || song != s.song) {
        s.error = kMusicInvalidParameter;
        return false;
    }
    s.playing.store(false, std::memory_order_release);
    // Wait out a callback that may still be rendering, then take the module back.
    SDL_LockAudioDevice(s.device);
    SDL_UnlockAudioDevice(s.device);
    SDL_PauseAudioDevice(s.device, 1);
    s.module.reset();
    s.song = kNoSong;
    return true;
}

uint64_t ModuleLibrary::heardFrames(uint64_t framesHanded, uint64_t bufferFrames,
                                    uint64_t framesSinceHandOver) {
    if (framesHanded == 0) {
        return 0;
    }
    const uint64_t queued = std::min(framesHanded, bufferFrames);
    return framesHanded - queued + std::min(framesSinceHandOver, bufferFrames);
}

uint32_t ModuleLibrary::playTime(SongHandle song) {
    State& s = *state;
    if (song == kNoSong || song != s.song || !s.playing.load(std::memory_order_relaxed)) {
        return 0;
    }
    uint64_t handed = 0;
    uint64_t counter = 0;
    for (;;) {
        const uint32_t before = s.sequence.load(std::memory_order_acquire);
        handed = s.framesHanded.load(std::memory_order_relaxed);
        counter = s.handOverCounter.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if ((before & 1u) == 0 && s.sequence.load(std::memory_order_relaxed) == before) {
            break;
        }
    }
    const uint64_t now = SDL_GetPerformanceCounter();
    // At most one second of counter ticks, so the product below cannot overflow.
    const uint64_t ticks = now > counter ? std::min(now - counter, s.counterFrequency) : 0;
    const uint64_t since = ticks * static_cast<uint64_t>(s.rate) / s.counterFrequency;
    const uint64_t frames = heardFrames(handed, s.bufferFrames, since);
    const uint64_t ms = frames * 1000u / static_cast<uint64_t>(s.rate);
    s.lastPlayTime = std::max(s.lastPlayTime, static_cast<uint32_t>(ms));
    return s.lastPlayTime;
}

int32_t ModuleLibrary::masterVolume(SongHandle song) {
    State& s = *state;
    if (song == kNoSong || song != s.song) {
        s.error = kMusicInvalidParameter;
        return 0;
    }
    return s.volume.load(std::memory_order_relaxed);
}

bool ModuleLibrary::setMasterVolume(SongHandle song, int32_t volume) {
    State& s = *state;
    if (song == kNoSong || song != s.song || volume < 0 || volume > kMusicFullVolume) {
        s.error = kMusicInvalidParameter;
        return false;
    }
    s.volume.store(volume, std::memory_order_relaxed);
    return true;
}

void ModuleLibrary::applyVolume(int16_t* samples, size_t count, int32_t volume) {
    if (volume >= kMusicFullVolume) {
        return;
    }
    const int32_t gain = std::max(volume, 0);
    for (size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<int16_t>(samples[i] * gain / kMusicFullVolume);
    }
}
