"""Seeded draws into a list of 10^6 floats, against numpy's Generator plus
`tolist` (the list build is common to both) and a `random` loop; and the raw
ChaCha12 stream throughput."""

import random
import time

import numpy as np

import zaviktools as zk
from zaviktools import _testhooks as hooks

from .harness import Row

N = 10**6
WORDS = 2**24  # 64 MiB of stream output


def rows():
    rng = zk.Rng(0)
    normal = zk.Sampler.normal(0, 1)
    uniform = zk.Sampler.uniform(0, 1)
    py = random.Random(0)
    gauss, rand = py.gauss, py.random
    yield Row("Sampler.normal(0,1).sample_n 1e6", lambda: normal.sample_n(N, rng),
              {"numpy standard_normal(1e6).tolist": lambda: np.random.default_rng(0).standard_normal(N).tolist(),
               "random.gauss loop": lambda: [gauss(0.0, 1.0) for _ in range(N)]}, repeats=7)
    yield Row("Sampler.uniform(0,1).sample_n 1e6", lambda: uniform.sample_n(N, rng),
              {"numpy random(1e6).tolist": lambda: np.random.default_rng(0).random(N).tolist(),
               "random.random loop": lambda: [rand() for _ in range(N)]}, repeats=7)
    trunc = zk.Sampler.truncated_normal(0, 1, -1, 2)
    yield Row("Sampler.truncated_normal.sample_n 1e6", lambda: trunc.sample_n(N, rng),
              {"scipy truncnorm.rvs(1e6).tolist": lambda: __import__("scipy.stats").stats.truncnorm.rvs(
                  -1, 2, size=N, random_state=np.random.default_rng(0)).tolist()}, repeats=3)
    t = _best_time(lambda: hooks.stream_fill(0, WORDS), 5)
    gen = np.random.default_rng(0).bit_generator
    yield Row("ChaCha12 stream 64 MiB", lambda: hooks.stream_fill(0, WORDS),
              {"numpy PCG64 random_raw 64 MiB": lambda: gen.random_raw(WORDS // 2)}, repeats=5,
              note=f"best {WORDS * 4 / t / 1e9:.2f} GB/s")


def _best_time(fn, repeats):
    """Shortest of `repeats` runs: the generator's capacity on a busy machine."""
    best = float("inf")
    for _ in range(repeats):
        t0 = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t0)
    return best
