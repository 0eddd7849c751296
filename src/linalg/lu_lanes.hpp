// Four independent n x n systems factored and solved side by side, one per
// SIMD lane. Each lane makes its own pivot choices and performs exactly the
// operations of lu_factor_in_place / lu_solve_into in the same order, so its
// factors, permutation and solution are those of the one-system solver bit
// for bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zaviktools {

inline constexpr std::size_t kSolveLanes = 4;

namespace detail {

// `m` holds the four matrices interleaved: entry (r, c) of lane l at
// m[(r * n + c) * 4 + l]. Factors them in place; perm[i * 4 + l] is the
// original row of lane l now at position i. Returns a bit mask of the lanes
// whose factorisation succeeded (bit l: no exactly-zero pivot column); the
// other lanes hold meaningless values. Only called where the processor has
// AVX2.
unsigned lu_factor_lanes_avx2(double* m, std::size_t n, std::uint32_t* perm);

// x (interleaved like b, n * 4 values) = the solution of each lane's system
// from its factors; b[(i) * 4 + l] is read through lane l's permutation.
void lu_solve_lanes_avx2(const double* lu, const std::uint32_t* perm, std::size_t n, const double* b, double* x);

// lu_solve_lanes_avx2 with lane l solving b's lane l from the factors and
// permutation of lane src[l] (src[l] < 4): each lane's solution is the bits
// of lu_solve_lanes_avx2 on that lane's factors.
void lu_solve_lanes_from_avx2(const double* lu, const std::uint32_t* perm, std::size_t n,
                              const std::size_t src[kSolveLanes], const double* b, double* x);

// Sizes with a kernel of their own (16 and 32 neighbours plus the Lagrange
// row): the same factors, permutation and solution as the two above, bit for
// bit, in fewer instructions. Other sizes go to the two above.
bool lu_lanes_fixed(std::size_t n);
unsigned lu_factor_lanes_fixed_avx2(double* m, std::size_t n, std::uint32_t* perm);
void lu_solve_lanes_fixed_avx2(const double* lu, const std::uint32_t* perm, std::size_t n, const double* b,
                               double* x);

// Sizes whose factor, solve and bound have a kernel of their own (16, 24
// and 32 neighbours of simple kriging): lu_factor_solve_lanes_fixed_avx2
// gives lu_factor_solve_lanes_avx2's results bit for bit, in fewer
// instructions; other sizes go to the latter.
unsigned lu_factor_solve_lanes_fixed_avx2(double* m, std::size_t n, std::uint32_t* perm, double* b, double* work,
                                          double* bound);

// lu_factor_lanes_avx2, then for the lanes it factored the solve of b (in:
// the right-hand sides as for lu_solve_lanes_avx2, out: the solutions) and
// inverse_norm_inf_bound into bound[l], bit for bit, the forward
// substitutions made with the elimination; `work` holds n * 4 values.
unsigned lu_factor_solve_lanes_avx2(double* m, std::size_t n, std::uint32_t* perm, double* b, double* work,
                                    double* bound);

}  // namespace detail
}  // namespace zaviktools
