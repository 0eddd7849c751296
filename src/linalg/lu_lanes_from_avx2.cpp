// Four solves side by side from factors made in other lanes: lane l solves
// its own right-hand side with the factors and permutation of lane src[l]
// of a four-lane factorisation, each factor vector's lanes moved into place
// by one permute. Each lane does lu_solve_lanes_avx2's operations in its
// order (hence lu_solve_into's), so its solution is the bits of that lane's
// own solve. The usual ordinary-kriging size (16 neighbours) is unrolled.
#include "linalg/lu_lanes.hpp"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zaviktools::detail {

#if defined(__x86_64__)

namespace {

constexpr std::size_t L = kSolveLanes;

__attribute__((target("avx2"))) inline __m256d ld(const double* p) { return _mm256_loadu_pd(p); }
// The four doubles at p, lane l taking the value of lane src[l] (idx: its
// two 32-bit halves).
__attribute__((target("avx2"))) inline __m256d ld_from(const double* p, __m256i idx) {
    return _mm256_castsi256_pd(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(_mm256_loadu_pd(p)), idx));
}

// N > 0: the size fixed at compile time; N == 0: n at run time.
template <std::size_t N>
__attribute__((target("avx2"))) void solve_from(const double* lu, const std::uint32_t* perm, std::size_t n,
                                                const std::size_t src[L], const double* b, double* x) {
    if constexpr (N != 0) n = N;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t l = 0; l < L; ++l) x[i * L + l] = b[perm[i * L + src[l]] * L + l];
    const __m256i idx = _mm256_setr_epi32(
        static_cast<int>(2 * src[0]), static_cast<int>(2 * src[0] + 1), static_cast<int>(2 * src[1]),
        static_cast<int>(2 * src[1] + 1), static_cast<int>(2 * src[2]), static_cast<int>(2 * src[2] + 1),
        static_cast<int>(2 * src[3]), static_cast<int>(2 * src[3] + 1));
    auto at = [&](std::size_t r, std::size_t c) { return lu + (r * n + c) * L; };
#pragma GCC unroll 24
    for (std::size_t i = 0; i < n; ++i) {
        __m256d s = ld(x + i * L);
#pragma GCC unroll 24
        for (std::size_t k = 0; k < i; ++k) s = _mm256_sub_pd(s, _mm256_mul_pd(ld_from(at(i, k), idx), ld(x + k * L)));
        _mm256_storeu_pd(x + i * L, s);
    }
#pragma GCC unroll 24
    for (std::size_t t = 0; t < n; ++t) {
        const std::size_t i = n - 1 - t;
        __m256d s = ld(x + i * L);
#pragma GCC unroll 24
        for (std::size_t c = i + 1; c < n; ++c) s = _mm256_sub_pd(s, _mm256_mul_pd(ld_from(at(i, c), idx), ld(x + c * L)));
        _mm256_storeu_pd(x + i * L, _mm256_div_pd(s, ld_from(at(i, i), idx)));
    }
}

}  // namespace

void lu_solve_lanes_from_avx2(const double* lu, const std::uint32_t* perm, std::size_t n, const std::size_t src[L],
                              const double* b, double* x) {
    if (n == 17) return solve_from<17>(lu, perm, n, src, b, x);
    solve_from<0>(lu, perm, n, src, b, x);
}

#else

void lu_solve_lanes_from_avx2(const double*, const std::uint32_t*, std::size_t, const std::size_t*, const double*,
                              double*) {}

#endif

}  // namespace zaviktools::detail
