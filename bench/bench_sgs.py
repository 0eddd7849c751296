"""Sequential Gaussian simulation: sgs_flat on 300 x 300 and 500 x 500 nodes
(24 neighbours, 200 data, spherical), against gstatsim's pure-Python simple
kriging SGS on a small grid at the same neighbour count and radius, and eight
seeds in eight Python threads against one after another. The reference case
(200 data, 24 neighbours, spherical range and radius 40 nodes) on 300 x 300
and 1000 x 1000 nodes, and sgs_ensemble on it: realisations per second on one
and two threads against sgs_flat called once per seed.

Figures measured on an idle machine of this kind before the ensemble and the
condition shortcut: the 300 x 300 reference case 0.243 s (GSLIB sgsim 0.515 s).
Instructions of the 300 x 300 reference case (callgrind, whole process with
interpreter start-up of about 0.43 G): 3.67 G before systems were solved four
at a time in vector lanes and the forward substitutions rode along the
elimination, 1.86 G after; 1000 x 1000: 36.4 G before, 16.1 G after. Then
neighbours read by node rather than by list position and a Crout kernel for
16, 24 and 32 neighbours: 1.71 G and 14.2 G. Table reads by scalar loads and
a branch-free offset scan add instructions (1.82 G) but save time: counts
only guide here. Four-byte slots, one sort key per scanned offset, pivots
that keep the diagonal found without the row search, and draws straight from
the lanes' weights: 1.64 G (1.77 G before). With $ZK_BENCH_BASELINE set to an older build's directory,
the reference rows time that build beside this one.

The Fortran sgsim is not run here; it is quoted as about 0.74 s for the
300 x 300 case on this machine (file I/O included). The machine is shared, so
figures are noisy."""

import shutil
import threading
import time

import numpy as np

import zaviktools as zk

from .harness import Row, load_baseline

K = 24
N_DATA = 200


def _data(side, seed=2024):
    rng = np.random.default_rng(seed)
    xy = rng.uniform(0.0, side - 1.0, size=(N_DATA, 2))
    z = rng.normal(size=N_DATA)
    return xy, z, np.column_stack([xy, z]).tolist()


def _rate(fn, nodes):
    t0 = time.perf_counter()
    fn()
    return nodes / (time.perf_counter() - t0)


def _sweep_rows():
    for side in (300, 500):
        _, _, coords = _data(side)
        lattice = zk.Lattice(0.0, 0.0, 1.0, 1.0, side, side)
        v = zk.Variogram("spherical", 0.0, 1.0, side / 6.0)
        radius = side / 6.0

        def ours(coords=coords, lattice=lattice, v=v, radius=radius):
            return zk.sgs_flat(coords, lattice, v, K, radius, 7)

        note = f"{_rate(ours, side * side) / 1e3:.0f} k nodes/s (target >= 150 k)"
        if side == 300:
            note += "; Fortran sgsim ~0.74 s (quoted)"
        yield Row(f"sgs_flat {side}x{side} k24 200 data sph", ours, repeats=3, note=note)
    # A rotated lattice: node positions are rounded, so no offset table.
    _, _, coords = _data(300)
    rotated = zk.Lattice(0.0, 0.0, 1.0, 1.0, 300, 300, 30.0)
    coords = [[*rotated.intrinsic_to_world(x, y), z] for x, y, z in coords]
    v = zk.Variogram("spherical", 0.0, 1.0, 50.0)

    def ours_rotated():
        return zk.sgs_flat(coords, rotated, v, K, 50.0, 7)

    yield Row("sgs_flat 300x300 rotated 30 deg k24 sph", ours_rotated, repeats=3,
              note=f"{_rate(ours_rotated, 90000) / 1e3:.0f} k nodes/s")


def _gstatsim_row():
    try:
        import pandas as pd
        import gstatsim as gs
    except ImportError:
        yield Row("sgs_flat 20x20 k24 vs gstatsim", lambda: None, note="gstatsim missing")
        return

    class ScalarNormal(np.random.Generator):
        # gstatsim assigns a size-1 draw to an array element, which current
        # numpy refuses; hand it the scalar instead (same stream).
        def normal(self, loc=0.0, scale=1.0, size=None):
            v = super().normal(loc, scale, size)
            return v[0] if size == 1 else v

    side, radius, rng_len = 20, 10.0, 10.0
    xy, z, coords = _data(side, 5)
    df = pd.DataFrame({"X": xy[:, 0], "Y": xy[:, 1], "Z": z})
    grid = gs.Gridding.prediction_grid(0, side - 1, 0, side - 1, 1)
    vario = [0, 0.0, rng_len, rng_len, 1.0, "Spherical"]
    lattice = zk.Lattice(0.0, 0.0, 1.0, 1.0, side, side)
    v = zk.Variogram("spherical", 0.0, 1.0, rng_len)

    def ours():
        return zk.sgs_flat(coords, lattice, v, K, radius, 7)

    def peer():
        return gs.Interpolation.skrige_sgs(grid, df, "X", "Y", "Z", K, vario, radius,
                                           seed=ScalarNormal(np.random.PCG64(1)), quiet=True)

    yield Row(f"sgs_flat {side}x{side} k24 r10 200 data sph", ours,
              {"gstatsim skrige_sgs (same grid)": peer}, repeats=1,
              note=f"ours {_rate(ours, side * side) / 1e3:.0f} k nodes/s; target ratio >= 100")


