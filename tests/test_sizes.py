"""Sizes a caller states or asks for: a sequence's length is only a capacity
hint, a request that can never be met is a clean error, and a container that
refuses a size surfaces as MemoryError, never as the panic class."""

import os
import resource
import subprocess
import sys

import pytest

import zaviktools as zk


class Lying:
    """A sequence whose __len__ states `stated` but that holds `items`."""

    def __init__(self, items, stated):
        self.items, self.stated = list(items), stated

    def __len__(self):
        if isinstance(self.stated, Exception):
            raise self.stated
        return self.stated

    def __getitem__(self, i):
        return self.items[i]


STATED = [sys.maxsize, 2**60, 2**31, 0, 1, 10**6, LookupError("no length")]


@pytest.mark.parametrize("stated", STATED, ids=repr)
@pytest.mark.parametrize("hook, items", [
    ("echo_reals", [1.0, 2.0, -3.5]),
    ("echo_ints", [4, -5, 6]),
    ("echo_points2", [[1.0, 2.0], [3.0, 4.0]]),
    ("echo_nested", [[1.0], [], [2.0, 3.0]]),
])
def test_a_stated_length_is_only_a_hint(hooks, hook, items, stated):
    assert getattr(hooks, hook)(Lying(items, stated)) == items


@pytest.mark.parametrize("stated", STATED, ids=repr)
@pytest.mark.parametrize("call, expected", [
    (lambda L: zk.mean(L([1.0, 2.0])), 1.5),
    (lambda L: zk.median(L([3.0, 1.0, 2.0])), 2.0),
    (lambda L: zk.percentile(L([1.0, 2.0, 3.0]), 50), 2.0),
    (lambda L: zk.weighted_mean(L([1.0, 3.0]), L([1.0, 1.0])), 2.0),
    (lambda L: zk.interp1d(L([0.0, 1.0]), L([0.0, 2.0]), L([0.5])), [1.0]),
    (lambda L: zk.aggregate(L([L([1.0, 2.0]), L([3.0, 4.0])])), [4.0, 6.0]),
    (lambda L: len(zk.experimental_variogram(L([[0, 0, 1], [1, 0, 2]]), 1.0, 4)), 1),
])
def test_overstated_lengths_reach_the_right_result(call, expected, stated):
    assert call(lambda items: Lying(items, stated)) == expected


EV_TOO_FINE = ("invalid argument: experimental_variogram: lag too small for the data extent "
               "(more than 16777216 lag classes reachable)")


@pytest.mark.parametrize("coords, lag, n_lags", [
    ([[0, 0, 1], [1, 0, 2]], 5e-324, 2**64 - 1),
    ([[0, 0, 1], [1, 0, 2]], 1e-300, 2**61),
    ([[0, 0, 1], [1, 0, 2]], 1.0 / 2**24, 2**25),
    ([[0, 0, 1], [0, 1e300, 2], [1e300, 0, 3]], 1.0, 2**64 - 1),  # the diagonal overflows to inf
])
def test_unreachable_lag_class_counts_are_refused(coords, lag, n_lags):
    with pytest.raises(ValueError) as info:
        zk.experimental_variogram(coords, lag, n_lags)
    assert info.value.args == (EV_TOO_FINE,)


@pytest.mark.parametrize("lag, n_lags", [(5e-324, 10), (1e-300, 2**20), (1.0 / 2**20, 2**64 - 1)])
def test_a_fine_lag_is_fine_when_few_classes_are_reachable(lag, n_lags):
    ev = zk.experimental_variogram([[0, 0, 1], [1, 0, 2], [0, 0, 4]], lag, n_lags)
    assert ev.counts[0] == 1 and sum(ev.counts) == (3 if 1.0 / lag < n_lags else 1)


@pytest.mark.parametrize("kind", ["reserve", "construct", "new[]", "length_error"])
def test_refused_sizes_are_memory_errors(hooks, kind):
    with pytest.raises(MemoryError):
        hooks.raise_size_error(kind)


# --- the memory budget: results that cannot fit are refused before allocating ---------------

