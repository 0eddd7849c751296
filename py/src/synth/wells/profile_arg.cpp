// Profile names and their plans.
#include "frame/pyerr.hpp"
#include "synth/wells/profile_arg.hpp"
#include "synth/wells/profile_name.hpp"

namespace zk = zaviktools;

namespace zkpy {

std::optional<zk::TrajectoryProfile> profile_arg(const std::string& name, const PlanArgs& plan) {
    const auto kind = name_or_raise(zk::parse_profile(name));
    if (!kind) return std::nullopt;
    if (*kind == zk::ProfileKind::Vertical) return zk::TrajectoryProfile{zk::Vertical{}};
    auto bh = value_or_raise(zk::BuildHold::create(plan.kickoff_md, plan.build_rate, plan.hold_incl, plan.azimuth));
    if (!bh) return std::nullopt;
    if (*kind == zk::ProfileKind::BuildHold) return zk::TrajectoryProfile{*bh};
    if (!plan.drop_start_md) {
        raise_value_error("build_hold_drop needs drop_start_md");
        return std::nullopt;
    }
    auto bhd = value_or_raise(zk::BuildHoldDrop::create(*bh, *plan.drop_start_md, plan.drop_rate, plan.final_incl));
    if (!bhd) return std::nullopt;
    return zk::TrajectoryProfile{*bhd};
}

}  // namespace zkpy
