// The pivot choice of the four-lane LU kernels (lu_lanes_avx2.cpp,
// lu_lanes_fixed_avx2.cpp): the one-system rule in each lane. Included only
// by those AVX2 files on x86-64.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include <immintrin.h>

#include "linalg/lu_lanes.hpp"

namespace zaviktools::detail {

// Column j of the interleaved n x n matrices `m`, rows j..n-1: lane l of the
// result is lane l's pivot row (as a double, exactly) -- the first of equal
// largest magnitudes; a NaN magnitude is never replaced. Sets bit l of
// `failed` where lane l's largest magnitude is 0.
__attribute__((target("avx2"))) inline __m256d pivot_rows(const double* m, std::size_t n, std::size_t j,
                                                          unsigned& failed) {
    constexpr std::size_t L = kSolveLanes;
    const __m256d sign = _mm256_set1_pd(-0.0);
    const double* col = m + (j * n + j) * L;
    __m256d best = _mm256_andnot_pd(sign, _mm256_loadu_pd(col));
    // Row numbers ride as doubles: exact, and blended like the magnitudes.
    __m256d p = _mm256_set1_pd(static_cast<double>(j));
    __m256d row = p;
#pragma GCC unroll 4
    for (std::size_t r = j + 1; r < n; ++r) {
        row = _mm256_add_pd(row, _mm256_set1_pd(1.0));  // r, exactly
        const __m256d v = _mm256_andnot_pd(sign, _mm256_loadu_pd(col + (r - j) * n * L));
        const __m256d larger = _mm256_cmp_pd(v, best, _CMP_GT_OQ);
        best = _mm256_blendv_pd(best, v, larger);
        p = _mm256_blendv_pd(p, row, larger);
    }
    failed |= static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(best, _mm256_setzero_pd(), _CMP_EQ_OQ)));
    return p;
}

// pivot_rows for matrices that seldom exchange a row (correlation matrices,
// whose diagonal stays the largest): whether a lane keeps row j takes only
// the largest magnitude below it, found by running maxima without the rows,
// and the row search runs only where some lane needs it. Semivariance
// systems, whose zero diagonal exchanges rows at every step, take
// pivot_rows directly.
__attribute__((target("avx2"))) inline __m256d pivot_rows_diagonal_first(const double* m, std::size_t n,
                                                                         std::size_t j, unsigned& failed) {
    constexpr std::size_t L = kSolveLanes;
    const __m256d sign = _mm256_set1_pd(-0.0);
    const double* col = m + (j * n + j) * L;
    const std::size_t stride = n * L;
    // max(v, top) keeps top where v is NaN; top starts below every magnitude.
    __m256d top0 = _mm256_set1_pd(-1.0), top1 = top0;
    std::size_t r = j + 1;
#pragma GCC unroll 4
    for (; r + 2 <= n; r += 2) {
        top0 = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_loadu_pd(col + (r - j) * stride)), top0);
        top1 = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_loadu_pd(col + (r + 1 - j) * stride)), top1);
    }
    if (r < n) top0 = _mm256_max_pd(_mm256_andnot_pd(sign, _mm256_loadu_pd(col + (r - j) * stride)), top0);
    const __m256d diagonal = _mm256_andnot_pd(sign, _mm256_loadu_pd(col));
    // A lane keeps row j unless a later magnitude exceeds its own (never
    // when its own is NaN).
    if (_mm256_movemask_pd(_mm256_cmp_pd(_mm256_max_pd(top0, top1), diagonal, _CMP_GT_OQ)) != 0)
        return pivot_rows(m, n, j, failed);
    failed |= static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(diagonal, _mm256_setzero_pd(), _CMP_EQ_OQ)));
    return _mm256_set1_pd(static_cast<double>(j));
}

// pivot_rows (with DiagonalFirst, pivot_rows_diagonal_first), with q[l]
// lane l's pivot row and perm swapped to match. True when some lane's pivot
// row is not j.
template <bool DiagonalFirst>
__attribute__((target("avx2"))) inline bool choose_pivots(const double* m, std::size_t n, std::size_t j,
                                                          std::uint32_t* perm, unsigned& failed,
                                                          std::size_t q[kSolveLanes]) {
    constexpr std::size_t L = kSolveLanes;
    alignas(32) double pr[L];
    _mm256_store_pd(pr, DiagonalFirst ? pivot_rows_diagonal_first(m, n, j, failed) : pivot_rows(m, n, j, failed));
    bool swaps = false;
    for (std::size_t l = 0; l < L; ++l) {
        q[l] = static_cast<std::size_t>(pr[l]);
        if (q[l] == j) continue;
        swaps = true;
        std::swap(perm[j * L + l], perm[q[l] * L + l]);
    }
    return swaps;
}

}  // namespace zaviktools::detail
