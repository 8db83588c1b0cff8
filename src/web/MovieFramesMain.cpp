// Renders frames of a movie file with the wasm core under node, the way `mvz render --raw`
// (with --scale N) does natively: K render calls on one player, each skipping S frames, each
// frame written as 320N x 200N little-endian 0xAARRGGBB words (N = 1 unless given; above 1
// the sharp way, renderScaled). The two outputs must be the same bytes.
//     node tilsen_movie_frames.js MOVIE OUTDIR K S [N]
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
// As mvz: the pixels before the first frame, and the largest scale.
constexpr uint32_t kStartPixel = 0xff000000u;
constexpr uint32_t kMaxScale = 12;

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
    uint32_t scale = 1;
    if ((argc != 5 && argc != 6) || !parseCount(argv[3], count) || !parseCount(argv[4], skip) ||
        (argc == 6 && (!parseCount(argv[5], scale) || scale < 1 || scale > kMaxScale))) {
        std::fprintf(stderr, "usage: tilsen_movie_frames MOVIE OUTDIR COUNT SKIP [SCALE]\n");
        return 2;
    }
    const int32_t width = kWidth * static_cast<int32_t>(scale);
    const int32_t height = kHeight * static_cast<int32_t>(scale);
    MoviePlayer player;
    player.openFile(argv[1]);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height),
                                 kStartPixel);
    for (uint32_t call = 0; call < count; ++call) {
        if (scale == 1) {
            player.render(pixels.data(), skip, static_cast<int32_t>(call), kWidth, kHeight);
        } else {
            player.renderScaled(pixels.data(), skip, width, height);
        }
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
