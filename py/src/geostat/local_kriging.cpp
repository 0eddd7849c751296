// local_kriging_grid and local_kriging_grid_flat: moving-neighbourhood
// ordinary kriging onto a Lattice, nested-list or flat-bytes results.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "frame/settings.hpp"
#include "geostat/local_kriging.hpp"
#include "frame/grid.hpp"

namespace zk = zaviktools;

namespace {

// Converts the arguments, validates the parameters (before any kriging work),
// then kriges with the lock released. Nothing on failure, Python error set.
std::optional<zk::KrigedGrids> krige_call(zkpy::Args& args, const char* name, bool flat) {
    std::vector<zk::DataPoint> coords;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::Instance<zk::Variogram> variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    if (!args.parse(coords, lattice, variogram, max_neighbours, radius)) return std::nullopt;
    auto engine = zkpy::value_or_raise(zk::LocalKriging::create(*variogram, max_neighbours, radius));
    if (!engine) return std::nullopt;
    const zk::Lattice lat = *lattice;  // native copies only, once the lock is released
    const zk::KrigeRun run{.threads = zkpy::configured_threads()};
    // The estimate and variance fields; the workers' scratch is per block.
    if (!zkpy::lattice_fits(name, lat.ncol(), lat.nrow(), 16, 2, flat)) return std::nullopt;
    return zkpy::value_or_raise(zkpy::without_gil([&] { return engine->krige(coords, lat, run); }));
}

}  // namespace

ZK_FUNCTION(local_kriging_grid, "local_kriging_grid(coords, lattice, variogram, max_neighbours, radius)",
            "Moving-neighbourhood ordinary kriging of `coords` onto `lattice` with\n"
            "`variogram`, using up to `max_neighbours` data within `radius` per node.\n"
            "Returns `(estimate, variance)` — two `ncol × nrow` nested-list fields\n"
            "(`field[col][row]`); a node with no data in range is `NaN` in both. The solve\n"
            "runs with the GIL released. For the flat crossing see `local_kriging_grid_flat`.") {
    auto grids = krige_call(args, "local_kriging_grid", false);
    if (!grids) return nullptr;
    zkpy::Ref estimate(zkpy::rows(grids->estimate));
    if (!estimate) return nullptr;
    zkpy::Ref variance(zkpy::rows(grids->variance));
    if (!variance) return nullptr;
    return zkpy::to_py(std::make_tuple(estimate.release(), variance.release()));
}

ZK_FUNCTION(local_kriging_grid_flat, "local_kriging_grid_flat(coords, lattice, variogram, max_neighbours, radius)",
            "Flat crossing of [`local_kriging_grid`]: returns\n"
            "`(estimate_bytes, variance_bytes, (ncol, nrow))` — the two fields as single\n"
            "little-endian `f64` `bytes` buffers (`field[col][row]`) instead of boxed\n"
            "nested lists. `np.frombuffer(estimate_bytes, dtype='<f8').reshape(ncol, nrow)`.") {
    auto grids = krige_call(args, "local_kriging_grid_flat", true);
    if (!grids) return nullptr;
    return zkpy::to_flat_pair(grids->estimate, grids->variance);
}
