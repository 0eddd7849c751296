// The two stages behind closure_outline: marching-squares segments of a field
// at one level, and their assembly into rings. Internal to the outline area.
#pragma once

#include <span>
#include <vector>

#include "foundation/field.hpp"
#include "foundation/lattice.hpp"
#include "synth/outline.hpp"

namespace zaviktools::outline_detail {

// One contour segment, in its direction of travel.
struct ContourSegment {
    Xy from;
    Xy to;
};

// Appends the segments of every cell, columns outer and rows inner. A cell
// (corners v = (i, j), u = (i+1, j), e = (i+1, j+1), w = (i, j+1)) with a NaN
// corner gives none; its case is 1·[z_v > L] + 2·[z_u > L] + 4·[z_e > L] +
// 8·[z_w > L]. The field must have the lattice's shape and at least 2 × 2 nodes.
// Can throw std::bad_alloc.
void march_segments(const Field& surface, const Lattice& lattice, double level, std::vector<ContourSegment>& out);

// The closed chain of strictly largest area among the chains the segments
// form, walked from the earliest unused segment through each vertex's
// earliest unused neighbour; empty when none closes. Can throw std::bad_alloc.
Ring largest_closed_ring(std::span<const ContourSegment> segments);

}  // namespace zaviktools::outline_detail
