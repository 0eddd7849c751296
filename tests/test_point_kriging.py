"""krige_points and krige_grid: the bits of local_kriging_grid at lattice
nodes (any rotation, flip, neighbourhood and thread count), anisotropic
kriging against PyKrige and against a numpy oracle of the moving
neighbourhood, and the input checks."""

import math

import numpy as np
import pytest

import zaviktools as zk
from zaviktools import _study

# (seed, data, extent, lattice args, model, k, radius); some with coincident
# data and a pair 1e-200 apart (a singular system at the nodes that take both).
SCENES = [
    (1, 200, 300.0, (0.0, 0.0, 7.0, 5.0, 41, 53), {}, "spherical", 16, 60.0),
    (2, 300, 500.0, (-50.0, 0.0, 9.0, 9.0, 50, 40), {"rotation_deg": 30.0, "yflip": True}, "exponential", 32, 120.0),
    (3, 150, 200.0, (0.0, 0.0, 3.0, 3.0, 45, 45), {"rotation_deg": 287.5}, "gaussian", 7, 1e6),
    (4, 120, 100.0, (0.5, -4.0, 1.0, 1.0, 101, 9), {}, "spherical", 64, 30.0),
]


def scene_data(seed, n, extent, twins=True):
    rng = np.random.default_rng(seed)
    data = np.column_stack([rng.uniform(0.0, extent, size=(n, 2)), rng.normal(size=n)])
    if twins:
        data = np.vstack([data, data[:5] * [1, 1, -1], [[0.0, 0.0, 1.0], [1e-200, 0.0, 3.0]]])
    return data


def node_targets(lat):
    return np.array([lat.node_xy(i, j) for i in range(lat.ncol) for j in range(lat.nrow)])


@pytest.mark.parametrize("case", range(len(SCENES)))
def test_points_at_nodes_and_grids_are_the_lattice_bits(case):
    seed, n, extent, geometry, options, model, k, radius = SCENES[case]
    data = scene_data(seed, n, extent)
    lat = zk.Lattice(*geometry, **options)
    vg = zk.Variogram(model, 0.1, 1.0, 80.0)
    est, var, shape = zk.local_kriging_grid_flat(data.tolist(), lat, vg, k, radius)
    targets = node_targets(lat)
    # the targets shuffled, so the buckets hold them in another order
    order = np.random.default_rng(seed).permutation(len(targets))
    for threads in (1, 2, 3, 7):
        pe, pv = _study.krige_points(data, targets[order], vg, k, radius, threads)
        back = np.empty_like(targets[:, 0])
        back[order] = np.frombuffer(pe)
        assert back.tobytes() == est
        back[order] = np.frombuffer(pv)
        assert back.tobytes() == var
        ge, gv, gshape = _study.krige_grid(data, lat, vg, k, radius, threads)
        assert (bytes(ge), bytes(gv), gshape) == (est, var, shape)
    e, v = zk.krige_grid(data, lat, vg, k, radius)
    assert e.shape == shape and e.tobytes() == est and v.tobytes() == var
    assert np.isfinite(e).any() and (radius > 1e5 or np.isnan(e).any())


def test_points_share_the_lattice_rules():
    # a node on a datum takes its merged value with variance 0; one datum in
    # range gives 2 gamma(d); none gives NaN, as does a target that is not finite
    vg = zk.Variogram("sph", 0.0, 1.0, 100.0)
    data = [[0.0, 0.0, 1.0], [0.0, 0.0, 3.0], [500.0, 0.0, 9.0]]
    est, var = zk.krige_points(data, [[0, 0], [50, 0], [250, 0], [math.nan, 0], [math.inf, 0]], vg, 4, 60.0)
    assert est[:2].tolist() == [2.0, 2.0] and var[:2].tolist() == [0.0, 1.375]
    assert np.isnan(est[2:]).all() and np.isnan(var[2:]).all()
    est, var = zk.krige_points(data, np.empty((0, 2)), vg, 4, 60.0)
    assert est.shape == var.shape == (0,)
    assert est.flags.writeable and est.dtype == np.float64


