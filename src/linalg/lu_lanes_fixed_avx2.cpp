// Four-lane LU with the size fixed at compile time (the ordinary-kriging
// systems of 16 and 32 neighbours plus the Lagrange row; the simple-kriging
// systems of 16, 24 and 32 neighbours, solved and bounded), in Crout order: at step j, column j
// below the diagonal takes all its updates at once, the pivot is chosen,
// rows are swapped, then row j right of the diagonal takes all its updates.
// Every entry still receives a(r,c) - u(k,c) * l(r,k) for k = 0, 1, ... in
// that order, each multiplier is the same division, and the pivot is chosen
// from the same column values by the same rule, so factors, permutation and
// solution are those of lu_factor_lanes_avx2 bit for bit. What changes is
// that an entry's running value stays in a register across its updates
// instead of being stored after each one.
#include "linalg/lu_lanes.hpp"

#if defined(__x86_64__)
#include <immintrin.h>

#include "linalg/lu_lanes_back.hpp"
#include "linalg/lu_lanes_pivot.hpp"
#endif

namespace zaviktools::detail {

bool lu_lanes_fixed(std::size_t n) { return n == 17 || n == 33; }

#if defined(__x86_64__)

namespace {

constexpr std::size_t L = kSolveLanes;

__attribute__((target("avx2"))) inline __m256d ld(const double* p) { return _mm256_loadu_pd(p); }
// s - u * l: one rounded multiply, then one rounded subtract.
__attribute__((target("avx2"))) inline __m256d msub(__m256d s, __m256d u, __m256d l) {
    return _mm256_sub_pd(s, _mm256_mul_pd(u, l));
}

// The four doubles at u and at v exchanged in the lanes of `mask`.
__attribute__((target("avx2"))) inline void exchange(double* u, double* v, __m256d mask) {
    const __m256d a = ld(u), e = ld(v);
    _mm256_storeu_pd(v, _mm256_blendv_pd(e, a, mask));
    _mm256_storeu_pd(u, _mm256_blendv_pd(a, e, mask));
}

// The pivot rows of column j and the row exchanges that bring them to row j:
// one blended pass over the two rows per distinct partner row, its lanes
// found by a vector compare, so the only branches that depend on the data
// are the count of passes. perm (and with Fw, b and y) travel with the rows.
template <std::size_t N, bool Fw>
__attribute__((target("avx2"), always_inline)) inline void pivot_and_swap(double* m, std::uint32_t* perm,
                                                                          unsigned& failed, std::size_t j,
                                                                          double* b, double* y) {
    // The factor-and-solve serves the simulation's correlation matrices.
    const __m256d p = Fw ? pivot_rows_diagonal_first(m, N, j, failed) : pivot_rows(m, N, j, failed);
    const __m256d vj = _mm256_set1_pd(static_cast<double>(j));
    unsigned need = static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(p, vj, _CMP_NEQ_OQ)));
    if (need == 0) return;
    alignas(32) double pr[L];
    _mm256_store_pd(pr, p);
    // The low 32 bits of each 64-bit lane mask: the mask of four uint32 lanes.
    const __m256i halves = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
    double* rj = m + j * N * L;
    do {
        const double partner = pr[__builtin_ctz(need)];
        const __m256d mask = _mm256_cmp_pd(p, _mm256_set1_pd(partner), _CMP_EQ_OQ);
        need &= ~static_cast<unsigned>(_mm256_movemask_pd(mask));
        const std::size_t q = static_cast<std::size_t>(partner);
        double* rq = m + q * N * L;
#pragma GCC unroll 4
        for (std::size_t c = 0; c < N * L; c += L) exchange(rj + c, rq + c, mask);
        const __m128i m32 = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(mask), halves));
        __m128i* pj = reinterpret_cast<__m128i*>(perm + j * L);
        __m128i* pq = reinterpret_cast<__m128i*>(perm + q * L);
        const __m128i uj = _mm_loadu_si128(pj), uq = _mm_loadu_si128(pq);
        _mm_storeu_si128(pq, _mm_blendv_epi8(uq, uj, m32));
        _mm_storeu_si128(pj, _mm_blendv_epi8(uj, uq, m32));
        if constexpr (Fw) {
            exchange(b + j * L, b + q * L, mask);
            exchange(y + j * L, y + q * L, mask);
        }
    } while (need != 0);
}

