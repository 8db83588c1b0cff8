// Fuzz target over the movie reader and drawing: the input is a movie file as it lies on
// disk (gzip or bare stream). It is played the way the show plays it, with a few skips,
// into a full-size frame.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "movie/MoviePlayer.h"

namespace {
constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;
constexpr int kRenderCalls = 6;
constexpr uint32_t kSkips[kRenderCalls] = {0, 1, 0, 2, 0, 0};

// The input as a file name the player can open: an anonymous in-memory file.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : fd(memfd_create("movie", 0)) {
        if (fd < 0) {
            return;
        }
        size_t done = 0;
        while (done < size) {
            const ssize_t n = write(fd, data + done, size - done);
            if (n <= 0) {
                break;
            }
            done += static_cast<size_t>(n);
        }
        name = "/proc/self/fd/" + std::to_string(fd);
    }
    ~MemoryFile() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int fd;
    std::string name;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryFile file(data, size);
    if (file.name.empty()) {
        return 0;
    }
    static std::vector<uint32_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    MoviePlayer player;
    player.openFile(file.name.c_str());
    for (uint32_t skip : kSkips) {
        player.render(pixels.data(), skip, 0, kWidth, kHeight);
    }
    player.close();
    return 0;
}
