// Fuzz target over path replay into the rasterizer: the input picks the drawing set-up
// (fill rule, curve steps, transform, paint kind, target size) from a fixed-size head,
// and the rest becomes the path's command words, as a movie path would arrive.
// Whatever the words hold (non-finite or huge operands, any code, cut commands), the fill
// must stay inside the target, end, and leave every pixel opaque after the background.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "geometry/Paint.h"
#include "geometry/Path.h"
#include "geometry/SolidPaint.h"
#include "geometry/Transform2D.h"
#include "raster/Rasterizer.h"

namespace {

struct TargetSize {
    int32_t width;
    int32_t height;
    int32_t pitch;
};

// The show's size first; then degenerate, odd-pitched and largest addressable targets.
constexpr std::array<TargetSize, 8> kTargets = {{
    {320, 200, 320},
    {1, 1, 1},
    {7, 3, 9},
    {0, 0, 0},
    {4096, 2, 4096},
    {3, 2048, 3},
    {320, 200, 400},
    {33, 17, 33},
}};

// Bytes of the set-up head: flags, curve steps, colour, then six transform floats.
constexpr size_t kHeadBytes = 2 + 4 + 6 * 4;
// Fill of the buffer before clear, to tell untouched row padding from drawn pixels.
constexpr uint32_t kGuard = 0x5A5A5A5Au;

// A paint that changes colour every pixel, so spans take the per-pixel path.
class StripePaint final : public Paint {
public:
    explicit StripePaint(uint32_t base) : colour(base) {}
    void seek(int32_t x, int32_t y) override {
        position = static_cast<uint32_t>(x) * 31u + static_cast<uint32_t>(y) * 17u;
    }
    uint32_t nextColour(int32_t) override {
        ++position;
        // Premultiplied: each colour byte at most the alpha byte.
        const uint32_t alpha = (colour >> 24) | 1u;
        const uint32_t level = (position * 2654435761u >> 24) % (alpha + 1);
        return alpha << 24 | level << 16 | (level / 2) << 8 | (alpha - level);
    }
    bool isSolid() const override { return false; }

private:
    uint32_t colour;
    uint32_t position = 0;
};

float floatAt(const uint8_t* head, size_t offset) {
    uint32_t word = 0;
    std::memcpy(&word, head + offset, sizeof word);
    return std::bit_cast<float>(word);
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "path fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::array<uint8_t, kHeadBytes> head{};
    if (size > 0) {
        std::memcpy(head.data(), data, std::min(size, kHeadBytes));
    }
    const uint8_t flags = head[0];
    const int32_t curveSteps = static_cast<int8_t>(head[1]);
    uint32_t colour = 0;
    std::memcpy(&colour, head.data() + 2, sizeof colour);
    const TargetSize target = kTargets[(flags >> 3) % kTargets.size()];

    std::vector<uint32_t> words;
    if (size >= kHeadBytes + sizeof(uint32_t)) {
        words.resize((size - kHeadBytes) / sizeof(uint32_t));
        std::memcpy(words.data(), data + kHeadBytes, words.size() * sizeof(uint32_t));
    }
    Path path;
    path.setWords(words.data(), static_cast<int32_t>(words.size()));

    const size_t pixelCount = static_cast<size_t>(target.height) * target.pitch;
    static std::vector<uint32_t> pixels;
    pixels.assign(pixelCount, kGuard);

    rasterizer.setTarget(pixels.data(), target.width, target.height, target.pitch);
    rasterizer.clear();
    rasterizer.setCurveSteps(curveSteps);

    // Premultiplied as the movie format promises: colour bytes no larger than alpha.
    const uint32_t alpha = colour >> 24;
    const uint32_t solidColour = alpha << 24 | std::min((colour >> 16) & 0xFFu, alpha) << 16 |
                                 std::min((colour >> 8) & 0xFFu, alpha) << 8 |
                                 std::min(colour & 0xFFu, alpha);
    SolidPaint solid(solidColour);
    StripePaint stripes(colour);
    Paint& paint = (flags & 4u) != 0 ? static_cast<Paint&>(stripes) : solid;
    const FillRule fillRule = (flags & 1u) != 0 ? FillRule::kNonZero : FillRule::kEvenOdd;
    const FillRule otherRule = (flags & 1u) != 0 ? FillRule::kEvenOdd : FillRule::kNonZero;

    if ((flags & 2u) != 0) {
        Transform2D transform;
        transform.setRotation(floatAt(head.data(), 6));
        transform.setScale(floatAt(head.data(), 10), floatAt(head.data(), 14));
        transform.setTranslation(floatAt(head.data(), 18), floatAt(head.data(), 22));
        transform.setSkew(floatAt(head.data(), 26), 0.0f);
        rasterizer.fillTransformed(path, transform, paint, fillRule);
    } else {
        rasterizer.fill(path, paint, fillRule);
    }
    // The same path a second time lands under the first fill.
    if ((flags & 0x80u) != 0) {
        rasterizer.fill(path, solid, otherRule);
    }
    rasterizer.resolveBackground(0xff000000u);

    for (int32_t y = 0; y < target.height; ++y) {
        for (int32_t x = 0; x < target.pitch; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(y) * target.pitch + x];
            if (x < target.width) {
                check(pixel >> 24 == 0xFFu, "a target pixel is not opaque");
            } else {
                // Row padding is cleared with its row (but the last row's) and never drawn.
                check(pixel == 0u || pixel == kGuard, "a pixel beyond the row width was drawn");
            }
        }
    }
    return 0;
}
