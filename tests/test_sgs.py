"""sgs / sgs_flat and the sweep behind them: bit-for-bit agreement with the
pure-Python reference, the documented edge cases, errors and their order,
reproducibility across threads, and loose statistical sanity."""

import math
import random
import struct
import threading

import numpy as np
import pytest

import zaviktools as zk
from sgs_reference import correlation, interp, nscore_fit, simple_kriging, simulate_scores, sgs as ref_sgs, snap as ref_snap
from stream_oracle import WordStream, Ziggurat, ziggurat_tables
from conftest import require_testhooks

th = require_testhooks()

PARAMS_ERROR = "invalid argument: SgsParams: need max_neighbours >= 1 and radius > 0"
SPH = zk.Variogram("spherical", 0.0, 1.0, 4.0)


def variogram(desc):
    """The module's variogram for a reference description; the description
    takes the stored (normalised) azimuth."""
    kind, model, c0, c = desc[:4]
    if kind == "iso":
        return zk.Variogram(model, c0, c, desc[4]), desc
    major, minor, vertical, az = desc[4:]
    v = zk.AnisotropicVariogram(model, major, minor, vertical, az, sill=c, nugget=c0)
    return v, (kind, model, c0, c, major, minor, vertical, v.azimuth)


def bits(grid):
    return [[struct.pack("<d", v) for v in col] for col in grid]


# --- the reference comparison over generated cases ---------------------------------------------

def _cases():
    rnd = random.Random(2026)
    models = ("spherical", "exponential", "gaussian", "nugget")
    for case in range(24):
        ncol, nrow = rnd.choice([(6, 7), (7, 6), (5, 5), (1, 9), (8, 3)])
        xinc, yinc = rnd.choice([1.0, 2.5, 10.0]), rnd.choice([1.0, 2.5, 10.0])
        rot = rnd.choice([0.0, 0.0, 30.0, 135.0, 270.0, -17.5])
        lat = (rnd.uniform(-50, 50), rnd.uniform(-50, 50), xinc, yinc, ncol, nrow, rot, rnd.random() < 0.4)
        model = models[case % 4]
        c0 = 0.2 if model == "nugget" else rnd.choice([0.0, 0.1])
        span = max(ncol * xinc, nrow * yinc)
        if case % 3 == 2:
            desc = ("aniso", model, c0, 1.0 - c0, span * 0.8, span * 0.3, span, rnd.uniform(-400, 400))
        else:
            desc = ("iso", model, c0, 1.0 - c0, span * rnd.uniform(0.3, 1.2))
        lattice = zk.Lattice(*lat)
        points = []
        for _ in range(rnd.randint(1, 8)):
            fi, fj = rnd.uniform(-1.0, ncol), rnd.uniform(-1.0, nrow)
            if rnd.random() < 0.4:  # exactly on a node
                fi, fj = float(rnd.randrange(ncol)), float(rnd.randrange(nrow))
            x, y = lattice.intrinsic_to_world(fi, fj)
            points.append([x, y, float(rnd.randint(0, 4)) if case % 4 == 1 else rnd.gauss(5.0, 2.0)])
        if case % 5 == 0:  # several data on one node: a tie with the first, then nearer and farther ones
            points.append([points[0][0], points[0][1], 42.0])
            jitter = random.Random(case)
            col, row = jitter.randrange(ncol), jitter.randrange(nrow)
            for d in (0.3, 0.1, 0.2):
                points.append([*lattice.intrinsic_to_world(col + d, row - d / 2), jitter.gauss(5.0, 2.0)])
        k = rnd.choice([1, 3, 4, 8])
        radius = span * rnd.choice([0.25, 0.6, 3.0])
        yield pytest.param(lat, desc, points, k, radius, rnd.getrandbits(64), id=f"case{case}")


