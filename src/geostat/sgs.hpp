// Sequential Gaussian simulation onto the nodes of a Lattice, reproducible bit
// for bit from a seed.
//
//   conditional:   z -> normal scores (NormalScore), data snapped to their
//                  nearest nodes, the sweep of geostat/sgs/sweep.hpp, every
//                  node transformed back to data space;
//   unconditional: the same sweep without data, rescaled to a mean and
//                  variance (the correlated fields of the synthetic surfaces).
//
//     auto params = zaviktools::SgsParams::create(variogram, 24, 500.0, seed);
//     if (!params) return fail(params.error());
//     auto field = zaviktools::sgs(points, lattice, *params);   // Result<Field>
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/field.hpp"
#include "foundation/interrupt.hpp"
#include "foundation/lattice.hpp"
#include "geostat/nscore.hpp"
#include "geostat/sgs/scratch.hpp"
#include "geostat/sgs/sweep.hpp"
#include "geostat/prep.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

// Validated parameters of a conditional simulation.
struct SgsParams {
    std::size_t max_neighbours = 1;
    double radius = 1.0;
    std::uint64_t seed = 0;
    SpatialVariogram variogram;

    // InvalidArgument "SgsParams: need max_neighbours >= 1 and radius > 0"
    // unless max_neighbours >= 1 and radius is finite and > 0.
    static Result<SgsParams> create(const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
                                    std::uint64_t seed);
};

// One fixed node per lattice node that a point's world_to_intrinsic position
// rounds to (halves away from zero), in the order of each node's first point.
// Of several points on one node the nearest to node_xy (squared distance
// dx*dx + dy*dy, ties to the earlier point) gives the forward score of its z;
// the others are dropped. Points off the lattice, with non-finite
// coordinates, or on a degenerate lattice (zero spacing, non-finite geometry)
// are skipped.
std::vector<FixedNode> snap_fixed(std::span<const DataPoint> points, const Lattice& lattice,
                                  const NormalScore& transform);

// Conditional simulation; the field [col][row] in data space, within the data's
// range, each data node showing its nearest datum's value exactly (the value
// it is conditioned on). The normal-score table is fitted to all the data.
// Errors, in this order:
//   EmptyInput "sgs: no conditioning data"
//   InvalidArgument "sgs: need max_neighbours >= 1 and radius > 0"
//   InvalidArgument "sgs: z values must be finite (row {i})"   first offending row
//   InvalidArgument "sgs: no datum lies on the lattice"        (a lattice with nodes)
//   then those of simulate_scores, then
//   InvalidArgument "sgs: simulated normal score {v:.1} at node ({col}, {row}) is beyond ±8: ...
//                    add a nugget, e.g. 1% of the sill"      the first such node in [col][row] order
// A lattice without nodes gives the empty field.
Result<Field> sgs(std::span<const DataPoint> points, const Lattice& lattice, const SgsParams& params);

// The same simulation before its back transform: the normal-score field and
// the table fitted to the data. sgs() is transform.back(score) at every node,
// bit for bit. Errors those of sgs().
struct SgsScores {
    Field scores;
    NormalScore transform;
};
Result<SgsScores> sgs_scores(std::span<const DataPoint> points, const Lattice& lattice, const SgsParams& params);

// What every sweep of one conditional simulation shares, whatever its seed:
// the normal-score table fitted to the data and the data snapped to nodes.
// Errors those of sgs() before its sweep.
struct SgsConditioning {
    NormalScore transform;
    std::vector<FixedNode> fixed;
};
Result<SgsConditioning> sgs_conditioning(std::span<const DataPoint> points, const Lattice& lattice,
                                         const SgsParams& params);

// The score field of the sweep of `params.seed` over `conditioning`, checked
// as sgs() checks it. `shared` (optional) stops the sweep when another thread
// of the same computation raises it. Errors those of sgs() after its fit.
Result<Field> sgs_sweep(const SgsConditioning& conditioning, const Lattice& lattice, const SgsParams& params,
                        SgsScratch& scratch, SharedStop* shared = nullptr);

// Unconditional simulation with the isotropic `variogram`: every node
// score * sqrt(variance) + mean. Errors, in this order:
//   InvalidArgument "sgs_unconditional: need max_neighbours >= 1 and radius > 0"
//   InvalidArgument "sgs_unconditional: need finite mean and variance >= 0"
//   then those of simulate_scores, then the exploded-score error of sgs
//   ("sgs_unconditional: simulated normal score ...").
// variance = 0 gives the constant field `mean` without drawing.
Result<Field> sgs_unconditional(const Lattice& lattice, const Variogram& variogram, std::size_t max_neighbours,
                                double radius, std::uint64_t seed, double mean, double variance);

}  // namespace zaviktools
