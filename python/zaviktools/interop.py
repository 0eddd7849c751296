"""Moving grids, logs and outlines between zaviktools and the tools around it.

- `as_array(flat_result)`: numpy views of a `_flat` function's buffers, no copy.
- `to_xtgeo(field, lattice)` / `from_xtgeo(surface)`: xtgeo `RegularSurface`
  with the same origin / increment / rotation / yflip vocabulary as `Lattice`.
- `write_las(path, depth, curves, well_name=...)`: a LAS 2.0 file via lasio.
- `to_geojson(ring_or_points)`: a GeoJSON geometry dict for outlines and
  well heads (no dependency).

numpy, xtgeo and lasio are optional (the `interop` extra) and are imported
only by the functions that need them.
"""

from __future__ import annotations

import importlib
import math
import os
from typing import Any, Mapping, Sequence

__all__ = ["as_array", "to_xtgeo", "from_xtgeo", "write_las", "to_geojson"]

_EXTRA = "interop"


def _need(module: str, func: str, package: str | None = None):
    try:
        return importlib.import_module(module)
    except ImportError as exc:
        raise ImportError(
            f"zaviktools.interop.{func} needs {package or module}: pip install 'zaviktools[{_EXTRA}]'"
        ) from exc


def _is_flat(obj: Any) -> bool:
    return (
        isinstance(obj, tuple)
        and len(obj) in (2, 3)
        and all(isinstance(b, (bytes, bytearray, memoryview)) for b in obj[:-1])
        and isinstance(obj[-1], tuple)
        and len(obj[-1]) == 2
    )


def _view(np, buf, shape, func: str):
    ncol, nrow = (int(n) for n in shape)
    expected = ncol * nrow * 8
    if len(buf) != expected:
        raise ValueError(
            f"{func}: flat grid is {len(buf)} bytes, expected {ncol}\u00d7{nrow}\u00d78 = {expected} "
            "(little-endian f64, field[col][row])"
        )
    return np.frombuffer(buf, dtype="<f8").reshape(ncol, nrow)


def as_array(flat_result):
    """numpy views of a flat crossing, shaped `(ncol, nrow)` (`field[col][row]`).

    `flat_result` is what a `_flat` function returns: `(field_bytes, (ncol, nrow))`
    gives one array, `(estimate_bytes, variance_bytes, (ncol, nrow))` a tuple of
    two. The arrays share memory with the `bytes` objects (no copy) and are
    therefore read-only; `.copy()` one to modify it.
    """
    np = _need("numpy", "as_array")
    if not _is_flat(flat_result):
        raise TypeError(
            "as_array expects a flat result: (field_bytes, (ncol, nrow)) or "
            "(first_bytes, second_bytes, (ncol, nrow))"
        )
    *buffers, shape = flat_result
    views = tuple(_view(np, b, shape, "as_array") for b in buffers)
    return views[0] if len(views) == 1 else views


def _field_array(np, field, lattice, func: str):
    """Any grid form (flat result, nested lists, array) as a float64 (ncol, nrow) array."""
    if _is_flat(field):
        if len(field) != 2:
            raise ValueError(f"{func}: expected one field, got a flat result with two")
        arr = _view(np, field[0], field[1], func)
    else:
        arr = np.asarray(field, dtype=np.float64)
    shape = (lattice.ncol, lattice.nrow)
    if arr.shape != shape:
        raise ValueError(
            f"{func}: field shape {tuple(arr.shape)} does not match the lattice's (ncol, nrow) = {shape}"
        )
    return arr


def to_xtgeo(field, lattice, name: str = "zaviktools"):
    """An xtgeo `RegularSurface` holding `field` on `lattice`.

    `field` is nested lists `field[col][row]`, a flat result
    `(bytes, (ncol, nrow))` or an array of shape `(ncol, nrow)`. The geometry
    maps one to one: `xori`, `yori`, `xinc`, `yinc`, `ncol`, `nrow`,
    `rotation` (degrees counter-clockwise from east, as `rotation_deg`) and
    `yflip` (-1 when the lattice's `yflip` is set, else 1), so node `(i, j)`
    lies at the same world position in both. NaN nodes become masked nodes.
    """
    np = _need("numpy", "to_xtgeo")
    xtgeo = _need("xtgeo", "to_xtgeo")
    arr = _field_array(np, field, lattice, "to_xtgeo")
    values = np.ma.masked_invalid(np.array(arr, dtype=np.float64, copy=True))
    return xtgeo.RegularSurface(
        ncol=lattice.ncol,
        nrow=lattice.nrow,
        xinc=lattice.xinc,
        yinc=lattice.yinc,
        xori=lattice.xori,
        yori=lattice.yori,
        rotation=lattice.rotation_deg,
        yflip=-1 if lattice.yflip else 1,
        values=values,
        name=name,
    )


