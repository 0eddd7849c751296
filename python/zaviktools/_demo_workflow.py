"""The demo study's workflow: wells and tops, their quadratic trend, normal
scores of the residuals, variogram fit on the scores, cross-validation, the
kriged map (trend + kriged residual), SGS realisations (trend + simulated
residual) each closed at its own spill point, and the GRV distribution.
Computes and prints; writes nothing.

Heights are metres above the datum (crest = max) throughout the computation;
what a reader sees is converted to depth (m TVDSS) on output.
"""

from __future__ import annotations

import math
import threading
import time
from dataclasses import dataclass, field
from typing import Any, Callable, NamedTuple, Optional, TypeVar

import numpy as np

from . import _zaviktools as zk
from ._demo_closure import Closure, closure
from ._demo_study_api import (NormalScoreTransform, cross_validate, krige_grid, node_coordinates, percentile_maps,
                              polygon_mask)
from ._demo_trend import fit as fit_trend
from ._demo_units import volume_text, volume_unit
from .ensemble import realisations as map_seeds

T = TypeVar("T")

SPACING = 25.0  # m between nodes
ROTATION = 15.0  # degrees, the survey grid's I axis counter-clockwise from east
N_WELLS = 25
DATUM_TVDSS = 2500.0  # the datum of the heights, metres below sea level
LOG_STEP, LOG_GROSS = 0.5, 60.0  # synthetic log: sample step and gross interval, m
NEIGHBOURS = 16
MAPPED = 4  # realisations drawn as maps
ENSEMBLE_BUDGET = 1 << 30  # bytes of realisations held at once for the P-maps
_U64 = 2**64


def seed_of(seed: int, k: int) -> int:
    """The seed of step k: every step draws its own reproducible stream."""
    return (seed + k) % _U64


@dataclass
class Realisation:
    seed: int
    closure: Closure  # its mask dropped (counted into the probability map)
    field: Optional[np.ndarray] = None  # kept for the mapped ones only


@dataclass
class Study:
    seed: int
    size: int
    lattice: zk.Lattice
    area: list[list[float]]
    wells: list[list[float]]
    tops: list[float]
    timings: dict[str, float] = field(default_factory=dict)
    results: dict[str, Any] = field(default_factory=dict)


def heights(buf: bytes, shape: tuple[int, int]) -> np.ndarray:
    return np.frombuffer(buf, dtype="<f8").reshape(shape)


def _lines(study: Study) -> Callable[[str, Callable[[], T]], T]:
    def step(name: str, fn: Callable[[], T]) -> T:
        t0 = time.perf_counter()
        result = fn()
        study.timings[name] = time.perf_counter() - t0
        print(f"{name:<44} {study.timings[name]:8.3f} s", flush=True)
        return result

    return step


def _variogram(coords: np.ndarray, ext: float, step: Callable[..., Any]) -> tuple[zk.Variogram, bool, int]:
    """Spherical model fitted on the normal scores of the tops."""
    ev = step("experimental variogram of the scores", lambda: zk.experimental_variogram(coords.tolist(), ext / 16, 10))
    try:
        return step("variogram fit on the scores (spherical)", lambda: zk.Variogram.fit("spherical", ev)), True, len(ev)
    except ValueError as exc:  # too few pairs: unit sill, a third of the extent as range
        print(f"variogram fit refused ({exc}); using sill 1 and range {ext / 3:g} m")
        return zk.Variogram("spherical", 0.0, 1.0, ext / 3), False, len(ev)


