"""closure_outline and study_area_outline: the stated small cases vertex by
vertex, validation order and texts, a literal pure-Python reference over many
generated grids, skimage / contourpy rings at the same level, and a
brute-force point-in-ring check of the nodes above and below the level."""

import inspect
import math

import numpy as np
import pytest

import zaviktools as zk
from outline_reference import closure_outline as ref_closure
from outline_reference import point_in_ring, shoelace
from outline_reference import study_area_outline as ref_study_area

NAN = float("nan")
INF = float("inf")
H = math.sqrt(0.5)


def pit(value=0.0):
    """3 × 3 grid of 10 with the centre node at `value`."""
    return [[10.0, 10.0, 10.0], [10.0, value, 10.0], [10.0, 10.0, 10.0]]


def gaussian(lattice, cx, cy, sx, sy, amp=100.0):
    z = np.empty((lattice.ncol, lattice.nrow))
    for i in range(lattice.ncol):
        for j in range(lattice.nrow):
            x, y = lattice.node_xy(i, j)
            z[i, j] = amp * math.exp(-0.5 * (((x - cx) / sx) ** 2 + ((y - cy) / sy) ** 2))
    return z


# --- the stated small cases -------------------------------------------------------------

def test_pit_ring_vertex_by_vertex():
    ring = zk.closure_outline(pit(), zk.Lattice(0, 0, 1, 1, 3, 3), 5)
    assert ring == [[1.0, 0.5], [0.5, 1.0], [1.0, 1.5], [1.5, 1.0]]
    assert shoelace(ring) == 0.5 and shoelace(ring, signed=True) < 0  # clockwise


def test_pit_ring_relative_to_the_origin():
    ring = zk.closure_outline(pit(), zk.Lattice(100, -50, 1, 1, 3, 3), 5)
    assert ring == [[101.0, -49.5], [100.5, -49.0], [101.0, -48.5], [101.5, -49.0]]


@pytest.mark.parametrize("level", [-1.0, 20.0, 10.0, 0.0])
def test_all_values_on_one_side_give_no_ring(level):
    assert zk.closure_outline(pit(), zk.Lattice(0, 0, 1, 1, 3, 3), level) == []


def test_a_nan_node_interrupts_the_contour():
    lat = zk.Lattice(0, 0, 1, 1, 9, 9)
    z = gaussian(lat, 4, 4, 2, 2)
    assert len(zk.closure_outline(z.tolist(), lat, 50)) > 3
    z[4, 2] = NAN  # on the ring's path: the four cells around it give no segment
    assert zk.closure_outline(z.tolist(), lat, 50) == []
    z = gaussian(lat, 4, 4, 2, 2)
    z[0, 0] = NAN  # far from the ring: nothing changes
    assert zk.closure_outline(z.tolist(), lat, 50) == zk.closure_outline(gaussian(lat, 4, 4, 2, 2).tolist(), lat, 50)


def test_values_equal_to_the_level_are_not_above_and_meet_at_the_node():
    lat = zk.Lattice(0, 0, 1, 1, 5, 5)
    z = [[-(abs(i - 2) + abs(j - 2)) for j in range(5)] for i in range(5)]
    ring = zk.closure_outline(z, lat, -1)
    assert sorted(map(tuple, ring)) == [(1.0, 2.0), (2.0, 1.0), (2.0, 3.0), (3.0, 2.0)]
    assert shoelace(ring) == 2.0


def test_border_crossing_contour_is_open():
    lat = zk.Lattice(0, 0, 1, 1, 11, 11)
    z = gaussian(lat, 0, 5, 3, 3)  # crest on the west border
    assert zk.closure_outline(z.tolist(), lat, 50) == []
    assert zk.closure_outline(z.tolist(), lat, 95) == []  # the crest cell itself leaves the grid


def test_the_larger_of_two_closures_wins():
    lat = zk.Lattice(0, 0, 1, 1, 41, 21)
    z = gaussian(lat, 10, 10, 2, 2) + gaussian(lat, 30, 10, 4, 4)
    ring = zk.closure_outline(z.tolist(), lat, 40)
    xs = [p[0] for p in ring]
    assert min(xs) > 20 and shoelace(ring) == pytest.approx(2 * math.pi * 16 * math.log(100 / 40), rel=0.02)


# --- validation ----------------------------------------------------------------------------

