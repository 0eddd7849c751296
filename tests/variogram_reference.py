"""Pure-Python reference formulas for the variogram tests.

Each function transcribes the documented formula in its stated evaluation
order, so results can be compared bit for bit (Python floats are IEEE doubles
and math.exp / math.sin / math.cos / math.sqrt come from the same C library).
"""

import math

DEG = 0.017453292519943295
MODELS = ("nugget", "spherical", "exponential", "gaussian")


def gamma(model, c0, c, a, h):
    if h * h == 0.0:
        return 0.0
    if model == "nugget":
        return h if math.isnan(h) else c0
    if model == "spherical":
        r = h / a
        if r >= 1.0:
            return c0 + c
        return c0 + c * ((-0.5 * r) * r * r + 1.5 * r)
    if model == "exponential":
        return c0 + c * (1.0 - math.exp((-3.0 * h) / a))
    r = h / a
    return c0 + c * (1.0 - math.exp((-3.0 * r) * r))


def reduced_sq(major, minor, vertical, azimuth, dx, dy, dz):
    theta = azimuth * DEG
    s, k = math.sin(theta), math.cos(theta)
    along = dy * k + dx * s
    across = dx * k - dy * s
    u = across * major / minor
    w = dz * major / vertical
    return (along * along + u * u) + w * w


def gamma_offset(model, c0, c, major, minor, vertical, azimuth, dx, dy, dz):
    h2 = reduced_sq(major, minor, vertical, azimuth, dx, dy, dz)
    if h2 == 0.0:
        return 0.0
    h = math.sqrt(h2)
    r = h / major
    if model == "nugget":
        return h if math.isnan(h) else c0
    if model == "spherical":
        return c0 + c if r >= 1.0 else c0 + c * ((-0.5 * r) * r * r + 1.5 * r)
    if model == "exponential":
        return c0 + c * (1.0 - math.exp((h * (-3.0)) / major))
    return c0 + c * (1.0 - math.exp((-3.0 * r) * r))


def unit_shape(model, h, rng):
    r = h / rng
    if model == "spherical":
        return 1.0 if r >= 1.0 else ((r * (-0.5)) * r) * r + r * 1.5
    if model == "exponential":
        return 1.0 - math.exp(r * (-3.0))
    if model == "gaussian":
        return 1.0 - math.exp((r * (-3.0)) * r)
    return 0.0


def best_c0_c(model, lags, gammas, counts, rng):
    s = [unit_shape(model, h, rng) for h in lags]
    N = Ss = Sss = Sy = Ssy = 0.0
    for sk, gk, nk in zip(s, gammas, counts):
        n = float(nk)
        N += n
        Ss += sk * n
        Sss += sk * (sk * n)
        Sy += gk * n
        Ssy += gk * (sk * n)
    det = Sss * N - Ss * Ss
    cands = []
    if abs(det) > 1e-300:
        cands.append(((Sss * Sy - Ss * Ssy) / det, (N * Ssy - Ss * Sy) / det))
    if Sss > 0:
        cands.append((0.0, Ssy / Sss))
    if N > 0:
        cands.append((Sy / N, 0.0))
    cands.append((0.0, 0.0))
    best = None
    for c0, c in cands:
        if c0 < -1e-12 or c < -1e-12:
            continue
        c0 = c0 if c0 > 0 else 0.0
        c = c if c > 0 else 0.0
        sse = 0.0
        for sk, gk, nk in zip(s, gammas, counts):
            e = sk * c + c0 - gk
            sse += float(nk) * e * e
        if best is None or sse < best[2]:
            best = (c0, c, sse)
    return best


def fit(model, lags, gammas, counts):
    """(nugget, sill, range) before the final validation."""
    hmax = 0.0
    for h in lags:
        if h > hmax:
            hmax = h
    if model == "nugget":
        N = Sy = 0.0
        for g, n in zip(gammas, counts):
            N += float(n)
            Sy += float(n) * g
        return (Sy / N if N > 0 else 0.0), 0.0, max(hmax, 1.0)

    def search(best, cands):
        for rng in cands:
            if rng <= 0:
                continue
            c0, c, sse = best_c0_c(model, lags, gammas, counts, rng)
            if sse < best[0]:
                best = (sse, c0, c, rng)
        return best

    lo = hmax / 50.0
    span = (hmax + hmax) - lo
    coarse = search((math.inf, 0.0, 0.0, 0.0), [(j * span) / 399.0 + lo for j in range(400)])
    step = span / 399.0
    lo2 = max(coarse[3] - step, hmax / 100.0)
    span2 = (step + coarse[3]) - lo2
    fine = search((math.inf, 0.0, 0.0, 0.0), [(k * span2) / 99.0 + lo2 for k in range(100)])
    chosen = fine if coarse[0] > fine[0] else coarse
    return chosen[1], chosen[2], max(chosen[3], 1e-9)
