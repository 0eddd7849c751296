"""The demo's one import point for the study layer, and the one adapter over
the result of `ensemble_maps`.

Every study call of the demo goes through the names imported here, so they
can be checked or replaced in one place.
"""

from __future__ import annotations

from typing import Any, Iterable, NamedTuple

import numpy as np

try:
    from . import (  # the study layer
        NormalScoreTransform,
        cross_validate,
        ensemble_maps,
        krige_grid,
        node_coordinates,
        polygon_mask,
    )
except ImportError:  # stand-in while the study layer is not built in
    from ._study_shim_tmp import (  # type: ignore[no-redef]
        NormalScoreTransform,
        cross_validate,
        ensemble_maps,
        krige_grid,
        node_coordinates,
        polygon_mask,
    )

__all__ = ["NormalScoreTransform", "cross_validate", "krige_grid", "node_coordinates", "polygon_mask",
           "EnsembleMaps", "percentile_maps"]


class EnsembleMaps(NamedTuple):
    """Node-wise digest of an ensemble; `p90` is the low case (exceeded at 90 %)."""

    mean: np.ndarray
    std: np.ndarray
    p90: np.ndarray
    p50: np.ndarray
    p10: np.ndarray


def _percentile_map(result: Any, p: int) -> np.ndarray:
    for name in (f"p{p}", f"P{p}"):
        if hasattr(result, name):
            return np.asarray(getattr(result, name))
    for name in ("percentiles", "p_maps", "pmaps", "maps"):
        table = getattr(result, name, None)
        if table is None:
            continue
        if isinstance(table, dict):
            for key in (p, f"p{p}", f"P{p}", float(p)):
                if key in table:
                    return np.asarray(table[key])
        else:  # a stack in the order of the percentiles asked for
            return np.asarray(table[(90, 50, 10).index(p)])
    raise AttributeError(f"ensemble_maps result {type(result).__name__} has no P{p} map")


def percentile_maps(fields: Iterable[np.ndarray]) -> EnsembleMaps:
    """Mean, standard deviation and the P90/P50/P10 maps of `fields`."""
    r = ensemble_maps(fields, percentiles=(90, 50, 10))
    mean = getattr(r, "mean", None)
    std = getattr(r, "std", None)
    if std is None:
        std = getattr(r, "stddev", None)
    if mean is None or std is None:
        raise AttributeError(f"ensemble_maps result {type(r).__name__} has no mean or std map")
    return EnsembleMaps(np.asarray(mean), np.asarray(std), *(_percentile_map(r, p) for p in (90, 50, 10)))
