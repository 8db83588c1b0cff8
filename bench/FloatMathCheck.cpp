// Checks floatmath against the C library bit for bit. sin, cos (and sinCos) and tan: every float
// with |x| < 16 (the angles the geometry makes), or every one of the 2^32 with --all. atan2: every
// y (the same ranges) over x = 1, 0.75 and -3, then seeded random pairs. fused: sin, cos and
// sinCos as this machine runs them against the scalar evaluation, over the same ranges (the
// fused steps must give the same bits wherever they are taken). batch: sinCosBatch through each
// lane width this machine has against sinCos, over the same ranges. Two NaNs count as equal; any
// other difference is counted and the first few are printed. Exits 1 on any.
#include "geometry/Cpu.h"
#include "geometry/FloatMath.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Counts {
    std::atomic<uint64_t> sin{0};
    std::atomic<uint64_t> cos{0};
    std::atomic<uint64_t> atan2{0};
    std::atomic<uint64_t> tan{0};
    std::atomic<uint32_t> printed{0};
    std::mutex printMutex;
};

constexpr uint32_t kMaxPrinted = 20;

bool same(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) ||
           std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

void report(Counts& counts, const char* name, float x, float ours, float theirs,
            const char* other = "C library") {
    if (counts.printed.fetch_add(1) < kMaxPrinted) {
        const std::lock_guard<std::mutex> lock(counts.printMutex);
        std::printf("%s(%a = 0x%08" PRIx32 "): ours %a, %s %a\n", name, static_cast<double>(x),
                    std::bit_cast<uint32_t>(x), static_cast<double>(ours), other,
                    static_cast<double>(theirs));
    }
}

void checkAtan2(float y, float x, Counts& counts, uint64_t& diffs) {
    const float ours = floatmath::atan2(y, x);
    const float theirs = ::atan2f(y, x);
    if (!same(ours, theirs)) {
        ++diffs;
        if (counts.printed.fetch_add(1) < kMaxPrinted) {
            const std::lock_guard<std::mutex> lock(counts.printMutex);
            std::printf("atan2(0x%08" PRIx32 ", 0x%08" PRIx32 "): ours %a, C library %a\n",
                        std::bit_cast<uint32_t>(y), std::bit_cast<uint32_t>(x),
                        static_cast<double>(ours), static_cast<double>(theirs));
        }
    }
}

// atan2 of the bit patterns [begin, end) of both signs over a few fixed x.
void checkAtan2Range(uint32_t begin, uint32_t end, Counts& counts) {
    uint64_t diffs = 0;
    for (uint64_t bits = begin; bits < end; ++bits) {
        for (const uint32_t sign : {0u, 0x80000000u}) {
            const float y = std::bit_cast<float>(static_cast<uint32_t>(bits) | sign);
            for (const float x : {1.0f, 0.75f, -3.0f}) {
                checkAtan2(y, x, counts, diffs);
            }
        }
    }
    counts.atan2 += diffs;
}

// Pairs from a seeded generator: raw bit patterns, and pairs whose exponents lie close
// together, which the geometry makes (points over radii) and which reach every reduction.
void checkAtan2Random(uint64_t seed, uint64_t pairs, Counts& counts) {
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 32);
    };
    uint64_t diffs = 0;
    for (uint64_t i = 0; i < pairs; ++i) {
        uint32_t yb = next();
        uint32_t xb = next();
        if ((i & 1) != 0) {
            // Exponents within 2^±8 of 1 for y, x within 2^±70 of y.
            const uint32_t ye = 119 + (next() % 17);
            const uint32_t xe = std::min(254u, std::max(1u, ye + (next() % 141) - 70));
            yb = (yb & 0x807fffffu) | (ye << 23);
            xb = (xb & 0x807fffffu) | (xe << 23);
        }
        checkAtan2(std::bit_cast<float>(yb), std::bit_cast<float>(xb), counts, diffs);
    }
    counts.atan2 += diffs;
}
// tan of the bit patterns [begin, end) of both signs.
void checkTanRange(uint32_t begin, uint32_t end, Counts& counts) {
    uint64_t diffs = 0;
    for (uint64_t bits = begin; bits < end; ++bits) {
        for (const uint32_t sign : {0u, 0x80000000u}) {
            const float x = std::bit_cast<float>(static_cast<uint32_t>(bits) | sign);
            const float ours = floatmath::tan(x);
            const float theirs = ::tanf(x);
            if (!same(ours, theirs)) {
                ++diffs;
                report(counts, "tan", x, ours, theirs);
            }
        }
    }
    counts.tan += diffs;
}

