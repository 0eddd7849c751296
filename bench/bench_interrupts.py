"""Ctrl-C: how soon a long call stops, and what the checks cost.

Latency (`python -m bench.bench_interrupts`): a child process starts the call,
SIGINT arrives 1 s in, and the child notes the monotonic time at which
KeyboardInterrupt reaches it (the clock is system-wide, so the parent's and
the child's readings compare); three trials per call.

Overhead (also `python -m bench interrupt`): the same calls timed, medians
of 7 with the two builds alternating, against the same source built without
the checks, loaded side by side from the path in $ZK_BENCH_BASELINE (that
build's _zaviktools .so). Without the variable the rows time ours alone.
Wall times on a shared machine scatter by several percent; for a figure
that does not, count instructions of one call per build, e.g.
`valgrind --tool=callgrind python -c "..."` with PYTHONPATH at each build
(the polls then come ~50 times more often per unit of work than natively,
since they are paced by the clock).
"""

from __future__ import annotations

import os
import random
import signal
import statistics
import subprocess
import sys
import time
from array import array

import zaviktools as zk

from .harness import Row, fmt_seconds, load_baseline

CHILD = """
import sys, time
from zaviktools import _zaviktools as m
lat = m.Lattice(0, 0, 1, 1, 1500, 1500)
v = m.Variogram("spherical", 0.0, 1.0, 30.0)
data = [[(i * 7919) % 1500, (i * 104729) % 1500, float(i % 17)] for i in range(3000)]
calls = {
    "sgs_flat 1500x1500": lambda: m.sgs_flat(data[:50], lat, v, 16, 30.0, 1),
    "local_kriging_grid_flat 1500x1500": lambda: m.local_kriging_grid_flat(data, lat, v, 64, 200.0),
    "synth_dome_surface_flat 1500x1500": lambda: m.synth_dome_surface_flat(lat, 10.0, 1.0, 0.0, 1.0, v, 3),
    "place_wells_in_polygon (lock held)": lambda: m.place_wells_in_polygon([[0, 0], [1000, 1000], [1000, 999]],
                                                                          10**6, 1),
    "Sampler.sample_n 3e7 (lock held)": lambda: m.Sampler.truncated_normal(0, 1, -1, 2).sample_n(3 * 10**7, m.Rng(1)),
    "aggregate comonotonic 40 x 1e6": lambda: m.aggregate([shuffled] * 40, "comonotonic"),
    "percentile 2e7 with NaN": lambda: m.percentile(shuffled * 20 + array("d", [float("nan")]), 30),
    "synth_log_series 2e7, 9 blends": lambda: m.synth_log_series(
        [m.ZoneSpec(200.0, 0.2 + k / 50, 0.05, 5.0) for k in range(10)], 1e-4, 10**9, 1),
    "synth_trajectory_profile 1e7 stations": lambda: m.synth_trajectory_profile([0, 0], 10.0, 1000.0, 1e-4, 1,
                                                                               "build_hold", 100.0),
}
if "aggregate" in sys.argv[1] or "percentile" in sys.argv[1]:
    import random
    from array import array
    shuffled = array("d", (random.random() for _ in range(10**6)))
call = calls[sys.argv[1]]
print("go", flush=True)
try:
    call()
    print("finished")
except KeyboardInterrupt:
    print(time.monotonic())
"""


LATENCY_CALLS = ("sgs_flat 1500x1500", "local_kriging_grid_flat 1500x1500", "synth_dome_surface_flat 1500x1500",
                 "place_wells_in_polygon (lock held)", "Sampler.sample_n 3e7 (lock held)",
                 "aggregate comonotonic 40 x 1e6", "percentile 2e7 with NaN", "synth_log_series 2e7, 9 blends",
                 "synth_trajectory_profile 1e7 stations")


def latency(name: str) -> float:
    child = subprocess.Popen([sys.executable, "-c", CHILD, name], stdout=subprocess.PIPE, text=True)
    try:
        child.stdout.readline()
        time.sleep(1.0)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        out = child.communicate(timeout=600)[0].strip()
        return float(out) - sent if out != "finished" else float("inf")
    finally:
        child.kill()
        child.wait()


