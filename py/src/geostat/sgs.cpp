// sgs and sgs_flat: seeded sequential Gaussian simulation onto a Lattice,
// nested-list or flat-bytes result.
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "geostat/sgs.hpp"
#include "variograms/variogram_args.hpp"
#include "frame/grid.hpp"

namespace zk = zaviktools;

namespace {

// Converts the arguments in signature order, then reads the variogram and
// validates the parameters, then simulates with the lock released. Nothing on
// failure, Python error set.
std::optional<zk::Field> sgs_call(zkpy::Args& args, const char* name, bool flat) {
    std::vector<zk::DataPoint> coords;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::uint64_t seed = 0;
    if (!args.parse(coords, lattice, variogram, max_neighbours, radius, seed)) return std::nullopt;
    zk::SpatialVariogram spatial;
    if (!zkpy::extract_spatial_variogram(variogram.obj, spatial)) return std::nullopt;
    auto params = zkpy::value_or_raise(zk::SgsParams::create(spatial, max_neighbours, radius, seed));
    if (!params) return std::nullopt;
    const zk::Lattice lat = *lattice;  // native copies only, once the lock is released
    // The field, the path, the simulated points and their index: about 64 bytes a node.
    if (!zkpy::lattice_fits(name, lat.ncol(), lat.nrow(), 64, 1, flat)) return std::nullopt;
    return zkpy::value_or_raise(zkpy::without_gil([&] { return zk::sgs(coords, lat, *params); }));
}

}  // namespace

ZK_FUNCTION(sgs, "sgs(coords, lattice, variogram, max_neighbours, radius, seed)",
            "Sequential Gaussian simulation of `coords` onto `lattice`, conditioned\n"
            "exactly on the data, seeded (`seed` reproduces the field bit-for-bit). The\n"
            "`variogram` should be fitted on normal-score data (total sill ~1). Returns\n"
            "the `ncol × nrow` simulated field in **data space** as nested lists\n"
            "(`field[col][row]`). Errors on empty input or invalid neighbourhood params.\n"
            "The simulation runs with the GIL released. For the flat crossing see `sgs_flat`.") {
    auto field = sgs_call(args, "sgs", false);
    if (!field) return nullptr;
    return zkpy::rows(*field);
}

ZK_FUNCTION(sgs_flat, "sgs_flat(coords, lattice, variogram, max_neighbours, radius, seed)",
            "Flat crossing of [`sgs`]: returns `(field_bytes, (ncol, nrow))` — the\n"
            "simulated field as one little-endian `f64` `bytes` buffer (`field[col][row]`)\n"
            "instead of a boxed nested list.\n"
            "`np.frombuffer(field_bytes, dtype='<f8').reshape(ncol, nrow)`.") {
    auto field = sgs_call(args, "sgs_flat", true);
    if (!field) return nullptr;
    return zkpy::to_flat(*field);
}