// Rows r .. r+R-1 of column j take their updates by k = 0 .. j-1 in order.
template <std::size_t N, std::size_t R>
__attribute__((target("avx2"), always_inline)) inline void column_tile(double* m, std::size_t r, std::size_t j) {
    double* out = m + (r * N + j) * L;
    __m256d s[R];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < R; ++i) s[i] = ld(out + i * N * L);
    const double* row = m + r * N * L;
#pragma GCC unroll 4
    for (std::size_t k = 0; k < j; ++k) {
        const __m256d u = ld(m + (k * N + j) * L);
#pragma GCC unroll 8
        for (std::size_t i = 0; i < R; ++i) s[i] = msub(s[i], u, ld(row + (i * N + k) * L));
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < R; ++i) _mm256_storeu_pd(out + i * N * L, s[i]);
}

// Columns c .. c+R-1 of row j take their updates by k = 0 .. j-1 in order.
template <std::size_t N, std::size_t R>
__attribute__((target("avx2"), always_inline)) inline void row_tile(double* m, std::size_t j, std::size_t c) {
    double* out = m + (j * N + c) * L;
    __m256d s[R];
#pragma GCC unroll 8
    for (std::size_t i = 0; i < R; ++i) s[i] = ld(out + i * L);
#pragma GCC unroll 4
    for (std::size_t k = 0; k < j; ++k) {
        const __m256d f = ld(m + (j * N + k) * L);
        const double* u = m + (k * N + c) * L;
#pragma GCC unroll 8
        for (std::size_t i = 0; i < R; ++i) s[i] = msub(s[i], ld(u + i * L), f);
    }
#pragma GCC unroll 8
    for (std::size_t i = 0; i < R; ++i) _mm256_storeu_pd(out + i * L, s[i]);
}

// Step j of the elimination: column j, the pivot and row swap, row j, the
// multipliers; with Fw, the right-hand sides b and y take their forward
// substitutions as lu_factor_solve_lanes_avx2's do (each entry the terms of
// its final row, in order; both travel with the swaps).
template <std::size_t N, bool Fw>
__attribute__((target("avx2"), always_inline)) inline void factor_step(double* m, std::uint32_t* perm,
                                                                       unsigned& failed, std::size_t j, double* b,
                                                                       double* y) {
    auto at = [m](std::size_t r, std::size_t c) { return m + (r * N + c) * L; };
    // Column j, rows j.., up to eight rows per pass sharing each u(k, j).
    std::size_t r = j;
    for (; r + 8 <= N; r += 8) column_tile<N, 8>(m, r, j);
    if (r + 4 <= N) column_tile<N, 4>(m, r, j), r += 4;
    if (r + 2 <= N) column_tile<N, 2>(m, r, j), r += 2;
    if (r < N) column_tile<N, 1>(m, r, j);
    pivot_and_swap<N, Fw>(m, perm, failed, j, b, y);
    // Row j right of the diagonal, up to eight columns per pass sharing
    // each l(j, k).
    if (j > 0) {
        std::size_t c = j + 1;
        for (; c + 8 <= N; c += 8) row_tile<N, 8>(m, j, c);
        if (c + 4 <= N) row_tile<N, 4>(m, j, c), c += 4;
        if (c + 2 <= N) row_tile<N, 2>(m, j, c), c += 2;
        if (c < N) row_tile<N, 1>(m, j, c);
    }
    // The multipliers of column j.
    const __m256d pivot = ld(at(j, j));
    if constexpr (Fw) {
        const __m256d bj = ld(b + j * L), yj = ld(y + j * L);
        const __m256d sign = _mm256_set1_pd(-0.0);
#pragma GCC unroll 4
        for (std::size_t i = j + 1; i < N; ++i) {
            const __m256d f = _mm256_div_pd(ld(at(i, j)), pivot);
            _mm256_storeu_pd(at(i, j), f);
            _mm256_storeu_pd(b + i * L, msub(ld(b + i * L), f, bj));
            _mm256_storeu_pd(y + i * L, _mm256_add_pd(ld(y + i * L), _mm256_mul_pd(_mm256_andnot_pd(sign, f), yj)));
        }
    } else {
#pragma GCC unroll 4
        for (std::size_t i = j + 1; i < N; ++i) _mm256_storeu_pd(at(i, j), _mm256_div_pd(ld(at(i, j)), pivot));
    }
}

