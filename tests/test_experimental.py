import inspect
import math
import random
import threading

import numpy as np
import pytest

import zaviktools as zk
from conftest import require_testhooks

NEED_TWO = "empty input: experimental_variogram: need at least two data"
BAD_LAG = "invalid argument: experimental_variogram: need lag > 0 (finite) and n_lags >= 1"


def raises_value(fn, text):
    with pytest.raises(ValueError) as info:
        fn()
    assert info.value.args == (text,)


def brute_force(coords, lag, n_lags):
    """numpy separations for every pair (a-major order), then per-bin sums in pair order."""
    pts = np.asarray(coords, dtype=float)
    a, b = np.triu_indices(len(pts), k=1)
    dx = pts[a, 0] - pts[b, 0]
    dy = pts[a, 1] - pts[b, 1]
    with np.errstate(over="ignore"):
        h = np.sqrt(dx * dx + dy * dy)
    d2 = (pts[a, 2] - pts[b, 2]) ** 2
    keep = h < float(n_lags) * lag
    h, d2 = h[keep], d2[keep]
    k = np.minimum(np.floor(h / lag), n_lags - 1).astype(np.int64)
    sum_h = [0.0] * n_lags
    sum_sq = [0.0] * n_lags
    cnt = [0] * n_lags
    for kk, hh, dd in zip(k.tolist(), h.tolist(), d2.tolist()):
        sum_h[kk] += hh
        sum_sq[kk] += dd
        cnt[kk] += 1
    lags, sv, counts = [], [], []
    for kk in range(n_lags):
        if cnt[kk]:
            lags.append(sum_h[kk] / cnt[kk])
            sv.append(sum_sq[kk] / (2.0 * cnt[kk]))
            counts.append(cnt[kk])
    return lags, sv, counts