@pytest.mark.parametrize(
    "surface, lattice, level, exc, text",
    [
        (pit()[:2], zk.Lattice(0, 0, 1, 1, 3, 3), 5, ValueError,
         "field must be a rectangular 3x3 nested list (field[col][row])"),
        ([[1, 2], [3, 4], [5]], zk.Lattice(0, 0, 1, 1, 3, 2), 5, ValueError,
         "field must be a rectangular 3x2 nested list (field[col][row])"),
        ([[1.0, 2.0]], zk.Lattice(0, 0, 1, 1, 1, 2), 5, ValueError,
         "invalid argument: closure_outline: need at least a 2x2 lattice"),
        ([], zk.Lattice(0, 0, 1, 1, 0, 7), 5, ValueError,
         "invalid argument: closure_outline: need at least a 2x2 lattice"),
        ([[], []], zk.Lattice(0, 0, 1, 1, 2, 0), 5, ValueError,
         "invalid argument: closure_outline: need at least a 2x2 lattice"),
        ([[INF, 1.0]], zk.Lattice(0, 0, 1, 1, 1, 2), NAN, ValueError,
         "invalid argument: closure_outline: need at least a 2x2 lattice"),
        (pit(), zk.Lattice(INF, 0, 1, 1, 3, 3), 5, ValueError,
         "invalid argument: closure_outline: lattice geometry must be finite"),
        (pit(), zk.Lattice(0, 0, NAN, 1, 3, 3), NAN, ValueError,
         "invalid argument: closure_outline: lattice geometry must be finite"),
        (pit(INF), zk.Lattice(0, 0, 1, 1, 3, 3), NAN, ValueError,
         "invalid argument: closure_outline: spill_depth must be finite"),
        (pit(), zk.Lattice(0, 0, 1, 1, 3, 3), -INF, ValueError,
         "invalid argument: closure_outline: spill_depth must be finite"),
        ([[0, 1, NAN], [2, -INF, INF], [0, 0, 0]], zk.Lattice(0, 0, 1, 1, 3, 3), 5, ValueError,
         "invalid argument: closure_outline: surface is infinite at node (1, 1); use NaN for undefined nodes"),
        ("abc", zk.Lattice(0, 0, 1, 1, 3, 3), 5, TypeError, "argument 'surface': Can't extract `str` to `Vec`"),
        (pit(), {}, 5, TypeError, "argument 'lattice': 'dict' object is not an instance of 'Lattice'"),
        (pit(), zk.Lattice(0, 0, 1, 1, 3, 3), "5", TypeError, "argument 'spill_depth'"),
    ],
)
def test_closure_outline_errors_in_order(surface, lattice, level, exc, text):
    with pytest.raises(exc) as info:
        zk.closure_outline(surface, lattice, level)
    assert str(info.value).startswith(text)


def test_surface_is_not_modified_and_docstrings():
    s = pit()
    zk.closure_outline(s, zk.Lattice(0, 0, 1, 1, 3, 3), 5)
    assert s == pit()
    assert zk.closure_outline.__doc__ == (
        "The closing contour of `surface` (nested lists, `ncol × nrow`) on `lattice` at\n"
        "level `spill_depth` — the largest closed ring as `[x, y]` 2-lists (empty if the\n"
        "structure does not close at that level). Marching squares.")
    assert zk.study_area_outline.__doc__ == (
        "A rectangular (optionally corner-rounded) study-area outline for the extent\n"
        "`(xmin, ymin, xmax, ymax)`: `corner_radius ≤ 0` ⇒ sharp corners; else each\n"
        "corner is `arc_steps` segments. Returns a closed ring of `[x, y]` 2-lists.")
    assert str(inspect.signature(zk.closure_outline)) == "(surface, lattice, spill_depth)"
    assert str(inspect.signature(zk.study_area_outline)) == "(xmin, ymin, xmax, ymax, corner_radius, arc_steps)"


# --- against the literal reference -----------------------------------------------------------

def random_case(rng):
    nc, nr = int(rng.integers(2, 13)), int(rng.integers(2, 13))
    lat = zk.Lattice(float(rng.uniform(-1e3, 1e3)), float(rng.uniform(-1e3, 1e3)), float(rng.choice([1, 2.5, 0.3, -1.5])),
                     float(rng.choice([1, 0.7, 4, -2])), nc, nr, rotation_deg=float(rng.choice([0, 30, 90, 247.5, -12])),
                     yflip=bool(rng.integers(0, 2)))
    kind = rng.integers(0, 3)
    if kind == 0:  # quantised values: many exact equalities with the level, saddles, shared vertices
        z = rng.integers(0, 4, size=(nc, nr)).astype(float)
        level = float(rng.integers(0, 4))
    elif kind == 1:
        z = rng.normal(size=(nc, nr)).cumsum(0).cumsum(1)
        level = float(np.median(z)) + float(rng.normal(scale=0.3))
    else:
        fi, fj = np.meshgrid(np.arange(nc), np.arange(nr), indexing="ij")
        z = -((fi - rng.uniform(0, nc)) ** 2 + (fj - rng.uniform(0, nr)) ** 2) + rng.normal(scale=0.5, size=(nc, nr))
        level = float(np.quantile(z, 0.7))
    z[rng.random((nc, nr)) < 0.04] = NAN
    return z.tolist(), lat, level


