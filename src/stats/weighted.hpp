// Weighted statistics over (value, weight) pairs with reliability weights such
// as pay thickness or cell volume: mean, unbiased variance, standard deviation
// and a percentile between weight-midpoint plotting positions.
#pragma once

#include <cstddef>
#include <span>

#include "foundation/error.hpp"

namespace zaviktools {

// What the shared validation step learns about the weights. Weights far from
// 1 (largest outside [2^-500, 2^500)) are first multiplied by `scale`, the
// power of two that brings the largest into [0.5, 1), so that the squared
// weights neither overflow nor sink into subnormals. Every statistic here is
// invariant under a common factor and a power of two changes no bits of it;
// for all other weights `scale` is 1 and nothing is rescaled.
struct WeightSums {
    double w;              // sum of the scaled weights, left to right from -0.0
    double w2;             // sum of the squared scaled weights, likewise
    double scale;          // the power of two applied to every weight
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
