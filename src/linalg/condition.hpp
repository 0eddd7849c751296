// Condition of a factored symmetric system: the 1-norm of the matrix and an
// estimate of the 1-norm of its inverse from the LU factors, so that a caller
// can tell a system whose solution has lost its digits from a sound one. The
// estimate reads the factors only; the solve itself is untouched.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace zaviktools {

// max over columns of sum |a(r, c)|, for the row-major n x n matrix `a`
// (stride n).
double matrix_norm1(std::span<const double> a, std::size_t n);

// An upper bound on ||A^-1||_inf from the LU factors, in two triangular
// passes: |A^-1| e <= M(U)^-1 M(L)^-1 e for the comparison matrices M (|diagonal|,
// -|off-diagonal|) of the factors, e the vector of ones. Often far above the
// true norm for large n, never below it (up to rounding); +inf or NaN when the
// factors overflow or hold NaN.
double inverse_norm_inf_bound(std::span<const double> lu, std::size_t n, std::vector<double>& work);

// Hager's estimate of ||A^-1||_1 as refined by Higham (the scheme of LAPACK's
// condition estimators): at most five power steps on sign vectors, then the
// alternating test vector; a lower bound, usually exact or within a factor of
// three. `lu` / `perm` are the factors of lu_factor_in_place of a symmetric A
// (A^-T = A^-1, so every step is one solve with A). Buffers grow to n and are
// reused. NaN when the factors hold NaN.
struct ConditionScratch {
    std::vector<double> signs;
    std::vector<double> in;
    std::vector<double> out;
};
double symmetric_inverse_norm1_estimate(std::span<const double> lu, const std::vector<std::size_t>& perm,
                                        std::size_t n, ConditionScratch& s);

}  // namespace zaviktools
