"""ensemble_maps against numpy and, node by node and bit for bit, against the
reference statistics (mean, std, reservoir_summary); the input forms, NaN
nodes, streaming memory, realisations with a reducer, and the lazy numpy-free
package import."""

import functools
import math
import subprocess
import sys
import threading
import time
import tracemalloc

import numpy as np
import pytest

import zaviktools as zk
from zaviktools import maps
from zaviktools.ensemble import realisations

LABELS = (90, 50, 10, 0, 100, 97.5, 33.3)


def stack(count, shape=(6, 5), seed=0):
    rng = np.random.default_rng(seed)
    s = rng.normal(100.0, 15.0, (count, *shape))
    s[:, 0, 0] = np.round(s[:, 0, 0] / 10)  # ties
    s[:, 1, 0] = rng.choice([-0.0, 0.0, 1.0], count)  # signed zeros take the stable sort
    s[:, 2, 0] = 7.0  # constant
    return s


def bits(a):
    return np.asarray(a, np.float64).tobytes()


def check_against_references(m, s, threshold):
    count = s.shape[0]
    assert m.count == count and m.shape == s.shape[1:] and list(m.p_maps) == list(LABELS)
    for i, j in np.ndindex(*s.shape[1:]):
        values = s[:, i, j].tolist()
        summary = zk.reservoir_summary(values)
        assert bits([m.p_maps[90][i, j], m.p_maps[50][i, j], m.p_maps[10][i, j], m.mean[i, j]]) == bits(
            [summary.p90, summary.p50, summary.p10, summary.mean]), (i, j)
        assert bits([m.std[i, j]]) == bits([zk.std(values)]), (i, j)
        for label in LABELS:
            assert bits([m.p_maps[label][i, j]]) == bits([zk.percentile(values, 100 - label)]), (label, i, j)
    for label in LABELS:
        np.testing.assert_allclose(m.p_maps[label], np.percentile(s, 100 - label, axis=0), rtol=1e-14, atol=0)
    np.testing.assert_allclose(m.mean, s.mean(axis=0), rtol=1e-13)
    np.testing.assert_allclose(m.std, s.std(axis=0, ddof=1) if count > 1 else 0.0, rtol=1e-10, atol=1e-12)
    assert np.array_equal(m.exceedance, (s > threshold).mean(axis=0))


FORMS = {
    "list": lambda s: list(s),
    "generator": lambda s: (f for f in s),
    "flat": lambda s: [(f.astype("<f8").tobytes(), f.shape) for f in s],
    "nested": lambda s: [f.tolist() for f in s],
    "fortran": lambda s: [np.asfortranarray(f) for f in s],
    "stack": lambda s: s,
}


@pytest.mark.parametrize("count", [1, 2, 7, 40])
@pytest.mark.parametrize("form", FORMS)
def test_maps_match_numpy_and_reference_statistics(count, form):
    s = stack(count, seed=count)
    m = zk.ensemble_maps(FORMS[form](s), LABELS, threshold=100.0)
    check_against_references(m, s, 100.0)


@pytest.mark.parametrize("chunk_bytes, tile_bytes", [(8 * 30 * 3, 8 * 7), (8 * 30, 8 * 40 * 4), (1, 1)])
def test_chunked_growth_and_tiles_give_the_same_maps(monkeypatch, chunk_bytes, tile_bytes):
    s = stack(40, seed=3)
    whole = zk.ensemble_maps(list(s), LABELS, threshold=100.0)
    monkeypatch.setattr(maps, "_CHUNK_BYTES", chunk_bytes)
    monkeypatch.setattr(maps, "_TILE_BYTES", tile_bytes)
    for fields in ((f for f in s), list(s)):
        m = zk.ensemble_maps(fields, LABELS, threshold=100.0)
        for a, b in zip([m.mean, m.std, m.exceedance, *m.p_maps.values()],
                        [whole.mean, whole.std, whole.exceedance, *whole.p_maps.values()]):
            assert bits(a) == bits(b)


