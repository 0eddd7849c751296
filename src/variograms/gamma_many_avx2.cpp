// Four-lane semivariances of the Spherical and Nugget models, written after
// Variogram::gamma and variogram_shape: 0 where h * h is 0; Spherical
// c0 + c * (r >= 1 ? 1 : (-0.5 * r) * r * r + 1.5 * r) with r = h / a;
// Nugget c0 (a NaN separation stays NaN). The file enables AVX2, not FMA.
#include "variograms/gamma_many.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

__attribute__((target("avx2"))) void gamma_many_avx2(const Variogram& variogram, const double* h,
                                                     std::size_t count, double* out) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d c0 = _mm256_set1_pd(variogram.nugget);
    const __m256d c = _mm256_set1_pd(variogram.sill);
    const __m256d a = _mm256_set1_pd(variogram.range);
    const __m256d half = _mm256_set1_pd(-0.5);
    const __m256d three_halves = _mm256_set1_pd(1.5);
    const bool spherical = variogram.model == VariogramModel::Spherical;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d v = _mm256_loadu_pd(h + i);
        const __m256d at_zero = _mm256_cmp_pd(_mm256_mul_pd(v, v), zero, _CMP_EQ_OQ);
        __m256d g;
        if (spherical) {
            const __m256d r = _mm256_div_pd(v, a);
            const __m256d poly = _mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(half, r), r), r),
                                               _mm256_mul_pd(three_halves, r));
            const __m256d shape = _mm256_blendv_pd(poly, one, _mm256_cmp_pd(r, one, _CMP_GE_OQ));
            g = _mm256_add_pd(c0, _mm256_mul_pd(c, shape));
        } else {
            g = _mm256_blendv_pd(c0, v, _mm256_cmp_pd(v, v, _CMP_UNORD_Q));
        }
        _mm256_storeu_pd(out + i, _mm256_blendv_pd(g, zero, at_zero));
    }
    for (; i < count; ++i) out[i] = variogram.gamma(h[i]);
}

#else

void gamma_many_avx2(const Variogram& variogram, const double* h, std::size_t count, double* out) {
    for (std::size_t i = 0; i < count; ++i) out[i] = variogram.gamma(h[i]);
}

#endif

}  // namespace zaviktools::detail
