// Median of an even count is the mean of the two middle samples.

#include "BenchStats.h"

#include <algorithm>
#include <numeric>

BenchStats BenchStats::of(std::vector<double> samples) {
    BenchStats stats;
    if (samples.empty()) {
        return stats;
    }
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    stats.median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2.0;
    stats.minimum = samples.front();
    stats.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(n);
    return stats;
}
