// LU elimination of systems up to 32 x 32 (the kriging and simulation sizes),
// with rows padded to whole four-lane vectors. The pivot choice, swaps and
// divisions are the scalar loop's; each row update a(r,c) - a(j,c)*f is one
// multiply then one subtract per lane, both correctly rounded, so every entry
// gets the bits of the scalar path. The row length is a compile-time number
// of vectors, so the pivot row's vectors stay in registers across the rows
// below it and no row ends in a scalar tail: the first vector of a row is
// blended, keeping the columns up to the pivot's (the multipliers already
// stored there). Nothing here is fused (the file enables AVX2, not FMA).
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "linalg/lu_solve.hpp"
#include "linalg/pivot.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

namespace {

constexpr std::size_t kLanes = 4;
constexpr std::size_t kMaxVectors = 8;  // rows of up to 32 values

// Rows [from, n) of the padded matrix (V vectors a row) minus their
// multiplier times the pivot row, from vector V0 on; `keep` marks the lanes
// of vector V0 left as they are.
template <std::size_t V, std::size_t V0>
__attribute__((target("avx2"), always_inline)) inline void update_rows(double* m, const double* pivot_row,
                                                                       const double* f, std::size_t from,
                                                                       std::size_t n, __m256d keep) {
    constexpr std::size_t stride = V * kLanes;
    constexpr std::size_t count = V - V0;
    __m256d piv[count];
#pragma GCC unroll 8
    for (std::size_t v = 0; v < count; ++v) piv[v] = _mm256_loadu_pd(pivot_row + (V0 + v) * kLanes);
    for (std::size_t r = from; r < n; ++r) {
        double* row = m + r * stride + V0 * kLanes;
        const __m256d vf = _mm256_set1_pd(f[r]);
        const __m256d first = _mm256_loadu_pd(row);
        _mm256_storeu_pd(row, _mm256_blendv_pd(_mm256_sub_pd(first, _mm256_mul_pd(piv[0], vf)), first, keep));
#pragma GCC unroll 8
        for (std::size_t v = 1; v < count; ++v)
            _mm256_storeu_pd(row + v * kLanes,
                             _mm256_sub_pd(_mm256_loadu_pd(row + v * kLanes), _mm256_mul_pd(piv[v], vf)));
    }
}

template <std::size_t V, std::size_t... K>
__attribute__((target("avx2"), always_inline)) inline void update_from(std::size_t v0, double* m,
                                                                       const double* pivot_row, const double* f,
                                                                       std::size_t from, std::size_t n, __m256d keep,
                                                                       std::index_sequence<K...>) {
    (void)((v0 == K ? (update_rows<V, K>(m, pivot_row, f, from, n, keep), true) : false) || ...);
}

// Right-hand sides carried through the elimination (each stride + 4
// values): `b` takes the forward substitution of the solve, b_r - L(r,k)*b_k
// for k = 0, 1, ... in turn, and `y` that of the inverse bound,
// y_r + |L(r,k)|*y_k from y = 1: each entry receives the terms of its final
// row in the order of the row-by-row loops, so the bits are theirs. Both
// travel with the row swaps.
struct Forward {
    double* b;
    double* y;
};

// The elimination of an n x n matrix (n <= 4 * V) held with stride 4 * V;
// `fw` (optional) as above.
template <std::size_t V>
__attribute__((target("avx2"))) bool eliminate(double* m, std::size_t n, std::size_t* perm, const Forward* fw) {
    constexpr std::size_t stride = V * kLanes;
    alignas(32) double f[V * kLanes + kLanes] = {};
    for (std::size_t j = 0; j < n; ++j) {
        double best;
        const std::size_t p = choose_pivot(m, n, stride, j, best);
        if (best == 0.0) return false;
        if (p != j) {
            double* a = m + j * stride;
            double* b = m + p * stride;
#pragma GCC unroll 8
            for (std::size_t v = 0; v < V; ++v) {
                const __m256d t = _mm256_loadu_pd(a + v * kLanes);
                _mm256_storeu_pd(a + v * kLanes, _mm256_loadu_pd(b + v * kLanes));
                _mm256_storeu_pd(b + v * kLanes, t);
            }
            std::swap(perm[j], perm[p]);
            if (fw) {
                std::swap(fw->b[j], fw->b[p]);
                std::swap(fw->y[j], fw->y[p]);
            }
        }
        const double* pivot_row = m + j * stride;
        const double pivot = pivot_row[j];
        // The multipliers of column j four rows at a time: the divisions are
        // independent, and one four-lane division costs about one scalar one.
        std::size_t r = j + 1;
        const __m256d vpivot = _mm256_set1_pd(pivot);
        for (; r + 4 <= n; r += 4) {
            double* c0 = m + r * stride + j;
            const __m256d col = _mm256_set_pd(c0[3 * stride], c0[2 * stride], c0[stride], c0[0]);
            _mm256_storeu_pd(f + r, _mm256_div_pd(col, vpivot));
            for (std::size_t t = 0; t < 4; ++t) c0[t * stride] = f[r + t];
        }
        for (; r < n; ++r) {
            f[r] = m[r * stride + j] / pivot;
            m[r * stride + j] = f[r];
        }
        if (fw) {
            // Lanes past row n - 1 read zero multipliers and write padding.
            const __m256d bj = _mm256_set1_pd(fw->b[j]);
            const __m256d yj = _mm256_set1_pd(fw->y[j]);
            const __m256d sign = _mm256_set1_pd(-0.0);
            for (std::size_t q = j + 1; q < n; q += kLanes) {
                const __m256d fv = _mm256_loadu_pd(f + q);
                _mm256_storeu_pd(fw->b + q, _mm256_sub_pd(_mm256_loadu_pd(fw->b + q), _mm256_mul_pd(fv, bj)));
                _mm256_storeu_pd(fw->y + q,
                                 _mm256_add_pd(_mm256_loadu_pd(fw->y + q), _mm256_mul_pd(_mm256_andnot_pd(sign, fv), yj)));
            }
        }
        if (j + 1 == n) break;
        // Vector v0 holds column j + 1; its lanes up to column j stay.
        const std::size_t v0 = (j + 1) / kLanes;
        const std::size_t kept = j + 1 - v0 * kLanes;
        const __m256d keep = _mm256_castsi256_pd(_mm256_set_epi64x(
            0, kept > 2 ? -1 : 0, kept > 1 ? -1 : 0, kept > 0 ? -1 : 0));
        update_from<V>(v0, m, pivot_row, f, j + 1, n, keep, std::make_index_sequence<V>{});
    }
    return true;
}

// s - a[0]*b[0] - ... - a[k-1]*b[k-1] (sign -1) or s + |a[0]|*b[0] + ...
// (sign +1), in that order: the products four lanes at a time, each
// correctly rounded, the sums one after another.
template <bool Abs>
__attribute__((target("avx2"), always_inline)) inline double accumulate(double s, const double* a, const double* b,
                                                                        std::size_t k) {
    std::size_t i = 0;
    const __m256d sign = _mm256_set1_pd(-0.0);
    for (; i + 4 <= k; i += 4) {
        __m256d av = _mm256_loadu_pd(a + i);
        if constexpr (Abs) av = _mm256_andnot_pd(sign, av);
        const __m256d p = _mm256_mul_pd(av, _mm256_loadu_pd(b + i));
        const __m128d lo = _mm256_castpd256_pd128(p);
        const __m128d hi = _mm256_extractf128_pd(p, 1);
        if constexpr (Abs) {
            s = s + _mm_cvtsd_f64(lo);
            s = s + _mm_cvtsd_f64(_mm_unpackhi_pd(lo, lo));
            s = s + _mm_cvtsd_f64(hi);
            s = s + _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi));
        } else {
            s = s - _mm_cvtsd_f64(lo);
            s = s - _mm_cvtsd_f64(_mm_unpackhi_pd(lo, lo));
            s = s - _mm_cvtsd_f64(hi);
            s = s - _mm_cvtsd_f64(_mm_unpackhi_pd(hi, hi));
        }
    }
    for (; i < k; ++i) {
        if constexpr (Abs)
            s = s + std::fabs(a[i]) * b[i];
        else
            s = s - a[i] * b[i];
    }
    return s;
}

