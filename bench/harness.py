"""Timing helpers shared by the bench modules.

A bench module `bench/bench_<area>.py` defines `rows()`, yielding `Row`s; each
row times our call and its peers in the same run (median of repeats).
"""

from __future__ import annotations

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
