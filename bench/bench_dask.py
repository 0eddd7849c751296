"""zaviktools.dask on a two-worker LocalCluster (one thread per worker process).

1. Tiled kriging: 4000 x 4000 nodes from 10^4 data, `zaviktools.dask.krige_grid`
   in 1000 x 1000 tiles written to Zarr from the workers, against one
   `zaviktools.krige_grid` call (two native threads) in a fresh process: wall
   time, the peak resident size of each worker against the one call's
   (VmHWM, reset after set-up; "growth" is the peak minus the resident size
   before the work), and whether every node is the same bits.
2. Ensemble maps: 100 realisations of 500 x 500 (a seeded normal field each)
   reduced on the cluster by `zaviktools.dask.ensemble_maps`, against
   gathering every field to the client (`realisations(fn, seeds, client)`,
   then `zaviktools.ensemble_maps`) and against streaming them to the client
   (`realisations(..., reducer=ensemble_maps)`): client wall time and client
   peak memory (tracemalloc peak and resident growth, each side in a fresh
   client process connected to the same cluster), bits equal.

The machine may be shared: wall times are noisy, memory figures are not.

    python -m bench.bench_dask
"""

from __future__ import annotations

import functools
import json
import os
import subprocess
import sys
import tempfile
import time
import tracemalloc
from typing import Any, Iterator

import numpy as np

import zaviktools as zk

from .harness import Row

NCOL = NROW = 4000
N_DATA = 10_000
TILE = 1000
MAX_NEIGHBOURS, RADIUS = 16, 1000.0
N_REAL, SIDE = 100, 500
THRESHOLD = 0.5
if os.environ.get("ZK_BENCH_QUICK"):  # a smoke run of the same code
    NCOL = NROW = 400
    TILE, N_REAL, SIDE = 150, 10, 100


def problem() -> tuple[np.ndarray, Any, Any]:
    rng = np.random.default_rng(2027)
    data = np.column_stack([rng.uniform(0, 40_000, N_DATA), rng.uniform(0, 40_000, N_DATA), rng.normal(size=N_DATA)])
    lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, NCOL, NROW, rotation_deg=12.5)
    return data, lat, zk.Variogram("sph", 0.1, 1.0, 3000.0)


def _status(key: str) -> float:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(key + ":"):
                return float(line.split()[1]) * 1024.0
    return float("nan")


def reset_peak() -> float:
    """Resident size now; the peak (VmHWM) restarts from it."""
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")
    return _status("VmRSS")


def peak() -> float:
    return _status("VmHWM")


def one_call(out_dir: str) -> dict[str, float]:
    """The whole lattice in one call, in this (fresh) process; the fields are saved for the comparison."""
    data, lat, v = problem()
    before = reset_peak()
    t0 = time.perf_counter()
    est, var = zk.krige_grid(data, lat, v, MAX_NEIGHBOURS, RADIUS)
    wall = time.perf_counter() - t0
    high = peak()
    np.save(os.path.join(out_dir, "est.npy"), est)
    np.save(os.path.join(out_dir, "var.npy"), var)
    return {"wall": wall, "peak": high, "growth": high - before}


def tiled(client: Any, out_dir: str) -> dict[str, Any]:
    import dask
    import zaviktools.dask as zd

    data, lat, v = problem()
    before = client.run(reset_peak)
    t0 = time.perf_counter()
    est, var = zd.krige_grid(data, lat, v, MAX_NEIGHBOURS, RADIUS, chunks=TILE, client=client)
    dask.compute(est.to_zarr(os.path.join(out_dir, "est.zarr"), compute=False),
                 var.to_zarr(os.path.join(out_dir, "var.zarr"), compute=False))
    wall = time.perf_counter() - t0
    highs = client.run(peak)
    return {"wall": wall, "peak": {w: highs[w] for w in highs}, "growth": {w: highs[w] - before[w] for w in highs}}


def same_bits(out_dir: str) -> bool:
    import zarr

    for name in ("est", "var"):
        want = np.load(os.path.join(out_dir, f"{name}.npy"))
        got = zarr.open_array(os.path.join(out_dir, f"{name}.zarr"), mode="r")[:]
        if want.tobytes() != got.tobytes():
            return False
    return True


def realisation(seed: int) -> np.ndarray:
    return np.random.default_rng(seed).standard_normal((SIDE, SIDE))


