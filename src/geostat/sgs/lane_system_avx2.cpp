// Four lanes' table reads per matrix pair, assembled into one vector: the
// four offsets differ, the table is shared.
#include "geostat/sgs/lane_system.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

namespace {

// values[c0], values[c1], values[c2], values[c3] as one vector: four scalar
// loads, cheaper than a hardware gather on the processors we meet.
__attribute__((target("avx2"), always_inline)) inline __m256d load4(const double* values, const std::int64_t* c) {
    const __m128d lo = _mm_loadh_pd(_mm_load_sd(values + c[0]), values + c[1]);
    const __m128d hi = _mm_loadh_pd(_mm_load_sd(values + c[2]), values + c[3]);
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1);
}

}  // namespace

__attribute__((target("avx2"))) void lane_table_system_avx2(const double* values, std::int64_t centre,
                                                            const std::int64_t* keys, const std::int64_t* here,
                                                            std::size_t m, double* a, double* rhs) {
    constexpr std::size_t lanes = 4;
    const __m256d one = _mm256_set1_pd(1.0);
    alignas(32) std::int64_t at[lanes];
    for (std::size_t i = 0; i < m; ++i) {
        // The table position of key i minus key j, per lane.
        const __m256i ki = _mm256_add_epi64(_mm256_set1_epi64x(centre),
                                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + i * lanes)));
        _mm256_storeu_pd(a + (i * m + i) * lanes, one);
        for (std::size_t j = i + 1; j < m; ++j) {
            const __m256i kj = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + j * lanes));
            _mm256_store_si256(reinterpret_cast<__m256i*>(at), _mm256_sub_epi64(ki, kj));
            const __m256d v = load4(values, at);
            _mm256_storeu_pd(a + (i * m + j) * lanes, v);
            _mm256_storeu_pd(a + (j * m + i) * lanes, v);
        }
        const __m256i node = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(here));
        _mm256_store_si256(reinterpret_cast<__m256i*>(at), _mm256_sub_epi64(ki, node));
        _mm256_storeu_pd(rhs + i * lanes, load4(values, at));
    }
}

#else

void lane_table_system_avx2(const double*, std::int64_t, const std::int64_t*, const std::int64_t*, std::size_t,
                            double*, double*) {}

#endif

}  // namespace zaviktools::detail
