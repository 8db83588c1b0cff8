// The one place that knows the processor: whether this is an x86-64 build (the one macro
// the tuned kernels are compiled under), the vector level the processor runs, probed once,
// and the level the kernels are picked by. Every tuned routine asks level() and has a scalar
// body on every target; tests lower the level with ScopedLevel to run the narrower kernels,
// the scalar ones included, on this machine.
#pragma once

#include <cstdint>
#include <vector>

// 1 where the AVX2 and AVX-512 kernels are compiled: x86-64 with GCC or Clang (their
// target attributes and intrinsic headers); 0 elsewhere (the browser build).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(__EMSCRIPTEN__)
#define TILSEN_X86_64 1
#else
#define TILSEN_X86_64 0
#endif

// 1 where the SSE2 kernels are compiled: x86-64, and the browser build with wasm SIMD
// (-msimd128 -msse2), where Emscripten's SSE2 headers turn each SSE2 operation the kernels
// use into wasm SIMD with the same result, lane for lane (WasmMovieFramesEqualNative compares
// the frames). Such a build runs at SimdLevel::sse2; one without wasm SIMD at scalar.
#if TILSEN_X86_64 || (defined(__EMSCRIPTEN__) && defined(__wasm_simd128__) && defined(__SSE2__))
#define TILSEN_SSE2 1
#else
#define TILSEN_SSE2 0
#endif

// The instructions of each level above SSE2, for the functions that run at it: an attribute
// for one function, or a region of code between TILSEN_TARGET_*_BEGIN and TILSEN_TARGET_END
// (every function defined there, templates included). A kernel written once over a lane-traits
// type is compiled once per width by including it into a namespace of its own inside each
// width's region; the headers it uses are included before, outside any region.
#if TILSEN_X86_64
// A pragma's text is one string, kept on one line.
// clang-format off
#define TILSEN_AVX2_TARGET __attribute__((target("avx2,fma")))
#define TILSEN_AVX512_TARGET __attribute__((target("avx512f,avx512bw,avx2,fma")))
#if defined(__clang__)
#define TILSEN_TARGET_AVX2_BEGIN _Pragma("clang attribute push(__attribute__((target(\"avx2,fma\"))), apply_to = function)")
#define TILSEN_TARGET_AVX512_BEGIN _Pragma("clang attribute push(__attribute__((target(\"avx512f,avx512bw,avx2,fma\"))), apply_to = function)")
#define TILSEN_TARGET_END _Pragma("clang attribute pop")
#else
#define TILSEN_TARGET_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,fma\")")
#define TILSEN_TARGET_AVX512_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx512f,avx512bw,avx2,fma\")")
#define TILSEN_TARGET_END _Pragma("GCC pop_options")
#endif
// clang-format on
#endif

namespace cpu {

// Each level includes the ones below it. avx2 is AVX2 with fused multiply-add (every
// processor with AVX2 has both); avx512 adds the AVX-512 foundation and byte-and-word
// instructions.
enum class SimdLevel : int32_t { scalar = 0, sse2 = 1, avx2 = 2, avx512 = 3 };

// The widest level this processor (and its operating system) runs, asked once.
SimdLevel machineLevel();

namespace detail {
// Set from machineLevel() during static initialisation; scalar until then, which any kernel
// serves with the same results.
extern SimdLevel gLevel;
} // namespace detail

// The level every dispatch picks its kernel by: machineLevel(), unless a ScopedLevel lowers it.
inline SimdLevel level() {
    return detail::gLevel;
}

// For tests and checks: the levels from scalar up to machineLevel(), and their names
// ("Scalar", "Sse2", "Avx2", "Avx512").
std::vector<SimdLevel> availableLevels();
const char* levelName(SimdLevel level);

// For tests and checks: runs the kernels of a lower level while it lives (never a level above
// machineLevel(): asked for one, it keeps the machine's). Not to be made while other threads
// draw.
class ScopedLevel {
public:
    explicit ScopedLevel(SimdLevel wanted);
    ~ScopedLevel();
    ScopedLevel(const ScopedLevel&) = delete;
    ScopedLevel& operator=(const ScopedLevel&) = delete;

private:
    SimdLevel saved;
};

} // namespace cpu
