#include "stats/weighted.hpp"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "foundation/interrupt.hpp"
#include "stats/sort.hpp"

namespace zaviktools {

Result<WeightSums> validate_weights(std::span<const double> values, std::span<const double> weights) {
    if (values.empty()) return fail(AlgoError::empty_input("weighted stats: no data"));
    if (values.size() != weights.size())
        return fail(AlgoError::invalid_argument("weighted stats: values and weights differ in length"));
    double largest = 0.0;
    bool valid = true;
    StopCheck stop;  // a weight takes a nanosecond or two: asked between runs of 4096
    if (!run_chunked(stop, weights.size(), 4096, [&](std::size_t i) {
            const double w = weights[i];
            if (!std::isfinite(w) || w < 0.0) return valid = false;
            largest = std::max(largest, w);
            return true;
        })) {
        if (!valid)
            return fail(AlgoError::invalid_argument("weighted stats: weights must be finite and non-negative"));
        return fail(AlgoError::interrupted("weighted stats"));
    }
    if (largest == 0.0) return fail(AlgoError::invalid_argument("weighted stats: weights sum to zero"));
    WeightSums s{-0.0, -0.0, 1.0, 0};
    if (!(largest >= 0x1p-500 && largest < 0x1p500)) {
        int exponent = 0;
        std::frexp(largest, &exponent);
        s.scale = std::ldexp(1.0, std::min(-exponent, 1023));  // 2^1023: the largest power of two there is
    }
    const bool done = run_chunked(stop, weights.size(), 4096, [&](std::size_t i) {
        const double w = weights[i];
        const double ws = w * s.scale;
        s.w = s.w + ws;
        s.w2 = s.w2 + ws * ws;
        if (w > 0.0) ++s.positive;
        return true;
    });
    if (!done) return fail(AlgoError::interrupted("weighted stats"));
    return s;
}

namespace {

// S / W with S accumulated left to right over the scaled weights. Partial
// when `stop` stops it (the caller then reads stop.stopped()).
double mean_of(std::span<const double> values, std::span<const double> weights, const WeightSums& ws,
               StopCheck& stop) {
    double s = -0.0;
    run_chunked(stop, values.size(), 4096, [&](std::size_t i) {
        s = s + values[i] * (weights[i] * ws.scale);
        return true;
    });
    return s / ws.w;
}

// Q / D, or 0 when there are no effective degrees of freedom. D = W - W2/W is
// zero in exact arithmetic whenever fewer than two weights are positive, but
// rounding can leave it a few ulps above zero (and then Q / D is noise, not a
// variance), so that case is decided on the count of positive weights.
double variance_of(std::span<const double> values, std::span<const double> weights, const WeightSums& s,
                   StopCheck& stop) {
    if (s.positive < 2) return 0.0;
    const double d_free = s.w - s.w2 / s.w;
    if (d_free <= 0.0) return 0.0;
    const double m = mean_of(values, weights, s, stop);
    double q = 0.0;
    if (!stop.stopped())
        run_chunked(stop, values.size(), 4096, [&](std::size_t i) {
            const double d = values[i] - m;
            q = q + ((weights[i] * s.scale) * d) * d;
            return true;
        });
    return q / d_free;
}

constexpr const char* kWeightedStats = "weighted stats";

}  // namespace

Result<double> weighted_mean(std::span<const double> values, std::span<const double> weights) {
    auto s = validate_weights(values, weights);
    if (!s) return fail(std::move(s).error());
    StopCheck stop;
    const double m = mean_of(values, weights, *s, stop);
    if (stop.stopped()) return fail(AlgoError::interrupted(kWeightedStats));
    return m;
}

Result<double> weighted_variance(std::span<const double> values, std::span<const double> weights) {
    auto s = validate_weights(values, weights);
    if (!s) return fail(std::move(s).error());
    StopCheck stop;
    const double v = variance_of(values, weights, *s, stop);
    if (stop.stopped()) return fail(AlgoError::interrupted(kWeightedStats));
    return v;
}

Result<double> weighted_std_dev(std::span<const double> values, std::span<const double> weights) {
    auto s = validate_weights(values, weights);
    if (!s) return fail(std::move(s).error());
    StopCheck stop;
    const double v = variance_of(values, weights, *s, stop);
    if (stop.stopped()) return fail(AlgoError::interrupted(kWeightedStats));
    return std::sqrt(v);
}

Result<double> weighted_percentile(std::span<const double> values, std::span<const double> weights, double p) {
    auto s = validate_weights(values, weights);
    if (!s) return fail(std::move(s).error());
    if (!(p >= 0.0 && p <= 100.0))
        return fail(AlgoError::invalid_argument("weighted_percentile: p must be in [0, 100]"));

    // A zero weight carries no mass: such a value gets no plotting position, so
    // it can neither be returned nor pull an interpolation towards itself.
    // Skipping it leaves every other position bit-identical (c + 0 == c).
    std::vector<std::pair<double, double>> pairs;
    pairs.reserve(s->positive);
    for (std::size_t i = 0; i < values.size(); ++i)
        if (weights[i] > 0.0) pairs.emplace_back(values[i], weights[i] * s->scale);
    const bool has_nan = std::any_of(pairs.begin(), pairs.end(), [](const auto& q) { return q.first != q.first; });
    if (!stable_sort_by(std::span<std::pair<double, double>>(pairs),
                        [](const auto& a, const auto& b) { return a.first < b.first; }, !has_nan))
        return fail(AlgoError::interrupted(kWeightedStats));

    // Each value sits at the middle of its own weight interval.
    const std::size_t n = pairs.size();
    std::vector<double> pos(n);
    double c = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
        pos[k] = (pairs[k].second * 0.5 + c) / s->w;
        c = c + pairs[k].second;
    }

    const double q = p / 100.0;
    if (pos[0] >= q) return pairs[0].first;
    if (q >= pos[n - 1]) return pairs[n - 1].first;
    // Positions never decrease, so the first k >= 1 with q <= pos[k] is a lower bound.
    const std::size_t k = static_cast<std::size_t>(std::lower_bound(pos.begin() + 1, pos.end(), q) - pos.begin());
    const std::size_t j = k - 1;
    const double f = pos[k] > pos[j] ? (q - pos[j]) / (pos[k] - pos[j]) : 0.0;
    return (pairs[k].first - pairs[j].first) * f + pairs[j].first;
}

}  // namespace zaviktools