def from_xtgeo(surface):
    """`(lattice, field)` from an xtgeo `RegularSurface`.

    `lattice` is a `Lattice` with the surface's geometry (the rotation
    normalised into `[0, 360)` as every `Lattice` stores it); `field` a new
    float64 array of shape `(ncol, nrow)` with NaN at masked nodes. Use
    `field.tolist()` for the nested-list functions or `field.tobytes()` with
    the `_flat` ones. `from_xtgeo(to_xtgeo(f, lat))` gives back `lat` and `f`
    exactly.
    """
    np = _need("numpy", "from_xtgeo")
    from . import _zaviktools as _ext

    yflip = int(surface.yflip)
    if yflip not in (1, -1):
        raise ValueError(f"from_xtgeo: surface.yflip must be 1 or -1, got {surface.yflip!r}")
    lattice = _ext.Lattice(
        float(surface.xori),
        float(surface.yori),
        float(surface.xinc),
        float(surface.yinc),
        int(surface.ncol),
        int(surface.nrow),
        rotation_deg=float(surface.rotation),
        yflip=yflip == -1,
    )
    values = np.ma.asarray(surface.values)
    field = np.ascontiguousarray(values.astype(np.float64).filled(np.nan))
    return lattice, field


def _curve_array(np, name: str, values, n: int):
    if isinstance(values, (bytes, bytearray)):  # facies from synth_facies_series
        arr = np.frombuffer(bytes(values), dtype=np.uint8).astype(np.float64)
    else:
        arr = np.asarray(values, dtype=np.float64)
    if arr.ndim != 1 or arr.shape[0] != n:
        raise ValueError(f"write_las: curve {name!r} has {arr.size} samples, expected {n} (one per depth)")
    return arr


def write_las(
    path: str | os.PathLike[str],
    depth: Sequence[float],
    curves: Mapping[str, Any],
    well_name: str = "SYNTH-1",
    depth_unit: str = "M",
    units: Mapping[str, str] | None = None,
):
    """Write a synthetic log stack to a LAS 2.0 file that lasio reads back.

    `depth` is the index curve `DEPT` (finite, strictly increasing, unit
    `depth_unit`); `curves` maps each mnemonic to one value per depth (a list,
    an array, or the facies `bytes` of `synth_facies_series`); `units`
    optionally maps mnemonics to unit strings. NaN samples are written as the
    LAS null value -999.25. Returns the written path.
    """
    np = _need("numpy", "write_las")
    lasio = _need("lasio", "write_las")
    dept = np.asarray(depth, dtype=np.float64)
    if dept.ndim != 1 or dept.size == 0:
        raise ValueError("write_las: depth must be a non-empty 1-D sequence")
    if not np.all(np.isfinite(dept)) or (dept.size > 1 and not np.all(np.diff(dept) > 0)):
        raise ValueError("write_las: depth must be finite and strictly increasing")
    units = dict(units or {})
    las = lasio.LASFile()
    las.well["WELL"].value = str(well_name)
    las.append_curve("DEPT", dept, unit=depth_unit, descr="Measured depth")
    for name, values in curves.items():
        if str(name).upper() == "DEPT":
            raise ValueError("write_las: 'DEPT' is the depth index; pass it as depth")
        las.append_curve(str(name), _curve_array(np, str(name), values, dept.size), unit=units.get(name, ""))
    las.well["NULL"].value = -999.25
    with open(path, "w", encoding="utf-8", newline="\n") as fh:
        las.write(fh, version=2.0, wrap=False)
    return path


def _point(p, what: str) -> list[float]:
    if isinstance(p, (str, bytes)) or len(p) != 2:
        raise ValueError(f"to_geojson: {what} must be [x, y] pairs")
    x, y = float(p[0]), float(p[1])
    if not (math.isfinite(x) and math.isfinite(y)):
        raise ValueError(f"to_geojson: {what} coordinates must be finite, got [{x!r}, {y!r}]")
    return [x, y]


def _signed_area(ring: list[list[float]]) -> float:
    return 0.5 * sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(ring, ring[1:] + ring[:1]))


def to_geojson(ring_or_points, kind: str = "ring") -> dict:
    """A GeoJSON geometry dict (RFC 7946) for an outline or for well heads.

    - `kind="ring"` (the default): a ring as `closure_outline` and
      `study_area_outline` return it (`[x, y]` points, implicitly closed) gives
      a `Polygon`; the first point is repeated at the end and the ring is
      oriented counter-clockwise, as RFC 7946 asks of exterior rings. An empty
      ring (a structure that does not close) gives an empty `Polygon`.
    - `kind="points"`: a list of `[x, y]` well heads gives a `MultiPoint`.
    - A single `[x, y]` gives a `Point` whatever `kind` is.

    Coordinates must be finite (GeoJSON has no NaN).
    """
    if hasattr(ring_or_points, "tolist"):
        ring_or_points = ring_or_points.tolist()
    items = list(ring_or_points)
    if len(items) == 2 and all(isinstance(c, (int, float)) for c in items):
        return {"type": "Point", "coordinates": _point(items, "a point")}
    if kind == "points":
        return {"type": "MultiPoint", "coordinates": [_point(p, "well heads") for p in items]}
    if kind != "ring":
        raise ValueError(f"to_geojson: unknown kind {kind!r} (expected 'ring' or 'points')")
    ring = [_point(p, "ring vertices") for p in items]
    if ring and ring[0] == ring[-1]:
        ring.pop()  # accept an explicitly closed ring too
    if not ring:
        return {"type": "Polygon", "coordinates": []}
    if len(ring) < 3:
        raise ValueError(f"to_geojson: a ring needs at least 3 distinct vertices, got {len(ring)}")
    if _signed_area(ring) < 0:
        ring.reverse()
    return {"type": "Polygon", "coordinates": [ring + [list(ring[0])]]}