def test_clustered_targets_and_targets_on_one_spot():
    # one bucket holding everything (a cluster far from the rest, many equal
    # targets): the split into quadrants must still give the direct bits
    rng = np.random.default_rng(5)
    data = np.column_stack([rng.uniform(0, 1000, (500, 2)), rng.normal(size=500)])
    targets = np.vstack([rng.uniform(0, 1, (3000, 2)), np.full((300, 2), 500.0), [[1e6, 1e6]]])
    vg = zk.Variogram("exp", 0.0, 1.0, 300.0)
    grouped = _study.krige_points(data, targets, vg, 12, 1e9, 2)
    one_by_one = [_study.krige_points(data, t[None, :], vg, 12, 1e9, 1) for t in targets[::97]]
    assert [bytes(e)[:8] for e, _ in one_by_one] == [bytes(grouped[0])[8 * i:8 * i + 8] for i in range(0, 3301, 97)]


def anisotropic_oracle(data, targets, model, nugget, sill, major, minor, azimuth, k, radius):
    """Moving-neighbourhood ordinary kriging in numpy: the k nearest data by the
    variogram's reduced distance within `radius`, the system solved densely."""
    theta = math.radians(azimuth)
    s, c = math.sin(theta), math.cos(theta)

    def reduced(dx, dy):
        along, across = dy * c + dx * s, (dx * c - dy * s) * major / minor
        return np.sqrt(along * along + across * across)

    def gamma(h):
        r = h / major
        shape = {"spherical": np.where(r >= 1, 1.0, 1.5 * r - 0.5 * r ** 3),
                 "exponential": 1 - np.exp(-3 * r), "gaussian": 1 - np.exp(-3 * r * r)}[model]
        return np.where(h == 0, 0.0, nugget + sill * shape)

    out = []
    for tx, ty in targets:
        h = reduced(data[:, 0] - tx, data[:, 1] - ty)
        near = [i for i in np.argsort(h, kind="stable")[:k] if h[i] <= radius]
        if not near:
            out.append((math.nan, math.nan))
            continue
        m = len(near)
        a = np.ones((m + 1, m + 1))
        a[m, m] = 0.0
        pts = data[near]
        a[:m, :m] = gamma(reduced(pts[:, None, 0] - pts[None, :, 0], pts[:, None, 1] - pts[None, :, 1]))
        b = np.append(gamma(h[near]), 1.0)
        w = np.linalg.solve(a, b)
        out.append((w[:m] @ pts[:, 2], max(w @ b, 0.0)))
    return np.array(out).T


@pytest.mark.parametrize("model", ["spherical", "exponential", "gaussian"])
@pytest.mark.parametrize("azimuth, ratio", [(0.0, 3.0), (30.0, 2.5), (125.5, 4.0), (270.0, 1.0)])
def test_anisotropic_kriging_matches_pykrige_and_the_oracle(model, azimuth, ratio):
    pykrige = pytest.importorskip("pykrige.ok")
    rng = np.random.default_rng(int(azimuth * 10) + len(model))
    data = np.column_stack([rng.uniform(0, 100, (40, 2)), rng.normal(size=40)])
    targets = np.vstack([rng.uniform(-10, 110, (30, 2)), data[:2, :2]])
    major, nugget, sill = 60.0, 0.1, 1.0
    av = zk.AnisotropicVariogram(model, major, major / ratio, 5.0, azimuth, sill=sill, nugget=nugget)
    # PyKrige: angle counter-clockwise from east, the minor axis stretched by
    # the ratio; its gaussian range is the practical range times 7 / (4 sqrt 3).
    pk_range = major * 7 / (4 * math.sqrt(3)) if model == "gaussian" else major
    ok = pykrige.OrdinaryKriging(data[:, 0], data[:, 1], data[:, 2], variogram_model=model,
                                 variogram_parameters={"psill": sill, "range": pk_range, "nugget": nugget},
                                 anisotropy_scaling=ratio, anisotropy_angle=90.0 - azimuth)
    est, var = zk.krige_points(data, targets, av, 100, 1e9)
    pe, pv = ok.execute("points", targets[:, 0], targets[:, 1])
    np.testing.assert_allclose(est, pe, rtol=0, atol=1e-10)
    np.testing.assert_allclose(var, pv, rtol=0, atol=1e-10)
    assert est[-2:].tolist() == data[:2, 2].tolist() and var[-2:].tolist() == [0.0, 0.0]
    # the moving neighbourhood and the radius in major-axis units
    for k, radius in ((6, 1e9), (10, 35.0)):
        est, var = zk.krige_points(data, targets[:-2], av, k, radius)
        oe, ov = anisotropic_oracle(data, targets[:-2], model, nugget, sill, major, major / ratio, azimuth, k, radius)
        np.testing.assert_array_equal(np.isnan(est), np.isnan(oe))
        np.testing.assert_allclose(est, oe, rtol=0, atol=1e-10)
        np.testing.assert_allclose(var, ov, rtol=0, atol=1e-10)