@pytest.mark.parametrize("lat, desc, points, k, radius, seed", list(_cases()))
def test_fields_match_the_reference_bit_for_bit(lat, desc, points, k, radius, seed):
    lattice = zk.Lattice(*lat)
    v, desc = variogram(desc)
    ours = zk.sgs(points, lattice, v, k, radius, seed)
    assert bits(ours) == bits(ref_sgs(points, lattice, desc, k, radius, seed, th.phi_inv))
    raw, shape = zk.sgs_flat(points, lattice, v, k, radius, seed)
    assert shape == (lattice.ncol, lattice.nrow) and len(raw) == 8 * lattice.ncol * lattice.nrow
    assert np.array_equal(np.frombuffer(raw, "<f8").reshape(shape), np.array(ours))


@pytest.mark.parametrize(
    "lat",
    [
        (0.0, 0.0, 1e308, 1.0, 4, 3, 0.0, False),  # nodes beyond column 1 lie at infinity
        (math.inf, 0.0, 1.0, 1.0, 3, 3, 0.0, False),
        (math.nan, 0.0, 1.0, 1.0, 3, 3, 0.0, False),
        (0.0, 0.0, 0.0, 1.0, 3, 4, 0.0, False),  # zero spacing: coincident nodes
    ],
)
def test_non_finite_or_degenerate_lattices_draw_deterministically(lat, hooks):
    lattice = zk.Lattice(*lat)
    points = [[0.0, 0.0, 1.0], [0.0, 1.0, 2.0], [0.0, 2.0, 4.0]]
    desc = ("iso", "spherical", 0.0, 1.0, 3.0)
    if lat[2] == 1e308:
        ours = zk.sgs(points, lattice, variogram(desc)[0], 4, 5.0, 11)
        assert bits(ours) == bits(ref_sgs(points, lattice, desc, 4, 5.0, 11, th.phi_inv))
        assert all(1.0 <= v <= 4.0 for col in ours for v in col)
    else:  # no datum can snap to such a lattice; its sweep still draws deterministically
        with pytest.raises(ValueError, match="^invalid argument: sgs: no datum lies on the lattice$"):
            zk.sgs(points, lattice, variogram(desc)[0], 4, 5.0, 11)
        fixed = [(0, 0, -1.0), (1, 2, 0.5)]
        ours = th.sgs_sweeps(lattice, variogram(desc)[0], 4, 5.0, [11], fixed)[0]
        assert bits(ours) == bits(simulate_scores(lattice, correlation(desc), 4, 5.0, 11, fixed))


@pytest.mark.parametrize(
    "desc, fixed",
    [
        (("iso", "exponential", 0.1, 0.9, 6.0), []),
        (("aniso", "spherical", 0.0, 1.0, 9.0, 3.0, 5.0, 60.0), [(0, 0, 1.5), (3, 2, -0.5), (3, 2, 2.0)]),
        (("aniso", "gaussian", 0.0, 1.0, 4.0, 4.0, 4.0, 0.0), [(5, 4, 0.25)]),
    ],
)
def test_one_scratch_serves_successive_sweeps(desc, fixed):
    lattice = zk.Lattice(3.0, -2.0, 1.5, 1.0, 6, 5, 20.0, True)
    v, desc = variogram(desc)
    seeds = [0, 1, 2**64 - 1]
    reused = th.sgs_sweeps(lattice, v, 6, 6.0, seeds, fixed)
    for seed, field in zip(seeds, reused):
        assert field == th.sgs_sweeps(lattice, v, 6, 6.0, [seed], fixed)[0]
        assert bits(field) == bits(simulate_scores(lattice, correlation(desc), 6, 6.0, seed, fixed))


# --- correlations and one simple kriging solve -------------------------------------------------

