"""Native kernels of the study layer (`zaviktools._study`): flat float64
buffers in, bytearrays out. The `zaviktools` package wraps them for numpy."""

# Declarations of the compiled module for type checkers. A float64 buffer is
# any object with the buffer protocol (a float64 numpy array of any shape,
# array.array("d"), a memoryview) or raw little-endian bytes; the module checks
# the item format when called. `zaviktools.kriging`, `zaviktools.nscore`,
# `zaviktools.simulation` and `zaviktools.masks` are the typed numpy entry points.

from collections.abc import Sequence
from typing import Any, SupportsFloat, SupportsIndex, TypeAlias, final

import numpy as np
from typing_extensions import Buffer

from ._zaviktools import AnisotropicVariogram, Lattice, Variogram

_Real: TypeAlias = SupportsFloat | SupportsIndex
# numpy declares its buffer protocol only for Python >= 3.12.
_F64: TypeAlias = Buffer | np.ndarray[Any, np.dtype[np.float64]]
_Shape: TypeAlias = tuple[int, int]  # (ncol, nrow)

@final
class NormalScore:
    """The normal-score table of `data` (a buffer of float64 values): the distinct
    values ascending and the mean midpoint-rank score of each, the table the
    conditional simulation fits to its data. The fit runs with the GIL released."""

    def __new__(cls, data: _F64) -> NormalScore: ...
    def forward(self, x: _F64) -> bytearray:
        """Scores of the values in `x` (a float64 buffer) as a bytearray of float64:
        piecewise-linear between the table's entries, flat beyond them; NaN stays NaN."""

    def back(self, y: _F64) -> bytearray:
        """Values of the scores in `y` (a float64 buffer) as a bytearray of float64:
        piecewise-linear between the table's entries, flat beyond them; NaN stays NaN."""

    @property
    def values(self) -> bytes:
        """The distinct data values, ascending, as float64 bytes."""

    @property
    def scores(self) -> bytes:
        """The score of each value, ascending, as float64 bytes."""

    def __len__(self) -> int: ...

def sgs_scores(
    coords: _F64,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: SupportsIndex,
    radius: _Real,
    seed: SupportsIndex,
) -> tuple[bytearray, _Shape]:
    """The normal-score field of `sgs` with the same arguments (`coords` a float64
    buffer of [x, y, z] rows), before its back transform: `(bytearray,
    (ncol, nrow))`. `sgs` is the back transform of this field through the table
    `NormalScore(z)`, bit for bit. Runs with the GIL released."""

def sgs_ensemble(
    coords: _F64,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: SupportsIndex,
    radius: _Real,
    seeds: Sequence[SupportsIndex],
    threads: SupportsIndex | None = None,
) -> tuple[bytearray, _Shape]:
    """One realisation of `sgs` per seed of `seeds` (`coords` a float64 buffer of
    [x, y, z] rows): `(bytearray, (ncol, nrow))`, the fields one after another,
    each in `field[col][row]` order and equal bit for bit to `sgs_flat` with its
    seed. `threads`: exactly that many workers (default: the configured count).
    Runs with the GIL released; the result is the same bits at every thread count."""

def krige_points(
    coords: _F64,
    targets: _F64,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: SupportsIndex,
    radius: _Real,
    threads: SupportsIndex | None = None,
) -> tuple[bytearray, bytearray]:
    """Moving-neighbourhood ordinary kriging of `coords` (float64 buffer of
    [x, y, z] rows) at `targets` (float64 buffer of [x, y] rows), with a
    `Variogram` or an `AnisotropicVariogram`: `(estimate, variance)` as two
    bytearrays of float64, NaN where no datum lies within `radius`. `threads`:
    exactly that many workers (default: the configured count). Runs with the GIL
    released; the result is the same bits at every thread count."""

def krige_grid(
    coords: _F64,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: SupportsIndex,
    radius: _Real,
    threads: SupportsIndex | None = None,
) -> tuple[bytearray, bytearray, _Shape]:
    """Moving-neighbourhood ordinary kriging of `coords` (float64 buffer of
    [x, y, z] rows) onto `lattice`, with a `Variogram` (exactly
    `local_kriging_grid`) or an `AnisotropicVariogram`: `(estimate, variance,
    (ncol, nrow))`, two bytearrays of float64 in `field[col][row]` order. Runs
    with the GIL released; the result is the same bits at every thread count."""

def krige_grid_window(
    coords: _F64,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: SupportsIndex,
    radius: _Real,
    col_start: SupportsIndex,
    col_stop: SupportsIndex,
    row_start: SupportsIndex,
    row_stop: SupportsIndex,
    threads: SupportsIndex | None = None,
) -> tuple[bytearray, bytearray, _Shape]:
    """`krige_grid` over the nodes [col_start, col_stop) × [row_start, row_stop) of
    `lattice`: `(estimate, variance, (ncols, nrows))`, two bytearrays of float64
    in `field[col][row]` order, window node (0, 0) being lattice node
    (col_start, row_start). Every node holds exactly the bits of the
    whole-lattice call. Runs with the GIL released."""

def cross_validate(
    coords: _F64,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: SupportsIndex,
    radius: _Real,
    threads: SupportsIndex | None = None,
) -> tuple[bytearray, bytearray]:
    """Leave-one-out cross-validation of `coords` (float64 buffer of [x, y, z]
    rows): each datum kriged from the data at every other location, with a
    `Variogram` or an `AnisotropicVariogram`. Data sharing a location are left
    out together. `(estimate, variance)` as two bytearrays of float64, one
    value per datum. Runs with the GIL released; the same bits at every thread
    count."""

def polygon_mask(ring: _F64, lattice: Lattice) -> tuple[bytearray, _Shape]:
    """Which nodes of `lattice` lie inside the polygon `ring` (float64 buffer of
    [x, y] vertices, implicitly closed), by the even-odd test of
    `place_wells_in_polygon`: `(bytearray, (ncol, nrow))`, one byte per node in
    `field[col][row]` order, 1 inside. Runs with the GIL released."""
