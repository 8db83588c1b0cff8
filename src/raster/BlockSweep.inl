// The sweep of summed pixels in lanes, written once over a lane-traits type V as
// raster/PixelKernels.inl is, and included with it once per width into the sweep's own
// namespaces (raster/Sweep.cpp), after the sweep's SolidSpans, RowBlocks and coverage
// helpers. No include guard.

// cellword::extent V::kPixels cells a step, the whole steps from first on, merged with e:
// returns the first cell it did not take. Each cell's row goes to the low 16 bits of its lane
// and its column to the high 16; both are below 2^15, so signed 16-bit minima and maxima
// find the four extremes at once.
template <class V>
__attribute__((always_inline)) inline const Cell* extentLanes(const Cell* first, const Cell* last,
                                                              cellword::Extent& e) {
    using Word = typename V::Word;
    const Cell* it = first;
    if (last - it < V::kPixels) {
        return it;
    }
    const Word columns = V::splat32(cellword::kColumnMask << 16);
    const auto key = [&columns](Word cells) __attribute__((always_inline)) {
        return V::bitOr(
            V::template shiftRight32<cellword::kRowShift>(cells),
            V::bitAnd(V::template shiftLeft32<16 - cellword::kColumnShift>(cells), columns));
    };
    Word least = key(V::load(it));
    Word most = least;
    for (it += V::kPixels; last - it >= V::kPixels; it += V::kPixels) {
        const Word k = key(V::load(it));
        least = V::minSigned16(least, k);
        most = V::maxSigned16(most, k);
    }
    uint32_t lows[V::kPixels];
    uint32_t highs[V::kPixels];
    V::store(lows, least);
    V::store(highs, most);
    for (int32_t i = 0; i < V::kPixels; ++i) {
        e = cellword::merged(
            e, {lows[i] & 0xFFFFu, highs[i] & 0xFFFFu, lows[i] >> 16, highs[i] >> 16});
    }
    return it;
}

// addCells V::kPixels cells a step, the whole steps from first on: returns the first cell it
// did not take. The lanes find each cell's places, a row and a column apiece in the 16-bit
// halves of a lane multiplied by their strides and summed; the sums themselves are added
// one cell at a time, as neighbouring cells often share a pixel. The sums are taken as one
// array of 32-bit words, SumsBlock's fields in order. A grid wider than a 16-bit stride
// reaches (1365 blocks; no grid of cells, whose columns are below 4096, is) is left whole
// to the scalar loop.
template <class V>
__attribute__((always_inline)) inline const Cell* addCellsLanes(const Cell* first, const Cell* last,
                                                                const PixelGrid& grid) {
    using Word = typename V::Word;
    constexpr int32_t kFields = sizeof(SumsBlock) / sizeof(uint32_t);
    // shares[down] starts down * 8 words into the block.
    static_assert(kFields == 3 * SumsBlock::kPixels && SumsBlock::kPixels == 8);
    uint32_t* const sums = reinterpret_cast<uint32_t*>(grid.sums);
    const Word firstRow = V::splat32(static_cast<uint32_t>(grid.firstRow));
    const Word firstColumn = V::splat32(static_cast<uint32_t>(grid.firstColumn));
    // A row's words of sums, and of each bitmap, in the low halves; a block's and a word's
    // in the high.
    const Word sumsStrides = V::splat32(
        static_cast<uint32_t>(grid.stride / SumsBlock::kPixels * kFields) | (kFields << 16));
    const Word bitStrides = V::splat32(static_cast<uint32_t>(grid.wordStride) | (1u << 16));
    const Word k7 = V::splat32(7u);
    const Word k63 = V::splat32(63u);
    const Word positionMask = V::splat32(cellword::kPositionMask);
    const Word maxPosition = V::splat32(kMaxPosition);
    // Where a block's winding field starts among its words.
    const Word windField = V::splat32(offsetof(SumsBlock, wind) / sizeof(uint32_t));
    const Word one = V::splat32(1u);
    uint64_t* const bitmaps[2] = {grid.even, grid.odd};
    const Cell* it = first;
    if (grid.stride / SumsBlock::kPixels * kFields > INT16_MAX) {
        return it;
    }
    for (; last - it >= V::kPixels; it += V::kPixels) {
        const Word c = V::load(it);
        const Word r = V::sub32(V::template shiftRight32<cellword::kRowShift>(c), firstRow);
        const Word x = V::sub32(V::bitAnd(V::template shiftRight32<cellword::kColumnShift>(c),
                                          V::splat32(cellword::kColumnMask)),
                                firstColumn);
        const Word down = V::bitAnd(c, one);
        // The first field of the pixel's block, plus its lane.
        const Word pixel =
            V::add32(V::mulAddPairs16(
                         V::bitOr(r, V::template shiftLeft32<16>(V::template shiftRight32<3>(x))),
                         sumsStrides),
                     V::bitAnd(x, k7));
        uint32_t shareAt[V::kPixels];
        uint32_t share[V::kPixels];
        uint32_t windAt[V::kPixels];
        uint32_t wind[V::kPixels];
        uint32_t bitAt[V::kPixels];
        uint32_t bit[V::kPixels];
        // The share, 255 - position, goes to shares[down]; the winding, +1 down and -1 up.
        V::store(shareAt, V::add32(pixel, V::template shiftLeft32<3>(down)));
        V::store(share, V::sub32(maxPosition,
                                 V::bitAnd(V::template shiftRight32<cellword::kPositionShift>(c),
                                           positionMask)));
        V::store(windAt, V::add32(pixel, windField));
        V::store(wind, V::sub32(V::add32(down, down), one));
        V::store(bitAt, V::mulAddPairs16(V::bitOr(r, V::template shiftLeft32<16>(
                                                         V::template shiftRight32<6>(x))),
                                         bitStrides));
        V::store(bit, V::bitAnd(x, k63));
        for (int32_t i = 0; i < V::kPixels; ++i) {
            sums[shareAt[i]] += share[i];
            sums[windAt[i]] += wind[i];
            bitmaps[i & 1][bitAt[i]] |= uint64_t{1} << bit[i];
        }
    }
    return it;
}

