// krige_grid_window: the window's nodes as targets of krige_points, which
// gives a target at a lattice node the bits of the whole-lattice sweep (the
// same neighbour query and system, with either variogram).
#include "geostat/window_kriging.hpp"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "geostat/kriging_targets.hpp"
#include "geostat/point_kriging.hpp"

namespace zaviktools {
namespace {

std::optional<AlgoError> check_range(const char* what, const char* count, std::size_t start, std::size_t stop,
                                     std::size_t n) {
    if (start <= stop && stop <= n) return std::nullopt;
    return AlgoError::invalid_argument(std::string("krige_grid: window ") + what + " " + std::to_string(start) +
                                       ".." + std::to_string(stop) + " must satisfy " + std::to_string(start) +
                                       " <= " + std::to_string(stop) + " <= " + count + " = " + std::to_string(n));
}

}  // namespace

Result<KrigedGrids> krige_grid_window(std::span<const DataPoint> points, const Lattice& lattice,
                                      const LatticeWindow& window, const SpatialVariogram& variogram,
                                      std::size_t max_neighbours, double radius, const KrigeRun& run) {
    constexpr const char* op = "krige_grid";
    if (auto e = check_kriging_inputs(op, "krige_grid: no data", points, max_neighbours, radius)) return fail(*e);
    const LatticeWindow& w = window;
    if (auto e = check_range("columns", "ncol", w.col_start, w.col_stop, lattice.ncol())) return fail(*e);
    if (auto e = check_range("rows", "nrow", w.row_start, w.row_stop, lattice.nrow())) return fail(*e);
    const std::size_t ncol = w.col_stop - w.col_start, nrow = w.row_stop - w.row_start;
    auto estimate = Field::create_unfilled(ncol, nrow);
    if (!estimate) return fail(std::move(estimate).error());
    auto variance = Field::create_unfilled(ncol, nrow);
    if (!variance) return fail(std::move(variance).error());
    Result<KrigedPoints> kriged = fail(AlgoError::interrupted(op));
    try {
        // The targets in field order, so the results copy straight into the grids.
        std::vector<Xy> targets;
        targets.reserve(estimate->size());
        for (std::size_t col = w.col_start; col < w.col_stop; ++col)
            for (std::size_t row = w.row_start; row < w.row_stop; ++row) targets.push_back(lattice.node_xy(col, row));
        kriged = krige_points(points, targets, variogram, max_neighbours, radius, run);
    } catch (const std::bad_alloc&) {
        kriged = fail(AlgoError::out_of_memory(""));
    }
    if (!kriged) {
        // The failures left after the checks above, told under this entry's name.
        if (kriged.error().kind() == AlgoError::Kind::Interrupted) return fail(AlgoError::interrupted(op));
        return fail(AlgoError::out_of_memory(std::string(op) + ": cannot allocate working storage for " +
                                             std::to_string(estimate->size()) + " nodes"));
    }
    std::copy(kriged->estimate.begin(), kriged->estimate.end(), estimate->data());
    std::copy(kriged->variance.begin(), kriged->variance.end(), variance->data());
    return KrigedGrids{std::move(*estimate), std::move(*variance)};
}

}  // namespace zaviktools
