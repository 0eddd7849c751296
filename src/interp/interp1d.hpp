// Evaluation of a 1-D knot series at query positions.
#pragma once

#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "interp/method.hpp"

namespace zaviktools {

// One value per query, in query order. `x` finite and strictly increasing,
// `y` finite and as long as `x`, at least two knots. A NaN query gives NaN, and
// so does a query outside [x0, xn-1] unless `extrapolate`. Interrupted
// "interp1d" when the installed StopPoll asks to stop.
Result<std::vector<double>> interp1d(std::span<const double> x, std::span<const double> y,
                                     std::span<const double> query, Interp1dMethod method, bool extrapolate);

}  // namespace zaviktools
