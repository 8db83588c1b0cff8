// Renders frames of a movie file with the wasm core under node, the way `mvz render --raw`
// does natively: K render calls on one player, each skipping S frames, each frame written
// as 320x200 little-endian 0xAARRGGBB words. The two outputs must be the same bytes.
//     node tilsen_movie_frames.js MOVIE OUTDIR K S
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "movie/MoviePlayer.h"

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 200;

bool parseCount(const char* text, uint32_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed > UINT32_MAX) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    uint32_t count = 0;
    uint32_t skip = 0;
    if (argc != 5 || !parseCount(argv[3], count) || !parseCount(argv[4], skip)) {
        std::fprintf(stderr, "usage: tilsen_movie_frames MOVIE OUTDIR COUNT SKIP\n");
        return 2;
    }
    MoviePlayer player;
    player.openFile(argv[1]);
    std::vector<uint32_t> pixels(static_cast<size_t>(kWidth * kHeight));
    for (uint32_t call = 0; call < count; ++call) {
        player.render(pixels.data(), skip, static_cast<int32_t>(call), kWidth, kHeight);
        char name[32];
        // Named as mvz names its frames, so that the two folders compare file by file.
        std::snprintf(name, sizeof name, "/frame%06u.raw", call);
        const std::string path = std::string(argv[2]) + name;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
        std::vector<uint8_t> bytes(pixels.size() * 4);
        for (size_t i = 0; i < pixels.size(); ++i) {
            for (size_t b = 0; b < 4; ++b) {
                bytes[i * 4 + b] = static_cast<uint8_t>(pixels[i] >> (8 * b));
            }
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        if (std::fclose(out) != 0 || !written) {
            std::fprintf(stderr, "%s: cannot write the frame\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