def run_study(seed: int, size: int, count: int) -> Study:
    """Every number of the study, printed step by step."""
    geo = zk.Georef()
    lattice = geo.lattice(SPACING, SPACING, size, size, rotation_deg=ROTATION)
    shape, ext = (size, size), SPACING * (size - 1)
    local = zk.study_area_outline(0.1 * ext, 0.1 * ext, 0.9 * ext, 0.9 * ext, 0.1 * ext, 8)
    area = [list(geo.place_intrinsic(p, rotation_deg=ROTATION)) for p in local]
    study = Study(seed, size, lattice, area, [], [])
    step, r = _lines(study), study.results
    noise = zk.Variogram("spherical", 0.0, 1.0, ext / 6)
    truth = step("dome surface (truth, rotated lattice)", lambda: heights(zk.synth_dome_surface_flat(
        lattice, 80.0, 1.5, 10.0, 4.0, noise, seed_of(seed, 0))[0], shape))
    inside_area = np.asarray(polygon_mask(area, lattice), dtype=bool)
    study.wells = step("wells in the study area", lambda: zk.place_wells_in_polygon(area, N_WELLS, seed_of(seed, 1)))
    study.tops = step("tops with a seeded residual", lambda: zk.tops_from_surface(
        truth, lattice, study.wells, zk.Sampler.normal(0.0, 1.5), seed_of(seed, 2)))
    coords = np.array([[x, y, z] for (x, y), z in zip(study.wells, study.tops) if math.isfinite(z)])

    trend = step("quadratic trend of the tops", lambda: fit_trend(coords, ext / 2))
    at_wells = trend.at(coords[:, 0], coords[:, 1])
    residuals = np.column_stack([coords[:, :2], coords[:, 2] - at_wells])
    nst = step("normal scores of the residuals", lambda: NormalScoreTransform(residuals[:, 2]))
    scores = np.column_stack([coords[:, :2], np.asarray(nst.forward(residuals[:, 2]), dtype=float)])
    vario, fitted, classes = _variogram(scores, ext, step)
    # Kriging uses the fitted model with its sill scaled to the variance of the
    # residuals: the same correlation, standard deviations in metres.
    scale = zk.variance(residuals[:, 2].tolist()) / (vario.nugget + vario.sill)
    model = zk.Variogram("spherical", vario.nugget * scale, vario.sill * scale, vario.range)
    radius = 2.0 * ext
    cv = step("cross-validation (leave one well out)", lambda: cross_validate(
        residuals, model, NEIGHBOURS, radius))
    wells = [k + 1 for k, t in enumerate(study.tops) if math.isfinite(t)]
    r["cv_depth"] = cvd = _in_depth(cv, coords, at_wells, wells)
    print(f"  cross-validation: RMSE {cvd.rmse:.2f} m, mean error {cvd.mean_error:+.2f} m "
          f"(estimate - measured depth), MSSE {cvd.msse:.2f}")
    xy = tuple(np.asarray(a, dtype=float) for a in node_coordinates(lattice))
    trend_grid = trend.at(*xy)
    res, var = step("kriged map and its standard deviation", lambda: krige_grid(
        residuals, lattice, model, NEIGHBOURS, radius))
    est = trend_grid + np.asarray(res, dtype=float)
    std = np.sqrt(np.clip(np.asarray(var, dtype=float), 0.0, None))
    r.update(neighbours=NEIGHBOURS, radius=radius, coords=coords, residuals=residuals, trend=trend,
             trend_grid=trend_grid, node_xy=xy, nst=nst, vario=vario, fitted=fitted, lag_classes=classes,
             model=model, cv=cv, truth=truth, kriged=est, kriged_std=std, inside_area=inside_area)
    r["truth_closure"] = step("closure of the truth (own spill point)", lambda: closure(truth, lattice, inside_area))
    r["kriged_closure"] = step("closure of the kriged map", lambda: closure(est, lattice, inside_area))
    _realise(study, count, vario)
    _grv(study)
    well = next(k for k, t in enumerate(study.tops) if math.isfinite(t))
    r["log"] = step(f"synthetic log for well W{well + 1}", lambda: _log(well, study.tops[well], seed_of(seed, 3)))
    return study


