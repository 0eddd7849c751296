"""The demo study: a synthetic field run end to end on built-in defaults.

    python -m zaviktools demo [--out DIR] [--seed N] [--size N] [--realisations N]

A dome on a rotated lattice, a study area, wells and their tops, the tops'
variogram and its fit, a kriged map, SGS realisations of the top in threads,
the closure at a spill level, the gross-rock volume (GRV) P90/P50/P10 over the
realisations and a synthetic facies/porosity log for one well. Heights follow
the dome's convention: metres above a regional datum, crest = max.
"""

from __future__ import annotations

import argparse
import json
import math
import os
import time
from typing import Any, Callable, Optional, Sequence, TypeVar

from . import _zaviktools as zk
from ._demo_output import Map, write_csv, write_maps
from ._demo_volumes import grv, nodes_inside, spill_level, values
from .ensemble import realisations as map_seeds

T = TypeVar("T")

SPACING = 25.0  # m between nodes
ROTATION = 15.0  # degrees, the survey grid's I axis counter-clockwise from east
N_WELLS = 25
DATUM_TVDSS = 2500.0  # the datum of the heights, metres below sea level
LOG_STEP, LOG_GROSS = 0.5, 60.0  # synthetic log: sample step and gross interval, m
SIZES, COUNTS = (12, 2000), (1, 10000)
_U64 = 2**64


def _seed(seed: int, k: int) -> int:
    """The seed of step k: every step draws its own reproducible stream."""
    return (seed + k) % _U64


def _check(seed: int, size: int, count: int) -> None:
    if not 0 <= seed < _U64:
        raise ValueError(f"demo: seed must be in [0, 2**64), got {seed}")
    if not SIZES[0] <= size <= SIZES[1]:
        raise ValueError(f"demo: size must be in [{SIZES[0]}, {SIZES[1]}] nodes a side, got {size}")
    if not COUNTS[0] <= count <= COUNTS[1]:
        raise ValueError(f"demo: realisations must be in [{COUNTS[0]}, {COUNTS[1]}], got {count}")


def run(out: str, seed: int = 2024, size: int = 120, realisations: int = 16) -> dict[str, Any]:
    """Run the study into directory `out`; returns the summary also written to
    `out/summary.json`."""
    _check(seed, size, realisations)
    os.makedirs(out, exist_ok=True)
    timings: dict[str, float] = {}

    def step(name: str, fn: Callable[[], T]) -> T:
        t0 = time.perf_counter()
        result = fn()
        timings[name] = time.perf_counter() - t0
        print(f"{name:<44} {timings[name]:8.3f} s", flush=True)
        return result

    geo = zk.Georef()
    lattice = geo.lattice(SPACING, SPACING, size, size, rotation_deg=ROTATION)
    ncol, nrow, ext = size, size, SPACING * (size - 1)
    noise = zk.Variogram("spherical", 0.0, 1.0, ext / 6)
    surface_buf = step("dome surface (rotated lattice)", lambda: zk.synth_dome_surface_flat(
        lattice, 80.0, 1.5, 10.0, 4.0, noise, _seed(seed, 0))[0])
    surface = values(surface_buf)
    nested = [list(surface[i * nrow:(i + 1) * nrow]) for i in range(ncol)]

    # The study area in the lattice's own frame, a tenth of the extent inside
    # its edges, placed in the world through the same rotation.
    local = zk.study_area_outline(0.1 * ext, 0.1 * ext, 0.9 * ext, 0.9 * ext, 0.1 * ext, 8)
    area = step("study-area outline", lambda: [geo.place_intrinsic(p, rotation_deg=ROTATION) for p in local])
    wells = step("wells in the study area", lambda: zk.place_wells_in_polygon(area, N_WELLS, _seed(seed, 1)))
    tops = step("tops with a seeded residual", lambda: zk.tops_from_surface(
        nested, lattice, wells, zk.Sampler.normal(0.0, 1.5), _seed(seed, 2)))
    coords = [[x, y, z] for (x, y), z in zip(wells, tops) if math.isfinite(z)]

    ev = step("experimental variogram of the tops", lambda: zk.experimental_variogram(coords, ext / 16, 10))
    try:
        vario = step("variogram fit (spherical)", lambda: zk.Variogram.fit("spherical", ev))
        fitted = True
    except ValueError as exc:  # too few pairs: a sill from the data, a third of the extent as range
        print(f"variogram fit refused ({exc}); using the data variance and range {ext / 3:g} m")
        sill = max(zk.variance([c[2] for c in coords]), 1e-6)
        vario, fitted = zk.Variogram("spherical", 0.0, sill, ext / 3), False
    radius = 2.0 * ext
    est_buf, _, _ = step("local kriging of the tops", lambda: zk.local_kriging_grid_flat(
        coords, lattice, vario, 16, radius))
    est = [v for v in values(est_buf) if math.isfinite(v)]

    level = spill_level(surface, ncol, nrow)
    ring = step("closure outline at the spill level", lambda: zk.closure_outline(nested, lattice, level))
    if not ring:
        print("the surface does not close at the spill level: every GRV is 0")
    inside = nodes_inside(ring, lattice)
    cell = abs(lattice.xinc * lattice.yinc)

    # The closure is mapped before the realisations so that each one reduces to
    # its GRV as it finishes: only the two mapped fields are kept in memory.
    # Each realisation is an SGS of the tops conditioned on the wells: one
    # possible top surface. Its GRV is the rock above the spill level inside the
    # mapped closure. (SGS correlates through gamma / (nugget + sill), so the
    # variogram fitted on the tops serves the normal scores unchanged.)
    base, search = 100, max(vario.range, 4 * SPACING)

    def realise(s: int) -> tuple[float, Optional[bytes]]:
        buf = zk.sgs_flat(coords, lattice, vario, 16, search, s)[0]
        return grv(values(buf), inside, level, cell), buf if (s - seed - base) % _U64 < 2 else None

    def progress(done: int, total: int) -> None:
        print(f"\r  realisations {done}/{total}", end="\n" if done == total else "", flush=True)

    runs = step(f"{realisations} SGS realisations (threads)", lambda: map_seeds(
        realise, [_seed(seed, base + r) for r in range(realisations)], progress=progress))
    volumes = [v for v, _ in runs]
    stats = step("GRV P90/P50/P10 over the realisations", lambda: zk.reservoir_summary(volumes).to_dict())
    print("GRV " + ", ".join(f"{k.upper()} {zk.format_volume(stats[k])}" for k in ("p90", "p50", "p10")))

    well = next(k for k, t in enumerate(tops) if math.isfinite(t))
    log = step(f"synthetic log for well {well + 1}", lambda: _log(well, tops[well], _seed(seed, 3)))
    maps = [Map("surface", "Dome surface", surface_buf, "height (m)", {"study_area": area}),
            Map("kriged", "Kriged tops", est_buf, "height (m)", {"study_area": area}, {"wells": wells})]
    maps += [Map(f"realisation_{k + 1}", f"SGS realisation {k + 1}", buf, "height (m)", points={"wells": wells})
             for k, (_, buf) in enumerate(runs[:2]) if buf is not None]
    maps.append(Map("closure", f"Closure at {level:.1f} m", surface_buf, "height (m)", {"closure": ring}))
    files = step("maps", lambda: write_maps(out, lattice, maps))
    files += _write_tables(out, wells, tops, log)

    summary: dict[str, Any] = {
        "seed": seed, "size": size, "skipped": [], "lattice": repr(lattice), "wells": len(wells),
        "study_area_vertices": len(area),
        "variogram": {"repr": repr(vario), "model": "spherical", "fitted": fitted, "nugget": vario.nugget,
                      "sill": vario.sill, "range": vario.range, "lag_classes": len(ev)},
        "kriged_mean": sum(est) / len(est),
        "realisations": len(volumes),
        "closure": {"spill_level": level, "vertices": len(ring), "area_m2": _area(ring), "nodes": len(inside)},
        "grv_m3": {**stats, "formatted": {k: zk.format_volume(v) for k, v in stats.items()},
                   "reference_surface": grv(surface, inside, level, cell), "per_realisation": volumes},
        "log": {key: log[key] for key in ("well", "top_tvdss", "samples", "net_to_gross", "mean_porosity")},
        "timings_s": timings,
    }
    files.append(os.path.join(out, "summary.json"))
    summary["files"] = [os.path.basename(f) for f in files]
    with open(files[-1], "w") as fh:
        json.dump(summary, fh, indent=2)
    print(f"summary written to {files[-1]}")
    return summary


