// krige_points and krige_grid: ordinary kriging at scattered targets or onto
// a lattice, with a Variogram or an AnisotropicVariogram; flat buffers in,
// bytearrays out.
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/buffer.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "geostat/point_kriging.hpp"
#include "study_args.hpp"

namespace zk = zaviktools;

namespace {

// Bytes of the copied data and their index, per datum.
constexpr std::uint64_t kPerDatum = 96;

}  // namespace

ZK_FUNCTION(krige_points, "krige_points(coords, targets, variogram, max_neighbours, radius, threads=None)",
            "Moving-neighbourhood ordinary kriging of `coords` (float64 buffer of\n"
            "[x, y, z] rows) at `targets` (float64 buffer of [x, y] rows), with a\n"
            "`Variogram` or an `AnisotropicVariogram`: `(estimate, variance)` as two\n"
            "bytearrays of float64, NaN where no datum lies within `radius`. `threads`:\n"
            "exactly that many workers (default: the configured count). Runs with the GIL\n"
            "released; the result is the same bits at every thread count.") {
    zkpy::F64Buffer coords, targets;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::optional<std::uint64_t> threads;
    if (!args.parse(coords, targets, variogram, max_neighbours, radius, threads)) return nullptr;
    const auto call = zkstudy::kriging_call(coords, variogram.obj, threads);
    if (!call) return nullptr;
    const auto points = zkstudy::xy_rows(targets, "targets");
    if (!points) return nullptr;
    // Per target: two results, their bytearrays and the bucket lists.
    const std::uint64_t native =
        zkpy::sat_add(zkpy::sat_mul(points->size(), 40), zkpy::sat_mul(call->data.size(), kPerDatum));
    if (!zkpy::fits_in_memory("krige_points", {zkpy::sat_add(native, zkpy::sat_mul(points->size(), 16)), native}))
        return nullptr;
    auto out = zkpy::without_gil(
        [&] { return zk::krige_points(call->data, *points, call->variogram, max_neighbours, radius, call->run); });
    if (!out) return zkpy::to_pyerr(std::move(out).error());
    return zkstudy::tuple_of({zkpy::to_bytearray(out->estimate), zkpy::to_bytearray(out->variance)});
}

ZK_FUNCTION(krige_grid, "krige_grid(coords, lattice, variogram, max_neighbours, radius, threads=None)",
            "Moving-neighbourhood ordinary kriging of `coords` (float64 buffer of\n"
            "[x, y, z] rows) onto `lattice`, with a `Variogram` (exactly\n"
            "`local_kriging_grid`) or an `AnisotropicVariogram`: `(estimate, variance,\n"
            "(ncol, nrow))`, two bytearrays of float64 in `field[col][row]` order. Runs\n"
            "with the GIL released; the result is the same bits at every thread count.") {
    zkpy::F64Buffer coords;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::optional<std::uint64_t> threads;
    if (!args.parse(coords, lattice, variogram, max_neighbours, radius, threads)) return nullptr;
    const auto call = zkstudy::kriging_call(coords, variogram.obj, threads);
    if (!call) return nullptr;
    const zk::Lattice lat = *lattice;
    if (!zkpy::lattice_fits("krige_grid", lat.ncol(), lat.nrow(), 16, 2, true)) return nullptr;
    auto grids = zkpy::without_gil(
        [&] { return zk::krige_grid(call->data, lat, call->variogram, max_neighbours, radius, call->run); });
    if (!grids) return zkpy::to_pyerr(std::move(grids).error());
    return zkstudy::tuple_of(
        {zkpy::to_bytearray(grids->estimate.values()), zkpy::to_bytearray(grids->variance.values())}, &lat);
}