def calls(m):
    """name -> call on module `m`; each some tenths of a second."""
    lat = m.Lattice(0, 0, 1, 1, 300, 300)
    big = m.Lattice(0.5, 0.5, 1, 1, 1500, 1500, 10.0)
    v = m.Variogram("spherical", 0.0, 1.0, 30.0)
    data = [[(i * 7919) % 300, (i * 104729) % 300, float(i % 17)] for i in range(3000)]
    grid = bytes(8 * 300 * 300)
    x = [float(i) for i in range(10**5)]
    lines = [f"b{k} = sqrt(abs(x) + {k}) * 2 + x ** 1.5" for k in range(20)]
    r = random.Random(1)
    shuffled = array("d", (r.random() for _ in range(10**6)))
    signed = array("d", shuffled)
    signed[0] = -0.0
    return {
        "sgs_flat 300x300": lambda: m.sgs_flat(data[:50], lat, v, 16, 30.0, 1),
        "local_kriging_grid_flat 300x300": lambda: m.local_kriging_grid_flat(data, lat, v, 32, 60.0),
        "synth_dome_surface_flat 300x300": lambda: m.synth_dome_surface_flat(lat, 10.0, 1.0, 0.0, 1.0, v, 3),
        "place_wells_in_polygon 4e6 attempts": lambda: m.place_wells_in_polygon([[0, 0], [1e3, 1e3], [1e3, 999]],
                                                                               2000, 1),
        "evaluate_formula 20 lines x 1e5": lambda: m.evaluate_formula(lines, {"x": x}),
        "experimental_variogram 3000 data": lambda: m.experimental_variogram(data, 1.0, 50),
        "interp1d 1e6 queries": lambda: m.interp1d(x, x, x * 10, "linear"),
        "resample_flat 300x300 -> 1500x1500": lambda: m.resample_flat(grid, lat, big),
        "Sampler.sample_n 1e6 normal": lambda: m.Sampler.normal(0, 1).sample_n(10**6, m.Rng(1)),
        "percentile of 1e6 (selection)": lambda: m.percentile(shuffled, 30),
        "percentile of 1e6 with -0.0 (sort)": lambda: m.percentile(signed, 30),
        "weighted_percentile of 1e6": lambda: m.weighted_percentile(shuffled, shuffled, 30),
        "synth_log_series 1e6": lambda: m.synth_log_series([m.ZoneSpec(100.0, 0.2, 0.05, 5.0)], 1e-4, 0, 1),
        "mean of 1e6 floats (list conversion)": lambda: m.mean(x * 10),
        "1e5 tiny calls m3_to_mcm": lambda: [m.m3_to_mcm(1.0) for _ in range(10**5)],
    }


def rows():
    from zaviktools import _zaviktools as ours

    base = load_baseline()
    mine, theirs = calls(ours), calls(base) if base else {}
    for name, fn in mine.items():
        peers = {"no checks (baseline build)": theirs[name]} if name in theirs else {}
        yield Row(f"interrupt checks: {name}", fn, peers, repeats=7)


def main() -> int:
    print(f"zaviktools {zk.__version__}: SIGINT 1 s into the call, three trials")
    print(f"{'call':<40} {'median':>10} {'max':>10}")
    for name in () if os.environ.get("ZK_BENCH_SKIP_LATENCY") else LATENCY_CALLS:
        t = [latency(name) for _ in range(3)]
        print(f"{name:<40} {statistics.median(t) * 1e3:8.1f} ms {max(t) * 1e3:8.1f} ms", flush=True)
    from zaviktools import _zaviktools as ours

    base = load_baseline()
    if base is None:
        print("set ZK_BENCH_BASELINE to a build without the checks to time their cost")
        return 0
    print(f"\n{'call':<40} {'checks':>11} {'no checks':>11} {'cost':>8}")
    mine, theirs = calls(ours), calls(base)
    for name, fn in mine.items():
        t_ours, t_base = [], []
        for fns, out in ((fn, t_ours), (theirs[name], t_base)) * 7:
            t0 = time.perf_counter()
            fns()
            out.append(time.perf_counter() - t0)
        a, b = statistics.median(t_ours), statistics.median(t_base)
        print(f"{name:<40} {fmt_seconds(a):>11} {fmt_seconds(b):>11} {(a / b - 1) * 100:+7.1f}%", flush=True)
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
