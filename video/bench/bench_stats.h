// Order statistics of a benchmark's samples.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace tov::bench {

// The value below which `fraction` of the samples lie (nearest rank); 0 for no samples.
inline double percentile(std::vector<double> samples, double fraction) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[std::min(rank, samples.size() - 1)];
}

// The mean of the samples; 0 for none.
inline double mean(const std::vector<double>& samples) {
    double sum = 0;
    for (const double v : samples) sum += v;
    return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}

}  // namespace tov::bench
