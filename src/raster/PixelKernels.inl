// The pixel kernels, written once over a lane-traits type V of raster/PixelLanes.h. No include
// guard: a file that runs them includes this once per width, each time into its own
// namespace inside that width's target region (TILSEN_TARGET_* of geometry/Cpu.h), so that
// each width's copy is compiled for its instructions; raster/PixelLanes.h and
// raster/Compositing.h come first, outside any region.

// The under blend of the pixels d with the colour's words srcLow and srcHigh (16-bit lanes,
// as widenLow and widenHigh lay a word of pixels out): per byte,
// min(d + divide255(src * (255 - d's alpha)), 255). That is under()'s divide255(d * 255 +
// src * (255 - alpha)) capped at 255, for every byte, colour byte and alpha (divide255(255d
// + y) is d + divide255(y) for y <= 65025), with no products of d's own.
template <class V>
__attribute__((always_inline)) inline typename V::Word
blendUnder(typename V::Word d, typename V::Word srcLow, typename V::Word srcHigh) {
    // 255 - each byte.
    const typename V::Word clear = V::bitXor(d, V::splat32(~0u));
    const typename V::Word low =
        V::divide255(V::mulLow16(srcLow, V::template byteWordsLow<3>(clear)));
    const typename V::Word high =
        V::divide255(V::mulLow16(srcHigh, V::template byteWordsHigh<3>(clear)));
    return V::addSaturated8(d, V::narrow(low, high));
}

// underRunScalar V::kPixels pixels a step: returns how many pixels it did, all of them when
// V::kPartialSteps, else a multiple of V::kPixels (the rest is left to a narrower way). For
// the alpha byte the blend gives divide255(65025 - (255 - da) * (255 - sa)), as under() has
// it. An opaque pixel comes out unchanged (nothing is added to it), so only empty pixels
// need a select.
template <class V>
__attribute__((always_inline)) inline int32_t underRunLanes(uint32_t* pixel, int32_t count,
                                                            uint32_t src) {
    using Word = typename V::Word;
    using Mask = typename V::Mask;
    const Word zero = V::zero();
    const Word alphaMask = V::splat32(compositing::kOpaque << 24);
    const Word srcWide = V::splat32(src);
    const Word srcWords = V::widenLow(srcWide);
    // One step over the pixels at `at`, d as loaded; store(word) puts a step's result back.
    const auto step = [&](Word d, auto&& store) __attribute__((always_inline)) {
        const Word da = V::bitAnd(d, alphaMask);
        if (V::all(V::equal32(da, alphaMask))) {
            return;
        }
        const Mask empty = V::equal32(da, zero);
        if (V::all(empty)) {
            store(srcWide);
            return;
        }
        const Word blended = blendUnder<V>(d, srcWords, srcWords);
        store(V::select(empty, srcWide, blended));
    };
    int32_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
        uint32_t* const at = pixel + i;
        step(
            V::load(at), [at](Word v) __attribute__((always_inline)) { V::store(at, v); });
    }
    if constexpr (V::kPartialSteps) {
        // Lanes past the end load as empty pixels and are never stored.
        if (i < count) {
            uint32_t* const at = pixel + i;
            const int32_t left = count - i;
            step(
                V::loadPart(at, left),
                [ at, left ](Word v) __attribute__((always_inline)) { V::storePart(at, left, v); });
            i = count;
        }
    }
    return i;
}

// Rasterizer::resolveRowOverBlack V::kPixels pixels a step: each colour byte becomes
// min(byte, alpha) and the alpha 255. Returns how many pixels it did: all of them when
// V::kPartialSteps, else a multiple of V::kPixels (the rest is left to a narrower way).
template <class V>
__attribute__((always_inline)) inline int32_t resolveOverBlackLanes(uint32_t* pixel,
                                                                    int32_t count) {
    using Word = typename V::Word;
    const Word alphaMask = V::splat32(compositing::kOpaque << 24);
    const auto resolved = [&alphaMask](Word d) __attribute__((always_inline)) {
        return V::bitOr(V::minBytes(d, V::alphaBytes(d)), alphaMask);
    };
    int32_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
        V::store(pixel + i, resolved(V::load(pixel + i)));
    }
    if constexpr (V::kPartialSteps) {
        if (i < count) {
            V::storePart(pixel + i, count - i, resolved(V::loadPart(pixel + i, count - i)));
            i = count;
        }
    }
    return i;
}

