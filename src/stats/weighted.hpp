// Weighted statistics over (value, weight) pairs with reliability weights such
// as pay thickness or cell volume: mean, unbiased variance, standard deviation
// and a percentile between weight-midpoint plotting positions.
#pragma once

#include <cstddef>
#include <span>

#include "foundation/error.hpp"

namespace zaviktools {

// What the shared validation step learns about the weights.
struct WeightSums {
    double w;              // sum of the weights, left to right from -0.0
    double w2;             // sum of the squared weights, likewise
    std::size_t positive;  // number of weights > 0
};

// Checks, in order: values non-empty, equal lengths, every weight finite and
// >= 0 (-0.0 included), weights not all zero.
Result<WeightSums> validate_weights(std::span<const double> values, std::span<const double> weights);

Result<double> weighted_mean(std::span<const double> values, std::span<const double> weights);
Result<double> weighted_variance(std::span<const double> values, std::span<const double> weights);
Result<double> weighted_std_dev(std::span<const double> values, std::span<const double> weights);
// p in percent, [0, 100]; checked after the weights.
Result<double> weighted_percentile(std::span<const double> values, std::span<const double> weights, double p);

}  // namespace zaviktools
