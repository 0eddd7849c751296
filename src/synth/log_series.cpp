#include "synth/log_series.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/format.hpp"
#include "sampling/rng.hpp"
#include "synth/correlated.hpp"
#include "synth/series_size.hpp"
#include "synth/transform.hpp"

namespace zaviktools {

namespace {

bool positive_finite(double x) { return std::isfinite(x) && x > 0.0; }

// Coefficient of a zone: 0 unless both lengths make a correlation.
double zone_coefficient(const ZoneSpec& z, double depth_step) {
    if (!(depth_step > 0.0 && positive_finite(z.corr_length_m))) return 0.0;
    return ar_coefficient(depth_step, z.corr_length_m);
}

// Blends v over [m − beds, m + beds) ∩ [0, n) from transform `a` to `b`. Both
// ends are clipped, never wrapped, whatever `beds` is.
bool blend_boundary(std::vector<double>& v, const std::vector<double>& z, std::uint64_t m, std::uint64_t beds,
                    const LogitNormal& a, const LogitNormal& b) {
    const std::uint64_t n = v.size();
    const std::uint64_t lo = m > beds ? m - beds : 0;
    const std::uint64_t hi = beds >= n - m ? n : m + beds;
    if (lo >= hi) return true;
    const std::uint64_t len = hi - lo;
    const double dmu = b.mu - a.mu, dsigma = b.sigma - a.sigma;
    return for_each_sample(len, [&](std::uint64_t j) {
        const double t = std::min(1.0, static_cast<double>(j) / static_cast<double>(len));
        const double mu = t * dmu + a.mu;
        const double sigma = t * dsigma + a.sigma;
        v[lo + j] = logistic(mu + sigma * z[lo + j]);
    });
}

// The first sample of every zone, then the total; a stack thicker than 2^64
// samples is refused, not wrapped.
Result<std::vector<std::uint64_t>> zone_starts(std::span<const ZoneSpec> zones, double depth_step, const char* op) {
    std::vector<std::uint64_t> start(zones.size() + 1, 0);
    for (std::size_t k = 0; k < zones.size(); ++k)
        if (__builtin_add_overflow(start[k], zone_sample_count(zones[k], depth_step), &start[k + 1]))
            return fail(AlgoError::invalid_argument(std::string(op) +
                                                    ": the zone stack's total sample count overflows a 64-bit count"));
    return start;
}

}  // namespace

Result<ZoneSpec> ZoneSpec::create(double thickness_m, double mean, double std, double corr_length_m) {
    if (!positive_finite(thickness_m))
        return fail(AlgoError::invalid_argument("ZoneSpec: thickness_m must be finite and > 0"));
    if (!positive_finite(corr_length_m))
        return fail(AlgoError::invalid_argument("ZoneSpec: corr_length_m must be finite and > 0"));
    auto t = LogitNormal::match_moments(mean, std);
    if (!t) return fail(std::move(t).error());
    return ZoneSpec{thickness_m, mean, std, corr_length_m};
}

std::string zone_spec_repr(const ZoneSpec& z) {
    return "ZoneSpec(thickness_m=" + fmt_num(z.thickness_m) + ", mean=" + fmt_num(z.mean) +
           ", std=" + fmt_num(z.std) + ", corr_length_m=" + fmt_num(z.corr_length_m) + ")";
}

std::uint64_t zone_sample_count(const ZoneSpec& z, double depth_step) {
    return std::max<std::uint64_t>(1, round_to_count(z.thickness_m / depth_step));
}

Result<std::vector<std::uint64_t>> zone_sample_counts(std::span<const ZoneSpec> zones, double depth_step) {
    constexpr const char* op = "zone_sample_counts";
    if (!positive_finite(depth_step))
        return fail(AlgoError::invalid_argument("zone_sample_counts: depth_step must be finite and > 0"));
    // A layout no log could have (a saturated count among them) is refused as
    // the log itself would refuse it, rather than reported as counts.
    auto start = zone_starts(zones, depth_step, op);
    if (!start) return fail(std::move(start).error());
    if (start->back() > kMaxSeriesSamples) return fail(cannot_allocate(op, start->back()));
    std::vector<std::uint64_t> counts;
    counts.reserve(zones.size());
    for (std::size_t k = 0; k < zones.size(); ++k) counts.push_back((*start)[k + 1] - (*start)[k]);
    return counts;
}

Result<std::vector<double>> synth_log_series(std::span<const ZoneSpec> zones, double depth_step,
                                             std::uint64_t transition_beds, std::uint64_t seed) {
    constexpr const char* op = "synth_log_series";
    if (zones.empty()) return fail(AlgoError::empty_input("synth_log_series: empty zone stack"));
    if (!positive_finite(depth_step))
        return fail(AlgoError::invalid_argument("synth_log_series: depth_step must be finite and > 0"));
    auto starts = zone_starts(zones, depth_step, op);
    if (!starts) return fail(std::move(starts).error());
    const std::vector<std::uint64_t>& start = *starts;
    const std::uint64_t n = start.back();
    // The transforms are solved before any draw (a ZoneSpec built by create
    // cannot fail here; one assembled by hand may).
    std::vector<LogitNormal> t;
    std::vector<double> coefficient;
    t.reserve(zones.size());
    coefficient.reserve(zones.size());
    for (const ZoneSpec& z : zones) {
        auto tz = LogitNormal::match_moments(z.mean, z.std);
        if (!tz) return fail(std::move(tz).error());
        t.push_back(*tz);
        coefficient.push_back(zone_coefficient(z, depth_step));
    }
    return with_series_storage<std::vector<double>>(op, n, [&]() -> Result<std::vector<double>> {
        std::vector<double> z(n), v(n);
        Rng rng = seeded_rng(seed);
        // Samples are asked for in increasing order, so a cursor finds the zone.
        std::size_t zone = 0;
        const auto stopped = fail(AlgoError::interrupted(op));
        if (!correlated_gaussian(std::span<double>(z), [&](std::uint64_t i) {
                while (i >= start[zone + 1]) ++zone;
                return coefficient[zone];
            }, rng))
            return stopped;
        for (std::size_t k = 0; k < zones.size(); ++k)
            if (!for_each_sample(start[k + 1] - start[k], [&](std::uint64_t j) {
                    const std::uint64_t i = start[k] + j;
                    v[i] = t[k].apply(z[i]);
                }))
                return stopped;
        if (transition_beds > 0)
            for (std::size_t k = 1; k < zones.size(); ++k)
                if (!blend_boundary(v, z, start[k], transition_beds, t[k - 1], t[k])) return stopped;
        return v;
    });
}

}  // namespace zaviktools
