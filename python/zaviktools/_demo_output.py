"""Files of the demo study: PNG maps with matplotlib when it is installed,
otherwise the same grids as `.npy` and the outlines and wells as CSV.

matplotlib is imported only here and only when maps are written; the `.npy`
files are written by hand (format 1.0), so numpy is never needed.
"""

from __future__ import annotations

import csv
import os
import struct
from typing import Iterable, NamedTuple, Sequence

from . import _zaviktools as zk
from ._demo_volumes import columns, values

NO_MATPLOTLIB = (
    'matplotlib is not installed (pip install "zaviktools[plot]"); writing the maps as .npy/CSV instead'
)

Points = Sequence[Sequence[float]]


class Map(NamedTuple):
    """One map: a flat grid on the study lattice with named overlays."""

    name: str
    title: str
    grid: bytes
    label: str
    rings: dict[str, Points] = {}
    points: dict[str, Points] = {}


def write_npy(path: str, buf: bytes, shape: tuple[int, int]) -> None:
    """`buf` (little-endian f64, C order) as a .npy file of format version 1.0."""
    header = f"{{'descr': '<f8', 'fortran_order': False, 'shape': ({shape[0]}, {shape[1]}), }}"
    # Magic (6) + version (2) + length (2) + header + newline, padded to 64 bytes.
    pad = -(10 + len(header) + 1) % 64
    text = (header + " " * pad + "\n").encode("latin1")
    if len(buf) != 8 * shape[0] * shape[1]:
        raise ValueError(f"write_npy: {len(buf)} bytes do not fill a {shape[0]} x {shape[1]} f64 grid")
    with open(path, "wb") as fh:
        fh.write(b"\x93NUMPY\x01\x00" + struct.pack("<H", len(text)) + text + buf)


def write_csv(path: str, header: Sequence[str], rows: Iterable[Sequence[object]]) -> None:
    # repr of a float is its shortest round-trip decimal, so the CSV reads back exactly.
    with open(path, "w", newline="") as fh:
        w = csv.writer(fh)
        w.writerow(header)
        w.writerows([repr(v) if isinstance(v, float) else v for v in row] for row in rows)


def _png(path: str, m: Map, lattice: zk.Lattice, xy: tuple[list[list[float]], list[list[float]]]) -> None:
    from matplotlib.figure import Figure

    fig = Figure(figsize=(6.4, 5.2), dpi=100)
    ax = fig.add_subplot()
    z = columns(values(m.grid), lattice.ncol, lattice.nrow)
    mesh = ax.pcolormesh(xy[0], xy[1], z, shading="gouraud", cmap="viridis")
    fig.colorbar(mesh, ax=ax, label=m.label)
    for name, ring in m.rings.items():
        if ring:
            ax.plot([p[0] for p in ring] + [ring[0][0]], [p[1] for p in ring] + [ring[0][1]], lw=1.5,
                    label=name.replace("_", " "))
    for name, pts in m.points.items():
        ax.scatter([p[0] for p in pts], [p[1] for p in pts], s=14, c="white", edgecolors="black",
                   label=name.replace("_", " "))
    if m.rings or m.points:
        ax.legend(loc="upper right", fontsize="small")
    ax.set_title(m.title)
    ax.set_aspect("equal")
    ax.ticklabel_format(useOffset=False, style="plain")
    ax.tick_params(labelsize="x-small")
    ax.set_xlabel("easting (m)")
    ax.set_ylabel("northing (m)")
    fig.savefig(path)


def write_maps(out: str, lattice: zk.Lattice, maps: Sequence[Map]) -> list[str]:
    """PNG per map, or (matplotlib missing) each distinct grid as `.npy` and each
    named overlay as CSV. Returns the paths written."""
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print(NO_MATPLOTLIB)
        return _write_raw(out, lattice, maps)
    nodes = [[lattice.node_xy(i, j) for j in range(lattice.nrow)] for i in range(lattice.ncol)]
    xy = ([[p[0] for p in col] for col in nodes], [[p[1] for p in col] for col in nodes])
    files = []
    for m in maps:
        path = os.path.join(out, f"{m.name}.png")
        _png(path, m, lattice, xy)
        files.append(path)
    return files


def _write_raw(out: str, lattice: zk.Lattice, maps: Sequence[Map]) -> list[str]:
    files: list[str] = []
    grids: set[int] = set()
    overlays: set[str] = set()
    for m in maps:
        if id(m.grid) not in grids:  # the closure map reuses the surface grid
            grids.add(id(m.grid))
            files.append(os.path.join(out, f"{m.name}.npy"))
            write_npy(files[-1], m.grid, (lattice.ncol, lattice.nrow))
        for name, pts in {**m.rings, **m.points}.items():
            if name not in overlays:
                overlays.add(name)
                files.append(os.path.join(out, f"{name}.csv"))
                write_csv(files[-1], ("x", "y"), pts)
    return files
