"""Well trajectories: station grid, build/hold/drop plans, minimum curvature
(against wellpathpy and a bit-exact reference) and dogleg severity."""

import math
import random

import numpy as np
import pytest
from wellpathpy.mincurve import minimum_curvature

import wells_reference as ref
from zaviktools import _zaviktools as m

KEYS = ["md", "x", "y", "z", "tvd", "incl", "azim"]


def profile(td=3000.0, md_step=30.0, name="build_hold", wellhead=(0.0, 0.0), kb=25.0, **plan):
    return m.synth_trajectory_profile(list(wellhead), kb, td, md_step, 0, name, **plan)


def raises(text, fn, *args, **kw):
    with pytest.raises(ValueError) as e:
        fn(*args, **kw)
    assert str(e.value) == text
    return e.value


# --- station grid and the vertical well ---------------------------------------

def test_vertical_stations_and_dict_shape():
    t = m.synth_trajectory([0, 0], 25, 100, 30, 0)
    assert list(t) == KEYS
    assert all(type(v) is float for col in t.values() for v in col)
    assert t["md"] == t["tvd"] == [0, 30, 60, 90, 100]
    assert t["z"] == [25, -5, -35, -65, -75]
    assert t["x"] == t["y"] == t["incl"] == t["azim"] == [0.0] * 5


@pytest.mark.parametrize("td, md_step, mds", [
    (0.3, 0.1, [0, 0.1, 0.2, 0.3]),          # 0.3/0.1 is just below 3: td appended
    (10.0, 30.0, [0, 10.0]),                  # md_step > td
    (990.0, 30.0, [30.0 * i for i in range(34)]),
    (1000.0, 30.0, [30.0 * i for i in range(34)] + [1000.0]),
    (1.0, 0.1, [0.1 * i for i in range(10)] + [1.0]),
    (0.7, 0.1, [0.1 * i for i in range(7)] + [0.7]),  # floor(0.7/0.1) = 6
    (0.63, 0.07, [0.07 * i for i in range(10)]),  # 9·0.07 = 0.6300000000000001: within 1e-9, kept
])
def test_station_mds(td, md_step, mds):
    for t in (m.synth_trajectory([1, 2], 0, td, md_step, 9), profile(td, md_step)):
        assert t["md"] == mds


def test_md_never_decreases_for_a_very_long_td():
    # The last grid MD rounds above td by more than 1e-9; td takes its place.
    td, step = 23359425.47280252, 8509.808915410755
    n = math.floor(td / step)
    assert n * step - td > 1e-9
    for t in (m.synth_trajectory([0, 0], 0, td, step, 0), profile(td, step)):
        assert len(t["md"]) == n + 1 and t["md"][-1] == td
        assert t["md"][:-1] == [i * step for i in range(n)]
        assert all(b > a for a, b in zip(t["md"], t["md"][1:]))


@pytest.mark.parametrize("seed", [0, 1, 2, 3])
def test_station_grid_over_generated_spans(seed):
    rnd = random.Random(seed)
    for _ in range(200):
        td = 10 ** rnd.uniform(-2, 7.5)
        step = td / rnd.uniform(0.5, 400)
        md = m.synth_trajectory([0, 0], 0, td, step, 0)["md"]
        assert md == ref.station_mds(td, step)
        assert md[0] == 0 and abs(md[-1] - td) <= 1e-9 and md == sorted(md)


@pytest.mark.parametrize("fn", [m.synth_trajectory, lambda *a: m.synth_trajectory_profile(*a, "build_hold")])
@pytest.mark.parametrize("td, md_step, what", [
    (1e300, 1e-300, "td / md_step asks for more stations than can be stored"),   # floor saturates
    (1e308, 5e-324, "td / md_step asks for more stations than can be stored"),   # quotient infinite
    (2.0 ** 54, 1.0, "td / md_step asks for more stations than can be stored"),
    (1e13, 1.0, "cannot allocate 10000000000001 stations"),                      # beyond any address space
])
def test_absurd_station_counts_are_refused(fn, td, md_step, what):
    op = "synth_trajectory" if fn is m.synth_trajectory else "synth_trajectory_profile"
    raises(f"invalid argument: {op}: {what}", fn, [0, 0], 0, td, md_step, 0)


