// closure_outline: validation, then marching squares and ring selection.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "synth/outline.hpp"
#include "synth/outline_contour.hpp"

namespace zaviktools {

namespace {

bool finite_point(Xy p) { return std::isfinite(p.x) && std::isfinite(p.y); }

Result<Ring> outline(SurfaceColumns surface, const Lattice& lattice, double spill_depth) {
    const std::size_t ncol = lattice.ncol();
    const std::size_t nrow = lattice.nrow();
    if (surface.columns.size() != ncol || surface.nrow != nrow)
        return fail(AlgoError::invalid_argument("closure_outline: surface shape must match the lattice"));
    if (ncol < 2 || nrow < 2) return fail(AlgoError::invalid_argument("closure_outline: need at least a 2x2 lattice"));
    // Every node position is bounded by the four corners, so finite corners
    // keep every crossing point finite.
    if (!finite_point(lattice.node_xy(0, 0)) || !finite_point(lattice.node_xy(ncol - 1, 0)) ||
        !finite_point(lattice.node_xy(0, nrow - 1)) || !finite_point(lattice.node_xy(ncol - 1, nrow - 1)))
        return fail(AlgoError::invalid_argument("closure_outline: lattice geometry must be finite"));
    if (!std::isfinite(spill_depth))
        return fail(AlgoError::invalid_argument("closure_outline: spill_depth must be finite"));

    // ncol · words ≤ ncol · nrow words, and the caller holds ncol · nrow doubles.
    std::vector<std::uint64_t> above(ncol * outline_detail::mask_words(nrow));
    // A column takes about a nanosecond a row: the clock is read every ~4096 nodes.
    StopCheck by_column(static_cast<std::uint32_t>(std::max<std::size_t>(1, 4096 / nrow)));
    const auto stopped = fail(AlgoError::interrupted("closure_outline"));
    auto node = outline_detail::above_level(surface, spill_depth, above, by_column);
    if (by_column.stopped()) return stopped;
    if (node)
        return fail(AlgoError::invalid_argument("closure_outline: surface is infinite at node (" +
                                                std::to_string(node->first) + ", " + std::to_string(node->second) +
                                                "); use NaN for undefined nodes"));
    std::vector<outline_detail::ContourSegment> segments;
    outline_detail::march_segments(surface, lattice, spill_depth, above, segments, by_column);
    if (by_column.stopped()) return stopped;
    StopCheck by_segment(256);  // a segment takes tens of nanoseconds
    Ring ring = outline_detail::largest_closed_ring(segments, by_segment);
    if (by_segment.stopped()) return stopped;
    return ring;
}

}  // namespace

Result<Ring> closure_outline(SurfaceColumns surface, const Lattice& lattice, double spill_depth) {
    try {
        return outline(surface, lattice, spill_depth);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("closure_outline: cannot allocate the contour graph"));
    }
}

Result<Ring> closure_outline(const Field& surface, const Lattice& lattice, double spill_depth) {
    try {
        std::vector<const double*> columns(surface.ncol());
        for (std::size_t i = 0; i < columns.size(); ++i) columns[i] = surface.column(i).data();
        return closure_outline(SurfaceColumns{columns, surface.nrow()}, lattice, spill_depth);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("closure_outline: cannot allocate the contour graph"));
    }
}

}  // namespace zaviktools
