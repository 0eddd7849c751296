"""Lattice: construction, transforms, step vectors, repr, Python class surface."""

import inspect
import math
import struct

import pytest
from hypothesis import assume, given, settings
from hypothesis import strategies as st

import zaviktools as zk
from zaviktools import _zaviktools

DEG = 0.017453292519943295


def bits(x):
    return struct.pack("<d", x)


# --- independent oracle: the documented formulas in plain Python floats -------------------

def oracle_rotation(deg):
    r = math.fmod(deg, 360.0)
    return r + 360.0 if r < 0 else r


def oracle_forward(g, fi, fj):
    xori, yori, xinc, yinc, rot, yflip = g
    t = oracle_rotation(rot) * DEG
    s, c = math.sin(t), math.cos(t)
    if yflip:
        return ((fi * (c * xinc) + xori) + (s * yinc) * fj, (fi * (s * xinc) + yori) + (c * (-yinc)) * fj)
    return ((fi * (c * xinc) + xori) + (s * (-yinc)) * fj, (fi * (s * xinc) + yori) + (c * yinc) * fj)


def oracle_inverse(g, x, y):
    xori, yori, xinc, yinc, rot, yflip = g
    rot = oracle_rotation(rot)
    if xinc == 0 or yinc == 0:
        return None
    if not all(map(math.isfinite, (xori, yori, xinc, yinc, rot, x, y))):
        return None
    t = rot * DEG
    s, c = math.sin(t), math.cos(t)
    dx, dy = x - xori, y - yori
    u = dy * s + dx * c
    v = dy * c - dx * s
    if yflip:
        v = -v
    fi, fj = u / xinc, v / yinc
    if not (math.isfinite(fi) and math.isfinite(fj)):
        return None
    return (fi, fj)


def make(g, ncol=4, nrow=3):
    xori, yori, xinc, yinc, rot, yflip = g
    return zk.Lattice(xori, yori, xinc, yinc, ncol, nrow, rotation_deg=rot, yflip=yflip)


coord = st.floats(-1e7, 1e7, allow_nan=False)
spacing = st.floats(0.01, 1e4) | st.floats(-1e4, -0.01)
rotation = st.floats(-1e4, 1e4, allow_nan=False)
geometry = st.tuples(coord, coord, spacing, spacing, rotation, st.booleans())


# --- construction -------------------------------------------------------------------------

@pytest.mark.parametrize("given_deg, stored", [
    (-90.0, 270.0), (720.0, 0.0), (360.0, 0.0), (-450.0, 270.0), (45.5, 45.5),
    (1e-300, 1e-300), (-1e-20, 360.0), (359.9999999, 359.9999999), (1e20, math.fmod(1e20, 360.0)),
])
def test_rotation_is_normalised(given_deg, stored):
    lat = zk.Lattice(0, 0, 1, 1, 2, 2, rotation_deg=given_deg)
    assert bits(lat.rotation_deg) == bits(stored)
    assert bits(lat.rotation_deg) == bits(oracle_rotation(given_deg))


def test_minus_360_is_stored_as_negative_zero():
    lat = zk.Lattice(0, 0, 1, 1, 2, 2, rotation_deg=-360)
    assert lat.rotation_deg == 0.0 and math.copysign(1.0, lat.rotation_deg) == -1.0
    assert repr(lat).endswith("nrow=2)")


@pytest.mark.parametrize("bad", [math.nan, math.inf, -math.inf])
def test_non_finite_rotation_is_refused(bad):
    with pytest.raises(ValueError) as e:
        zk.Lattice(0, 0, 1, 1, 2, 2, rotation_deg=bad)
    assert e.value.args == ("invalid argument: Lattice: rotation_deg must be finite",)


@pytest.mark.parametrize("kwargs, exc, start", [
    ({"yflip": 1}, TypeError, "argument 'yflip': "),
    ({"ncol": 2.0}, TypeError, "argument 'ncol': "),
    ({"nrow": "3"}, TypeError, "argument 'nrow': "),
    ({"xori": "0"}, TypeError, "argument 'xori': "),
    ({"rotation_deg": None}, TypeError, "argument 'rotation_deg': "),
    ({"ncol": -1}, OverflowError, ""),
])
def test_wrong_argument_types(kwargs, exc, start):
    args = dict(xori=0, yori=0, xinc=1, yinc=1, ncol=2, nrow=2)
    args.update(kwargs)
    with pytest.raises(exc) as e:
        zk.Lattice(**args)
    assert str(e.value).startswith(start)


