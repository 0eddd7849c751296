"""The demo's one import point for the study layer, and the one adapter over
the result of `ensemble_maps`.

Every study call of the demo goes through the names imported here, so they
can be checked or replaced in one place.
"""

from __future__ import annotations

from typing import Iterable, NamedTuple

import numpy as np

from . import NormalScoreTransform, cross_validate, ensemble_maps, krige_grid, node_coordinates, polygon_mask

__all__ = ["NormalScoreTransform", "cross_validate", "krige_grid", "node_coordinates", "polygon_mask",
           "PercentileMaps", "percentile_maps"]


class PercentileMaps(NamedTuple):
    """Node-wise P-maps of an ensemble; `p90` is the low case (exceeded at 90 %)."""

    p90: np.ndarray
    p50: np.ndarray
    p10: np.ndarray


def percentile_maps(fields: Iterable[np.ndarray]) -> PercentileMaps:
    """The P90/P50/P10 maps of `fields` (each `(ncol, nrow)`)."""
    r = ensemble_maps(fields, percentiles=(90, 50, 10))
    return PercentileMaps(*(np.asarray(r.p_maps[p]) for p in (90, 50, 10)))
