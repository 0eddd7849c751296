#include "geostat/ok_lanes.hpp"

namespace zaviktools {

double* LaneSystems::reserve(std::size_t m) {
    const std::size_t n = m + 1;
    matrix.resize(n * n * kSolveLanes);
    rhs.resize(n * kSolveLanes);
    solution.resize(n * kSolveLanes);
    perm.resize(n * kSolveLanes);
    return matrix.data();
}

void solve_ordinary_kriging_lanes(const Variogram& variogram, std::span<const DataPoint> data,
                                  const std::vector<Neighbour>* const lanes[kSolveLanes], LaneSystems& s,
                                  bool ok[kSolveLanes], KrigedValue out[kSolveLanes]) {
    const std::size_t m = lanes[0]->size();
    const std::size_t n = m + 1;
    double* a = s.matrix.data();
    double* rhs = s.rhs.data();
    constexpr std::size_t L = kSolveLanes;
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t l = 0; l < L; ++l) {
            a[(i * n + m) * L + l] = 1.0;
            a[(m * n + i) * L + l] = 1.0;
            const double d = (*lanes[l])[i].distance;
            rhs[i * L + l] = d == 0.0 ? 0.0 : variogram.gamma(d);
        }
    }
    for (std::size_t l = 0; l < L; ++l) {
        a[(m * n + m) * L + l] = 0.0;
        rhs[m * L + l] = 1.0;
    }
    const unsigned good = detail::lu_factor_lanes_fixed_avx2(a, n, s.perm.data());
    detail::lu_solve_lanes_fixed_avx2(a, s.perm.data(), n, rhs, s.solution.data());
    const double* x = s.solution.data();
    for (std::size_t l = 0; l < L; ++l) {
        ok[l] = (good >> l) & 1u;
        if (!ok[l]) continue;
        const std::vector<Neighbour>& nb = *lanes[l];
        double estimate = 0.0;
        for (std::size_t i = 0; i < m; ++i) estimate = estimate + x[i * L + l] * data[nb[i].index][2];
        double variance = x[m * L + l];
        for (std::size_t i = 0; i < m; ++i) variance = variance + x[i * L + l] * rhs[i * L + l];
        if (!(variance > 0.0)) variance = 0.0;
        out[l] = {estimate, variance};
    }
}

}  // namespace zaviktools