// The summed pixels of a fill (as sweepGrid takes them) a block of eight at a time, in
// steps of V::kPixels lanes. The winding each pixel carries in is a running sum across the
// lanes, so a block's coverage, crossing pixels and the pixels between them alike, comes
// out of one formula with no branch per pixel; the stretches between blocks are runs of
// the winding carried, composited as one colour. Every pixel comes out as RowWriter makes
// it: a row starts with no winding and ends at its last crossing pixel.
template <class V, bool kEvenOdd, bool kBlocked> class BlockSweep {
public:
    using Word = typename V::Word;
    static constexpr int32_t kBlock = SumsBlock::kPixels;
    static constexpr int32_t kSteps = kBlock / V::kPixels;

    __attribute__((always_inline)) explicit BlockSweep(SolidSpans& solidSpans)
        : spans(solidSpans), lanes(solidSpans.colour()), zero(V::zero()),
          k254(V::splat32(kMaxAlpha - 1)), k255(V::splat32(kMaxAlpha)),
          kPeriodMask(V::splat32(kEvenOddPeriod - 1)), magic(V::splat32(kDivide255)),
          magic16(V::splat16(kDivide255Short)), laneIndex(V::laneIndex()) {}

    // Sweeps the grid and leaves its sums and bitmaps all zero.
    __attribute__((always_inline)) void sweep(const PixelGrid& grid) const {
        // Row by row, the pointers moved on by a row's stride.
        const auto wordStride = static_cast<std::ptrdiff_t>(grid.wordStride);
        // The stride is a whole number of blocks.
        const auto blockStride = static_cast<std::ptrdiff_t>(grid.stride / kBlock);
        uint64_t* even = grid.even;
        uint64_t* odd = grid.odd;
        SumsBlock* sums = grid.sums;
        for (int32_t r = 0; r < grid.rows;
             ++r, even += wordStride, odd += wordStride, sums += blockStride) {
            const auto y = static_cast<uint32_t>(grid.firstRow + r);
            const Row row{spans.row(y), spans.ahead(y), spans.blocksOf(y), grid.firstColumn};
            int32_t wind = 0;
            int32_t doneTo = 0;
            // The first word from `from` on that holds crossing pixels, or grid.words.
            const auto nextWord = [&](int32_t from) __attribute__((always_inline)) {
                while (from < grid.words && (even[from] | odd[from]) == 0) {
                    ++from;
                }
                return from;
            };
            for (int32_t w = nextWord(0), next; w < grid.words; w = next) {
                const uint64_t word = even[w] | odd[w];
                even[w] = 0;
                odd[w] = 0;
                next = nextWord(w + 1);
                uint64_t bits = word;
                do {
                    const int32_t inWord = std::countr_zero(bits) / kBlock;
                    bits &= ~(uint64_t{0xFF} << (kBlock * inWord));
                    const int32_t col = 64 * w + kBlock * inWord;
                    if (wind != 0 && col > doneTo) {
                        spans.template run<kBlocked>(
                            row.pixels, *row.blocks, row.firstColumn + doneTo, col - doneTo,
                            ruleAlpha<kEvenOdd>(wind * kHalfScanline), underRun);
                    }
                    // The block's last lane that the row reaches: the row ends at its last
                    // crossing pixel.
                    const auto lastLane = [&]() __attribute__((always_inline)) {
                        return bits != 0 || next < grid.words
                                   ? kBlock - 1
                                   : 63 - std::countl_zero(word) - kBlock * inWord;
                    };
                    wind = block(sums[col / kBlock], row, col, wind, lastLane);
                    doneTo = col + kBlock;
                } while (bits != 0);
            }
        }
    }

private:
    // The longest run composited inline.
    static constexpr int32_t kInlineRun = 2 * kBlock;
    // floor(x / 255) for any 32-bit x is (x * kDivide255) >> 39.
    static constexpr uint32_t kDivide255 = 0x80808081u;
    // floor(s * 128 / 255) for s < 763 is (s * kDivide255Short) >> 16.
    static constexpr uint32_t kDivide255Short = 0x8081u;

    struct Row {
        uint32_t* pixels;
        const uint32_t* ahead;
        RowBlocks* blocks;
        int32_t firstColumn;
    };

    // The block of columns col.. of a row, entered with winding wind: composites it,
    // clears its sums and returns the winding it leaves. lastLane() is the block's last
    // lane in the row.
    template <class LastLane>
    __attribute__((always_inline)) int32_t block(SumsBlock& sums, const Row& row, int32_t col,
                                                 int32_t wind, const LastLane& lastLane) const {
        Word alphas[static_cast<std::size_t>(kSteps)];
        Word any = zero;
        int32_t carried = wind;
        for (int32_t s = 0; s < kSteps; ++s) {
            const int32_t lane = s * V::kPixels;
            const Word down = V::load(sums.shares[SumsBlock::kDown] + lane);
            const Word up = V::load(sums.shares[SumsBlock::kUp] + lane);
            const Word winds = V::load(reinterpret_cast<const uint32_t*>(sums.wind + lane));
            const Word shares = V::bitOr(down, up);
            Word partial;
            if (V::all(V::equal32(V::template shiftRight32<9>(shares), zero))) {
                // The common case, shares below 512 (a crossing or two a pixel): both
                // fields' partial coverages from one 16-bit product.
                const Word q = V::mulHighU16(V::packSigned32(down, up), magic16);
                partial = V::sub32(V::widenLow16(q), V::widenHigh16(q));
            } else if (V::all(V::equal32(V::template shiftRight32<25>(shares), zero))) {
                partial = V::sub32(partialCoverage(down), partialCoverage(up));
            } else {
                // Shares summing past 2^25 would overflow the lanes' products.
                return blockOneByOne(sums, row, col, wind, lastLane());
            }
            const Word through = V::prefixSum32(winds);
            const Word carriedIn =
                V::add32(V::splat32(static_cast<uint32_t>(carried)), V::sub32(through, winds));
            carried += V::lastLane32(through);
            const Word cov = V::add32(V::template shiftLeft32<7>(carriedIn), partial);
            alphas[s] = alphaLanes(cov);
            any = V::bitOr(any, alphas[s]);
        }
        // The winding carried out covers the lanes past the block's last crossing pixel;
        // where the row ends in this block, it covers nothing there.
        if (carried != 0) {
            const int32_t last = lastLane();
            if (last < kBlock - 1) {
                any = zero;
                for (int32_t s = 0; s < kSteps; ++s) {
                    const auto after = static_cast<uint32_t>(last - s * V::kPixels);
                    alphas[s] =
                        V::select(V::greater32(laneIndex, V::splat32(after)), zero, alphas[s]);
                    any = V::bitOr(any, alphas[s]);
                }
            }
        }
        for (int32_t s = 0; s < kSteps; ++s) {
            const int32_t lane = s * V::kPixels;
            V::store(sums.shares[SumsBlock::kDown] + lane, zero);
            V::store(sums.shares[SumsBlock::kUp] + lane, zero);
            V::store(reinterpret_cast<uint32_t*>(sums.wind + lane), zero);
        }
        if (V::all(V::equal32(any, zero))) {
            return carried;
        }
        const int32_t x = row.firstColumn + col;
        __builtin_prefetch(row.ahead + x, 1);
        if (x + kBlock > spans.rowWidth()) {
            // At the target's right edge: only the pixels that are there.
            uint32_t each[kBlock];
            for (int32_t s = 0; s < kSteps; ++s) {
                V::store(each + s * V::kPixels, alphas[s]);
            }
            uint64_t bytes = 0;
            for (int32_t i = 0; i < kBlock; ++i) {
                bytes |= static_cast<uint64_t>(each[i]) << (8 * i);
            }
            underBytes(row, x, bytes);
            return carried;
        }
        if constexpr (kBlocked) {
            rowblocks::prepare(*row.blocks, row.pixels, spans.rowWidth(), x, kBlock);
        }
        for (int32_t s = 0; s < kSteps; ++s) {
            lanes.underLanes(row.pixels + x + s * V::kPixels, alphas[s]);
        }
        return carried;
    }

    // compositing::underRun, a short run in this width's lanes inline: the runs between
    // blocks are mostly a block or two, too short to pay for a call and a dispatch. Longer
    // ones go the common way, whose loop has the registers to itself.
    __attribute__((always_inline)) static void underRun(uint32_t* pixels, int32_t count,
                                                        uint32_t src) {
        if (count > kInlineRun) {
            compositing::underRun(pixels, count, src);
            return;
        }
        const int32_t done = underRunLanes<V>(pixels, count, src);
        if (done < count) {
            compositing::underRunScalar(pixels + done, count - done, src);
        }
    }

    // The colour under the block of pixels from column x of a row (as many as the target
    // holds), pixel i at the alpha in byte i of bytes.
    void underBytes(const Row& row, int32_t x, uint64_t bytes) const {
        const int32_t room = std::min(kBlock, spans.rowWidth() - x);
        if constexpr (kBlocked) {
            rowblocks::prepare(*row.blocks, row.pixels, spans.rowWidth(), x, room);
        }
        lanes.under(row.pixels + x, bytes, room, room);
    }

    // block() one pixel at a time, for sums too large for the lanes, up to lane last.
    int32_t blockOneByOne(SumsBlock& sums, const Row& row, int32_t col, int32_t wind,
                          int32_t last) const {
        uint64_t bytes = 0;
        for (int32_t i = 0; i <= last; ++i) {
            const int32_t cov = wind * kHalfScanline +
                                partialCoverageOf(sums.shares[SumsBlock::kDown][i]) -
                                partialCoverageOf(sums.shares[SumsBlock::kUp][i]);
            wind += sums.wind[i];
            bytes |= static_cast<uint64_t>(cov != 0 ? ruleAlpha<kEvenOdd>(cov) : 0) << (8 * i);
        }
        sums = SumsBlock{};
        if (bytes != 0) {
            underBytes(row, row.firstColumn + col, bytes);
        }
        return wind;
    }

    // partialCoverageOf in every lane, for sums below 2^25: floor(sum * 128 / 255), the
    // even lanes' products and the odd lanes' apart.
    __attribute__((always_inline)) Word partialCoverage(Word sums) const {
        const Word x = V::template shiftLeft32<7>(sums);
        const Word even = V::template shiftRight64<39>(V::mulEvenU32(x, magic));
        const Word odd =
            V::template shiftRight64<39>(V::mulEvenU32(V::template shiftRight64<32>(x), magic));
        return V::bitOr(even, V::template shiftLeft64<32>(odd));
    }

    // alphaOf in every lane.
    __attribute__((always_inline)) Word alphaLanes(Word cov) const {
        if constexpr (kEvenOdd) {
            // u past 255 folds back to 511 - u, the lesser of the two.
            const Word u = V::bitAnd(cov, kPeriodMask);
            return V::minSigned32(u, V::sub32(kPeriodMask, u));
        } else {
            // |cov| (the most negative value stays negative, and counts as past 255).
            const Word sign = V::template shiftRightSigned32<31>(cov);
            const Word magnitude = V::sub32(V::bitXor(cov, sign), sign);
            const auto past =
                V::either(V::greater32(magnitude, k254), V::greater32(zero, magnitude));
            return V::select(past, k255, magnitude);
        }
    }

    SolidSpans& spans;
    CoverageLanes<V> lanes;
    Word zero;
    Word k254;
    Word k255;
    Word kPeriodMask;
    Word magic;
    Word magic16;
    Word laneIndex;
};
