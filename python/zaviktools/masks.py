"""Lattice masks for numpy arrays."""

from __future__ import annotations

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _arrays, _study
from ._zaviktools import Lattice

__all__ = ["polygon_mask"]


def polygon_mask(ring: ArrayLike, lattice: Lattice) -> NDArray[np.bool_]:
    """Which nodes of `lattice` lie inside the polygon `ring` (a (K, 2) array or
    [x, y] rows, implicitly closed, K >= 3, finite): a writable boolean array of
    shape (ncol, nrow) indexed [col, row]. The test is the even-odd rule of
    `place_wells_in_polygon` at each `node_xy`, so the wells it places inside a
    ring fall in the cells this mask marks; nodes exactly on an edge may fall
    either way.

    >>> import zaviktools as zk
    >>> mask = zk.polygon_mask([[-1, -1], [25, -1], [-1, 25]], zk.Lattice(0.0, 0.0, 10.0, 10.0, 3, 3))
    >>> mask.astype(int).tolist()
    [[1, 1, 1], [1, 1, 0], [1, 0, 0]]
    """
    vertices = _arrays.rows(ring, 2, "ring")
    mask, shape = _study.polygon_mask(vertices, lattice)
    return np.frombuffer(mask, dtype=np.bool_).reshape(shape)
