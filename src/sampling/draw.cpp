// The draw recipes of every sampler variant. Each consumes exactly the stream
// words its recipe names, in order, so seeds replay bit for bit.
#include <cfloat>
#include <cmath>
#include <type_traits>

#include "sampling/distributions.hpp"
#include "sampling/normal.hpp"
#include "sampling/phi.hpp"

namespace zaviktools {

namespace {

constexpr double clamp_to(double x, double lo, double hi) {
    if (x < lo) x = lo;
    if (x > hi) x = hi;
    return x;
}

// sqrt(a * b) for a, b >= 0; where the product overflows or underflows the
// square roots are taken first, so huge or tiny triangles keep their shape.
double sqrt_product(double a, double b) {
    const double p = a * b;
    if (std::isfinite(p) && p >= DBL_MIN) return std::sqrt(p);
    return std::sqrt(a) * std::sqrt(b);
}

double triangular_at(double min, double mode, double max, double f) {
    const double range = max - min;
    if (!std::isfinite(range)) return 2.0 * triangular_at(min * 0.5, mode * 0.5, max * 0.5, f);
    const double fr = f * range;
    if (mode - min > fr) return min + sqrt_product(mode - min, fr);
    return max - sqrt_product(max - mode, range - fr);
}

double truncated_normal(const Sampler::TruncatedNormal& s, Rng& rng) {
    const double pa = phi((s.lo - s.mean) / s.std_dev);
    const double pb = phi((s.hi - s.mean) / s.std_dev);
    if (pb <= pa) return clamp_to(s.mean, s.lo, s.hi);
    const double p = pa + (pb - pa) * (one_to_two(next_u64(rng)) - 1.0);
    const double t = phi_inv(p);
    return clamp_to(s.mean + s.std_dev * t, s.lo, s.hi);
}

}  // namespace

double Sampler::sample(Rng& rng) const {
    return std::visit(
        [&rng](const auto& s) -> double {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, Uniform>) {
                return uniform_between(rng, s.lo, s.hi);
            } else if constexpr (std::is_same_v<T, Normal>) {
                return s.mean + s.std_dev * standard_normal(rng);
            } else if constexpr (std::is_same_v<T, LogNormal>) {
                return std::exp(s.mean + s.std_dev * standard_normal(rng));
            } else if constexpr (std::is_same_v<T, Triangular>) {
                return triangular_at(s.min, s.mode, s.max, unit_f64(rng));
            } else {
                return truncated_normal(s, rng);
            }
        },
        variant);
}

double Clamped::sample(Rng& rng) const { return clamp_to(inner.sample(rng), lo, hi); }

}  // namespace zaviktools
