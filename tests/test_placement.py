"""Seeded well placement over a rectangle and inside a polygon, against the
pure-Python reference of the draws."""

import math
import random

import pytest
from matplotlib.path import Path

import wells_reference as ref
from zaviktools import _zaviktools as m

EXTENT = "invalid argument: place_wells: need a non-degenerate finite extent"
BBOX = "invalid argument: place_wells_in_polygon: polygon bounding box is degenerate"
GAVE_UP = "invalid argument: place_wells_in_polygon: could not place all wells (polygon area too small?)"
SQUARE = [[0, 0], [10, 0], [10, 10], [0, 10]]


def raises(text, fn, *args):
    with pytest.raises(ValueError) as e:
        fn(*args)
    assert e.value.args == (text,)


def star(rnd, n, cx=0.0, cy=0.0, r=1.0):
    """A simple polygon: n vertices at increasing angles and random radii."""
    angles = sorted(rnd.uniform(0, 2 * math.pi) for _ in range(n))
    return [[cx + r * rnd.uniform(0.2, 1) * math.cos(a), cy + r * rnd.uniform(0.2, 1) * math.sin(a)] for a in angles]


def test_place_wells_in_extent_and_reproducible():
    pts = m.place_wells(0, 0, 100, 50, 3, 7)
    assert len(pts) == 3 and all(0 <= x < 100 and 0 <= y < 50 for x, y in pts)
    assert all(type(p) is list and len(p) == 2 for p in pts)
    assert pts == m.place_wells(0, 0, 100, 50, 3, 7) != m.place_wells(0, 0, 100, 50, 3, 8)
    assert m.place_wells(0, 0, 100, 50, 0, 7) == []


@pytest.mark.parametrize("seed", range(5))
def test_place_wells_bit_for_bit(seed):
    rnd = random.Random(seed)
    for _ in range(20):
        x0, y0 = rnd.uniform(-1e6, 1e6), rnd.uniform(-1e6, 1e6)
        x1, y1 = x0 + 10 ** rnd.uniform(-6, 6), y0 + 10 ** rnd.uniform(-6, 6)
        n, s = rnd.randrange(0, 80), rnd.getrandbits(64)
        assert m.place_wells(x0, y0, x1, y1, n, s) == ref.place_wells(x0, y0, x1, y1, n, s)


def test_narrow_ranges_stay_half_open():
    # One ulp wide: every draw is the lower bound, never the upper one.
    hi = math.nextafter(1.0, 2.0)
    assert m.place_wells(1.0, 5.0, hi, 6.0, 200, 3) == ref.place_wells(1.0, 5.0, hi, 6.0, 200, 3)
    assert all(x == 1.0 for x, _ in m.place_wells(1.0, 5.0, hi, 6.0, 200, 3))


@pytest.mark.parametrize("bounds", [
    (0, 0, 0, 10), (0, 5, 10, 4), (0, 0, -1, 10), (-math.inf, 0, 10, 10), (0, 0, 10, math.nan),
    (-1e308, 0, 1e308, 10), (0, -1.5e308, 10, 1.5e308),  # widths that overflow to infinity
])
def test_place_wells_extent_message(bounds):
    raises(EXTENT, m.place_wells, *bounds, 3, 1)
    raises(EXTENT, m.place_wells, *bounds, 0, 1)


@pytest.mark.parametrize("fn, args, what", [
    (m.place_wells, (0, 0, 1, 1), "place_wells"),
    (m.place_wells_in_polygon, (SQUARE,), "place_wells_in_polygon"),
])
@pytest.mark.parametrize("n, rule", [(2**64 - 1, "n = 18446744073709551615 wells cannot be stored"),
                                     (2**62, "n = 4611686018427387904 wells cannot be stored"),
                                     (10**14, "cannot allocate 100000000000000 wells")])
def test_absurd_n_refused_before_drawing(fn, args, what, n, rule):
    raises(f"invalid argument: {what}: {rule}", fn, *args, n, 0)