UNDER_ASAN = bool(os.environ.get("ZK_UNDER_ASAN"))
PHYSICAL_GB = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE") / 1e9
V = "zk.Variogram('sph', 0, 1, 10)"
OVERSIZE = {
    "place_wells": "zk.place_wells(0, 0, 1, 1, 2**28, 1)",
    "place_wells_in_polygon": "zk.place_wells_in_polygon([[0, 0], [1, 0], [0, 1]], 2**28, 1)",
    "Sampler.sample_n_seeded": "zk.Sampler.uniform(0, 1).sample_n_seeded(2**31, 1)",
    "Sampler.sample_n": "zk.Sampler.normal(0, 1).sample_n(3 * 10**8, zk.Rng(1))",
    "Clamped.sample_n_seeded": "zk.Sampler.normal(0, 1).clamped(0, 1).sample_n_seeded(3 * 10**8, 1)",
    "study_area_outline": "zk.study_area_outline(0, 0, 10, 4, 1, 2**24)",
    "sgs_flat": f"zk.sgs_flat([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 40000, 40000), {V}, 4, 5.0, 1)",
    "sgs": f"zk.sgs([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 10000, 10000), {V}, 4, 5.0, 1)",
    "local_kriging_grid": f"zk.local_kriging_grid([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 25000, 25000), {V}, 4, 5.0)",
    "synth_isochore_flat": f"zk.synth_isochore_flat(zk.Lattice(0, 0, 1, 1, 30000, 30000), 10, 0.1, {V}, 1)",
    "resample_flat": "zk.resample_flat(bytes(8), zk.Lattice(0, 0, 1, 1, 1, 1), zk.Lattice(0, 0, 1, 1, 40000, 40000))",
    "synth_facies_series": "zk.synth_facies_series(2**31, 0.1, 0.5, 1.0, 1)",
    "synth_log_series": "zk.synth_log_series([zk.ZoneSpec(1e6, 0.2, 0.05, 2)], 1e-3, 0, 1)",
    "synth_petro_curves": "zk.synth_petro_curves(zk.PetroZoneSpec(0.3, 0.2, 0.03, 0.05, 0.02, 2, 1), 0.1, 10**9, 1)",
    "synth_trajectory_profile": "zk.synth_trajectory_profile([0, 0], 0, 3000, 1e-5, 1, 'build_hold')",
    "evaluate_formula": "zk.evaluate_formula([f'y{i} = x + {i}' for i in range(10**4)], {'x': [0.0] * 10**5})",
}
CAPPED = """
import resource, sys, time
import zaviktools as zk
cap = 2 * 2**30
resource.setrlimit(resource.RLIMIT_AS, (cap, resource.getrlimit(resource.RLIMIT_AS)[1]))
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
start = time.perf_counter()
try:
    {call}
except MemoryError as e:
    took = time.perf_counter() - start
    grew = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
    print(repr((str(e), took, grew)))
"""


@pytest.mark.skipif(UNDER_ASAN, reason="an address-space cap does not mix with the sanitizer's shadow memory")
@pytest.mark.parametrize("name", OVERSIZE)
def test_results_beyond_the_memory_cap_are_refused_at_once(name):
    out = subprocess.run([sys.executable, "-c", CAPPED.format(call=OVERSIZE[name])],
                         capture_output=True, text=True, timeout=120)
    assert out.returncode == 0 and out.stdout, out.stderr[-2000:]
    text, took, grew_kb = eval(out.stdout)
    assert text.startswith(f"{name}: needs about ") and text.endswith(
        " of memory for its result and working storage, more than this process's address-space limit of 2.1 GB")
    assert took < 2.0 and grew_kb < 100 * 1024  # generous: a refusal takes microseconds and allocates nothing


@pytest.mark.skipif(resource.getrlimit(resource.RLIMIT_AS)[0] != resource.RLIM_INFINITY,
                    reason="an address-space limit replaces the physical memory in the message")
@pytest.mark.parametrize("call, what, gb", [
    (lambda: zk.place_wells(0, 0, 1, 1, 2**40, 1), "place_wells", 2**40 * 144 / 1e9),
    (lambda: zk.Sampler.uniform(0, 1).sample_n_seeded(2**45, 1), "Sampler.sample_n_seeded", 2**45 * 40 / 1e9),
    (lambda: zk.synth_trajectory([0, 0], 0, 1e12, 1.0, 1), "synth_trajectory", 1e12 * 288 / 1e9),
])
def test_the_refusal_names_the_estimate_and_the_physical_memory(call, what, gb):
    with pytest.raises(MemoryError) as info:
        call()
    assert info.value.args == (f"{what}: needs about {gb:.1f} GB of memory for its result and working storage, "
                               f"more than this machine's {PHYSICAL_GB:.1f} GB of physical memory",)


# --- the core's own allocations: beyond any address space a ValueError, else MemoryError ------

CAPPED_FIELD = """
import resource
from zaviktools import _testhooks as th
cap = 2 * 2**30
resource.setrlimit(resource.RLIMIT_AS, (cap, resource.getrlimit(resource.RLIMIT_AS)[1]))
try:
    th.grid_field_create({ncol}, {nrow})
except MemoryError as e:
    print(repr(e.args))
"""


@pytest.mark.skipif(UNDER_ASAN, reason="an address-space cap does not mix with the sanitizer's shadow memory")
@pytest.mark.parametrize("ncol, nrow", [(2**14, 2**14), (2**31, 1), (3, 2**30)])
def test_a_field_this_process_cannot_hold_is_a_memory_error(hooks, ncol, nrow):
    out = subprocess.run([sys.executable, "-c", CAPPED_FIELD.format(ncol=ncol, nrow=nrow)],
                         capture_output=True, text=True, timeout=120)
    assert out.returncode == 0, out.stderr[-2000:]
    assert eval(out.stdout) == (f"field: cannot allocate {ncol}\u00d7{nrow} nodes",)


@pytest.mark.parametrize("ncol, nrow", [(2**44 + 1, 1), (1, 2**44 + 1), (2**22 + 1, 2**22), (2**60, 1)])
def test_a_field_beyond_any_address_space_is_a_value_error(hooks, ncol, nrow):
    with pytest.raises(ValueError) as info:
        hooks.grid_field_create(ncol, nrow)
    assert info.value.args == (f"invalid argument: field: cannot allocate {ncol}\u00d7{nrow} nodes",)
