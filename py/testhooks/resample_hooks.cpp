// The core resampling on a grid whose shape need not match its lattice (the
// Python entry points check the shape before the core sees it).
#include <cstdint>

#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "gridding/resample.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(resample_core_shapes, "resample_core_shapes(grid_ncol, grid_nrow, ncol, nrow, xinc)", "") {
    std::uint64_t gc = 0, gr = 0, nc = 0, nr = 0;
    double xinc = 1.0;
    if (!args.parse(gc, gr, nc, nr, xinc)) return nullptr;
    auto grid = zk::Field::create(gc, gr, 1.0);
    if (!grid) return zkpy::to_pyerr(std::move(grid).error());
    auto src = zk::Lattice::create(nc, nr, false, 0.0, 0.0, xinc, 1.0, 0.0);
    if (!src) return zkpy::to_pyerr(std::move(src).error());
    auto out = zk::resample(*grid, *src, *src, zk::ResampleMethod::Bilinear);
    if (!out) return zkpy::to_pyerr(std::move(out).error());
    return zkpy::to_py(std::make_tuple(static_cast<std::uint64_t>(out->ncol()), static_cast<std::uint64_t>(out->nrow())));
}