def test_square_polygon_matches_place_wells():
    for seed in (0, 1, 99, 2**64 - 1):
        assert m.place_wells_in_polygon(SQUARE, 50, seed) == m.place_wells(0, 0, 10, 10, 50, seed)


@pytest.mark.parametrize("seed", range(6))
def test_polygon_placement_bit_for_bit_and_inside(seed):
    rnd = random.Random(seed)
    for _ in range(6):
        poly = star(rnd, rnd.randrange(3, 40), rnd.uniform(-5e5, 5e5), rnd.uniform(-5e5, 5e5), 10 ** rnd.uniform(0, 4))
        if rnd.random() < 0.3:
            poly.reverse()  # orientation does not matter
        n, s = rnd.randrange(0, 300), rnd.getrandbits(64)
        pts = m.place_wells_in_polygon(poly, n, s)
        assert pts == ref.place_wells_in_polygon(poly, n, s)
        # Independently inside: matplotlib's even-odd containment.
        if pts:
            assert Path(poly + [poly[0]], closed=True).contains_points(pts).all()


def test_inside_test_hook_matches_reference(hooks):
    rnd = random.Random(5)
    for _ in range(30):
        poly = star(rnd, rnd.randrange(3, 25))
        if rnd.random() < 0.3:  # self-intersecting rings follow the even-odd rule too
            rnd.shuffle(poly)
        if rnd.random() < 0.2:
            poly[rnd.randrange(len(poly))][rnd.randrange(2)] = math.nan
        pts = [[rnd.uniform(-1.2, 1.2), rnd.uniform(-1.2, 1.2)] for _ in range(200)] + poly[:3]
        assert hooks.inside_polygon(poly, pts) == [ref.inside(poly, x, y) for x, y in pts]


def test_nan_vertex_ignored_by_bounding_box_and_inside_test():
    poly = SQUARE + [[math.nan, 5]]
    pts = m.place_wells_in_polygon(poly, 40, 2)
    assert pts == ref.place_wells_in_polygon(poly, 40, 2)
    assert all(0 <= x < 10 and 0 <= y < 10 for x, y in pts)


@pytest.mark.parametrize("poly, text", [
    ([[0, 0], [1, 1]], "invalid argument: place_wells_in_polygon: polygon needs >= 3 vertices"),
    ([], "invalid argument: place_wells_in_polygon: polygon needs >= 3 vertices"),
    ([[0, 2], [1, 2], [5, 2]], BBOX),                       # collinear along x
    ([[3, 0], [3, 1], [3, 5]], BBOX),
    ([[0, 0], [math.inf, 0], [1, 1]], BBOX),
    ([[math.nan, math.nan]] * 3, BBOX),
    ([[-1e308, 0], [1e308, 0], [0, 1]], BBOX),               # width overflows
])
def test_polygon_failures(poly, text):
    raises(text, m.place_wells_in_polygon, poly, 5, 1)
    raises(text, m.place_wells_in_polygon, poly, 0, 1)


def test_sliver_gives_up_and_n_zero_draws_nothing():
    # An L of 1e-4 wide arms covers 2e-7 of its box: 20000 attempts find nothing.
    thin = [[0, 0], [1000, 0], [1000, 1000], [999.9999, 1000], [999.9999, 0.0001], [0, 0.0001]]
    raises(GAVE_UP, m.place_wells_in_polygon, thin, 2, 4)
    assert ref.place_wells_in_polygon(thin, 2, 4) is None
    assert m.place_wells_in_polygon(thin, 0, 1) == []


@pytest.mark.parametrize("poly, n", [
    ([[0, 0], [1000, 1000], [2000, 2000]], 10**5),                   # collinear: no area at all
    ([[k * 0.1, k * 0.3] for k in range(50)], 3),                     # collinear up to rounding
    ([[0, 0], [1000, 1000], [1000, 999.999]], 10**5),                 # 5e-7 of its box: hopeless for n wells
])
def test_polygon_without_room_is_refused_before_sampling(poly, n):
    raises("invalid argument: place_wells_in_polygon: polygon has zero area", m.place_wells_in_polygon, poly, n, 1)
    assert m.place_wells_in_polygon(poly, 0, 1) == []


