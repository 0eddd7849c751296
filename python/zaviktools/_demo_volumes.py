"""Grid helpers of the demo study: decoding flat grids, the spill level, the
nodes inside a closing contour and the gross-rock volume above a level.

No numpy: flat grids are read with `array`, the node test is a scanline in
the lattice's own (intrinsic) frame.
"""

from __future__ import annotations

import math
import sys
from array import array
from typing import Sequence

from . import _zaviktools as zk


def values(buf: bytes) -> "array[float]":
    """The little-endian f64 buffer of a flat crossing as an `array('d')`."""
    a = array("d")
    a.frombytes(buf)
    if sys.byteorder == "big":
        a.byteswap()
    return a


def columns(a: Sequence[float], ncol: int, nrow: int) -> list[list[float]]:
    """Flat `field[col][row]` values (row fastest) as nested lists."""
    return [list(a[i * nrow : (i + 1) * nrow]) for i in range(ncol)]


def spill_level(a: Sequence[float], ncol: int, nrow: int, margin: float = 0.1) -> float:
    """A level `margin` of the structure's relief above the highest node on the
    map edge: the contour there cannot reach the edge, so it closes whenever the
    crest stands above the edge at all (heights: crest = max)."""
    edge = [a[i * nrow + j] for i in range(ncol) for j in (0, nrow - 1)]
    edge += [a[i * nrow + j] for i in (0, ncol - 1) for j in range(nrow)]
    edge_max = max(v for v in edge if math.isfinite(v))
    crest = max(v for v in a if math.isfinite(v))
    return edge_max + margin * max(crest - edge_max, 0.0)


def nodes_inside(ring: Sequence[Sequence[float]], lattice: zk.Lattice) -> list[int]:
    """Flat indices `col * nrow + row` of the nodes strictly inside `ring`
    (even-odd rule), found column by column in intrinsic coordinates."""
    ncol, nrow = lattice.ncol, lattice.nrow
    pts = [lattice.world_to_intrinsic(x, y) for x, y in ring]
    if len(pts) < 3 or any(p is None for p in pts):
        return []
    ij = [p for p in pts if p is not None]
    edges = list(zip(ij, ij[1:] + ij[:1]))
    inside: list[int] = []
    for i in range(ncol):
        # Half-open crossing rule: a vertex exactly on the scanline counts once.
        cuts = sorted(a[1] + (i - a[0]) * (b[1] - a[1]) / (b[0] - a[0])
                      for a, b in edges if (a[0] <= i) != (b[0] <= i))
        for lo, hi in zip(cuts[::2], cuts[1::2]):
            first = max(math.floor(lo) + 1, 0)
            last = min(math.ceil(hi) - 1, nrow - 1)
            inside.extend(i * nrow + j for j in range(first, last + 1))
    return inside


def grv(top: Sequence[float], nodes: Sequence[int], level: float, cell_area: float) -> float:
    """Gross-rock volume: the column from `level` up to `top` summed over
    `nodes` (nodes below the level add nothing), times the cell area."""
    heights = (top[k] - level for k in nodes)
    return sum(h for h in heights if h > 0.0) * cell_area