def test_matches_the_literal_reference_on_generated_grids():
    rng = np.random.default_rng(20261208)
    closed = 0
    for _ in range(400):
        z, lat, level = random_case(rng)
        ours = zk.closure_outline(z, lat, level)
        assert ours == ref_closure(z, lat, level), (z, repr(lat), level)
        closed += bool(ours)
    assert closed > 30  # the comparison is not all empty rings


@pytest.mark.parametrize("nrow", [63, 64, 65, 129, 200])
def test_matches_the_reference_across_mask_words(hooks, nrow):
    """Columns longer than one 64-row word, contours crossing word boundaries,
    and the core's Field entry (which also checks the shape itself)."""
    rng = np.random.default_rng(nrow)
    for _ in range(3):
        nc = int(rng.integers(7, 11))
        lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, nc, nrow, rotation_deg=float(rng.uniform(0, 360)))
        fi, fj = np.meshgrid(np.arange(nc), np.arange(nrow), indexing="ij")
        # a chain of blobs along the columns, one centred on row 64 (mid-column when short)
        period = rng.uniform(15, 40)
        z = np.exp(-(((fi - (nc - 1) / 2) / (nc / 4)) ** 2)) * (0.5 + 0.5 * np.cos(2 * np.pi * (fj - (64 if nrow > 100 else nrow // 2)) / period))
        z += rng.normal(scale=0.02, size=(nc, nrow))
        z[0, rng.random(nrow) < 0.05] = NAN  # holes away from the contours
        level = float(rng.uniform(0.3, 0.6))
        ours = zk.closure_outline(z.tolist(), lat, level)
        assert len(ours) > 8
        assert ours == ref_closure(z.tolist(), lat, level)
        flat = np.ascontiguousarray(z, "<f8").tobytes()
        assert hooks.closure_outline_field(flat, nc, nrow, 0.0, 0.0, 1.0, 1.0, nc, nrow, lat.rotation_deg, False,
                                           level) == ours


def test_core_checks_the_shape_itself(hooks):
    flat = np.zeros((3, 4)).tobytes()
    with pytest.raises(ValueError, match="^invalid argument: closure_outline: surface shape must match the lattice$"):
        hooks.closure_outline_field(flat, 3, 4, 0.0, 0.0, 1.0, 1.0, 4, 3, 0.0, False, 0.5)
    with pytest.raises(ValueError, match="^invalid argument: closure_outline: need at least a 2x2 lattice$"):
        hooks.closure_outline_field(b"", 0, 4, 0.0, 0.0, 1.0, 1.0, 0, 4, 0.0, False, 0.5)


# --- against the peers, and which nodes lie inside -------------------------------------------

def largest_closed_area(contours):
    areas = [shoelace(c.tolist()) for c in contours if len(c) > 3 and np.array_equal(c[0], c[-1])]
    return max(areas, default=0.0)


@pytest.mark.parametrize("n, level, aspect", [(60, 30.0, 1.0), (101, 61.7, 2.5), (75, 45.3, 0.6)])
def test_same_enclosed_area_as_skimage_and_contourpy(n, level, aspect):
    from contourpy import contour_generator
    from skimage import measure

    lat = zk.Lattice(1000.0, 2000.0, 10.0, 7.5, n, n + 7)
    cx, cy = lat.node_xy(n // 2, (n + 7) // 2)
    z = gaussian(lat, cx + 3.3, cy - 1.7, 10.0 * n / 5 * aspect, 7.5 * n / 5 / aspect)
    ring = zk.closure_outline(z.tolist(), lat, level)
    assert len(ring) > 10
    # skimage works in (col, row) index space of z[col][row]: scale the area by the cell size
    sk = largest_closed_area(measure.find_contours(z, level)) * 10.0 * 7.5
    assert shoelace(ring) == pytest.approx(sk, rel=1e-9)
    x = np.array([[lat.node_xy(i, j)[0] for j in range(lat.nrow)] for i in range(lat.ncol)])
    y = np.array([[lat.node_xy(i, j)[1] for j in range(lat.nrow)] for i in range(lat.ncol)])
    lines = contour_generator(x, y, z, name="serial", line_type="Separate").lines(level)
    assert shoelace(ring) == pytest.approx(largest_closed_area(lines), rel=1e-9)


@pytest.mark.parametrize("rotation, yflip", [(0.0, False), (35.0, False), (200.0, True), (90.0, True)])
def test_nodes_above_the_level_are_exactly_the_nodes_inside(rotation, yflip):
    lat = zk.Lattice(5e5, 6.5e6, 25.0, 40.0, 48, 37, rotation_deg=rotation, yflip=yflip)
    cx, cy = lat.intrinsic_to_world(23.2, 18.4)
    z = gaussian(lat, cx, cy, 300.0, 420.0)
    level = 47.3
    ring = zk.closure_outline(z.tolist(), lat, level)
    local = [[p[0] - cx, p[1] - cy] for p in ring]
    above = inside = 0
    for i in range(lat.ncol):
        for j in range(lat.nrow):
            x, y = lat.node_xy(i, j)
            is_in = point_in_ring(x - cx, y - cy, local)
            assert is_in == (z[i, j] > level), (i, j)
            above += z[i, j] > level
            inside += is_in
    assert above == inside > 50


# --- study_area_outline ---------------------------------------------------------------------

def test_rounded_example_vertex_by_vertex():
    ring = zk.study_area_outline(0, 0, 10, 4, 1, 2)
    expected = [(9, 0), (9 + H, 1 - H), (10, 1), (10, 3), (9 + H, 3 + H), (9, 4),
                (1, 4), (1 - H, 3 + H), (0, 3), (0, 1), (1 - H, 1 - H), (1, 0)]
    assert len(ring) == 12
    for p, q in zip(ring, expected):
        assert p == pytest.approx(list(q), abs=1e-14)
    assert shoelace(ring, signed=True) > 0  # counter-clockwise


def test_radius_is_reduced_to_half_the_shorter_side():
    ring = zk.study_area_outline(0, 0, 10, 4, 5, 1)
    expected = [(8, 0), (10, 2), (10, 2), (8, 4), (2, 4), (0, 2), (0, 2), (2, 0)]
    for p, q in zip(ring, expected, strict=True):
        assert p == pytest.approx(list(q), abs=1e-14)


@pytest.mark.parametrize("radius, steps", [(0, 5), (-3, 5), (NAN, 5), (1, 0), (2, 0)])
def test_sharp_rectangle(radius, steps):
    assert zk.study_area_outline(0, 0, 10, 4, radius, steps) == [[0, 0], [10, 0], [10, 4], [0, 4]]


def test_inverted_extent_gives_the_four_points_as_given():
    assert zk.study_area_outline(10, 4, 0, 0, 1, 8) == [[10, 4], [0, 4], [0, 0], [10, 0]]
    assert zk.study_area_outline(0, 4, 10, 0, 1, 8) == [[0, 4], [10, 4], [10, 0], [0, 0]]


def test_matches_the_reference_on_generated_extents():
    rng = np.random.default_rng(7)
    for _ in range(300):
        xmin, ymin = rng.uniform(-1e6, 1e6, 2)
        w, h = rng.choice([0.0, 1.0, 37.5, 1e4]), rng.choice([0.0, 2.0, 8e3, -5.0])
        radius = float(rng.choice([0.0, 0.5, 3.0, 1e9, -1.0, NAN, INF]))
        steps = int(rng.choice([0, 1, 2, 3, 7, 64]))
        args = (float(xmin), float(ymin), float(xmin + w), float(ymin + h), radius, steps)
        ours = zk.study_area_outline(*args)
        ref = ref_study_area(*args)
        assert np.array_equal(np.array(ours), np.array(ref)), args
        assert len(ours) in (4, 4 * (steps + 1))


def test_absurd_arc_steps_is_refused_before_allocating():
    for steps in (2**24 + 1, 2**62, 2**64 - 1):
        with pytest.raises(ValueError) as info:
            zk.study_area_outline(0, 0, 10, 4, 1, steps)
        assert str(info.value) == (
            f"invalid argument: study_area_outline: arc_steps must be <= 16777216 (got {steps})")
    # sharp corners never allocate arcs, whatever arc_steps says
    assert zk.study_area_outline(0, 0, 10, 4, 0, 2**64 - 1) == [[0, 0], [10, 0], [10, 4], [0, 4]]
    with pytest.raises(OverflowError):
        zk.study_area_outline(0, 0, 10, 4, 1, -1)
    with pytest.raises(TypeError, match="argument 'arc_steps'"):
        zk.study_area_outline(0, 0, 10, 4, 1, 2.0)
