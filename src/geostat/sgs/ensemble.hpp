// Many realisations of one conditional simulation, one per seed: the
// normal-score table and the snapped data are prepared once, and the seeds
// are spread over worker threads, each with its own working storage.
// Realisation k is sgs() with seed seeds[k], bit for bit, at every thread
// count: a sweep depends on its seed alone.
//
//     auto fields = zaviktools::sgs_ensemble(points, lattice, *params, seeds, 2);
//     // realisation k, node (col, row): (*fields)[(k * ncol + col) * nrow + row]
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"
#include "geostat/prep.hpp"
#include "geostat/sgs.hpp"

namespace zaviktools {

// The realisations of `seeds` (params.seed is not used), one after another,
// each an ncol × nrow field [col][row] in data space. `threads` workers at
// most (0 counts as 1), never more than the seeds. Errors, in this order:
//   InvalidArgument "sgs_ensemble: {n} realisations of {ncol}×{nrow} nodes exceed any address space"
//   those of sgs() before its sweep, then those of the earliest seed whose
//   sweep fails; Interrupted "sgs" when the installed StopPoll asks to stop.
// No seeds give the empty list.
Result<std::vector<double>> sgs_ensemble(std::span<const DataPoint> points, const Lattice& lattice,
                                         const SgsParams& params, std::span<const std::uint64_t> seeds,
                                         std::size_t threads);

}  // namespace zaviktools
