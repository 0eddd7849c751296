"""mean / variance / percentile on 10^6 values, from a list and a numpy array."""

import random
import statistics

import numpy as np

import zaviktools as zk

from .harness import Row


def rows():
    rnd = random.Random(1)
    data = [rnd.gauss(0.0, 1.0) for _ in range(10**6)]
    arr = np.array(data)
    yield Row("mean 1e6 list", lambda: zk.mean(data),
              {"numpy.mean(list)": lambda: np.mean(data), "statistics.fmean": lambda: statistics.fmean(data)})
    yield Row("mean 1e6 ndarray", lambda: zk.mean(arr), {"numpy.mean": lambda: np.mean(arr)})
    yield Row("variance 1e6 list", lambda: zk.variance(data),
              {"numpy.var(list, ddof=1)": lambda: np.var(data, ddof=1)})
    yield Row("variance 1e6 ndarray", lambda: zk.variance(arr), {"numpy.var(ddof=1)": lambda: np.var(arr, ddof=1)})
    yield Row("percentile 1e6 list", lambda: zk.percentile(data, 37.5),
              {"numpy.percentile(list, linear)": lambda: np.percentile(data, 37.5, method="linear")}, repeats=5)
    yield Row("percentile 1e6 ndarray", lambda: zk.percentile(arr, 37.5),
              {"numpy.percentile(linear)": lambda: np.percentile(arr, 37.5, method="linear")}, repeats=5)
