"""Timing helpers shared by the bench modules.

A bench module `bench/bench_<area>.py` defines `rows()`, yielding `Row`s; each
row times our call and its peers in the same run, in turn round by round
(medians of the rounds; a ratio is the median of the rounds' ratios).
"""

from __future__ import annotations

import glob
import importlib.util
import os
import statistics
import time
from dataclasses import dataclass, field
from typing import Callable


def median_time(fn: Callable[[], object], repeats: int = 7, min_time: float = 0.0) -> float:
    """Median wall time of `fn()` over `repeats` runs (after one warm-up)."""
    fn()
    times = []
    for _ in range(repeats):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def interleaved_times(ours: Callable[[], object], peers: list[Callable[[], object]],
                      repeats: int = 7) -> tuple[list[float], list[list[float] | Exception]]:
    """Wall times of `ours` and of each peer over `repeats` rounds (after one
    warm-up each), the calls taken in turn within a round: on a shared machine
    whose speed drifts within minutes, the calls of one round meet the same
    phase. An exception of ours propagates; a peer that raises is given its
    exception in place of times and is not called again."""
    ours()
    mine: list[float] = []
    theirs: list[list[float] | Exception] = []
    for fn in peers:
        try:
            fn()
            theirs.append([])
        except Exception as exc:  # noqa: BLE001 -- a missing or failing peer is reported, not fatal
            theirs.append(exc)
    for _ in range(repeats):
        t0 = time.perf_counter()
        ours()
        mine.append(time.perf_counter() - t0)
        for fn, out in zip(peers, theirs):
            if isinstance(out, Exception):
                continue
            t0 = time.perf_counter()
            fn()
            out.append(time.perf_counter() - t0)
    return mine, theirs


def paired_ratio(peer: list[float], ours: list[float]) -> float:
    """Median over the rounds of peer time / our time in the same round."""
    return statistics.median(p / o for p, o in zip(peer, ours))


@dataclass
class Row:
    """One benchmark: our call and named peer calls on the same input."""

    name: str
    ours: Callable[[], object]
    peers: dict[str, Callable[[], object]] = field(default_factory=dict)
    repeats: int = 7
    note: str = ""
    # A peer too slow to run whole: its callable runs a part of the work, and
    # its time is multiplied by this factor (the label says so).
    peer_scale: dict[str, float] = field(default_factory=dict)


def fmt_seconds(t: float) -> str:
    if t < 1e-3:
        return f"{t * 1e6:8.1f} us"
    if t < 1.0:
        return f"{t * 1e3:8.2f} ms"
    return f"{t:8.3f} s "


def load_baseline(module: str = "_zaviktools"):
    """The extension `module` of another build, loaded beside ours: from the
    directory in $ZK_BENCH_BASELINE, or from the directory of the .so file it
    names (a build's `_zaviktools` and `_testhooks` sit side by side). None
    when the variable is unset or the build has no such module."""
    path = os.environ.get("ZK_BENCH_BASELINE")
    if not path:
        return None
    folder = path if os.path.isdir(path) else os.path.dirname(path)
    found = sorted(glob.glob(os.path.join(folder, f"{module}.*so")))
    if not found:
        return None
    spec = importlib.util.spec_from_file_location(f"zk_baseline.{module}", found[0])
    mod = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(mod)
    return mod
