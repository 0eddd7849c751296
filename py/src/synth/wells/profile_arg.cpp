// Profile names and their plans.
#include <cstdio>

#include "frame/ref.hpp"
#include "frame/pyerr.hpp"
#include "synth/wells/profile_arg.hpp"

namespace zk = zaviktools;

namespace zkpy {

namespace {

std::string unicode_escape(unsigned code) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\u{%x}", code);
    return buf;
}

}  // namespace

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (std::size_t k = 0; k < text.size(); ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        switch (c) {
            case '"': out += "\\\""; continue;
            case '\\': out += "\\\\"; continue;
            case '\n': out += "\\n"; continue;
            case '\r': out += "\\r"; continue;
            case '\t': out += "\\t"; continue;
            case '\0': out += "\\0"; continue;
            default: break;
        }
        if (c < 0x20 || c == 0x7f) {
            out += unicode_escape(c);
        } else if (c == 0xc2 && k + 1 < text.size() && static_cast<unsigned char>(text[k + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[k + 1]) <= 0x9f) {
            // U+0080 .. U+009F, the C1 controls, encoded as two bytes.
            out += unicode_escape(static_cast<unsigned char>(text[++k]));
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::optional<zk::TrajectoryProfile> profile_arg(const std::string& name, const PlanArgs& plan) {
    if (name == "vertical") return zk::TrajectoryProfile{zk::Vertical{}};
    const bool hold = name == "build_hold" || name == "build-hold";
    const bool drop = name == "build_hold_drop" || name == "build-hold-drop";
    if (!hold && !drop) {
        raise_value_error("unknown profile " + quoted(name) + "; use 'vertical' | 'build_hold' | 'build_hold_drop'");
        return std::nullopt;
    }
    auto bh = value_or_raise(zk::BuildHold::create(plan.kickoff_md, plan.build_rate, plan.hold_incl, plan.azimuth));
    if (!bh) return std::nullopt;
    if (hold) return zk::TrajectoryProfile{*bh};
    if (!plan.drop_start_md) {
        raise_value_error("build_hold_drop needs drop_start_md");
        return std::nullopt;
    }
    auto bhd = value_or_raise(zk::BuildHoldDrop::create(*bh, *plan.drop_start_md, plan.drop_rate, plan.final_incl));
    if (!bhd) return std::nullopt;
    return zk::TrajectoryProfile{*bhd};
}

}  // namespace zkpy