def test_getters_hold_the_values_as_given():
    lat = zk.Lattice(1.5, -2, -3.25, 0, 0, 7, rotation_deg=30, yflip=True)
    assert (lat.xori, lat.yori, lat.xinc, lat.yinc) == (1.5, -2.0, -3.25, 0.0)
    assert all(type(v) is float for v in (lat.xori, lat.yori, lat.xinc, lat.yinc, lat.rotation_deg))
    assert (lat.ncol, lat.nrow) == (0, 7) and type(lat.ncol) is int
    assert lat.yflip is True and lat.rotation_deg == 30.0


def test_defaults_and_keywords():
    lat = zk.Lattice(nrow=3, ncol=2, yinc=4, xinc=5, yori=6, xori=7)
    assert (lat.xori, lat.yori, lat.xinc, lat.yinc, lat.ncol, lat.nrow) == (7, 6, 5, 4, 2, 3)
    assert lat.rotation_deg == 0.0 and lat.yflip is False
    with pytest.raises(TypeError):
        zk.Lattice(0, 0, 1, 1, 2)


# --- forward transform ---------------------------------------------------------------------

def test_axis_aligned_node_is_exact():
    lat = zk.Lattice(1000.5, -20.25, 12.5, 7.75, 10, 10)
    assert lat.node_xy(2, 3) == (1000.5 + 2 * 12.5, -20.25 + 3 * 7.75)


def test_node_beyond_counts_extrapolates():
    lat = zk.Lattice(0, 0, 2, 3, 4, 1)
    assert lat.node_xy(4 + 5, 0) == (18.0, 0.0)
    assert zk.Lattice(0, 0, 1, 1, 0, 0).node_xy(3, 2) == (3.0, 2.0)


def test_yflip_without_rotation():
    lat = zk.Lattice(10, 20, 2, 5, 3, 3, yflip=True)
    assert lat.node_xy(0, 1) == (10.0, 15.0)
    assert lat.world_to_intrinsic(10, 15) == (0.0, 1.0)


def test_rotation_90_step_vectors():
    lat = zk.Lattice(0, 0, 3, 2, 2, 2, rotation_deg=90)
    cos90 = math.cos(90 * DEG)
    assert cos90 != 0.0
    assert lat.step_vectors() == ([3 * cos90, 3.0], [-2.0, 2 * cos90])


@pytest.mark.parametrize("g", [
    (0, 0, 25, 25, -90, False), (431000, 6521000, 12.5, 30, 33.3, True),
    (-5, 7, -2, 3, 181, False), (1e6, -1e6, 0.1, 0.2, 359.9, True),
])
@pytest.mark.parametrize("fi, fj", [(0, 0), (1, 0), (0, 1), (2.5, -3.25), (100, 57)])
def test_forward_follows_the_exact_evaluation_order(g, fi, fj):
    lat = make(g)
    assert [bits(v) for v in lat.intrinsic_to_world(fi, fj)] == [bits(v) for v in oracle_forward(g, fi, fj)]
    if float(fi).is_integer() and fi >= 0 and fj >= 0:
        assert lat.node_xy(int(fi), int(fj)) == lat.intrinsic_to_world(fi, fj)


@given(geometry, st.integers(0, 500), st.integers(0, 500))
def test_node_xy_matches_oracle(g, i, j):
    assert make(g).node_xy(i, j) == oracle_forward(g, float(i), float(j))


# --- inverse transform ---------------------------------------------------------------------

