// Validation shared by every reading of a knot series.
#pragma once

#include <span>

#include "foundation/error.hpp"

namespace zaviktools {

// Checks, in order: equal lengths, at least two knots, finite x, finite y,
// strictly increasing x.
Result<void> validate_knots(std::span<const double> x, std::span<const double> y);

}  // namespace zaviktools
