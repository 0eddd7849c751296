// Kriging onto a window of a lattice: the nodes [col_start, col_stop) ×
// [row_start, row_stop) of the whole lattice, each placed by the whole
// lattice's own node_xy. A tile computed this way holds exactly the bits that
// krige_grid gives those nodes in one call over the whole lattice; a
// sub-lattice with a shifted origin could place its nodes differently in the
// last bit, the window never does.
//
//     auto w = zaviktools::krige_grid_window(data, lat, {0, 500, 250, 500}, v, 16, 500.0, KrigeRun{});
//     if (!w) return fail(w.error());
//     double e = w->estimate(3, 7);   // node (3, 257) of `lat`
#pragma once

#include <cstddef>
#include <span>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"
#include "geostat/local_kriging.hpp"
#include "geostat/prep.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

// Half-open index ranges of columns and rows of a lattice.
struct LatticeWindow {
    std::size_t col_start = 0;
    std::size_t col_stop = 0;
    std::size_t row_start = 0;
    std::size_t row_stop = 0;
};

// Estimate and variance grids of the window, (col_stop - col_start) ×
// (row_stop - row_start), [col][row] with (0, 0) at node (col_start,
// row_start); an empty range gives empty grids. Errors, in this order:
//   those of krige_grid's input checks ("krige_grid: ...");
//   InvalidArgument "krige_grid: window columns {a}..{b} must satisfy {a} <= {b} <= ncol = {n}"
//   InvalidArgument "krige_grid: window rows {a}..{b} must satisfy {a} <= {b} <= nrow = {n}"
//   the Field errors of a window too large to hold;
//   OutOfMemory "krige_grid: cannot allocate working storage for {m} nodes";
//   Interrupted "krige_grid" when the installed StopPoll asks to stop.
Result<KrigedGrids> krige_grid_window(std::span<const DataPoint> points, const Lattice& lattice,
                                      const LatticeWindow& window, const SpatialVariogram& variogram,
                                      std::size_t max_neighbours, double radius, const KrigeRun& run);

}  // namespace zaviktools
