"""Local kriging on several worker threads and on the scalar and four-lane
solve paths: the grids are the same bits whatever runs them."""

import multiprocessing
import os
import subprocess
import sys

import numpy as np
import pytest

import zaviktools as zk
from conftest import require_testhooks

th = require_testhooks()


def scene(seed, n, extent, lat, singular=False):
    rng = np.random.default_rng(seed)
    xy = rng.uniform(0.0, extent, size=(n, 2))
    points = [[x, y, float(z)] for (x, y), z in zip(xy.tolist(), rng.normal(size=n))]
    if singular:
        # Two locations 1e-200 apart: their squared separation underflows to 0,
        # so every node that takes both has a singular system.
        points += [[0.0, 0.0, 1.0], [1e-200, 0.0, 3.0]]
    return points, lat


SCENES = [
    # data outside most of the lattice: undefined nodes (radius), singular nodes
    (scene(1, 200, 300.0, [0.0, 0.0, 7.0, 5.0, 61, 83, 0.0, 0.0], singular=True), "spherical", 16, 60.0),
    (scene(2, 400, 500.0, [-50.0, 0.0, 9.0, 9.0, 70, 50, 30.0, 1.0], singular=True), "exponential", 32, 120.0),
    (scene(3, 150, 200.0, [0.0, 0.0, 3.0, 3.0, 45, 45, 0.0, 0.0]), "gaussian", 7, 1e6),
    (scene(4, 300, 100.0, [0.5, -4.0, 1.0, 1.0, 101, 9, 0.0, 0.0], singular=True), "spherical", 64, 30.0),
]


@pytest.mark.parametrize("case", range(len(SCENES)))
def test_every_thread_count_and_path_gives_the_same_bits(case):
    (points, lat), model, k, radius = SCENES[case]
    runs = {(t, p): th.krige_run(points, lat, model, 0.1, 1.0, 80.0, k, radius, t, p)
            for t in (1, 2, 3, 7) for p in ("scalar", "vector", "auto")}
    reference = runs[(1, "scalar")]
    assert all(r == reference for r in runs.values())
    est = np.frombuffer(reference[0], dtype="<f8")
    assert np.isfinite(est).any() and (radius > 1e5 or np.isnan(est).any())
    if [1e-200, 0.0, 3.0] in points:  # a node next to the singular pair is undefined
        assert np.isnan(est[0]) or np.isnan(est[1])
    # The public call (default threads and path) and the one-node-at-a-time
    # reference sweep agree too.
    args = (points, *lat[:6], lat[6], bool(lat[7]), model, 0.1, 1.0, 80.0, k, radius)
    nested = th.krige_node_by_node(*args)
    assert np.array(nested[0]).tobytes() == reference[0]
    assert np.array(nested[1]).tobytes() == reference[1]


def test_singular_nodes_are_undefined_on_every_path():
    points = [[0.0, 0.0, 1.0], [1e-200, 0.0, 3.0], [100.0, 0.0, 7.0]]
    lat = [0.0, 1.0, 100.0, 1.0, 2, 1, 0.0, 0.0]
    for t in (1, 2):
        for p in ("scalar", "vector"):
            e, v = (np.frombuffer(b, dtype="<f8") for b in th.krige_run(points, lat, "sph", 0, 1, 50, 2, 10.0, t, p)[:2])
            assert np.isnan(e[0]) and np.isnan(v[0]) and e[1] == 7.0


def kriging_matrix(rng, m):
    xy = rng.uniform(0.0, 100.0, size=(m, 2))
    h = np.hypot(xy[:, None, 0] - xy[None, :, 0], xy[:, None, 1] - xy[None, :, 1])
    a = np.ones((m + 1, m + 1))
    a[:m, :m] = np.where(h == 0.0, 0.0, 0.1 + (1.0 - np.exp(-3.0 * h / 60.0)))
    a[m, m] = 0.0
    return a


@pytest.mark.parametrize("n", [1, 2, 3, 4, 5, 7, 8, 9, 16, 17, 33, 65])
def test_lu_paths_agree_bit_for_bit_with_each_other_and_scipy(n):
    from scipy.linalg import lu_factor

    rng = np.random.default_rng(n)
    for a in (rng.normal(size=(n, n)), kriging_matrix(rng, n - 1) if n > 1 else np.array([[2.0]])):
        flat = a.ravel().tolist()
        scalar = th.lu_factor_path(flat, n, "scalar")
        assert th.lu_factor_path(flat, n, "vector") == scalar == th.lu_factor_path(flat, n, "auto")
        ok, lu, perm = scalar
        assert ok
        # LAPACK's getrf makes the same pivot choices on these matrices.
        ref, piv = lu_factor(a)
        np.testing.assert_allclose(np.array(lu).reshape(n, n), ref, rtol=1e-9, atol=1e-9)
        expect = list(range(n))
        for i, p in enumerate(piv):
            expect[i], expect[p] = expect[p], expect[i]
        assert perm == expect


