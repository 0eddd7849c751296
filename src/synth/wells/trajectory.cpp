// The station grid and the two generators: a vertical well, and a directional
// well integrated by minimum curvature from its planned directions.
#include <bit>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "foundation/interrupt.hpp"
#include "foundation/memory.hpp"
#include "synth/wells/trajectory.hpp"

namespace zaviktools {

namespace {

// How far the last grid MD may miss td before td gets a station of its own.
constexpr double kTdTolerance = 1e-9;

// Below this dogleg (radians) the ratio factor is 1: tan(β/2)/(β/2) → 1.
constexpr double kStraightDogleg = 1e-9;

std::unexpected<AlgoError> reject(const char* operation, const std::string& rule) {
    return fail(AlgoError::invalid_argument(std::string(operation) + ": " + rule));
}

// The checks shared by both generators, in their order.
Result<void> check_inputs(const char* operation, Xy wellhead, double kb_elevation, double td, double md_step) {
    if (!(std::isfinite(wellhead.x) && std::isfinite(wellhead.y) && std::isfinite(kb_elevation)))
        return reject(operation, "wellhead and kb_elevation must be finite");
    if (!(std::isfinite(td) && td > 0.0)) return reject(operation, "td must be finite and > 0");
    if (!(std::isfinite(md_step) && md_step > 0.0)) return reject(operation, "md_step must be finite and > 0");
    return {};
}

// floor(q) as a count; beyond the unsigned 64-bit range it saturates.
std::uint64_t saturating_floor(double q) {
    const double f = std::floor(q);
    if (!(f >= 0.0)) return 0;
    if (f >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<std::uint64_t>(f);
}

// sin and cos of one planned direction, in radians.
struct Trig {
    double incl, azim;  // degrees, as planned
    double sin_i, cos_i, sin_a, cos_a, azim_rad;
};

Trig trig_of(Direction d) {
    const double i = d.incl * kDegToRad;
    const double a = d.azim * kDegToRad;
    return {d.incl, d.azim, std::sin(i), std::cos(i), std::sin(a), std::cos(a), a};
}

// Same double, −0.0 told apart from +0.0 (their sines differ in sign).
bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// trig_of(d), reusing the previous station's values where an angle has not
// changed (the hold sections): the same arguments give the same results.
Trig trig_after(const Trig& prev, Direction d) {
    const bool incl_kept = same_bits(d.incl, prev.incl), azim_kept = same_bits(d.azim, prev.azim);
    if (incl_kept && azim_kept) return prev;
    Trig t = prev;
    t.incl = d.incl;
    t.azim = d.azim;
    if (!incl_kept) {
        const double i = d.incl * kDegToRad;
        t.sin_i = std::sin(i);
        t.cos_i = std::cos(i);
    }
    if (!azim_kept) {
        t.azim_rad = d.azim * kDegToRad;
        t.sin_a = std::sin(t.azim_rad);
        t.cos_a = std::cos(t.azim_rad);
    }
    return t;
}

}  // namespace

Result<std::vector<Station>> station_grid(double td, double md_step, const char* operation) {
    const std::uint64_t n = saturating_floor(td / md_step);
    if (n > kMaxStationIndex) return reject(operation, "td / md_step asks for more stations than can be stored");
    const double last = static_cast<double>(n) * md_step;
    const bool append = td - last > kTdTolerance;
    const bool replace = last - td > kTdTolerance;
    const std::uint64_t count = n + 1 + (append ? 1 : 0);
    const std::string cannot = "cannot allocate " + std::to_string(count) + " stations";
    if (!addressable(count, sizeof(Station))) return reject(operation, cannot);
    std::vector<Station> stations;
    try {
        stations.reserve(count);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory(std::string(operation) + ": " + cannot));
    }
    StopCheck stop;  // a station takes nanoseconds: asked between runs of 4096
    const bool done = run_chunked(stop, n + 1, 4096, [&](std::uint64_t i) {
        stations.push_back(Station{static_cast<double>(i) * md_step});
        return true;
    });
    if (!done) return fail(AlgoError::interrupted(operation));
    if (replace) stations.back().md = td;
    if (append) stations.push_back(Station{td});
    return stations;
}

Result<std::vector<Station>> synth_trajectory(Xy wellhead, double kb_elevation, double td, double md_step) {
    constexpr const char* op = "synth_trajectory";
    if (auto ok = check_inputs(op, wellhead, kb_elevation, td, md_step); !ok) return fail(std::move(ok).error());
    auto stations = station_grid(td, md_step, op);
    if (!stations) return stations;
    std::vector<Station>& out = *stations;
    StopCheck stop;
    const bool done = run_chunked(stop, out.size(), 4096, [&](std::size_t k) {
        const double md = out[k].md;
        out[k] = Station{md, wellhead.x, wellhead.y, kb_elevation - md, md, 0.0, 0.0};
        return true;
    });
    if (!done) return fail(AlgoError::interrupted(op));
    return stations;
}

Result<std::vector<Station>> synth_trajectory_profile(Xy wellhead, const TrajectoryProfile& profile,
                                                      double kb_elevation, double td, double md_step) {
    if (std::holds_alternative<Vertical>(profile)) return synth_trajectory(wellhead, kb_elevation, td, md_step);
    constexpr const char* op = "synth_trajectory_profile";
    if (auto ok = check_inputs(op, wellhead, kb_elevation, td, md_step); !ok) return fail(std::move(ok).error());
    auto stations = station_grid(td, md_step, op);
    if (!stations) return stations;

    std::vector<Station>& out = *stations;
    Direction d = planned_direction(profile, out[0].md);
    out[0] = Station{out[0].md, wellhead.x, wellhead.y, kb_elevation, 0.0, d.incl, d.azim};
    Trig t1 = trig_of(d);
    // Running sums from the wellhead, kept apart from it so that every station
    // is wellhead + Σ Δ rather than a chain of rounded positions.
    double east = 0.0, north = 0.0, tvd = 0.0;
    StopCheck stop;  // a station takes tens of nanoseconds: asked between runs of 4096
    const bool done = run_chunked(stop, out.size() - 1, 4096, [&](std::size_t k) {
        const std::size_t j = k + 1;
        const double m = out[j].md;
        d = planned_direction(profile, m);
        const Trig t2 = trig_after(t1, d);
        double cos_beta = std::cos(t2.azim_rad - t1.azim_rad) * t1.sin_i * t2.sin_i + t1.cos_i * t2.cos_i;
        if (cos_beta > 1.0) cos_beta = 1.0;
        if (cos_beta < -1.0) cos_beta = -1.0;
        const double beta = std::acos(cos_beta);
        const double rf = std::fabs(beta) < kStraightDogleg ? 1.0 : std::tan(beta / 2.0) / (beta / 2.0);
        const double h = (m - out[j - 1].md) / 2.0 * rf;
        east += h * (t1.sin_i * t1.sin_a + t2.sin_i * t2.sin_a);
        north += h * (t1.sin_i * t1.cos_a + t2.sin_i * t2.cos_a);
        tvd += h * (t1.cos_i + t2.cos_i);
        out[j] = Station{m, wellhead.x + east, wellhead.y + north, kb_elevation - tvd, tvd, d.incl, d.azim};
        t1 = t2;
        return true;
    });
    if (!done) return fail(AlgoError::interrupted(op));
    return stations;
}

}  // namespace zaviktools
