// The draw recipes of every sampler variant, and sample_n. Each draw consumes
// exactly the stream words its recipe names, in order, so seeds replay bit for
// bit.
#include <cfloat>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include "foundation/interrupt.hpp"
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

// Inverse-CDF draw. Above the mean Φ rounds towards 1 and keeps only the
// absolute precision of 1 (Φ(8) is 1 - 6e-16, Φ(9) is 1), so an interval that
// lies wholly above the mean is drawn through its upper-tail probabilities
// Q(z) = Φ(-z), which keep full relative precision as far out as Φ does below
// the mean. The same uniform u picks the same quantile either way: in the
// tail, p = pa + (pb - pa)·u becomes q = qa - (qa - qb)·u and t = -Φ⁻¹(q).
// Intervals that touch or lie below the mean use Φ itself.
struct TruncatedPlan {
    double a, b;  // Φ of the standardised bounds, or Q of them in the upper tail
    bool upper;

    bool empty() const { return upper ? a <= b : b <= a; }
};

TruncatedPlan plan(const Sampler::TruncatedNormal& s) {
    if (s.lo > s.mean) return {phi((s.mean - s.lo) / s.std_dev), phi((s.mean - s.hi) / s.std_dev), true};
    return {phi((s.lo - s.mean) / s.std_dev), phi((s.hi - s.mean) / s.std_dev), false};
}

double truncated_between(const Sampler::TruncatedNormal& s, const TruncatedPlan& p, Rng& rng) {
    const double u = one_to_two(next_u64(rng)) - 1.0;
    const double t = p.upper ? -phi_inv(p.a - (p.a - p.b) * u) : phi_inv(p.a + (p.b - p.a) * u);
    return clamp_to(s.mean + s.std_dev * t, s.lo, s.hi);
}

// With no representable mass between the bounds: the mean clamped into them,
// drawing nothing.
double truncated_normal(const Sampler::TruncatedNormal& s, Rng& rng) {
    const TruncatedPlan p = plan(s);
    if (p.empty()) return clamp_to(s.mean, s.lo, s.hi);
    return truncated_between(s, p, rng);
}

// n draws appended to `out`; the truncated normal's bound probabilities are the
// same for every draw and are computed once. A draw takes tens of nanoseconds:
// the stop is asked between runs of 4096. Returns false when stopped.
bool append_draws(const Sampler& s, std::size_t n, Rng& rng, std::vector<double>& out) {
    StopCheck stop;
    if (const auto* tn = std::get_if<Sampler::TruncatedNormal>(&s.variant)) {
        const TruncatedPlan p = plan(*tn);
        if (p.empty()) {
            out.insert(out.end(), n, clamp_to(tn->mean, tn->lo, tn->hi));
            return true;
        }
        return run_chunked(stop, n, 4096, [&](std::size_t) {
            out.push_back(truncated_between(*tn, p, rng));
            return true;
        });
    }
    return run_chunked(stop, n, 4096, [&](std::size_t) {
        out.push_back(s.sample(rng));
        return true;
    });
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
                // Draws are strictly positive: where exp underflows, the
                // smallest positive double stands in for the true tiny value.
                const double x = std::exp(s.mean + s.std_dev * standard_normal(rng));
                return x > 0.0 ? x : std::numeric_limits<double>::denorm_min();
            } else if constexpr (std::is_same_v<T, Triangular>) {
                return triangular_at(s.min, s.mode, s.max, unit_f64(rng));
            } else {
                return truncated_normal(s, rng);
            }
        },
        variant);
}

double Clamped::sample(Rng& rng) const { return clamp_to(inner.sample(rng), lo, hi); }

Result<std::vector<double>> sample_n(const Sampler& s, std::size_t n, Rng& rng) {
    const Rng before = rng;  // a stopped call leaves the caller's stream as it found it
    std::vector<double> out;
    out.reserve(n);
    if (!append_draws(s, n, rng, out)) {
        rng = before;
        return fail(AlgoError::interrupted("sample_n"));
    }
    return out;
}

// The clamp draws nothing, so clamping after all inner draws is the same as
// clamping each draw as it is made.
Result<std::vector<double>> sample_n(const Clamped& s, std::size_t n, Rng& rng) {
    auto out = sample_n(s.inner, n, rng);
    if (out)
        for (double& x : *out) x = clamp_to(x, s.lo, s.hi);
    return out;
}

Result<std::vector<double>> sample_n_seeded(const Sampler& s, std::size_t n, std::uint64_t seed) {
    Rng rng = seeded_rng(seed);
    return sample_n(s, n, rng);
}

Result<std::vector<double>> sample_n_seeded(const Clamped& s, std::size_t n, std::uint64_t seed) {
    Rng rng = seeded_rng(seed);
    return sample_n(s, n, rng);
}

}  // namespace zaviktools
