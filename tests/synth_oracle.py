"""Pure-Python reference of the synthetic-log generators: the AR(1) driver on
the stream reference, the logistic, moment matching, zone-stack logs, facies,
porosity on facies, the exceedance triple and the NTG curve.

Φ and Φ⁻¹ are taken from the compiled ones (checked on their own against
scipy); everything else is recomputed here in the compiled evaluation order,
so outputs agree bit for bit.
"""

import functools
import math

from stream_oracle import WordStream, Ziggurat, splitmix64_first, ziggurat_tables

from conftest import require_testhooks

hooks = require_testhooks()

MAX_COEF = 0.999999999
U64_MAX = 2**64 - 1
_ZIG = ziggurat_tables()


def logistic(x):
    if x >= 0.0:
        return 1.0 / (1.0 + math.exp(-x))
    e = math.exp(x)
    return e / (1.0 + e)


def ar1(n, coefficient, seed):
    """coefficient(i) for i >= 1; one normal draw per sample."""
    ws, zig = WordStream(seed), Ziggurat(_ZIG)
    z = []
    for i in range(n):
        e = zig.draw(ws)
        if i == 0:
            z.append(e)
            continue
        r = coefficient(i)
        r = 0.0 if not r > 0.0 else min(r, MAX_COEF)
        z.append(r * z[-1] + math.sqrt(1.0 - r * r) * e)
    return z


@functools.lru_cache(maxsize=None)
def nodes():
    return tuple(hooks.phi_inv((k + 0.5) / 256) for k in range(256))


def _quad_mean(mu, sigma):
    s = 0.0
    for z in nodes():
        s += logistic(mu + sigma * z)
    return s / 256


@functools.lru_cache(maxsize=None)
def match_moments(m, s):
    s2 = s * s
    lo, hi = 1e-6, 60.0
    for _ in range(200):
        sigma = (lo + hi) / 2.0
        a, b = -40.0, 40.0
        for _ in range(200):
            mu = (a + b) / 2.0
            mq = _quad_mean(mu, sigma)
            if abs(mq - m) <= 1e-12:
                break
            if m > mq:
                a = mu
            else:
                b = mu
        else:
            mu = (a + b) / 2.0
        s1 = s2q = 0.0
        for z in nodes():
            y = logistic(mu + sigma * z)
            s1 += y
            s2q += y * y
        mq = s1 / 256
        var = max(s2q / 256 - mq * mq, 0.0)
        if abs(var - s2) <= 1e-10:
            break
        if s2 > var:
            lo = sigma
        else:
            hi = sigma
    return mu, sigma


def round_count(x):
    """Nearest integer, halves away from zero, saturating into u64."""
    if not x > 0.0:
        return 0
    if x >= 2.0**64:
        return U64_MAX
    f = math.floor(x)
    return min(int(f) + (1 if x - f >= 0.5 else 0), U64_MAX)


def zone_counts(zones, step):
    return [max(1, round_count(z[0] / step)) for z in zones]


def log_series(zones, step, beds, seed):
    """zones: (thickness_m, mean, std, corr_length_m) tuples."""
    counts = zone_counts(zones, step)
    starts = [0]
    for c in counts:
        starts.append(starts[-1] + c)
    n = starts[-1]
    zone_of = [k for k, c in enumerate(counts) for _ in range(c)]
    coef = [math.exp(-step / z[3]) for z in zones]
    z = ar1(n, lambda i: coef[zone_of[i]], seed)
    t = [match_moments(zz[1], zz[2]) for zz in zones]
    v = [logistic(t[zone_of[i]][0] + t[zone_of[i]][1] * z[i]) for i in range(n)]
    if beds > 0:
        for k in range(1, len(zones)):
            m = starts[k]
            b, c = max(m - beds, 0), min(n, m + beds)
            (mu0, s0), (mu1, s1) = t[k - 1], t[k]
            for j in range(c - b):
                tt = min(1.0, j / (c - b))
                mu = tt * (mu1 - mu0) + mu0
                sg = tt * (s1 - s0) + s0
                v[b + j] = logistic(mu + sg * z[b + j])
    return v


def facies(n, step, ntg, bed, seed):
    tau = hooks.phi_inv(1.0 - ntg)
    r = math.exp(-step / bed)
    return bytes(1 if x > tau else 0 for x in ar1(n, lambda i: r, seed))


def por_on_facies(fac, step, sand, shale, length, seed):
    """sand, shale: (mu, sigma) transforms."""
    r = math.exp(-step / length)
    z = ar1(len(fac), lambda i: r, splitmix64_first(seed))
    return [logistic((sand if f else shale)[0] + (sand if f else shale)[1] * x) for f, x in zip(fac, z)]


def exceedance(mu, sigma, c):
    zc = (math.log(c / (1.0 - c)) - mu) / sigma
    p = min(max(1.0 - hooks.phi(zc), 0.0), 1.0)
    zl = max(zc, -8.0)
    if zl >= 8.0:
        return p, 0.0, 0.0
    h = (8.0 - zl) / 2000
    s1 = s2 = 0.0
    for i in range(2001):
        z = i * h + zl
        w = 1.0 if i in (0, 2000) else (4.0 if i % 2 else 2.0)
        y = logistic(sigma * z + mu)
        d = math.exp(-0.5 * (z * z)) / 2.5066282746310007
        s1 += w * y * d
        s2 += w * (y * y) * d
    return p, h / 3.0 * s1, h / 3.0 * s2


def ntg_curve(flags, step, window):
    k = max(round_count(window / step) // 2, 1)
    n = len(flags)
    out = []
    for j in range(n):
        lo, hi = max(j - k, 0), min(j + k, n - 1)
        out.append(sum(1 for f in flags[lo:hi + 1] if f != 0) / (hi + 1 - lo))
    return out
