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
import numbers
import os
import sys
import unicodedata
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

    xtgeo masks every value above its undefined limit `xtgeo.UNDEF_LIMIT`
    (9.9e32) and every infinity as undefined, so a field holding one is
    refused (`ValueError` naming the first such node) rather than coming
    back from `from_xtgeo` as NaN.
    """
    np = _need("numpy", "to_xtgeo")
    xtgeo = _need("xtgeo", "to_xtgeo")
    arr = _field_array(np, field, lattice, "to_xtgeo")
    limit = float(xtgeo.UNDEF_LIMIT)
    bad = np.isinf(arr) | (arr > limit)
    if bad.any():
        i, j = (int(k) for k in np.argwhere(bad)[0])
        raise ValueError(
            f"to_xtgeo: node ({i}, {j}) holds {float(arr[i, j])!r}, which xtgeo would read as undefined "
            f"(infinite or above its undefined limit {limit!r}); use NaN for undefined nodes"
        )
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
    exactly (`to_xtgeo` refuses the values xtgeo cannot keep).
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


_LAS_NULL = -999.25
# Index curve per depth kind: mnemonic and description.
_DEPTH_KINDS = {
    "MD": ("DEPT", "Measured depth"),
    "TVD": ("TVD", "True vertical depth"),
    "TVDSS": ("TVDSS", "True vertical depth subsea"),
}


class _Shortest(str):
    """The `%` format lasio's writer applies to every number: the shortest
    text that reads back as the same double (`repr`), never rounded."""

    def __mod__(self, value):
        return repr(float(value))


def _las_text(what: str, value) -> str:
    text = str(value)
    bad = next((c for c in text if unicodedata.category(c) in ("Cc", "Zl", "Zp")), None)
    if bad is not None:
        raise ValueError(
            f"write_las: {what} {text!r} contains a line break or control character ({bad!r}), "
            "which a LAS header line cannot hold"
        )
    return text


def _las_mnemonic(name) -> str:
    text = _las_text("mnemonic", name)
    if not text or text[0] in "~#" or any(c.isspace() or c in ".:" for c in text):
        raise ValueError(
            f"write_las: mnemonic {text!r} is not a LAS mnemonic: it must be non-empty, hold no "
            "space, '.' or ':', and not start with '~' or '#'"
        )
    return text


def _las_unit(unit, mnemonic: str) -> str:
    text = _las_text(f"unit of {mnemonic!r}", unit)
    if any(c.isspace() for c in text):
        raise ValueError(f"write_las: unit {text!r} of {mnemonic!r} contains a space, which ends a LAS unit field")
    return text


def _curve_array(np, name: str, values, n: int):
    if isinstance(values, (bytes, bytearray)):  # facies from synth_facies_series
        arr = np.frombuffer(bytes(values), dtype=np.uint8).astype(np.float64)
    else:
        arr = np.asarray(values, dtype=np.float64)
    if arr.ndim != 1 or arr.shape[0] != n:
        raise ValueError(f"write_las: curve {name!r} has {arr.size} samples, expected {n} (one per depth)")
    _refuse_null(np, name, arr)
    return arr


def _refuse_null(np, name: str, arr) -> None:
    hits = np.flatnonzero(arr == _LAS_NULL)
    if hits.size:
        raise ValueError(
            f"write_las: curve {name!r} sample {int(hits[0])} is {_LAS_NULL}, the LAS null value, "
            "and would read back as missing"
        )


def _nominal_step(np, dept) -> float:
    """The sampling step for the STEP header: 0 (the LAS mark of irregular
    sampling) unless every interval equals the mean one to 1e-6 of it."""
    if dept.size < 2:
        return 0.0
    step = float(dept[-1] - dept[0]) / (dept.size - 1)
    if not np.all(np.abs(np.diff(dept) - step) <= 1e-6 * step):
        return 0.0
    return float(f"{step:.12g}")  # 0.1, not 0.09999999999997726


def write_las(
    path: str | os.PathLike[str],
    depth: Sequence[float],
    curves: Mapping[str, Any],
    well_name: str = "SYNTH-1",
    depth_unit: str = "M",
    units: Mapping[str, str] | None = None,
    depth_kind: str = "MD",
):
    """Write a synthetic log stack to a LAS 2.0 file that lasio reads back.

    `depth` is the index curve (finite, strictly increasing, unit
    `depth_unit`); `depth_kind` says what it measures: `"MD"` (the default,
    mnemonic `DEPT`, "Measured depth"), `"TVD"` (mnemonic `TVD`, "True
    vertical depth") or `"TVDSS"` (mnemonic `TVDSS`, "True vertical depth
    subsea"). `curves` maps each mnemonic to one value per depth (a list, an
    array, or the facies `bytes` of `synth_facies_series`); `units`
    optionally maps mnemonics to unit strings. Returns the written path.

    Every value is written in its shortest round-trip form, so it reads back
    as the same double. NaN samples are written as the LAS null value
    -999.25; a sample equal to -999.25 would read back as missing and is
    refused. STEP is the regular sampling step, or 0 for irregular depths.

    Mnemonics must be non-empty, hold no space, `.` or `:`, not start with
    `~` or `#`, and differ from each other and from the index ignoring case
    (LAS readers fold case: lasio upper-cases them unless read with
    `mnemonic_case="preserve"`). Names and units hold no line break or
    control character, units no space, and the well name no leading or
    trailing space. Every violation is a `ValueError` before the file is
    opened. The file is UTF-8; when any text is not ASCII it starts with a
    UTF-8 byte-order mark, which declares the encoding to readers (lasio
    then reads the text back unchanged).
    """
    np = _need("numpy", "write_las")
    lasio = _need("lasio", "write_las")
    if depth_kind not in _DEPTH_KINDS:
        raise ValueError(f"write_las: depth_kind must be 'MD', 'TVD' or 'TVDSS', got {depth_kind!r}")
    index, descr = _DEPTH_KINDS[depth_kind]
    dept = np.asarray(depth, dtype=np.float64)
    if dept.ndim != 1 or dept.size == 0:
        raise ValueError("write_las: depth must be a non-empty 1-D sequence")
    if not np.all(np.isfinite(dept)) or (dept.size > 1 and not np.all(np.diff(dept) > 0)):
        raise ValueError("write_las: depth must be finite and strictly increasing")
    _refuse_null(np, index, dept)
    well = _las_text("well name", well_name)
    if well != well.strip():
        raise ValueError(f"write_las: well name {well!r} starts or ends with whitespace, which LAS readers strip")
    units = dict(units or {})
    texts = [well, _las_unit(depth_unit, index)]
    columns = []
    seen = {index.upper(): index}
    for name, values in curves.items():
        mnemonic = _las_mnemonic(name)
        first = seen.get(mnemonic.upper())
        if first == index:
            raise ValueError(f"write_las: {index!r} is the depth index; pass it as depth")
        if first is not None:
            raise ValueError(f"write_las: mnemonic {mnemonic!r} repeats {first!r} (LAS mnemonics ignore case)")
        seen[mnemonic.upper()] = mnemonic
        unit = _las_unit(units.get(name, ""), mnemonic)
        texts += [mnemonic, unit]
        columns.append((mnemonic, _curve_array(np, mnemonic, values, dept.size), unit))
    las = lasio.LASFile()
    las.well["WELL"].value = well
    las.append_curve(index, dept, unit=texts[1], descr=descr)
    for mnemonic, arr, unit in columns:
        las.append_curve(mnemonic, arr, unit=unit)
    las.well["NULL"].value = _LAS_NULL
    encoding = "utf-8" if all(t.isascii() for t in texts) else "utf-8-sig"
    with open(path, "w", encoding=encoding, newline="\n") as fh:
        las.write(
            fh, version=2.0, wrap=False, fmt=_Shortest("%r"),
            STRT=float(dept[0]), STOP=float(dept[-1]), STEP=_nominal_step(np, dept),
        )
    return path


def _is_number(c) -> bool:
    # numpy scalars (float32 included) register as numbers.Real; numpy bools do not.
    return isinstance(c, numbers.Real) and not isinstance(c, bool)


def _point(p, what: str) -> list[float]:
    if isinstance(p, (str, bytes)) or not hasattr(p, "__len__") or len(p) != 2:
        hint = " (a flat list of numbers? pass [[x0, y0], [x1, y1], ...])" if _is_number(p) else ""
        raise ValueError(f"to_geojson: {what} must be [x, y] pairs, got {p!r}{hint}")
    if not all(_is_number(c) for c in p):
        raise TypeError(f"to_geojson: {what} coordinates must be real numbers, got {list(p)!r}")
    x, y = float(p[0]), float(p[1])
    if not (math.isfinite(x) and math.isfinite(y)):
        raise ValueError(f"to_geojson: {what} coordinates must be finite, got [{x!r}, {y!r}]")
    return [x, y]


def _signed_area(ring: list[list[float]]) -> float:
    # Shoelace about the first vertex: world coordinates (1e6 m) would
    # otherwise cancel most of the digits of a small area.
    x0, y0 = ring[0]
    pts = [(x - x0, y - y0) for x, y in ring]
    return 0.5 * math.fsum(a[0] * b[1] - b[0] * a[1] for a, b in zip(pts, pts[1:] + pts[:1]))


def _is_degenerate(ring: list[list[float]]) -> bool:
    """True when the ring's area is zero up to the rounding of its shoelace terms."""
    x0, y0 = ring[0]
    pts = [(x - x0, y - y0) for x, y in ring]
    scale = math.fsum(abs(a[0] * b[1]) + abs(b[0] * a[1]) for a, b in zip(pts, pts[1:] + pts[:1]))
    return abs(2.0 * _signed_area(ring)) <= 8 * len(ring) * sys.float_info.epsilon * scale


