// Synthetic well paths: a vertical well, or a directional well that kicks off,
// builds angle, holds it and optionally drops it again (an S-well), sampled as
// survey stations every md_step metres of measured depth and integrated by
// minimum curvature; plus the maximum dogleg severity of a station list.
//
// Angles are degrees in every field (radians only inside the computations);
// x is east, y north, azimuth clockwise from north, inclination from vertical.
//
//     auto plan = zaviktools::BuildHold::create(500.0, 3.0, 45.0, 90.0);
//     if (!plan) return fail(plan.error());
//     auto path = zaviktools::synth_trajectory_profile({x0, y0}, *plan, 25.0, 3000.0, 30.0);
#pragma once

#include <cstdint>
#include <span>
#include <variant>
#include <vector>

#include "foundation/error.hpp"
#include "foundation/lattice.hpp"

namespace zaviktools {

// One survey station.
struct Station {
    double md;    // measured depth below KB
    double x;     // world east
    double y;     // world north
    double z;     // elevation, positive up: kb_elevation − tvd
    double tvd;   // true vertical depth below KB
    double incl;  // inclination, degrees
    double azim;  // azimuth, degrees
};

// A build-and-hold plan: vertical to kickoff_md, then building at build_rate
// degrees per 30 m up to hold_incl, held on azimuth.
struct BuildHold {
    double kickoff_md;
    double build_rate;
    double hold_incl;
    double azimuth;  // in [0, 360), never −0.0

    // Checks, in order (InvalidArgument):
    //   "BuildHold: kickoff_md must be finite and >= 0"
    //   "BuildHold: build_rate must be finite in (0, 6] deg/30m"
    //   "BuildHold: hold_incl must be finite in (0, 90)"
    //   "BuildHold: azimuth must be finite"
    static Result<BuildHold> create(double kickoff_md, double build_rate, double hold_incl, double azimuth);

    // kickoff_md + hold_incl / (build_rate / 30).
    double build_end() const;
};

// A BuildHold followed by a drop from drop_start_md at drop_rate toward final_incl.
struct BuildHoldDrop {
    BuildHold build_hold;
    double drop_start_md;
    double drop_rate;
    double final_incl;

    // Checks, in order (InvalidArgument):
    //   "BuildHoldDrop: drop_rate must be finite in (0, 6] deg/30m"
    //   "BuildHoldDrop: final_incl must be finite in [0, hold_incl]"
    //   "BuildHoldDrop: drop_start_md must be finite and at/after the build end"
    //     (build end less a tolerance of 1e-9 m)
    static Result<BuildHoldDrop> create(const BuildHold& build_hold, double drop_start_md, double drop_rate,
                                        double final_incl);

    // drop_start_md + (hold_incl − final_incl) / (drop_rate / 30).
    double drop_end() const;
};

struct Vertical {};

using TrajectoryProfile = std::variant<Vertical, BuildHold, BuildHoldDrop>;

// The planned direction at one measured depth, degrees.
struct Direction {
    double incl;
    double azim;
};

// The planned inclination and azimuth of `profile` at measured depth `md`.
Direction planned_direction(const TrajectoryProfile& profile, double md);

// Largest grid index floor(td / md_step): every index up to it converts to a
// double exactly, so the grid MDs i × md_step never repeat or run backwards.
inline constexpr std::uint64_t kMaxStationIndex = std::uint64_t{1} << 53;

// Stations with only their MDs set (the other fields zero): i × md_step for
// i = 0 .. floor(td / md_step), each a product, then td as a final station when
// the last grid MD misses it by more than 1e-9 -- appended when the grid falls
// short, in place of the last grid MD when rounding put that beyond td, so MD
// never decreases. `td` and `md_step` must be finite and > 0. Fails with
// InvalidArgument "{operation}: td / md_step asks for more stations than can
// be stored" past kMaxStationIndex and "{operation}: cannot allocate {count}
// stations" beyond any address space; OutOfMemory with that text when the
// memory is not there; Interrupted "{operation}" when the
// installed StopPoll asks to stop (so do the generators below).
Result<std::vector<Station>> station_grid(double td, double md_step, const char* operation);

// A vertical well: MD = TVD, constant xy, incl = azim = 0. Checks, in order:
//   "synth_trajectory: wellhead and kb_elevation must be finite"
//   "synth_trajectory: td must be finite and > 0"
//   "synth_trajectory: md_step must be finite and > 0"
Result<std::vector<Station>> synth_trajectory(Xy wellhead, double kb_elevation, double td, double md_step);

// A well following `profile` to MD `td`, stations placed by minimum curvature
// from the planned directions. A Vertical profile is synth_trajectory itself
// (its messages apply); otherwise the same checks with the
// "synth_trajectory_profile: " prefix.
Result<std::vector<Station>> synth_trajectory_profile(Xy wellhead, const TrajectoryProfile& profile,
                                                      double kb_elevation, double td, double md_step);

// The largest dogleg severity (degrees per 30 m) over consecutive station
// pairs with a positive MD step; 0 for fewer than two stations. NaN
// severities never replace the running maximum.
double max_dogleg_severity(std::span<const Station> stations);

}  // namespace zaviktools