@pytest.mark.parametrize("model", ["nugget", "spherical", "exponential", "gaussian"])
@pytest.mark.parametrize("aniso", [False, True])
def test_correlation_equals_one_minus_gamma_over_total_sill(model, aniso):
    c0, c = (0.3, 0.7) if model == "nugget" else (0.1, 0.9)
    if aniso:
        v = zk.AnisotropicVariogram(model, 30.0, 12.0, 5.0, 117.0, sill=c, nugget=c0)
    else:
        v = zk.Variogram(model, c0, c, 25.0)
    rnd = random.Random(model)
    dx = [rnd.uniform(-40, 40) for _ in range(300)] + [0.0, -0.0, 1e-200, 5e-324]
    dy = [rnd.uniform(-40, 40) for _ in range(300)] + [0.0, 0.0, 0.0, 0.0]
    _, gammas = th.spatial_gamma_2d(v, dx, dy)
    expected = [1.0 - g / (c0 + c) for g in gammas]
    one, batch = th.sgs_correlation(v, dx, dy)
    assert bits([one, batch]) == bits([expected, expected])
    assert th.sgs_correlation(v, [-a for a in dx], [-b for b in dy]) == (one, batch)


def _sk_cases():
    rnd = random.Random(99)
    for m in (1, 2, 5, 12):
        px, py = rnd.uniform(0, 10), rnd.uniform(0, 10)
        rows = []
        for _ in range(m):
            x, y = rnd.uniform(0, 10), rnd.uniform(0, 10)
            rows.append([x, y, x - px, y - py, rnd.gauss(0, 1)])
        yield rows
    yield [[1.0, 1.0, 0.5, 0.5, 0.3], [1.0, 1.0, 0.5, 0.5, -0.3]]  # singular: two equal rows
    yield [[2.0, 2.0, 0.0, 0.0, 0.7]]  # on the node: weight 1, variance 0


@pytest.mark.parametrize("rows", list(_sk_cases()))
@pytest.mark.parametrize("desc", [("iso", "spherical", 0.0, 1.0, 8.0), ("aniso", "exponential", 0.2, 0.8, 9.0, 3.0, 1.0, 45.0)])
def test_simple_kriging_matches_the_reference(rows, desc):
    v, desc = variogram(desc)
    assert th.sk_with(rows, v) == simple_kriging([tuple(r) for r in rows], correlation(desc))


def test_simple_kriging_fallbacks():
    assert th.sk_with([], SPH) == (0.0, 1.0)
    assert th.sk_with([[1.0, 1.0, 0.5, 0.5, 0.3], [1.0, 1.0, 0.5, 0.5, -0.3]], SPH) == (0.0, 1.0)
    assert th.sk_with([[2.0, 2.0, 0.0, 0.0, 0.7]], SPH) == (0.7, 0.0)


# --- documented behaviour ----------------------------------------------------------------------

LAT = zk.Lattice(0.0, 0.0, 1.0, 1.0, 8, 6)
DATA = [[1.0, 1.0, 3.0], [6.2, 4.9, 9.0], [3.4, 2.6, 5.0], [7.0, 0.0, 1.0]]


def test_reproducible_and_seed_dependent():
    a = zk.sgs(DATA, LAT, SPH, 8, 10.0, 5)
    assert a == zk.sgs(DATA, LAT, SPH, 8, 10.0, 5)
    b = zk.sgs(DATA, LAT, SPH, 8, 10.0, 6)
    data_nodes = {(1, 1), (6, 5), (3, 3), (7, 0)}
    assert all(a[i][j] == b[i][j] for i, j in data_nodes)
    # elsewhere the fields differ (but for nodes both seeds push into a flat tail)
    other = [(i, j) for i in range(8) for j in range(6) if (i, j) not in data_nodes]
    assert sum(a[i][j] != b[i][j] for i, j in other) > 0.7 * len(other)


def test_data_nodes_return_their_values_exactly():
    f = zk.sgs(DATA, LAT, SPH, 8, 10.0, 1)
    assert [f[1][1], f[6][5], f[3][3], f[7][0]] == [3.0, 9.0, 5.0, 1.0]
    assert all(1.0 <= v <= 9.0 for col in f for v in col)


def test_single_datum_gives_a_constant_field():
    assert zk.sgs([[2.0, 3.0, 7.0]], LAT, SPH, 4, 3.0, 9) == [[7.0] * 6 for _ in range(8)]


