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

// "vertical" (the plan is ignored), "build_hold" / "build-hold" or
// "build_hold_drop" / "build-hold-drop", matched exactly. Returns nothing with
// a ValueError set: the plan's own validation error, "build_hold_drop needs
// drop_start_md", or "unknown profile \"...\"; use 'vertical' | 'build_hold' | 'build_hold_drop'".
std::optional<zaviktools::TrajectoryProfile> profile_arg(const std::string& name, const PlanArgs& plan);

// `text` in double quotes, with backslash escapes for quotes, backslashes and
// control characters: a"b\n -> "a\"b\n".
std::string quoted(const std::string& text);

}  // namespace zkpy
