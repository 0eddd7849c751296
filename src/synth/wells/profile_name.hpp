// The names of the trajectory profiles, as synth_trajectory_profile takes them.
#pragma once

#include <string_view>

#include "foundation/error.hpp"

namespace zaviktools {

// Which TrajectoryProfile alternative a name asks for.
enum class ProfileKind { Vertical, BuildHold, BuildHoldDrop };

// "vertical", "build_hold" / "build-hold", "build_hold_drop" /
// "build-hold-drop", matched exactly (case-sensitive, blanks significant).
// InvalidArgument whose payload is the whole user-facing text
//     unknown profile "{text}"; use 'vertical' | 'build_hold' | 'build_hold_drop'
// with the text in debug quoting (fmt_debug).
Result<ProfileKind> parse_profile(std::string_view text);

}  // namespace zaviktools