def client_side(address: str, side: str, out: str) -> dict[str, float]:
    """One way of reducing the ensemble, from a fresh client process."""
    from distributed import Client

    import zaviktools.dask as zd
    from zaviktools.ensemble import realisations

    with Client(address) as client:
        before = reset_peak()
        tracemalloc.start()
        t0 = time.perf_counter()
        if side == "dask.ensemble_maps":
            maps = zd.ensemble_maps(realisation, range(N_REAL), client, threshold=THRESHOLD)
        elif side == "gather all, ensemble_maps":
            fields = realisations(realisation, range(N_REAL), client)
            maps = zk.ensemble_maps(fields, threshold=THRESHOLD)
            del fields
        else:
            maps = realisations(realisation, range(N_REAL), client,
                                reducer=functools.partial(zk.ensemble_maps, threshold=THRESHOLD))
        wall = time.perf_counter() - t0
        traced = tracemalloc.get_traced_memory()[1]
        tracemalloc.stop()
        growth = peak() - before
    np.savez(out, mean=maps.mean, std=maps.std, exceedance=maps.exceedance,
             **{f"p{k}": m for k, m in maps.p_maps.items()})
    return {"wall": wall, "traced": traced, "growth": growth}


def _in_fresh_process(call: str) -> Any:
    code = f"import json, bench.bench_dask as b; print(json.dumps({call}))"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    return json.loads(done.stdout.splitlines()[-1])


def warm_up(client: Any) -> None:
    """Imports and first calls on the workers, outside every timing."""
    import zaviktools.dask as zd

    data, lat, v = problem()
    small = zk.Lattice(0.0, 0.0, 10.0, 10.0, 40, 40)
    zd.krige_grid(data, small, v, MAX_NEIGHBOURS, RADIUS, chunks=20, client=client)[0].compute()
    zd.ensemble_maps(realisation, range(4), client)
    client.run(lambda: __import__("zarr"))


def mib(b: float) -> str:
    return f"{b / 2**20:8.0f} MiB"


def main() -> int:
    from distributed import Client, LocalCluster

    print(__doc__.split("\n\n")[0])
    with tempfile.TemporaryDirectory() as tmp, \
            LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster, \
            Client(cluster) as client:
        warm_up(client)
        print(f"\n1. krige_grid {NCOL} x {NROW} from {N_DATA} data, {TILE} x {TILE} tiles, 2 workers x 1 thread")
        one = _in_fresh_process(f"b.one_call({tmp!r})")
        dist = tiled(client, tmp)
        equal = same_bits(tmp)
        print(f"{'side':<40} {'wall':>9} {'peak RSS':>12} {'growth':>12} {'growth / one call':>18}")
        print(f"{'one call (2 threads)':<40} {one['wall']:8.1f}s {mib(one['peak'])} {mib(one['growth'])} {'1.00':>18}")
        for k, w in enumerate(sorted(dist["peak"])):
            label = f"dask tiles -> Zarr, worker {k}"
            wall = f"{dist['wall']:8.1f}s" if k == 0 else ""
            print(f"{label:<40} {wall:>9} {mib(dist['peak'][w])} {mib(dist['growth'][w])} "
                  f"{dist['growth'][w] / one['growth']:18.3f}")
        print(f"wall one call / dask: {one['wall'] / dist['wall']:.2f}; every node the same bits: {equal}")

        print(f"\n2. ensemble maps of {N_REAL} realisations of {SIDE} x {SIDE}, P90/P50/P10 and exceedance")
        address = cluster.scheduler_address
        sides = ["dask.ensemble_maps", "gather all, ensemble_maps", "realisations(reducer=ensemble_maps)"]
        rows = {}
        for k, side in enumerate(sides):
            rows[side] = _in_fresh_process(f"b.client_side({address!r}, {side!r}, {os.path.join(tmp, str(k))!r})")
        ref = np.load(os.path.join(tmp, "1.npz"))
        print(f"{'client side':<40} {'wall':>9} {'traced peak':>12} {'RSS growth':>12} {'same bits':>10}")
        for k, side in enumerate(sides):
            got = np.load(os.path.join(tmp, f"{k}.npz"))
            bits = all(got[n].tobytes() == ref[n].tobytes() for n in ref.files)
            r = rows[side]
            print(f"{side:<40} {r['wall']:8.2f}s {mib(r['traced'])} {mib(r['growth'])} {str(bits):>10}")
        base = rows["gather all, ensemble_maps"]
        ours = rows["dask.ensemble_maps"]
        print(f"gather all / dask: wall {base['wall'] / ours['wall']:.2f}, "
              f"client traced peak {base['traced'] / ours['traced']:.1f}x")
    return 0


def rows() -> Iterator[Row]:
    # Cluster start-up and a 16-million-node lattice do not fit the shared
    # timing table; `python -m bench.bench_dask` prints this module's tables.
    return iter(())


if __name__ == "__main__":
    sys.exit(main())