// underEightScalar V::kPixels pixels a step (four or eight), with its constants set up once,
// for callers that composite many short spans (the sweep's row writer): each lane's colour
// is full scaled by its own coverage (the 16-bit lane form of scale()), then blended as
// underRunLanes blends. A lane whose colour comes out transparent is left as it is, as the
// pixel-by-pixel way skips it.
template <class V> class CoverageLanes {
public:
    using Word = typename V::Word;
    using Mask = typename V::Mask;
    static_assert(8 % V::kPixels == 0, "a step is a whole part of eight pixels");

    __attribute__((always_inline)) explicit CoverageLanes(uint32_t colour)
        : full(colour), zero(V::zero()), alphaMask(V::splat32(compositing::kOpaque << 24)),
          fullWords(V::widenLow(V::splat32(colour))) {}

    // underEightScalar's count pixels from pixel on, in whole steps over the first room
    // (count <= room <= 8) and the rest pixel by pixel. The room pixels are loaded and
    // stored whole, so no other thread may write them; those past count, whose alphas must
    // be 0, come out as they went in, bit for bit.
    __attribute__((always_inline)) void under(uint32_t* pixel, uint64_t alphas, int32_t count,
                                              int32_t room) const {
        int32_t i = 0;
        for (; i + V::kPixels <= room; i += V::kPixels) {
            const Word coverage = V::spreadBytes(alphas >> (8 * i));
            step(pixel + i, coverage, V::widenLow(coverage), V::widenHigh(coverage));
        }
        if (i < count) {
            compositing::underEightScalar(pixel + i, alphas >> (8 * i), count - i, full);
        }
    }

    // The colour under V::kPixels pixels from at, pixel i at the coverage (0..255) in 32-bit
    // lane i of alphas.
    __attribute__((always_inline)) void underLanes(uint32_t* at, Word alphas) const {
        step(at, alphas, V::template byteWordsLow<0>(alphas), V::template byteWordsHigh<0>(alphas));
    }

private:
    // coverage is zero in the lanes of no coverage; coverageLow and coverageHigh hold each
    // lane's coverage in all four 16-bit lanes of its pixel, as widenLow and widenHigh lay
    // the pixels out.
    __attribute__((always_inline)) void step(uint32_t* at, Word coverage, Word coverageLow,
                                             Word coverageHigh) const {
        const Word d = V::load(at);
        const Word da = V::bitAnd(d, alphaMask);
        // Opaque pixels and lanes of no coverage are final.
        if (V::all(V::either(V::equal32(da, alphaMask), V::equal32(coverage, zero)))) {
            return;
        }
        const Word srcLo = scaleWords(coverageLow);
        const Word srcHi = scaleWords(coverageHigh);
        const Word src = V::narrow(srcLo, srcHi);
        const Word blended = blendUnder<V>(d, srcLo, srcHi);
        // An empty pixel takes the colour, unless the colour is transparent.
        const Mask empty =
            V::butNot(V::equal32(da, zero), V::equal32(V::bitAnd(src, alphaMask), zero));
        V::store(at, V::select(empty, src, blended));
    }

    // divide255(full byte * coverage) in every 16-bit lane.
    __attribute__((always_inline)) Word scaleWords(Word coverage) const {
        return V::divide255(V::mulLow16(fullWords, coverage));
    }

    uint32_t full;
    Word zero;
    Word alphaMask;
    Word fullWords;
};
