"""Synthetic logs: a 10^6-sample zone-stack log over five zones and a 10^6-sample
facies series, against numpy drawing the same normals, the AR(1) recursion in
`scipy.signal.lfilter`, the marginal transform and `tolist` / `tobytes`; and
the moment-matching solve at its worst case."""

import math
import time

import numpy as np
from scipy import signal, special

import zaviktools as zk
from zaviktools import _testhooks as hooks

from .harness import Row

N = 10**6
STEP = 0.5
# Five zones of 10^5 m at 0.5 m: 2·10^5 samples each.
ZONES = [(1e5, 0.2, 0.05, 3.0), (1e5, 0.12, 0.03, 1.5), (1e5, 0.25, 0.06, 4.0), (1e5, 0.08, 0.02, 2.0),
         (1e5, 0.18, 0.04, 2.5)]


def _numpy_log(transforms, rng):
    """Per zone: normals, AR(1) by lfilter, logistic, then one list."""
    parts = []
    for (thickness, _, _, corr), (mu, sigma) in zip(ZONES, transforms):
        n = round(thickness / STEP)
        r = math.exp(-STEP / corr)
        e = rng.standard_normal(n)
        e[1:] *= math.sqrt(1.0 - r * r)
        z = signal.lfilter([1.0], [1.0, -r], e)
        parts.append(special.expit(mu + sigma * z))
    return np.concatenate(parts).tolist()


def _numpy_facies(rng, tau, r):
    e = rng.standard_normal(N)
    e[1:] *= math.sqrt(1.0 - r * r)
    return (signal.lfilter([1.0], [1.0, -r], e) > tau).astype(np.uint8).tobytes()


def _rate(fn, n, repeats=3):
    best = float("inf")
    for _ in range(repeats):
        t0 = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t0)
    return f"best {n / best / 1e6:.1f} M samples/s"


def rows():
    zones = [zk.ZoneSpec(*z) for z in ZONES]
    transforms = [hooks.match_moments(z[1], z[2]) for z in ZONES]
    log = lambda: zk.synth_log_series(zones, STEP, 10, 1)  # noqa: E731
    yield Row("synth_log_series 1e6 samples, 5 zones", log,
              {"numpy normals+lfilter+expit+tolist": lambda: _numpy_log(transforms, np.random.default_rng(1))},
              repeats=5, note=_rate(log, N))
    tau, r = hooks.phi_inv(0.7), math.exp(-STEP / 2.0)
    facies = lambda: zk.synth_facies_series(N, STEP, 0.3, 2.0, 1)  # noqa: E731
    yield Row("synth_facies_series 1e6 samples", facies,
              {"numpy normals+lfilter+threshold+bytes": lambda: _numpy_facies(np.random.default_rng(1), tau, r)},
              repeats=5, note=_rate(facies, N))
    yield Row("match_moments(0.5, 0.4999) worst case, per call", lambda: hooks.match_moments(0.5, 0.4999), repeats=7)
    yield Row("match_moments(0.2, 0.05), per call", lambda: hooks.match_moments(0.2, 0.05), repeats=7)
    zone = zk.PetroZoneSpec(0.3, 0.2, 0.03, 0.05, 0.02, 2.0, 1.0)
    yield Row("synth_petro_curves 1e6 samples (incl. calibration)", lambda: zk.synth_petro_curves(zone, STEP, N, 1),
              repeats=3)
