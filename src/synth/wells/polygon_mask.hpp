// The nodes of a lattice that lie inside a polygon, by the even-odd inside
// test of well placement (inside_polygon) at each node's world position.
//
//     auto mask = zaviktools::polygon_mask(ring, lattice, 4);   // Result<std::vector<std::uint8_t>>
//     bool in = (*mask)[col * lattice.nrow() + row];
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"

namespace zaviktools {

// One byte per node in field order (row fastest): 1 inside, 0 outside; a node
// whose position is not finite is outside. The polygon is implicitly closed.
// Errors, in this order:
//   InvalidArgument "polygon_mask: polygon needs >= 3 vertices"
//   InvalidArgument "polygon_mask: vertex {i} is not finite"            the first such vertex
//   InvalidArgument "polygon_mask: {ncol}×{nrow} nodes exceed the addressable size"
//   OutOfMemory "polygon_mask: cannot allocate {ncol}×{nrow} nodes"
//   Interrupted "polygon_mask" when the installed StopPoll asks to stop.
// The nodes are spread over up to `threads` workers; the mask is the same
// at every count.
Result<std::vector<std::uint8_t>> polygon_mask(std::span<const Xy> polygon, const Lattice& lattice,
                                               std::size_t threads);

}  // namespace zaviktools