def random_coords(seed, n, extent=100.0, clustered=False):
    rnd = random.Random(seed)
    if clustered:  # repeated locations and sorted order: many zero separations and long same-bin runs
        base = [(rnd.uniform(0, extent), rnd.uniform(0, extent)) for _ in range(n // 3 + 1)]
        xy = sorted(rnd.choice(base) for _ in range(n))
    else:
        xy = [(rnd.uniform(0, extent), rnd.uniform(0, extent)) for _ in range(n)]
    return [[x, y, rnd.gauss(10.0, 3.0)] for x, y in xy]


@pytest.mark.parametrize("seed, n, lag, n_lags, clustered", [
    (1, 2, 50.0, 4, False), (2, 3, 10.0, 20, False), (3, 150, 5.0, 20, False), (4, 300, 7.3, 11, False),
    (5, 257, 2.5, 60, False), (6, 200, 4.0, 20, True), (7, 180, 1000.0, 1, False), (8, 220, 0.37, 300, False),
    (9, 1100, 3.0, 15, False),
])
def test_against_brute_force(seed, n, lag, n_lags, clustered):
    coords = random_coords(seed, n, clustered=clustered)
    ev = zk.experimental_variogram(coords, lag, n_lags)
    lags, sv, counts = brute_force(coords, lag, n_lags)
    assert ev.lags == lags  # bit for bit: same pair order, same operations
    assert ev.semivariances == sv
    assert ev.counts == counts
    assert len(ev) == len(lags)
    assert all(type(c) is int for c in ev.counts)


def test_large_against_numpy_bincount():
    # Bigger data than the exact loop above: numpy's bincount gives the same sums to rounding.
    coords = random_coords(21, 3000, extent=1000.0)
    ev = zk.experimental_variogram(coords, 25.0, 20)
    pts = np.asarray(coords)
    a, b = np.triu_indices(len(pts), k=1)
    h = np.hypot(pts[a, 0] - pts[b, 0], pts[a, 1] - pts[b, 1])
    keep = h < 500.0
    k = (h[keep] // 25.0).astype(int)
    cnt = np.bincount(k, minlength=20)
    sh = np.bincount(k, weights=h[keep], minlength=20)
    sq = np.bincount(k, weights=(pts[a, 2] - pts[b, 2])[keep] ** 2, minlength=20)
    assert ev.counts == cnt.tolist()
    np.testing.assert_allclose(ev.lags, sh / cnt, rtol=1e-12)
    np.testing.assert_allclose(ev.semivariances, sq / (2 * cnt), rtol=1e-10)


def test_documented_two_point_cases():
    ev = zk.experimental_variogram([[0, 0, 1], [10, 0, 3]], 4, 3)
    assert (ev.lags, ev.semivariances, ev.counts) == ([10.0], [2.0], [1])
    assert repr(ev) == "ExperimentalVariogram(1 lag classes)"
    empty = zk.experimental_variogram([[0, 0, 1], [10, 0, 3]], 4, 2)
    assert len(empty) == 0 and (empty.lags, empty.semivariances, empty.counts) == ([], [], [])
    assert repr(empty) == "ExperimentalVariogram(0 lag classes)"


@pytest.mark.parametrize("h, lag, n_lags, bins", [
    (4.0, 4.0, 3, [1]),   # exactly one lag: second bin (half-open bins)
    (3.999, 4.0, 3, [0]),
    (12.0, 4.0, 3, None),  # exactly n_lags * lag: dropped
    (11.999, 4.0, 3, [2]),
    (0.0, 1.0, 1, [0]),
])
def test_bin_edges(h, lag, n_lags, bins):
    ev = zk.experimental_variogram([[0, 0, 0], [h, 0, 2]], lag, n_lags)
    if bins is None:
        assert len(ev) == 0
    else:
        assert ev.lags == [h] and ev.counts == [1] and ev.semivariances == [2.0]


def test_value_never_enters_the_separation():
    ev = zk.experimental_variogram([[5, 5, 100], [5, 5, -100], [5, 8, 0]], 1.0, 5)
    assert ev.lags == [0.0, 3.0]
    assert ev.counts == [1, 2]
    assert ev.semivariances == [20000.0, (10000.0 + 10000.0) / 4]


def test_empty_bins_dropped_and_lags_increasing():
    coords = [[0, 0, 0], [1, 0, 1], [10, 0, 2], [30, 0, 5]]
    ev = zk.experimental_variogram(coords, 2.0, 20)
    assert ev.counts == [1, 1, 1, 1, 1, 1]
    assert ev.lags == sorted(ev.lags) == [1.0, 9.0, 10.0, 20.0, 29.0, 30.0]


def test_quotient_rounding_up_to_n_lags_counts_in_last_bin():
    # Find a separation just below the cut-off n_lags * lag whose quotient h / lag
    # rounds to n_lags: the pair is inside the cut-off, so it belongs to the last bin.
    rnd = random.Random(3)
    found = 0
    for _ in range(20000):
        lag = rnd.uniform(0.01, 10.0)
        n_lags = rnd.randint(1, 40)
        h = math.nextafter(n_lags * lag, 0.0)
        if h < n_lags * lag and math.floor(h / lag) == n_lags:
            ev = zk.experimental_variogram([[0.0, 0.0, 1.0], [h, 0.0, 2.0]], lag, n_lags)
            assert ev.counts == [1] and ev.lags == [h] and ev.semivariances == [0.5]
            found += 1
            if found == 5:
                break
    assert found == 5


@pytest.mark.parametrize("n_lags", [2**40, 2**63, 2**64 - 1])
def test_huge_n_lags_needs_no_memory(n_lags):
    coords = random_coords(5, 60)
    ev = zk.experimental_variogram(coords, 1.0, n_lags)
    lags, sv, counts = brute_force(coords, 1.0, 200)  # every pair is within 200
    assert (ev.lags, ev.semivariances, ev.counts) == (lags, sv, counts)


def test_tiny_lag_and_large_cutoff_overflow():
    coords = [[0, 0, 0], [3e-150, 0, 1], [1e300, 1e300, 2]]
    ev = zk.experimental_variogram(coords, 1e-150, 10)
    assert ev.counts == [1] and ev.lags == [3e-150]
    # The squared separation underflows to 0: the pair sits in the first bin, as the formula says.
    ev = zk.experimental_variogram([[0, 0, 0], [3e-300, 0, 1]], 1e-300, 10)
    assert ev.counts == [1] and ev.lags == [0.0]
    # n_lags * lag overflows to inf: every pair is kept, bins follow h / lag.
    ev = zk.experimental_variogram([[0, 0, 0], [1, 0, 1], [5, 0, 3]], 1e300, 2**64 - 1)
    assert ev.counts == [3]


@pytest.mark.parametrize("coords, lag, n_lags, text", [
    ([], 1.0, 5, NEED_TWO),
    ([[0, 0, 1]], 1.0, 5, NEED_TWO),
    ([[0, 0, 1]], 0.0, 0, NEED_TWO),  # the count test comes first
    ([[math.nan, 0, 1]], math.nan, 5, NEED_TWO),
    ([[0, 0, 1], [1, 1, 1]], 0.0, 5, BAD_LAG),
    ([[0, 0, 1], [1, 1, 1]], -1.0, 5, BAD_LAG),
    ([[0, 0, 1], [1, 1, 1]], -0.0, 5, BAD_LAG),
    ([[0, 0, 1], [1, 1, 1]], math.nan, 5, BAD_LAG),
    ([[0, 0, 1], [1, 1, 1]], math.inf, 5, BAD_LAG),
    ([[0, 0, 1], [1, 1, 1]], 1.0, 0, BAD_LAG),
    ([[0, 0, 1], [math.nan, 1, 1]], 0.0, 5, BAD_LAG),  # parameters are checked before the data
])
def test_errors_in_order(coords, lag, n_lags, text):
    raises_value(lambda: zk.experimental_variogram(coords, lag, n_lags), text)


@pytest.mark.parametrize("row, col, bad", [
    (0, 0, math.nan), (1, 1, math.nan), (2, 2, math.nan), (1, 0, math.inf), (2, 1, -math.inf), (0, 2, math.inf),
])
def test_non_finite_data_rejected(row, col, bad):
    coords = [[0.0, 0.0, 1.0], [1.0, 2.0, 3.0], [4.0, 5.0, 6.0], [7.0, 8.0, 9.0]]
    coords[row][col] = bad
    raises_value(lambda: zk.experimental_variogram(coords, 1.0, 10),
                 f"invalid argument: experimental_variogram: x, y and z must be finite (row {row})")


def test_argument_conversion():
    with pytest.raises(OverflowError):
        zk.experimental_variogram([[0, 0, 0], [1, 1, 1]], 1.0, -1)
    with pytest.raises(TypeError, match="^argument 'n_lags': "):
        zk.experimental_variogram([[0, 0, 0], [1, 1, 1]], 1.0, 3.0)
    with pytest.raises(ValueError, match=r"^expected a sequence of length 3 \(got 2\)$"):
        zk.experimental_variogram([[0, 0, 0], [1, 1]], 1.0, 3)
    with pytest.raises(TypeError, match="^argument 'coords': "):
        zk.experimental_variogram("abc", 1.0, 3)
    ev = zk.experimental_variogram(coords=((0, 0, 0), (3, 4, 2)), n_lags=2, lag=5.0)
    assert ev.counts == [1] and ev.lags == [5.0]
    assert str(inspect.signature(zk.experimental_variogram)) == "(coords, lag, n_lags)"


def test_class_surface():
    ev = zk.experimental_variogram(random_coords(2, 40), 10.0, 8)
    for name in ("lags", "semivariances", "counts"):
        got = getattr(ev, name)
        before = list(got)
        got.append(9), got.reverse(), got.__setitem__(0, -1.0)  # the caller's own list to change
        again = getattr(ev, name)
        assert again == before and again is not getattr(ev, name)
        assert again[1] is getattr(ev, name)[1]  # a copy of the cached items, not re-boxed
    assert len(ev) == len(ev.counts) == len(ev.semivariances)
    with pytest.raises(TypeError):
        zk.ExperimentalVariogram()
    with pytest.raises(TypeError):
        type("Sub", (zk.ExperimentalVariogram,), {})
    with pytest.raises(AttributeError):
        ev.lags = []
    with pytest.raises(AttributeError):
        ev.extra = 1
    assert zk.ExperimentalVariogram.__doc__ == (
        "An experimental (empirical) variogram: aligned `lags` / `semivariances` /\n"
        "`counts` per populated lag class. Feed it to `Variogram.fit`.\n\n"
        "The three aligned lists are materialized **once** at construction and cached,\n"
        "so `.lags` / `.semivariances` / `.counts` are cheap (`Py` refcount bumps) —\n"
        "no Vec clone + list rebuild per access.")
    assert zk.ExperimentalVariogram.lags.__doc__ == "Mean pair separation `h̄ₖ` per retained lag class."
    assert zk.ExperimentalVariogram.semivariances.__doc__ == "Average semivariance `γ̂(hₖ)` per retained lag class."
    assert zk.ExperimentalVariogram.counts.__doc__ == "Data-pair count per retained lag class."
    assert zk.experimental_variogram.__doc__ == (
        "Omnidirectional experimental variogram of `coords` (`[x, y, z]` rows, value\n"
        "in `z`): `n_lags` bins of width `lag`, empty bins dropped, each class\n"
        "reporting its mean pair separation. Errors on < 2 data or non-positive\n"
        "`lag` / zero `n_lags`. The O(n²) pairing runs with the GIL released.")


def test_concurrent_calls_agree():
    coords = random_coords(8, 1500)
    want = zk.experimental_variogram(coords, 4.0, 20)
    results = [None] * 4

    def work(i):
        results[i] = zk.experimental_variogram(coords, 4.0, 20)

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for r in results:
        assert (r.lags, r.semivariances, r.counts) == (want.lags, want.semivariances, want.counts)


@pytest.mark.parametrize("seed, n, lag, n_bins, clustered", [
    (31, 2, 1.0, 3, False), (32, 7, 9.0, 4, False), (33, 333, 6.5, 14, False), (34, 520, 3.0, 30, True),
    (35, 1030, 11.0, 9, False),
])
def test_kernel_paths_agree_bit_for_bit(hooks, seed, n, lag, n_bins, clustered):
    # Block tails (lengths not a multiple of the lane count) and block edges are covered by n and the
    # a-major sweep; both paths must give the brute-force sums exactly.
    coords = random_coords(seed, n, clustered=clustered)
    cutoff = n_bins * lag * 0.9  # the cut-off falls inside the last bin
    _, portable, dispatched = hooks.pair_kernel_paths(coords, lag, cutoff, n_bins)
    assert portable == dispatched
    pts = np.asarray(coords)
    a, b = np.triu_indices(len(pts), k=1)
    h = np.sqrt((pts[a, 0] - pts[b, 0]) ** 2 + (pts[a, 1] - pts[b, 1]) ** 2)
    d2 = (pts[a, 2] - pts[b, 2]) ** 2
    want = [[0.0, 0.0, 0.0] for _ in range(n_bins)]
    for hh, dd in zip(h.tolist(), d2.tolist()):
        if hh < cutoff:
            k = min(math.floor(hh / lag), n_bins - 1)
            want[k][0] += dd
            want[k][1] += hh
            want[k][2] += 1
    assert portable == want


@pytest.mark.parametrize("lag", [0.1, 0.3, 1.0 / 3.0, 2.5, 7.0, 0.7000000000000001, 1e-310, 3e305])
def test_separations_on_bin_edges(lag):
    # Points on a lattice of spacing `lag`: many separations are exact or near multiples
    # of lag, where the quotient's floor is most fragile. Values follow the brute force.
    coords = [[i * lag, j * lag, float((i * 7 + j * 3) % 5)] for i in range(9) for j in range(9)]
    coords += [[0.5 * lag, 0.25 * lag, 1.0], [math.nextafter(3 * lag, 0.0), 0.0, 2.0]]
    n_lags = 10
    ev = zk.experimental_variogram(coords, lag, n_lags)
    assert (ev.lags, ev.semivariances, ev.counts) == brute_force(coords, lag, n_lags)
    hooks = require_testhooks()
    _, portable, dispatched = hooks.pair_kernel_paths(coords, lag, n_lags * lag, n_lags)
    assert portable == dispatched