// The back substitutions after eliminate with `fw`: x from b, as in
// lu_solve_into, and the inverse bound from y, as in inverse_norm_inf_bound.
template <std::size_t V>
__attribute__((target("avx2"))) double back_substitute(const double* m, std::size_t n, double* b, double* y) {
    constexpr std::size_t stride = V * kLanes;
    double best = 0.0;
    for (std::size_t i = n; i-- > 0;) {
        const double* row = m + i * stride;
        b[i] = accumulate<false>(b[i], row + i + 1, b + i + 1, n - i - 1) / row[i];
        y[i] = accumulate<true>(y[i], row + i + 1, y + i + 1, n - i - 1) / std::fabs(row[i]);
        if (!(y[i] <= best)) best = y[i];
    }
    return best;
}

template <std::size_t V>
__attribute__((target("avx2"))) bool eliminate_padded(double* m, std::size_t n, std::size_t* perm) {
    constexpr std::size_t stride = V * kLanes;
    if (n == stride) return eliminate<V>(m, n, perm, nullptr);
    // Rows copied out to the padded stride (the padding is zero and never
    // read back) and the factors copied in again.
    alignas(32) double padded[stride * stride];
    for (std::size_t r = 0; r < n; ++r) {
        std::memcpy(padded + r * stride, m + r * n, n * sizeof(double));
        for (std::size_t c = n; c < stride; ++c) padded[r * stride + c] = 0.0;
    }
    const bool ok = eliminate<V>(padded, n, perm, nullptr);
    for (std::size_t r = 0; r < n; ++r) std::memcpy(m + r * n, padded + r * stride, n * sizeof(double));
    return ok;
}

