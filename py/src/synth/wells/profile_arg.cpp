// Profile names and their plans.
#include "frame/ref.hpp"
#include "pyerr.hpp"
#include "synth/wells/profile_arg.hpp"
#include "synth/wells/profile_name.hpp"

namespace zk = zaviktools;

namespace zkpy {

namespace {

// A ValueError carrying `msg` whole (a profile name may hold a NUL character).
void set_value_error(const std::string& msg) {
    Ref text(PyUnicode_FromStringAndSize(msg.data(), static_cast<Py_ssize_t>(msg.size())));
    if (text) PyErr_SetObject(PyExc_ValueError, text.get());
}

}  // namespace

std::optional<zk::TrajectoryProfile> profile_arg(const std::string& name, const PlanArgs& plan) {
    const auto kind = zk::parse_profile(name);
    if (!kind) {
        set_value_error(kind.error().payload());
        return std::nullopt;
    }
    if (*kind == zk::ProfileKind::Vertical) return zk::TrajectoryProfile{zk::Vertical{}};
    auto bh = zk::BuildHold::create(plan.kickoff_md, plan.build_rate, plan.hold_incl, plan.azimuth);
    if (!bh) {
        to_pyerr(std::move(bh).error());
        return std::nullopt;
    }
    if (*kind == zk::ProfileKind::BuildHold) return zk::TrajectoryProfile{*bh};
    if (!plan.drop_start_md) {
        PyErr_SetString(PyExc_ValueError, "build_hold_drop needs drop_start_md");
        return std::nullopt;
    }
    auto bhd = zk::BuildHoldDrop::create(*bh, *plan.drop_start_md, plan.drop_rate, plan.final_incl);
    if (!bhd) {
        to_pyerr(std::move(bhd).error());
        return std::nullopt;
    }
    return zk::TrajectoryProfile{*bhd};
}

}  // namespace zkpy
