// The `profile` argument of synth_trajectory_profile: a name and its plan
// parameters into a core TrajectoryProfile.
#pragma once

#include <optional>
#include <string>

#include "synth/wells/trajectory.hpp"

namespace zkpy {

struct PlanArgs {
    double kickoff_md = 0.0;
    double build_rate = 3.0;
    double hold_incl = 45.0;
    double azimuth = 0.0;
    std::optional<double> drop_start_md;
    double drop_rate = 3.0;
    double final_incl = 0.0;
};

// A profile name of parse_profile ("vertical" ignores the plan). Returns
// nothing with a ValueError set: parse_profile's message (the bare text,
// no kind prefix), the plan's own validation error, or "build_hold_drop
// needs drop_start_md".
std::optional<zaviktools::TrajectoryProfile> profile_arg(const std::string& name, const PlanArgs& plan);

}  // namespace zkpy
