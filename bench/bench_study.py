"""The study layer's kernels against PyKrige: krige_points of 10^5 targets
from 10^3 data (16 neighbours) against PyKrige's C backend with
n_closest_points, and cross_validate of 10^4 data against a leave-one-out
loop over PyKrige (one OrdinaryKriging without the datum, then one moving-
window estimate at it). PyKrige's loop is timed on a few data and scaled to
all 10^4 (its label says by how much): each of its steps refits the model
object on 9,999 data, so the whole loop would take hours."""

import os

import numpy as np

import zaviktools as zk
from zaviktools import _study

from .harness import Row

K = 16


def _data(n, seed):
    rng = np.random.default_rng(seed)
    return np.column_stack([rng.uniform(0.0, 1000.0, (n, 2)), rng.normal(size=n)])


def _agreement(ours, peer, data, targets):
    """Largest |ours - PyKrige| over targets whose 16 neighbours are unambiguous."""
    from scipy.spatial import cKDTree

    d, _ = cKDTree(data[:, :2]).query(targets, k=K + 1)
    same = d[:, K] > d[:, K - 1]
    return float(np.abs(ours - peer)[same].max()), float(same.mean())


def _points_rows():
    data = _data(1000, 2024)
    targets = np.random.default_rng(7).uniform(0.0, 1000.0, (10**5, 2))
    cpus = len(os.sched_getaffinity(0))
    for label, v, pk in (
        ("sph", zk.Variogram("spherical", 0.1, 1.0, 300.0), {}),
        ("aniso sph 3:1 az 30", zk.AnisotropicVariogram("spherical", 300.0, 100.0, 10.0, 30.0, sill=1.0, nugget=0.1),
         {"anisotropy_scaling": 3.0, "anisotropy_angle": 60.0}),
    ):
        def ours(v=v):
            return zk.krige_points(data, targets, v, K, 1e12)

        def one_thread(v=v):
            return _study.krige_points(data, targets, v, K, 1e12, 1)

        peers = {"ours, 1 thread": one_thread}
        note = ""
        try:
            from pykrige.ok import OrdinaryKriging

            ok = OrdinaryKriging(data[:, 0], data[:, 1], data[:, 2], variogram_model="spherical",
                                 variogram_parameters={"psill": 1.0, "range": 300.0, "nugget": 0.1}, **pk)

            def pykrige(ok=ok):
                return ok.execute("points", targets[:, 0], targets[:, 1], n_closest_points=K, backend="C")

            peers = {"pykrige OK points n_closest=16 C": pykrige, **peers}
            if not pk:
                worst, share = _agreement(ours()[0], np.asarray(pykrige()[0]), data, targets)
                note = f"max|diff| {worst:.1e} on {share:.0%} targets"
        except ImportError:
            note = "pykrige missing"
        yield Row(f"krige_points 1e3 -> 1e5 targets k16 {label} ({cpus} thr)", ours, peers, repeats=3, note=note)


def _cross_validation_rows():
    data = _data(10**4, 11)
    v = zk.Variogram("spherical", 0.1, 1.0, 300.0)
    subset = 3

    def ours():
        return zk.cross_validate(data, v, K, 1e12)

    def one_thread():
        return _study.cross_validate(data, v, K, 1e12, 1)

    peers = {"ours, 1 thread": one_thread}
    scale = {}
    try:
        from pykrige.ok import OrdinaryKriging

        def loo(i):
            rest = np.delete(data, i, axis=0)
            ok = OrdinaryKriging(rest[:, 0], rest[:, 1], rest[:, 2], variogram_model="spherical",
                                 variogram_parameters={"psill": 1.0, "range": 300.0, "nugget": 0.1})
            return ok.execute("points", data[i:i + 1, 0], data[i:i + 1, 1], n_closest_points=K, backend="C")

        def pykrige_loop():
            return [loo(i) for i in range(subset)]

        name = f"pykrige LOO loop, {subset} data x{len(data) // subset}"
        peers = {name: pykrige_loop, **peers}
        scale[name] = len(data) / subset
        ours_cv = ours()
        worst = max(abs(float(loo(i)[0][0]) - ours_cv.estimate[i]) for i in range(subset))
        note = f"max|diff| {worst:.1e} on {subset} data"
    except ImportError:
        note = "pykrige missing"
    yield Row("cross_validate 1e4 data k16 sph", ours, peers, repeats=3, note=note, peer_scale=scale)


def rows():
    yield from _points_rows()
    yield from _cross_validation_rows()
