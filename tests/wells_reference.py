"""Pure-Python references for the synthetic wells: minimum-curvature stations,
seeded well placement and tops picked from a surface.

They follow the same evaluation order as the compiled code and draw from the
stream oracle, so they reproduce its results bit for bit.
"""

import math

from stream_oracle import WordStream, Ziggurat, ziggurat_tables

K = 0.017453292519943295  # degrees to radians


# --- trajectories -------------------------------------------------------------

def station_mds(td, md_step):
    n = math.floor(td / md_step)
    mds = [i * md_step for i in range(n + 1)]
    if mds[-1] - td > 1e-9:
        mds[-1] = td
    elif td - mds[-1] > 1e-9:
        mds.append(td)
    return mds


def planned(plan, m):
    """(incl, azim) of a plan dict at MD m: kickoff, rate, hold, azimuth[, drop_start, drop_rate, final]."""
    if "drop_start" in plan and m > plan["drop_start"]:
        drop_end = plan["drop_start"] + (plan["hold"] - plan["final"]) / (plan["drop_rate"] / 30)
        if m >= drop_end:
            return plan["final"], plan["azimuth"]
        return plan["hold"] - (m - plan["drop_start"]) * plan["drop_rate"] / 30, plan["azimuth"]
    if m <= plan["kickoff"]:
        return 0.0, 0.0
    if m >= plan["kickoff"] + plan["hold"] / (plan["rate"] / 30):
        return plan["hold"], plan["azimuth"]
    return (m - plan["kickoff"]) * plan["rate"] / 30, plan["azimuth"]


def min_curvature(wellhead, kb, mds, plan):
    """The columnar dict of a directional well, stations integrated by minimum curvature."""
    out = {k: [] for k in ("md", "x", "y", "z", "tvd", "incl", "azim")}
    east = north = tvd = 0.0
    prev = None
    for m in mds:
        inc, az = planned(plan, m)
        i2, a2 = inc * K, az * K
        if prev is not None:
            m1, i1, a1 = prev
            cb = math.cos(a2 - a1) * math.sin(i1) * math.sin(i2) + math.cos(i1) * math.cos(i2)
            beta = math.acos(min(1.0, max(-1.0, cb)))
            rf = 1.0 if abs(beta) < 1e-9 else math.tan(beta / 2) / (beta / 2)
            h = (m - m1) / 2 * rf
            east += h * (math.sin(i1) * math.sin(a1) + math.sin(i2) * math.sin(a2))
            north += h * (math.sin(i1) * math.cos(a1) + math.sin(i2) * math.cos(a2))
            tvd += h * (math.cos(i1) + math.cos(i2))
        for key, v in zip(out, (m, wellhead[0] + east, wellhead[1] + north, kb - tvd, tvd, inc, az)):
            out[key].append(v)
        prev = (m, i2, a2)
    return out


# --- placement ----------------------------------------------------------------

def uniform_between(ws, lo, hi):
    x = lo + (hi - lo) * (ws.one_to_two() - 1.0)
    return math.nextafter(hi, -math.inf) if x >= hi else x


def place_wells(xmin, ymin, xmax, ymax, n, seed):
    ws = WordStream(seed)
    out = []
    for _ in range(n):
        x = uniform_between(ws, xmin, xmax)
        out.append([x, uniform_between(ws, ymin, ymax)])
    return out


def inside(polygon, x, y):
    result = False
    xj, yj = polygon[-1]
    for xi, yi in polygon:
        if (y < yi) != (y < yj) and x < xi + (y - yi) * (xj - xi) / (yj - yi):
            result = not result
        xj, yj = xi, yi
    return result


def place_wells_in_polygon(polygon, n, seed):
    """The accepted points, or None when the attempt budget runs out."""
    xs = [p[0] for p in polygon if not math.isnan(p[0])]
    ys = [p[1] for p in polygon if not math.isnan(p[1])]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    ws = WordStream(seed)
    out, attempts = [], 0
    while len(out) < n:
        if attempts == n * 10000:
            return None
        x = uniform_between(ws, x0, x1)
        y = uniform_between(ws, y0, y1)
        attempts += 1
        if inside(polygon, x, y):
            out.append([x, y])
    return out


# --- tops ---------------------------------------------------------------------

def sample_surface(surface, lat, x, y):
    """Bilinear value at (x, y) on a Lattice `lat` (read through its properties)."""
    nan = math.nan
    geometry = (lat.xori, lat.yori, lat.xinc, lat.yinc, lat.rotation_deg, x, y)
    if lat.xinc == 0 or lat.yinc == 0 or not all(math.isfinite(v) for v in geometry):
        return nan
    t = lat.rotation_deg * K
    s, c = math.sin(t), math.cos(t)
    dx, dy = x - lat.xori, y - lat.yori
    u, v = dy * s + dx * c, dy * c - dx * s
    if lat.yflip:
        v = -v
    fi, fj = u / lat.xinc, v / lat.yinc
    if not (math.isfinite(fi) and math.isfinite(fj)):
        return nan
    if fi < 0 or fj < 0 or fi > lat.ncol - 1 or fj > lat.nrow - 1:
        return nan
    i0, j0 = math.floor(fi), math.floor(fj)
    i1, j1 = min(lat.ncol - 1, i0 + 1), min(lat.nrow - 1, j0 + 1)
    a, b, cc, d = surface[i0][j0], surface[i1][j0], surface[i0][j1], surface[i1][j1]
    if any(math.isnan(q) for q in (a, b, cc, d)):
        return nan
    tx, ty = fi - i0, fj - j0
    return (1 - ty) * ((1 - tx) * a + tx * b) + ty * ((1 - tx) * cc + tx * d)


def tops_from_surface(surface, lat, wells, residual, seed):
    """`residual` is ("uniform", lo, hi) or ("normal", mean, std_dev)."""
    ws = WordStream(seed)
    zig = Ziggurat(ziggurat_tables())
    tops = []
    for x, y in wells:
        if residual[0] == "uniform":
            r = uniform_between(ws, residual[1], residual[2])
        else:
            r = residual[1] + residual[2] * zig.draw(ws)
        tops.append(sample_surface(surface, lat, x, y) + r)
    return tops