@pytest.mark.parametrize("count", [1, 9])
def test_nan_nodes_stay_nan_without_touching_others(count):
    s = stack(count, seed=5)
    clean = zk.ensemble_maps(s, LABELS, threshold=100.0)
    s[count - 1, 3, 2] = np.nan
    s[:, 4, 4] = np.nan
    m = zk.ensemble_maps(s, LABELS, threshold=100.0)
    nan = np.zeros(s.shape[1:], bool)
    nan[3, 2] = nan[4, 4] = True
    for got, ref in zip([m.mean, m.std, m.exceedance, *m.p_maps.values()],
                        [clean.mean, clean.std, clean.exceedance, *clean.p_maps.values()]):
        assert np.isnan(got[nan]).all() and bits(got[~nan]) == bits(ref[~nan])
    alone = zk.ensemble_maps(s, ())  # without percentiles or threshold: the same NaN nodes
    assert np.array_equal(np.isnan(alone.std), nan) and np.array_equal(np.isnan(alone.mean), nan)


def test_only_the_p_maps_hold_the_realisations():
    shape, count = (200, 100), 50
    one = 8 * shape[0] * shape[1]

    def peak(percentiles, sized=False):
        fields = (np.full(shape, float(k)) for k in range(count))
        if sized:
            fields = list(fields)
        tracemalloc.start()
        try:
            m = zk.ensemble_maps(fields, percentiles, threshold=3.0)
            return tracemalloc.get_traced_memory()[1], m
        finally:
            tracemalloc.stop()

    streamed, m = peak(())
    assert m.p_maps == {} and streamed < 12 * one
    held, m = peak((50,), sized=True)  # one buffer of exactly `count` rows, one tile of 8 MiB
    assert count * one < held < count * one + 12 * one + (10 << 20)
    held, m = peak((50,))  # chunks growing with what is held
    assert count * one < held < 2 * count * one + (9 << 20)
    assert m.p_maps[50][0, 0] == 24.5 and m.exceedance[0, 0] == 46 / 50


@pytest.mark.parametrize("fields, kwargs, error, text", [
    ([], {}, ValueError, "no realisations"),
    ([np.zeros((2, 3)), np.zeros((3, 2))], {}, ValueError,
     "realisation 1 has shape (3, 2), expected (2, 3) like realisation 0"),
    ([np.zeros(4)], {}, ValueError, "realisation 0 has shape (4,); expected a 2-D (ncol, nrow) grid"),
    ([np.zeros((2, 2), bool)], {}, TypeError, "realisation 0 holds bool, not real numbers"),
    ([["a"]], {}, TypeError, "realisation 0 holds <U1, not real numbers"),
    ([(b"", b"", (0, 0))], {}, ValueError, "realisation 0 is a flat result with 2 fields; pass one field"),
    ([(bytes(8), (2, 1))], {}, ValueError, "realisation 0 is 8 bytes, expected 2\u00d71\u00d78 = 16"),
    ([(bytes(8), (1,))], {}, ValueError, "realisation 0 has the shape (1,); expected (ncol, nrow)"),
    ([np.zeros((1, 1))], {"percentiles": (90, 120)}, ValueError, "percentile labels must be in [0, 100], got 120.0"),
    ([np.zeros((1, 1))], {"percentiles": (math.nan,)}, ValueError, "percentile labels must be in [0, 100], got nan"),
    ([np.zeros((1, 1))], {"percentiles": 50}, TypeError, "percentiles must be a sequence of numbers"),
    ([np.zeros((1, 1))], {"percentiles": "90"}, TypeError, "percentiles must be a sequence of numbers"),
    ([np.zeros((1, 1))], {"percentiles": (True,)}, TypeError, "percentiles must be numbers, got bool"),
    ([np.zeros((1, 1))], {"threshold": math.nan}, ValueError, "threshold must not be NaN"),
    ([np.zeros((1, 1))], {"threshold": "1"}, TypeError, "threshold must be a number or None, not str"),
])
def test_refusals(fields, kwargs, error, text):
    with pytest.raises(error) as info:
        zk.ensemble_maps(fields, **kwargs)
    assert str(info.value).startswith("ensemble_maps: " + text)


