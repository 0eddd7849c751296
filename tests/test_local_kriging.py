"""local_kriging_grid / local_kriging_grid_flat: moving-neighbourhood ordinary
kriging onto a Lattice."""

import math
import re
import struct

import numpy as np
import pytest

import zaviktools as zk
from conftest import require_testhooks
from zaviktools import _zaviktools

th = require_testhooks()

PARAM_ERROR = "invalid argument: LocalKriging: need max_neighbours >= 1 and radius > 0"
EMPTY_ERROR = "empty input: LocalKriging::krige: no points to grid"


# --- an independent numpy ordinary-kriging oracle ------------------------------------------

def gamma(model, c0, c, a, h):
    h = np.asarray(h, dtype=float)
    r = h / a
    if model == "nugget":
        g = np.full_like(h, c0)
    elif model == "spherical":
        g = np.where(r >= 1.0, c0 + c, c0 + c * ((-0.5 * r) * r * r + 1.5 * r))
    elif model == "exponential":
        g = c0 + c * (1.0 - np.exp((-3.0 * h) / a))
    else:
        g = c0 + c * (1.0 - np.exp((-3.0 * r) * r))
    return np.where(h * h == 0.0, 0.0, g)


def dedup(points):
    merged = {}
    for x, y, z in points:
        key = struct.pack("<dd", x + 0.0, y + 0.0)
        merged.setdefault(key, [x, y, []])[2].append(z)
    return np.array([[x, y, sum(zs) / len(zs)] for x, y, zs in merged.values()])


def oracle(points, lattice, model, c0, c, a, k, radius):
    data = dedup(points)
    est = np.full((lattice.ncol, lattice.nrow), np.nan)
    var = np.full((lattice.ncol, lattice.nrow), np.nan)
    for i in range(lattice.ncol):
        for j in range(lattice.nrow):
            px, py = lattice.node_xy(i, j)
            dx, dy = data[:, 0] - px, data[:, 1] - py
            d2 = dx * dx + dy * dy
            order = [t for t in np.lexsort((np.arange(len(data)), d2)) if d2[t] <= radius * radius][:k]
            if not order:
                continue
            nb = data[order]
            d = np.sqrt(d2[order])
            if d[0] == 0.0:
                est[i, j], var[i, j] = nb[0, 2], 0.0
                continue
            m = len(order)
            h = np.hypot(nb[:, None, 0] - nb[None, :, 0], nb[:, None, 1] - nb[None, :, 1])
            A = np.ones((m + 1, m + 1))
            A[:m, :m] = gamma(model, c0, c, a, h)
            A[m, m] = 0.0
            b = np.append(gamma(model, c0, c, a, d), 1.0)
            x = np.linalg.solve(A, b)
            est[i, j] = x[:m] @ nb[:, 2]
            var[i, j] = max(x[m] + x[:m] @ b[:m], 0.0)
    return est, var


def krige(points, lattice, model, c0, c, a, k, radius):
    e, v = zk.local_kriging_grid(points, lattice, zk.Variogram(model, c0, c, a), k, radius)
    return np.array(e, dtype=float).reshape(lattice.ncol, lattice.nrow), \
        np.array(v, dtype=float).reshape(lattice.ncol, lattice.nrow)


def hook_args(points, lattice, model, c0, c, a, k, radius):
    return (points, lattice.xori, lattice.yori, lattice.xinc, lattice.yinc, lattice.ncol, lattice.nrow,
            lattice.rotation_deg, lattice.yflip, model, c0, c, a, k, radius)


def same_bits(a, b):
    return np.array(a, dtype=float).tobytes() == np.array(b, dtype=float).tobytes()


# --- the documented cases ------------------------------------------------------------------

def test_one_datum():
    lat = zk.Lattice(-50.0, 0.0, 50.0, 50.0, 5, 1)      # nodes at x = -50, 0, 50, 100, 150
    est, var = zk.local_kriging_grid([[0.0, 0.0, 5.0]], lat, zk.Variogram("spherical", 0, 1, 100), 4, 120.0)
    assert [c[0] for c in est[:4]] == [5.0, 5.0, 5.0, 5.0]
    assert [c[0] for c in var[:4]] == [1.375, 0.0, 1.375, 2.0]    # 2·γ(50), 0 at the datum, 2·γ(100)
    assert math.isnan(est[4][0]) and math.isnan(var[4][0])        # 150 > radius


