// Moving-neighbourhood ordinary kriging at scattered targets, and onto a
// lattice with either variogram.
//
//     auto r = zaviktools::krige_points(data, targets, SpatialVariogram{v}, 16, 500.0, KrigeRun{});
//     if (!r) return fail(r.error());
//     double e = r->estimate[0], s2 = r->variance[0];
//
// With an isotropic Variogram a target at a lattice node gets exactly the
// bits of LocalKriging::krige at that node (the same neighbours, the same
// system); with an AnisotropicVariogram the neighbours are the nearest in its
// reduced distance (radius in major-axis units) and the system is built from
// gamma_offset_2d (see kriging_targets.hpp). Coincident data are merged as
// for the lattice (dedup_coincident).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/prep.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

struct KrigedPoints {
    std::vector<double> estimate;
    std::vector<double> variance;
};

// Estimate and variance at each target, NaN in both where no datum lies in
// range, the system is singular or the target is not finite. The targets are
// kriged in groups of nearby ones spread over the worker threads of `run`;
// the result is the same bits whatever the grouping and the thread count.
// Errors, in this order:
//   InvalidArgument "krige_points: need max_neighbours >= 1 and radius > 0"
//   EmptyInput "krige_points: no data"
//   InvalidArgument "krige_points: point {i} is not finite (x, y and z must be finite)"
//   OutOfMemory "krige_points: cannot allocate working storage for {m} targets"
//   Interrupted "krige_points" when the installed StopPoll asks to stop.
Result<KrigedPoints> krige_points(std::span<const DataPoint> points, std::span<const Xy> targets,
                                  const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
                                  const KrigeRun& run);

// Estimate and variance grids (ncol x nrow, [col][row]) of any lattice. An
// isotropic Variogram runs LocalKriging::krige itself; an anisotropic one
// kriges node by node. Errors: those of krige_points under the name
// "krige_grid" (no allocation error), then the Field errors of a lattice too
// large to hold; Interrupted "krige_grid" / "LocalKriging::krige".
Result<KrigedGrids> krige_grid(std::span<const DataPoint> points, const Lattice& lattice,
                               const SpatialVariogram& variogram, std::size_t max_neighbours, double radius,
                               const KrigeRun& run);

}  // namespace zaviktools
