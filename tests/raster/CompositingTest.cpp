// The wide compositing helpers against their one-byte-at-a-time definitions: scale over
// every byte and coverage, underRun over rows of every kind of pixel, damaged ones too.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "geometry/Cpu.h"
#include "raster/Compositing.h"

namespace {

uint32_t scaledByte(uint32_t byte, uint32_t alpha) {
    return Rasterizer::divide255(byte * alpha);
}

TEST(Compositing, ScaleDividesEveryByteOnItsOwn) {
    for (uint32_t alpha = 0; alpha <= 255; ++alpha) {
        for (uint32_t b = 0; b <= 255; ++b) {
            // The byte under test next to full bytes, which would show any carry.
            const uint32_t colour = (b << 24) | (0xFFu << 16) | (b << 8) | 0xFFu;
            const uint32_t swapped = (0xFFu << 24) | (b << 16) | (0xFFu << 8) | b;
            const uint32_t s = scaledByte(b, alpha);
            const uint32_t f = scaledByte(0xFFu, alpha);
            ASSERT_EQ(compositing::scale(colour, alpha), (s << 24) | (f << 16) | (s << 8) | f)
                << "byte " << b << " alpha " << alpha;
            ASSERT_EQ(compositing::scale(swapped, alpha), (f << 24) | (s << 16) | (f << 8) | s)
                << "byte " << b << " alpha " << alpha;
        }
    }
}

// underRun's definition, one pixel at a time.
void underPlain(uint32_t* pixel, int32_t count, uint32_t src) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t da = pixel[i] >> 24;
        if (da == 0) {
            pixel[i] = src;
        } else if (da != 255u) {
            pixel[i] = compositing::under(pixel[i], src, src >> 24);
        }
    }
}

uint32_t randomPixel(std::mt19937& rng) {
    const int kind = std::uniform_int_distribution<int>(0, 5)(rng);
    const uint32_t a = kind == 0   ? 0u
                       : kind == 1 ? 255u
                                   : std::uniform_int_distribution<uint32_t>(1, 254)(rng);
    // Kind 5: colour bytes above the alpha, as a damaged buffer may hold.
    std::uniform_int_distribution<uint32_t> byte(0, kind == 5 ? 255u : a);
    return (a << 24) | (byte(rng) << 16) | (byte(rng) << 8) | byte(rng);
}

TEST(Compositing, UnderRunMatchesThePixelByPixelBlend) {
    std::mt19937 rng(31u);
    for (int trial = 0; trial < 4000; ++trial) {
        const int32_t count = std::uniform_int_distribution<int32_t>(0, 13)(rng);
        std::vector<uint32_t> row(static_cast<size_t>(count) + 1);
        // Runs of one kind (all empty, all opaque) as well as mixed ones.
        const int layout = trial % 3;
        const uint32_t same = randomPixel(rng);
        for (uint32_t& p : row) {
            p = layout == 0   ? randomPixel(rng)
                : layout == 1 ? same
                              : (trial % 2 == 0 ? 0u : 0xFF102030u);
        }
        const uint32_t src = compositing::clampToAlpha(randomPixel(rng) | 0x01000000u);
        std::vector<uint32_t> expected = row;
        // From the second word: the wide steps must not assume alignment.
        underPlain(expected.data() + 1, count, src);
        compositing::underRun(row.data() + 1, count, src);
        ASSERT_EQ(row, expected) << "trial " << trial << " src " << std::hex << src;
    }
}

TEST(Compositing, UnderRunOverSaturatedSumsCapsAt255) {
    // Damaged pixels whose colour sums pass 65279: the plain blend caps them at 255.
    std::vector<uint32_t> row = {0x01FFFFFFu, 0x80FFFF00u, 0xFEFFFFFFu, 0x7FFF80FFu, 0x01FFFFFFu};
    std::vector<uint32_t> expected = row;
    underPlain(expected.data(), 5, 0xFFFFFFFFu);
    compositing::underRun(row.data(), 5, 0xFFFFFFFFu);
    EXPECT_EQ(row, expected);
    EXPECT_EQ(row[0], 0xFFFFFFFFu);
}

using RunWay = void (*)(uint32_t*, int32_t, uint32_t);

// The four-, eight- and sixteen-wide ways of underRun that this processor has.
std::vector<RunWay> wideUnderRuns() {
    std::vector<RunWay> ways;
#if TILSEN_SSE2
    ways.push_back(compositing::underRunSse2);
#endif
#if TILSEN_X86_64
    const cpu::SimdLevel machine = cpu::machineLevel();
    if (machine >= cpu::SimdLevel::avx2) {
        ways.push_back(compositing::underRunAvx2);
    }
    if (machine >= cpu::SimdLevel::avx512) {
        ways.push_back(compositing::underRunAvx512);
    }
#endif
    return ways;
}

