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

// underEightScalar in one step, with its constants set up once, for callers that composite
// many short spans (the sweep's row writer): each lane's colour is full scaled by its own
// coverage (the 16-bit lane form of scale()), then blended as underRunLanes blends. A lane
// whose colour comes out transparent is left as it is, as the pixel-by-pixel way skips it;
// only the pixels that are there are loaded and stored. AVX2's eight lanes are its only
// width: V is pixellanes::Avx2.
#if TILSEN_X86_64
template <class V> class CoverageLanes {
public:
    __attribute__((always_inline)) explicit CoverageLanes(uint32_t full)
        : zero(_mm256_setzero_si256()),
          alphaMask(_mm256_set1_epi32(static_cast<int>(compositing::kOpaque << 24))),
          fullWords(_mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(full)), zero)),
          k255(_mm256_set1_epi16(static_cast<short>(compositing::kOpaque))),
          one(_mm256_set1_epi16(1)), allLanes(_mm256_set1_epi32(-1)),
          laneIndex(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)),
          // Byte 0 of each 32-bit lane into all four of its bytes.
          spread(_mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4,
                                  4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12)) {}

    __attribute__((always_inline)) void under(uint32_t* pixel, uint64_t alphas,
                                              int32_t count) const {
        constexpr int32_t kLanes = 8;
        const __m256i there =
            count >= kLanes ? allLanes : _mm256_cmpgt_epi32(_mm256_set1_epi32(count), laneIndex);
        const __m256i coverage = _mm256_and_si256(
            _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(alphas))), there);
        int* const at = reinterpret_cast<int*>(pixel);
        const __m256i d = count >= kLanes ? _mm256_loadu_si256(reinterpret_cast<__m256i*>(at))
                                          : _mm256_maskload_epi32(at, there);
        const __m256i da = _mm256_and_si256(d, alphaMask);
        // Lanes past the end count as opaque here: nothing to do for them either.
        const __m256i done =
            _mm256_or_si256(_mm256_cmpeq_epi32(da, alphaMask), _mm256_xor_si256(there, allLanes));
        if (_mm256_movemask_epi8(done) == -1) {
            return;
        }
        const __m256i coverageBytes = _mm256_shuffle_epi8(coverage, spread);
        const __m256i srcLo = scaleWords(_mm256_unpacklo_epi8(coverageBytes, zero));
        const __m256i srcHi = scaleWords(_mm256_unpackhi_epi8(coverageBytes, zero));
        const __m256i src = _mm256_packus_epi16(srcLo, srcHi);
        const __m256i blended = _mm256_packus_epi16(
            blendUnderWords<V>(_mm256_unpacklo_epi8(d, zero), srcLo, k255, one),
            blendUnderWords<V>(_mm256_unpackhi_epi8(d, zero), srcHi, k255, one));
        // An empty pixel takes the colour, unless the colour is transparent.
        const __m256i empty =
            _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_and_si256(src, alphaMask), zero),
                                _mm256_cmpeq_epi32(da, zero));
        const __m256i out = _mm256_blendv_epi8(blended, src, empty);
        if (count >= kLanes) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), out);
        } else {
            _mm256_maskstore_epi32(at, there, out);
        }
    }

private:
    // divide255(full byte * coverage) in every 16-bit lane.
    __attribute__((always_inline)) __m256i scaleWords(__m256i coverage) const {
        const __m256i x = _mm256_mullo_epi16(fullWords, coverage);
        return _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), one), 8);
    }

    __m256i zero;
    __m256i alphaMask;
    __m256i fullWords;
    __m256i k255;
    __m256i one;
    __m256i allLanes;
    __m256i laneIndex;
    __m256i spread;
};
#endif