@pytest.mark.parametrize("op, call", [
    ("synth_trajectory", lambda *a: m.synth_trajectory(*a, 0)),
    ("synth_trajectory_profile", lambda *a: m.synth_trajectory_profile(*a, 0, "build_hold_drop", drop_start_md=900)),
    ("synth_trajectory", lambda *a: m.synth_trajectory_profile(*a, 0, "vertical", hold_incl_deg=95)),
])
@pytest.mark.parametrize("args, rule", [
    (([math.nan, 0], 0, 100, 10), "wellhead and kb_elevation must be finite"),
    (([0, math.inf], 0, 100, 10), "wellhead and kb_elevation must be finite"),
    (([0, 0], -math.inf, 100, 10), "wellhead and kb_elevation must be finite"),
    (([0, 0], 0, -1, 10), "td must be finite and > 0"),
    (([0, 0], 0, 0.0, 10), "td must be finite and > 0"),
    (([0, 0], 0, math.nan, 10), "td must be finite and > 0"),
    (([0, 0], 0, 100, -0.0), "md_step must be finite and > 0"),
    (([0, 0], 0, 100, math.inf), "md_step must be finite and > 0"),
    (([0, 0], math.nan, -1, -1), "wellhead and kb_elevation must be finite"),  # first check wins
])
def test_well_checks_in_order(op, call, args, rule):
    raises(f"invalid argument: {op}: {rule}", call, *args)


# --- plans ----------------------------------------------------------------------

@pytest.mark.parametrize("plan, text", [
    (dict(kickoff_md=-1), "BuildHold: kickoff_md must be finite and >= 0"),
    (dict(kickoff_md=math.inf), "BuildHold: kickoff_md must be finite and >= 0"),
    (dict(build_rate_deg_per_30m=0), "BuildHold: build_rate must be finite in (0, 6] deg/30m"),
    (dict(build_rate_deg_per_30m=6.5), "BuildHold: build_rate must be finite in (0, 6] deg/30m"),
    (dict(build_rate_deg_per_30m=math.nan), "BuildHold: build_rate must be finite in (0, 6] deg/30m"),
    (dict(hold_incl_deg=90), "BuildHold: hold_incl must be finite in (0, 90)"),
    (dict(hold_incl_deg=0), "BuildHold: hold_incl must be finite in (0, 90)"),
    (dict(azimuth_deg=math.inf), "BuildHold: azimuth must be finite"),
    (dict(kickoff_md=-1, hold_incl_deg=90), "BuildHold: kickoff_md must be finite and >= 0"),
    (dict(drop_start_md=449.999, name="build_hold_drop"),
     "BuildHoldDrop: drop_start_md must be finite and at/after the build end"),
    (dict(drop_start_md=math.nan, name="build-hold-drop"),
     "BuildHoldDrop: drop_start_md must be finite and at/after the build end"),
    (dict(drop_start_md=500, final_incl_deg=46, name="build_hold_drop"),
     "BuildHoldDrop: final_incl must be finite in [0, hold_incl]"),
    (dict(drop_start_md=500, final_incl_deg=-1, name="build_hold_drop"),
     "BuildHoldDrop: final_incl must be finite in [0, hold_incl]"),
    (dict(drop_start_md=0, drop_rate_deg_per_30m=7, final_incl_deg=50, name="build_hold_drop"),
     "BuildHoldDrop: drop_rate must be finite in (0, 6] deg/30m"),
])
def test_plan_checks(plan, text):
    # Plan errors come before the td check (td = -1 would fail too).
    raises("invalid argument: " + text, profile, td=-1, **plan)


