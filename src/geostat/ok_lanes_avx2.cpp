// Estimate and variance of four solved systems, one per lane, each summed
// in the one-system order: estimate 0 + x0 z0 + x1 z1 + ..., variance
// mu + x0 b0 + x1 b1 + ..., 0 unless > 0 (nothing fused).
#include "geostat/ok_lanes.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

__attribute__((target("avx2"))) void ok_results_lanes_avx2(const double* x, const double* rhs, const double* z,
                                                           std::size_t m, double* estimate, double* variance) {
    constexpr std::size_t L = kSolveLanes;
    __m256d e = _mm256_setzero_pd();
    for (std::size_t i = 0; i < m; ++i)
        e = _mm256_add_pd(e, _mm256_mul_pd(_mm256_loadu_pd(x + i * L), _mm256_loadu_pd(z + i * L)));
    __m256d v = _mm256_loadu_pd(x + m * L);
    for (std::size_t i = 0; i < m; ++i)
        v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_loadu_pd(x + i * L), _mm256_loadu_pd(rhs + i * L)));
    // NaN is not > 0 either: 0, as in the one-system solve.
    v = _mm256_and_pd(v, _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_GT_OQ));
    _mm256_storeu_pd(estimate, e);
    _mm256_storeu_pd(variance, v);
}

#else

void ok_results_lanes_avx2(const double*, const double*, const double*, std::size_t, double*, double*) {}

#endif

}  // namespace zaviktools::detail