def _log(well: int, top: float, seed: int) -> dict[str, Any]:
    """Facies and porosity from the well's top down over the gross interval."""
    n = round(LOG_GROSS / LOG_STEP)
    facies = zk.synth_facies_series(n, LOG_STEP, 0.55, 2.5, seed)
    por = zk.synth_por_with_facies(facies, LOG_STEP, 0.24, 0.04, 0.07, 0.025, 1.5, seed)
    depth = [(DATUM_TVDSS - top) + k * LOG_STEP for k in range(n)]
    return {"well": well + 1, "top_tvdss": depth[0], "samples": n, "net_to_gross": sum(facies) / n,
            "mean_porosity": zk.mean(por), "rows": list(zip(depth, facies, por))}


def _write_tables(out: str, wells: Sequence[Sequence[float]], tops: Sequence[float], log: dict[str, Any]) -> list[str]:
    paths = [os.path.join(out, "tops.csv"), os.path.join(out, f"log_well_{log['well']}.csv")]
    write_csv(paths[0], ("well", "x", "y", "top_height_m"), [(k + 1, *w, t) for k, (w, t) in enumerate(zip(wells, tops))])
    write_csv(paths[1], ("tvdss_m", "facies", "porosity"), log["rows"])
    return paths


def _area(ring: Sequence[Sequence[float]]) -> float:
    # Shoelace about the first vertex: world coordinates are ~1e6, areas ~1e6 m².
    if not ring:
        return 0.0
    x0, y0 = ring[0]
    p = [(x - x0, y - y0) for x, y in ring]
    return abs(sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(p, p[1:] + p[:1]))) / 2


def _parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(prog="python -m zaviktools", description="zaviktools demo study")
    sub = p.add_subparsers(dest="command", required=True)
    d = sub.add_parser("demo", help="run a complete synthetic study")
    d.add_argument("--out", default="zaviktools-demo", help="output directory (default: %(default)s)")
    d.add_argument("--seed", type=int, default=2024, help="seed of the whole study (default: %(default)s)")
    d.add_argument("--size", type=int, default=120, help="lattice nodes a side (default: %(default)s)")
    d.add_argument("--realisations", type=int, default=16, help="SGS realisations (default: %(default)s)")
    return p


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = _parser()
    args = parser.parse_args(argv)
    try:
        _check(args.seed, args.size, args.realisations)
    except ValueError as exc:
        parser.error(str(exc))
    run(args.out, args.seed, args.size, args.realisations)
    return 0