@pytest.mark.parametrize("model", ["nugget", "spherical", "exponential", "gaussian"])
def test_anisotropic_system_is_built_from_gamma_offset(model):
    # one neighbour: the datum's value, variance 2 gamma, bit for bit that of
    # AnisotropicVariogram.gamma_offset at the offset; the neighbour is the
    # nearest by anisotropic_distance
    rng = np.random.default_rng(len(model))
    data = np.column_stack([rng.uniform(0, 100, (60, 2)), rng.normal(size=60)])
    targets = rng.uniform(-20, 120, (300, 2))
    av = zk.AnisotropicVariogram(model, 50.0, 12.0, 3.0, rng.uniform(0, 360), sill=0.7, nugget=0.2)
    est, var = zk.krige_points(data, targets, av, 1, 1e9)
    for (px, py), e, v in zip(targets, est, var):
        j = min(range(60), key=lambda i: av.anisotropic_distance(data[i, 0] - px, data[i, 1] - py))
        assert (e, v) == (data[j, 2], 2 * av.gamma_offset(data[j, 0] - px, data[j, 1] - py))


def test_anisotropic_grid_is_the_points_at_its_nodes():
    data = scene_data(8, 200, 400.0)
    lat = zk.Lattice(-20.0, 10.0, 6.0, 4.0, 70, 90, rotation_deg=33.0, yflip=True)
    av = zk.AnisotropicVariogram("exp", 150.0, 40.0, 10.0, 70.0, sill=0.9, nugget=0.1)
    runs = {t: _study.krige_grid(data, lat, av, 16, 90.0, t) for t in (1, 3)}
    assert runs[1] == runs[3]
    pe, pv = _study.krige_points(data, node_targets(lat), av, 16, 90.0, 2)
    assert (pe, pv) == runs[1][:2]
    e = np.frombuffer(runs[1][0])
    assert np.isnan(e).any() and np.isfinite(e).any()
    # equal ranges: the isotropic answer, up to the rounding of the rotation
    iso = zk.AnisotropicVariogram("exp", 150.0, 150.0, 10.0, 70.0, sill=0.9, nugget=0.1)
    e1, v1 = zk.krige_grid(data[:-2], lat, iso, 16, 90.0)
    e2, v2 = zk.krige_grid(data[:-2], lat, zk.Variogram("exp", 0.1, 0.9, 150.0), 16, 90.0)
    np.testing.assert_allclose(e1, e2, rtol=0, atol=1e-12)
    np.testing.assert_allclose(v1, v2, rtol=0, atol=1e-12)


VG = zk.Variogram("sph", 0.0, 1.0, 10.0)