def test_values_beyond_memory_are_refused_before_holding_them(monkeypatch):
    from zaviktools import _budget

    monkeypatch.setattr(_budget, "_limit", lambda: (10_000, False))
    fields = [np.zeros((20, 10))] * 3
    assert zk.ensemble_maps(fields, ()).count == 3  # streaming needs no room for the values
    with pytest.raises(MemoryError, match="^ensemble_maps: holding 8 realisations of 20\u00d710 nodes for the P-maps: "
                                          "needs about 0 MB of memory for its result and working storage, more than "
                                          "this machine's 0 MB of physical memory; pass percentiles=\\(\\) for"):
        zk.ensemble_maps(iter(fields * 3))


def test_result_repr_labels_and_empty_grids():
    m = zk.ensemble_maps([np.zeros((0, 3))] * 2, (90, 2.5, 90))
    assert repr(m) == "EnsembleMaps(count=2, shape=(0, 3), p_maps=[90, 2.5], threshold=None)"
    assert m.p_maps[90.0].shape == (0, 3) and m.exceedance is None


# --- realisations with a reducer --------------------------------------------------------------

def field(seed):
    return stack(1, (5, 4), seed)[0]


@pytest.mark.parametrize("workers", [1, 3])
def test_reducer_sees_results_in_seed_order_on_every_executor(workers):
    from concurrent.futures import ThreadPoolExecutor

    seeds = [9, 2, 30, 4, 4, 17, 0, 11]
    serial = zk.ensemble_maps((field(s) for s in seeds), threshold=100.0)

    def slow_evens(seed):  # finishing order differs from seed order
        time.sleep(0.002 * (seed % 2))
        return field(seed)

    reduce = functools.partial(zk.ensemble_maps, threshold=100.0)
    progress = []
    with ThreadPoolExecutor(workers) as pool:
        for m in (realisations(slow_evens, seeds, max_workers=workers, reducer=reduce,
                               progress=lambda d, n: progress.append((d, n))),
                  realisations(slow_evens, seeds, pool, reducer=reduce)):
            for a, b in zip([m.mean, m.std, m.exceedance, *m.p_maps.values()],
                            [serial.mean, serial.std, serial.exceedance, *serial.p_maps.values()]):
                assert bits(a) == bits(b)
    assert progress[-1] == (8, 8) and [d for d, _ in progress] == sorted(d for d, _ in progress)
    assert realisations(field, [], reducer=list) == [] and realisations(lambda s: s, [3, 1], reducer=list) == [3, 1]
    with pytest.raises(TypeError, match="^realisations: reducer must be callable or None$"):
        realisations(field, [1], reducer=3)


def test_reducer_holds_a_bounded_window_and_names_the_first_failed_seed():
    lock, produced, consumed, ahead = threading.Lock(), [0], [0], []

    def fn(seed):
        if seed in (5, 9):
            time.sleep(0.01 * (seed == 5))  # seed 9 fails first in time
            raise ValueError(f"bad {seed}")
        with lock:
            produced[0] += 1
            ahead.append(produced[0] - consumed[0])
        return seed

    def slow_sum(results):
        total = 0
        for r in results:
            time.sleep(0.001)
            with lock:
                consumed[0] += 1
            total += r
        return total

    assert realisations(fn, range(5), max_workers=2, reducer=slow_sum) == 10
    assert max(ahead) <= 2 * 2 + 1
    with pytest.raises(ValueError, match=r"^realisations: seed 5 failed: bad 5$"):
        realisations(fn, range(40), max_workers=2, reducer=slow_sum)
    started = produced[0]
    realisations(fn, range(100, 400), max_workers=2, reducer=lambda it: next(iter(it)))
    assert produced[0] - started <= 2 * 2 + 2  # a reducer that stops early cancels the rest


def test_import_stays_numpy_free_until_a_study_name_is_used():
    code = (
        "import sys, zaviktools as zk\n"
        "assert 'numpy' not in sys.modules, 'numpy at import'\n"
        "assert {'ensemble_maps', 'EnsembleMaps', 'lattice_from_axes', 'node_coordinates'} <= set(zk.__all__)\n"
        "f = zk.ensemble_maps\n"
        "assert 'numpy' in sys.modules and f is zk.maps.ensemble_maps and zk.node_coordinates is zk.grids.node_coordinates\n"
    )
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    with pytest.raises(AttributeError, match="has no attribute 'ensemble_mapz'"):
        zk.ensemble_mapz  # noqa: B018