// Every way of underRun, whichever the dispatch would pick on this machine, over long
// runs of every kind of pixel from every alignment: the scalar one (which the sweep also
// takes inline for short runs), and the four-, eight- and sixteen-wide ones where the
// processor has them.
TEST(Compositing, EveryWideUnderRunMatchesThePixelByPixelBlend) {
    std::vector<RunWay> ways = wideUnderRuns();
    ways.insert(ways.begin(), compositing::underRunScalar);
    std::mt19937 rng(977u);
    for (const RunWay way : ways) {
        for (int trial = 0; trial < 3000; ++trial) {
            const int32_t count = std::uniform_int_distribution<int32_t>(0, 41)(rng);
            const int32_t offset = trial % 8;
            std::vector<uint32_t> row(static_cast<size_t>(count + offset + 1));
            const int layout = trial % 4;
            const uint32_t same = randomPixel(rng);
            for (uint32_t& p : row) {
                p = layout == 0   ? randomPixel(rng)
                    : layout == 1 ? same
                    : layout == 2 ? 0u
                                  : 0xFF405060u;
            }
            // Now and then one pixel of another kind in an otherwise uniform run.
            if (layout != 0 && count > 0) {
                row[static_cast<size_t>(offset + trial % count)] = randomPixel(rng);
            }
            const uint32_t src = compositing::clampToAlpha(randomPixel(rng) | 0x01000000u);
            std::vector<uint32_t> expected = row;
            underPlain(expected.data() + offset, count, src);
            way(row.data() + offset, count, src);
            ASSERT_EQ(row, expected) << "trial " << trial << " src " << std::hex << src;
        }
    }
}

// The wide blends' products and roundings against the plain blend at every value they take:
// each colour of one byte c in all four places (its alpha too) over every pixel alpha and
// colour byte, so every product c * (255 - alpha) is divided by 255 in every byte's lanes.
TEST(Compositing, EveryWideUnderRunBlendsEveryProductExactly) {
    const std::vector<RunWay> ways = wideUnderRuns();
    std::vector<uint32_t> pixels(256 * 256);
    for (uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            pixels[alpha * 256 + byte] = (alpha << 24) | (byte * 0x010101u);
        }
    }
    const auto count = static_cast<int32_t>(pixels.size());
    for (uint32_t c = 1; c < 256; ++c) {
        const uint32_t src = c * 0x01010101u;
        std::vector<uint32_t> expected = pixels;
        underPlain(expected.data(), count, src);
        for (size_t way = 0; way < ways.size(); ++way) {
            std::vector<uint32_t> row = pixels;
            ways[way](row.data(), count, src);
            ASSERT_EQ(row, expected) << "way " << way << " colour byte " << c;
        }
    }
}

// Every way of compositing up to eight pixels at per-pixel alphas against writeSolidSpan's
// definition one pixel at a time (a transparent colour leaves the pixel alone, damaged
// pixels included), over every kind of pixel and alpha, colours so faint that low alphas
// scale them to nothing, and every count and room; the pixels past the count, loaded and
// stored back by the wide ways where the room lets them, stay exactly as they were.
TEST(Compositing, EveryEightPixelStepMatchesThePixelByPixelBlend) {
    using EightWay = void (*)(uint32_t*, uint64_t, int32_t, int32_t, uint32_t);
    std::vector<EightWay> ways = {
        [](uint32_t* pixel, uint64_t alphas, int32_t count, int32_t, uint32_t full) {
            compositing::underEightScalar(pixel, alphas, count, full);
        }};
#if TILSEN_SSE2
    ways.push_back(compositing::underEightSse2);
#endif
#if TILSEN_X86_64
    if (cpu::machineLevel() >= cpu::SimdLevel::avx2) {
        ways.push_back(compositing::underEightAvx2);
    }
#endif
    std::mt19937 rng(4099u);
    for (const EightWay way : ways) {
        for (int trial = 0; trial < 6000; ++trial) {
            const int32_t count = trial % 9;
            const int32_t room = count + (trial / 9) % (9 - count);
            constexpr uint32_t kSentinel = 0x12345678u;
            std::vector<uint32_t> row(9, kSentinel);
            const uint32_t same = randomPixel(rng);
            for (int32_t i = 0; i < room; ++i) {
                row[static_cast<size_t>(i)] = trial % 3 == 0 ? same : randomPixel(rng);
            }
            // Now and then an empty pixel that still holds colour bytes.
            if (trial % 7 == 6 && room > 0) {
                row[static_cast<size_t>(trial % room)] = randomPixel(rng) & 0x00FFFFFFu;
            }
            uint64_t alphas = 0;
            for (int32_t i = 0; i < count; ++i) {
                const int kind = std::uniform_int_distribution<int>(0, 3)(rng);
                const uint64_t a = kind == 0 ? 0
                                   : kind == 1
                                       ? 255
                                       : std::uniform_int_distribution<uint64_t>(1, 254)(rng);
                alphas |= a << (8 * i);
            }
            const uint32_t full =
                trial % 5 == 0
                    ? compositing::clampToAlpha(0x01010101u * static_cast<uint32_t>(trial % 3 + 1))
                    : compositing::clampToAlpha(randomPixel(rng) | 0x01000000u);
            std::vector<uint32_t> expected = row;
            for (int32_t i = 0; i < count; ++i) {
                const auto coverage = static_cast<uint32_t>((alphas >> (8 * i)) & 0xFFu);
                const uint32_t src = compositing::scale(full, coverage);
                if ((src >> 24) != 0) {
                    underPlain(expected.data() + i, 1, src);
                }
            }
            way(row.data(), alphas, count, room, full);
            ASSERT_EQ(row, expected) << "trial " << trial << " colour " << std::hex << full;
        }
    }
}

} // namespace