// sin and cos of the bit patterns [begin, end) of both signs.
void checkRange(uint32_t begin, uint32_t end, Counts& counts) {
    uint64_t sinDiffs = 0;
    uint64_t cosDiffs = 0;
    for (uint64_t bits = begin; bits < end; ++bits) {
        for (const uint32_t sign : {0u, 0x80000000u}) {
            const float x = std::bit_cast<float>(static_cast<uint32_t>(bits) | sign);
            const float ourSin = floatmath::sin(x);
            const float libSin = ::sinf(x);
            if (!same(ourSin, libSin)) {
                ++sinDiffs;
                report(counts, "sin", x, ourSin, libSin);
            }
            const float ourCos = floatmath::cos(x);
            const float libCos = ::cosf(x);
            if (!same(ourCos, libCos)) {
                ++cosDiffs;
                report(counts, "cos", x, ourCos, libCos);
            }
            const floatmath::SinCos both = floatmath::sinCos(x);
            if (!same(both.sin, libSin)) {
                ++sinDiffs;
                report(counts, "sinCos.sin", x, both.sin, libSin);
            }
            if (!same(both.cos, libCos)) {
                ++cosDiffs;
                report(counts, "sinCos.cos", x, both.cos, libCos);
            }
        }
    }
    counts.sin += sinDiffs;
    counts.cos += cosDiffs;
}

// The machine's sin, cos and sinCos (fused steps from the AVX2 level on) against the scalar
// level's, for the bit patterns [begin, end) of both signs.
void checkFusedRange(uint32_t begin, uint32_t end, Counts& counts) {
    uint64_t sinDiffs = 0;
    uint64_t cosDiffs = 0;
    for (uint64_t bits = begin; bits < end; ++bits) {
        for (const uint32_t sign : {0u, 0x80000000u}) {
            const float x = std::bit_cast<float>(static_cast<uint32_t>(bits) | sign);
            const floatmath::SinCos scalar = floatmath::sinCosAtLevel(cpu::SimdLevel::scalar, x);
            const floatmath::SinCos both = floatmath::sinCos(x);
            const float sin = floatmath::sin(x);
            const float cos = floatmath::cos(x);
            if (!same(sin, scalar.sin)) {
                ++sinDiffs;
                report(counts, "fused sin", x, sin, scalar.sin, "scalar");
            }
            if (!same(both.sin, scalar.sin)) {
                ++sinDiffs;
                report(counts, "fused sinCos.sin", x, both.sin, scalar.sin, "scalar");
            }
            if (!same(cos, scalar.cos)) {
                ++cosDiffs;
                report(counts, "fused cos", x, cos, scalar.cos, "scalar");
            }
            if (!same(both.cos, scalar.cos)) {
                ++cosDiffs;
                report(counts, "fused sinCos.cos", x, both.cos, scalar.cos, "scalar");
            }
        }
    }
    counts.sin += sinDiffs;
    counts.cos += cosDiffs;
}

