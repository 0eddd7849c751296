"""numpy views of lattice geometry: a `Lattice` from regular coordinate axes,
and the world coordinates of every node as two `(ncol, nrow)` arrays."""

from __future__ import annotations

import math
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _budget
from ._zaviktools import Lattice

__all__ = ["lattice_from_axes", "node_coordinates"]

FloatArray = npt.NDArray[np.float64]

#: Default tolerance of `lattice_from_axes`: a millionth of the spacing.
DEFAULT_RTOL = 1e-6


def _axis(values: npt.ArrayLike, name: str) -> npt.NDArray[Any]:
    arr = np.asarray(values)
    if arr.dtype.kind not in "fiu":
        raise TypeError(f"lattice_from_axes: {name} must hold real numbers, not {arr.dtype}")
    if arr.ndim != 1:
        raise ValueError(f"lattice_from_axes: {name} must be one-dimensional, got shape {arr.shape}")
    if arr.size < 2:
        raise ValueError(
            f"lattice_from_axes: {name} has {arr.size} point{'s' if arr.size != 1 else ''}; "
            "at least 2 are needed to define a spacing"
        )
    if arr.dtype.kind == "f":
        bad = np.flatnonzero(~np.isfinite(arr))
        if bad.size:
            k = int(bad[0])
            raise ValueError(f"lattice_from_axes: {name}[{k}] is {float(arr[k])!r}; coordinates must be finite")
    return arr


def _spacing(arr: npt.NDArray[Any], name: str, rtol: float) -> float:
    """The spacing of an axis that must be evenly spaced to `rtol` of it.

    Each coordinate may lie off the evenly spaced position by `rtol` times
    the spacing, plus four units in the last place of the axis' own dtype at
    its largest magnitude (a float32 axis is as exact as float32 allows)."""
    x = arr.astype(np.float64)
    n = x.size
    with np.errstate(over="ignore"):
        step = float((x[-1] - x[0]) / (n - 1))
    if not math.isfinite(step):
        raise ValueError(f"lattice_from_axes: the spacing of {name} overflows")
    if step == 0.0 or np.any(np.diff(x) == 0.0):
        raise ValueError(f"lattice_from_axes: {name} repeats a coordinate; it must be strictly monotonic")
    ideal = np.arange(n, dtype=np.float64) * step + x[0]
    magnitude = np.max(np.abs(arr)).astype(arr.dtype if arr.dtype.kind == "f" else np.float64)
    tol = rtol * abs(step) + 4.0 * float(np.spacing(magnitude))
    off = np.abs(x - ideal)
    worst = int(np.argmax(off))
    if off[worst] > tol:
        raise ValueError(
            f"lattice_from_axes: {name} is not evenly spaced: {name}[{worst}] = {float(x[worst])!r} lies "
            f"{float(off[worst])!r} from {float(ideal[worst])!r}, the position at the mean spacing "
            f"{step!r} (tolerance {tol!r})"
        )
    return step


def lattice_from_axes(x: npt.ArrayLike, y: npt.ArrayLike, rtol: float = DEFAULT_RTOL) -> Lattice:
    """The unrotated `Lattice` whose nodes are the grid of axes `x` and `y`.

    `x` holds the coordinates of the columns (I axis, `ncol = len(x)`) and `y`
    those of the rows (J axis, `nrow = len(y)`), so that node `(i, j)` lies at
    `(x[i], y[j])` and an array `z[i, j]` of shape `(ncol, nrow)` matches the
    lattice node for node. The spacing is the mean step,
    `(x[-1] - x[0]) / (len(x) - 1)`.

    - `x` must increase (reverse it together with the array's first axis).
      A decreasing `y`, as in images stored top row first, gives a lattice
      with `yflip=True` and a positive `yinc`.
    - The axes must be evenly spaced: every coordinate within `rtol` times
      the spacing (default 1e-6) of its evenly spaced position, plus a few
      units in the last place of the axis' dtype at its largest magnitude.
    - Each axis needs at least two finite, distinct points.

    Any violation is a `ValueError` naming the axis (and the first offending
    point); a non-numeric axis is a `TypeError`.

        >>> lat = lattice_from_axes(np.arange(5) * 25.0 + 1000.0, [500.0, 490.0, 480.0])
        >>> lat
        Lattice(xori=1000, yori=500, xinc=25, yinc=10, ncol=5, nrow=3, rotation_deg=0, yflip=true)
        >>> lat.node_xy(4, 2)
        (1100.0, 480.0)
    """
    if isinstance(rtol, bool) or not isinstance(rtol, (int, float)) or not (0.0 <= rtol < 1.0):
        raise ValueError(f"lattice_from_axes: rtol must be a real in [0, 1), got {rtol!r}")
    xa = _axis(x, "x")
    ya = _axis(y, "y")
    dx = _spacing(xa, "x", float(rtol))
    dy = _spacing(ya, "y", float(rtol))
    if dx < 0.0:
        raise ValueError(
            "lattice_from_axes: x decreases; reverse it together with the field's first axis "
            "(x[::-1], z[::-1, :])"
        )
    flip = dy < 0.0
    return Lattice(float(xa[0]), float(ya[0]), dx, abs(dy), int(xa.size), int(ya.size), yflip=flip)


def node_coordinates(lattice: Lattice) -> tuple[FloatArray, FloatArray]:
    """World coordinates `(X, Y)` of every node, each of shape `(ncol, nrow)`.

    `(X[i, j], Y[i, j])` equals `lattice.node_xy(i, j)` bit for bit, rotated
    and flipped lattices included: the same products and sums in the same
    order, one rounding each.

        >>> X, Y = node_coordinates(zk.Lattice(0.0, 0.0, 25.0, 10.0, 3, 2))
        >>> X.tolist(), Y.tolist()
        ([[0.0, 0.0], [25.0, 25.0], [50.0, 50.0]], [[0.0, 10.0], [0.0, 10.0], [0.0, 10.0]])
    """
    if not isinstance(lattice, Lattice):
        raise TypeError(f"node_coordinates: lattice must be a Lattice, not {type(lattice).__name__}")
    # The step vectors are the four products the forward transform uses
    # (cos·xinc, sin·xinc and the signed J terms), to the bit.
    ncol, nrow = lattice.ncol, lattice.nrow
    _budget.check(f"node_coordinates: two {ncol}\u00d7{nrow} arrays", 16 * ncol * nrow + 8 * (ncol + nrow))
    (ix, iy), (jx, jy) = lattice.step_vectors()
    i = np.arange(lattice.ncol, dtype=np.float64)
    j = np.arange(lattice.nrow, dtype=np.float64)
    # x = (i·ix + xori) + jx·j: separate ufuncs, so no contraction into an FMA.
    X = np.add((i * ix + lattice.xori)[:, None], (jx * j)[None, :])
    Y = np.add((i * iy + lattice.yori)[:, None], (jy * j)[None, :])
    return X, Y
