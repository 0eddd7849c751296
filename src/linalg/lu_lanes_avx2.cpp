// Four-lane LU: the scalar elimination written once over vectors of four
// systems. Pivot search compares with the same "strictly larger" rule per
// lane (first of equal maxima wins, a NaN magnitude is never replaced), rows
// are swapped lane by lane, and every multiplier, update and substitution
// step is one correctly rounded division, multiply or subtract per lane
// (nothing fused: the file enables AVX2, not FMA).
#include "linalg/lu_lanes.hpp"

#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>

#include "linalg/lu_lanes_back.hpp"
#include "linalg/lu_lanes_pivot.hpp"
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

namespace {

__attribute__((target("avx2"))) inline __m256d abs4(__m256d v) {
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
}

__attribute__((target("avx2"), always_inline)) inline void forward_step(double* br, double* yr, __m256d f, __m256d bj,
                                                                        __m256d yj) {
    _mm256_storeu_pd(br, _mm256_sub_pd(_mm256_loadu_pd(br), _mm256_mul_pd(f, bj)));
    _mm256_storeu_pd(yr, _mm256_add_pd(_mm256_loadu_pd(yr), _mm256_mul_pd(abs4(f), yj)));
}

// The elimination; with Fw, the right-hand sides b and y (n * 4 values,
// y from ones) take the forward substitutions of the solve, b_r - L(r,k)*b_k,
// and of the inverse bound, y_r + |L(r,k)|*y_k, for k = 0, 1, ... in turn as
// the multipliers are made: each entry receives the terms of its final row
// in the order of the row-by-row loops. Both travel with the row swaps.
template <bool Fw>
__attribute__((target("avx2"))) unsigned factor_lanes(double* m, std::size_t n, std::uint32_t* perm, double* b,
                                                      double* y) {
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t l = 0; l < kSolveLanes; ++l) perm[i * kSolveLanes + l] = static_cast<std::uint32_t>(i);
    auto at = [&](std::size_t r, std::size_t c) { return m + (r * n + c) * kSolveLanes; };
    unsigned failed = 0;
    for (std::size_t j = 0; j < n; ++j) {
        std::size_t q[kSolveLanes];
        // The factor-and-solve serves the simulation's correlation matrices.
        const bool swaps = choose_pivots<Fw>(m, n, j, perm, failed, q);
        if constexpr (Fw) {
            for (std::size_t l = 0; l < kSolveLanes; ++l) {
                if (q[l] == j) continue;
                std::swap(b[j * kSolveLanes + l], b[q[l] * kSolveLanes + l]);
                std::swap(y[j * kSolveLanes + l], y[q[l] * kSolveLanes + l]);
            }
        }
        if (swaps) {
            // Row j takes each lane's pivot row (one gather per column), and
            // each pivot row takes row j's value in its lane; a lane without a
            // swap gathers from and writes back to row j itself.
            const __m256i from = _mm256_set_epi64x(static_cast<long long>(q[3] * n * kSolveLanes + 3),
                                                   static_cast<long long>(q[2] * n * kSolveLanes + 2),
                                                   static_cast<long long>(q[1] * n * kSolveLanes + 1),
                                                   static_cast<long long>(q[0] * n * kSolveLanes));
            const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
            double* rj = at(j, 0);
            double* r0 = m + q[0] * n * kSolveLanes;
            double* r1 = m + q[1] * n * kSolveLanes + 1;
            double* r2 = m + q[2] * n * kSolveLanes + 2;
            double* r3 = m + q[3] * n * kSolveLanes + 3;
            for (std::size_t c = 0; c < n * kSolveLanes; c += kSolveLanes) {
                const __m256i idx = _mm256_add_epi64(from, _mm256_set1_epi64x(static_cast<long long>(c)));
                const __m256d vq = _mm256_mask_i64gather_pd(_mm256_setzero_pd(), m, idx, all, 8);
                const __m256d vj = _mm256_loadu_pd(rj + c);
                _mm256_storeu_pd(rj + c, vq);
                const __m128d lo = _mm256_castpd256_pd128(vj);
                const __m128d hi = _mm256_extractf128_pd(vj, 1);
                _mm_storel_pd(r0 + c, lo);
                _mm_storeh_pd(r1 + c, lo);
                _mm_storel_pd(r2 + c, hi);
                _mm_storeh_pd(r3 + c, hi);
            }
        }
        const __m256d pivot = _mm256_loadu_pd(at(j, j));
        const double* piv = at(j, 0);
        __m256d bj = _mm256_setzero_pd(), yj = _mm256_setzero_pd();
        if constexpr (Fw) {
            bj = _mm256_loadu_pd(b + j * kSolveLanes);
            yj = _mm256_loadu_pd(y + j * kSolveLanes);
        }
        // Four rows (then two) per pass share each load of the pivot row.
        std::size_t r = j + 1;
        for (; r + 4 <= n; r += 4) {
            double* row0 = at(r, 0);
            double* row1 = at(r + 1, 0);
            double* row2 = at(r + 2, 0);
            double* row3 = at(r + 3, 0);
            const __m256d f0 = _mm256_div_pd(_mm256_loadu_pd(row0 + j * kSolveLanes), pivot);
            const __m256d f1 = _mm256_div_pd(_mm256_loadu_pd(row1 + j * kSolveLanes), pivot);
            const __m256d f2 = _mm256_div_pd(_mm256_loadu_pd(row2 + j * kSolveLanes), pivot);
            const __m256d f3 = _mm256_div_pd(_mm256_loadu_pd(row3 + j * kSolveLanes), pivot);
            _mm256_storeu_pd(row0 + j * kSolveLanes, f0);
            _mm256_storeu_pd(row1 + j * kSolveLanes, f1);
            _mm256_storeu_pd(row2 + j * kSolveLanes, f2);
            _mm256_storeu_pd(row3 + j * kSolveLanes, f3);
            if constexpr (Fw) forward_step(b + r * kSolveLanes, y + r * kSolveLanes, f0, bj, yj);
            if constexpr (Fw) forward_step(b + (r + 1) * kSolveLanes, y + (r + 1) * kSolveLanes, f1, bj, yj);
            if constexpr (Fw) forward_step(b + (r + 2) * kSolveLanes, y + (r + 2) * kSolveLanes, f2, bj, yj);
            if constexpr (Fw) forward_step(b + (r + 3) * kSolveLanes, y + (r + 3) * kSolveLanes, f3, bj, yj);
            for (std::size_t c = (j + 1) * kSolveLanes; c < n * kSolveLanes; c += kSolveLanes) {
                const __m256d pc = _mm256_loadu_pd(piv + c);
                _mm256_storeu_pd(row0 + c, _mm256_sub_pd(_mm256_loadu_pd(row0 + c), _mm256_mul_pd(pc, f0)));
                _mm256_storeu_pd(row1 + c, _mm256_sub_pd(_mm256_loadu_pd(row1 + c), _mm256_mul_pd(pc, f1)));
                _mm256_storeu_pd(row2 + c, _mm256_sub_pd(_mm256_loadu_pd(row2 + c), _mm256_mul_pd(pc, f2)));
                _mm256_storeu_pd(row3 + c, _mm256_sub_pd(_mm256_loadu_pd(row3 + c), _mm256_mul_pd(pc, f3)));
            }
        }
        for (; r + 2 <= n; r += 2) {
            double* row0 = at(r, 0);
            double* row1 = at(r + 1, 0);
            const __m256d f0 = _mm256_div_pd(_mm256_loadu_pd(row0 + j * kSolveLanes), pivot);
            const __m256d f1 = _mm256_div_pd(_mm256_loadu_pd(row1 + j * kSolveLanes), pivot);
            _mm256_storeu_pd(row0 + j * kSolveLanes, f0);
            _mm256_storeu_pd(row1 + j * kSolveLanes, f1);
            if constexpr (Fw) forward_step(b + r * kSolveLanes, y + r * kSolveLanes, f0, bj, yj);
            if constexpr (Fw) forward_step(b + (r + 1) * kSolveLanes, y + (r + 1) * kSolveLanes, f1, bj, yj);
            for (std::size_t c = (j + 1) * kSolveLanes; c < n * kSolveLanes; c += kSolveLanes) {
                const __m256d pc = _mm256_loadu_pd(piv + c);
                _mm256_storeu_pd(row0 + c, _mm256_sub_pd(_mm256_loadu_pd(row0 + c), _mm256_mul_pd(pc, f0)));
                _mm256_storeu_pd(row1 + c, _mm256_sub_pd(_mm256_loadu_pd(row1 + c), _mm256_mul_pd(pc, f1)));
            }
        }
        if (r < n) {
            double* row = at(r, 0);
            const __m256d f = _mm256_div_pd(_mm256_loadu_pd(row + j * kSolveLanes), pivot);
            _mm256_storeu_pd(row + j * kSolveLanes, f);
            if constexpr (Fw) forward_step(b + r * kSolveLanes, y + r * kSolveLanes, f, bj, yj);
            for (std::size_t c = (j + 1) * kSolveLanes; c < n * kSolveLanes; c += kSolveLanes)
                _mm256_storeu_pd(row + c, _mm256_sub_pd(_mm256_loadu_pd(row + c),
                                                        _mm256_mul_pd(_mm256_loadu_pd(piv + c), f)));
        }
    }
    return ~failed & ((1u << kSolveLanes) - 1);
}

}  // namespace