@pytest.mark.parametrize("g, x, y", [
    ((0, 0, 0, 1, 0, False), 1, 1),                 # zero xinc
    ((0, 0, 1, 0, 0, False), 1, 1),                 # zero yinc
    ((0, 0, -0.0, 1, 0, False), 1, 1),              # -0.0 counts as zero
    ((0, 0, 1, 1, 0, False), math.nan, 0),
    ((0, 0, 1, 1, 0, False), 0, math.inf),
    ((0, 0, 1, 1, 0, False), -math.inf, 0),
    ((math.nan, 0, 1, 1, 0, False), 0, 0),           # non-finite geometry
    ((0, math.inf, 1, 1, 0, False), 0, 0),
    ((0, 0, math.inf, 1, 0, False), 0, 0),
    ((0, 0, 1e-300, 1, 0, False), 1e300, 0),         # result overflows
    ((-1.7e308, 0, 1, 1, 0, False), 1.7e308, 0),     # difference overflows
])
def test_inverse_gives_none(g, x, y):
    lat = make(g)
    assert lat.world_to_intrinsic(x, y) is None
    assert lat.xy_to_ij(x, y) is None


@pytest.mark.parametrize("g", [
    (0, 0, 25, 25, 0, False), (431000, 6521000, 12.5, 30, 33.3, True), (-5, 7, -2, 3, 181, False),
])
@pytest.mark.parametrize("x, y", [(0, 0), (431010.5, 6521003.25), (-1e4, 3e3)])
def test_inverse_follows_the_exact_evaluation_order(g, x, y):
    lat = make(g)
    got = lat.world_to_intrinsic(x, y)
    assert got == oracle_inverse(g, x, y)
    assert lat.xy_to_ij(x, y) == got


@settings(max_examples=300)
@given(geometry, st.integers(0, 2000), st.integers(0, 2000))
def test_round_trip_world_to_intrinsic(g, i, j):
    lat = make(g)
    fi, fj = lat.world_to_intrinsic(*lat.node_xy(i, j))
    # Rounding is relative to the world coordinates, not to the indices.
    scale = (max(abs(g[0]), abs(g[1])) + (i * abs(g[2])) + (j * abs(g[3])) + 1.0) * 1e-13
    assert abs(fi - i) <= scale / abs(g[2])
    assert abs(fj - j) <= scale / abs(g[3])


@given(geometry, st.floats(-1e3, 1e3), st.floats(-1e3, 1e3))
def test_inverse_matches_oracle(g, fi, fj):
    lat = make(g)
    x, y = lat.intrinsic_to_world(fi, fj)
    assert lat.world_to_intrinsic(x, y) == oracle_inverse(g, x, y)


# --- step vectors ------------------------------------------------------------------------

@given(geometry)
def test_step_vectors_match_formula_and_node_differences(g):
    lat = make(g)
    (ix, iy), (jx, jy) = lat.step_vectors()
    t = oracle_rotation(g[4]) * DEG
    s, c = math.sin(t), math.cos(t)
    xinc, yinc = g[2], g[3]
    assert (ix, iy) == (xinc * c, xinc * s)
    assert (jx, jy) == ((yinc * s, -yinc * c) if g[5] else (-yinc * s, yinc * c))
    x0, y0 = lat.node_xy(3, 5)
    x1, y1 = lat.node_xy(4, 5)
    x2, y2 = lat.node_xy(3, 6)
    tol = (abs(x0) + abs(y0) + abs(xinc) * 4 + abs(yinc) * 6 + 1) * 1e-14
    assert x1 - x0 == pytest.approx(ix, abs=tol) and y1 - y0 == pytest.approx(iy, abs=tol)
    assert x2 - x0 == pytest.approx(jx, abs=tol) and y2 - y0 == pytest.approx(jy, abs=tol)


def test_step_vectors_shape():
    sv = zk.Lattice(0, 0, 2, 3, 1, 1).step_vectors()
    assert type(sv) is tuple and all(type(v) is list and len(v) == 2 for v in sv)
    assert sv == ([2.0, 0.0], [-0.0, 3.0])


