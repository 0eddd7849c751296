// Seeded well-head placement: uniform over a rectangle, or uniform inside a
// polygon by rejection sampling from its bounding box. Each call seeds its own
// stream, so the same inputs and seed give the same points.
//
// Draw order: x then y for every point (or attempt), one 64-bit word each,
// through uniform_between; a rejected attempt still consumes its two words.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"

namespace zaviktools {

// A rectangle of world coordinates.
struct Extent {
    double xmin, ymin, xmax, ymax;
};

// Attempts granted per requested well before placement inside a polygon gives up.
inline constexpr std::uint64_t kAttemptsPerWell = 10000;

// `n` points, x uniform on [xmin, xmax) and y on [ymin, ymax), drawn x0, y0, x1, ...
// Fails with InvalidArgument
//   "place_wells: need a non-degenerate finite extent"   a bound not finite, an
//                                                        empty range or a width
//                                                        that overflows
//   "place_wells: n = {n} wells cannot be stored"        beyond any addressable list
//   "place_wells: cannot allocate {n} wells"             beyond any address space
// OutOfMemory with that text when the memory is not there,
// or stops with Interrupted "place_wells" when the installed StopPoll asks.
Result<std::vector<Xy>> place_wells(const Extent& extent, std::uint64_t n, std::uint64_t seed);

// `n` points inside `polygon` (implicitly closed, even-odd rule) in the order
// they were accepted, drawn uniformly from its bounding box with a budget of
// n × 10000 attempts (saturating). Fails with InvalidArgument
//   "place_wells_in_polygon: polygon needs >= 3 vertices"
//   "place_wells_in_polygon: polygon bounding box is degenerate"   (NaN vertices are
//        ignored; a box not finite, of zero size or whose width overflows)
//   "place_wells_in_polygon: polygon has zero area"   the budget could not place the n
//        wells but with a chance below 2^-40 (see hopeless_polygon), refused before any draw
//   "place_wells_in_polygon: n = {n} wells cannot be stored" / "cannot allocate {n} wells"
//        (the latter beyond any address space; OutOfMemory with that text when the memory is not there)
//   "place_wells_in_polygon: could not place all wells (polygon area too small?)"
// and with Interrupted "place_wells_in_polygon" when the installed StopPoll asks to stop.
Result<std::vector<Xy>> place_wells_in_polygon(std::span<const Xy> polygon, std::uint64_t n, std::uint64_t seed);

// The even-odd crossing test: starting outside, each edge (j, i) whose ends lie
// on either side of the line y = p.y flips the result when
// p.x < xᵢ + (p.y − yᵢ)·(xⱼ − xᵢ)/(yⱼ − yᵢ). Points on an edge may fall either
// way; a vertex with a NaN coordinate never flips it.
bool inside_polygon(std::span<const Xy> polygon, Xy p);

// Whether n wells inside `polygon` (bounding box [x0, x1] × [y0, y1], usable
// ranges) are hopeless: the polygon's even-odd inside set lies within the
// union of the fan triangles (v0, vᵢ, vᵢ₊₁), so the sum of their areas over
// the box's area bounds the acceptance rate f from above; with the budget
// B = n·10000 the chance of n acceptances is at most (e·B·f/n)^n (Chernoff),
// and the polygon is hopeless when that is below 2^-40. Never for n = 0 or
// a polygon with a NaN vertex.
bool hopeless_polygon(std::span<const Xy> polygon, double x0, double x1, double y0, double y1, std::uint64_t n);

}  // namespace zaviktools
