// closure_outline on a core Field whose shape need not match its lattice (the
// Python entry point reads the columns in place and checks the shape first).
#include <array>
#include <cstdint>
#include <vector>

#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "synth/outline.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(closure_outline_field,
            "closure_outline_field(grid, grid_ncol, grid_nrow, xori, yori, xinc, yinc, ncol, nrow, rotation_deg, "
            "yflip, level)",
            "") {
    zkpy::BytesArg grid;
    std::uint64_t gc = 0, gr = 0, nc = 0, nr = 0;
    double xori = 0.0, yori = 0.0, xinc = 0.0, yinc = 0.0, rotation = 0.0, level = 0.0;
    bool yflip = false;
    if (!args.parse(grid, gc, gr, xori, yori, xinc, yinc, nc, nr, rotation, yflip, level)) return nullptr;
    if (grid.size != gc * gr * 8) {
        PyErr_SetString(PyExc_ValueError, "grid bytes do not match its shape");
        return nullptr;
    }
    auto field = zk::Field::from_bytes(gc, gr, grid.data);
    if (!field) return zkpy::to_pyerr(std::move(field).error());
    auto lat = zk::Lattice::create(nc, nr, yflip, xori, yori, xinc, yinc, rotation);
    if (!lat) return zkpy::to_pyerr(std::move(lat).error());
    auto ring = zk::closure_outline(*field, *lat, level);
    if (!ring) return zkpy::to_pyerr(std::move(ring).error());
    std::vector<std::array<double, 2>> out;
    for (const zk::Xy& p : *ring) out.push_back({p.x, p.y});
    return zkpy::to_py(out);
}