template <std::size_t V>
__attribute__((target("avx2"))) bool factor_solve_padded(double* m, std::size_t n, std::size_t* perm, const double* b,
                                                         double* x, double& bound) {
    constexpr std::size_t stride = V * kLanes;
    alignas(32) double bw[stride + kLanes] = {};
    alignas(32) double yw[stride + kLanes];
    for (std::size_t i = 0; i < n; ++i) bw[i] = b[i];
    for (double& v : yw) v = 1.0;
    const Forward fw{bw, yw};
    bool ok = false;
    if (n == stride) {
        ok = eliminate<V>(m, n, perm, &fw);
        if (ok) bound = back_substitute<V>(m, n, bw, yw);
    } else {
        alignas(32) double padded[stride * stride];
        for (std::size_t r = 0; r < n; ++r) {
            std::memcpy(padded + r * stride, m + r * n, n * sizeof(double));
            for (std::size_t c = n; c < stride; ++c) padded[r * stride + c] = 0.0;
        }
        ok = eliminate<V>(padded, n, perm, &fw);
        if (ok) bound = back_substitute<V>(padded, n, bw, yw);
        for (std::size_t r = 0; r < n; ++r) std::memcpy(m + r * n, padded + r * stride, n * sizeof(double));
    }
    if (ok) std::memcpy(x, bw, n * sizeof(double));
    return ok;
}

// Calls run(V) with V the row length in vectors of an order-n system, a
// compile-time constant 1 .. 8 (n = 1 .. 32); `otherwise` for other n.
template <class Run, class Otherwise>
bool by_row_vectors(std::size_t n, Run&& run, Otherwise&& otherwise) {
    const std::size_t v = (n + kLanes - 1) / kLanes;
    bool out = false;
    const bool done = [&]<std::size_t... V>(std::index_sequence<V...>) {
        return ((v == V + 1 ? (out = run(std::integral_constant<std::size_t, V + 1>{}), true) : false) || ...);
    }(std::make_index_sequence<kMaxVectors>{});
    return done ? out : otherwise();
}

}  // namespace

bool lu_eliminate_small_avx2(double* m, std::size_t n, std::size_t* perm) {
    if (n == 0) return true;
    return by_row_vectors(
        n, [&](auto v) { return eliminate_padded<decltype(v)::value>(m, n, perm); },
        [&] { return lu_eliminate_avx2(m, n, perm); });
}

bool lu_factor_solve_small_avx2(double* m, std::size_t n, std::size_t* perm, const double* b, double* x,
                                double& bound) {
    return by_row_vectors(
        n, [&](auto v) { return factor_solve_padded<decltype(v)::value>(m, n, perm, b, x, bound); },
        [] { return false; });
}

#else

bool lu_eliminate_small_avx2(double*, std::size_t, std::size_t*) { return false; }
bool lu_factor_solve_small_avx2(double*, std::size_t, std::size_t*, const double*, double*, double&) { return false; }

#endif

}  // namespace zaviktools::detail