def _realise(study: Study, count: int, vario: zk.Variogram) -> None:
    """Each realisation closed at its own spill point; the inside counts
    summed as they finish (integers: the same at any thread order)."""
    r, lattice, shape = study.results, study.lattice, (study.size, study.size)
    coords, trend = r["residuals"].tolist(), r["trend_grid"]
    search = max(vario.range, 4 * SPACING)
    keep_all = count * study.size**2 * 8 <= ENSEMBLE_BUDGET
    inside = np.zeros(shape, dtype=np.int64)
    lock = threading.Lock()
    seeds = [seed_of(study.seed, 100 + k) for k in range(count)]
    mapped = set(seeds[:MAPPED])

    def realise(s: int) -> Realisation:
        z = trend + heights(zk.sgs_flat(coords, lattice, vario, NEIGHBOURS, search, s)[0], shape)
        c = closure(z, lattice, r["inside_area"])
        with lock:
            inside[c.mask] += 1
        return Realisation(s, c._replace(mask=np.zeros((0, 0), dtype=bool)), z if keep_all or s in mapped else None)

    def progress(done: int, total: int) -> None:
        print(f"\r  realisations {done}/{total}", end="\n" if done == total else "", flush=True)

    name = f"{count} SGS realisations, each closed (threads)"
    r["realisations"] = _lines(study)(name, lambda: map_seeds(realise, seeds, progress=progress))
    r["probability"] = inside / count
    if keep_all:
        r["pmaps"] = _lines(study)("P90/P50/P10 maps of the realisations", lambda: percentile_maps(
            x.field for x in r["realisations"]))
    else:
        r["pmaps_skipped"] = (f"the P-maps need all {count} realisations at once "
                              f"({_bytes(count * study.size**2 * 8)}), more than the demo's {_bytes(ENSEMBLE_BUDGET)}")
        print(f"P90/P50/P10 maps skipped: {r['pmaps_skipped']}")
    for x in r["realisations"][MAPPED:]:
        x.field = None


def _bytes(n: int) -> str:
    unit = next(u for u in range(4, -1, -1) if n >= 1024**u or u == 0)
    return f"{n / 1024**unit:.1f} {('B', 'KiB', 'MiB', 'GiB', 'TiB')[unit]}"


class CrossValidation(NamedTuple):
    """Leave-one-out results in depth terms: errors are estimate - measured
    depth (m), so a positive error is an estimate too deep."""

    wells: list[int]
    measured: np.ndarray
    estimate: np.ndarray
    variance: np.ndarray
    standardised: np.ndarray
    rmse: float
    mean_error: float
    msse: float


def _in_depth(cv: Any, coords: np.ndarray, trend: np.ndarray, wells: list[int]) -> CrossValidation:
    # The residual's estimate plus the trend is the top's; depth = datum -
    # height, so the errors and standardised errors change sign.
    estimate = trend + np.asarray(cv.estimate, dtype=float)
    return CrossValidation(wells, DATUM_TVDSS - coords[:, 2], DATUM_TVDSS - estimate,
                           np.asarray(cv.variance, dtype=float), -np.asarray(cv.standardised, dtype=float),
                           float(cv.rmse), -float(cv.mean_error), float(cv.msse))


def _grv(study: Study) -> None:
    r = study.results
    volumes = [x.closure.grv_m3 for x in r["realisations"]]
    stats = _lines(study)("GRV P90/P50/P10 over the realisations", lambda: zk.reservoir_summary(volumes).to_dict())
    stats["truth"] = r["truth_closure"].grv_m3
    unit = volume_unit(stats.values(), smallest="mcm")  # GRV is reported in mcm or bcm
    r.update(grv=stats, unit=unit, grv_text={k: volume_text(v, unit) for k, v in stats.items()})
    t = r["grv_text"]
    print(f"GRV P90 {t['p90']}, P50 {t['p50']}, P10 {t['p10']}, mean {t['mean']}; truth (synthetic) {t['truth']}")


def _log(well: int, top: float, seed: int) -> dict[str, Any]:
    """Facies and porosity from the well's top down over the gross interval."""
    n = round(LOG_GROSS / LOG_STEP)
    facies = zk.synth_facies_series(n, LOG_STEP, 0.55, 2.5, seed)
    por = zk.synth_por_with_facies(facies, LOG_STEP, 0.24, 0.04, 0.07, 0.025, 1.5, seed)
    depth = [(DATUM_TVDSS - top) + k * LOG_STEP for k in range(n)]
    return {"well": well + 1, "top_tvdss": depth[0], "samples": n, "net_to_gross": sum(facies) / n,
            "mean_porosity": zk.mean(por), "rows": list(zip(depth, facies, por))}
