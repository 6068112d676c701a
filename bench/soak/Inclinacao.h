#pragma once
// Least-squares slope of y over x, for the growth figures of the soak benchmarks.
#include <vector>

inline double inclinacao(const std::vector<double> &x, const std::vector<double> &y) {
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

// The benchmark process makes its database through the embedded engine; that engine and its
// trace plugin are unloaded a minute or two after their last use, which drops the process's own
// memory by some megabytes. Growth is measured only after this.
constexpr long DescarregamentoSegundos = 150;
