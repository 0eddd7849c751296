"""The wells functions' signatures and docstrings, as callers introspect them."""

import inspect

import pytest

from zaviktools import _zaviktools as m

DOCS = {
    "place_wells": (
        "(xmin, ymin, xmax, ymax, n, seed)",
        "Place `n` seeded uniform-random well heads inside the rectangular extent\n"
        "`(xmin, ymin, xmax, ymax)`. Returns `[x, y]` 2-lists. Seeded/reproducible."),
    "place_wells_in_polygon": (
        "(polygon, n, seed)",
        "Place `n` seeded uniform-random well heads inside `polygon` (`[x, y]` 2-lists,\n"
        "implicitly closed), by rejection sampling. Returns `[x, y]` 2-lists."),
    "tops_from_surface": (
        "(surface, lattice, well_xy, residual, seed)",
        "Pick a top from `surface` (nested lists, `ncol × nrow`) on `lattice` at each\n"
        "well in `well_xy` (`[x, y]` 2-lists), adding one `residual` draw per well (a\n"
        "`Sampler`, e.g. `Sampler.uniform(-10, 10)`). A well outside the extent → `NaN`.\n"
        "Returns one top per well. Seeded/reproducible."),
    "synth_trajectory": (
        "(wellhead_xy, kb_elevation, td, md_step, seed)",
        "A vertical well trajectory from `wellhead_xy` (`[x, y]`), KB elevation\n"
        "`kb_elevation` (subsea +up), to TD `td` (TVD below KB), station spacing\n"
        "`md_step` m (final station lands on `td`). Returns a **columnar** dict of equal-\n"
        "length lists: `md`, `x`, `y`, `z` (elevation), `tvd`, `incl`, `azim` (vertical:\n"
        "`MD==TVD`, constant `xy`, `incl=azim=0`). `seed` is reserved for the deviated\n"
        "case. Seeded/reproducible."),
    "synth_trajectory_profile": (
        "(wellhead_xy, kb_elevation, td, md_step, seed, profile, kickoff_md=0.0, build_rate_deg_per_30m=3.0, "
        "hold_incl_deg=45.0, azimuth_deg=0.0, drop_start_md=None, drop_rate_deg_per_30m=3.0, final_incl_deg=0.0)",
        "A **directional** well trajectory following `profile` from `wellhead_xy`\n"
        "(`[x, y]`, world), KB elevation `kb_elevation` (subsea +up), to TD `td`\n"
        "(**MD** below KB), station spacing `md_step` m (final station lands on `td`).\n"
        "\n"
        '`profile` is `"vertical"` | `"build_hold"` | `"build_hold_drop"`:\n'
        "- `build_hold` — kick off at `kickoff_md`, build to `hold_incl_deg` at\n"
        "  `build_rate_deg_per_30m` (believable ~1–4 °/30 m), hold on `azimuth_deg`.\n"
        "- `build_hold_drop` — as above, then from `drop_start_md` drop back toward\n"
        "  `final_incl_deg` at `drop_rate_deg_per_30m` (an S-well).\n"
        "\n"
        "Stations are placed by the minimum-curvature relation (this is trajectory\n"
        "*synthesis*, not survey interpretation). Use `md_step` ≈ 15–30 m for a deviated\n"
        "bore so it crosses many areal columns. Returns the same **columnar** dict as\n"
        "`synth_trajectory` (`md`/`x`/`y`/`z`/`tvd`/`incl`/`azim`). Deterministic;\n"
        "`seed` is reserved."),
    "max_dogleg_severity": (
        "(md, incl, azim)",
        "The maximum **dogleg severity** (degrees of hole-angle change per 30 m MD) of a\n"
        "survey given its columnar `md` / `incl` / `azim` lists (as returned by\n"
        "`synth_trajectory_profile`). `0` for a vertical well; the believability yardstick\n"
        "for a directional path. The three lists must be equal length."),
}


@pytest.mark.parametrize("name", DOCS)
def test_signature_and_docstring(name):
    fn = getattr(m, name)
    sig, text = DOCS[name]
    assert fn.__text_signature__ == sig and str(inspect.signature(fn)) == sig
    assert fn.__doc__ == text


def test_keywords_and_defaults():
    a = m.synth_trajectory_profile(wellhead_xy=[0, 0], kb_elevation=0, td=900, md_step=30, seed=0, profile="build_hold")
    b = m.synth_trajectory_profile([0, 0], 0, 900, 30, 0, "build_hold", 0.0, 3.0, 45.0, 0.0, None, 3.0, 0.0)
    assert a == b
    with pytest.raises(TypeError, match="got an unexpected keyword argument 'azimuth'"):
        m.synth_trajectory_profile([0, 0], 0, 900, 30, 0, "build_hold", azimuth=3)
    with pytest.raises(TypeError, match="argument 'seed'"):
        m.synth_trajectory([0, 0], 0, 900, 30, 0.5)
    with pytest.raises(TypeError, match="argument 'drop_start_md'"):
        m.synth_trajectory_profile([0, 0], 0, 900, 30, 0, "build_hold_drop", drop_start_md="900")
    with pytest.raises(ValueError, match=r"expected a sequence of length 2 \(got 3\)"):
        m.synth_trajectory([0, 0, 0], 0, 900, 30, 0)
