// polygon_mask: the lattice nodes inside a polygon, by the inside test of
// well placement.
#include <cstdint>

#include "foundation/lattice.hpp"
#include "frame/budget.hpp"
#include "frame/buffer.hpp"
#include "frame/classes.hpp"
#include "frame/gil.hpp"
#include "frame/result.hpp"
#include "frame/settings.hpp"
#include "study_args.hpp"
#include "synth/wells/polygon_mask.hpp"

namespace zk = zaviktools;

ZK_FUNCTION(polygon_mask, "polygon_mask(ring, lattice)",
            "Which nodes of `lattice` lie inside the polygon `ring` (float64 buffer of\n"
            "[x, y] vertices, implicitly closed), by the even-odd test of\n"
            "`place_wells_in_polygon`: `(bytearray, (ncol, nrow))`, one byte per node in\n"
            "`field[col][row]` order, 1 inside. Runs with the GIL released.") {
    zkpy::F64Buffer ring;
    zkpy::Instance<zk::Lattice> lattice;
    if (!args.parse(ring, lattice)) return nullptr;
    const auto vertices = zkstudy::xy_rows(ring, "ring");
    if (!vertices) return nullptr;
    const zk::Lattice lat = *lattice;
    const std::uint64_t nodes = zkpy::sat_mul(lat.ncol(), lat.nrow());
    if (!zkpy::fits_in_memory("polygon_mask", {zkpy::sat_mul(nodes, 2), nodes})) return nullptr;
    const std::size_t threads = zkpy::configured_threads();
    auto mask = zkpy::without_gil([&] { return zk::polygon_mask(*vertices, lat, threads); });
    if (!mask) return zkpy::to_pyerr(std::move(mask).error());
    return zkstudy::tuple_of({zkpy::to_bytearray(std::span<const std::uint8_t>(*mask))}, &lat);
}
