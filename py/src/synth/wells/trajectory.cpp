// synth_trajectory, synth_trajectory_profile, max_dogleg_severity.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "frame/budget.hpp"
#include "frame/entry.hpp"
#include "frame/interrupt.hpp"
#include "frame/result.hpp"
#include "synth/wells/profile_arg.hpp"
#include "synth/wells/trajectory.hpp"

namespace zk = zaviktools;

namespace {

// The columnar dict: "md", "x", "y", "z", "tvd", "incl", "azim", each a list
// of floats in station order.
// The stations td / md_step asks for (saturating; 0 for arguments the core
// refuses): the stations, one column at a time, then seven lists.
bool stations_fit(const char* what, double td, double md_step) {
    const double q = td / md_step;
    std::uint64_t n = 0;
    if (q >= 1.8e19)
        n = UINT64_MAX;
    else if (q >= 0.0)
        n = zkpy::sat_add(static_cast<std::uint64_t>(q), 2);
    const std::uint64_t native = zkpy::sat_mul(n, sizeof(zk::Station) + sizeof(double));
    return zkpy::fits_in_memory(what, {zkpy::sat_add(native, zkpy::sat_mul(7, zkpy::float_list(n))), native});
}

PyObject* traj_to_dict(const zk::Result<std::vector<zk::Station>>& r) {
    if (!r) return zkpy::to_pyerr(r.error());
    const std::vector<zk::Station>& s = *r;
    std::vector<double> column(s.size());
    zkpy::DictBuilder dict;
    const auto set = [&](const char* key, double zk::Station::*field) {
        if (dict.failed()) return;  // stopped (Ctrl-C) or out of memory: the columns left are not copied
        for (std::size_t k = 0; k < s.size(); ++k) column[k] = s[k].*field;
        dict.set(key, column);
    };
    set("md", &zk::Station::md);
    set("x", &zk::Station::x);
    set("y", &zk::Station::y);
    set("z", &zk::Station::z);
    set("tvd", &zk::Station::tvd);
    set("incl", &zk::Station::incl);
    set("azim", &zk::Station::azim);
    return dict.build();
}

}  // namespace

ZK_FUNCTION(synth_trajectory, "synth_trajectory(wellhead_xy, kb_elevation, td, md_step, seed)",
            "A vertical well trajectory from `wellhead_xy` (`[x, y]`), KB elevation\n"
            "`kb_elevation` (subsea +up), to TD `td` (TVD below KB), station spacing\n"
            "`md_step` m (final station lands on `td`). Returns a **columnar** dict of equal-\n"
            "length lists: `md`, `x`, `y`, `z` (elevation), `tvd`, `incl`, `azim` (vertical:\n"
            "`MD==TVD`, constant `xy`, `incl=azim=0`). `seed` is reserved for the deviated\n"
            "case. Seeded/reproducible.") {
    std::array<double, 2> wellhead{};
    double kb_elevation = 0.0, td = 0.0, md_step = 0.0;
    std::uint64_t seed = 0;
    if (!args.parse(wellhead, kb_elevation, td, md_step, seed)) return nullptr;
    if (!stations_fit("synth_trajectory", td, md_step)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the stations are built with the lock held
    return traj_to_dict(zk::synth_trajectory({wellhead[0], wellhead[1]}, kb_elevation, td, md_step));
}

ZK_FUNCTION(synth_trajectory_profile,
            "synth_trajectory_profile(wellhead_xy, kb_elevation, td, md_step, seed, profile, kickoff_md=0.0, "
            "build_rate_deg_per_30m=3.0, hold_incl_deg=45.0, azimuth_deg=0.0, drop_start_md=None, "
            "drop_rate_deg_per_30m=3.0, final_incl_deg=0.0)",
            "A **directional** well trajectory following `profile` from `wellhead_xy`\n"
            "(`[x, y]`, world), KB elevation `kb_elevation` (subsea +up), to TD `td`\n"
            "(**MD** below KB), station spacing `md_step` m (final station lands on `td`).\n"
            "\n"
            "`profile` is `\"vertical\"` | `\"build_hold\"` | `\"build_hold_drop\"`:\n"
            "- `build_hold` — kick off at `kickoff_md`, build to `hold_incl_deg` at\n"
            "  `build_rate_deg_per_30m` (believable ~1–4 °/30 m), hold on `azimuth_deg`.\n"
            "- `build_hold_drop` — as above, then from `drop_start_md` drop back toward\n"
            "  `final_incl_deg` at `drop_rate_deg_per_30m` (an S-well).\n"
            "\n"
            "Stations are placed by the minimum-curvature relation (this is trajectory\n"
            "*synthesis*, not survey interpretation). Use `md_step` ≈ 15–30 m for a deviated\n"
            "bore so it crosses many areal columns. Returns the same **columnar** dict as\n"
            "`synth_trajectory` (`md`/`x`/`y`/`z`/`tvd`/`incl`/`azim`). Deterministic;\n"
            "`seed` is reserved.") {
    std::array<double, 2> wellhead{};
    double kb_elevation = 0.0, td = 0.0, md_step = 0.0;
    std::uint64_t seed = 0;
    std::string profile;
    zkpy::PlanArgs plan;
    if (!args.parse(wellhead, kb_elevation, td, md_step, seed, profile, plan.kickoff_md, plan.build_rate,
                    plan.hold_incl, plan.azimuth, plan.drop_start_md, plan.drop_rate, plan.final_incl))
        return nullptr;
    const auto p = zkpy::profile_arg(profile, plan);
    if (!p) return nullptr;
    if (!stations_fit("synth_trajectory_profile", td, md_step)) return nullptr;
    const zkpy::HeldSignalPoll poll;  // the stations are built with the lock held
    return traj_to_dict(zk::synth_trajectory_profile({wellhead[0], wellhead[1]}, *p, kb_elevation, td, md_step));
}

ZK_FUNCTION(max_dogleg_severity, "max_dogleg_severity(md, incl, azim)",
            "The maximum **dogleg severity** (degrees of hole-angle change per 30 m MD) of a\n"
            "survey given its columnar `md` / `incl` / `azim` lists (as returned by\n"
            "`synth_trajectory_profile`). `0` for a vertical well; the believability yardstick\n"
            "for a directional path. The three lists must be equal length.") {
    std::vector<double> md, incl, azim;
    if (!args.parse(md, incl, azim)) return nullptr;
    if (md.size() != incl.size() || md.size() != azim.size()) {
        return zkpy::raise_value_error("max_dogleg_severity: md, incl and azim must be equal length");
    }
    std::vector<zk::Station> stations(md.size());
    for (std::size_t k = 0; k < md.size(); ++k) stations[k] = zk::Station{md[k], 0, 0, 0, 0, incl[k], azim[k]};
    return zkpy::to_py(zk::max_dogleg_severity(stations));
}
