"""A structure's own spill point, closure and gross-rock volume (GRV).

Heights are metres above the datum, crest = max. Flooding downward from the
crest, the fill level is the lowest height on the best path from the crest to
each node (nodes come out of a max-heap in that order); the first node on the
lattice edge (or beside an undefined node) to come out gives the spill level:
the saddle where the crest's region would first leak off the map. The closure
is the contour just above it, so the ring passes beside the saddle instead of
pinching at it.
"""

from __future__ import annotations

import heapq
import math
from typing import NamedTuple, Optional

import numpy as np

from . import _zaviktools as zk
from ._demo_study_api import polygon_mask

SPILL_MARGIN_M = 0.001  # the closing contour lies 1 mm above the saddle


class Closure(NamedTuple):
    """The closure of one map: `level` is the height of its closing contour
    (NaN when the crest lies on the edge), `spill_xy` the saddle node (the
    spill point)."""

    level: float
    crest_xy: tuple[float, float]
    spill_xy: Optional[tuple[float, float]]
    ring: list[list[float]]
    mask: np.ndarray
    area_m2: float
    grv_m3: float
    at_edge: bool = False  # the saddle is a node on the lattice's edge: the map bounds the closure


def flood(z: np.ndarray, crest: tuple[int, int]) -> tuple[float, Optional[tuple[int, int]], list[int]]:
    """`(spill height, saddle node, flat indices col * nrow + row in the order
    they were reached)` of the region flooded from `crest` until it reaches the
    edge. The saddle is None when the crest itself is on the edge."""
    ncol, nrow = z.shape
    h = z.ravel().tolist()
    start = crest[0] * nrow + crest[1]
    seen = bytearray(ncol * nrow)
    seen[start] = 1
    heap = [(-h[start], start)]
    level, saddle, order = math.inf, start, list[int]()
    while heap:
        neg, k = heapq.heappop(heap)
        if -neg < level:
            level, saddle = -neg, k
        i, j = divmod(k, nrow)
        if i in (0, ncol - 1) or j in (0, nrow - 1) or not math.isfinite(h[k]):
            return level, (divmod(saddle, nrow) if order else None), order
        order.append(k)
        for n in (k - nrow, k + nrow, k - 1, k + 1):
            if not seen[n]:
                seen[n] = 1
                # An undefined node is open like the edge, at the height of the node beside it.
                heapq.heappush(heap, (-(h[n] if math.isfinite(h[n]) else -neg), n))
    raise AssertionError("flood: the edge was never reached")


def shoelace(ring: list[list[float]]) -> float:
    # About the first vertex: world coordinates are ~1e6, areas ~1e6 m².
    if len(ring) < 3:
        return 0.0
    p = np.asarray(ring) - ring[0]
    x, y = p[:, 0], p[:, 1]
    return float(abs(np.dot(x, np.roll(y, -1)) - np.dot(np.roll(x, -1), y)) / 2)


def closure(z: np.ndarray, lattice: zk.Lattice, within: np.ndarray) -> Closure:
    """The closure of the structure whose crest is the highest node of `z`
    (shape `(ncol, nrow)`) among the nodes where `within` is true, and the
    GRV above its closing contour inside it."""
    crest = np.unravel_index(np.nanargmax(np.where(within, z, -np.inf)), z.shape)
    crest_ij = (int(crest[0]), int(crest[1]))
    crest_xy = lattice.node_xy(*crest_ij)
    top = float(z[crest_ij])
    spill, saddle, order = flood(z, crest_ij)
    empty = np.zeros(z.shape, dtype=bool)
    if saddle is None or not top > spill:
        return Closure(math.nan, crest_xy, None, [], empty, 0.0, 0.0)
    level = spill + min(SPILL_MARGIN_M, (top - spill) / 2)
    # The crest's region above the level: the nodes reached before the fill
    # level first came down to it.
    fill = np.minimum.accumulate(z.ravel()[order])
    flat = np.zeros(z.size, dtype=bool)
    flat[np.asarray(order)[fill > level]] = True
    region = flat.reshape(z.shape)
    # Other culminations above the level are lowered onto it, so the largest
    # closed ring at the level is the crest's own (its neighbours are all at or
    # below the level already: lowering them moves none of its crossings).
    own = np.where(region, z, np.fmin(z, level))
    ring = zk.closure_outline(own, lattice, level)
    mask = np.asarray(polygon_mask(ring, lattice), dtype=bool) if ring else empty
    grv = float(np.clip(own - level, 0.0, None)[mask].sum() * abs(lattice.xinc * lattice.yinc))
    at_edge = saddle[0] in (0, z.shape[0] - 1) or saddle[1] in (0, z.shape[1] - 1)
    return Closure(level, crest_xy, lattice.node_xy(*saddle), ring, mask, shoelace(ring), grv, at_edge)
