// Factor, solve and bound a small system in one pass: the forward
// substitutions ride along the elimination (they need each multiplier once,
// as it is made), so only the back substitutions read the factors again.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace zaviktools {

// lu_factor_in_place(a, n, perm) and, when it succeeds, `bound` =
// inverse_norm_inf_bound(a, n, ...) and x = lu_solve_into(a, perm, n, b, ...)
// on the factors, bit for bit; `b` holds at least n values. False (x and
// bound untouched) when lu_factor_in_place is.
bool lu_factor_solve_bound(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm,
                           std::span<const double> b, std::vector<double>& x, double& bound,
                           std::vector<double>& work);

}  // namespace zaviktools