@pytest.mark.parametrize("name, text", [
    ("Build_Hold", 'unknown profile "Build_Hold"; use \'vertical\' | \'build_hold\' | \'build_hold_drop\''),
    ('a"b\\c\n\t\x01\x7f\x85é', 'unknown profile "a\\"b\\\\c\\n\\t\\u{1}\\u{7f}\\u{85}é"; use \'vertical\' | '
                                '\'build_hold\' | \'build_hold_drop\''),
    ("", 'unknown profile ""; use \'vertical\' | \'build_hold\' | \'build_hold_drop\''),
])
def test_unknown_profile_text(name, text):
    e = raises(text, profile, name=name, td=-1)
    assert e.args == (text,)


def test_build_hold_drop_needs_drop_start():
    raises("build_hold_drop needs drop_start_md", profile, name="build_hold_drop", td=-1)
    # The drop arguments of a build_hold are ignored, not validated.
    assert profile(name="build_hold", drop_rate_deg_per_30m=-5, final_incl_deg=99)["md"]


def test_edge_values_accepted():
    assert profile(build_rate_deg_per_30m=6)["incl"][-1] == 45
    assert profile(kickoff_md=-0.0)["md"]
    t = profile(name="build_hold_drop", drop_start_md=450.0 - 1e-9, final_incl_deg=45)  # at the build end
    assert t["incl"][-1] == 45


@pytest.mark.parametrize("azimuth, stored", [(-90, 270.0), (450, 90.0), (720, 0.0), (-1e-20, 0.0), (-360, 0.0),
                                             (359.5, 359.5), (-0.0, 0.0), (1e300, math.fmod(1e300, 360))])
def test_azimuth_stored_in_0_360(azimuth, stored):
    az = profile(azimuth_deg=azimuth)["azim"][-1]
    assert az == stored and 0 <= az < 360 and math.copysign(1, az) == 1


def test_build_hold_goes_east_after_the_build():
    t = profile(td=1500, md_step=30, kickoff_md=0, build_rate_deg_per_30m=3, hold_incl_deg=45, azimuth_deg=90,
                wellhead=(1000.0, 2000.0))
    after = [k for k, md in enumerate(t["md"]) if md >= 450]
    assert after and all(t["incl"][k] == 45 and t["azim"][k] == 90 for k in after)
    assert all(b > a for a, b in zip(t["x"][after[0]:], t["x"][after[0] + 1:]))
    assert max(abs(y - 2000.0) for y in t["y"]) < 1e-9
    assert t["incl"][:5] == [0, 3, 6, 9, 12]  # ((m − kickoff) × rate) / 30
    assert all(z == 25 - tvd for z, tvd in zip(t["z"], t["tvd"]))


def test_seed_is_ignored_and_vertical_profile_is_synth_trajectory():
    a = m.synth_trajectory_profile([5, 6], 10, 500, 20, 1, "build_hold", 100)
    b = m.synth_trajectory_profile([5, 6], 10, 500, 20, 2**64 - 1, "build-hold", 100)
    assert a == b
    assert m.synth_trajectory_profile([5, 6], 10, 500, 20, 3, "vertical") == m.synth_trajectory([5, 6], 10, 500, 20, 4)


# --- minimum curvature against references ----------------------------------------

def generated_plans(seed, count):
    rnd = random.Random(seed)
    for _ in range(count):
        plan = dict(kickoff_md=rnd.uniform(0, 800), build_rate_deg_per_30m=rnd.uniform(0.5, 6),
                    hold_incl_deg=rnd.uniform(5, 85), azimuth_deg=rnd.uniform(-400, 400))
        name = "build_hold"
        if rnd.random() < 0.5:
            name = "build_hold_drop"
            build_end = plan["kickoff_md"] + plan["hold_incl_deg"] / (plan["build_rate_deg_per_30m"] / 30)
            plan.update(drop_start_md=build_end + rnd.uniform(0, 1500), drop_rate_deg_per_30m=rnd.uniform(0.5, 6),
                        final_incl_deg=rnd.uniform(0, plan["hold_incl_deg"]))
        yield name, plan, rnd.uniform(1000, 6000), rnd.choice([1.0, 7.5, 15.0, 30.0, 33.3])


