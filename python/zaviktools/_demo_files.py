"""What the demo study writes: maps and charts as PNG when matplotlib is
installed (otherwise the grids as `.npy` and the outlines as CSV), and the
CSV tables in any case. Depths are m TVDSS: the datum less the height."""

from __future__ import annotations

import math
import os
from functools import partial
from typing import Any, Callable, NamedTuple, Optional, Sequence

import numpy as np

from ._demo_closure import Closure
from ._demo_output import NO_MATPLOTLIB, write_csv, write_npy
from ._demo_workflow import DATUM_TVDSS, MAPPED, Study

DEPTH_LABEL = "top depth (m TVDSS: metres below mean sea level)"


class Outputs:
    """The files of a run as they are written or skipped, in order."""

    def __init__(self, out: str) -> None:
        self.out = out
        self.written: list[str] = []
        self.skipped: list[dict[str, str]] = []
        self.images: list[tuple[str, str]] = []  # (file name, caption) for the report

    def write(self, name: str, fn: Callable[[str], None], caption: Optional[str] = None) -> None:
        fn(os.path.join(self.out, name))
        self.written.append(name)
        if caption is not None:
            self.images.append((name, caption))

    def skip(self, name: str, reason: str) -> None:
        self.skipped.append({"output": name, "reason": reason})


def depth(h: np.ndarray) -> np.ndarray:
    return DATUM_TVDSS - h


def closure_text(c: Closure) -> str:
    if not math.isfinite(c.level):
        return "does not close inside the map"
    edge = " (spills at the map edge)" if c.at_edge else ""
    return f"closure {DATUM_TVDSS - c.level:.1f} m TVDSS{edge}, {c.area_m2 / 1e6:.2f} km²"


class MapSpec(NamedTuple):
    """A map file: its panels on one scale; `grids` names each panel's grid
    (and `.npy` file) when matplotlib is missing."""

    name: str
    caption: str
    panels: Sequence[Any]
    scale: str
    grids: Sequence[str]
    columns: int = 1


def map_specs(study: Study) -> tuple[list[MapSpec], list[tuple[str, str, list[str]]]]:
    """The maps of the study, and those that cannot be drawn with the reason."""
    from ._demo_maps import Panel

    r, area, wells = study.results, study.area, study.wells
    tc, kc = r["truth_closure"], r["kriged_closure"]
    text = r["grv_text"]
    shown = [x for x in r["realisations"][:MAPPED] if x.field is not None]
    specs = [
        MapSpec("surface", "The synthetic truth the wells sample, with its own closure.", [Panel(
            f"Truth (synthetic): {closure_text(tc)}, GRV {text['truth']}", depth(r["truth"]),
            [("study area", area, "area"), ("closure (truth)", tc.ring, "truth")], wells, tc.spill_xy)], "depth", ["surface"]),
        MapSpec("kriged", "Ordinary kriging of the well tops (the fitted model, sill scaled to the tops).", [Panel(
            "Kriged top depth", depth(r["kriged"]), [("study area", area, "area")], wells)], "depth", ["kriged"]),
        MapSpec("kriging_std", "Kriging standard deviation: zero at the wells, growing away from them.", [Panel(
            "Kriging standard deviation", r["kriged_std"], [("study area", area, "area")], wells)], "std", ["kriging_std"]),
        MapSpec("realisations", f"The first {len(shown)} SGS realisations, each closed at its own spill point.", [
            Panel(f"Realisation {k + 1} (seed {x.seed}): GRV {_text(x.closure.grv_m3, r)}", depth(x.field),
                  [("study area", area, "area"), ("own closure", x.closure.ring, "closure")], (), x.closure.spill_xy)
            for k, x in enumerate(shown)], "depth", [f"realisation_{k + 1}" for k in range(len(shown))], 2),
    ]
    skipped = []
    if "pmaps" in r:
        pm = r["pmaps"]
        specs.append(MapSpec("p_maps", "Node-wise percentiles of the realisations under the P90 = low "
                             "convention: the P90 top is the low (deep, pessimistic) case, higher in 90 % of "
                             "the realisations. A P-map is a digest, not itself a realisation.", [
            Panel(f"{name} depth", depth(grid), [("study area", area, "area")])
            for name, grid in (("P90 (low case)", pm.p90), ("P50", pm.p50), ("P10 (high case)", pm.p10))],
            "depth", ["p90", "p50", "p10"], 3))
    else:
        skipped.append(("p_maps", r["pmaps_skipped"], ["p90", "p50", "p10"]))
    specs += [
        MapSpec("closure_probability", "The share of realisations in whose own closure each node lies.", [Panel(
            f"Probability inside the closure ({len(r['realisations'])} realisations)", r["probability"],
            [("study area", area, "area"), ("closure (kriged map)", kc.ring, "closure")], wells)], "probability", ["closure_probability"]),
        MapSpec("closure", "The kriged map's closure at its own spill point, with the wells and the study area.", [
            Panel(f"Kriged map: {closure_text(kc)}", depth(r["kriged"]),
                  [("study area", area, "area"), ("closure", kc.ring, "closure")], wells, kc.spill_xy)], "depth", ["kriged"]),
    ]
    return specs, skipped


def _text(v: float, r: dict[str, Any]) -> str:
    from ._demo_units import volume_text

    return volume_text(v, r["unit"])