def test_the_datum_nearest_to_a_node_conditions_and_shows():
    # node (2, 2): 5.0 is nearest, 1.0 ties with 7.0 (earlier wins) but is farther
    points = [[2.3, 2.0, 1.0], [6.0, 4.0, 3.0], [2.1, 1.9, 5.0], [2.0, 2.3, 7.0]]
    f = zk.sgs(points, LAT, SPH, 8, 10.0, 3)
    assert f[2][2] == 5.0
    values, scores = nscore_fit([1.0, 3.0, 5.0, 7.0], th.phi_inv)  # fitted to all data
    fixed = [(2, 2, interp(values, scores, 5.0)), (6, 4, interp(values, scores, 3.0))]  # first-datum order
    sweep = th.sgs_sweeps(LAT, SPH, 8, 10.0, [3], fixed)[0]
    assert f == [[interp(scores, values, s) for s in col] for col in sweep]
    assert zk.sgs([points[i] for i in (2, 1, 0, 3)], LAT, SPH, 8, 10.0, 3) == f  # order-free but for ties
    tie = zk.sgs([[2.0, 2.3, 7.0], [6.0, 4.0, 3.0], [2.3, 2.0, 1.0]], LAT, SPH, 8, 10.0, 3)
    assert tie[2][2] == 7.0


def test_anisotropy_shapes_the_correlation():
    # one datum's influence reaches further along the major axis (east, azimuth 90)
    v = zk.AnisotropicVariogram("gaussian", 40.0, 4.0, 1.0, 90.0)
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 21, 21)
    diffs_east, diffs_north = [], []
    for seed in range(6):
        data = [[10.0, 10.0, 10.0]] + [[0.0, 0.0, 0.0], [20.0, 20.0, 0.0], [0.0, 20.0, 0.0], [20.0, 0.0, 0.0]]
        f = np.array(zk.sgs(data, lat, v, 12, 30.0, seed))
        diffs_east.append(abs(f[14, 10] - f[10, 10]))
        diffs_north.append(abs(f[10, 14] - f[10, 10]))
    assert np.mean(diffs_east) < np.mean(diffs_north)


@pytest.mark.parametrize(
    "args, exc, message",
    [
        ((DATA, LAT, SPH, 0, 5.0, 1), ValueError, PARAMS_ERROR),
        ((DATA, LAT, SPH, 4, 0.0, 1), ValueError, PARAMS_ERROR),
        ((DATA, LAT, SPH, 4, -0.0, 1), ValueError, PARAMS_ERROR),
        ((DATA, LAT, SPH, 4, -3.0, 1), ValueError, PARAMS_ERROR),
        ((DATA, LAT, SPH, 4, math.nan, 1), ValueError, PARAMS_ERROR),
        ((DATA, LAT, SPH, 4, math.inf, 1), ValueError, PARAMS_ERROR),
        (([], LAT, SPH, 4, 5.0, 1), ValueError, "empty input: sgs: no conditioning data"),
        (([], LAT, SPH, 0, 5.0, 1), ValueError, PARAMS_ERROR),  # parameters before data
        ((DATA, LAT, "spherical", 4, 5.0, 1), ValueError, "expected Variogram or AnisotropicVariogram"),
        (([], LAT, "spherical", 0, 5.0, 1), ValueError, "expected Variogram or AnisotropicVariogram"),
        ((DATA + [[0.0, 0.0, math.nan], [1.0, 0.0, math.inf]], LAT, SPH, 4, 5.0, 1), ValueError,
         "invalid argument: sgs: z values must be finite (row 4)"),
        (([[0.0, 0.0, -math.inf]], LAT, SPH, 4, 5.0, 1), ValueError,
         "invalid argument: sgs: z values must be finite (row 0)"),
        ((DATA, LAT, "x", -1, 5.0, 1), OverflowError, None),  # conversion before the variogram check
        ((DATA, LAT, "x", 4, "r", 1), TypeError, "argument 'radius'"),
        (([[-10.0, 0.0, 1.0], [100.0, 3.0, 2.0], [3.0, -0.6, 4.0], [math.nan, 1.0, 8.0]], LAT, SPH, 4, 5.0, 1),
         ValueError, "invalid argument: sgs: no datum lies on the lattice"),
        (([[-10.0, 0.0, 1.0], [1.0, 1.0, math.inf]], LAT, SPH, 4, 5.0, 1), ValueError,
         "invalid argument: sgs: z values must be finite (row 1)"),
        ((DATA, LAT, SPH, 4, 5.0, -1), OverflowError, None),
        ((DATA, LAT, SPH, 4, 5.0, 1.0), TypeError, "argument 'seed'"),
        ((DATA, {}, "x", 0, 5.0, 1), TypeError, "argument 'lattice': 'dict' object is not an instance of 'Lattice'"),
        (([[1.0, 2.0]], LAT, SPH, 4, 5.0, 1), ValueError, "expected a sequence of length 3 (got 2)"),
    ],
)
@pytest.mark.parametrize("fn", [zk.sgs, zk.sgs_flat])
def test_errors_and_their_order(fn, args, exc, message):
    with pytest.raises(exc) as e:
        fn(*args)
    if message:
        assert message in str(e.value)
        if exc is ValueError and message.startswith(("invalid", "empty", "expected Variogram")):
            assert str(e.value) == message


