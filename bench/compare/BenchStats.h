// Per-frame timings in microseconds and their summary.
#pragma once

#include <vector>

struct BenchStats {
    double median = 0.0;
    double minimum = 0.0;
    double mean = 0.0;

    // Empty samples give all zeros.
    static BenchStats of(std::vector<double> samples);
};
