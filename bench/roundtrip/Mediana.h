#pragma once
#include <algorithm>
#include <vector>

// The middle value (the upper one of an even count); 0 for none.
inline double mediana(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