def _thread_row():
    side = 300
    _, _, coords = _data(side)
    lattice = zk.Lattice(0.0, 0.0, 1.0, 1.0, side, side)
    v = zk.Variogram("spherical", 0.0, 1.0, 50.0)
    seeds = range(8)

    def one(seed):
        return zk.sgs_flat(coords, lattice, v, K, 50.0, seed)[0]

    def serial():
        return [one(s) for s in seeds]

    def threaded():
        out = [None] * 8

        def run(i):
            out[i] = one(i)

        threads = [threading.Thread(target=run, args=(i,)) for i in seeds]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        return out

    same = threaded() == serial()
    yield Row("sgs_flat 300x300 x8 seeds: 8 threads", threaded, {"one after another": serial}, repeats=1,
              note=f"identical fields: {same}; 2 cores")


def _reference(side):
    _, _, coords = _data(side)
    return coords, zk.Lattice(0.0, 0.0, 1.0, 1.0, side, side), zk.Variogram("spherical", 0.0, 1.0, 40.0)


def _gslib_note():
    exe = shutil.which("sgsim")
    return f"GSLIB sgsim at {exe}: not run here" if exe else "GSLIB sgsim not installed (quoted 0.515 s idle)"


def _baseline_call(base, side, seeds):
    """sgs_flat of the reference case in the baseline build, once per seed."""
    _, _, coords = _data(side)
    lattice, v = base.Lattice(0.0, 0.0, 1.0, 1.0, side, side), base.Variogram("spherical", 0.0, 1.0, 40.0)
    return lambda: [base.sgs_flat(coords, lattice, v, K, 40.0, s) for s in seeds]


def _reference_rows():
    base = load_baseline()
    for side, quoted in ((300, "before lanes: 0.243 s idle; " + _gslib_note()), (1000, "")):
        coords, lattice, v = _reference(side)

        def ours(coords=coords, lattice=lattice, v=v):
            return zk.sgs_flat(coords, lattice, v, K, 40.0, 7)

        peers = {"baseline build ($ZK_BENCH_BASELINE)": _baseline_call(base, side, [7])} if base else {}
        note = f"{_rate(ours, side * side) / 1e3:.0f} k nodes/s" + (f"; {quoted}" if quoted else "")
        yield Row(f"sgs_flat {side}x{side} k24 sph range 40 (reference)", ours, peers,
                  repeats=3 if side == 300 else 1, note=note)
    coords, lattice, v = _reference(300)
    data = np.asarray(coords)
    seeds = list(range(8))

    def per_seed():
        return [zk.sgs_flat(coords, lattice, v, K, 40.0, s) for s in seeds]

    before = {"sgs_flat per seed, baseline build": _baseline_call(base, 300, seeds)} if base else {}

    def ensemble(threads):
        return zk.sgs_ensemble(data, lattice, v, K, 40.0, seeds, threads=threads)

    same = ensemble(2).tobytes() == b"".join(raw for raw, _ in per_seed())
    t1 = min(_rate(lambda: ensemble(1), 8), 1e12)
    yield Row("sgs_ensemble 300x300 x8 seeds, 1 thread", lambda: ensemble(1),
              {**before, "sgs_flat per seed": per_seed},
              repeats=7, note=f"{t1:.2f} realisations/s; same bits as sgs_flat: {same}")
    yield Row("sgs_ensemble 300x300 x8 seeds, 2 threads", lambda: ensemble(2),
              {**before, "sgs_flat per seed": per_seed, "sgs_ensemble, 1 thread": lambda: ensemble(1)}, repeats=7,
              note=f"{_rate(lambda: ensemble(2), 8):.2f} realisations/s")


def rows():
    yield from _reference_rows()
    yield from _sweep_rows()
    yield from _gstatsim_row()
    yield from _thread_row()
