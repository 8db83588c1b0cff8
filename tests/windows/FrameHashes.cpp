// One line per frame of each movie at each drawing setting: the movie's name, the setting,
// the frame's number and a 64-bit FNV-1a hash of its pixels (as little-endian words). Built
// for Linux and for Windows; frame_hashes.sh compares the two outputs line by line.
//     tilsen_frame_hashes SETTING[,SETTING...] MOVIE...
// A SETTING is WIDTHxHEIGHT@THREADS; 320x200@0 draws with render() as the show does at
// 320x200, any other with renderScaled() on THREADS threads as the sharp show does.
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "movie/MoviePlayer.h"

namespace {

struct Setting {
    int width = 0;
    int height = 0;
    int threads = 0;
    std::string text;
};

bool parseSettings(const std::string& text, std::vector<Setting>& settings) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(',', start);
        const std::string item = text.substr(start, end == std::string::npos ? end : end - start);
        Setting setting;
        char tail = '\0';
        if (std::sscanf(item.c_str(), "%dx%d@%d%c", &setting.width, &setting.height,
                        &setting.threads, &tail) != 3 ||
            setting.width <= 0 || setting.height <= 0 || setting.threads < 0) {
            return false;
        }
        setting.text = item;
        settings.push_back(setting);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return !settings.empty();
}

uint64_t hashPixels(const std::vector<uint32_t>& pixels) {
    uint64_t hash = 14695981039346656037ULL;
    for (const uint32_t pixel : pixels) {
        for (int b = 0; b < 4; ++b) {
            hash ^= (pixel >> (8 * b)) & 0xFFu;
            hash *= 1099511628211ULL;
        }
    }
    return hash;
}

// The file's name and its folder's: two folders may hold movies of the same name.
std::string shortName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos || slash == 0) {
        return path;
    }
    const size_t parent = path.find_last_of("/\\", slash - 1);
    return path.substr(parent == std::string::npos ? 0 : parent + 1);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Setting> settings;
    if (argc < 3 || !parseSettings(argv[1], settings)) {
        std::fprintf(stderr, "usage: tilsen_frame_hashes WxH@THREADS[,...] MOVIE...\n");
        return 2;
    }
    int status = 0;
    for (int m = 2; m < argc; ++m) {
        std::string name = shortName(argv[m]);
        std::replace(name.begin(), name.end(), '\\', '/');
        for (const Setting& setting : settings) {
            MoviePlayer player;
            player.openFile(argv[m]);
            if (player.hasEnded()) {
                std::printf("%s %s cannot be opened\n", name.c_str(), setting.text.c_str());
                status = 1;
                continue;
            }
            player.setDrawThreads(setting.threads);
            const bool plain =
                setting.width == 320 && setting.height == 200 && setting.threads == 0;
            std::vector<uint32_t> pixels(static_cast<size_t>(setting.width) *
                                         static_cast<size_t>(setting.height));
            uint32_t frame = 0;
            for (;; ++frame) {
                if (plain) {
                    player.render(pixels.data(), 0, static_cast<int32_t>(frame), 320, 200);
                } else {
                    player.renderScaled(pixels.data(), 0, setting.width, setting.height);
                }
                if (player.hasEnded()) {
                    break;
                }
                std::printf("%s %s %u %016" PRIx64 "\n", name.c_str(), setting.text.c_str(), frame,
                            hashPixels(pixels));
            }
            std::printf("%s %s frames %u\n", name.c_str(), setting.text.c_str(), frame);
        }
    }
    return status;
}
