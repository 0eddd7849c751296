"""Tops picked from a surface: the bilinear lookup on the lattice and the
seeded residual, against the pure-Python reference."""

import math
import random

import pytest

import wells_reference as ref
from zaviktools import _zaviktools as m

NAN = math.nan


def lattice_fields(lat):
    return (lat.xori, lat.yori, lat.xinc, lat.yinc, lat.ncol, lat.nrow, lat.rotation_deg, lat.yflip)


def same(a, b):
    return len(a) == len(b) and all((math.isnan(x) and math.isnan(y)) or x == y for x, y in zip(a, b))


def sample(hooks, surface, lat, pts):
    return hooks.sample_surface(surface, *lattice_fields(lat), pts)


def test_bilinear_cases(hooks):
    lat = m.Lattice(100.0, 200.0, 10.0, 20.0, 3, 2)
    surface = [[1.0, 2.0], [3.0, NAN], [5.0, 6.0]]
    # A cell touching the NaN node (1, 1) is undefined, even at its own corner
    # nodes; the last column's degenerate cells are not.
    pts = [[100, 200], [105, 210], [100, 220], [120, 200], [120, 220], [120, 210], [99.999, 200], [120.0001, 200],
           [120, 220.0001], [NAN, 200], [100, math.inf]]
    assert same(sample(hooks, surface, lat, pts), [NAN, NAN, NAN, 5.0, 6.0, 5.5] + [NAN] * 5)
    clean = [[1.0, 2.0], [3.0, 4.0], [5.0, 6.0]]
    assert sample(hooks, clean, lat, [[105, 210], [110, 200], [120, 210], [112.5, 205]]) == [
        2.5, 3.0, 5.5, 0.75 * (0.75 * 3 + 0.25 * 5) + 0.25 * (0.75 * 4 + 0.25 * 6)]


@pytest.mark.parametrize("ncol, nrow, surface", [(0, 3, []), (2, 0, [[], []]), (0, 0, [])])
def test_lattice_without_columns_or_rows_gives_nan(hooks, ncol, nrow, surface):
    lat = m.Lattice(0.0, 0.0, 1.0, 1.0, ncol, nrow)
    wells = [[0, 0], [0.5, 0.5], [-1, 2], [1e300, 0]]
    assert all(math.isnan(v) for v in sample(hooks, surface, lat, wells))
    tops = m.tops_from_surface(surface, lat, wells, m.Sampler.uniform(-1, 1), 4)
    assert len(tops) == 4 and all(math.isnan(t) for t in tops)


def test_degenerate_spacing_gives_nan(hooks):
    lat = m.Lattice(0.0, 0.0, 0.0, 1.0, 2, 2)
    assert all(math.isnan(v) for v in sample(hooks, [[1, 2], [3, 4]], lat, [[0, 0], [0, 1]]))


@pytest.mark.parametrize("seed", range(6))
def test_sample_surface_bit_for_bit(hooks, seed):
    rnd = random.Random(seed)
    for _ in range(8):
        ncol, nrow = rnd.randrange(1, 9), rnd.randrange(1, 9)
        lat = m.Lattice(rnd.uniform(-1e5, 1e5), rnd.uniform(-1e5, 1e5), rnd.choice([-1, 1]) * rnd.uniform(1, 50),
                        rnd.uniform(1, 50), ncol, nrow, rotation_deg=rnd.choice([0.0, 90.0, rnd.uniform(-720, 720)]),
                        yflip=rnd.random() < 0.5)
        surface = [[NAN if rnd.random() < 0.05 else rnd.uniform(-3000, -1000) for _ in range(nrow)]
                   for _ in range(ncol)]
        pts = [lat.intrinsic_to_world(rnd.uniform(-0.5, ncol - 0.5), rnd.uniform(-0.5, nrow - 0.5)) for _ in range(60)]
        pts += [lat.node_xy(i, j) for i in range(ncol) for j in range(nrow)]
        got = sample(hooks, surface, lat, [list(p) for p in pts])
        assert same(got, [ref.sample_surface(surface, lat, x, y) for x, y in pts])


@pytest.mark.parametrize("seed", range(5))
@pytest.mark.parametrize("residual", [("uniform", -10.0, 10.0), ("normal", 0.0, 5.0), ("uniform", 0.0, 1e-3)])
def test_tops_bit_for_bit(seed, residual):
    rnd = random.Random(seed)
    ncol, nrow = rnd.randrange(2, 12), rnd.randrange(2, 12)
    lat = m.Lattice(431000.0, 6521000.0, 25.0, 25.0, ncol, nrow, rotation_deg=rnd.uniform(0, 360),
                    yflip=rnd.random() < 0.5)
    surface = [[rnd.uniform(-2500, -1500) for _ in range(nrow)] for _ in range(ncol)]
    wells = [list(lat.intrinsic_to_world(rnd.uniform(-1, ncol), rnd.uniform(-1, nrow))) for _ in range(80)]
    sampler = getattr(m.Sampler, residual[0])(residual[1], residual[2])
    s = rnd.getrandbits(64)
    assert same(m.tops_from_surface(surface, lat, wells, sampler, s),
                ref.tops_from_surface(surface, lat, wells, residual, s))


def test_residual_within_bounds_and_outside_well_keeps_later_draws(hooks):
    lat = m.Lattice(0.0, 0.0, 10.0, 10.0, 5, 5)
    surface = [[-1000.0 - 3 * i - j for j in range(5)] for i in range(5)]
    inside_wells = [[5, 5], [12, 31], [40, 40], [0, 0]]
    res = m.Sampler.uniform(-10, 10)
    base = sample(hooks, surface, lat, inside_wells)
    tops = m.tops_from_surface(surface, lat, inside_wells, res, 11)
    assert all(abs(t - b) <= 10 for t, b in zip(tops, base))
    # The second well moved outside: its top is NaN, the others keep their draws.
    moved = m.tops_from_surface(surface, lat, [inside_wells[0], [41, 0], *inside_wells[2:]], res, 11)
    assert math.isnan(moved[1]) and moved[0] == tops[0] and moved[2:] == tops[2:]
    assert m.tops_from_surface(surface, lat, [], res, 11) == []
    assert m.tops_from_surface(surface, lat, inside_wells, res, 11) == tops


def test_tops_argument_checks():
    lat = m.Lattice(0.0, 0.0, 1.0, 1.0, 2, 3)
    res = m.Sampler.uniform(-1, 1)
    for bad in ([[1, 2, 3]], [[1, 2, 3], [1, 2]], [[1, 2], [1, 2], [1, 2]]):
        with pytest.raises(ValueError) as e:
            m.tops_from_surface(bad, lat, [[0, 0]], res, 1)
        assert str(e.value) == "field must be a rectangular 2x3 nested list (field[col][row])"
    with pytest.raises(TypeError, match="argument 'residual': 'Clamped' object is not an instance of 'Sampler'"):
        m.tops_from_surface([[0] * 3] * 2, lat, [[0, 0]], res.clamped(-1, 1), 1)
    with pytest.raises(TypeError, match="argument 'lattice': 'dict' object is not an instance of 'Lattice'"):
        m.tops_from_surface([[0] * 3] * 2, {}, [[0, 0]], res, 1)
