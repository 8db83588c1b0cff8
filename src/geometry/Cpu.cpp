// The processor's level, probed once, and the level the kernels are picked by.
#include "geometry/Cpu.h"

#include <algorithm>

namespace cpu {
namespace {

SimdLevel probe() {
#if TILSEN_X86_64
    // Static initialisers may run before the library's own probe. The answers take the
    // operating system's saving of the wide registers into account.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") == 0 || __builtin_cpu_supports("fma") == 0) {
        return SimdLevel::sse2;
    }
    if (__builtin_cpu_supports("avx512f") == 0 || __builtin_cpu_supports("avx512bw") == 0) {
        return SimdLevel::avx2;
    }
    return SimdLevel::avx512;
#elif TILSEN_SSE2
    // A wasm module with SIMD instructions loads only where the engine runs them.
    return SimdLevel::sse2;
#else
    return SimdLevel::scalar;
#endif
}

} // namespace

SimdLevel machineLevel() {
    static const SimdLevel machine = probe();
    return machine;
}

SimdLevel detail::gLevel = machineLevel();

std::vector<SimdLevel> availableLevels() {
    std::vector<SimdLevel> levels;
    for (int32_t i = 0; i <= static_cast<int32_t>(machineLevel()); ++i) {
        levels.push_back(static_cast<SimdLevel>(i));
    }
    return levels;
}

const char* levelName(SimdLevel level) {
    switch (level) {
    case SimdLevel::scalar:
        return "Scalar";
    case SimdLevel::sse2:
        return "Sse2";
    case SimdLevel::avx2:
        return "Avx2";
    case SimdLevel::avx512:
        return "Avx512";
    }
    return "Unknown";
}

ScopedLevel::ScopedLevel(SimdLevel wanted) : saved(detail::gLevel) {
    detail::gLevel = std::min(wanted, machineLevel());
}

ScopedLevel::~ScopedLevel() {
    detail::gLevel = saved;
}

} // namespace cpu
