// The two stages behind closure_outline: marching-squares segments of a field
// at one level, and their assembly into rings. Internal to the outline area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "foundation/field.hpp"
#include "foundation/interrupt.hpp"
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
// 8·[z_w > L]. `above` holds, per column, words·64 bits [z(i, j) > L] (see
// above_level). The surface must have the lattice's shape and at least
// 2 × 2 nodes. Can throw std::bad_alloc. Returns early (`stop` then reads
// stopped) when `stop`, asked once per column, says so.
void march_segments(SurfaceColumns surface, const Lattice& lattice, double level, std::span<const std::uint64_t> above,
                    std::vector<ContourSegment>& out, StopCheck& stop);

// Words per column of the above-level bit masks.
inline std::size_t mask_words(std::size_t nrow) { return (nrow + 63) / 64; }

// Fills `above` (ncol · mask_words(nrow) words) with the bits [z(i, j) > L],
// bit j % 64 of word j / 64 of column i. Returns the first infinite node in
// field order, if any (the masks are then incomplete). Returns early, with
// nothing, when `stop` (asked once per column) says so.
std::optional<std::pair<std::size_t, std::size_t>> above_level(SurfaceColumns surface, double level,
                                                                std::span<std::uint64_t> above, StopCheck& stop);

// The closed chain of strictly largest area among the chains the segments
// form, walked from the earliest unused segment through each vertex's
// earliest unused neighbour; empty when none closes. Can throw std::bad_alloc.
// Returns early when `stop` (asked once per segment) says so.
Ring largest_closed_ring(std::span<const ContourSegment> segments, StopCheck& stop);

}  // namespace zaviktools::outline_detail
