"""Ensembles: 16 SGS realisations of 300 x 300 nodes (sgs_flat, 200 data,
24 neighbours, spherical) one after another, on the thread pool of
`zaviktools.ensemble.realisations`, and on a two-worker local Dask cluster
(worker processes, one thread each). The ratio column is serial / parallel.

The cluster's start-up is timed on its own and left out of the map time; the
timed runs follow a warm-up run, so the workers have imported the toolkit.
Each note says whether the parallel fields equal the serial ones bit for bit.
The machine has two cores and is shared, so figures are noisy."""

from __future__ import annotations

import time

import numpy as np

import zaviktools as zk
from zaviktools.ensemble import realisations

from .harness import Row

SIDE, K, N_DATA, N_REAL = 300, 24, 200, 16
SEEDS = list(range(1000, 1000 + N_REAL))


class _Same:
    """A note that compares the fields of the last timed runs when printed,
    that is after the harness has timed the row and its serial peer."""

    def __init__(self, last: dict, name: str, extra: str = ""):
        self.last, self.name, self.extra = last, name, extra

    def __str__(self) -> str:
        same = self.last.get(self.name) == self.last.get("serial") and self.name in self.last
        return f"{self.extra}identical to serial: {same}; ratio = serial / {self.name}"

    def __format__(self, spec: str) -> str:
        return format(str(self), spec)


def rows():
    rng = np.random.default_rng(2024)
    coords = np.column_stack([rng.uniform(0, SIDE - 1.0, (N_DATA, 2)), rng.normal(size=N_DATA)]).tolist()
    lattice = zk.Lattice(0.0, 0.0, 1.0, 1.0, SIDE, SIDE)
    v = zk.Variogram("spherical", 0.0, 1.0, 50.0)

    def one(seed: int) -> bytes:  # a closure: Dask ships it (and its captured values) by value
        return zk.sgs_flat(coords, lattice, v, K, 50.0, seed)[0]

    last: dict = {}

    def serial():
        last["serial"] = [one(s) for s in SEEDS]

    def threads():
        last["threads"] = realisations(one, SEEDS)

    name = f"{N_REAL} x sgs_flat {SIDE}x{SIDE} k{K} {N_DATA} data"
    yield Row(f"{name}: thread pool", threads, {"serial loop": serial}, repeats=1,
              note=_Same(last, "threads"))  # type: ignore[arg-type]

    try:
        from distributed import Client, LocalCluster
    except ImportError:
        yield Row(f"{name}: dask 2 workers", lambda: None, note="dask.distributed missing")
        return
    t0 = time.perf_counter()
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        start = time.perf_counter() - t0

        def dask():
            last["dask"] = realisations(one, SEEDS, client)

        yield Row(f"{name}: dask 2 workers", dask, {"serial loop": serial}, repeats=1,
                  note=_Same(last, "dask", f"cluster start-up {start:.2f} s (excluded); "))  # type: ignore[arg-type]
