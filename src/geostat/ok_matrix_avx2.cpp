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

__attribute__((target("avx2"))) void gather_pair_lanes_avx2(const double* g, std::size_t c,
                                                            const std::uint32_t* const slots[4], std::size_t m,
                                                            double* a, std::size_t n) {
    // The cache is symmetric with a zero diagonal and a lane's slots are
    // distinct, so each pair above the diagonal is read once and stored to
    // both triangles. Four scalar loads assembled into a vector: cheaper
    // than a hardware gather on some processors, never dearer by much.
    // The slot lists in locals: the vector stores may alias anything, and
    // would otherwise have the lists' addresses read again for every pair.
    const std::uint32_t *s0 = slots[0], *s1 = slots[1], *s2 = slots[2], *s3 = slots[3];
    const __m256d zero = _mm256_setzero_pd();
    for (std::size_t i = 0; i < m; ++i) {
        _mm256_storeu_pd(a + (i * n + i) * 4, zero);
        const double* g0 = g + s0[i] * c;
        const double* g1 = g + s1[i] * c;
        const double* g2 = g + s2[i] * c;
        const double* g3 = g + s3[i] * c;
        for (std::size_t j = i + 1; j < m; ++j) {
            const __m128d lo = _mm_loadh_pd(_mm_load_sd(g0 + s0[j]), g1 + s1[j]);
            const __m128d hi = _mm_loadh_pd(_mm_load_sd(g2 + s2[j]), g3 + s3[j]);
            const __m256d v = _mm256_insertf128_pd(_mm256_castpd128_pd256(lo), hi, 1);
            _mm256_storeu_pd(a + (i * n + j) * 4, v);
            _mm256_storeu_pd(a + (j * n + i) * 4, v);
        }
    }
}

__attribute__((target("avx2"))) std::uint64_t at_most_avx2(const double* v, std::size_t n, double bound) {
    const __m256d b = _mm256_set1_pd(bound);
    std::uint64_t bits = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const int four = _mm256_movemask_pd(_mm256_cmp_pd(_mm256_loadu_pd(v + i), b, _CMP_LE_OQ));
        bits |= static_cast<std::uint64_t>(four) << i;
    }
    for (; i < n; ++i) bits |= static_cast<std::uint64_t>(v[i] <= bound) << i;
    return bits;
}

__attribute__((target("avx2"))) void squared_distances_avx2(const double* x, const double* y, std::size_t c,
                                                            double px, double py, double* d2) {
    const __m256d vx = _mm256_set1_pd(px), vy = _mm256_set1_pd(py);
    std::size_t s = 0;
    for (; s + 4 <= c; s += 4) {
        const __m256d dx = _mm256_sub_pd(_mm256_loadu_pd(x + s), vx);
        const __m256d dy = _mm256_sub_pd(_mm256_loadu_pd(y + s), vy);
        _mm256_storeu_pd(d2 + s, _mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)));
    }
    for (; s < c; ++s) {
        const double dx = x[s] - px;
        const double dy = y[s] - py;
        d2[s] = dx * dx + dy * dy;
    }
}

#else

void squared_distances_avx2(const double*, const double*, std::size_t, double, double, double*) {}

void gather_pair_lanes_avx2(const double*, std::size_t, const std::uint32_t* const*, std::size_t, double*,
                            std::size_t) {}

std::uint64_t at_most_avx2(const double*, std::size_t, double) { return 0; }

void gather_pair_rows_avx2(const double*, std::size_t, const std::uint32_t*, std::size_t, double*, std::size_t) {}

#endif

}  // namespace zaviktools::detail
