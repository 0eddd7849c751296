// sgs_ensemble: one realisation of sgs per seed, on worker threads.
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/buffer.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "geostat/sgs/ensemble.hpp"
#include "variograms/variogram_args.hpp"
#include "study_args.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(sgs_ensemble, "sgs_ensemble(coords, lattice, variogram, max_neighbours, radius, seeds, threads=None)",
            "One realisation of `sgs` per seed of `seeds` (`coords` a float64 buffer of\n"
            "[x, y, z] rows): `(bytearray, (ncol, nrow))`, the fields one after another,\n"
            "each in `field[col][row]` order and equal bit for bit to `sgs_flat` with its\n"
            "seed. `threads`: exactly that many workers (default: the configured count).\n"
            "Runs with the GIL released; the result is the same bits at every thread count.") {
    zkpy::F64Buffer coords;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::vector<std::uint64_t> seeds;
    std::optional<std::uint64_t> threads;
    if (!args.parse(coords, lattice, variogram, max_neighbours, radius, seeds, threads)) return nullptr;
    const auto rows = zkstudy::data_rows(coords, "coords");
    if (!rows) return nullptr;
    zk::SpatialVariogram spatial;
    if (!zkpy::extract_spatial_variogram(variogram.obj, spatial)) return nullptr;
    const auto run = zkstudy::kriging_run(threads);
    if (!run) return nullptr;
    auto params = zk::SgsParams::create(spatial, max_neighbours, radius, 0);
    if (!params) return zkpy::to_pyerr(std::move(params).error());
    const zk::Lattice lat = *lattice;
    // The realisations, twice (native and the bytearray), and per worker the
    // working storage of one sweep (as sgs_flat: about 64 bytes a node).
    const std::uint64_t nodes = zkpy::sat_mul(lat.ncol(), lat.nrow());
    const std::uint64_t fields = zkpy::sat_mul(zkpy::sat_mul(nodes, seeds.size()), 8);
    const std::uint64_t workers = std::min<std::uint64_t>(run->threads, seeds.empty() ? 1 : seeds.size());
    const std::uint64_t native = zkpy::sat_add(fields, zkpy::sat_mul(zkpy::sat_mul(nodes, 64), workers));
    if (!zkpy::fits_in_memory("sgs_ensemble", {zkpy::sat_add(native, fields), native})) return nullptr;
    auto out = zkpy::without_gil([&] { return zk::sgs_ensemble(*rows, lat, *params, seeds, run->threads); });
    if (!out) return zkpy::to_pyerr(std::move(out).error());
    return zkstudy::tuple_of({zkpy::to_bytearray(*out)}, &lat);
}
