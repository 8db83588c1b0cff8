// Suites that run once per vector level this machine has, the scalar one included: a
// TestWithParam<cpu::SimdLevel> fixture holds the level for the test's lifetime, and
//   INSTANTIATE_TEST_SUITE_P(Levels, Suite, everyLevel(), levelName);
// names the runs Suite.Test/Scalar, /Sse2, /Avx2, /Avx512.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "geometry/Cpu.h"

namespace cpu {
// A level prints as its name in test output.
inline void PrintTo(SimdLevel level, std::ostream* out) {
    *out << levelName(level);
}
} // namespace cpu

class AtEveryLevel : public ::testing::TestWithParam<cpu::SimdLevel> {
protected:
    AtEveryLevel() : scoped(GetParam()) {}

private:
    cpu::ScopedLevel scoped;
};

inline auto everyLevel() {
    return ::testing::ValuesIn(cpu::availableLevels());
}

inline std::string levelName(const ::testing::TestParamInfo<cpu::SimdLevel>& info) {
    return cpu::levelName(info.param);
}
