// Moving-neighbourhood ordinary kriging onto the nodes of a Lattice.
//
// Per node: the nearest data within the radius (Neighbourhood), the
// (m+1)-square ordinary kriging system in semivariogram form
//     A[a][b] = gamma(|x_a - x_b|), A[a][m] = A[m][a] = 1, A[m][m] = 0,
//     b[a] = gamma(d_a), b[m] = 1,
// solved by LU; estimate sum(lambda_a z_a), variance mu + sum(lambda_a b[a])
// (0 unless > 0). Nodes without data in range, or with a singular system,
// stay NaN in both grids.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "geostat/neighbourhood.hpp"
#include "geostat/prep.hpp"
#include "linalg/lu_solve.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

// Reusable buffers of one node's kriging system; they grow to the largest
// system met and are then reused, so the node loop stops allocating.
struct KrigingScratch {
    std::vector<Neighbour> neighbours;
    std::vector<double> matrix;
    std::vector<double> rhs;
    std::vector<std::size_t> perm;
    std::vector<double> solution;
};

struct KrigedValue {
    double estimate;
    double variance;
};

// Ordinary kriging of one node from `scratch.neighbours` (indices into
// `data`, nearest first, with their distances). False when the system is
// singular. A node that coincides with a datum (nearest distance exactly 0)
// takes that datum's value with variance 0, the exact solution of its system.
bool ordinary_kriging_at(const Variogram& variogram, std::span<const DataPoint> data, KrigingScratch& scratch,
                         KrigedValue& out, SolvePath path = SolvePath::Auto);

struct KrigedGrids {
    Field estimate;
    Field variance;
};

// How one krige call runs; the grids are the same bits whatever is chosen.
struct KrigeRun {
    // Most worker threads; 0 takes one per available CPU. Grids of fewer
    // than kNodesPerThread nodes per worker use fewer workers.
    std::size_t threads = 0;
    // Exactly `threads` workers (at least 1), however small the grid.
    bool exact_threads = false;
    SolvePath path = SolvePath::Auto;
};

// Workers for `targets` kriged in `blocks` independent parts under `run`:
// at most one per kNodesPerThread targets unless the count is exact, and
// never more than the parts.
std::size_t kriging_workers(const KrigeRun& run, std::size_t targets, std::size_t blocks);

struct LocalKriging {
    // Nodes per worker below which a grid is shared among fewer workers:
    // starting a thread costs about as much as kriging a few dozen nodes.
    static constexpr std::size_t kNodesPerThread = 4096;

    std::size_t max_neighbours = 1;
    double radius = 1.0;
    Variogram variogram;

    // InvalidArgument "LocalKriging: need max_neighbours >= 1 and radius > 0"
    // unless max_neighbours >= 1 and radius is finite and > 0.
    static Result<LocalKriging> create(const Variogram& variogram, std::size_t max_neighbours, double radius);

    // Estimate and variance grids (ncol x nrow, [col][row]). Errors:
    //   EmptyInput "LocalKriging::krige: no points to grid"
    //   InvalidArgument "LocalKriging::krige: point {i} is not finite (x, y and z must be finite)"
    //   the Field errors for a lattice too large to hold;
    //   Interrupted "LocalKriging::krige" when the installed StopPoll asks to stop.
    // The node blocks are spread over worker threads (KrigeRun{}: the
    // default count); each node's system is independent of the others, so
    // the order of work changes nothing.
    Result<KrigedGrids> krige(std::span<const DataPoint> points, const Lattice& lattice) const;
    Result<KrigedGrids> krige(std::span<const DataPoint> points, const Lattice& lattice, const KrigeRun& run) const;
};

}  // namespace zaviktools