__attribute__((target("avx2"))) unsigned lu_factor_lanes_avx2(double* m, std::size_t n, std::uint32_t* perm) {
    return factor_lanes<false>(m, n, perm, nullptr, nullptr);
}

__attribute__((target("avx2"))) unsigned lu_factor_solve_lanes_avx2(double* m, std::size_t n, std::uint32_t* perm,
                                                                    double* b, double* work, double* bound) {
    double* y = work;
    for (std::size_t i = 0; i < n * kSolveLanes; ++i) y[i] = 1.0;
    const unsigned good = factor_lanes<true>(m, n, perm, b, y);
    back_substitute_bound_lanes(m, n, b, y, bound);
    return good;
}

__attribute__((target("avx2"))) void lu_solve_lanes_avx2(const double* lu, const std::uint32_t* perm, std::size_t n,
                                                         const double* b, double* x) {
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t l = 0; l < kSolveLanes; ++l)
            x[i * kSolveLanes + l] = b[perm[i * kSolveLanes + l] * kSolveLanes + l];
    auto at = [&](std::size_t r, std::size_t c) { return lu + (r * n + c) * kSolveLanes; };
    for (std::size_t i = 0; i < n; ++i) {
        __m256d s = _mm256_loadu_pd(x + i * kSolveLanes);
        for (std::size_t k = 0; k < i; ++k)
            s = _mm256_sub_pd(s, _mm256_mul_pd(_mm256_loadu_pd(at(i, k)), _mm256_loadu_pd(x + k * kSolveLanes)));
        _mm256_storeu_pd(x + i * kSolveLanes, s);
    }
    for (std::size_t i = n; i-- > 0;) {
        __m256d s = _mm256_loadu_pd(x + i * kSolveLanes);
        for (std::size_t c = i + 1; c < n; ++c)
            s = _mm256_sub_pd(s, _mm256_mul_pd(_mm256_loadu_pd(at(i, c)), _mm256_loadu_pd(x + c * kSolveLanes)));
        _mm256_storeu_pd(x + i * kSolveLanes, _mm256_div_pd(s, _mm256_loadu_pd(at(i, i))));
    }
}

#else

unsigned lu_factor_solve_lanes_avx2(double*, std::size_t, std::uint32_t*, double*, double*, double*) { return 0; }
unsigned lu_factor_lanes_avx2(double*, std::size_t, std::uint32_t*) { return 0; }
void lu_solve_lanes_avx2(const double*, const std::uint32_t*, std::size_t, const double*, double*) {}

#endif

}  // namespace zaviktools::detail
