"""Ordinary kriging at scattered points and onto lattices, with an isotropic
`Variogram` or an `AnisotropicVariogram`, and leave-one-out cross-validation,
for numpy arrays.

The kriging is that of `local_kriging_grid`: moving neighbourhoods of up to
`max_neighbours` data within `radius`, the ordinary kriging system in
semivariogram form, coincident data merged (their values averaged). With an
`AnisotropicVariogram` the neighbours are the nearest in the variogram's own
distance (the rotated, range-scaled metric of `anisotropic_distance`), so
`radius` is in major-axis units, and the system is built from `gamma_offset`.

The computations run with the GIL released, spread over the worker threads
set by ZAVIKTOOLS_NUM_THREADS (default: one per CPU), and give the same bits
at every thread count. Results are writable float64 arrays over the native
result buffers (no copy is made).
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import TypeAlias

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import _arrays, _study
from ._zaviktools import AnisotropicVariogram, Lattice, Variogram

__all__ = ["CrossValidation", "cross_validate", "krige_grid", "krige_points"]

AnyVariogram: TypeAlias = Variogram | AnisotropicVariogram


def krige_points(
    coords: ArrayLike,
    targets: ArrayLike,
    variogram: AnyVariogram,
    max_neighbours: int,
    radius: float,
) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Ordinary kriging of `coords` (an (N, 3) array or [x, y, z] rows, the value
    in z) at `targets` (an (M, 2) array of [x, y]): `(estimate, variance)`, two
    float64 arrays of length M, NaN where no datum lies within `radius` (or the
    target is not finite).

    With a `Variogram` and targets at lattice nodes (`Lattice.node_xy`) the result
    is bit for bit that of `local_kriging_grid` at those nodes.

    >>> import zaviktools as zk
    >>> est, var = zk.krige_points([[0, 0, 1.0], [10, 0, 3.0]], [[5, 0], [0, 0]],
    ...                            zk.Variogram("sph", 0.0, 1.0, 20.0), 8, 50.0)
    >>> est.tolist(), float(var[1])
    ([2.0, 1.0], 0.0)
    """
    data = _arrays.rows(coords, 3, "coords")
    points = _arrays.rows(targets, 2, "targets")
    estimate, variance = _study.krige_points(data, points, variogram, max_neighbours, radius)
    return _arrays.from_f64(estimate), _arrays.from_f64(variance)


def krige_grid(
    coords: ArrayLike,
    lattice: Lattice,
    variogram: AnyVariogram,
    max_neighbours: int,
    radius: float,
) -> tuple[NDArray[np.float64], NDArray[np.float64]]:
    """Ordinary kriging of `coords` (an (N, 3) array or [x, y, z] rows) onto every
    node of `lattice` (any rotation or flip): `(estimate, variance)`, two float64
    arrays of shape (ncol, nrow) indexed [col, row], NaN where no datum lies
    within `radius`. With a `Variogram` these are exactly the fields of
    `local_kriging_grid`.

    >>> import zaviktools as zk
    >>> lat = zk.Lattice(0.0, 0.0, 5.0, 5.0, 3, 2, rotation_deg=30.0)
    >>> aniso = zk.AnisotropicVariogram("exp", 40.0, 10.0, 5.0, 60.0)
    >>> est, var = zk.krige_grid([[0, 0, 1.0], [8, 3, 2.0], [2, 9, 4.0]], lat, aniso, 8, 100.0)
    >>> est.shape, float(est[0, 0]), float(var[0, 0])
    ((3, 2), 1.0, 0.0)
    """
    data = _arrays.rows(coords, 3, "coords")
    estimate, variance, shape = _study.krige_grid(data, lattice, variogram, max_neighbours, radius)
    return _arrays.from_f64(estimate, shape), _arrays.from_f64(variance, shape)


@dataclass(frozen=True, repr=False, eq=False)
class CrossValidation:
    """Leave-one-out cross-validation of kriging (see `cross_validate`).

    Per datum, in input order: `estimate` and `variance` (the datum kriged from
    the data at every other location; NaN where none lies within the radius),
    `error` (estimate − value) and `standardised` (error / sqrt(variance); ±inf
    or NaN where the variance is 0). The summaries cover the data with a defined
    estimate, `n_kriged` of them: `rmse` (root mean squared error), `mean_error`
    and `msse` (mean squared standardised error, over those with a positive
    variance; near 1 when the variogram describes the data). A summary over no
    data is NaN.
    """

    estimate: NDArray[np.float64]
    variance: NDArray[np.float64]
    error: NDArray[np.float64]
    standardised: NDArray[np.float64]
    rmse: float
    mean_error: float
    msse: float
    n_kriged: int

    def __repr__(self) -> str:
        return (f"CrossValidation(n={self.estimate.size}, n_kriged={self.n_kriged}, rmse={self.rmse!r}, "
                f"mean_error={self.mean_error!r}, msse={self.msse!r})")


def _mean(values: NDArray[np.float64]) -> float:
    return float(values.mean()) if values.size else math.nan


def cross_validate(
    coords: ArrayLike,
    variogram: AnyVariogram,
    max_neighbours: int,
    radius: float,
) -> CrossValidation:
    """Leave-one-out cross-validation of `coords` (an (N, 3) array or [x, y, z]
    rows): each datum kriged from the others, with the neighbourhood and system
    of `krige_points`.

    Data at one location (exactly equal x and y) are left out together: each is
    kriged from the data at every other location, never from its twin, which
    would only repeat a measurement with variance 0. Such data share one
    estimate and variance; the twins of the other locations enter averaged, as
    in any kriging.

    >>> import zaviktools as zk
    >>> cv = zk.cross_validate([[0, 0, 1.0], [10, 0, 3.0], [0, 10, 2.0], [10, 10, 5.0]],
    ...                        zk.Variogram("exp", 0.1, 1.0, 30.0), 8, 50.0)
    >>> cv.error.shape, cv.n_kriged
    ((4,), 4)
    """
    data = _arrays.rows(coords, 3, "coords")
    raw_estimate, raw_variance = _study.cross_validate(data, variogram, max_neighbours, radius)
    estimate, variance = _arrays.from_f64(raw_estimate), _arrays.from_f64(raw_variance)
    error = estimate - data[:, 2]
    with np.errstate(divide="ignore", invalid="ignore"):
        standardised = error / np.sqrt(variance)
    kriged = np.isfinite(estimate)
    positive = kriged & (variance > 0.0)
    return CrossValidation(
        estimate=estimate,
        variance=variance,
        error=error,
        standardised=standardised,
        rmse=math.sqrt(_mean(error[kriged] ** 2)),
        mean_error=_mean(error[kriged]),
        msse=_mean(standardised[positive] ** 2),
        n_kriged=int(kriged.sum()),
    )