@pytest.mark.parametrize("call, error, text", [
    (lambda: zk.krige_points([[0, 0, 1]], [[0, 0]], VG, 0, 5.0), ValueError,
     "invalid argument: krige_points: need max_neighbours >= 1 and radius > 0"),
    (lambda: zk.krige_points([], [[0, 0]], VG, 0, 5.0), ValueError,
     "invalid argument: krige_points: need max_neighbours >= 1 and radius > 0"),
    (lambda: zk.krige_points([[0, 0, 1]], [[0, 0]], VG, 4, math.inf), ValueError,
     "invalid argument: krige_points: need max_neighbours >= 1 and radius > 0"),
    (lambda: zk.krige_points([], [[0, 0]], VG, 4, 5.0), ValueError, "empty input: krige_points: no data"),
    (lambda: zk.krige_points([[0, 0, 1], [1, 2, math.nan]], [[0, 0]], VG, 4, 5.0), ValueError,
     "invalid argument: krige_points: point 1 is not finite (x, y and z must be finite)"),
    (lambda: zk.krige_grid([[0, 0, 1], [math.inf, 2, 0]], zk.Lattice(0, 0, 1, 1, 2, 2), VG, 4, 5.0), ValueError,
     "invalid argument: krige_grid: point 1 is not finite (x, y and z must be finite)"),
    (lambda: zk.krige_grid([], zk.Lattice(0, 0, 1, 1, 2, 2), VG, 4, 5.0), ValueError,
     "empty input: krige_grid: no data"),
    (lambda: zk.krige_points([[0, 0, 1]], [[0, 0, 0]], VG, 4, 5.0), ValueError,
     "targets must be an (N, 2) array of [x, y] rows, got shape (1, 3)"),
    (lambda: zk.krige_points([0, 0, 1], [[0, 0]], VG, 4, 5.0), ValueError,
     "coords must be an (N, 3) array of [x, y, z] rows, got shape (3,)"),
    (lambda: zk.krige_points([[0, 0, 1]], [[0, 0]], "sph", 4, 5.0), ValueError,
     "expected Variogram or AnisotropicVariogram"),
    (lambda: zk.krige_grid([[0, 0, 1]], None, VG, 4, 5.0), TypeError,
     "argument 'lattice': 'NoneType' object is not an instance of 'Lattice'"),
    (lambda: zk.krige_points([[0, 0, 1]], [[0, 0]], VG, -1, 5.0), OverflowError, None),
    (lambda: _study.krige_points([[0, 0, 1]], bytes(16), VG, 4, 5.0), TypeError,
     "argument 'coords': 'list' object is not an instance of 'buffer'"),
    (lambda: _study.krige_points(bytes(24), bytes(12), VG, 4, 5.0), ValueError,
     "a buffer of 12 bytes is not a whole number of float64 values"),
    (lambda: _study.krige_points(bytes(16), bytes(16), VG, 4, 5.0), ValueError,
     "coords: 2 values are not whole rows of 3"),
    (lambda: _study.krige_points(np.zeros(3, np.float32), bytes(16), VG, 4, 5.0), TypeError,
     "argument 'coords': expected float64 values, got a buffer of format 'f'"),
    (lambda: _study.krige_points(np.zeros(6)[::2], bytes(16), VG, 4, 5.0), TypeError,
     "argument 'coords': expected float64 values, got a buffer that is not C-contiguous"),
    (lambda: _study.krige_points(bytes(24), bytes(16), VG, 4, 5.0, 0), ValueError, "threads must be >= 1"),
])
def test_input_checks(call, error, text):
    with pytest.raises(error) as info:
        call()
    if text is not None:
        assert str(info.value) == text


def test_raw_bytes_are_little_endian_rows():
    data = np.array([[0.0, 0.0, 1.0], [10.0, 0.0, 3.0]])
    targets = np.array([[5.0, 0.0]])
    as_bytes = _study.krige_points(data.astype("<f8").tobytes(), bytearray(targets.tobytes()), VG, 4, 50.0)
    as_arrays = _study.krige_points(data, memoryview(targets), VG, 4, 50.0)
    assert as_bytes == as_arrays and np.frombuffer(as_bytes[0]).tolist() == [2.0]
