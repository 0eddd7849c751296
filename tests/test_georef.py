"""Georef: default origin, validation, world-placed lattices, point placement."""

import math

import pytest
from hypothesis import given
from hypothesis import strategies as st

import zaviktools as zk

DEG = 0.017453292519943295
ROT_ERR = "invalid argument: Lattice: rotation_deg must be finite"


def oracle_place_intrinsic(e0, n0, ix, iy, rot, yflip):
    r = math.fmod(rot, 360.0)
    r = r + 360.0 if r < 0 else r
    t = r * DEG
    s, c = math.sin(t), math.cos(t)
    if yflip:
        return [e0 + ix * c + iy * s, n0 + ix * s - iy * c]
    return [e0 + ix * c - iy * s, n0 + ix * s + iy * c]


def test_default_origin():
    g = zk.Georef()
    assert (g.east0, g.north0) == (431000.0, 6521000.0)
    assert g.origin() == [431000.0, 6521000.0]
    assert repr(g) == "Georef(east0=431000, north0=6521000)"
    assert repr(zk.Georef(None, None)) == repr(g)
    assert repr(zk.Georef(east0=None)) == repr(g)


def test_chosen_origin():
    g = zk.Georef(north0=-2.5, east0=1e20)
    assert g.origin() == [1e20, -2.5]
    assert repr(g) == "Georef(east0=100000000000000000000, north0=-2.5)"


@pytest.mark.parametrize("kwargs", [{"east0": 1.0}, {"north0": 0}, {"east0": None, "north0": 3.0},
                                    {"east0": math.nan}])
def test_half_given_origin(kwargs):
    with pytest.raises(ValueError) as e:
        zk.Georef(**kwargs)
    assert e.value.args == ("Georef: pass both east0 and north0, or neither (fictional default)",)


@pytest.mark.parametrize("e0, n0", [(math.nan, 0.0), (0.0, math.inf), (-math.inf, 1.0), (math.nan, math.nan)])
def test_non_finite_origin(e0, n0):
    with pytest.raises(ValueError) as e:
        zk.Georef(e0, n0)
    assert e.value.args == ("invalid argument: Georef: east0 and north0 must be finite",)


def test_argument_types():
    with pytest.raises(TypeError, match="^argument 'east0': "):
        zk.Georef("1", 2)
    with pytest.raises(TypeError, match="^argument 'yflip': "):
        zk.Georef().lattice(1, 1, 2, 2, 0.0, 1)
    with pytest.raises(TypeError, match="^argument 'ncol': "):
        zk.Georef().lattice(1, 1, 2.0, 2)
    with pytest.raises(OverflowError):
        zk.Georef().lattice(1, 1, -2, 2)


# --- lattice -------------------------------------------------------------------------------

@pytest.mark.parametrize("rot, stored", [(-90, 270.0), (720, 0.0), (0, 0.0), (405.5, 45.5)])
def test_lattice_rotation(rot, stored):
    lat = zk.Georef().lattice(10, 10, 3, 4, rotation_deg=rot)
    assert type(lat) is zk.Lattice
    assert lat.rotation_deg == stored


def test_lattice_is_pinned_to_the_origin():
    g = zk.Georef(1000.0, 2000.0)
    lat = g.lattice(12.5, -5, 7, 0, rotation_deg=30, yflip=True)
    assert (lat.xori, lat.yori, lat.xinc, lat.yinc, lat.ncol, lat.nrow, lat.yflip) == (
        1000.0, 2000.0, 12.5, -5.0, 7, 0, True)
    assert lat.node_xy(0, 0) == (1000.0, 2000.0)
    assert repr(zk.Georef().lattice(25, 25, 4, 3)) == (
        "Lattice(xori=431000, yori=6521000, xinc=25, yinc=25, ncol=4, nrow=3)")


def test_lattice_passes_degenerate_spacing_through():
    lat = zk.Georef().lattice(0, -1, 0, 0)
    assert (lat.xinc, lat.yinc, lat.ncol, lat.nrow) == (0.0, -1.0, 0, 0)
    assert lat.world_to_intrinsic(431000, 6521000) is None


@pytest.mark.parametrize("bad", [math.nan, math.inf, -math.inf])
def test_lattice_and_place_intrinsic_refuse_non_finite_rotation(bad):
    with pytest.raises(ValueError) as e:
        zk.Georef().lattice(1, 1, 2, 2, rotation_deg=bad)
    assert e.value.args == (ROT_ERR,)
    with pytest.raises(ValueError) as e:
        zk.Georef().place_intrinsic([1, 2], rotation_deg=bad)
    assert e.value.args == (ROT_ERR,)


# --- placement -----------------------------------------------------------------------------

def test_place_point():
    assert zk.Georef(0, 0).place_point([1, 2]) == [1.0, 2.0]
    assert zk.Georef().place_point((0.5, -3)) == [431000.5, 6520997.0]
    assert zk.Georef(1, 1).place_point([math.inf, -math.inf]) == [math.inf, -math.inf]


