#include "synth/wells/polygon_mask.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "foundation/field.hpp"
#include "foundation/parts.hpp"
#include "synth/wells/polygon_index.hpp"

namespace zaviktools {

Result<std::vector<std::uint8_t>> polygon_mask(std::span<const Xy> polygon, const Lattice& lattice,
                                               std::size_t threads) {
    if (polygon.size() < 3) return fail(AlgoError::invalid_argument("polygon_mask: polygon needs >= 3 vertices"));
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        if (!std::isfinite(polygon[i].x) || !std::isfinite(polygon[i].y))
            return fail(AlgoError::invalid_argument("polygon_mask: vertex " + std::to_string(i) + " is not finite"));
    }
    const std::string shape = std::to_string(lattice.ncol()) + "×" + std::to_string(lattice.nrow());
    const auto nodes = field_node_count(lattice.ncol(), lattice.nrow());
    if (!nodes) return fail(AlgoError::invalid_argument("polygon_mask: " + shape + " nodes exceed the addressable size"));
    try {
        std::vector<std::uint8_t> mask(*nodes, 0);
        double ymin = polygon[0].y, ymax = ymin;
        for (const Xy& v : polygon) {
            ymin = std::min(ymin, v.y);
            ymax = std::max(ymax, v.y);
        }
        if (!(ymin < ymax)) return mask;  // no area: every node outside
        const PolygonIndex index(polygon, ymin, ymax);
        // Runs of consecutive nodes in field order: down one column at a time.
        constexpr std::size_t kPerPart = 16384;
        const std::size_t parts = (*nodes + kPerPart - 1) / kPerPart;
        const std::size_t workers = std::max<std::size_t>(1, std::min(threads, *nodes / (4 * kPerPart)));
        const std::size_t nrow = lattice.nrow();
        const bool done = run_parts(workers, parts, [&] {
            return [&](std::size_t part) {
                const std::size_t end = std::min(*nodes, (part + 1) * kPerPart);
                for (std::size_t t = part * kPerPart; t < end; ++t) {
                    const Xy p = lattice.node_xy(t / nrow, t % nrow);
                    mask[t] = p.y >= ymin && p.y <= ymax && index.inside(p) ? 1 : 0;
                }
            };
        });
        if (!done) return fail(AlgoError::interrupted("polygon_mask"));
        return mask;
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("polygon_mask: cannot allocate " + shape + " nodes"));
    }
}

}  // namespace zaviktools