def test_thin_or_crossed_polygons_with_a_chance_are_sampled():
    sliver = [[0, 0], [1000, 1000], [1000, 999.999]]  # one well: not hopeless, so the budget decides
    raises(GAVE_UP, m.place_wells_in_polygon, sliver, 1, 1)
    bowtie = [[0, 0], [2, 2], [0, 2], [2, 0]]  # crossed: no area along y = 1, half the box overall
    assert m.place_wells_in_polygon(bowtie, 30, 5) == ref.place_wells_in_polygon(bowtie, 30, 5)


@pytest.mark.parametrize("seed", range(4))
def test_refusal_only_where_the_box_holds_almost_no_inside(seed, hooks):
    # Random rings, crossed or not, squashed onto a line by 10^-k: a refused
    # ring leaves almost no inside in its box. A refusal of n wells bounds the
    # inside share by 2^(-40/n) / (e·10^4), under 0.74 hits in 20000 points
    # for every n (Poisson: more than 8 hits has a chance near 1e-7).
    rnd = random.Random(seed)
    refused = 0
    for _ in range(25):
        poly = star(rnd, rnd.randrange(3, 40))
        if rnd.random() < 0.4:
            rnd.shuffle(poly)
        a, squash = rnd.uniform(0, math.pi), 10.0 ** -rnd.uniform(0, 15)
        poly = [[x * math.cos(a) - y * squash * math.sin(a), x * math.sin(a) + y * squash * math.cos(a)] for x, y in poly]
        n = rnd.choice([1, 10, 1000, 10**6])
        try:
            m.place_wells_in_polygon(poly, n, 1) if n < 10**6 or squash < 1e-9 else None
            continue
        except ValueError as e:
            if "zero area" not in str(e):
                continue
        refused += 1
        xs, ys = [p[0] for p in poly], [p[1] for p in poly]
        pts = m.place_wells(min(xs), min(ys), max(xs), max(ys), 20000, seed)
        assert sum(hooks.inside_polygon(poly, pts)) <= 8
    assert refused > 0


def test_polygon_argument_conversion():
    with pytest.raises(ValueError, match=r"expected a sequence of length 2 \(got 3\)"):
        m.place_wells_in_polygon([[0, 0, 1], [1, 0, 1], [0, 1, 1]], 1, 0)
    with pytest.raises(TypeError, match="argument 'n'"):
        m.place_wells_in_polygon(SQUARE, 1.0, 0)
    with pytest.raises(OverflowError):
        m.place_wells(0, 0, 1, 1, -1, 0)


def comb(teeth):
    """Tall teeth on a thin base: long edges that each span the whole height."""
    pts = [[0.0, 0.0], [2.0 * teeth, 0.0]]
    for k in range(teeth, 0, -1):
        pts += [[2.0 * k, 100.0], [2.0 * k - 1, 100.0], [2.0 * k - 1, 1.0], [2.0 * k - 2, 1.0]]
    return pts


@pytest.mark.parametrize("poly", [
    star(random.Random(1), 2000, 10.0, 20.0, 1000.0),
    comb(300),
    [[x, y] for x, y in star(random.Random(2), 500)] + [[math.nan, 0.5], [0.1, math.nan]],
    random.Random(3).sample(star(random.Random(3), 300), 300),  # self-intersecting
])
def test_large_polygons_bit_for_bit(poly):
    assert m.place_wells_in_polygon(poly, 60, 9) == ref.place_wells_in_polygon(poly, 60, 9)


def test_collector_state_is_kept():
    import gc

    assert gc.isenabled()
    m.place_wells(0, 0, 1, 1, 1000, 1)
    assert gc.isenabled()
    gc.disable()
    try:
        m.place_wells_in_polygon(SQUARE, 1000, 1)
        assert not gc.isenabled()
    finally:
        gc.enable()
