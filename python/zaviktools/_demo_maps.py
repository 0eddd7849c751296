"""PNG maps of the demo study (matplotlib, imported only when maps are drawn).

A map file holds one or more panels on one colour scale and one colour bar;
every depth map of a run shares the same scale and contour levels, so two
maps compare by eye. Grids are `(ncol, nrow)` arrays on the study lattice,
drawn at the lattice's world node positions (any rotation).
"""

from __future__ import annotations

import math
from typing import NamedTuple, Optional, Sequence

import numpy as np

Points = Sequence[Sequence[float]]

RING_STYLE = {
    "area": {"color": "white", "ls": "--", "lw": 1.2},
    "closure": {"color": "red", "ls": "-", "lw": 1.6},
    "truth": {"color": "black", "ls": ":", "lw": 1.4},
}


class Scale(NamedTuple):
    """Colour map, range, colour-bar label and labelled contour levels."""

    cmap: str
    vmin: float
    vmax: float
    label: str
    levels: Optional[Sequence[float]] = None
    fmt: str = "%.0f"


class Panel(NamedTuple):
    """One map: `rings` are `(legend label, ring, style)` with a style of
    RING_STYLE; `wells` are drawn with their names; `spill` is a point."""

    title: str
    grid: np.ndarray
    rings: Sequence[tuple[str, Points, str]] = ()
    wells: Points = ()
    spill: Optional[Sequence[float]] = None


def nice_levels(vmin: float, vmax: float, n: int = 8) -> list[float]:
    """Round contour levels inside [vmin, vmax]: a step of 1, 2, 2.5 or 5
    times a power of ten giving about `n` levels."""
    if not (math.isfinite(vmin) and math.isfinite(vmax)) or vmax <= vmin:
        return []
    raw = (vmax - vmin) / n
    mag = 10 ** math.floor(math.log10(raw))
    step = next(m * mag for m in (1, 2, 2.5, 5, 10) if m * mag >= raw)
    first = math.ceil(vmin / step) * step
    return [first + k * step for k in range(int((vmax - first) / step) + 1)]


class Frame(NamedTuple):
    """Where the lattice lies in the world: node coordinates `(X, Y)` shaped
    `(ncol, nrow)` and the affine map from (i, j) to (x, y)."""

    x: np.ndarray
    y: np.ndarray
    affine: np.ndarray  # 3 x 3


def frame(lattice, x: np.ndarray, y: np.ndarray) -> Frame:  # type: ignore[no-untyped-def]
    (ix, iy), (jx, jy) = lattice.step_vectors()
    return Frame(x, y, np.array([[ix, jx, lattice.xori], [iy, jy, lattice.yori], [0.0, 0.0, 1.0]]))


def _panel(ax, p: Panel, f: Frame, scale: Scale):  # type: ignore[no-untyped-def]
    from matplotlib.transforms import Affine2D

    # The grid as an image in the lattice's own (i, j) frame, carried into
    # the world by the lattice's affine map: any rotation or flip, and far
    # cheaper to draw than a mesh.
    ncol, nrow = p.grid.shape
    mesh = ax.imshow(p.grid.T, origin="lower", extent=(-0.5, ncol - 0.5, -0.5, nrow - 0.5),
                     transform=Affine2D(f.affine) + ax.transData, cmap=scale.cmap, vmin=scale.vmin,
                     vmax=scale.vmax, interpolation="bilinear")
    pad = 0.02 * max(np.ptp(f.x), np.ptp(f.y))
    ax.set_xlim(f.x.min() - pad, f.x.max() + pad)
    ax.set_ylim(f.y.min() - pad, f.y.max() + pad)
    xy = (f.x, f.y)
    if scale.levels:
        finite = p.grid[np.isfinite(p.grid)]
        levels = [v for v in scale.levels if finite.size and finite.min() < v < finite.max()]
        if levels:
            cs = ax.contour(xy[0], xy[1], p.grid, levels=levels, colors="black", linewidths=0.5, alpha=0.7)
            ax.clabel(cs, fontsize=6, fmt=scale.fmt, inline_spacing=2)
    for label, ring, style in p.rings:
        if len(ring) >= 3:
            xs = [q[0] for q in ring] + [ring[0][0]]
            ys = [q[1] for q in ring] + [ring[0][1]]
            ax.plot(xs, ys, label=label, **RING_STYLE[style])
    if len(p.wells):
        ax.scatter([w[0] for w in p.wells], [w[1] for w in p.wells], s=12, c="white", edgecolors="black",
                   linewidths=0.6, label="wells", zorder=3)
        for k, w in enumerate(p.wells):
            ax.annotate(f"W{k + 1}", (w[0], w[1]), xytext=(3, 3), textcoords="offset points", fontsize=5.5,
                        color="black", zorder=4)
    if p.spill is not None:
        ax.scatter([p.spill[0]], [p.spill[1]], marker="X", s=60, c="red", edgecolors="white", linewidths=0.8,
                   label="spill point", zorder=5)
    if p.rings or len(p.wells) or p.spill is not None:
        ax.legend(loc="upper right", fontsize="x-small", facecolor="#d9d9d9", framealpha=0.85)
    ax.set_title(p.title, fontsize="small")
    ax.set_aspect("equal")
    ax.ticklabel_format(useOffset=False, style="plain")
    ax.tick_params(labelsize="x-small")
    ax.set_xlabel("easting (m)", fontsize="small")
    ax.set_ylabel("northing (m)", fontsize="small")
    return mesh


def write_map(path: str, panels: Sequence[Panel], scale: Scale, f: Frame, columns: int = 1) -> None:
    """`panels` in a grid of `columns`, one colour bar for all of them."""
    from matplotlib.figure import Figure

    rows = -(-len(panels) // columns)
    # Fixed margins (inches) rather than a layout engine, which draws twice.
    w, h = 5.4 * columns + 1.3, 5.0 * rows
    fig = Figure(figsize=(w, h), dpi=100)
    fig.subplots_adjust(left=0.95 / w, right=1 - 1.45 / w, bottom=0.6 / h, top=1 - 0.4 / h,
                        wspace=0.3, hspace=0.25)
    axes = fig.subplots(rows, columns, squeeze=False).ravel()
    mesh = None
    for ax, p in zip(axes, panels):
        mesh = _panel(ax, p, f, scale)
    for ax in axes[len(panels):]:
        ax.set_visible(False)
    cax = fig.add_axes((1 - 1.15 / w, 0.6 / h + 0.1 * (1 - 1.0 / h), 0.18 / w, 0.8 * (1 - 1.0 / h)))
    grids = [p.grid[np.isfinite(p.grid)] for p in panels]
    low = any(g.size and g.min() < scale.vmin for g in grids)
    high = any(g.size and g.max() > scale.vmax for g in grids)
    extend = {(True, True): "both", (True, False): "min", (False, True): "max"}.get((low, high), "neither")
    assert mesh is not None, "write_map: no panel"
    fig.colorbar(mesh, cax=cax, label=scale.label, extend=extend)
    # Light compression: the maps are embedded in the report page as well.
    fig.savefig(path, pil_kwargs={"compress_level": 3})
