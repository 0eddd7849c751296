// Four-lane LU elimination: the same pivot choice, swaps and divisions as the
// scalar loop, and each row update a(r,c) - a(j,c)*f as one multiply then one
// subtract per lane, both correctly rounded, so every entry gets the bits of
// the scalar path. Nothing here is fused (the file enables AVX2, not FMA).
#include <cmath>
#include <cstddef>
#include <utility>

#include "linalg/lu_solve.hpp"
#include "linalg/pivot.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

namespace {

// row[c] = row[c] - pivot_row[c] * f for c in [from, n).
__attribute__((target("avx2"))) inline void update_row(double* __restrict row, const double* __restrict pivot_row,
                                                       double f, std::size_t from, std::size_t n) {
    const __m256d vf = _mm256_set1_pd(f);
    std::size_t c = from;
    for (; c + 8 <= n; c += 8) {
        const __m256d u0 = _mm256_sub_pd(_mm256_loadu_pd(row + c), _mm256_mul_pd(_mm256_loadu_pd(pivot_row + c), vf));
        const __m256d u1 =
            _mm256_sub_pd(_mm256_loadu_pd(row + c + 4), _mm256_mul_pd(_mm256_loadu_pd(pivot_row + c + 4), vf));
        _mm256_storeu_pd(row + c, u0);
        _mm256_storeu_pd(row + c + 4, u1);
    }
    if (c + 4 <= n) {
        _mm256_storeu_pd(row + c, _mm256_sub_pd(_mm256_loadu_pd(row + c), _mm256_mul_pd(_mm256_loadu_pd(pivot_row + c), vf)));
        c += 4;
    }
    if (c + 2 <= n) {
        const __m128d f2 = _mm256_castpd256_pd128(vf);
        _mm_storeu_pd(row + c, _mm_sub_pd(_mm_loadu_pd(row + c), _mm_mul_pd(_mm_loadu_pd(pivot_row + c), f2)));
        c += 2;
    }
    if (c < n) row[c] = row[c] - pivot_row[c] * f;
}

}  // namespace

__attribute__((target("avx2"))) bool lu_eliminate_avx2(double* m, std::size_t n, std::size_t* perm) {
    for (std::size_t j = 0; j < n; ++j) {
        double best;
        const std::size_t p = choose_pivot(m, n, n, j, best);
        if (best == 0.0) return false;
        if (p != j) {
            for (std::size_t c = 0; c < n; ++c) std::swap(m[j * n + c], m[p * n + c]);
            std::swap(perm[j], perm[p]);
        }
        const double* pivot_row = m + j * n;
        const double pivot = pivot_row[j];
        // The multipliers of column j four rows at a time: the divisions are
        // independent, and one four-lane division costs about one scalar one.
        std::size_t r = j + 1;
        const __m256d vpivot = _mm256_set1_pd(pivot);
        for (; r + 4 <= n; r += 4) {
            double* c0 = m + r * n + j;
            const __m256d col = _mm256_set_pd(c0[3 * n], c0[2 * n], c0[n], c0[0]);
            alignas(32) double f[4];
            _mm256_store_pd(f, _mm256_div_pd(col, vpivot));
            for (std::size_t t = 0; t < 4; ++t) c0[t * n] = f[t];
        }
        for (; r < n; ++r) m[r * n + j] = m[r * n + j] / pivot;
        for (r = j + 1; r < n; ++r) {
            double* row = m + r * n;  // never the pivot row
            update_row(row, pivot_row, row[j], j + 1, n);
        }
    }
    return true;
}

#else

bool lu_eliminate_avx2(double*, std::size_t, std::size_t*) { return false; }

#endif

}  // namespace zaviktools::detail