def test_place_points():
    g = zk.Georef(10, 20)
    assert g.place_points([]) == []
    assert g.place_points([[1, 2], (3, 4), [-10, -20]]) == [[11.0, 22.0], [13.0, 24.0], [0.0, 0.0]]


@pytest.mark.parametrize("call, exc, text", [
    (lambda g: g.place_point([1, 2, 3]), ValueError, "expected a sequence of length 2 (got 3)"),
    (lambda g: g.place_points([[1, 2], [1]]), ValueError, "expected a sequence of length 2 (got 1)"),
    (lambda g: g.place_point("ab"), TypeError, "argument 'local': Can't extract `str` to `Vec`"),
    (lambda g: g.place_points(5), TypeError, "argument 'locals': 'int' object is not an instance of 'Sequence'"),
    (lambda g: g.place_intrinsic([1, "a"]), TypeError, "argument 'intrinsic': "),
])
def test_placement_shape_errors(call, exc, text):
    with pytest.raises(exc) as e:
        call(zk.Georef())
    assert str(e.value).startswith(text)


def test_place_intrinsic_edge_cases():
    g = zk.Georef()
    e0, n0 = 431000.0, 6521000.0
    assert g.place_intrinsic([1, 0], 90) == pytest.approx([e0, n0 + 1], abs=1e-9)
    assert g.place_intrinsic([0, 1], 90, yflip=True) == pytest.approx([e0 + 1, n0], abs=1e-9)
    assert g.place_intrinsic([0, 1], 0, True) == [e0, n0 - 1]
    assert g.place_intrinsic([3, 4]) == [e0 + 3, n0 + 4]
    assert g.place_intrinsic([1, 0], -270) == g.place_intrinsic([1, 0], 90)


xy = st.floats(-1e5, 1e5, allow_nan=False)
rot = st.floats(-1e3, 1e3, allow_nan=False)


@given(xy, xy, xy, xy, rot, st.booleans())
def test_place_intrinsic_matches_oracle(e0, n0, ix, iy, r, flip):
    assert zk.Georef(e0, n0).place_intrinsic([ix, iy], r, flip) == oracle_place_intrinsic(e0, n0, ix, iy, r, flip)


@given(xy, xy, xy, xy, rot, st.booleans())
def test_place_intrinsic_agrees_with_a_lattice(e0, n0, ix, iy, r, flip):
    g = zk.Georef(e0, n0)
    placed = g.place_intrinsic([ix, iy], r, flip)
    # With unit spacing the lattice's forward transform is the same sum.
    assert list(g.lattice(1, 1, 1, 1, r, flip).intrinsic_to_world(ix, iy)) == placed
    # With other spacings, scaling the intrinsic point gives the same place.
    lat = g.lattice(2.5, 4.0, 1, 1, r, flip)
    x, y = lat.intrinsic_to_world(ix / 2.5, iy / 4.0)
    tol = (abs(e0) + abs(n0) + abs(ix) + abs(iy)) * 1e-14 + 1e-9
    assert x == pytest.approx(placed[0], abs=tol) and y == pytest.approx(placed[1], abs=tol)


# --- class surface -------------------------------------------------------------------------

def test_docstrings():
    assert zk.Georef.__text_signature__ == "(east0=None, north0=None)"
    assert zk.Georef.__doc__.startswith(
        "A fictional **world-frame** origin (a UTM-style easting/northing) for placing a\n")
    assert zk.Georef.__doc__.endswith("`Georef()` uses the documented fictional origin;\n`Georef(east0, north0)` a chosen one.")
    docs = {
        "origin": "The origin as an `[east, north]` world point.",
        "lattice": "A world-placed `Lattice` of `ncol × nrow` nodes at spacing `(xinc, yinc)`,\n"
                   "node `(0, 0)` pinned to this origin.",
        "place_point": "Translate a local `[x, y]` (from `(0, 0)`) into this world frame.",
        "place_points": "Translate a list of local `[x, y]` points into this world frame.",
        "place_intrinsic": "Place a local point through a rotated/flipped intrinsic frame.",
    }
    for name, text in docs.items():
        assert getattr(zk.Georef, name).__doc__ == text
    sigs = {
        "origin": "($self)",
        "lattice": "($self, xinc, yinc, ncol, nrow, rotation_deg=0.0, yflip=False)",
        "place_point": "($self, local)",
        "place_points": "($self, locals)",
        "place_intrinsic": "($self, intrinsic, rotation_deg=0.0, yflip=False)",
    }
    for name, sig in sigs.items():
        assert getattr(zk.Georef, name).__text_signature__ == sig


def test_instances_are_immutable_and_final():
    g = zk.Georef()
    with pytest.raises(AttributeError):
        g.east0 = 1.0
    with pytest.raises(AttributeError):
        g.other = 1.0
    with pytest.raises(TypeError):
        type("Sub", (zk.Georef,), {})
