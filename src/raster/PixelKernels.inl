// The pixel kernels, written once over a lane-traits type V of raster/PixelLanes.h. No include
// guard: a file that runs them includes this once per width, each time into its own
// namespace inside that width's target region (TILSEN_TARGET_* of geometry/Cpu.h), so that
// each width's copy is compiled for its instructions; raster/PixelLanes.h and
// raster/Compositing.h come first, outside any region.

// The under blend in 16-bit lanes, two pixels a 128-bit quarter: per channel of the pixel
// words d, divide255(d * 255 + src * (255 - d's alpha)) with unsigned saturation, which gives
// 255 exactly where the plain sum would pass 65279 and be capped (under() caps it at 255).
// Both products fit 16 bits. k255 and one hold 255 and 1 in every 16-bit lane.
template <class V>
__attribute__((always_inline)) inline typename V::Word
blendUnderWords(typename V::Word d, typename V::Word src, typename V::Word k255,
                typename V::Word one) {
    const typename V::Word dstClear = V::sub16(k255, V::alphaWords(d));
    const typename V::Word sum =
        V::addSaturated16(V::mulLow16(d, k255), V::mulLow16(src, dstClear));
    const typename V::Word rounded =
        V::addSaturated16(V::addSaturated16(sum, V::template shiftRight16<8>(sum)), one);
    return V::template shiftRight16<8>(rounded);
}

// underRunScalar V::kPixels pixels a step: returns how many pixels it did, all of them when
// V::kPartialSteps, else a multiple of V::kPixels (the rest is left to a narrower way). For
// the alpha byte the 16-bit blend's sum is divide255(65025 - (255 - da) * (255 - sa)), as
// under() has it. An opaque pixel comes out unchanged (d * 255 divides back exactly), so only
// empty pixels need a select.
template <class V>
__attribute__((always_inline)) inline int32_t underRunLanes(uint32_t* pixel, int32_t count,
                                                            uint32_t src) {
    using Word = typename V::Word;
    using Mask = typename V::Mask;
    const Word zero = V::zero();
    const Word alphaMask = V::splat32(compositing::kOpaque << 24);
    const Word srcWide = V::splat32(src);
    const Word srcWords = V::widenLow(srcWide);
    const Word k255 = V::splat16(compositing::kOpaque);
    const Word one = V::splat16(1u);
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
        const Word blended = V::narrow(blendUnderWords<V>(V::widenLow(d), srcWords, k255, one),
                                       blendUnderWords<V>(V::widenHigh(d), srcWords, k255, one));
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
// min(byte, alpha) and the alpha 255. Returns how many pixels it did (a multiple of
// V::kPixels); the rest is left to a narrower way.
template <class V>
__attribute__((always_inline)) inline int32_t resolveOverBlackLanes(uint32_t* pixel,
                                                                    int32_t count) {
    using Word = typename V::Word;
    const Word alphaMask = V::splat32(compositing::kOpaque << 24);
    int32_t i = 0;
    for (; i + V::kPixels <= count; i += V::kPixels) {
        const Word d = V::load(pixel + i);
        const Word a = V::template shiftRight32<24>(d);
        const Word spread =
            V::bitOr(V::bitOr(a, V::template shiftLeft32<8>(a)), V::template shiftLeft32<16>(a));
        V::store(pixel + i, V::bitOr(V::minBytes(d, spread), alphaMask));
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
          fullWords(V::widenLow(V::splat32(colour))), k255(V::splat16(compositing::kOpaque)),
          one(V::splat16(1u)) {}

    // underEightScalar's count pixels from pixel on, in whole steps over the first room
    // (count <= room <= 8) and the rest pixel by pixel. The room pixels are loaded and
    // stored whole, so no other thread may write them; those past count, whose alphas must
    // be 0, come out as they went in, bit for bit.
    __attribute__((always_inline)) void under(uint32_t* pixel, uint64_t alphas, int32_t count,
                                              int32_t room) const {
        int32_t i = 0;
        for (; i + V::kPixels <= room; i += V::kPixels) {
            step(pixel + i, V::spreadBytes(alphas >> (8 * i)));
        }
        if (i < count) {
            compositing::underEightScalar(pixel + i, alphas >> (8 * i), count - i, full);
        }
    }

    // The colour under V::kPixels pixels from at, pixel i at the coverage (0..255) in 32-bit
    // lane i of alphas.
    __attribute__((always_inline)) void underLanes(uint32_t* at, Word alphas) const {
        const Word twice = V::bitOr(alphas, V::template shiftLeft32<8>(alphas));
        step(at, V::bitOr(twice, V::template shiftLeft32<16>(twice)));
    }

private:
    // coverage holds each lane's coverage in all four of its bytes.
    __attribute__((always_inline)) void step(uint32_t* at, Word coverage) const {
        const Word d = V::load(at);
        const Word da = V::bitAnd(d, alphaMask);
        // Opaque pixels and lanes of no coverage are final.
        if (V::all(V::either(V::equal32(da, alphaMask), V::equal32(coverage, zero)))) {
            return;
        }
        const Word srcLo = scaleWords(V::widenLow(coverage));
        const Word srcHi = scaleWords(V::widenHigh(coverage));
        const Word src = V::narrow(srcLo, srcHi);
        const Word blended = V::narrow(blendUnderWords<V>(V::widenLow(d), srcLo, k255, one),
                                       blendUnderWords<V>(V::widenHigh(d), srcHi, k255, one));
        // An empty pixel takes the colour, unless the colour is transparent.
        const Mask empty =
            V::butNot(V::equal32(da, zero), V::equal32(V::bitAnd(src, alphaMask), zero));
        V::store(at, V::select(empty, src, blended));
    }

    // divide255(full byte * coverage) in every 16-bit lane; the sum stays below 2^16.
    __attribute__((always_inline)) Word scaleWords(Word coverage) const {
        const Word x = V::mulLow16(fullWords, coverage);
        return V::template shiftRight16<8>(
            V::addSaturated16(V::addSaturated16(x, V::template shiftRight16<8>(x)), one));
    }

    uint32_t full;
    Word zero;
    Word alphaMask;
    Word fullWords;
    Word k255;
    Word one;
};
