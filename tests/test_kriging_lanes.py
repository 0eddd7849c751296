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


@pytest.mark.parametrize("k", [3, 16, 17])
def test_targets_sharing_a_neighbour_list_share_its_factors(k):
    # 700 targets at 9 places (more than one batch of lists, every list met
    # again and again, in shuffled order): each equals that target kriged
    # alone, also beside a pair whose separation squares to 0 (singular).
    rng = np.random.default_rng(k)
    xy = rng.uniform(0.0, 40.0, size=(60, 2))
    points = np.column_stack([xy, rng.normal(size=60)])
    points = np.vstack([points, [[0.0, 0.0, 1.0], [1e-200, 0.0, 2.0]]])
    places = np.vstack([rng.uniform(5.0, 35.0, size=(8, 2)), [[0.3, 0.1]]])
    targets = places[rng.integers(0, len(places), size=700)]
    vg = zk.Variogram("exponential", 0.0, 1.0, 15.0)
    est, var = (np.frombuffer(b) for b in _study.krige_points(points, targets, vg, k, 1e9, 1))
    for i in range(len(places)):
        alone = [np.frombuffer(b)[0] for b in _study.krige_points(points, places[i:i + 1], vg, k, 1e9, 1)]
        at = (targets == places[i]).all(axis=1)
        assert est[at].tobytes() == np.full(at.sum(), alone[0]).tobytes()
        assert var[at].tobytes() == np.full(at.sum(), alone[1]).tobytes()
    assert np.isnan(est).any() and np.isfinite(est).sum() > 0


@pytest.mark.parametrize("k", [1, 2, 5, 16, 17, 24, 33])
@pytest.mark.parametrize("radius", [2.0, 4.0, 1e9])
def test_dense_grids_share_lists_at_every_size(k, radius):
    # A fine grid over sparse data: most nodes share their ordered list with
    # others (solved from another node's factors), at every neighbour count
    # and where the radius makes counts differ from node to node.
    rng = np.random.default_rng(k)
    points = np.column_stack([rng.uniform(0.0, 12.0, size=(40, 2)), rng.normal(size=40)]).tolist()
    lat = [0.1, 0.2, 0.2, 0.2, 60, 55, 0.0, 0.0]
    runs = [th.krige_run(points, lat, "spherical", 0.05, 1.0, 8.0, k, radius, 1, p)[:2] for p in ("vector", "scalar")]
    assert runs[0] == runs[1]
    nested = th.krige_node_by_node(points, *lat[:6], 0.0, False, "spherical", 0.05, 1.0, 8.0, k, radius)
    assert np.array(nested[0], dtype=float).tobytes() == runs[0][0]
    assert np.array(nested[1], dtype=float).tobytes() == runs[0][1]


