#include "linalg/factor_solve.hpp"

#include "foundation/cpu.hpp"
#include "linalg/condition.hpp"
#include "linalg/lu_solve.hpp"

namespace zaviktools {

namespace {
constexpr std::size_t kMaxFused = 32;  // the padded kernel's largest order
}

bool lu_factor_solve_bound(std::span<double> a, std::size_t n, std::vector<std::size_t>& perm,
                           std::span<const double> b, std::vector<double>& x, double& bound,
                           std::vector<double>& work) {
    if (n == 0 || n > kMaxFused || a.size() / n < n || b.size() < n || !cpu_has_avx2()) {
        if (!lu_factor_in_place(a, n, perm)) return false;
        bound = inverse_norm_inf_bound(a, n, work);
        lu_solve_into(a, perm, n, b, x);
        return true;
    }
    perm.clear();
    for (std::size_t i = 0; i < n; ++i) perm.push_back(i);
    x.resize(n);
    return detail::lu_factor_solve_small_avx2(a.data(), n, perm.data(), b.data(), x.data(), bound);
}

}  // namespace zaviktools