def test_coincident_data_act_as_one_averaged_datum():
    lat = zk.Lattice(0.0, 0.0, 7.0, 9.0, 6, 5, rotation_deg=20.0)
    v = zk.Variogram("exp", 0.2, 1.0, 40.0)
    others = [[30.0, 5.0, -1.0], [5.0, 30.0, 4.0]]
    merged = zk.local_kriging_grid([[10.0, 10.0, 1.0]] + others + [[10.0, 10.0, 3.0]], lat, v, 3, 100.0)
    single = zk.local_kriging_grid([[10.0, 10.0, 2.0]] + others, lat, v, 3, 100.0)
    assert same_bits(merged, single)


def test_minus_zero_coordinates_merge_with_plus_zero():
    lat = zk.Lattice(-3.0, -3.0, 1.5, 1.5, 5, 5)
    v = zk.Variogram("gaussian", 0.0, 2.0, 10.0)
    a = zk.local_kriging_grid([[0.0, 0.0, 1.0], [-0.0, -0.0, 5.0], [2.0, 1.0, 0.0]], lat, v, 2, 10.0)
    b = zk.local_kriging_grid([[0.0, 0.0, 3.0], [2.0, 1.0, 0.0]], lat, v, 2, 10.0)
    assert same_bits(a, b)


def test_exactly_max_neighbours_and_a_datum_at_the_radius_are_used():
    # Node at the origin; data at distances 3 (the radius, a 3-4-5 triangle
    # gives exact squares), 2 and 1.
    points = [[1.8, 2.4, 10.0], [2.0, 0.0, 20.0], [0.0, -1.0, 30.0], [9.0, 9.0, 99.0]]
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 1, 1)
    args = ("spherical", 0.1, 1.0, 8.0)
    est, var = krige(points, lat, *args, 3, 3.0)
    ref_e, ref_v = oracle(points, lat, *args, 3, 3.0)
    np.testing.assert_allclose(est, ref_e, rtol=1e-12)
    np.testing.assert_allclose(var, ref_v, rtol=1e-12)
    without = krige(points, lat, *args, 3, 2.9999)[0]
    assert abs(without[0, 0] - est[0, 0]) > 1e-3


def test_node_beyond_every_datum_is_nan_in_both_grids():
    est, var = zk.local_kriging_grid([[0.0, 0.0, 1.0]], zk.Lattice(10.0, 10.0, 1.0, 1.0, 2, 2),
                                     zk.Variogram("sph", 0, 1, 5), 8, 5.0)
    assert all(math.isnan(x) for col in est + var for x in col)


def test_singular_system_leaves_only_that_node_undefined():
    # Two distinct locations 1e-200 apart: their squared separation underflows
    # to exactly 0, giving two identical rows.
    points = [[0.0, 0.0, 1.0], [1e-200, 0.0, 3.0], [100.0, 0.0, 7.0]]
    lat = zk.Lattice(0.0, 1.0, 100.0, 1.0, 2, 1)      # nodes (0, 1) and (100, 1)
    est, var = zk.local_kriging_grid(points, lat, zk.Variogram("sph", 0, 1, 50), 2, 10.0)
    assert math.isnan(est[0][0]) and math.isnan(var[0][0])
    assert est[1][0] == 7.0 and var[1][0] == 2 * 0.0 + 2 * (1.5 / 50 - 0.5 / 50 ** 3)


def test_nodes_on_data_are_honoured_exactly():
    rng = np.random.default_rng(3)
    lat = zk.Lattice(100.0, 200.0, 10.0, 10.0, 12, 9, rotation_deg=33.0, yflip=True)
    nodes = [(int(i), int(j)) for i, j in zip(rng.integers(0, 12, 30), rng.integers(0, 9, 30))]
    points = [[*lat.node_xy(i, j), float(rng.normal())] for i, j in nodes]
    points += [[float(x), float(y), float(rng.normal())] for x, y in rng.uniform(100, 220, size=(20, 2))]
    for model in ("spherical", "exponential", "gaussian", "nugget"):
        est, var = krige(points, lat, model, 0.3, 1.0, 50.0, 8, 80.0)
        merged = {tuple(p[:2]): p[2] for p in dedup(points).tolist()}
        for i, j in set(nodes):
            assert est[i, j] == merged[lat.node_xy(i, j)]
            assert var[i, j] == 0.0


