#pragma once
// The benchmarks' order statistics, over a copy of the figures.
#include <algorithm>
#include <cstddef>
#include <vector>

// The value at the share q of the sorted figures (the index q * count, the last at most); 0 for
// none.
inline double quantil(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(q * double(v.size())))];
}

// The middle value (the upper one of an even count); 0 for none.
inline double mediana(std::vector<double> v) {
    return quantil(std::move(v), 0.5);
}
