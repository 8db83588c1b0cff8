// scanRun's and boundsRun's kernels, written once over a lane-traits type L of raster/EdgeLanes.h.
// No include guard: EdgeLanes.h includes it once per width, each time into its own namespace inside
// that width's target region (geometry/Cpu.h), so that each copy is compiled for its instructions.

// The bounding box of the edges whose ends differ, L::kLanes edges a step: the least start
// and greatest end, as scanRunScalar folds them.
template <class L> struct BoundsLanes {
    using Floats = typename L::Floats;

    // Written out, so that it is compiled for the width's instructions as the rest is.
    __attribute__((always_inline)) BoundsLanes()
        : infinity(L::splat(std::numeric_limits<float>::infinity())),
          negativeInfinity(L::splat(-std::numeric_limits<float>::infinity())), distinct(L::zero()),
          minX(infinity), minY(infinity), maxX(negativeInfinity), maxY(negativeInfinity) {}

    __attribute__((always_inline)) void add(Floats beginX, Floats beginY, Floats endX,
                                            Floats endY) {
        // Edges with equal ends add nothing to the bounds: adding +-infinity to their
        // (finite) coordinates takes them out of the running. Adding zero to the others
        // leaves them as they are, but for the sign of a zero.
        const Floats differ = L::bitOr(L::notEqual(beginX, endX), L::notEqual(beginY, endY));
        distinct = L::bitOr(distinct, differ);
        const Floats aboveAll = L::andNot(differ, infinity);
        const Floats belowAll = L::andNot(differ, negativeInfinity);
        minX = L::min(minX, L::add(beginX, aboveAll));
        minY = L::min(minY, L::add(beginY, aboveAll));
        maxX = L::max(maxX, L::add(endX, belowAll));
        maxY = L::max(maxY, L::add(endY, belowAll));
    }

    // Into run's anyEdge and bounds.
    __attribute__((always_inline)) void finish(Run& run) const {
        run.anyEdge = L::signs(distinct) != 0;
        // Lanes 0 and 1: the least of a's four lanes and of b's.
        const auto least = [](__m128 a, __m128 b) {
            const __m128 m = _mm_min_ps(_mm_unpacklo_ps(a, b), _mm_unpackhi_ps(a, b));
            return _mm_min_ps(m, _mm_movehl_ps(m, m));
        };
        const auto greatest = [](__m128 a, __m128 b) {
            const __m128 m = _mm_max_ps(_mm_unpacklo_ps(a, b), _mm_unpackhi_ps(a, b));
            return _mm_max_ps(m, _mm_movehl_ps(m, m));
        };
        const __m128 low = least(L::leastOfHalves(minX), L::leastOfHalves(minY));
        const __m128 high = greatest(L::greatestOfHalves(maxX), L::greatestOfHalves(maxY));
        run.minX = _mm_cvtss_f32(low);
        run.minY = _mm_cvtss_f32(_mm_shuffle_ps(low, low, _MM_SHUFFLE(1, 1, 1, 1)));
        run.maxX = _mm_cvtss_f32(high);
        run.maxY = _mm_cvtss_f32(_mm_shuffle_ps(high, high, _MM_SHUFFLE(1, 1, 1, 1)));
    }

    const Floats infinity;
    const Floats negativeInfinity;
    Floats distinct;
    Floats minX;
    Floats minY;
    Floats maxX;
    Floats maxY;
};

// scanRunScalar L::kLanes edges a step, with the same float operations on each point.
template <class L>
__attribute__((always_inline)) inline Run scanRunLanes(float startX, float startY,
                                                       int32_t startLine, const float* xs,
                                                       const float* ys, int32_t n, int32_t* lines) {
    using Floats = typename L::Floats;
    using Ints = typename L::Ints;
    Run run{0u, true, false, 0.0f, 0.0f, 0.0f, 0.0f};
    const Floats limit = L::splat(kLimit);
    const Floats xLimit = L::splat(kLimit / kSubpixels);
    const Floats halfScanlines = L::splat(kHalfScanlines);
    const Floats magnitude = L::asFloats(L::splat(int32_t{0x7FFFFFFF}));
    Floats inside = L::asFloats(L::splat(int32_t{-1}));
    BoundsLanes<L> bounds;
    // What the previous step carries of its ends into this one's starts.
    Floats lastX = L::splat(startX);
    Floats lastY = L::splat(startY);
    Ints lastLines = L::splat(startLine);
    for (int32_t i = 0; i < n; i += L::kLanes) {
        // Past the end, the last point again: edges with equal ends, which add nothing.
        const bool whole = i + L::kLanes <= n;
        const Floats endX = whole ? L::load(xs + i) : L::loadTail(xs + i, n - i);
        const Floats endY = whole ? L::load(ys + i) : L::loadTail(ys + i, n - i);
        const Floats beginX = L::starts(lastX, endX);
        const Floats beginY = L::starts(lastY, endY);
        lastX = L::carry(endX);
        lastY = L::carry(endY);
        // halfScanlines' work on the ends. 256x is exact, so |256x| < limit is |x| < limit / 256.
        // Clearing the sign bit is fabs; an ordered less-than is false for NaN.
        const Floats fy = L::mul(halfScanlines, endY);
        inside = L::bitAnd(inside, L::bitAnd(L::less(L::bitAnd(endX, magnitude), xLimit),
                                             L::less(L::bitAnd(fy, magnitude), limit)));
        // Truncation, one less where it went up (negative values with a fraction).
        const Ints t = L::truncate(fy);
        const Ints up = L::asInts(L::greater(L::toFloats(t), fy));
        const Ints ends = L::add(t, up);
        const Ints begins = L::starts(lastLines, ends);
        lastLines = L::carry(ends);
        L::store(lines + i, ends);
        const int same = L::signs(L::asFloats(L::equal(begins, ends)));
        run.crossing |= static_cast<uint32_t>(~same & L::kAllLanes) << i;
        bounds.add(beginX, beginY, endX, endY);
    }
    run.inRange = L::signs(inside) == L::kAllLanes;
    bounds.finish(run);
    return run;
}

// scanRunScalar's bounds alone (crossing 0, inRange true), L::kLanes edges a step.
template <class L>
__attribute__((always_inline)) inline Run
boundsRunLanes(float startX, float startY, const float* xs, const float* ys, int32_t n) {
    using Floats = typename L::Floats;
    Run run{0u, true, false, 0.0f, 0.0f, 0.0f, 0.0f};
    BoundsLanes<L> bounds;
    Floats lastX = L::splat(startX);
    Floats lastY = L::splat(startY);
    for (int32_t i = 0; i < n; i += L::kLanes) {
        const bool whole = i + L::kLanes <= n;
        const Floats endX = whole ? L::load(xs + i) : L::loadTail(xs + i, n - i);
        const Floats endY = whole ? L::load(ys + i) : L::loadTail(ys + i, n - i);
        bounds.add(L::starts(lastX, endX), L::starts(lastY, endY), endX, endY);
        lastX = L::carry(endX);
        lastY = L::carry(endY);
    }
    bounds.finish(run);
    return run;
}
