"""weighted_percentile and reservoir_summary on 10^6 values, from a list and a numpy array."""

import random

import numpy as np

import zaviktools as zk

from .harness import Row


def numpy_weighted_percentile(v, w, p):
    # the same midpoint plotting positions, vectorised: sort, cumulative weights, linear interpolation
    order = np.argsort(v, kind="stable")
    vs, ws = v[order], w[order]
    pos = (np.cumsum(ws) - 0.5 * ws) / ws.sum()
    return np.interp(p / 100.0, pos, vs)


def numpy_summary(a):
    p10, p50, p90 = np.percentile(a, [10, 50, 90])
    return p10, p50, p90, np.mean(a)


def rows():
    rnd = random.Random(7)
    values = [rnd.lognormvariate(3.0, 0.6) for _ in range(10**6)]
    weights = [rnd.uniform(0.5, 20.0) for _ in range(10**6)]
    v, w = np.array(values), np.array(weights)
    yield Row("weighted_percentile 1e6 list", lambda: zk.weighted_percentile(values, weights, 37.5),
              {"numpy argsort+cumsum+interp (list)": lambda: numpy_weighted_percentile(np.array(values),
                                                                                        np.array(weights), 37.5)},
              repeats=5)
    yield Row("weighted_percentile 1e6 ndarray", lambda: zk.weighted_percentile(v, w, 37.5),
              {"numpy argsort+cumsum+interp": lambda: numpy_weighted_percentile(v, w, 37.5),
               "numpy.percentile(weights, inv-cdf)": lambda: np.percentile(v, 37.5, weights=w,
                                                                           method="inverted_cdf")},
              repeats=5)
    yield Row("reservoir_summary 1e6 list", lambda: zk.reservoir_summary(values),
              {"numpy percentile[10,50,90]+mean (list)": lambda: numpy_summary(np.array(values))}, repeats=5)
    yield Row("reservoir_summary 1e6 ndarray", lambda: zk.reservoir_summary(v),
              {"numpy percentile[10,50,90]+mean": lambda: numpy_summary(v)}, repeats=5)
