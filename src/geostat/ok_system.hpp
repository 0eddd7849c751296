// The ordinary kriging system of one node, written once for both ways of
// getting data-pair semivariances (computed on the spot or cached per block).
#pragma once

#include <cmath>
#include <cstddef>

#include "geostat/local_kriging.hpp"
#include "linalg/lu_solve.hpp"

namespace zaviktools {

// Fills the data block of the row-major matrix `a` (row length n) from
// `pair(i, j)`, gamma between neighbours i < j (0 when their squared
// separation is exactly 0): a[i][j] = a[j][i] = pair(i, j), a[i][i] = 0.
template <class PairGamma>
void fill_pairs_from(PairGamma&& pair, double* a, std::size_t n, std::size_t m) {
    for (std::size_t i = 0; i < m; ++i) {
        a[i * n + i] = 0.0;
        for (std::size_t j = i + 1; j < m; ++j) {
            const double g = pair(i, j);
            a[i * n + j] = g;
            a[j * n + i] = g;
        }
    }
}

// `fill_pairs(a, n, m)` writes the m x m data block of the matrix (rows of
// length n = m + 1), diagonal included; `target_gamma(i)` is gamma between
// neighbour i and the target (0 at zero separation); `path` runs the
// factorisation.
template <class FillPairs, class TargetGamma>
bool solve_ordinary_kriging_with(std::span<const DataPoint> data, KrigingScratch& s, FillPairs&& fill_pairs,
                                 TargetGamma&& target_gamma, SolvePath path, KrigedValue& out) {
    const std::size_t m = s.neighbours.size();
    if (m == 0) return false;
    // The node sits on a datum: the system's exact solution is that datum's
    // weight 1 and mu = 0, i.e. its value with variance 0. Taking it
    // directly keeps the data honoured bit for bit.
    if (s.neighbours[0].distance == 0.0) {
        out = {data[s.neighbours[0].index][2], 0.0};
        return true;
    }
    const std::size_t n = m + 1;
    s.matrix.resize(n * n);
    s.rhs.resize(n);
    double* a = s.matrix.data();
    fill_pairs(a, n, m);
    for (std::size_t i = 0; i < m; ++i) {
        a[i * n + m] = 1.0;
        a[m * n + i] = 1.0;
        s.rhs[i] = target_gamma(i);
    }
    a[m * n + m] = 0.0;
    s.rhs[m] = 1.0;
    if (!lu_factor_in_place(s.matrix, n, s.perm, path)) return false;
    lu_solve_into(s.matrix, s.perm, n, s.rhs, s.solution);
    double estimate = 0.0;
    for (std::size_t i = 0; i < m; ++i) estimate = estimate + s.solution[i] * data[s.neighbours[i].index][2];
    double variance = s.solution[m];
    for (std::size_t i = 0; i < m; ++i) variance = variance + s.solution[i] * s.rhs[i];
    if (!(variance > 0.0)) variance = 0.0;
    out = {estimate, variance};
    return true;
}

// The isotropic system: target semivariances from the neighbour distances.
template <class FillPairs>
bool solve_ordinary_kriging(const Variogram& variogram, std::span<const DataPoint> data, KrigingScratch& s,
                            FillPairs&& fill_pairs, SolvePath path, KrigedValue& out) {
    auto target_gamma = [&](std::size_t i) {
        const double d = s.neighbours[i].distance;
        return d == 0.0 ? 0.0 : variogram.gamma(d);
    };
    return solve_ordinary_kriging_with(data, s, fill_pairs, target_gamma, path, out);
}

}  // namespace zaviktools
