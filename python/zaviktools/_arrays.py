"""Conversions between numpy arrays and the flat buffers of `zaviktools._study`.

Inputs become C-contiguous native float64 arrays (one copy only when the
caller's array is not one already). Results wrap the bytearray a native call
filled, without copying: they are ordinary writable arrays that own no
separate buffer.
"""

from __future__ import annotations

import numpy as np
from numpy.typing import ArrayLike, NDArray

_FIELDS = {2: "[x, y]", 3: "[x, y, z]"}


def rows(values: ArrayLike, width: int, name: str) -> NDArray[np.float64]:
    """`values` as an (N, width) float64 array; an empty input is N = 0."""
    array = np.asarray(values, dtype=np.float64)
    if array.size == 0:
        array = array.reshape(0, width)
    if array.ndim != 2 or array.shape[1] != width:
        raise ValueError(f"{name} must be an (N, {width}) array of {_FIELDS[width]} rows, got shape {array.shape}")
    return np.ascontiguousarray(array)


def flat(values: ArrayLike) -> NDArray[np.float64]:
    """`values` as a C-contiguous float64 array of the same shape (0-d for a scalar)."""
    return np.asarray(values, dtype=np.float64, order="C")


def from_f64(buffer: bytearray, shape: tuple[int, ...] | None = None) -> NDArray[np.float64]:
    """A writable float64 array over the native result, reshaped to `shape`."""
    array = np.frombuffer(buffer, dtype=np.float64)
    return array if shape is None else array.reshape(shape)
