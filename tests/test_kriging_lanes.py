"""Nodes solved four at a time (one system per AVX2 lane) against the
one-node-at-a-time sweep and the scalar solve, over generated scenes: ties
in distance and in semivariance (pivot ties), neighbour counts that change
from node to node (radius), singular lanes, nodes on data, and target
counts that leave lanes idle. Every grid must be the same bits."""

import numpy as np
import pytest

import zaviktools as zk
from conftest import require_testhooks
from zaviktools import _study

th = require_testhooks()

MODELS = ("spherical", "exponential", "gaussian", "nugget")


def generated_scene(seed):
    rng = np.random.default_rng(1000 + seed)
    n = int(rng.integers(5, 260))
    if seed % 3 == 0:  # lattice data: equal distances and equal semivariances everywhere
        xy = rng.integers(0, 25, size=(n, 2)).astype(float)
    else:
        xy = rng.uniform(0.0, 60.0, size=(n, 2))
    z = rng.normal(size=n)
    points = [[x, y, float(v)] for (x, y), v in zip(xy.tolist(), z)]
    if seed % 4 == 1:  # a pair whose squared separation underflows: singular lanes
        points += [[10.0, 10.0, 1.0], [10.0 + 1e-200, 10.0, 2.0]]
    ncol, nrow = int(rng.integers(1, 40)), int(rng.integers(1, 40))
    inc = float(rng.choice([0.5, 1.0, 1.7]))
    lat = [float(rng.uniform(-5, 5)), float(rng.uniform(-5, 5)), inc, inc, ncol, nrow,
           float(rng.choice([0.0, 33.0])), 0.0]
    model = MODELS[seed % len(MODELS)]
    k = int(rng.choice([1, 2, 3, 4, 5, 8, 16, 17, 33]))
    radius = float(rng.choice([3.0, 6.0, 15.0, 1e9]))
    a = float(rng.choice([4.0, 20.0, 300.0]))
    return points, lat, model, k, radius, a


@pytest.mark.parametrize("seed", range(24))
def test_lane_solves_equal_the_node_by_node_sweep(seed):
    points, lat, model, k, radius, a = generated_scene(seed)
    runs = {p: th.krige_run(points, lat, model, 0.1, 1.0, a, k, radius, 1, p) for p in ("vector", "scalar", "auto")}
    assert runs["vector"] == runs["scalar"] == runs["auto"]
    args = (points, *lat[:6], lat[6], bool(lat[7]), model, 0.1, 1.0, a, k, radius)
    nested = th.krige_node_by_node(*args)
    assert np.array(nested[0], dtype=float).tobytes() == runs["vector"][0]
    assert np.array(nested[1], dtype=float).tobytes() == runs["vector"][1]


@pytest.mark.parametrize("seed", range(0, 24, 5))
def test_target_counts_that_leave_lanes_idle(seed):
    # krige_points on 1, 2, 3, 5, ... targets (lone lane, padded lane sets)
    # gives the bits of the grid at those nodes.
    points, lat, model, k, radius, a = generated_scene(seed)
    grid = zk.Lattice(*lat[:6], rotation_deg=lat[6])
    vg = zk.Variogram(model, 0.1, 1.0, a)
    est, var, _ = zk.local_kriging_grid_flat(points, grid, vg, k, radius)
    est, var = np.frombuffer(est), np.frombuffer(var)
    nodes = np.array([grid.node_xy(i, j) for i in range(grid.ncol) for j in range(grid.nrow)])
    rng = np.random.default_rng(seed)
    for count in (1, 2, 3, 5, 6, 7, 9):
        pick = rng.integers(0, len(nodes), size=count)
        pe, pv = _study.krige_points(np.array(points), nodes[pick], vg, k, radius, 1)
        assert np.frombuffer(pe).tobytes() == est[pick].tobytes()
        assert np.frombuffer(pv).tobytes() == var[pick].tobytes()