def _crs_member(crs) -> dict:
    if isinstance(crs, numbers.Integral) and not isinstance(crs, bool) and int(crs) > 0:
        name = f"urn:ogc:def:crs:EPSG::{int(crs)}"
    elif isinstance(crs, str) and crs.strip():
        code = crs.strip()
        name = f"urn:ogc:def:crs:EPSG::{code[5:]}" if code.upper().startswith("EPSG:") and code[5:].isdigit() else code
    else:
        raise TypeError(f"to_geojson: crs must be an EPSG code (25832, 'EPSG:25832') or a CRS name, got {crs!r}")
    return {"type": "name", "properties": {"name": name}}


def to_geojson(ring_or_points, kind: str = "ring", *, crs=None) -> dict:
    """A GeoJSON geometry dict for an outline or for well heads.

    - `kind="ring"` (the default): a ring as `closure_outline` and
      `study_area_outline` return it (`[x, y]` points, implicitly closed) gives
      a `Polygon`; the first point is repeated at the end and the ring is
      oriented counter-clockwise, as RFC 7946 asks of exterior rings. An empty
      ring (a structure that does not close) gives an empty `Polygon`; any
      other ring needs at least 3 distinct vertices and a non-zero area.
    - `kind="points"`: a list of `[x, y]` well heads gives a `MultiPoint`.
    - A single `[x, y]` gives a `Point` whatever `kind` is.

    Points are `[x, y]` pairs of real numbers (Python or numpy scalars, or
    an `(n, 2)` array); a flat list of numbers is refused. Coordinates must be
    finite (GeoJSON has no NaN) and are written as given: projected eastings
    and northings in the data's CRS, not reprojected. RFC 7946 assumes WGS84
    longitude/latitude, so name the CRS with `crs` (an EPSG code such as
    `25832` or `"EPSG:25832"`, or a CRS URN): it is written as the
    GeoJSON 2008 `crs` member (`{"type": "name", ...}`), which GDAL and QGIS
    read.
    """
    if kind not in ("ring", "points"):
        raise ValueError(f"to_geojson: unknown kind {kind!r} (expected 'ring' or 'points')")
    member = {} if crs is None else {"crs": _crs_member(crs)}
    if hasattr(ring_or_points, "tolist"):
        ring_or_points = ring_or_points.tolist()
    if isinstance(ring_or_points, (str, bytes)) or not hasattr(ring_or_points, "__iter__"):
        raise TypeError(f"to_geojson: expected [x, y] or a list of [x, y] points, got {type(ring_or_points).__name__}")
    items = list(ring_or_points)
    if len(items) == 2 and all(_is_number(c) for c in items):
        return {"type": "Point", "coordinates": _point(items, "a point"), **member}
    if kind == "points":
        return {"type": "MultiPoint", "coordinates": [_point(p, "well heads") for p in items], **member}
    ring = [_point(p, "ring vertices") for p in items]
    if len(ring) > 1 and ring[0] == ring[-1]:
        ring.pop()  # accept an explicitly closed ring too
    if not ring:
        return {"type": "Polygon", "coordinates": [], **member}
    distinct = len({(x, y) for x, y in ring})
    if distinct < 3:
        raise ValueError(f"to_geojson: a ring needs at least 3 distinct vertices, got {distinct}")
    if _is_degenerate(ring):
        raise ValueError("to_geojson: the ring has zero area (its vertices are collinear)")
    if _signed_area(ring) < 0:
        ring.reverse()
    return {"type": "Polygon", "coordinates": [ring + [list(ring[0])]], **member}
