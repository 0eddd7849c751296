#include "linalg/lu_solve.hpp"

#include <cmath>
#include <utility>

#include "foundation/cpu.hpp"

namespace zaviktools {

bool use_vector_path(SolvePath path) { return path != SolvePath::Scalar && cpu_has_avx2(); }

bool lu_factor_in_place(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm) {
    return lu_factor_in_place(a, n, perm, SolvePath::Auto);
}

bool lu_factor_in_place(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm, SolvePath path) {
    perm.clear();
    if (n != 0 && a.size() / n < n) return false;
    for (std::size_t i = 0; i < n; ++i) perm.push_back(i);
    double* m = a.data();
    if (use_vector_path(path)) return detail::lu_eliminate_avx2(m, n, perm.data());
    for (std::size_t j = 0; j < n; ++j) {
        // First of equal maxima wins; a NaN magnitude is never replaced.
        std::size_t p = j;
        double best = std::fabs(m[j * n + j]);
        for (std::size_t r = j + 1; r < n; ++r) {
            const double v = std::fabs(m[r * n + j]);
            if (v > best) {
                best = v;
                p = r;
            }
        }
        if (best == 0.0) return false;
        if (p != j) {
            for (std::size_t c = 0; c < n; ++c) std::swap(m[j * n + c], m[p * n + c]);
            std::swap(perm[j], perm[p]);
        }
        const double* __restrict pivot_row = m + j * n;
        const double pivot = pivot_row[j];
        for (std::size_t r = j + 1; r < n; ++r) {
            double* __restrict row = m + r * n;  // never the pivot row
            const double f = row[j] / pivot;
            row[j] = f;
            // row[c] - pivot_row[c] * f for each c: independent updates,
            // unrolled by four for throughput; every value is computed alike.
            std::size_t c = j + 1;
            for (; c + 4 <= n; c += 4) {
                const double u0 = row[c] - pivot_row[c] * f;
                const double u1 = row[c + 1] - pivot_row[c + 1] * f;
                const double u2 = row[c + 2] - pivot_row[c + 2] * f;
                const double u3 = row[c + 3] - pivot_row[c + 3] * f;
                row[c] = u0;
                row[c + 1] = u1;
                row[c + 2] = u2;
                row[c + 3] = u3;
            }
            for (; c < n; ++c) row[c] = row[c] - pivot_row[c] * f;
        }
    }
    return true;
}

void lu_solve_into(std::span<const double> lu, const std::vector<std::size_t>& perm, std::size_t n,
                   std::span<const double> b, std::vector<double>& x) {
    x.resize(n);
    const double* m = lu.data();
    for (std::size_t i = 0; i < n; ++i) x[i] = b[perm[i]];
    for (std::size_t i = 0; i < n; ++i) {
        double s = x[i];
        for (std::size_t k = 0; k < i; ++k) s = s - m[i * n + k] * x[k];
        x[i] = s;
    }
    for (std::size_t i = n; i-- > 0;) {
        double s = x[i];
        for (std::size_t c = i + 1; c < n; ++c) s = s - m[i * n + c] * x[c];
        x[i] = s / m[i * n + i];
    }
}

}  // namespace zaviktools