def test_keywords_full_seed_range_and_docstrings():
    kw = dict(coords=DATA, lattice=LAT, variogram=SPH, max_neighbours=4, radius=5.0, seed=2**64 - 1)
    assert zk.sgs(**kw) == zk.sgs(DATA, LAT, SPH, 4, 5.0, 2**64 - 1)
    assert zk.sgs.__text_signature__ == "(coords, lattice, variogram, max_neighbours, radius, seed)"
    assert zk.sgs_flat.__text_signature__ == "(coords, lattice, variogram, max_neighbours, radius, seed)"
    assert zk.sgs.__doc__ == (
        "Sequential Gaussian simulation of `coords` onto `lattice`, conditioned\n"
        "exactly on the data, seeded (`seed` reproduces the field bit-for-bit). The\n"
        "`variogram` should be fitted on normal-score data (total sill ~1). Returns\n"
        "the `ncol × nrow` simulated field in **data space** as nested lists\n"
        "(`field[col][row]`). Errors on empty input or invalid neighbourhood params.\n"
        "The simulation runs with the GIL released. For the flat crossing see `sgs_flat`."
    )
    assert zk.sgs_flat.__doc__ == (
        "Flat crossing of [`sgs`]: returns `(field_bytes, (ncol, nrow))` — the\n"
        "simulated field as one little-endian `f64` `bytes` buffer (`field[col][row]`)\n"
        "instead of a boxed nested list.\n"
        "`np.frombuffer(field_bytes, dtype='<f8').reshape(ncol, nrow)`."
    )


def test_threads_give_identical_fields():
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 60, 50)
    rnd = random.Random(8)
    data = [[rnd.uniform(0, 59), rnd.uniform(0, 49), rnd.gauss(0, 1)] for _ in range(40)]
    v = zk.Variogram("spherical", 0.0, 1.0, 15.0)
    serial = [zk.sgs_flat(data, lat, v, 16, 20.0, s)[0] for s in range(4)]
    out = [None] * 4

    def run(s):
        out[s] = zk.sgs_flat(data, lat, v, 16, 20.0, s)[0]

    threads = [threading.Thread(target=run, args=(s,)) for s in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert out == serial


# --- the unconditional simulation --------------------------------------------------------------

def test_unconditional_rescales_the_score_field():
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 9, 7)
    scores = th.sgs_sweeps(lat, SPH, 8, 6.0, [17], [])[0]
    f = th.sgs_unconditional(lat, SPH, 8, 6.0, 17, 3.0, 4.0)
    assert f == [[s * 2.0 + 3.0 for s in col] for col in scores]
    assert th.sgs_unconditional(lat, SPH, 8, 6.0, 17, -1.5, 0.0) == [[-1.5] * 7 for _ in range(9)]


