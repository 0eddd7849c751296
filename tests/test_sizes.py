"""Sizes a caller states or asks for: a sequence's length is only a capacity
hint, a request that can never be met is a clean error, and a container that
refuses a size surfaces as MemoryError, never as the panic class."""

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
