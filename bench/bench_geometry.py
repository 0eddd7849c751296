"""Grid crossings on a 2000 × 2000 field (flat bytes and nested lists) and
Lattice transforms, against numpy doing the same conversions."""

import math
import random

import numpy as np

import zaviktools as zk
from zaviktools import _testhooks as th

from .harness import Row

NCOL = NROW = 2000


def rows():
    rnd = random.Random(3)
    arr = np.array([rnd.gauss(0.0, 1.0) for _ in range(NCOL * NROW)], dtype="<f8").reshape(NCOL, NROW)
    buf = arr.tobytes()
    nested = arr.tolist()

    yield Row("grid flat round trip 2000x2000 (bytes->field->bytes)",
              lambda: th.grid_flat_to_flat(buf, NCOL, NROW),
              {"numpy frombuffer+copy+tobytes": lambda: np.frombuffer(buf, "<f8").reshape(NCOL, NROW).copy().tobytes()},
              repeats=15, note="one block copy each way")
    yield Row("grid flat in, nested out 2000x2000", lambda: th.grid_flat_to_rows(buf, NCOL, NROW),
              {"numpy frombuffer().tolist()": lambda: np.frombuffer(buf, "<f8").reshape(NCOL, NROW).tolist()},
              repeats=5)
    yield Row("grid nested round trip 2000x2000 (lists->field->lists)",
              lambda: th.grid_nested_to_rows(nested, NCOL, NROW),
              {"numpy array(nested).tolist()": lambda: np.array(nested, dtype="<f8").tolist()}, repeats=5)
    yield Row("grid nested in, flat out 2000x2000", lambda: th.grid_nested_to_flat(nested, NCOL, NROW),
              {"numpy array(nested).tobytes()": lambda: np.array(nested, dtype="<f8").tobytes()}, repeats=5)

    lat = zk.Lattice(431000.0, 6521000.0, 25.0, 25.0, NCOL, NROW, rotation_deg=33.0, yflip=True)
    pts = [(rnd.uniform(0, 2000), rnd.uniform(0, 2000)) for _ in range(100_000)]
    world = [lat.intrinsic_to_world(fi, fj) for fi, fj in pts]
    t = lat.rotation_deg * 0.017453292519943295
    s, c = math.sin(t), math.cos(t)
    fi_arr = np.array([p[0] for p in pts])
    fj_arr = np.array([p[1] for p in pts])
    wx = np.array([w[0] for w in world])
    wy = np.array([w[1] for w in world])

    def py_forward():
        return [((fi * (c * 25.0) + 431000.0) + (s * 25.0) * fj, (fi * (s * 25.0) + 6521000.0) + (c * -25.0) * fj)
                for fi, fj in pts]

    def np_inverse():
        dx, dy = wx - 431000.0, wy - 6521000.0
        return (dy * s + dx * c) / 25.0, -(dy * c - dx * s) / 25.0

    yield Row("Lattice.intrinsic_to_world 1e5 calls", lambda: [lat.intrinsic_to_world(fi, fj) for fi, fj in pts],
              {"pure Python formula": py_forward,
               "numpy vectorised (one call)": lambda: ((fi_arr * (c * 25.0) + 431000.0) + (s * 25.0) * fj_arr,
                                                       (fi_arr * (s * 25.0) + 6521000.0) + (c * -25.0) * fj_arr)},
              repeats=5)
    yield Row("Lattice.world_to_intrinsic 1e5 calls", lambda: [lat.world_to_intrinsic(x, y) for x, y in world],
              {"numpy vectorised (one call)": np_inverse}, repeats=5)
