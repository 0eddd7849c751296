#include "synth/transform.hpp"

#include <cmath>
#include <string>

#include "foundation/format.hpp"
#include "sampling/phi.hpp"

namespace zaviktools {

namespace {

using Nodes = std::array<double, kQuadNodes>;

constexpr int kMaxIterations = 200;

// Σ logistic(mu + sigma·z_k) / 256, summed in node order.
double quad_mean(const Nodes& z, double mu, double sigma) {
    double sum = 0.0;
    for (double zk : z) sum += logistic(mu + sigma * zk);
    return sum / kQuadNodes;
}

// Inner bisection: the mu whose quadrature mean is m, for this sigma.
double solve_mu(const Nodes& z, double m, double sigma) {
    double lo = -40.0, hi = 40.0;
    for (int it = 0; it < kMaxIterations; ++it) {
        const double mu = (lo + hi) / 2.0;
        const double mean_q = quad_mean(z, mu, sigma);
        if (std::fabs(mean_q - m) <= 1e-12) return mu;
        if (m > mean_q)
            lo = mu;
        else
            hi = mu;
    }
    return (lo + hi) / 2.0;
}

// Quadrature variance max(Σy² / 256 − mean², 0) of the transform.
double quad_variance(const Nodes& z, double mu, double sigma) {
    double sum = 0.0, sum2 = 0.0;
    for (double zk : z) {
        const double y = logistic(mu + sigma * zk);
        sum += y;
        sum2 += y * y;
    }
    const double mean_q = sum / kQuadNodes;
    const double var_q = sum2 / kQuadNodes - mean_q * mean_q;
    return var_q > 0.0 ? var_q : 0.0;
}

}  // namespace

std::array<double, kQuadNodes> quad_nodes() {
    Nodes z{};
    for (int k = 0; k < kQuadNodes; ++k) z[k] = phi_inv((k + 0.5) / kQuadNodes);
    return z;
}

Result<LogitNormal> LogitNormal::match_moments(double m, double s) {
    if (!(std::isfinite(m) && m > 0.0 && m < 1.0 && std::isfinite(s) && s > 0.0))
        return fail(AlgoError::invalid_argument("synth transform: need 0 < mean < 1 and std > 0"));
    const double v = (1.0 - m) * m;
    const double s2 = s * s;
    if (v <= s2)
        return fail(AlgoError::invalid_argument(
            "synth transform: std " + fmt_num(s) + " too large for mean " + fmt_num(m) +
            " \u2014 a [0,1] variable with this mean cannot exceed the Bernoulli variance " + fmt_fixed(v, 5) +
            " (std < " + fmt_fixed(std::sqrt(v), 5) + ")"));
    const Nodes z = quad_nodes();
    double lo = 1e-6, hi = 60.0;
    LogitNormal t{0.0, 0.0};
    for (int it = 0; it < kMaxIterations; ++it) {
        t.sigma = (lo + hi) / 2.0;
        t.mu = solve_mu(z, m, t.sigma);
        const double var_q = quad_variance(z, t.mu, t.sigma);
        if (std::fabs(var_q - s2) <= 1e-10) break;
        if (s2 > var_q)
            lo = t.sigma;
        else
            hi = t.sigma;
    }
    return t;
}

Result<MomentSpec> MomentSpec::create(double mean, double std) {
    auto t = LogitNormal::match_moments(mean, std);
    if (!t) return fail(std::move(t).error());
    return MomentSpec{mean, std};
}

}  // namespace zaviktools
