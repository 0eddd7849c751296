// Preparation of scattered data before kriging: coincident points merged.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace zaviktools {

// A datum: x, y (location) and z (value), in that order.
using DataPoint = std::array<double, 3>;

// One entry per distinct location, in the order of first occurrence, its value
// the mean of the values found there. Two points coincide when x and y are
// equal bit for bit after adding +0.0 (so -0.0 meets +0.0); no tolerance. The
// entry keeps the x and y of the first point at its location.
std::vector<DataPoint> dedup_coincident(std::span<const DataPoint> points);

// The same, also filling `location_of` (resized to points.size()) with the
// entry of the result that each point was merged into.
std::vector<DataPoint> dedup_coincident(std::span<const DataPoint> points, std::vector<std::size_t>& location_of);

}  // namespace zaviktools
