#include "synth/wells/profile_name.hpp"

#include <string>

#include "foundation/format.hpp"
#include "foundation/name_table.hpp"

namespace zaviktools {

namespace {

constexpr NameRow<ProfileKind> kProfiles[] = {
    {ProfileKind::Vertical, "vertical", {}},
    {ProfileKind::BuildHold, "build_hold", {"build-hold"}},
    {ProfileKind::BuildHoldDrop, "build_hold_drop", {"build-hold-drop"}},
};

}  // namespace

Result<ProfileKind> parse_profile(std::string_view text) {
    // Profile names are matched as typed, so the table is searched without
    // name_key, and the message quotes the text whole.
    if (const auto* row = find_name<NameRow<ProfileKind>>(kProfiles, text)) return row->value;
    std::string msg = "unknown profile " + fmt_debug(text) + "; use ";
    for (const auto& row : kProfiles) {
        if (&row != kProfiles) msg += " | ";
        msg += "'";
        msg += row.name;
        msg += "'";
    }
    return fail(AlgoError::invalid_argument(std::move(msg)));
}

}  // namespace zaviktools
