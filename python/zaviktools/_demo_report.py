"""`report.html`: the whole study on one self-contained page — the tables
from the summary and every PNG embedded as base64, no network, no script."""

from __future__ import annotations

import base64
import html
import os
from typing import Any, Iterable, Optional, Sequence

_STYLE = """
body { font-family: system-ui, sans-serif; margin: 1.5em auto; max-width: 1180px; color: #222; }
h1 { margin-bottom: 0.1em; } h2 { border-bottom: 1px solid #ccc; padding-bottom: 0.2em; margin-top: 1.6em; }
.sub { color: #555; margin-top: 0; }
table { border-collapse: collapse; margin: 0.6em 0; font-size: 0.9em; }
th, td { border: 1px solid #ccc; padding: 0.25em 0.6em; text-align: right; }
th { background: #f1f1f1; } td:first-child, th:first-child { text-align: left; }
.key td { font-weight: 600; font-size: 1.05em; }
figure { margin: 1em 0; } figure img { max-width: 100%; border: 1px solid #ddd; }
figcaption { color: #555; font-size: 0.9em; }
.note { background: #fff6d5; border: 1px solid #e0c96a; padding: 0.5em 0.8em; }
.tables { display: flex; flex-wrap: wrap; gap: 2em; align-items: flex-start; }
"""


def _cell(v: Any) -> str:
    if v is None:
        return "–"
    if isinstance(v, bool):
        return "yes" if v else "no"
    if isinstance(v, float):
        return f"{v:,.6g}" if abs(v) < 1e6 else f"{v:,.0f}"
    return str(v)


def _table(header: Optional[Sequence[str]], rows: Iterable[Sequence[Any]], cls: str = "") -> str:
    out = [f'<table class="{cls}">' if cls else "<table>"]
    if header:
        out.append("<tr>" + "".join(f"<th>{html.escape(h)}</th>" for h in header) + "</tr>")
    for row in rows:
        out.append("<tr>" + "".join(f"<td>{html.escape(_cell(v))}</td>" for v in row) + "</tr>")
    return "\n".join(out + ["</table>"])


def _figure(out: str, name: str, caption: str) -> str:
    with open(os.path.join(out, name), "rb") as fh:
        data = base64.b64encode(fh.read()).decode("ascii")
    return (f'<figure id="{html.escape(name)}"><img alt="{html.escape(name)}" src="data:image/png;base64,{data}">'
            f"<figcaption>{html.escape(name)}: {html.escape(caption)}</figcaption></figure>")


def render(out: str, s: dict[str, Any], images: Sequence[tuple[str, str]], note: Optional[str]) -> str:
    """The page for summary `s`, embedding `images` (file name, caption) from `out`."""
    g, cv, lat = s["grv"], s["cross_validation"], s["lattice"]
    kc, tc = s["kriged"]["closure"], s["truth"]["closure"]
    parts = [
        "<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
        f"<title>zaviktools demo study, seed {s['seed']}</title><style>{_STYLE}</style></head><body>",
        "<h1>zaviktools demo study</h1>",
        f'<p class="sub">Seed {s["seed"]} · {lat["ncol"]} × {lat["nrow"]} nodes at {_cell(lat["xinc"])} m, '
        f"rotated {_cell(lat['rotation_deg'])}° · {s['wells']['count']} wells · {s['realisations']} SGS "
        "realisations · depths in m TVDSS (metres below mean sea level)</p>",
    ]
    if note:
        parts.append(f'<p class="note">{html.escape(note)}</p>')
    parts += [
        "<h2>Gross-rock volume</h2>",
        "<p>Each realisation is closed at its own spill point and its GRV measured inside its own closure. "
        "P90 is the low case (exceeded by 90 % of the realisations).</p>",
        _table(["case", f"GRV ({g['unit']})", "GRV (m³)"],
               [(name, g["formatted"][k], g["m3"][k]) for k, name in (
                   ("p90", "P90 (low)"), ("p50", "P50"), ("p10", "P10 (high)"), ("mean", "mean"),
                   ("truth", "truth (synthetic)"))], "key"),
        "<h2>Study</h2>", '<div class="tables">',
        _table(["lattice", ""], [(k, v) for k, v in lat.items()]),
        _table(["trend", ""], [("x0", s["trend"]["x0"]), ("y0", s["trend"]["y0"]), ("scale_m", s["trend"]["scale_m"]),
                               ("residual_std_m", s["trend"]["residual_std_m"])]),
        _table(["variogram (normal scores)", ""], [(k, v) for k, v in s["variogram"].items() if k != "on"]),
        _table(["kriging", ""], list(s["kriging"].items())),
        _table(["cross-validation", ""], [("wells", cv["wells"]), ("RMSE (m)", cv["rmse_m"]),
                                           ("mean error (m, estimate − measured depth)", cv["mean_error_m"]),
                                           ("MSSE (1 for a sound model)", cv["msse"])]),
        _table(["closure", "kriged map", "truth (synthetic)"], [
            ("spill point depth (m TVDSS)", kc["spill_tvdss_m"], tc["spill_tvdss_m"]),
            ("spill point (x, y)", _pair(kc["spill_point_xy"]), _pair(tc["spill_point_xy"])),
            ("spills at the map edge", kc["spills_at_map_edge"], tc["spills_at_map_edge"]),
            ("area (km²)", kc["area_m2"] / 1e6, tc["area_m2"] / 1e6), ("GRV (m³)", kc["grv_m3"], tc["grv_m3"])]),
        _table(["well log", ""], list(s["log"].items())),
        "</div>", "<h2>Maps and plots</h2>",
    ]
    parts += [_figure(out, name, caption) for name, caption in images] or ["<p>No images in this run.</p>"]
    parts += [
        "<h2>Realisations</h2>",
        _table(["realisation", "seed", "spill depth (m TVDSS)", "spill point (x, y)", "at map edge",
                "closure area (km²)", f"GRV ({g['unit']})"],
               [(x["realisation"], x["seed"], x["spill_tvdss_m"], _pair(x["spill_point_xy"]),
                 x["spills_at_map_edge"], x["area_m2"] / 1e6, x["grv_formatted"]) for x in s["per_realisation"]]),
        "<h2>Outputs</h2>",
        _table(["file written"], [(f,) for f in s["files"]]),
    ]
    if s["skipped"]:
        parts.append(_table(["skipped", "why"], [(x["output"], x["reason"]) for x in s["skipped"]]))
    parts += [_table(["step", "seconds"], [(k, round(v, 3)) for k, v in s["timings_s"].items()]), "</body></html>"]
    return "\n".join(parts) + "\n"


def _pair(p: Optional[Sequence[float]]) -> Optional[str]:
    return None if p is None else f"{p[0]:,.1f}, {p[1]:,.1f}"
