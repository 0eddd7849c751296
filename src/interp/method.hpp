// The five ways of reading a 1-D series between its knots.
#pragma once

#include <string_view>

#include "foundation/error.hpp"

namespace zaviktools {

enum class Interp1dMethod { Nearest, Previous, Next, Linear, Cubic };

// Trimmed, ASCII-lower-cased lookup: "nearest"/"closest"/"nn", "previous"/
// "prev"/"ffill", "next"/"bfill", "linear", "cubic"/"spline"/"natural"/
// "natural_cubic"/"cubic_natural". InvalidArgument "unknown interpolation
// method '{name}'" (the trimmed, lower-cased name) otherwise.
Result<Interp1dMethod> parse_interp1d_method(std::string_view text);

}  // namespace zaviktools
