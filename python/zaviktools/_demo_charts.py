"""The demo study's charts (matplotlib, imported only when drawn): the GRV
S-curve and histogram, the cross-validation plots and the well log."""

from __future__ import annotations

import math
from typing import Any, Sequence

import numpy as np

_CASES = (("p90", "P90", "tab:blue"), ("p50", "P50", "tab:green"), ("p10", "P10", "tab:orange"))


def _figure(width: float, height: float) -> Any:
    from matplotlib.figure import Figure

    return Figure(figsize=(width, height), dpi=100, layout="constrained")


def write_grv(path: str, volumes: Sequence[float], stats: dict[str, float], unit: str,
              texts: dict[str, str]) -> None:
    """Exceedance S-curve with P90/P50/P10 and the truth marked, and a histogram.

    The curve plots the k-th smallest of n values at exceedance 1 - k/(n-1),
    the plotting position of the type-7 percentiles, so each P-case lies on it.
    """
    from ._demo_units import volume_value

    v = np.sort([volume_value(x, unit) for x in volumes])
    n = len(v)
    exceed = 100.0 * (1.0 - np.arange(n) / (n - 1)) if n > 1 else np.array([50.0])
    fig = _figure(11.0, 4.4)
    curve, hist = fig.subplots(1, 2)
    curve.plot(v, exceed, marker="o", ms=3, lw=1.2, color="tab:gray", label=f"{n} realisations")
    for key, name, colour in _CASES:
        x, p = volume_value(stats[key], unit), float(name[1:])
        curve.plot([x], [p], marker="D", ms=7, color=colour, ls="none", label=f"{name} {texts[key]}")
        curve.axhline(p, color=colour, lw=0.6, ls="--")
        hist.axvline(x, color=colour, lw=1.2, ls="--", label=f"{name} {texts[key]}")
    for ax in (curve, hist):
        ax.axvline(volume_value(stats["truth"], unit), color="black", lw=1.6,
                   label=f"truth (synthetic) {texts['truth']}")
        ax.set_xlabel(f"gross-rock volume ({unit})")
        ax.grid(alpha=0.3)
    curve.set_ylabel("probability of exceeding (%)")
    curve.set_ylim(-3, 103)
    curve.set_title("GRV S-curve (exceedance)", fontsize="medium")
    curve.legend(fontsize="x-small", loc="lower left")
    hist.hist(v, bins=max(5, min(30, round(math.sqrt(n)) + 2)), color="tab:gray", alpha=0.7,
              edgecolor="white")
    hist.set_ylabel("realisations")
    hist.set_title("GRV histogram", fontsize="medium")
    hist.legend(fontsize="x-small", loc="upper right")
    fig.savefig(path)


def write_cross_validation(path: str, measured_tvdss: np.ndarray, estimate_tvdss: np.ndarray,
                           standardised: np.ndarray, cv: Any) -> None:
    """Estimate against the measured top (each well kriged from the others),
    and the standardised errors against the standard normal."""
    fig = _figure(11.0, 4.4)
    scatter, hist = fig.subplots(1, 2)
    lo = float(min(measured_tvdss.min(), estimate_tvdss.min()))
    hi = float(max(measured_tvdss.max(), estimate_tvdss.max()))
    pad = 0.05 * (hi - lo or 1.0)
    scatter.plot([lo - pad, hi + pad], [lo - pad, hi + pad], color="black", lw=0.8, label="1:1")
    scatter.scatter(measured_tvdss, estimate_tvdss, s=18, c="tab:blue", edgecolors="black", linewidths=0.4,
                    label="wells", zorder=3)
    for k, (m, e) in enumerate(zip(measured_tvdss, estimate_tvdss)):
        scatter.annotate(f"W{k + 1}", (m, e), xytext=(3, 2), textcoords="offset points", fontsize=5.5)
    scatter.set_xlim(lo - pad, hi + pad)
    scatter.set_ylim(lo - pad, hi + pad)
    scatter.set_aspect("equal")
    scatter.set_xlabel("measured top (m TVDSS)")
    scatter.set_ylabel("cross-validated estimate (m TVDSS)")
    scatter.set_title(f"Leave one well out: RMSE {cv.rmse:.2f} m, mean error {cv.mean_error:+.2f} m",
                      fontsize="medium")
    scatter.legend(fontsize="x-small", loc="upper left")
    s = np.asarray(standardised, dtype=float)
    s = s[np.isfinite(s)]
    edge = max(3.5, float(np.abs(s).max()) + 0.25) if s.size else 3.5
    hist.hist(s, bins=np.linspace(-edge, edge, 15), density=True, color="tab:blue", alpha=0.6,
              edgecolor="white", label="standardised errors")
    t = np.linspace(-edge, edge, 200)
    hist.plot(t, np.exp(-t * t / 2) / math.sqrt(2 * math.pi), color="black", lw=1.2, label="N(0, 1)")
    hist.set_xlabel("error / kriging standard deviation")
    hist.set_ylabel("density")
    hist.set_title(f"Standardised errors: MSSE {cv.msse:.2f} (1 for a sound model)", fontsize="medium")
    hist.legend(fontsize="x-small")
    for ax in (scatter, hist):
        ax.grid(alpha=0.3)
    fig.savefig(path)


def write_log(path: str, log: dict[str, Any]) -> None:
    """Facies and porosity tracks against depth (m TVDSS, downward)."""
    depth = np.array([r[0] for r in log["rows"]])
    facies = np.array([r[1] for r in log["rows"]], dtype=float)
    por = np.array([r[2] for r in log["rows"]])
    fig = _figure(5.2, 7.0)
    ftrack, ptrack = fig.subplots(1, 2, sharey=True, gridspec_kw={"width_ratios": [1, 2]})
    ftrack.fill_betweenx(depth, 0, facies, step="mid", color="gold", label="sand")
    ftrack.fill_betweenx(depth, facies, 1, step="mid", color="slategray", label="shale")
    ftrack.set_xlim(0, 1)
    ftrack.set_xticks([])
    ftrack.set_xlabel("facies")
    ftrack.set_ylabel("depth (m TVDSS)")
    ftrack.legend(fontsize="x-small", loc="lower left")
    ptrack.plot(por, depth, color="tab:blue", lw=1.0)
    ptrack.fill_betweenx(depth, 0, por, where=facies > 0.5, step="mid", color="gold", alpha=0.5)
    ptrack.set_xlim(0, max(0.35, float(por.max()) * 1.1))
    ptrack.set_xlabel("porosity (fraction)")
    ptrack.grid(alpha=0.3)
    ftrack.set_ylim(depth.max(), depth.min())
    fig.suptitle(f"Well W{log['well']}: net-to-gross {log['net_to_gross']:.2f}, "
                 f"mean porosity {log['mean_porosity']:.3f}", fontsize="medium")
    fig.savefig(path)
