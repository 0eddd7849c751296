// The omnidirectional experimental variogram of (x, y, z) data, binned by
// horizontal separation.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"

namespace zaviktools {

// Three aligned lists, one entry per populated lag class in increasing bin
// order (empty bins are absent).
struct ExperimentalVariogram {
    std::vector<double> lags;           // mean pair separation of the class
    std::vector<double> semivariances;  // Matheron estimator sum((za - zb)^2) / (2 n)
    std::vector<std::uint64_t> counts;  // pairs in the class, >= 1

    std::size_t size() const { return lags.size(); }
};

// Bins every unordered pair (a < b, visited a-major) by h = sqrt(dx^2 + dy^2)
// into [k*lag, (k+1)*lag), k < n_lags; pairs with h >= n_lags*lag are ignored.
// Checks, in order: at least two points (EmptyInput); finite lag > 0 and
// n_lags >= 1; every x, y and z finite; at most 2^24 lag classes reachable
// within the data extent (the accumulators are dense). O(N^2) time, no pair is
// stored; Interrupted "experimental_variogram" when the installed StopPoll
// asks to stop.
Result<ExperimentalVariogram> experimental_variogram(std::span<const std::array<double, 3>> points,
                                                     std::uint64_t n_lags, double lag);

}  // namespace zaviktools
