// The sequential Gaussian sweep in normal-score space, and the simple kriging
// of one node that it runs.
//
// Draw sequence of one sweep (the reproducibility contract): a fresh stream
// from `seed`; L - 1 bounded draws shuffling the path of the L nodes not held
// by data (Fisher-Yates from the end); then, node by node along the shuffled
// path, one standard-normal draw taken after the node's kriging, also when it
// has no neighbours. With the Neighbourhood's tie rule and the fixed LU order
// the score field is a pure function of the inputs and the seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "foundation/error.hpp"
#include "foundation/field.hpp"
#include "foundation/interrupt.hpp"
#include "foundation/lattice.hpp"
#include "geostat/sgs/scratch.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

// A datum snapped to lattice node (col, row), with its normal score.
struct FixedNode {
    std::size_t col;
    std::size_t row;
    double score;
};

struct SkEstimate {
    double mean;
    double variance;
    std::size_t used = 0;  // neighbours the weights were solved for
};

// Simple kriging (mean 0, variance 1) from `neighbours`, with correlations
// rho = 1 - gamma / (nugget + sill): (0, 1) without neighbours or for an
// exactly singular system; otherwise mean = sum(lambda_a * value_a) and
// variance = 1 - sum(lambda_a * rho_a), both in neighbour order, the variance
// 0 unless > 0. A system whose estimated 1-norm condition number exceeds 1e10
// is solved for the nearest neighbours only, dropping the farthest (the last
// in neighbour order) one at a time until it is below.
SkEstimate simple_kriging_with(std::span<const SkNeighbour> neighbours, const SpatialVariogram& variogram,
                               SkScratch& scratch);

// The score field of one sweep: fixed nodes first (the first fixed node at a
// node is its conditioning and shown value, later ones there are ignored;
// snap_fixed gives one per node), then every other
// node along the shuffled path, kriged from up to `max_neighbours` data and
// simulated nodes within `radius`. Expects max_neighbours >= 1 and a finite
// radius > 0 (the callers validate). A node whose world position is not
// finite finds no neighbours and is found by none: it is drawn from N(0, 1).
// Errors: the Field errors of an unholdable lattice; OutOfMemory
// "sgs: cannot allocate working storage for {ncol}×{nrow} nodes";
// Interrupted "sgs" when the installed StopPoll asks to stop, or `shared`
// (optional) is raised by another thread of the same computation.
Result<Field> simulate_scores(const Lattice& lattice, const SpatialVariogram& variogram, std::size_t max_neighbours,
                              double radius, std::uint64_t seed, std::span<const FixedNode> fixed,
                              SgsScratch& scratch, SharedStop* shared = nullptr);

namespace detail {
// Which neighbour search a sweep uses; the field is the same with each.
enum class SgsSearch { Auto, IndexOnly, LatticeWherePossible };
Result<Field> simulate_scores_with(const Lattice& lattice, const SpatialVariogram& variogram,
                                   std::size_t max_neighbours, double radius, std::uint64_t seed,
                                   std::span<const FixedNode> fixed, SgsScratch& scratch, SgsSearch search,
                                   SharedStop* shared = nullptr);
}  // namespace detail

}  // namespace zaviktools
