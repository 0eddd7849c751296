"""The structural trend of the tops: a quadratic surface in easting and
northing fitted to the wells by least squares.

A dome is not stationary: kriged or simulated as it stands, the far-from-well
nodes fall back to the mean of the tops and every realisation leaks through
rough saddles. The trend carries the dome; what is kriged and simulated is the
residual about it, much closer to stationary.
"""

from __future__ import annotations

from typing import NamedTuple

import numpy as np


class Trend(NamedTuple):
    """h(x, y) = c · (1, u, v, u², uv, v²) with u = (x − x0) / scale and
    v = (y − y0) / scale (centred and scaled so the fit is well conditioned)."""

    x0: float
    y0: float
    scale: float
    coefficients: tuple[float, ...]

    def at(self, x: np.ndarray, y: np.ndarray) -> np.ndarray:
        values: np.ndarray = _basis(self, np.asarray(x, dtype=float), np.asarray(y, dtype=float)) @ np.asarray(self.coefficients)
        return values


def _basis(t: Trend, x: np.ndarray, y: np.ndarray) -> np.ndarray:
    u, v = (x - t.x0) / t.scale, (y - t.y0) / t.scale
    return np.stack([np.ones_like(u), u, v, u * u, u * v, v * v], axis=-1)


def fit(coords: np.ndarray, scale: float) -> Trend:
    """Least-squares quadratic through `coords` rows `[x, y, value]`; needs
    at least six wells not on one conic (refused with a ValueError)."""
    x, y, h = coords[:, 0], coords[:, 1], coords[:, 2]
    base = Trend(float(x.mean()), float(y.mean()), float(scale), ())
    a = _basis(base, x, y)
    coefficients, _, rank, _ = np.linalg.lstsq(a, h, rcond=None)
    if rank < a.shape[1]:
        raise ValueError(f"trend: {len(h)} wells do not determine a quadratic surface")
    return base._replace(coefficients=tuple(float(c) for c in coefficients))
