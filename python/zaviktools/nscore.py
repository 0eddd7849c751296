"""The normal-score transform for numpy arrays, and the score field of a
conditional simulation.

`NormalScoreTransform` holds the table `sgs` fits to its data and applies the
same piecewise-linear lookup, bit for bit: `backward(forward(data))` returns
the data, and `sgs` of some data is `backward` of `sgs_scores` of the same
arguments, node for node.
"""

from __future__ import annotations

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _arrays, _study
from ._zaviktools import AnisotropicVariogram, Lattice, Variogram

__all__ = ["NormalScoreTransform", "sgs_scores"]


class NormalScoreTransform:
    """The normal-score transform fitted to `values` (any array; NaN or infinite
    values are refused): `values` holds the distinct values ascending and
    `scores` the score of each, Φ⁻¹ of the midpoint plotting position (i + ½)/n,
    averaged over tied values. `forward` maps data to scores and `backward`
    scores to data, linearly between the table's entries and flat beyond them,
    so back-transformed values stay within the data's range. Both take arrays of
    any shape, return new float64 arrays of that shape, keep NaN as NaN and run
    with the GIL released, spread over the configured threads.

    >>> import zaviktools as zk
    >>> ns = zk.NormalScoreTransform([3.0, 1.0, 2.0])
    >>> ns.values.tolist(), float(ns.forward(2.0)), ns.backward(ns.forward([1.0, 3.0])).tolist()
    ([1.0, 2.0, 3.0], 0.0, [1.0, 3.0])
    """

    __slots__ = ("_table", "_values", "_scores")

    def __init__(self, values: ArrayLike) -> None:
        self._table = _study.NormalScore(_arrays.flat(values).reshape(-1))
        # Read-only views of the table: it describes the fit and is not to be edited.
        self._values = np.frombuffer(self._table.values, dtype=np.float64)
        self._scores = np.frombuffer(self._table.scores, dtype=np.float64)

    @property
    def values(self) -> NDArray[np.float64]:
        """The distinct data values, ascending (read-only)."""
        return self._values

    @property
    def scores(self) -> NDArray[np.float64]:
        """The normal score of each of `values`, ascending (read-only)."""
        return self._scores

    def forward(self, x: ArrayLike) -> NDArray[np.float64]:
        """Scores of the data values `x`, in the shape of `x`."""
        array = _arrays.flat(x)
        return _arrays.from_f64(self._table.forward(array.reshape(-1)), array.shape)

    def backward(self, y: ArrayLike) -> NDArray[np.float64]:
        """Data values of the scores `y`, in the shape of `y`."""
        array = _arrays.flat(y)
        return _arrays.from_f64(self._table.back(array.reshape(-1)), array.shape)

    def __len__(self) -> int:
        return len(self._table)

    def __repr__(self) -> str:
        return f"NormalScoreTransform({len(self)} values from {float(self._values[0])!r} to {float(self._values[-1])!r})"


def sgs_scores(
    coords: ArrayLike,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: int,
    radius: float,
    seed: int,
) -> NDArray[np.float64]:
    """The simulated normal-score field of `sgs` with the same arguments, before
    its back transform: a float64 array of shape (ncol, nrow) indexed [col, row].
    `NormalScoreTransform(z).backward` of it is the field `sgs` returns, bit for
    bit, where z are the values of `coords` (an (N, 3) array or [x, y, z] rows).

    >>> import zaviktools as zk
    >>> data = [[0.0, 0.0, 1.0], [40.0, 30.0, 5.0], [10.0, 50.0, 2.0]]
    >>> lat, vg = zk.Lattice(0.0, 0.0, 10.0, 10.0, 5, 6), zk.Variogram("sph", 0.0, 1.0, 40.0)
    >>> scores = zk.sgs_scores(data, lat, vg, 8, 100.0, 7)
    >>> field = zk.NormalScoreTransform([1.0, 5.0, 2.0]).backward(scores)
    >>> field.tolist() == zk.sgs(data, lat, vg, 8, 100.0, 7)
    True
    """
    data = _arrays.rows(coords, 3, "coords")
    field, shape = _study.sgs_scores(data, lattice, variogram, max_neighbours, radius, seed)
    return _arrays.from_f64(field, shape)
