"""Ensemble maps: mean, std, P90/P50/P10 and the exceedance of a threshold
over 100 realisations of 500 x 500 nodes, `ensemble_maps` against numpy
(`np.percentile(stack, q, axis=0)` on the stacked realisations).

Wall time: in process, realisations already in a list (timed runs read the
same 100 arrays). Peak memory: each side in a fresh interpreter fed by the
same generator of realisations (a seeded normal field per realisation, so
the realisations are made one at a time as a simulation would make them);
tracemalloc peak of the work and the growth of the peak resident size. The
numpy side preallocates the stack and fills it from the generator (no list
of arrays), then takes the maps:
`np.mean`, `np.std(ddof=1)`, `np.percentile([10, 50, 90], axis=0)` and the
exceeding fraction. The ratio column is numpy / ours (> 1: ours is faster or
smaller).

    python -m bench.bench_ensemble_maps     # the table with memory
    python -m bench ensemble_maps           # the timing row in the shared table"""

from __future__ import annotations

import json
import resource
import subprocess
import sys
import time
import tracemalloc
from typing import Any, Callable, Iterator

import numpy as np

import zaviktools as zk

from .harness import Row, fmt_seconds, median_time

N_REAL, NCOL, NROW = 100, 500, 500
THRESHOLD = 0.5
LABELS = (90, 50, 10)


def generate() -> Iterator[np.ndarray]:
    for k in range(N_REAL):
        yield np.random.default_rng(k).standard_normal((NCOL, NROW))


def ours(fields: Any) -> Any:
    return zk.ensemble_maps(fields, LABELS, threshold=THRESHOLD)


def ours_streamed(fields: Any) -> Any:
    return zk.ensemble_maps(fields, (), threshold=THRESHOLD)


def numpy_maps(fields: Any) -> Any:
    stack = np.empty((N_REAL, NCOL, NROW))
    for k, f in enumerate(fields):
        stack[k] = f
    return (stack.mean(axis=0), stack.std(axis=0, ddof=1), np.percentile(stack, [100 - p for p in LABELS], axis=0),
            (stack > THRESHOLD).mean(axis=0))


def numpy_percentile(fields: Any) -> Any:
    return np.percentile(np.stack(list(fields)), [100 - p for p in LABELS], axis=0)


SIDES: dict[str, Callable[[Any], Any]] = {
    "ensemble_maps": ours,
    "ensemble_maps, percentiles=()": ours_streamed,
    "numpy stack + mean/std/percentile/exceed": numpy_maps,
    "np.percentile(np.stack(list))": numpy_percentile,
}


def _peak_rss() -> float:
    # VmHWM starts afresh at exec (ru_maxrss keeps the parent's high-water mark).
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return float(line.split()[1]) * 1024.0
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024.0


def _measure(side: str, traced: bool) -> dict[str, float]:
    """One side in this (fresh) process: wall time and peak memory."""
    fn = SIDES[side]
    before = _peak_rss()
    if traced:
        tracemalloc.start()
    t0 = time.perf_counter()
    result = fn(generate())
    wall = time.perf_counter() - t0
    peak = tracemalloc.get_traced_memory()[1] if traced else 0
    del result
    return {"wall": wall, "traced_peak": peak, "rss_growth": _peak_rss() - before}


def measure_in_subprocess(side: str, traced: bool) -> dict[str, float]:
    code = (f"import json, bench.bench_ensemble_maps as b; "
            f"print(json.dumps(b._measure({side!r}, {traced!r})))")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    return json.loads(done.stdout)  # type: ignore[no-any-return]


def memory_table() -> dict[str, dict[str, float]]:
    out = {}
    for side in SIDES:
        plain = measure_in_subprocess(side, False)
        traced = measure_in_subprocess(side, True)
        out[side] = {"wall": plain["wall"], "rss_growth": plain["rss_growth"], "traced_peak": traced["traced_peak"]}
    return out


def _check(fields: list[np.ndarray]) -> str:
    m = ours(fields)
    stack = np.stack(fields)
    ref = np.percentile(stack, [10, 50, 90], axis=0)
    worst = max(float(np.max(np.abs(m.p_maps[p] - r))) for p, r in zip(LABELS, ref))
    return f"max |P-map - numpy| = {worst:.1e}"


def rows() -> Iterator[Row]:
    fields = list(generate())
    note = _check(fields)
    name = f"ensemble_maps {N_REAL} x {NCOL}x{NROW}"
    yield Row(name, lambda: ours(fields), {
        "numpy stack + mean/std/pct/exceed": lambda: numpy_maps(fields),
        "np.percentile(np.stack(fields))": lambda: numpy_percentile(fields),
    }, repeats=3, note=note)
    yield Row(f"{name}, percentiles=()", lambda: ours_streamed(fields), repeats=3,
              note="mean, std and exceedance alone, streamed")


def main() -> int:
    fields = list(generate())
    print(f"{N_REAL} realisations of {NCOL} x {NROW}; {_check(fields)}")
    print(f"{'side':<42} {'in-process':>11} {'fresh proc':>11} {'traced peak':>12} {'RSS growth':>11}")
    times = {side: median_time(lambda fn=fn: fn(fields), 3) for side, fn in SIDES.items()}
    del fields
    mem = memory_table()
    for side in SIDES:
        m = mem[side]
        print(f"{side:<42} {fmt_seconds(times[side]):>11} {fmt_seconds(m['wall']):>11} "
              f"{m['traced_peak'] / 2**20:9.0f} MiB {m['rss_growth'] / 2**20:7.0f} MiB")
    base = mem["ensemble_maps"]
    for side in list(SIDES)[2:]:
        m = mem[side]
        print(f"ratio {side} / ensemble_maps: time {times[side] / times['ensemble_maps']:.2f}, "
              f"traced peak {m['traced_peak'] / base['traced_peak']:.2f}, "
              f"RSS growth {m['rss_growth'] / base['rss_growth']:.2f}")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
