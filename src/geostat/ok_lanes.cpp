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

namespace {

constexpr std::size_t L = kSolveLanes;

// The right-hand sides (gamma to each neighbour, then the Lagrange 1) and the
// neighbour values of the four lanes, interleaved; gamma(0) is 0, the target
// semivariance at zero separation.
void load_targets(const Variogram& variogram, std::span<const DataPoint> data,
                  const std::vector<Neighbour>* const lanes[L], LaneSystems& s, std::size_t m) {
    double* distance = s.distance.data();
    double* value = s.value.data();
    const DataPoint* points = data.data();
    for (std::size_t l = 0; l < L; ++l) {
        const Neighbour* nb = lanes[l]->data();
        for (std::size_t i = 0; i < m; ++i) {
            distance[i * L + l] = nb[i].distance;
            value[i * L + l] = points[nb[i].index][2];
        }
    }
    gamma_many(variogram, s.distance.data(), m * L, s.rhs.data());
    for (std::size_t l = 0; l < L; ++l) s.rhs[m * L + l] = 1.0;
}

void results(const LaneSystems& s, std::size_t m, unsigned good, bool ok[L], KrigedValue out[L]) {
    alignas(32) double estimate[L], variance[L];
    detail::ok_results_lanes_avx2(s.solution.data(), s.rhs.data(), s.value.data(), m, estimate, variance);
    for (std::size_t l = 0; l < L; ++l) {
        ok[l] = (good >> l) & 1u;
        if (ok[l]) out[l] = {estimate[l], variance[l]};
    }
}

}  // namespace

void solve_ordinary_kriging_lanes(const Variogram& variogram, std::span<const DataPoint> data,
                                  const std::vector<Neighbour>* const lanes[kSolveLanes], LaneSystems& s,
                                  bool ok[kSolveLanes], KrigedValue out[kSolveLanes]) {
    const std::size_t m = lanes[0]->size();
    const std::size_t n = m + 1;
    double* a = s.matrix.data();
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t l = 0; l < L; ++l) {
            a[(i * n + m) * L + l] = 1.0;
            a[(m * n + i) * L + l] = 1.0;
        }
    }
    for (std::size_t l = 0; l < L; ++l) a[(m * n + m) * L + l] = 0.0;
    load_targets(variogram, data, lanes, s, m);
    const unsigned good = detail::lu_factor_lanes_fixed_avx2(a, n, s.perm.data());
    detail::lu_solve_lanes_fixed_avx2(a, s.perm.data(), n, s.rhs.data(), s.solution.data());
    results(s, m, good, ok, out);
}

void solve_ordinary_kriging_lanes_from(const Variogram& variogram, std::span<const DataPoint> data,
                                       const std::vector<Neighbour>* const lanes[kSolveLanes],
                                       const std::size_t src[kSolveLanes], LaneSystems& s,
                                       KrigedValue out[kSolveLanes]) {
    const std::size_t m = lanes[0]->size();
    load_targets(variogram, data, lanes, s, m);
    detail::lu_solve_lanes_from_avx2(s.matrix.data(), s.perm.data(), m + 1, src, s.rhs.data(), s.solution.data());
    bool ok[L];
    results(s, m, (1u << L) - 1, ok, out);
}

}  // namespace zaviktools