# --- against the oracle --------------------------------------------------------------------

CASES = [
    # model, nugget, sill, range, k, radius, lattice args
    ("spherical", 0.0, 1.0, 300.0, 16, 1e6, (0.0, 0.0, 40.0, 40.0, 26, 24)),
    ("exponential", 0.1, 1.0, 300.0, 16, 250.0, (-50.0, -50.0, 45.0, 35.0, 25, 30)),
    ("gaussian", 0.05, 2.0, 200.0, 8, 150.0, (0.0, 0.0, 50.0, 50.0, 20, 20, 30.0)),
    ("nugget", 0.5, 0.0, 10.0, 5, 200.0, (10.0, 10.0, 60.0, 60.0, 16, 16)),
    ("spherical", 0.2, 0.8, 150.0, 1, 300.0, (0.0, 1000.0, 33.0, 33.0, 30, 30, 0.0, True)),
    ("exponential", 0.0, 3.0, 500.0, 100, 400.0, (0.0, 0.0, 100.0, 100.0, 11, 11)),
    ("spherical", 0.0, 1.0, 500.0, 500, 1e6, (0.0, 0.0, 250.0, 250.0, 5, 5)),
]


@pytest.mark.parametrize("model, c0, c, a, k, radius, lat_args", CASES)
def test_scattered_data_match_numpy_ordinary_kriging(model, c0, c, a, k, radius, lat_args):
    rng = np.random.default_rng(len(model) * 7 + k)
    xy = rng.uniform(0.0, 1000.0, size=(300, 2))
    points = [[x, y, float(z)] for (x, y), z in zip(xy.tolist(), rng.normal(size=300))]
    lat = zk.Lattice(*lat_args)
    est, var = krige(points, lat, model, c0, c, a, k, radius)
    ref_e, ref_v = oracle(points, lat, model, c0, c, a, k, radius)
    assert np.array_equal(np.isnan(est), np.isnan(ref_e)) and np.array_equal(np.isnan(var), np.isnan(ref_v))
    np.testing.assert_allclose(est, ref_e, rtol=1e-9, atol=1e-9)
    np.testing.assert_allclose(var, ref_v, rtol=1e-9, atol=1e-9)


@pytest.mark.parametrize("k, radius", [(4, 3.0), (9, 2.5), (12, math.sqrt(8.0)), (30, 10.0)])
def test_lattice_data_with_many_equal_distances_match_the_oracle(k, radius):
    # Data on an integer lattice, nodes on half-integers: ties at every rank,
    # broken by the earlier datum.
    rng = np.random.default_rng(k)
    cells = rng.permutation([(x, y) for x in range(12) for y in range(12)])[:100]
    points = [[float(x), float(y), float(rng.normal())] for x, y in cells]
    lat = zk.Lattice(-0.5, -0.5, 0.5, 0.5, 27, 27)
    est, var = krige(points, lat, "exponential", 0.1, 1.0, 6.0, k, radius)
    ref_e, ref_v = oracle(points, lat, "exponential", 0.1, 1.0, 6.0, k, radius)
    np.testing.assert_allclose(est, ref_e, rtol=1e-9, atol=1e-9)
    np.testing.assert_allclose(var, ref_v, rtol=1e-9, atol=1e-9)


BLOCK_CASES = [
    ("spherical", 0.0, 1.0, 300.0, 16, 1e6, (0.0, 0.0, 2.0, 2.0, 90, 70), 1000, 1000.0),
    ("exponential", 0.1, 1.0, 80.0, 16, 60.0, (0.0, 0.0, 7.0, 3.0, 60, 50, 45.0), 500, 400.0),
    ("gaussian", 0.0, 1.0, 50.0, 70, 200.0, (0.0, 0.0, 25.0, 25.0, 40, 40), 400, 1000.0),
    ("spherical", 0.1, 1.0, 40.0, 6, 15.0, (0.0, 0.0, 1.0, 1.0, 41, 41), 300, 40.0),       # lattice data
    ("exponential", 0.0, 1.0, 1e146, 8, 1e147, (1e145, 1e145, 1e144, 1e144, 12, 12), 60, 1e145),  # huge
    ("spherical", 0.0, 1.0, 5e-120, 5, 1e-119, (0.0, 0.0, 1e-121, 1e-121, 10, 10), 40, 1e-120),  # tiny
    # Dense data: blocks of 64 to 200 candidates, and lists that lose and
    # gain members at the radius from one node to the next.
    ("exponential", 0.0, 1.0, 20.0, 40, 1.8, (0.0, 0.0, 0.5, 0.5, 40, 40), 3000, 30.0),
    ("spherical", 0.0, 1.0, 20.0, 64, 4.0, (0.0, 0.0, 0.5, 0.5, 30, 30), 2000, 20.0),
    ("spherical", 0.0, 1.0, 20.0, 65, 4.0, (0.0, 0.0, 0.5, 0.5, 30, 30), 2000, 20.0),
]


