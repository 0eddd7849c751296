// krige_grid_window: ordinary kriging onto a window of a lattice, each node
// with the bits of krige_grid over the whole lattice (tiles of one field
// computed apart, on other processes or machines).
#include <cstdint>
#include <optional>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/buffer.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "geostat/window_kriging.hpp"
#include "study_args.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(krige_grid_window,
            "krige_grid_window(coords, lattice, variogram, max_neighbours, radius, col_start, col_stop, "
            "row_start, row_stop, threads=None)",
            "`krige_grid` over the nodes [col_start, col_stop) × [row_start, row_stop) of\n"
            "`lattice`: `(estimate, variance, (ncols, nrows))`, two bytearrays of float64\n"
            "in `field[col][row]` order, window node (0, 0) being lattice node\n"
            "(col_start, row_start). Every node holds exactly the bits of the\n"
            "whole-lattice call. Runs with the GIL released.") {
    zkpy::F64Buffer coords;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::AnyObject variogram;
    std::uint64_t max_neighbours = 0;
    double radius = 0.0;
    std::uint64_t col_start = 0, col_stop = 0, row_start = 0, row_stop = 0;
    std::optional<std::uint64_t> threads;
    if (!args.parse(coords, lattice, variogram, max_neighbours, radius, col_start, col_stop, row_start, row_stop,
                    threads))
        return nullptr;
    const auto call = zkstudy::kriging_call(coords, variogram.obj, threads);
    if (!call) return nullptr;
    const zk::Lattice lat = *lattice;
    const zk::LatticeWindow window{col_start, col_stop, row_start, row_stop};
    // Per node: the two grids, the targets and the kriged values (48 bytes).
    // A window outside the lattice is the core's to refuse, before any budget.
    if (col_start <= col_stop && col_stop <= lat.ncol() && row_start <= row_stop && row_stop <= lat.nrow() &&
        !zkpy::lattice_fits("krige_grid_window", col_stop - col_start, row_stop - row_start, 48, 2, true))
        return nullptr;
    auto grids = zkpy::without_gil([&] {
        return zk::krige_grid_window(call->data, lat, window, call->variogram, max_neighbours, radius, call->run);
    });
    if (!grids) return zkpy::to_pyerr(std::move(grids).error());
    PyObject* shape = Py_BuildValue("(KK)", static_cast<unsigned long long>(grids->estimate.ncol()),
                                    static_cast<unsigned long long>(grids->estimate.nrow()));
    return zkstudy::tuple_of(
        {zkpy::to_bytearray(grids->estimate.values()), zkpy::to_bytearray(grids->variance.values()), shape});
}