# --- repr ----------------------------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, text", [
    ((0.0, 0.0, 25.0, 25.0, 4, 3), {"rotation_deg": -90},
     "Lattice(xori=0, yori=0, xinc=25, yinc=25, ncol=4, nrow=3, rotation_deg=270, yflip=false)"),
    ((0, 0, 1, 1, 2, 3), {}, "Lattice(xori=0, yori=0, xinc=1, yinc=1, ncol=2, nrow=3)"),
    ((0, 0, 1, 1, 2, 3), {"yflip": True},
     "Lattice(xori=0, yori=0, xinc=1, yinc=1, ncol=2, nrow=3, rotation_deg=0, yflip=true)"),
    ((1e20, -0.5, 0.1, 2.5e-7, 0, 10**19), {"rotation_deg": 720},
     "Lattice(xori=100000000000000000000, yori=-0.5, xinc=0.1, yinc=0.00000025, ncol=0, "
     "nrow=10000000000000000000)"),
    ((431000.25, 6521000, -12.5, 30, 5, 6), {"rotation_deg": 33.3, "yflip": True},
     "Lattice(xori=431000.25, yori=6521000, xinc=-12.5, yinc=30, ncol=5, nrow=6, rotation_deg=33.3, yflip=true)"),
])
def test_repr(args, kwargs, text):
    assert repr(zk.Lattice(*args, **kwargs)) == text


# --- class surface -------------------------------------------------------------------------

def test_docstrings():
    assert zk.Lattice.__doc__ == (
        "A regular 2-D lattice — the target grid geometry. Optional intrinsic\n"
        "`rotation_deg` (CCW from east to I) and `yflip` preserve the historic\n"
        "axis-aligned constructor defaults. World units throughout.")
    assert zk.Lattice.__text_signature__ == "(xori, yori, xinc, yinc, ncol, nrow, rotation_deg=0.0, yflip=False)"
    assert zk.Lattice.intrinsic_to_world.__doc__ == "Exact fractional intrinsic `(i, j)` to world `(x, y)` transform."
    assert zk.Lattice.world_to_intrinsic.__doc__ == "Exact world `(x, y)` to fractional intrinsic `(i, j)` transform."
    assert zk.Lattice.step_vectors.__doc__ == "Exact world-coordinate step vectors for positive intrinsic I and J."
    assert zk.Lattice.node_xy.__doc__ == zk.Lattice.xy_to_ij.__doc__
    assert "compatibility aliases" in zk.Lattice.node_xy.__doc__.lower()
    sigs = {m: str(inspect.signature(getattr(zk.Lattice, m))) for m in
            ("node_xy", "intrinsic_to_world", "world_to_intrinsic", "xy_to_ij", "step_vectors")}
    assert sigs == {"node_xy": "(self, /, i, j)", "intrinsic_to_world": "(self, /, fi, fj)",
                    "world_to_intrinsic": "(self, /, x, y)", "xy_to_ij": "(self, /, x, y)",
                    "step_vectors": "(self, /)"}


def test_instances_are_immutable_and_final():
    lat = zk.Lattice(0, 0, 1, 1, 2, 2)
    for name in ("xori", "ncol", "yflip", "extra"):
        with pytest.raises(AttributeError):
            setattr(lat, name, 1)
    assert not hasattr(lat, "__dict__")
    with pytest.raises(TypeError):
        type("Sub", (zk.Lattice,), {})
    assert type(lat).__module__ == "zaviktools._zaviktools"


@pytest.mark.parametrize("call, start", [
    (lambda l: l.node_xy(1.0, 2), "argument 'i': "),
    (lambda l: l.node_xy(1), "Lattice.node_xy() missing 1 required positional argument: 'j'"),
    (lambda l: l.world_to_intrinsic("1", 2), "argument 'x': "),
    (lambda l: l.intrinsic_to_world(0, fj=None), "argument 'fj': "),
    (lambda l: l.step_vectors(1), "Lattice.step_vectors() takes"),
])
def test_method_argument_errors(call, start):
    with pytest.raises(TypeError) as e:
        call(zk.Lattice(0, 0, 1, 1, 2, 2))
    assert str(e.value).startswith(start)


def test_node_xy_negative_index_is_overflow():
    with pytest.raises(OverflowError):
        zk.Lattice(0, 0, 1, 1, 2, 2).node_xy(-1, 0)


def test_registered_between_neighbours():
    names = list(vars(_zaviktools))
    assert "Lattice" in names and names.index("median") < names.index("Lattice")
    if "Georef" in names:
        assert names.index("Lattice") < names.index("Georef")
