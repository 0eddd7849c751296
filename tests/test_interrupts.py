"""Ctrl-C stops every kind of long call: a child process starts the call, the
test sends SIGINT half a second later and expects KeyboardInterrupt soon after
(loosely bounded here: the sanitizer build is slow; bench/bench_interrupts.py
measures the latency). Each call would otherwise run for many seconds."""

import signal
import subprocess
import sys
import time

import pytest

SETUP = """
import sys
from zaviktools import _zaviktools as m
lat = m.Lattice(0, 0, 1, 1, 1200, 1200)
v = m.Variogram("spherical", 0.0, 1.0, 30.0)
data = [[(i * 7919) % 1200, (i * 104729) % 1200, float(i % 17)] for i in range(3000)]
calls = {
    "simulation": lambda: m.sgs_flat(data[:50], lat, v, 16, 30.0, 1),
    "local kriging": lambda: m.local_kriging_grid_flat(data, lat, v, 64, 200.0),
    "surface generator": lambda: m.synth_dome_surface_flat(lat, 10.0, 1.0, 0.0, 1.0, v, 3),
    # a sliver covering 5e-4 of its box: 2e9 attempts, all with the lock held
    "polygon placement": lambda: m.place_wells_in_polygon([[0, 0], [1000, 1000], [1000, 999]], 10**6, 1),
    "formula": lambda: m.evaluate_formula(
        [f"b{k} = x" + f" + sqrt(exp(log(abs(x) + {k})) ** 1.5) + log10(abs(x) + 2) ** 0.5 + log(exp(x) + {k}) ** 0.9" * 4
         for k in range(60)], {"x": [0.5] * 200000}),
    "experimental variogram": lambda: m.experimental_variogram(data * 30, 1.0, 50),
}
call = calls[sys.argv[1]]
print("go", flush=True)
try:
    call()
    print("finished")
except KeyboardInterrupt:
    print("interrupted")
"""


@pytest.mark.parametrize("kind", ["simulation", "local kriging", "surface generator", "polygon placement",
                                  "formula", "experimental variogram"])
def test_sigint_stops_the_call(kind):
    child = subprocess.Popen([sys.executable, "-c", SETUP, kind], stdout=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "go\n"
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        sent = time.monotonic()
        out, _ = child.communicate(timeout=30)
        assert (out, child.returncode) == ("interrupted\n", 0)
        assert time.monotonic() - sent < 10
    finally:
        child.kill()
        child.wait()