@pytest.mark.parametrize("seed", [0, 5, 2**63])
def test_unconditional_one_node_takes_one_normal_draw(seed):
    ws = WordStream(seed)
    z = Ziggurat(ziggurat_tables()).draw(ws)
    f = th.sgs_unconditional(zk.Lattice(0.0, 0.0, 1.0, 1.0, 1, 1), SPH, 4, 2.0, seed, 1.0, 9.0)
    assert f == [[z * 3.0 + 1.0]]


@pytest.mark.parametrize(
    "k, radius, mean, variance, message",
    [
        (0, 1.0, 0.0, 1.0, "sgs_unconditional: need max_neighbours >= 1 and radius > 0"),
        (4, math.nan, 0.0, 1.0, "sgs_unconditional: need max_neighbours >= 1 and radius > 0"),
        (0, 1.0, math.nan, -1.0, "sgs_unconditional: need max_neighbours >= 1 and radius > 0"),
        (4, 1.0, math.inf, 1.0, "sgs_unconditional: need finite mean and variance >= 0"),
        (4, 1.0, 0.0, -1e-300, "sgs_unconditional: need finite mean and variance >= 0"),
        (4, 1.0, 0.0, math.inf, "sgs_unconditional: need finite mean and variance >= 0"),
    ],
)
def test_unconditional_errors(k, radius, mean, variance, message):
    with pytest.raises(ValueError) as e:
        th.sgs_unconditional(LAT, SPH, k, radius, 1, mean, variance)
    assert str(e.value) == "invalid argument: " + message


def test_unholdable_lattice_is_a_clean_error():
    with pytest.raises(ValueError, match="exceed the addressable size"):
        zk.sgs(DATA, zk.Lattice(0.0, 0.0, 1.0, 1.0, 2**40, 2**40), SPH, 4, 5.0, 1)


# --- statistical sanity (fixed seeds, loose bounds) --------------------------------------------

def test_unconditional_histogram_and_variogram_approach_the_model():
    n, a = 80, 12.0
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, n, n)
    v = zk.Variogram("spherical", 0.0, 1.0, a)
    fields = [np.array(th.sgs_unconditional(lat, v, 24, 2 * a, s, 0.0, 1.0)) for s in range(4)]
    allv = np.concatenate([f.ravel() for f in fields])
    assert abs(allv.mean()) < 0.2 and 0.75 < allv.var() < 1.25
    assert abs(np.mean(np.abs(allv) < 1.0) - 0.6827) < 0.06
    for h in (1, 3, 6, 12, 20):
        g = np.mean([0.5 * np.mean(np.concatenate([(f[h:] - f[:-h]).ravel() ** 2, (f[:, h:] - f[:, :-h]).ravel() ** 2]))
                     for f in fields])
        r = min(h / a, 1.0)
        model = 1.5 * r - 0.5 * r**3
        assert abs(g - model) < 0.15 + 0.1 * model, (h, g, model)


def test_conditional_field_reproduces_the_data_histogram():
    rnd = np.random.default_rng(12)
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 60, 60)
    z = rnd.lognormal(1.0, 0.5, 150)
    coords = np.column_stack([rnd.uniform(0, 59, 150), rnd.uniform(0, 59, 150), z]).tolist()
    v = zk.Variogram("exponential", 0.0, 1.0, 15.0)
    f = np.concatenate([np.frombuffer(zk.sgs_flat(coords, lat, v, 16, 30.0, s)[0], "<f8") for s in range(3)])
    assert z.min() <= f.min() and f.max() <= z.max()
    for q in (10, 25, 50, 75, 90):
        assert abs(np.percentile(f, q) - np.percentile(z, q)) < 0.25 * np.std(z), q


# --- the lattice-offset neighbour search gives the index's answer --------------------------------