@pytest.mark.parametrize("k", [3, 8, 16])
def test_equidistant_data_keep_their_insertion_order_from_node_to_node(k):
    # Data on the integer lattice, inserted in shuffled order, and nodes on
    # half-integers and integers: rings of equal distance everywhere, so each
    # node's list (started from its neighbour's) must re-break ties by
    # insertion. Blocks far from every datum sit between blocks with data.
    rng = np.random.default_rng(k)
    xs = [0, 1, 2, 3, 20, 21, 22, 23]  # blocks in the gap have no candidates at all
    cells = np.array([(xs[c % 8], c // 8) for c in rng.permutation(96)], dtype=float)
    points = np.column_stack([cells, rng.normal(size=len(cells))]).tolist()
    for lat in ([0.0, 0.0, 0.5, 0.5, 48, 23, 0.0, 0.0], [-0.5, 0.25, 0.25, 0.5, 97, 23, 0.0, 0.0]):
        run = th.krige_run(points, lat, "exponential", 0.0, 1.0, 6.0, k, 1.6, 1, "vector")[:2]
        nested = th.krige_node_by_node(points, *lat[:6], 0.0, False, "exponential", 0.0, 1.0, 6.0, k, 1.6)
        assert np.array(nested[0], dtype=float).tobytes() == run[0]
        assert np.array(nested[1], dtype=float).tobytes() == run[1]
        assert np.isnan(np.frombuffer(run[0])).any()


def oracle_scene(seed):
    rng = np.random.default_rng(seed)
    n = int(rng.integers(20, 80))
    points = [[float(x), float(y), float(z)] for (x, y), z in zip(rng.uniform(0, 30, size=(n, 2)).tolist(),
                                                               rng.normal(size=n))]
    return points, zk.Lattice(0.25, 0.5, 1.5, 1.5, int(rng.integers(3, 14)), int(rng.integers(3, 14)))


@pytest.mark.parametrize("seed", range(6))
def test_lane_solves_match_the_numpy_oracle(seed):
    # The independent reference: numpy's solve of each node's system.
    from test_local_kriging import oracle

    points, lat = oracle_scene(seed)
    model, k, radius = MODELS[seed % 3], (3, 8, 16)[seed % 3], (12.0, 1e9)[seed % 2]
    args = (points, lat.xori, lat.yori, lat.xinc, lat.yinc, lat.ncol, lat.nrow, 0.0, False)
    e, v = th.krige_run(points, list(args[1:7]) + [0.0, 0.0], model, 0.1, 1.0, 20.0, k, radius, 1, "vector")[:2]
    ref_e, ref_v = oracle(points, lat, model, 0.1, 1.0, 20.0, k, radius)
    np.testing.assert_allclose(np.frombuffer(e).reshape(ref_e.shape), ref_e, rtol=1e-9, atol=1e-9)
    np.testing.assert_allclose(np.frombuffer(v).reshape(ref_v.shape), ref_v, rtol=1e-9, atol=1e-9)


@pytest.mark.parametrize("k", [2, 5, 16, 24])
def test_equal_pivots_pick_the_earlier_row_in_every_lane(k):
    # Data on an integer lattice and a spherical range shorter than their
    # spacing: every off-diagonal semivariance is the sill, so each pivot
    # column holds many equal maxima and the first must win lane by lane.
    rng = np.random.default_rng(k)
    cells = rng.permutation([(x, y) for x in range(9) for y in range(9)])[:60]
    points = [[float(x), float(y), float(rng.normal())] for x, y in cells]
    lat = [-0.3, -0.2, 0.35, 0.35, 29, 31, 0.0, 0.0]
    for a in (0.5, 1.0, 3.0):
        runs = [th.krige_run(points, lat, "spherical", 0.1, 1.0, a, k, 1e9, 1, p) for p in ("vector", "scalar")]
        nested = th.krige_node_by_node(points, *lat[:6], 0.0, False, "spherical", 0.1, 1.0, a, k, 1e9)
        assert runs[0] == runs[1]
        assert np.array(nested[0], dtype=float).tobytes() == runs[0][0]


def test_a_singular_lane_leaves_its_neighbours_in_the_batch_defined():
    # Four nodes in a row solved as one batch; only the first takes both
    # data of a pair whose separation squares to 0.
    points = [[0.0, 0.0, 1.0], [1e-200, 0.0, 3.0], [10.0, 0.0, 7.0], [12.0, 0.0, 2.0], [20.0, 0.0, 5.0],
              [22.0, 0.0, 4.0], [30.0, 0.0, 6.0], [32.0, 0.0, 8.0]]
    lat = [1.0, 0.5, 10.0, 1.0, 4, 1, 0.0, 0.0]
    e, v = (np.frombuffer(b) for b in th.krige_run(points, lat, "exponential", 0.0, 1.0, 50.0, 2, 1e9, 1,
                                                   "vector")[:2])
    assert np.isnan(e[0]) and np.isnan(v[0]) and np.isfinite(e[1:]).all() and np.isfinite(v[1:]).all()
    nested = th.krige_node_by_node(points, *lat[:6], 0.0, False, "exponential", 0.0, 1.0, 50.0, 2, 1e9)
    assert np.array(nested[0], dtype=float).tobytes() == e.tobytes()


def lane_matrices(seed, n):
    """Four n x n systems of the kinds kriging meets: ordinary-kriging
    matrices of scattered or lattice data (equal semivariances: tied pivots),
    one with two equal rows (singular), and a dense one with signs."""
    rng = np.random.default_rng(seed)
    m = n - 1
    lanes = []
    for kind in rng.permutation(["scattered", "lattice", "singular", "dense"]):
        if kind == "dense":
            a = rng.normal(size=(n, n))
            if seed % 2:
                a = np.round(a)  # many exact ties, some zero columns below the diagonal
        else:
            if kind == "lattice":  # distinct cells of a 6 x 6 lattice
                xy = np.array([(c % 6, c // 6) for c in rng.permutation(36)[:m]], dtype=float) * 9.0
            else:
                xy = rng.uniform(0, 50, (m, 2))
            if kind == "singular":
                xy[m // 2] = xy[0]
            h = np.hypot(xy[:, None, 0] - xy[None, :, 0], xy[:, None, 1] - xy[None, :, 1])
            r = np.minimum(h / 30.0, 1.0)
            a = np.ones((n, n))
            a[:m, :m] = np.where(h == 0.0, 0.0, 0.1 + (1.5 * r - 0.5 * r**3))
            a[m, m] = 0.0
        lanes.append(a)
    b = rng.uniform(0.0, 1.2, size=(4, n))
    b[:, -1] = 1.0
    return lanes, b


def _both_lane_kernels(lanes, b, n):
    """(fixed, any_size) results of lu_lanes on the four systems, with equal
    masks; skips without AVX2."""
    a = np.stack(lanes, axis=-1).ravel().tolist()
    rhs = b.T.ravel().tolist()
    fixed = th.lu_lanes(a, rhs, n, "fixed")
    if fixed is None:
        pytest.skip("no AVX2")
    any_size = th.lu_lanes(a, rhs, n, "any")
    assert fixed[0] == any_size[0]
    return fixed, any_size


def _lanes_match_one_system(th, fixed, any_size, lanes, b, n):
    """Both lane kernels give each factored lane the one-system factors, permutation and solution,
    bit for bit; yields the lanes that factored."""
    for lane in range(4):
        ok, lu, p, sol = th.lu_solve(lanes[lane].ravel().tolist(), n, b[lane].tolist())
        assert bool(fixed[0] >> lane & 1) is ok
        if not ok:
            continue
        for got in (fixed, any_size):
            assert np.array(got[1]).reshape(n, n, 4)[:, :, lane].tobytes() == np.array(lu).reshape(n, n).tobytes()
            assert np.array(got[2]).reshape(n, 4)[:, lane].tolist() == p
            assert np.array(got[3]).reshape(n, 4)[:, lane].tobytes() == np.array(sol).tobytes()
        yield lane


@pytest.mark.parametrize("n", [3, 5, 17, 18, 33])
@pytest.mark.parametrize("seed", range(6))
def test_fixed_size_lane_kernel_equals_the_one_system_solver(n, seed):
    # The kernel specialised for its size against the kernel for any size and
    # against the one-system solver, lane by lane: same mask, factors,
    # permutation and solution bits, and the numpy solution close by.
    lanes, b = lane_matrices(seed, n)
    fixed, any_size = _both_lane_kernels(lanes, b, n)
    x = np.array(fixed[3]).reshape(n, 4)
    for lane in _lanes_match_one_system(th, fixed, any_size, lanes, b, n):
        if np.linalg.cond(lanes[lane]) < 1e8:
            np.testing.assert_allclose(x[:, lane], np.linalg.solve(lanes[lane], b[lane]), rtol=1e-7, atol=1e-9)


@pytest.mark.parametrize("n", [2, 5, 17, 18, 33])
@pytest.mark.parametrize("seed", range(4))
def test_solves_from_other_lanes_factors_equal_the_one_system_solver(n, seed):
    # Lane l solves a new right-hand side with the factors of lane src[l]
    # (sources repeated, permuted, one lane feeding all): the bits of the
    # one-system solve of that source's matrix.
    lanes, b = lane_matrices(seed, n)
    fixed, _ = _both_lane_kernels(lanes, b, n)
    rng = np.random.default_rng(seed)
    for src in ([0, 1, 2, 3], [3, 2, 1, 0], [2, 2, 2, 2], rng.integers(0, 4, size=4).tolist()):
        rhs = rng.uniform(-1.0, 1.0, size=(4, n))
        x = np.array(th.lu_lanes_from(fixed[1], fixed[2], n, src, rhs.T.ravel().tolist())).reshape(n, 4)
        for lane, s in enumerate(src):
            ok, _, _, sol = th.lu_solve(lanes[s].ravel().tolist(), n, rhs[lane].tolist())
            if ok:
                assert x[:, lane].tobytes() == np.array(sol).tobytes()


@pytest.mark.parametrize("k", [16, 32])
@pytest.mark.parametrize("seed", range(4))
def test_full_neighbour_lists_of_the_fixed_sizes(k, seed):
    # Every node takes exactly k neighbours (the sizes with their own lane
    # kernel), data scattered or on a lattice (tied distances and pivots),
    # some nodes on data; the lane sweep gives the node-by-node bits.
    rng = np.random.default_rng(50 + seed)
    if seed % 2:
        cells = rng.permutation([(x, y) for x in range(12) for y in range(12)])[:90]
        xy = np.array(cells, dtype=float) * 2.0
    else:
        xy = rng.uniform(0.0, 24.0, size=(90, 2))
    points = [[x, y, float(z)] for (x, y), z in zip(xy.tolist(), rng.normal(size=len(xy)))]
    lat = [0.0, 0.0, 1.0, 1.0, 23, 21, 0.0, 0.0]
    model = MODELS[seed % 3]
    runs = [th.krige_run(points, lat, model, 0.1, 1.0, 9.0, k, 1e9, 1, p) for p in ("vector", "scalar")]
    assert runs[0] == runs[1]
    nested = th.krige_node_by_node(points, *lat[:6], 0.0, False, model, 0.1, 1.0, 9.0, k, 1e9)
    assert np.array(nested[0], dtype=float).tobytes() == runs[0][0]
    assert np.array(nested[1], dtype=float).tobytes() == runs[0][1]
    assert np.isfinite(np.frombuffer(runs[0][0])).all()


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("count", [0, 1, 3, 4, 7, 64, 101])
def test_semivariances_in_lanes_equal_the_one_at_a_time_model(model, count):
    # Lane semivariances (target right-hand sides, a block's pair cache)
    # against Variogram::gamma bit for bit: separations at and around the
    # range, ones whose square underflows to 0, 0 and -0, huge, inf and NaN,
    # over lengths that leave a scalar tail; the spherical formula as the
    # independent reference.
    rng = np.random.default_rng(count)
    a = 7.0
    special = [0.0, -0.0, 1e-170, 5e-324, a, np.nextafter(a, 0.0), np.nextafter(a, 20.0), 1e300, np.inf, np.nan,
               -3.0, 2.5]
    h = np.concatenate([special, rng.uniform(0.0, 2.0 * a, size=max(count - len(special), 0))])[:count]
    rng.shuffle(h)
    many = th.variogram_gamma_many(model, 0.1, 1.0, a, h.tolist())
    one = th.variogram_gamma(model, 0.1, 1.0, a, h.tolist())
    assert np.array(many).tobytes() == np.array(one).tobytes()
    if model == "spherical":
        r = h / a
        with np.errstate(invalid="ignore", over="ignore"):
            ref = np.where(h * h == 0.0, 0.0, 0.1 + np.where(r >= 1.0, 1.0, 1.5 * r - 0.5 * r**3))
        np.testing.assert_allclose(many, ref, rtol=1e-14, atol=0.0)


@pytest.mark.parametrize("n", [5, 17, 33])
@pytest.mark.parametrize("seed", range(4))
def test_lane_kernels_keep_the_pivot_rule_with_nan_and_infinity(n, seed):
    # A NaN magnitude is never replaced and never replaces; an infinity wins
    # its column: every lane's mask, factors, permutation and solution stay
    # those of the one-system solver, NaN bits included.
    lanes, b = lane_matrices(seed, n)
    rng = np.random.default_rng(seed)
    for lane, a in enumerate(lanes):
        r, c = rng.integers(0, n, size=2)
        a[r, c] = (np.nan, np.inf, -np.inf, 0.0)[(lane + seed) % 4]
        if lane == seed % 4:
            a[0, 0] = np.nan  # the first pivot candidate itself
    fixed, any_size = _both_lane_kernels(lanes, b, n)
    list(_lanes_match_one_system(th, fixed, any_size, lanes, b, n))


@pytest.mark.parametrize("model", MODELS)
@pytest.mark.parametrize("k", [16, 32])
def test_nodes_beside_data_without_nugget(model, k):
    # No nugget and nodes a hair away from data: variances round to tiny or
    # negative values and are clamped to 0 in lanes as in the one-system
    # solve; estimates and variances are the node-by-node bits, and agree
    # with the numpy oracle.
    from test_local_kriging import oracle

    rng = np.random.default_rng(k)
    xy = rng.uniform(0.0, 20.0, size=(70, 2))
    lat = zk.Lattice(0.0, 0.0, 0.5, 0.5, 41, 41)
    nodes = np.array([lat.node_xy(i, j) for i in range(0, 41, 5) for j in range(0, 41, 7)])
    xy[: len(nodes) // 2] = nodes[: len(nodes) // 2] + rng.choice([1e-9, -1e-12, 1e-6], size=(len(nodes) // 2, 2))
    points = [[x, y, float(z)] for (x, y), z in zip(xy.tolist(), rng.normal(size=len(xy)))]
    lat_list = [0.0, 0.0, 0.5, 0.5, 41, 41, 0.0, 0.0]
    nugget = 0.3 if model == "nugget" else 0.0
    runs = [th.krige_run(points, lat_list, model, nugget, 1.0, 15.0, k, 1e9, 1, p) for p in ("vector", "scalar")]
    assert runs[0] == runs[1]
    nested = th.krige_node_by_node(points, *lat_list[:6], 0.0, False, model, nugget, 1.0, 15.0, k, 1e9)
    assert np.array(nested[0], dtype=float).tobytes() == runs[0][0]
    assert np.array(nested[1], dtype=float).tobytes() == runs[0][1]
    var = np.frombuffer(runs[0][1])
    assert (var[np.isfinite(var)] >= 0.0).all()
    if model in ("spherical", "exponential"):
        ref_e, _ = oracle(points, lat, model, nugget, 1.0, 15.0, k, 1e9)
        est = np.frombuffer(runs[0][0]).reshape(ref_e.shape)
        np.testing.assert_allclose(est, ref_e, rtol=1e-6, atol=1e-6)


@pytest.mark.parametrize("k", [16, 32])
@pytest.mark.parametrize("model", ["spherical", "gaussian"])
def test_scattered_targets_of_the_fixed_sizes_leave_lanes_idle(k, model):
    # krige_points on 1, 2, 3, 5, 6, 7 and 9 targets (a lone system, batches
    # padded with idle lanes) at the sizes with their own kernel: the bits
    # of the grid at those nodes.
    rng = np.random.default_rng(k)
    points = np.column_stack([rng.uniform(0.0, 30.0, size=(120, 2)), rng.normal(size=120)])
    grid = zk.Lattice(0.5, 0.5, 1.0, 1.0, 29, 23)
    vg = zk.Variogram(model, 0.1, 1.0, 12.0)
    est, var, _ = zk.local_kriging_grid_flat(points.tolist(), grid, vg, k, 1e9)
    est, var = np.frombuffer(est), np.frombuffer(var)
    nodes = np.array([grid.node_xy(i, j) for i in range(grid.ncol) for j in range(grid.nrow)])
    for count in (1, 2, 3, 5, 6, 7, 9):
        pick = rng.integers(0, len(nodes), size=count)
        pe, pv = _study.krige_points(points, nodes[pick], vg, k, 1e9, 1)
        assert np.frombuffer(pe).tobytes() == est[pick].tobytes()
        assert np.frombuffer(pv).tobytes() == var[pick].tobytes()