@pytest.mark.parametrize("model, c0, c, a, k, radius, lat_args, n, extent", BLOCK_CASES)
def test_engine_equals_a_query_per_node_bit_for_bit(model, c0, c, a, k, radius, lat_args, n, extent):
    rng = np.random.default_rng(n)
    if model == "spherical" and c0 == 0.1:
        xy = rng.integers(0, 40, size=(n, 2)).astype(float)
    else:
        xy = lat_args[0] + rng.uniform(0.0, extent, size=(n, 2))
    points = [[x, y, float(z)] for (x, y), z in zip(xy.tolist(), rng.normal(size=n))]
    lat = zk.Lattice(*lat_args)
    args = hook_args(points, lat, model, c0, c, a, k, radius)
    reference = th.krige_node_by_node(*args)
    assert same_bits(th.krige_engine(*args), reference)
    assert same_bits(zk.local_kriging_grid(points, lat, zk.Variogram(model, c0, c, a), k, radius), reference)


@pytest.mark.parametrize("model, a", [("exponential", 1e17), ("exponential", 1e300), ("gaussian", 1e20)])
def test_ranges_far_beyond_the_data_give_finite_estimates(model, a):
    rnd = np.random.default_rng(3)
    points = np.column_stack([rnd.uniform(0, 200, (2, 30)).T, rnd.uniform(0, 1, 30)]).tolist()
    lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, 21, 21)
    est, var = krige(points, lat, model, 0.0, 1.0, a, 12, 1000.0)
    assert np.isfinite(est).all() and np.isfinite(var).all()
    if model == "exponential":  # gamma ~ 3h/a, linear like a spherical model at r << 1
        lin_est, lin_var = oracle(points, lat, "spherical", 0.0, 1.0, 1e12, 12, 1000.0)
        np.testing.assert_allclose([est, var * (a / 3.0)], [lin_est, lin_var * (1e12 / 1.5)], rtol=1e-9)


# --- flat crossing -------------------------------------------------------------------------

def test_flat_buffers_equal_the_nested_fields():
    rng = np.random.default_rng(9)
    points = [[float(x), float(y), float(z)] for x, y, z in rng.uniform(0, 100, size=(40, 3))]
    lat = zk.Lattice(0.0, 0.0, 4.0, 5.0, 23, 17)
    v = zk.Variogram("spherical", 0.1, 1.0, 60.0)
    est, var = zk.local_kriging_grid(points, lat, v, 6, 30.0)
    eb, vb, shape = zk.local_kriging_grid_flat(points, lat, v, 6, 30.0)
    assert shape == (23, 17) and len(eb) == len(vb) == 23 * 17 * 8
    assert type(eb) is bytes and type(vb) is bytes
    assert np.frombuffer(eb, dtype="<f8").reshape(23, 17).tobytes() == np.array(est).tobytes()
    assert np.frombuffer(vb, dtype="<f8").reshape(23, 17).tobytes() == np.array(var).tobytes()


@pytest.mark.parametrize("ncol, nrow", [(0, 0), (0, 4), (3, 0)])
def test_empty_lattices(ncol, nrow):
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, ncol, nrow)
    v = zk.Variogram("sph", 0, 1, 10)
    assert zk.local_kriging_grid([[0, 0, 1]], lat, v, 3, 5.0) == ([[]] * ncol, [[]] * ncol)
    assert zk.local_kriging_grid_flat([[0, 0, 1]], lat, v, 3, 5.0) == (b"", b"", (ncol, nrow))


