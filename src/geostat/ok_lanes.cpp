#include "geostat/ok_lanes.hpp"

#include "variograms/gamma_many.hpp"

namespace zaviktools {

double* LaneSystems::reserve(std::size_t m) {
    const std::size_t n = m + 1;
    matrix.resize(n * n * kSolveLanes);
    rhs.resize(n * kSolveLanes);
    solution.resize(n * kSolveLanes);
    perm.resize(n * kSolveLanes);
    distance.resize(m * kSolveLanes);
    value.resize(m * kSolveLanes);
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
            const Neighbour& nb = (*lanes[l])[i];
            s.distance[i * L + l] = nb.distance;
            s.value[i * L + l] = data[nb.index][2];
        }
    }
    // gamma(0) is 0, the target semivariance at zero separation.
    gamma_many(variogram, s.distance.data(), m * L, rhs);
    for (std::size_t l = 0; l < L; ++l) {
        a[(m * n + m) * L + l] = 0.0;
        rhs[m * L + l] = 1.0;
    }
    const unsigned good = detail::lu_factor_lanes_fixed_avx2(a, n, s.perm.data());
    detail::lu_solve_lanes_fixed_avx2(a, s.perm.data(), n, rhs, s.solution.data());
    alignas(32) double estimate[L], variance[L];
    detail::ok_results_lanes_avx2(s.solution.data(), rhs, s.value.data(), m, estimate, variance);
    for (std::size_t l = 0; l < L; ++l) {
        ok[l] = (good >> l) & 1u;
        if (ok[l]) out[l] = {estimate[l], variance[l]};
    }
}

}  // namespace zaviktools
