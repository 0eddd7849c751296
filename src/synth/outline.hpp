// Outlines for maps: the closing contour of a gridded structure and a
// rectangular study-area outline with optionally rounded corners.
//
// A ring is a list of world points whose last point connects back to the
// first; the first point is not repeated at the end.
//
//     auto ring = zaviktools::closure_outline(depth, lattice, spill);
//     if (!ring) return fail(ring.error());
//     if (ring->empty()) { /* the structure does not close at that level */ }
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/field.hpp"
#include "foundation/lattice.hpp"

namespace zaviktools {

using Ring = std::vector<Xy>;

// The largest closed contour ring of `surface` at level `spill_depth`, by
// marching squares over the cells (columns outer, rows inner; a value equal to
// the level counts as not above; saddles resolved by a fixed table), assembly
// of the segments into chains through shared vertices (points whose
// coordinates × 10⁶ round to the same integers), and selection of the closed
// chain of strictly largest shoelace area (the earliest wins ties). Empty when
// nothing closes. A NaN node is a hole: the cells around it give no segment.
//
// Fails with InvalidArgument, in this order:
//   "closure_outline: surface shape must match the lattice"
//   "closure_outline: need at least a 2x2 lattice"
//   "closure_outline: lattice geometry must be finite"     a corner node is not finite
//   "closure_outline: spill_depth must be finite"
//   "closure_outline: surface is infinite at node ({i}, {j}); use NaN for undefined nodes"
// (the first infinite node in field order), since an infinite corner has no
// crossing point on its edges. Stops with Interrupted "closure_outline" when
// the installed StopPoll asks.
Result<Ring> closure_outline(const Field& surface, const Lattice& lattice, double spill_depth);

// A surface read in place, column by column: columns[i] points at the nrow
// values of column i (field(i, 0) … field(i, nrow − 1)).
struct SurfaceColumns {
    std::span<const double* const> columns;
    std::size_t nrow;
};

// The same on a surface read in place; its shape is columns.size() × nrow.
Result<Ring> closure_outline(SurfaceColumns surface, const Lattice& lattice, double spill_depth);

// Most corner steps a rounded study-area outline may ask for: 4·(steps + 1)
// points are produced, and beyond this the ring is larger than any map needs.
inline constexpr std::uint64_t kMaxArcSteps = std::uint64_t{1} << 24;

// The rectangle (xmin, ymin), (xmax, ymin), (xmax, ymax), (xmin, ymax), or,
// when arc_steps > 0 and the radius min(corner_radius, half the shorter side)
// is > 0, four counter-clockwise quarter arcs of arc_steps + 1 points each,
// starting at (xmax − r, ymin). An inverted extent gives the four points as
// given. Fails only for a rounded outline with arc_steps > kMaxArcSteps:
//   InvalidArgument "study_area_outline: arc_steps must be <= 16777216 (got {n})"
// or stops with Interrupted "study_area_outline" when the installed StopPoll asks.
Result<Ring> study_area_outline(double xmin, double ymin, double xmax, double ymax, double corner_radius,
                                std::uint64_t arc_steps);

// The number of points study_area_outline gives for these arguments (4 for the
// rectangle, 4·(arc_steps + 1) for rounded corners, saturating), known before
// anything is computed.
std::uint64_t study_area_point_count(double xmin, double ymin, double xmax, double ymax, double corner_radius,
                                     std::uint64_t arc_steps);

}  // namespace zaviktools