def ref_plan(name, plan, azimuth):
    p = dict(kickoff=plan["kickoff_md"], rate=plan["build_rate_deg_per_30m"], hold=plan["hold_incl_deg"],
             azimuth=azimuth)
    if name == "build_hold_drop":
        p.update(drop_start=plan["drop_start_md"], drop_rate=plan["drop_rate_deg_per_30m"], final=plan["final_incl_deg"])
    return p


@pytest.mark.parametrize("seed", range(6))
def test_positions_and_dogleg_against_wellpathpy(seed):
    for name, plan, td, step in generated_plans(seed, 5):
        t = profile(td, step, name, (0.0, 0.0), 0.0, **plan)
        md, inc, azi = (np.array(t[k]) for k in ("md", "incl", "azim"))
        tvd, north, east, dls = minimum_curvature(md, inc, azi)
        scale = max(1.0, float(np.max(np.abs(md))))
        for ours, theirs in ((t["tvd"], tvd), (t["y"], north), (t["x"], east)):
            np.testing.assert_allclose(ours, theirs, rtol=1e-9, atol=1e-9 * scale)
        assert m.max_dogleg_severity(t["md"], t["incl"], t["azim"]) == pytest.approx(float(np.max(dls)), rel=1e-7)


@pytest.mark.parametrize("seed", range(4))
def test_stations_bit_for_bit_against_reference(seed):
    for name, plan, td, step in generated_plans(100 + seed, 4):
        wellhead = (431000.5 + seed, 6521000.25)
        t = profile(td, step, name, wellhead, 31.5, **plan)
        expected = ref.min_curvature(wellhead, 31.5, ref.station_mds(td, step), ref_plan(name, plan, t["azim"][-1]))
        assert t == expected


def test_s_well_drops_to_final_and_is_smooth():
    t = profile(4000, 10, "build_hold_drop", kickoff_md=300, build_rate_deg_per_30m=2.5, hold_incl_deg=40,
                azimuth_deg=45, drop_start_md=1500, drop_rate_deg_per_30m=2, final_incl_deg=5)
    assert t["incl"][-1] == 5 and max(t["incl"]) == 40
    assert m.max_dogleg_severity(t["md"], t["incl"], t["azim"]) == pytest.approx(2.5, abs=1e-9)
    assert t["x"][-1] == pytest.approx(t["y"][-1], rel=1e-12)  # azimuth 45: as far east as north


# --- dogleg severity ------------------------------------------------------------

@pytest.mark.parametrize("md, incl, azim, expected", [
    ([], [], [], 0.0),
    ([0], [10], [20], 0.0),
    ([0, 30, 60], [0, 0, 0], [0, 0, 0], 0.0),
    ([0, 30, 30, 60], [0, 3, 90, 93], [0, 0, 0, 0], 3.0),         # Δmd = 0 pair skipped
    ([0, 30, 20, 50], [0, 3, 80, 83], [0, 0, 0, 0], 3.0),         # Δmd < 0 pair skipped
    ([0, 30, 60], [0, math.nan, 6], [0, 0, 0], 0.0),              # NaN never replaces the maximum
    ([0, 10, 20, 30], [0, 3, math.nan, 9], [0, 0, 0, 0], 9.0),
    ([0, 30], [90, 90], [0, 180], 180.0),                         # cos β clamped at −1
])
def test_max_dogleg_severity_cases(md, incl, azim, expected):
    assert m.max_dogleg_severity(md, incl, azim) == pytest.approx(expected, abs=1e-12)


def test_constant_build_severity_and_length_check():
    t = profile(2000, 30, kickoff_md=0, build_rate_deg_per_30m=3, hold_incl_deg=60)
    assert m.max_dogleg_severity(t["md"], t["incl"], t["azim"]) == pytest.approx(3.0, rel=1e-12)
    assert m.max_dogleg_severity(*(m.synth_trajectory([0, 0], 0, 500, 30, 0)[k] for k in ("md", "incl", "azim"))) == 0
    raises("max_dogleg_severity: md, incl and azim must be equal length", m.max_dogleg_severity, [0, 1, 2],
           [0, 1, 2], [0, 1])