def _search_cases():
    rnd = random.Random(77)
    origins = [(0.0, 0.0), (512345.5, 6789012.25), (-3.3, 7.7), (1e9, -1e9)]
    for case in range(20):
        ncol, nrow = rnd.randint(8, 30), rnd.randint(8, 30)
        xinc = rnd.choice([1.0, 25.0, 0.3, -2.0])
        yinc = rnd.choice([xinc, 12.5, 1.0, -0.7])
        rot = 0.0 if case % 2 else rnd.choice([0.0, 90.0, 45.0, 33.3, 200.0])
        xo, yo = origins[case % 4]
        lattice = zk.Lattice(xo, yo, xinc, yinc, ncol, nrow, rot, rnd.random() < 0.5)
        fixed = [(rnd.randrange(ncol), rnd.randrange(nrow), rnd.gauss(0, 1)) for _ in range(rnd.randint(0, 12))]
        span = max(ncol * abs(xinc), nrow * abs(yinc))
        k = rnd.choice([1, 4, 12, 24])
        radius = rnd.choice([abs(xinc) * 3.0, span * 0.2, span * 2.0])  # often exactly on node distances
        yield pytest.param(lattice, fixed, k, radius, rnd.getrandbits(64), id=f"search{case}")


@pytest.mark.parametrize("lattice, fixed, k, radius, seed", list(_search_cases()))
def test_offset_search_and_index_give_the_same_field(lattice, fixed, k, radius, seed):
    v = zk.Variogram("exponential", 0.0, 1.0, radius)
    assert th.sgs_offset_count(lattice, radius) is not None
    fields = [th.sgs_sweeps(lattice, v, k, radius, [seed], fixed, mode)[0] for mode in ("index", "lattice", "auto")]
    assert bits(fields[0]) == bits(fields[1]) == bits(fields[2])


@pytest.mark.parametrize(
    "lat, radius, expected",
    [
        ((0.0, 0.0, 1.0, 1.0, 50, 50), 2.0, 13),  # offsets within distance 2: exactly 13
        ((0.0, 0.0, 1.0, 1.0, 50, 50), 1e12, 99 * 99),  # every offset of the lattice
        ((0.0, 0.0, 1.0, 1.0, 600, 600), 1e12, None),  # too many offsets
        ((0.0, 0.0, 0.0, 1.0, 5, 5), 2.0, None),  # zero spacing
        ((math.inf, 0.0, 1.0, 1.0, 5, 5), 2.0, None),
        ((1e300, 0.0, 1.0, 1.0, 5, 5), 2.0, None),  # rounding of positions swamps the spacing
    ],
)
def test_offset_search_declines_unsafe_or_huge_tables(lat, radius, expected):
    assert th.sgs_offset_count(zk.Lattice(*lat), radius) == expected


@pytest.mark.parametrize(
    "lat, exact",
    [
        ((0.0, 0.0, 1.0, 1.0, 9, 9, 0.0, False), True),
        ((512300.0, 6780000.5, 25.0, 12.5, 400, 300, 0.0, True), True),
        ((0.0, 0.0, -2.0, 0.25, 9, 9, -360.0, False), True),  # stored rotation -0
        ((0.0, 0.0, 0.1, 1.0, 9, 9, 0.0, False), False),  # 0.1 * i is rounded
        ((0.0, 0.0, 1.0, 1.0, 9, 9, 90.0, False), False),  # cos 90 deg is not 0 in floating point
        ((0.0, 0.0, 0.0, 1.0, 9, 9, 0.0, False), False),
        ((2.0**60, 0.0, 1.0, 1.0, 9, 9, 0.0, False), False),
        ((math.inf, 0.0, 1.0, 1.0, 9, 9, 0.0, False), False),
    ],
)
def test_exact_lattices_are_recognised(lat, exact):
    lattice = zk.Lattice(*lat)
    assert th.sgs_exact_lattice(lattice) is exact
    if exact:  # node offsets are exact world offsets
        for i, j in ((0, 0), (8, 8), (3, 5)):
            x, y = lattice.node_xy(i, j)
            x0, y0 = lattice.node_xy(0, 0)
            sy = -lat[3] if lat[7] else lat[3]
            assert (x - x0, y - y0) == (i * lat[2], j * sy)


def test_search_cases_cover_exact_and_rounded_lattices():
    exact = {th.sgs_exact_lattice(case.values[0]) for case in _search_cases()}
    assert exact == {True, False}