// sinCosBatch at every level above the scalar one this machine has (four and eight lanes)
// against sinCos one by one, for the bit patterns [begin, end) of both signs.
void checkBatchRange(uint32_t begin, uint32_t end, Counts& counts) {
    std::vector<float> args;
    args.reserve(2 * static_cast<size_t>(end - begin));
    for (uint64_t bits = begin; bits < end; ++bits) {
        for (const uint32_t sign : {0u, 0x80000000u}) {
            args.push_back(std::bit_cast<float>(static_cast<uint32_t>(bits) | sign));
        }
    }
    std::vector<float> sines(args.size());
    std::vector<float> cosines(args.size());
    uint64_t sinDiffs = 0;
    uint64_t cosDiffs = 0;
    for (const cpu::SimdLevel level :
         {cpu::SimdLevel::sse2, cpu::SimdLevel::avx2, cpu::SimdLevel::avx512}) {
        if (level > cpu::machineLevel()) {
            continue;
        }
        const bool eight = level == cpu::SimdLevel::avx512;
        const bool rounded = level == cpu::SimdLevel::sse2;
        const char* sinName = eight ? "8-lane sin" : rounded ? "4-lane rounded sin" : "4-lane sin";
        const char* cosName = eight ? "8-lane cos" : rounded ? "4-lane rounded cos" : "4-lane cos";
        floatmath::sinCosBatchAtLevel(level, args.data(), sines.data(), cosines.data(),
                                      static_cast<int32_t>(args.size()));
        for (size_t i = 0; i < args.size(); ++i) {
            const floatmath::SinCos one = floatmath::sinCos(args[i]);
            if (std::bit_cast<uint32_t>(sines[i]) != std::bit_cast<uint32_t>(one.sin)) {
                ++sinDiffs;
                report(counts, sinName, args[i], sines[i], one.sin, "sinCos");
            }
            if (std::bit_cast<uint32_t>(cosines[i]) != std::bit_cast<uint32_t>(one.cos)) {
                ++cosDiffs;
                report(counts, cosName, args[i], cosines[i], one.cos, "sinCos");
            }
        }
    }
    counts.sin += sinDiffs;
    counts.cos += cosDiffs;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Compares floatmath::sin and cos with the C library bit for bit"};
    bool all = false;
    uint32_t threads = 2;
    std::string function = "sincos";
    uint64_t pairs = 1ull << 28;
    app.add_flag("--all", all, "every float, not only |x| < 16");
    app.add_option("--threads", threads, "worker threads")->check(CLI::Range(1u, 64u));
    app.add_option("--function", function,
                   "sincos, tan, atan2, fused (the fused steps against the scalar code) or "
                   "batch (sinCosBatch's lanes against sinCos)")
        ->check(CLI::IsMember({"sincos", "tan", "atan2", "fused", "batch"}));
    app.add_option("--pairs", pairs, "random atan2 pairs");
    CLI11_PARSE(app, argc, argv);
    const bool atan2 = function == "atan2";
    const bool tan = function == "tan";
    const bool fused = function == "fused";
    const bool batch = function == "batch";
    if (fused && cpu::machineLevel() < cpu::SimdLevel::avx2) {
        std::printf("fused: this machine has no fused multiply-add path; nothing to compare\n");
        return 0;
    }
    if (batch && cpu::machineLevel() < cpu::SimdLevel::sse2) {
        std::printf("batch: this machine evaluates one argument at a time; nothing to compare\n");
        return 0;
    }

    // Magnitudes as bit patterns without the sign: [0, end).
    const uint32_t end = all ? 0x80000000u : std::bit_cast<uint32_t>(16.0f);
    const auto start = std::chrono::steady_clock::now();
    Counts counts;
    std::vector<std::thread> workers;
    // Interleaved slices, so that the slow large-argument path is shared out evenly.
    constexpr uint32_t kSlice = 1u << 20;
    std::atomic<uint32_t> next{0};
    for (uint32_t t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (;;) {
                const uint32_t begin = next.fetch_add(kSlice);
                if (begin >= end) {
                    return;
                }
                if (atan2) {
                    checkAtan2Range(begin, std::min(end, begin + kSlice), counts);
                } else if (fused) {
                    checkFusedRange(begin, std::min(end, begin + kSlice), counts);
                } else if (batch) {
                    checkBatchRange(begin, std::min(end, begin + kSlice), counts);
                } else if (tan) {
                    checkTanRange(begin, std::min(end, begin + kSlice), counts);
                } else {
                    checkRange(begin, std::min(end, begin + kSlice), counts);
                }
            }
        });
    }
    if (atan2) {
        for (uint32_t t = 0; t < threads; ++t) {
            workers.emplace_back(
                [&counts, t, threads, pairs] { checkAtan2Random(t, pairs / threads, counts); });
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint64_t checked = 2ull * end;
    if (atan2) {
        std::printf("atan2: %" PRIu64 " floats (%s) over 3 x, and %" PRIu64 " random pairs, "
                    "in %.1f s on %" PRIu32 " threads: differs on %" PRIu64 "\n",
                    checked, all ? "all" : "|y| < 16", pairs / threads * threads, seconds, threads,
                    counts.atan2.load());
        return counts.atan2.load() == 0 ? 0 : 1;
    }
    if (tan) {
        std::printf("tan: %" PRIu64 " floats (%s) in %.1f s on %" PRIu32
                    " threads: differs on %" PRIu64 "\n",
                    checked, all ? "all" : "|x| < 16", seconds, threads, counts.tan.load());
        return counts.tan.load() == 0 ? 0 : 1;
    }
    std::printf("%s%" PRIu64 " floats (%s) in %.1f s on %" PRIu32 " threads: sin differs on "
                "%" PRIu64 ", cos on %" PRIu64 "\n",
                fused   ? "fused against scalar: "
                : batch ? (cpu::machineLevel() == cpu::SimdLevel::avx512
                               ? "batch, rounded 4, 4 and 8 lanes against sinCos: "
                           : cpu::machineLevel() == cpu::SimdLevel::avx2
                               ? "batch, rounded 4 and 4 lanes against sinCos: "
                               : "batch, rounded 4 lanes against sinCos: ")
                        : "",
                checked, all ? "all" : "|x| < 16", seconds, threads, counts.sin.load(),
                counts.cos.load());
    return counts.sin.load() == 0 && counts.cos.load() == 0 ? 0 : 1;
}
