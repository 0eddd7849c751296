// The ordinary kriging systems of four targets with the same neighbour count
// solved side by side (one per SIMD lane, see linalg/lu_lanes.hpp): each
// lane's estimate and variance are the bits of solve_ordinary_kriging for
// that target alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "geostat/local_kriging.hpp"
#include "linalg/lu_lanes.hpp"

namespace zaviktools {

struct LaneSystems {
    std::vector<double> matrix;  // (m+1)^2 entries per lane, interleaved
    std::vector<double> rhs;
    std::vector<double> solution;
    std::vector<std::uint32_t> perm;
    std::vector<double> distance;  // neighbour distances, interleaved like rhs
    std::vector<double> value;     // neighbour data values, likewise

    // Room for four systems of m neighbours; returns the interleaved matrix
    // whose data blocks (rows of length m + 1) the caller fills.
    double* reserve(std::size_t m);
};

// Completes and solves the four systems whose data blocks are in s.matrix:
// lanes[l] is lane l's neighbour list (m entries, nearest first, the nearest
// at a distance above 0). ok[l] false: lane l's system is singular.
void solve_ordinary_kriging_lanes(const Variogram& variogram, std::span<const DataPoint> data,
                                  const std::vector<Neighbour>* const lanes[kSolveLanes], LaneSystems& s,
                                  bool ok[kSolveLanes], KrigedValue out[kSolveLanes]);

// Four targets solved from factors already made: lane l's list (m entries,
// nearest at a distance above 0) has the ordered neighbours -- hence the
// matrix -- of lane src[l] of the systems last factored in s (which
// succeeded). Each lane's estimate and variance are the bits
// solve_ordinary_kriging gives that target on its own. Overwrites s's
// right-hand sides and solutions, not its factors.
void solve_ordinary_kriging_lanes_from(const Variogram& variogram, std::span<const DataPoint> data,
                                       const std::vector<Neighbour>* const lanes[kSolveLanes],
                                       const std::size_t src[kSolveLanes], LaneSystems& s,
                                       KrigedValue out[kSolveLanes]);

namespace detail {
// The estimates and variances of four solved systems (x, rhs and z
// interleaved, m neighbours each) in the one-system summation order; only
// called where the processor has AVX2.
void ok_results_lanes_avx2(const double* x, const double* rhs, const double* z, std::size_t m, double* estimate,
                           double* variance);
}  // namespace detail

}  // namespace zaviktools
