"""resample_flat: a 1000 x 1000 grid onto a rotated 1000 x 1000 lattice.

The peer, scipy.ndimage.map_coordinates(order=1), reads the same sample points;
their fractional source indices are computed once outside its timing, so the
peer is timed on the interpolation alone while ours includes the transforms
and both flat crossings.
"""

import math

import numpy as np
from scipy import ndimage

import zaviktools as zk

from .harness import Row

N = 1000


def sample_indices(src, target):
    """Fractional source (i, j) of every target node, row index fastest."""
    th = target.rotation_deg * 0.017453292519943295
    i, j = np.meshgrid(np.arange(target.ncol, dtype=float), np.arange(target.nrow, dtype=float), indexing="ij")
    x = target.xori + i * target.xinc * math.cos(th) - j * target.yinc * math.sin(th)
    y = target.yori + i * target.xinc * math.sin(th) + j * target.yinc * math.cos(th)
    return np.array([((x - src.xori) / src.xinc).ravel(), ((y - src.yori) / src.yinc).ravel()])


def rows():
    rng = np.random.default_rng(1)
    grid = rng.normal(size=(N, N)).cumsum(axis=0).cumsum(axis=1)
    buf = np.ascontiguousarray(grid, "<f8").tobytes()
    src = zk.Lattice(0.0, 0.0, 10.0, 10.0, N, N)
    target = zk.Lattice(3000.0, -2000.0, 10.0, 10.0, N, N, rotation_deg=30.0)
    coords = sample_indices(src, target)

    yield Row("resample_flat bilinear 1000x1000 -> rotated 1000x1000", lambda: zk.resample_flat(buf, src, target),
              {"ndimage.map_coordinates(order=1)":
                   lambda: ndimage.map_coordinates(grid, coords, order=1, mode="constant", cval=np.nan)},
              repeats=7, note="peer: sample indices precomputed")
    yield Row("resample_flat nearest 1000x1000 -> rotated 1000x1000",
              lambda: zk.resample_flat(buf, src, target, "nearest"),
              {"ndimage.map_coordinates(order=0)":
                   lambda: ndimage.map_coordinates(grid, coords, order=0, mode="constant", cval=np.nan)},
              repeats=7, note="peer: sample indices precomputed")
