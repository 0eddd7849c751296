// The pivot choice of the one-system LU kernels: one rule for every layout.
#pragma once

#include <cmath>
#include <cstddef>

namespace zaviktools::detail {

// The pivot row of column j among rows j..n-1 of a row-major matrix with row
// stride `stride`: the first of equal largest magnitudes; a NaN magnitude is
// never replaced. `best` receives that magnitude (0 means a singular column).
inline std::size_t choose_pivot(const double* m, std::size_t n, std::size_t stride, std::size_t j, double& best) {
    std::size_t p = j;
    best = std::fabs(m[j * stride + j]);
    for (std::size_t r = j + 1; r < n; ++r) {
        // Selects, not branches: the comparisons are unpredictable.
        const double v = std::fabs(m[r * stride + j]);
        const bool larger = v > best;
        best = larger ? v : best;
        p = larger ? r : p;
    }
    return p;
}

}  // namespace zaviktools::detail