@pytest.mark.parametrize("ncol, nrow", [(0, 5), (5, 0), (0, 0)])
def test_lattices_without_nodes_give_empty_fields(ncol, nrow):
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, ncol, nrow)
    assert zk.sgs(DATA, lat, SPH, 4, 3.0, 1) == [[] for _ in range(ncol)]
    assert zk.sgs_flat(DATA, lat, SPH, 4, 3.0, 1) == (b"", (ncol, nrow))
    assert th.sgs_unconditional(lat, SPH, 4, 3.0, 1, 0.0, 1.0) == [[] for _ in range(ncol)]


# --- ill-conditioned simple-kriging systems ----------------------------------------------------

def _conditioning_cases():
    rnd = random.Random(21)
    for _ in range(40):
        px, py = rnd.uniform(-1, 1), rnd.uniform(-1, 1)
        nodes = rnd.sample([(i, j) for i in range(-4, 5) for j in range(-4, 5)], rnd.randint(2, 16))
        nodes.sort(key=lambda q: (q[0] - px) ** 2 + (q[1] - py) ** 2)  # nearest first, as the search gives
        rows = [[float(i), float(j), i - px, j - py, rnd.gauss(0, 1)] for i, j in nodes]
        model = rnd.choice(["gaussian", "gaussian", "spherical"])
        yield rows, ("iso", model, 0.0, 1.0, rnd.choice([1.5, 4.0, 15.0, 60.0, 300.0]))


def test_ill_conditioned_systems_keep_their_nearest_neighbours():
    kept_all = set()
    for rows, desc in _conditioning_cases():
        mean, var, used = th.sk_used(rows, variogram(desc)[0])
        rho = correlation(desc)
        full = np.array([[rho(p[0] - q[0], p[1] - q[1]) for q in rows] for p in rows])
        cond = [np.linalg.cond(full[:k, :k], 1) for k in range(1, len(rows) + 1)]
        # estimated condition <= 1e10 for the kept system, > 1e10 for each larger one (a lower bound)
        assert cond[used - 1] <= 1e11 and all(c > 0.99e10 for c in cond[used:]), (desc, used, cond)
        rhs = np.array([rho(p[2], p[3]) for p in rows[:used]])
        w = np.linalg.solve(full[:used, :used], rhs)
        tol = 1e-15 * cond[used - 1] * (1.0 + np.abs(w).sum())  # forward error of a backward-stable solve
        assert abs(mean - w @ np.array([p[4] for p in rows[:used]])) <= tol
        assert abs(var - max(1.0 - w @ rhs, 0.0)) <= tol
        kept_all.add(used == len(rows))
    assert kept_all == {True, False}


def test_gaussian_without_nugget_is_refused_or_sound():
    rnd = random.Random(2)
    pts = [[rnd.uniform(0, 600), rnd.uniform(0, 600), rnd.uniform(-1, 1)] for _ in range(40)]
    lat = zk.Lattice(0, 0, 10, 10, 60, 60)
    smooth = zk.Variogram("gaussian", 0.0, 1.0, 300.0)
    for seed in range(3):
        with pytest.raises(ValueError, match=r"^invalid argument: sgs: simulated normal score -?\d+\.\d at node "
                                             r"\(\d+, \d+\) is beyond ±8: the variogram is too continuous for the "
                                             r"values it conditions on \(a gaussian model without nugget\); add a "
                                             r"nugget, e\.g\. 1% of the sill$"):
            zk.sgs(pts, lat, smooth, 16, 400.0, seed)
        values, scores = nscore_fit([p[2] for p in pts], th.phi_inv)
        nugget = zk.Variogram("gaussian", 0.01, 0.99, 300.0)
        field = th.sgs_sweeps(lat, nugget, 16, 400.0, [seed], ref_snap(pts, lat, values, scores))[0]
        assert np.abs(field).max() <= 6.0
        # without data (the surface generators) the sound systems keep the field standard normal
        assert np.abs(th.sgs_unconditional(lat, smooth, 24, 450.0, seed, 0.0, 1.0)).max() <= 6.0