# --- validation ----------------------------------------------------------------------------

@pytest.mark.parametrize("fn", [zk.local_kriging_grid, zk.local_kriging_grid_flat])
@pytest.mark.parametrize("coords, k, radius", [
    ([[0, 0, 1]], 0, 10.0),
    ([[0, 0, 1]], 5, 0.0),
    ([[0, 0, 1]], 5, -0.0),
    ([[0, 0, 1]], 5, -3.0),
    ([[0, 0, 1]], 5, math.nan),
    ([[0, 0, 1]], 5, math.inf),
    ([], 0, 10.0),                     # the parameter check comes first
    ([], 5, math.nan),
])
def test_parameter_errors(fn, coords, k, radius):
    with pytest.raises(ValueError) as exc:
        fn(coords, zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), k, radius)
    assert exc.value.args == (PARAM_ERROR,)


@pytest.mark.parametrize("fn", [zk.local_kriging_grid, zk.local_kriging_grid_flat])
def test_empty_coords(fn):
    with pytest.raises(ValueError) as exc:
        fn([], zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), 4, 10.0)
    assert exc.value.args == (EMPTY_ERROR,)


@pytest.mark.parametrize("fn", [zk.local_kriging_grid, zk.local_kriging_grid_flat])
@pytest.mark.parametrize("bad, index", [
    ([[0, 0, 1], [1, 1, math.nan]], 1),
    ([[math.inf, 0, 1]], 0),
    ([[0, 0, 1], [2, 2, 2], [0, -math.nan, 1]], 2),
])
def test_non_finite_data_are_rejected(fn, bad, index):
    with pytest.raises(ValueError) as exc:
        fn(bad, zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), 4, 10.0)
    assert str(exc.value) == (f"invalid argument: LocalKriging::krige: point {index} is not finite "
                              "(x, y and z must be finite)")


@pytest.mark.parametrize("fn", [zk.local_kriging_grid, zk.local_kriging_grid_flat])
@pytest.mark.parametrize("args, exc_type, message", [
    (([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 2, 2), zk.AnisotropicVariogram("sph", 10, 5, 1, 0), 4, 10.0),
     TypeError, r"argument 'variogram': 'AnisotropicVariogram' object is not an instance of 'Variogram'"),
    (([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 2, 2), "spherical", 4, 10.0),
     TypeError, r"argument 'variogram': 'str' object is not an instance of 'Variogram'"),
    (([[0, 0, 1]], {"ncol": 2}, zk.Variogram("sph", 0, 1, 10), 4, 10.0),
     TypeError, r"argument 'lattice': 'dict' object is not an instance of 'Lattice'"),
    (([[0, 0]], zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), 4, 10.0),
     ValueError, r"expected a sequence of length 3 \(got 2\)"),
    (("xyz", zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), 4, 10.0),
     TypeError, r"argument 'coords': Can't extract `str` to `Vec`"),
    (([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), 4.0, 10.0),
     TypeError, None),
    (([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10), -1, 10.0),
     OverflowError, None),
])
def test_argument_conversion_errors(fn, args, exc_type, message):
    with pytest.raises(exc_type) as exc:
        fn(*args)
    if message is not None:
        assert re.fullmatch(message, str(exc.value))


def test_keywords_and_arity():
    lat = zk.Lattice(0, 0, 1, 1, 2, 2)
    v = zk.Variogram("sph", 0, 1, 10)
    by_kw = zk.local_kriging_grid(radius=5.0, max_neighbours=3, variogram=v, lattice=lat, coords=[(0, 0, 1)])
    assert by_kw == zk.local_kriging_grid([(0, 0, 1)], lat, v, 3, 5.0)
    with pytest.raises(TypeError):
        zk.local_kriging_grid([(0, 0, 1)], lat, v, 3)
    with pytest.raises(TypeError):
        zk.local_kriging_grid_flat([(0, 0, 1)], lat, v, 3, 5.0, 1)


# --- interface -----------------------------------------------------------------------------

