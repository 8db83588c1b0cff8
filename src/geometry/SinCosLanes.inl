// sinCosBatch's lanes, written once over a lane-traits type L of geometry/FloatMath.cpp. No
// include guard: FloatMath.cpp includes it once per width, each time into its own namespace
// (inside that width's target region of geometry/Cpu.h, above SSE2), so that each copy is
// compiled for its instructions.

// L::kLanes arguments from in, as sinCos evaluates them one at a time with L's rounding (fused
// for AVX2 and AVX-512, rounded for SSE2); the results go to sinOut and cosOut. Returns the lanes
// (bit i for lane i) at or beyond the fused limit, whose results are still to be replaced. Inlined
// into the loop over whole blocks, which then keeps the constants in registers.
template <class L>
__attribute__((always_inline)) inline uint32_t sinCosBlock(const float* in, float* sinOut,
                                                           float* cosOut) {
    using Floats = typename L::Floats;
    using Doubles = typename L::Doubles;
    using Ints = typename L::Ints;
    const Floats y = L::load(in);
    const Ints bits = L::bitAnd(L::asInts(y), L::splat(int32_t{0x7fffffff}));
    const Ints beyond = L::greater(bits, L::splat(kFusedLimitBits - 1));
    const Ints tiny = L::greater(L::splat(kTinyBits), bits);
    // reduce. Where it skips the reduction (|y| < 0.75) the rounded y·2/π is 0, and
    // y - 0·π/2 with the sign +1 is y itself, so the reduced form serves every lane.
    const Doubles yd = L::widen(y);
    const Ints t = L::truncate(L::mul(yd, L::splat(kHalfPiInverse)));
    const Ints n = L::template shiftRightArithmetic<24>(L::add(t, L::splat(int32_t{0x800000})));
    const Doubles x = L::negatedMulAdd(L::toDoubles(n), L::splat(kHalfPi), yd);
    const Ints one = L::splat(int32_t{1});
    const Ints two = L::splat(int32_t{2});
    // 1 - ((n + 1) & 2): the sine's sign, ±1.
    const Ints sign = L::sub(one, L::bitAnd(L::add(n, one), two));
    const Doubles xs = L::mul(x, L::toDoubles(sign));
    const Doubles x2 = L::mul(x, x);
    // sinPoly(xs, x2).
    const Doubles x3 = L::mul(xs, x2);
    const Doubles s1 = L::mulAdd(x2, L::splat(kS3), L::splat(kS2));
    const Doubles x5 = L::mul(x3, x2);
    const Doubles s = L::mulAdd(x3, L::splat(kS1), xs);
    const Floats sp = L::narrow(L::mulAdd(x5, s1, s));
    // cosPoly(x2), negated where n & 2.
    const Doubles x4 = L::mul(x2, x2);
    const Doubles c2 = L::mulAdd(x2, L::splat(kC4), L::splat(kC3));
    const Doubles c1 = L::mulAdd(x2, L::splat(kC1), L::splat(kC0));
    const Doubles x6 = L::mul(x4, x2);
    const Doubles c = L::mulAdd(x4, L::splat(kC2), c1);
    const Ints cosSign = L::template shiftLeft<30>(L::bitAnd(n, two));
    const Floats cp = L::bitXor(L::narrow(L::mulAdd(x6, c2, c)), L::asFloats(cosSign));
    // An odd quadrant swaps the two.
    const Floats odd = L::asFloats(L::equal(L::bitAnd(n, one), one));
    Floats sinV = L::select(odd, cp, sp);
    Floats cosV = L::select(odd, sp, cp);
    sinV = L::select(L::asFloats(tiny), y, sinV);
    cosV = L::select(L::asFloats(tiny), L::splat(1.0f), cosV);
    L::store(sinOut, sinV);
    L::store(cosOut, cosV);
    return static_cast<uint32_t>(L::signs(L::asFloats(beyond)));
}

// The tails go through an outlined copy of the block.
template <class L> uint32_t sinCosTail(const float* in, float* sinOut, float* cosOut) {
    return sinCosBlock<L>(in, sinOut, cosOut);
}

// sinCosBatch L::kLanes arguments a step.
template <class L>
__attribute__((always_inline)) inline void sinCosLanes(const float* x, float* sinOut, float* cosOut,
                                                       int32_t n) {
    uint32_t beyond = 0;
    int32_t i = 0;
    for (; i + L::kLanes <= n; i += L::kLanes) {
        beyond |= sinCosBlock<L>(x + i, sinOut + i, cosOut + i);
    }
    if (i < n) {
        beyond |= sinCosPadded<L::kLanes>(sinCosTail<L>, x + i, sinOut + i, cosOut + i, n - i);
    }
    if (beyond != 0) {
        redoBeyond(x, sinOut, cosOut, n);
    }
}
