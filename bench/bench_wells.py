"""Synthetic wells: a 5 km S-well at 1 m stations and its maximum dogleg
severity against wellpathpy's minimum curvature on the same md/incl/azim, and
10^5 well heads placed inside a 50-vertex polygon (wells/s).

wellpathpy takes numpy arrays and returns them; ours takes the plan and
returns Python lists, so the wellpathpy peers are also timed with `.tolist()`.
"""

import math
import random
import time

import numpy as np
from wellpathpy.mincurve import minimum_curvature

import zaviktools as zk

from .harness import Row

PLAN = dict(kickoff_md=400.0, build_rate_deg_per_30m=2.5, hold_incl_deg=40.0, azimuth_deg=60.0,
            drop_start_md=2500.0, drop_rate_deg_per_30m=2.0, final_incl_deg=5.0)


def s_well():
    return zk.synth_trajectory_profile([431000.0, 6521000.0], 25.0, 5000.0, 1.0, 0, "build_hold_drop", **PLAN)


def check_agreement(t):
    md, inc, azi = (np.array(t[k]) for k in ("md", "incl", "azim"))
    tvd, north, east, dls = minimum_curvature(md, inc, azi)
    for ours, theirs in ((np.array(t["tvd"]), tvd), (np.array(t["y"]) - 6521000.0, north),
                         (np.array(t["x"]) - 431000.0, east)):
        np.testing.assert_allclose(ours, theirs, rtol=1e-9, atol=1e-9 * 5000.0)
    assert math.isclose(zk.max_dogleg_severity(t["md"], t["incl"], t["azim"]), float(dls.max()), rel_tol=1e-9)


def polygon50(rnd):
    angles = sorted(rnd.uniform(0, 2 * math.pi) for _ in range(50))
    return [[5000 * rnd.uniform(0.5, 1) * math.cos(a), 5000 * rnd.uniform(0.5, 1) * math.sin(a)] for a in angles]


def numpy_inside(poly, pts):
    """Even-odd crossing test, vectorised over the points, one edge at a time."""
    x, y = pts[:, 0], pts[:, 1]
    inside = np.zeros(len(pts), dtype=bool)
    xj, yj = poly[-1]
    for xi, yi in poly:
        if yi != yj:
            straddle = (y < yi) != (y < yj)
            inside ^= straddle & (x < xi + (y - yi) * (xj - xi) / (yj - yi))
        xj, yj = xi, yi
    return inside


def numpy_rejection(poly, n, seed):
    """Vectorised rejection sampling from the bounding box."""
    arr = np.array(poly)
    lo, hi = arr.min(axis=0), arr.max(axis=0)
    rng = np.random.default_rng(seed)
    out = np.empty((0, 2))
    while len(out) < n:
        cand = lo + (hi - lo) * rng.random((2 * (n - len(out)) + 64, 2))
        out = np.vstack([out, cand[numpy_inside(poly, cand)]])
    return out[:n]


def rows():
    t = s_well()
    check_agreement(t)
    md, inc, azi = (np.array(t[k]) for k in ("md", "incl", "azim"))
    yield Row("synth_trajectory_profile 5 km S-well, 1 m steps", s_well,
              {"wellpathpy minimum_curvature": lambda: minimum_curvature(md, inc, azi),
               "wellpathpy + tolist": lambda: [a.tolist() for a in minimum_curvature(md, inc, azi)]},
              repeats=15, note="positions agree to 1e-9 rel")
    mdl, incl, azil = t["md"], t["incl"], t["azim"]
    yield Row("max_dogleg_severity 5001 stations", lambda: zk.max_dogleg_severity(mdl, incl, azil),
              {"wellpathpy dls.max() (arrays in)": lambda: minimum_curvature(md, inc, azi)[3].max(),
               "wellpathpy dls.max() (lists in)": lambda: minimum_curvature(mdl, incl, azil)[3].max()},
              repeats=15)

    poly = polygon50(random.Random(7))
    t0 = time.perf_counter()
    zk.place_wells_in_polygon(poly, 10**5, 1)
    rate = 10**5 / (time.perf_counter() - t0)
    yield Row("place_wells_in_polygon 1e5 wells, 50 vertices", lambda: zk.place_wells_in_polygon(poly, 10**5, 1),
              {"numpy vectorised rejection": lambda: numpy_rejection(poly, 10**5, 1),
               "numpy vectorised rejection + tolist": lambda: numpy_rejection(poly, 10**5, 1).tolist()},
              repeats=5, note=f"ours ≈ {rate / 1e6:.2f} M wells/s")