DOCS = {
    "local_kriging_grid": (
        "local_kriging_grid(coords, lattice, variogram, max_neighbours, radius)\n--\n\n"
        "Moving-neighbourhood ordinary kriging of `coords` onto `lattice` with\n"
        "`variogram`, using up to `max_neighbours` data within `radius` per node.\n"
        "Returns `(estimate, variance)` — two `ncol × nrow` nested-list fields\n"
        "(`field[col][row]`); a node with no data in range is `NaN` in both. The solve\n"
        "runs with the GIL released. For the flat crossing see `local_kriging_grid_flat`."),
    "local_kriging_grid_flat": (
        "local_kriging_grid_flat(coords, lattice, variogram, max_neighbours, radius)\n--\n\n"
        "Flat crossing of [`local_kriging_grid`]: returns\n"
        "`(estimate_bytes, variance_bytes, (ncol, nrow))` — the two fields as single\n"
        "little-endian `f64` `bytes` buffers (`field[col][row]`) instead of boxed\n"
        "nested lists. `np.frombuffer(estimate_bytes, dtype='<f8').reshape(ncol, nrow)`."),
}


@pytest.mark.parametrize("name", sorted(DOCS))
def test_docstrings_and_signatures(name):
    fn = getattr(_zaviktools, name)
    sig, _, text = DOCS[name].partition("\n--\n\n")
    assert fn.__text_signature__ == sig[len(name):]
    assert fn.__doc__ == text
    assert fn.__module__ == "zaviktools._zaviktools"


def test_registered_right_after_experimental_variogram():
    names = list(vars(_zaviktools))
    at = names.index("experimental_variogram")
    assert names[at + 1:at + 3] == ["local_kriging_grid", "local_kriging_grid_flat"]


@pytest.mark.parametrize("lat_args", [
    (0.0, 0.0, math.nan, 1.0, 3, 3),
    (0.0, 0.0, math.inf, 1.0, 3, 3),
    (math.nan, 0.0, 1.0, 1.0, 2, 2),
])
def test_lattices_with_non_finite_geometry_give_undefined_nodes(lat_args):
    lat = zk.Lattice(*lat_args)
    est, var = zk.local_kriging_grid([[0, 0, 1], [1, 1, 2]], lat, zk.Variogram("sph", 0, 1, 10), 3, 5.0)
    assert all(math.isnan(x) for col in est + var for x in col)


def test_lattice_too_large_to_hold_is_an_error_not_a_crash():
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 2**31, 2**31)
    with pytest.raises(ValueError) as exc:
        zk.local_kriging_grid_flat([[0, 0, 1]], lat, zk.Variogram("sph", 0, 1, 10), 3, 5.0)
    assert str(exc.value).startswith("invalid argument: field: ")


@pytest.mark.parametrize("model", ["spherical", "exponential", "gaussian"])
def test_estimates_agree_with_pykrige_where_the_neighbours_agree(model):
    pykrige_ok = pytest.importorskip("pykrige.ok")
    spatial = pytest.importorskip("scipy.spatial")
    rng = np.random.default_rng(21)
    xy = rng.uniform(0.0, 500.0, size=(200, 2))
    z = rng.normal(size=200)
    gx, gy = np.arange(30) * 17.0, np.arange(25) * 20.0
    # PyKrige's exponential takes the practical range too; its Gaussian scales
    # the range by 4/7 inside the square, so the same model has range a·7/(4√3).
    pk_range = 180.0 * 7.0 / (4.0 * math.sqrt(3.0)) if model == "gaussian" else 180.0
    ok = pykrige_ok.OrdinaryKriging(xy[:, 0], xy[:, 1], z, variogram_model=model,
                                    variogram_parameters={"psill": 1.5, "range": pk_range, "nugget": 0.2})
    pk, _ = ok.execute("grid", gx, gy, n_closest_points=12, backend="C")
    lat = zk.Lattice(0.0, 0.0, 17.0, 20.0, 30, 25)
    est, _ = krige(np.column_stack([xy, z]).tolist(), lat, model, 0.2, 1.5, 180.0, 12, 1e9)
    X, Y = np.meshgrid(gx, gy, indexing="ij")
    d, _ = spatial.cKDTree(xy).query(np.column_stack([X.ravel(), Y.ravel()]), k=13)
    unambiguous = (d[:, 12] > d[:, 11]).reshape(30, 25)
    assert unambiguous.mean() > 0.99
    np.testing.assert_allclose(est[unambiguous], np.asarray(pk).T[unambiguous], rtol=1e-9, atol=1e-9)
