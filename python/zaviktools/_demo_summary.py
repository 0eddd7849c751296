"""`summary.json` of the demo study: every number of the run, structured.

Depths are m TVDSS (the datum less the height); a closure that does not
close has null spill depth and spill point. JSON has no NaN, so none is
written: a missing number is null.
"""

from __future__ import annotations

import math
from typing import Any, Optional

import numpy as np

from ._demo_closure import Closure, shoelace
from ._demo_units import volume_text
from ._demo_workflow import DATUM_TVDSS, Study


def _num(v: float) -> Optional[float]:
    v = float(v)
    return v if math.isfinite(v) else None


def _xy(p: Optional[tuple[float, float]]) -> Optional[list[float]]:
    return None if p is None else [float(p[0]), float(p[1])]


def closure_entry(c: Closure) -> dict[str, Any]:
    return {"spill_tvdss_m": _num(DATUM_TVDSS - c.level), "spill_point_xy": _xy(c.spill_xy if c.ring else None),
            "spills_at_map_edge": c.at_edge, "crest_xy": _xy(c.crest_xy), "area_m2": c.area_m2, "vertices": len(c.ring), "grv_m3": c.grv_m3}


def build(study: Study, files: list[str], skipped: list[dict[str, str]]) -> dict[str, Any]:
    r, lat = study.results, study.lattice
    vario, model, cv = r["vario"], r["model"], r["cv_depth"]
    return {
        "seed": study.seed,
        "size": study.size,
        "realisations": len(r["realisations"]),
        "datum_tvdss_m": DATUM_TVDSS,
        "lattice": {"xori": lat.xori, "yori": lat.yori, "xinc": lat.xinc, "yinc": lat.yinc, "ncol": lat.ncol,
                    "nrow": lat.nrow, "rotation_deg": lat.rotation_deg, "yflip": lat.yflip},
        "study_area": {"vertices": len(study.area), "area_m2": shoelace(study.area)},
        "wells": {"count": len(study.wells), "with_tops": len(cv.wells)},
        "trend": {"form": "quadratic in u = (x - x0) / scale, v = (y - y0) / scale: c0 + c1 u + c2 v + c3 u² + "
                          "c4 uv + c5 v²", "x0": r["trend"].x0, "y0": r["trend"].y0, "scale_m": r["trend"].scale,
                  "coefficients": list(r["trend"].coefficients),
                  "residual_std_m": float(np.std(r["residuals"][:, 2], ddof=1))},
        "variogram": {"model": "spherical", "on": "normal scores of the residuals", "fitted": r["fitted"],
                      "nugget": vario.nugget, "sill": vario.sill, "range_m": vario.range,
                      "lag_classes": r["lag_classes"]},
        "kriging": {"model": "spherical", "nugget_m2": model.nugget, "sill_m2": model.sill, "range_m": model.range,
                    "max_neighbours": r["neighbours"], "radius_m": r["radius"]},
        "cross_validation": {"wells": len(cv.wells), "rmse_m": cv.rmse, "mean_error_m": cv.mean_error,
                             "msse": cv.msse},
        "kriged": {"mean_tvdss_m": _num(np.nanmean(DATUM_TVDSS - r["kriged"])),
                   "max_std_m": _num(np.nanmax(r["kriged_std"])), "closure": closure_entry(r["kriged_closure"])},
        "truth": {"closure": closure_entry(r["truth_closure"])},
        "grv": {"unit": r["unit"], "m3": dict(r["grv"]), "formatted": dict(r["grv_text"])},
        "per_realisation": [{"realisation": k + 1, "seed": x.seed, **closure_entry(x.closure),
                             "grv_formatted": volume_text(x.closure.grv_m3, r["unit"])}
                            for k, x in enumerate(r["realisations"])],
        "log": {key: r["log"][key] for key in ("well", "top_tvdss", "samples", "net_to_gross", "mean_porosity")},
        "files": files,
        "skipped": skipped,
        "timings_s": dict(study.timings),
    }
