// Marginal transforms of the synthetic generators: the overflow-safe logistic,
// the logit-normal LogitNormal with its moment matching, and MomentSpec, a
// validated {mean, std} target of a [0, 1] property.
#pragma once

#include <array>
#include <cmath>

#include "foundation/error.hpp"

namespace zaviktools {

// 1 / (1 + e^−x) for x ≥ 0, e^x / (1 + e^x) below: neither form overflows.
inline double logistic(double x) {
    if (x >= 0.0) return 1.0 / (1.0 + std::exp(-x));
    const double e = std::exp(x);
    return e / (1.0 + e);
}

// Midpoint-rule standard-normal quantiles Φ⁻¹((k + 0.5) / 256), k = 0 … 255.
inline constexpr int kQuadNodes = 256;
std::array<double, kQuadNodes> quad_nodes();

struct LogitNormal {
    double mu;
    double sigma;

    double apply(double z) const { return logistic(mu + sigma * z); }

    // (mu, sigma) whose transform of the 256 quadrature nodes has mean m and
    // variance s²: an outer bisection on sigma in [1e-6, 60] around an inner one
    // on mu in [−40, 40], 200 iterations each at most. Running out of
    // iterations is not an error (the last midpoint is kept).
    // Fails with InvalidArgument "synth transform: need 0 < mean < 1 and std > 0",
    // or the Bernoulli-bound message when s² ≥ m(1 − m).
    static Result<LogitNormal> match_moments(double m, double s);
};

// A [0, 1] moment target that match_moments accepts; the solve is not kept.
struct MomentSpec {
    double mean;
    double std;

    // The error is exactly match_moments'.
    static Result<MomentSpec> create(double mean, double std);
};

}  // namespace zaviktools
