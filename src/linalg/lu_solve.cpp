#include "linalg/lu_solve.hpp"
#include "linalg/pivot.hpp"

#include <cmath>
#include <utility>

#include "foundation/cpu.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zaviktools {

namespace {

// s - a[0]*b[0] - a[1]*b[1] - ... - a[n-1]*b[n-1], subtracting in that order:
// the products two lanes at a time (each correctly rounded, as one at a
// time), the subtractions one after another, so the bits are the plain
// loop's.
inline double minus_products(double s, const double* a, const double* b, std::size_t n) {
    std::size_t k = 0;
#if defined(__SSE2__)
    for (; k + 2 <= n; k += 2) {
        const __m128d p = _mm_mul_pd(_mm_loadu_pd(a + k), _mm_loadu_pd(b + k));
        s = s - _mm_cvtsd_f64(p);
        s = s - _mm_cvtsd_f64(_mm_unpackhi_pd(p, p));
    }
#endif
    for (; k < n; ++k) s = s - a[k] * b[k];
    return s;
}

}  // namespace

bool use_vector_path(SolvePath path) { return path != SolvePath::Scalar && cpu_has_avx2(); }

bool lu_factor_in_place(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm) {
    return lu_factor_in_place(a, n, perm, SolvePath::Auto);
}

bool lu_factor_in_place(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm, SolvePath path) {
    perm.clear();
    if (n != 0 && a.size() / n < n) return false;
    for (std::size_t i = 0; i < n; ++i) perm.push_back(i);
    double* m = a.data();
    if (use_vector_path(path)) return detail::lu_eliminate_small_avx2(m, n, perm.data());
    for (std::size_t j = 0; j < n; ++j) {
        double best;
        const std::size_t p = detail::choose_pivot(m, n, n, j, best);
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
    double* y = x.data();
    for (std::size_t i = 0; i < n; ++i) y[i] = minus_products(y[i], m + i * n, y, i);
    for (std::size_t i = n; i-- > 0;) y[i] = minus_products(y[i], m + i * n + i + 1, y + i + 1, n - i - 1) / m[i * n + i];
}

}  // namespace zaviktools
