// The back substitutions of the four-lane factor-and-solve kernels
// (lu_lanes_avx2.cpp, lu_lanes_fixed_avx2.cpp), after the forward ones rode
// along the elimination: x from b as in lu_solve_into, and the inverse bound
// from y as in inverse_norm_inf_bound, sharing each read of U. Included only
// by those AVX2 files on x86-64.
#pragma once

#include <cstddef>

#include <immintrin.h>

#include "linalg/lu_lanes.hpp"

namespace zaviktools::detail {

__attribute__((target("avx2"), always_inline)) inline void back_substitute_bound_lanes(const double* m, std::size_t n,
                                                                                      double* b, double* y,
                                                                                      double* bound) {
    constexpr std::size_t L = kSolveLanes;
    const __m256d sign = _mm256_set1_pd(-0.0);
    auto at = [&](std::size_t r, std::size_t c) { return m + (r * n + c) * L; };
    __m256d best = _mm256_setzero_pd();
    for (std::size_t i = n; i-- > 0;) {
        __m256d s = _mm256_loadu_pd(b + i * L);
        __m256d t = _mm256_loadu_pd(y + i * L);
        for (std::size_t c = i + 1; c < n; ++c) {
            const __m256d u = _mm256_loadu_pd(at(i, c));
            s = _mm256_sub_pd(s, _mm256_mul_pd(u, _mm256_loadu_pd(b + c * L)));
            t = _mm256_add_pd(t, _mm256_mul_pd(_mm256_andnot_pd(sign, u), _mm256_loadu_pd(y + c * L)));
        }
        const __m256d d = _mm256_loadu_pd(at(i, i));
        s = _mm256_div_pd(s, d);
        t = _mm256_div_pd(t, _mm256_andnot_pd(sign, d));
        _mm256_storeu_pd(b + i * L, s);
        _mm256_storeu_pd(y + i * L, t);
        // !(z <= best): larger, or NaN, replaces
        best = _mm256_blendv_pd(best, t, _mm256_cmp_pd(t, best, _CMP_NLE_UQ));
    }
    _mm256_storeu_pd(bound, best);
}

}  // namespace zaviktools::detail