def test_lu_paths_report_singular_columns_alike():
    a = [1.0, 2.0, 3.0, 2.0, 4.0, 6.0, 1.0, 0.0, 1.0]
    assert th.lu_factor_path(a, 3, "vector")[0] is th.lu_factor_path(a, 3, "scalar")[0] is False


@pytest.mark.parametrize("text, expected", [
    ("1", 1), ("4", 4), (" 8\n", 8), ("007", 7), ("256", 256), ("300", 256), ("9" * 40, 256),
    ("", None), ("  ", None), ("0", None), ("-2", None), ("+2", None), ("2.0", None), ("1e3", None),
    ("two", None), ("3 4", None), ("0x4", None), ("٣", None),
])
def test_thread_count_setting_parsing(text, expected):
    assert th.thread_settings(text)[1] == expected


def child_thread_count(value):
    env = {k: v for k, v in os.environ.items() if k != "ZAVIKTOOLS_NUM_THREADS"}
    if value is not None:
        env["ZAVIKTOOLS_NUM_THREADS"] = value
    code = "from zaviktools import _testhooks as th; print(th.thread_settings('')[2:])"
    out = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
    return eval(out.stdout)


def test_environment_variable_sets_the_default_and_bad_values_keep_it():
    cpus = len(os.sched_getaffinity(0))
    assert child_thread_count(None) == (min(cpus, 256), cpus)
    assert child_thread_count("3") == (3, cpus)
    assert child_thread_count("1") == (1, cpus)
    for bad in ("0", "-1", "many", "2.5", ""):
        assert child_thread_count(bad) == (min(cpus, 256), cpus)


def test_the_setting_is_read_at_each_call_with_the_lock_held():
    cpus = min(len(os.sched_getaffinity(0)), 256)
    points = [[float(i % 7), float(i // 7), float(i % 5)] for i in range(40)]
    lat, v = zk.Lattice(0.0, 0.0, 0.5, 0.5, 100, 100), zk.Variogram("exponential", 0.1, 1.0, 5.0)
    saved = os.environ.pop("ZAVIKTOOLS_NUM_THREADS", None)
    grids = []
    try:
        for value, expected in [("2", 2), ("1", 1), ("bad", cpus), ("999", 256), (None, cpus)]:
            os.environ.pop("ZAVIKTOOLS_NUM_THREADS", None)
            if value is not None:
                os.environ["ZAVIKTOOLS_NUM_THREADS"] = value
            assert th.thread_settings("")[2] == expected
            grids.append(zk.local_kriging_grid_flat(points, lat, v, 8, 3.0))
    finally:
        os.environ.pop("ZAVIKTOOLS_NUM_THREADS", None)
        if saved is not None:
            os.environ["ZAVIKTOOLS_NUM_THREADS"] = saved
    assert all(g == grids[0] for g in grids)


FORK_SCENE = {}


def grid_in_child(_=None):
    # The lattice is not picklable: the forked child inherits the scene.
    points, lat, v = FORK_SCENE["scene"]
    e, var, shape = zk.local_kriging_grid_flat(points, lat, zk.Variogram(*v), 12, 1e6)
    return e, var


def test_a_forked_process_can_krige_after_a_threaded_call():
    rng = np.random.default_rng(5)
    points = [[float(x), float(y), float(z)] for x, y, z in rng.uniform(0, 500, size=(300, 3))]
    lat = zk.Lattice(0.0, 0.0, 5.0, 5.0, 100, 100)       # large enough for every worker
    FORK_SCENE["scene"] = (points, lat, ("exponential", 0.1, 1.0, 200.0))
    os.environ["ZAVIKTOOLS_NUM_THREADS"] = "3"
    try:
        parent = grid_in_child()
        ctx = multiprocessing.get_context("fork")
        with ctx.Pool(2) as pool:
            children = pool.map(grid_in_child, range(2), chunksize=1)
    finally:
        del os.environ["ZAVIKTOOLS_NUM_THREADS"]
        FORK_SCENE.clear()
    assert all(c == parent for c in children)
