// Validation of the directional plans and the planned direction along them.
#include <cmath>
#include <string>
#include <type_traits>

#include "foundation/format.hpp"
#include "synth/wells/trajectory.hpp"

namespace zaviktools {

namespace {

// Steepest believable build or drop rate, degrees per 30 m.
constexpr double kMaxRate = 6.0;

// Tolerance on the drop start against the build end, metres.
constexpr double kDropStartTolerance = 1e-9;

bool finite_non_negative(double v) { return std::isfinite(v) && v >= 0.0; }

bool rate_ok(double rate) { return std::isfinite(rate) && rate > 0.0 && rate <= kMaxRate; }

std::unexpected<AlgoError> reject(std::string msg) { return fail(AlgoError::invalid_argument(std::move(msg))); }

// fmod(azimuth, 360) lifted into [0, 360): a tiny negative remainder that
// rounds up to 360 when lifted becomes 0, and so does −0.
double normalise_azimuth(double azimuth) {
    double az = std::fmod(azimuth, 360.0);
    if (az < 0.0) az += 360.0;
    if (az >= 360.0 || az == 0.0) az = 0.0;
    return az;
}

// Inclination and azimuth of the build-and-hold part at `md`.
Direction build_hold_direction(const BuildHold& p, double md) {
    if (md <= p.kickoff_md) return {0.0, 0.0};
    if (md >= p.build_end()) return {p.hold_incl, p.azimuth};
    return {((md - p.kickoff_md) * p.build_rate) / 30.0, p.azimuth};
}

}  // namespace

Result<BuildHold> BuildHold::create(double kickoff_md, double build_rate, double hold_incl, double azimuth) {
    if (!finite_non_negative(kickoff_md)) return reject("BuildHold: kickoff_md must be finite and >= 0");
    if (!rate_ok(build_rate))
        return reject("BuildHold: build_rate must be finite in (0, " + fmt_num(kMaxRate) + "] deg/30m");
    if (!(std::isfinite(hold_incl) && hold_incl > 0.0 && hold_incl < 90.0))
        return reject("BuildHold: hold_incl must be finite in (0, 90)");
    if (!std::isfinite(azimuth)) return reject("BuildHold: azimuth must be finite");
    return BuildHold{kickoff_md, build_rate, hold_incl, normalise_azimuth(azimuth)};
}

double BuildHold::build_end() const { return kickoff_md + hold_incl / (build_rate / 30.0); }

Result<BuildHoldDrop> BuildHoldDrop::create(const BuildHold& build_hold, double drop_start_md, double drop_rate,
                                            double final_incl) {
    if (!rate_ok(drop_rate))
        return reject("BuildHoldDrop: drop_rate must be finite in (0, " + fmt_num(kMaxRate) + "] deg/30m");
    if (!(finite_non_negative(final_incl) && final_incl <= build_hold.hold_incl))
        return reject("BuildHoldDrop: final_incl must be finite in [0, hold_incl]");
    // The build end comes first, then the tolerance: hold / (rate / 30) + kickoff − 1e-9.
    const double earliest =
        build_hold.hold_incl / (build_hold.build_rate / 30.0) + build_hold.kickoff_md - kDropStartTolerance;
    if (!(std::isfinite(drop_start_md) && drop_start_md >= earliest))
        return reject("BuildHoldDrop: drop_start_md must be finite and at/after the build end");
    return BuildHoldDrop{build_hold, drop_start_md, drop_rate, final_incl};
}

double BuildHoldDrop::drop_end() const {
    return drop_start_md + (build_hold.hold_incl - final_incl) / (drop_rate / 30.0);
}

Direction planned_direction(const TrajectoryProfile& profile, double md) {
    return std::visit(
        [md](const auto& p) -> Direction {
            using T = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<T, Vertical>) {
                return {0.0, 0.0};
            } else if constexpr (std::is_same_v<T, BuildHold>) {
                return build_hold_direction(p, md);
            } else {
                if (md > p.drop_start_md) {
                    if (md >= p.drop_end()) return {p.final_incl, p.build_hold.azimuth};
                    return {p.build_hold.hold_incl - ((md - p.drop_start_md) * p.drop_rate) / 30.0,
                            p.build_hold.azimuth};
                }
                return build_hold_direction(p.build_hold, md);
            }
        },
        profile);
}

}  // namespace zaviktools