template <std::size_t N, bool Fw = false>
__attribute__((target("avx2"))) unsigned factor_fixed(double* m, std::uint32_t* perm, double* b = nullptr,
                                                      double* y = nullptr) {
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t l = 0; l < L; ++l) perm[i * L + l] = static_cast<std::uint32_t>(i);
    unsigned failed = 0;
    for (std::size_t j = 0; j < N; ++j) factor_step<N, Fw>(m, perm, failed, j, b, y);
    return ~failed & ((1u << L) - 1);
}

template <std::size_t N>
__attribute__((target("avx2"))) unsigned factor_solve_fixed(double* m, std::uint32_t* perm, double* b, double* work,
                                                            double* bound) {
    for (std::size_t i = 0; i < N * L; ++i) work[i] = 1.0;
    const unsigned good = factor_fixed<N, true>(m, perm, b, work);
    back_substitute_bound_lanes(m, N, b, work, bound);
    return good;
}

template <std::size_t N>
__attribute__((target("avx2"))) void solve_fixed(const double* lu, const std::uint32_t* perm, const double* b,
                                                 double* x) {
    for (std::size_t i = 0; i < N; ++i)
        for (std::size_t l = 0; l < L; ++l) x[i * L + l] = b[perm[i * L + l] * L + l];
    auto at = [lu](std::size_t r, std::size_t c) { return lu + (r * N + c) * L; };
    // The whole solve unrolled over the fixed size, the unknowns held as
    // vectors. Forward substitution by columns: once y(k) is final it is
    // taken off every later row, so each row still subtracts l(i,0) y(0),
    // l(i,1) y(1), ... in that order while the rows' chains run side by side.
    __m256d y[N];
#pragma GCC unroll 64
    for (std::size_t i = 0; i < N; ++i) y[i] = ld(x + i * L);
#pragma GCC unroll 64
    for (std::size_t k = 0; k + 1 < N; ++k) {
#pragma GCC unroll 64
        for (std::size_t i = k + 1; i < N; ++i) y[i] = _mm256_sub_pd(y[i], _mm256_mul_pd(ld(at(i, k)), y[k]));
    }
#pragma GCC unroll 64
    for (std::size_t t = 0; t < N; ++t) {
        const std::size_t i = N - 1 - t;
        __m256d s = y[i];
#pragma GCC unroll 64
        for (std::size_t c = i + 1; c < N; ++c) s = _mm256_sub_pd(s, _mm256_mul_pd(ld(at(i, c)), y[c]));
        y[i] = _mm256_div_pd(s, ld(at(i, i)));
    }
#pragma GCC unroll 64
    for (std::size_t i = 0; i < N; ++i) _mm256_storeu_pd(x + i * L, y[i]);
}

}  // namespace

unsigned lu_factor_lanes_fixed_avx2(double* m, std::size_t n, std::uint32_t* perm) {
    switch (n) {
        case 17:
            return factor_fixed<17>(m, perm);
        case 33:
            return factor_fixed<33>(m, perm);
        default:
            return lu_factor_lanes_avx2(m, n, perm);
    }
}

void lu_solve_lanes_fixed_avx2(const double* lu, const std::uint32_t* perm, std::size_t n, const double* b,
                               double* x) {
    switch (n) {
        case 17:
            return solve_fixed<17>(lu, perm, b, x);
        case 33:
            return solve_fixed<33>(lu, perm, b, x);
        default:
            return lu_solve_lanes_avx2(lu, perm, n, b, x);
    }
}

unsigned lu_factor_solve_lanes_fixed_avx2(double* m, std::size_t n, std::uint32_t* perm, double* b, double* work,
                                          double* bound) {
    switch (n) {
        case 16:
            return factor_solve_fixed<16>(m, perm, b, work, bound);
        case 24:
            return factor_solve_fixed<24>(m, perm, b, work, bound);
        case 32:
            return factor_solve_fixed<32>(m, perm, b, work, bound);
        default:
            return lu_factor_solve_lanes_avx2(m, n, perm, b, work, bound);
    }
}

#else

unsigned lu_factor_solve_lanes_fixed_avx2(double*, std::size_t, std::uint32_t*, double*, double*, double*) {
    return 0;
}
unsigned lu_factor_lanes_fixed_avx2(double*, std::size_t, std::uint32_t*) { return 0; }
void lu_solve_lanes_fixed_avx2(const double*, const std::uint32_t*, std::size_t, const double*, double*) {}

#endif

}  // namespace zaviktools::detail
