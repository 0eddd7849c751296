"""experimental_variogram of 5,000 and 20,000 points (20 lags of 25 m, cut-off
500 m, single-threaded peers configured for the same bins) and Variogram.fit
on a 20-lag experimental variogram."""

import math
import random

import numpy as np

import zaviktools as zk

from .harness import Row

LAG = 25.0
N_LAGS = 20


def _data(n, seed):
    rnd = random.Random(seed)
    coords = []
    for _ in range(n):
        x, y = rnd.uniform(0, 1000), rnd.uniform(0, 1000)
        coords.append([x, y, math.sin(x / 150.0) + math.cos(y / 220.0) + rnd.gauss(0.0, 0.2)])
    return coords


def _gstools(pos, field, edges):
    import gstools as gs

    gs.config.NUM_THREADS = 1
    return lambda: gs.vario_estimate(pos, field, edges)


def _skgstat(xy, z):
    import skgstat as skg

    return lambda: skg.Variogram(xy, z, n_lags=N_LAGS, maxlag=LAG * N_LAGS, bin_func="even",
                                 fit_method=None).experimental


def rows():
    edges = np.arange(N_LAGS + 1) * LAG
    for n, repeats in ((5000, 3), (20000, 1)):
        coords = _data(n, n)
        arr = np.asarray(coords)
        pos, field = (arr[:, 0].copy(), arr[:, 1].copy()), arr[:, 2].copy()
        yield Row(f"experimental_variogram {n} pts 20 lags",
                  lambda c=coords: zk.experimental_variogram(c, LAG, N_LAGS),
                  {"gstools.vario_estimate (1 thread)": _gstools(pos, field, edges),
                   "skgstat.Variogram(...).experimental": _skgstat(arr[:, :2].copy(), field)},
                  repeats=repeats, note="incl. list conversion")

    ev = zk.experimental_variogram(_data(3000, 3), LAG, N_LAGS)
    lags, gam = np.asarray(ev.lags), np.asarray(ev.semivariances)

    def gstools_fit(name):
        import gstools as gs

        return lambda: getattr(gs, name)(dim=2).fit_variogram(lags, gam, nugget=True)

    for model, peer in (("spherical", "Spherical"), ("exponential", "Exponential"), ("gaussian", "Gaussian")):
        yield Row(f"Variogram.fit {model} ({len(ev)} lags)", lambda m=model: zk.Variogram.fit(m, ev),
                  {f"gstools {peer}.fit_variogram": gstools_fit(peer)},
                  repeats=21, note="400 + 100 candidate ranges")
