// Reference statistics: running mean, single-pass unbiased variance, type-7
// percentile. Other statistics in the toolkit reuse these exact formulas.
#pragma once

#include <span>

#include "foundation/error.hpp"

namespace zaviktools {

Result<double> mean(std::span<const double> data);
Result<double> variance(std::span<const double> data);
Result<double> std_dev(std::span<const double> data);
Result<double> percentile(std::span<const double> data, double p);
Result<double> median(std::span<const double> data);

// Type-7 interpolation on an already sorted, non-empty list; p in [0, 100].
double percentile_sorted(std::span<const double> sorted, double p);

}  // namespace zaviktools
