// Four-lane gather of a node's kriging matrix rows from a block's cached
// pair semivariances: plain copies, so the entries are bit for bit those of
// the scalar gather.
#include <cstddef>
#include <cstdint>

#include "geostat/kriging_block.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

__attribute__((target("avx2"))) void gather_pair_rows_avx2(const double* g, std::size_t c,
                                                           const std::uint32_t* slots, std::size_t m, double* a,
                                                           std::size_t n) {
    const __m256d zero = _mm256_setzero_pd();
    const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    for (std::size_t i = 0; i < m; ++i) {
        const double* base = g + slots[i] * c;
        double* row = a + i * n;
        std::size_t j = 0;
        for (; j + 4 <= m; j += 4) {
            const __m128i idx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slots + j));
            // The masked form with every lane on: its explicit source keeps
            // GCC from warning about the unmasked form's undefined one.
            _mm256_storeu_pd(row + j, _mm256_mask_i32gather_pd(zero, base, idx, all, 8));
        }
        for (; j < m; ++j) row[j] = base[slots[j]];
    }
}

#else

void gather_pair_rows_avx2(const double*, std::size_t, const std::uint32_t*, std::size_t, double*, std::size_t) {}

#endif

}  // namespace zaviktools::detail
