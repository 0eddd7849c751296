// Four lanes' table reads as one gather per matrix pair: the four offsets
// differ, the table is shared.
#include "geostat/sgs/lane_system.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

__attribute__((target("avx2"))) void lane_table_system_avx2(const double* values, std::int64_t centre,
                                                            const std::int64_t* keys, const std::int64_t* here,
                                                            std::size_t m, double* a, double* rhs) {
    constexpr std::size_t lanes = 4;
    const __m256i base = _mm256_set1_epi64x(centre);
    const __m256i node = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(here));
    const __m256d one = _mm256_set1_pd(1.0);
    for (std::size_t i = 0; i < m; ++i) {
        const __m256i ki = _mm256_add_epi64(base, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + i * lanes)));
        _mm256_storeu_pd(a + (i * m + i) * lanes, one);
        for (std::size_t j = i + 1; j < m; ++j) {
            const __m256i kj = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + j * lanes));
            const __m256d v = _mm256_i64gather_pd(values, _mm256_sub_epi64(ki, kj), 8);
            _mm256_storeu_pd(a + (i * m + j) * lanes, v);
            _mm256_storeu_pd(a + (j * m + i) * lanes, v);
        }
        _mm256_storeu_pd(rhs + i * lanes, _mm256_i64gather_pd(values, _mm256_sub_epi64(ki, node), 8));
    }
}

#else

void lane_table_system_avx2(const double*, std::int64_t, const std::int64_t*, const std::int64_t*, std::size_t,
                            double*, double*) {}

#endif

}  // namespace zaviktools::detail
