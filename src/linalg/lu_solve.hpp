// Dense LU factorisation with partial pivoting and its solve, on caller-owned
// buffers. The floating-point operations and their order are fixed (Doolittle,
// row pivoting, no scaling), so a kriging or simulation result is reproducible
// bit for bit wherever the solver is used.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace zaviktools {

// Factors the row-major n x n matrix held in the first n*n values of `a` in
// place: P*A = L*U, L unit lower (strict lower triangle), U upper with the
// diagonal. `perm` is cleared and refilled: perm[i] is the original row now at
// position i. Returns false when a pivot column is exactly zero (singular);
// there is no tolerance. Also false when `a` holds fewer than n*n values.
// n = 0 is the empty system and factors trivially.
bool lu_factor_in_place(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm);

// The kernel behind the row updates a(r,c) = a(r,c) - a(j,c)*f (and behind
// the kriging matrix build): one lane at a time, or four lanes with a
// separate multiply and subtract, never fused. Every path gives the same bits;
// Auto takes the four-lane kernel where the processor has AVX2, and Vector
// falls back to Scalar where it has not.
enum class SolvePath { Auto, Scalar, Vector };

// Resolves Auto: true for the four-lane kernel (Vector runs it exactly where
// cpu_has_avx2()).
bool use_vector_path(SolvePath path);

// lu_factor_in_place on the chosen path (the three-argument form is Auto).
bool lu_factor_in_place(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm, SolvePath path);

namespace detail {
// The elimination of lu_factor_in_place over a valid n x n matrix `m` with
// perm = 0..n-1; four lanes, only called where the processor has AVX2.
bool lu_eliminate_avx2(double* m, std::size_t n, std::size_t* perm);
// The same for any n, with rows padded to whole vectors up to n = 32 (the
// general kernel above that).
bool lu_eliminate_small_avx2(double* m, std::size_t n, std::size_t* perm);
// lu_eliminate_small_avx2 with the solve of b into x (n values) and the
// inverse bound (see factor_solve.hpp) in the same pass, for 1 <= n <= 32.
bool lu_factor_solve_small_avx2(double* m, std::size_t n, std::size_t* perm, const double* b, double* x,
                                double& bound);
}  // namespace detail

// Fills `x` (cleared, resized to n) with the solution of A*x = b for the
// matrix A that `lu` / `perm` came from. `b` holds at least n values and is
// read through `perm`.
void lu_solve_into(std::span<const double> lu, const std::vector<std::size_t>& perm, std::size_t n,
                   std::span<const double> b, std::vector<double>& x);

}  // namespace zaviktools