def _scales(study: Study, specs: Sequence[MapSpec]) -> dict[str, Any]:
    """One depth scale for every depth map of the run, and the others'."""
    from ._demo_maps import Scale, nice_levels

    # The colours span the depths inside the study area (where the wells
    # are), widened by a tenth; deeper flanks saturate, as the bar shows.
    inside = study.results["inside_area"]
    grids = [p.grid[inside] for m in specs if m.scale == "depth" for p in m.panels]
    lo = min(float(np.nanmin(g)) for g in grids)
    hi = max(float(np.nanmax(g)) for g in grids)
    lo, hi = lo - 0.02 * (hi - lo), hi + 0.1 * (hi - lo)
    std = study.results["kriged_std"]
    return {
        "depth": Scale("viridis_r", lo, hi, DEPTH_LABEL, nice_levels(lo, hi)),
        "std": Scale("magma", 0.0, float(np.nanmax(std)) or 1.0, "kriging standard deviation (m)",
                     nice_levels(0.0, float(np.nanmax(std)), 5), "%.1f"),
        "probability": Scale("cividis", 0.0, 1.0, "probability inside the closure", [0.1, 0.5, 0.9], "%.1f"),
    }


def write_maps(study: Study, outs: Outputs) -> bool:
    """PNG maps and charts, or (no matplotlib) the grids and outlines; returns
    whether matplotlib drew."""
    specs, skipped = map_specs(study)
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print(NO_MATPLOTLIB)
        print("no maps, charts or report images: every number, table and grid is still written")
        _write_raw(study, specs, skipped, outs)
        return False
    from ._demo_maps import frame, write_map

    scales = _scales(study, specs)
    f = frame(study.lattice, *study.results["node_xy"])
    for m in specs:
        outs.write(f"{m.name}.png", partial(_draw, write_map, m, scales[m.scale], f), m.caption)
    for name, reason, _ in skipped:
        outs.skip(f"{name}.png", reason)
    return True


def _draw(write_map: Callable[..., None], m: MapSpec, scale: Any, f: Any, path: str) -> None:
    write_map(path, m.panels, scale, f, m.columns)


def _npy(path: str, data: bytes, shape: tuple[int, int]) -> None:
    write_npy(path, data, shape)


def _ring_csv(path: str, ring: Sequence[Sequence[float]]) -> None:
    write_csv(path, ("x", "y"), ring)


def _write_raw(study: Study, specs: Sequence[MapSpec], skipped: Sequence[tuple[str, str, list[str]]],
               outs: Outputs) -> None:
    shape = (study.size, study.size)
    done: set[str] = set()
    for m in specs:
        outs.skip(f"{m.name}.png", "matplotlib is not installed")
        for key, p in zip(m.grids, m.panels):
            if key not in done:
                done.add(key)
                data = np.ascontiguousarray(p.grid, dtype="<f8").tobytes()
                outs.write(f"{key}.npy", partial(_npy, data=data, shape=shape))
    for name, reason, keys in skipped:
        outs.skip(f"{name}.png", reason)
        for key in keys:
            outs.skip(f"{key}.npy", reason)
    r = study.results
    rings = [("study_area", study.area), ("closure", r["kriged_closure"].ring),
             ("closure_truth", r["truth_closure"].ring)]
    rings += [(f"closure_realisation_{k + 1}", x.closure.ring) for k, x in enumerate(r["realisations"][:MAPPED])]
    for name, ring in rings:
        outs.write(f"{name}.csv", partial(_ring_csv, ring=ring))
    for name in ("grv", "cross_validation", f"log_well_{r['log']['well']}"):
        outs.skip(f"{name}.png", "matplotlib is not installed")


def write_charts(study: Study, outs: Outputs) -> None:
    from . import _demo_charts as charts

    r = study.results
    cv, log = r["cv_depth"], r["log"]
    volumes = [x.closure.grv_m3 for x in r["realisations"]]
    outs.write("grv.png", lambda p: charts.write_grv(p, volumes, r["grv"], r["unit"], r["grv_text"]),
               "GRV of the realisations, each in its own closure: exceedance S-curve and histogram.")
    outs.write("cross_validation.png", lambda p: charts.write_cross_validation(
        p, cv.measured, cv.estimate, cv.standardised, cv), "Cross-validation of the kriging model.")
    outs.write(f"log_well_{log['well']}.png", lambda p: charts.write_log(p, log),
               f"Synthetic facies and porosity log of well W{log['well']} below its top.")


def write_tables(study: Study, outs: Outputs) -> None:
    r = study.results
    cv, log = r["cv_depth"], r["log"]
    outs.write("tops.csv", lambda p: write_csv(p, ("well", "x", "y", "top_height_m", "top_tvdss_m"), [
        (k + 1, *w, t, DATUM_TVDSS - t) for k, (w, t) in enumerate(zip(study.wells, study.tops))]))
    outs.write("cross_validation.csv", lambda p: write_csv(p, (
        "well", "measured_tvdss_m", "estimate_tvdss_m", "kriging_std_m", "standardised_error"), zip(
        cv.wells, cv.measured, cv.estimate, np.sqrt(cv.variance), cv.standardised)))
    outs.write("realisations.csv", lambda p: write_csv(p, (
        "realisation", "seed", "spill_x", "spill_y", "spill_tvdss_m", "closure_area_m2", "grv_m3"), [
        (k + 1, x.seed, *(x.closure.spill_xy or (math.nan, math.nan)), DATUM_TVDSS - x.closure.level,
         x.closure.area_m2, x.closure.grv_m3) for k, x in enumerate(r["realisations"])]))
    outs.write(f"log_well_{log['well']}.csv", lambda p: write_csv(p, ("tvdss_m", "facies", "porosity"),
                                                                   log["rows"]))
