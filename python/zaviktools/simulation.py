"""Ensembles of the sequential Gaussian simulation over numpy arrays.

`sgs_ensemble` runs one realisation of `sgs` per seed, the data's normal-score
table and snapping prepared once, the seeds spread over worker threads with
the GIL released. Realisation k is `sgs_flat` with seed `seeds[k]`, bit for
bit, at every thread count.
"""

from __future__ import annotations

import operator
from collections.abc import Iterable
from typing import SupportsIndex

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _arrays, _study
from ._zaviktools import AnisotropicVariogram, Lattice, Variogram

__all__ = ["sgs_ensemble"]


def sgs_ensemble(
    coords: ArrayLike,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: int,
    radius: float,
    seeds: Iterable[SupportsIndex],
    threads: int | None = None,
) -> NDArray[np.float64]:
    """One realisation of `sgs` per seed of `seeds`: a float64 array of shape
    (len(seeds), ncol, nrow) indexed [k, col, row], realisation k equal bit for
    bit to `sgs_flat` with seed `seeds[k]` (`coords` an (N, 3) array or [x, y, z]
    rows). `threads`: exactly that many workers (default: the configured count,
    ZAVIKTOOLS_NUM_THREADS or one per CPU); the result is the same at every
    count. Runs with the GIL released and stops on Ctrl-C. Errors are those of
    `sgs`, then those of the earliest seed whose realisation fails.

    >>> import numpy as np, zaviktools as zk
    >>> data = [[0.0, 0.0, 1.0], [40.0, 30.0, 5.0], [10.0, 50.0, 2.0]]
    >>> lat, vg = zk.Lattice(0.0, 0.0, 10.0, 10.0, 5, 6), zk.Variogram("sph", 0.0, 1.0, 40.0)
    >>> fields = zk.sgs_ensemble(data, lat, vg, 8, 100.0, [7, 8])
    >>> fields.shape, fields[1].tobytes() == np.frombuffer(zk.sgs_flat(data, lat, vg, 8, 100.0, 8)[0]).tobytes()
    ((2, 5, 6), True)
    """
    data = _arrays.rows(coords, 3, "coords")
    chosen = [operator.index(s) for s in seeds]  # 1.5 is no seed: no silent truncation
    field, shape = _study.sgs_ensemble(data, lattice, variogram, max_neighbours, radius, chosen, threads)
    return _arrays.from_f64(field, (len(chosen), *shape))
