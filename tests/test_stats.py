"""mean, variance, std, percentile, median."""

import math
import sys

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import zaviktools as zk
from oracles import same, single_pass_variance, running_mean, type7

reals = st.floats(min_value=-1e12, max_value=1e12, allow_nan=False)
data_lists = st.lists(reals, min_size=1, max_size=200)


@pytest.mark.parametrize("call, expected", [
    (lambda: zk.percentile([1, 2, 3, 4, 5], 25), 2.0),
    (lambda: zk.percentile([1, 2, 3, 4], 50), 2.5),
    (lambda: zk.median([3, 1, 2]), 2.0),
    (lambda: zk.median([7.5]), 7.5),
    (lambda: zk.variance([4.2]), 0.0),
    (lambda: zk.std([4.2]), 0.0),
    (lambda: zk.variance([1, 2, 3, 4]), single_pass_variance([1.0, 2.0, 3.0, 4.0])),
    (lambda: zk.percentile([1, 2], -0.0), 1.0),
    (lambda: zk.percentile(data=[1, 2], p=50), 1.5),
    (lambda: zk.mean((1, 2, 3)), 2.0),
    (lambda: zk.mean(range(4)), 1.5),
    (lambda: zk.std([1, 2, 3, 4]), math.sqrt(single_pass_variance([1.0, 2.0, 3.0, 4.0]))),
])
def test_documented_values(call, expected):
    assert call() == expected


def test_variance_of_1234_is_five_thirds_to_the_last_bit():
    assert zk.variance([1, 2, 3, 4]) == 5 / 3


@pytest.mark.parametrize("p", [100.0000001, -1e-300, float("nan"), float("inf"), -float("inf"), 1000])
def test_percentile_range(p):
    with pytest.raises(ValueError) as info:
        zk.percentile([1, 2], p)
    assert str(info.value) == "invalid argument: percentile: p must be in [0, 100]"


@pytest.mark.parametrize("xs", [[5, 3, 9, 1], list(range(50, 0, -1)), [2.5] * 30])
def test_percentile_extremes_are_min_and_max(xs):
    assert zk.percentile(xs, 0) == min(xs) and zk.percentile(xs, 100) == max(xs)


@pytest.mark.parametrize("fn", [zk.mean, zk.variance, zk.std])
def test_nan_propagates(fn):
    assert math.isnan(fn([1.0, float("nan"), 2.0]))


def test_infinity_follows_ieee():
    assert zk.mean([1.0, float("inf")]) == float("inf")
    assert math.isnan(zk.variance([1.0, float("inf")]))


@settings(max_examples=300)
@given(data_lists, st.floats(min_value=0, max_value=100))
def test_percentile_equals_numpy_linear(xs, p):
    # Interpolating between far-apart neighbours cancels: both sides may be off by a
    # few ulps of the largest magnitude, whatever the size of the result.
    scale = max(map(abs, xs))
    assert zk.percentile(xs, p) == pytest.approx(
        np.percentile(xs, p, method="linear"), rel=1e-12, abs=1e-9 + 8 * sys.float_info.epsilon * scale)
    assert same(zk.percentile(xs, p), type7(xs, p))


@settings(max_examples=300)
@given(data_lists)
def test_variance_and_mean_follow_the_single_pass_formulas_bit_for_bit(xs):
    assert same(zk.variance(xs), single_pass_variance(xs))
    assert same(zk.std(xs), math.sqrt(single_pass_variance(xs)))
    assert same(zk.mean(xs), running_mean(xs))
    assert same(zk.median(xs), type7(xs, 50.0))


@given(st.lists(st.one_of(reals, st.just(float("nan"))), min_size=2, max_size=20), st.floats(0, 100))
def test_nan_inside_percentile_data_follows_the_insertion_sort(xs, p):
    assert same(zk.percentile(xs, p), type7(xs, p))


def test_large_input_from_numpy_and_list_agree():
    rng = np.random.default_rng(3)
    arr = rng.normal(size=100_001)
    lst = arr.tolist()
    for fn in (zk.mean, zk.variance, zk.std, zk.median):
        assert fn(arr) == fn(lst)
    assert zk.percentile(arr, 37.5) == zk.percentile(lst, 37.5) == np.percentile(arr, 37.5)


def test_inputs_are_not_modified():
    xs = [3.0, 1.0, 2.0]
    zk.percentile(xs, 50)
    assert xs == [3.0, 1.0, 2.0]


@settings(max_examples=200)
@given(st.lists(st.sampled_from([0.0, -0.0, 1.0, -1.0, 2.5]), min_size=21, max_size=700), st.floats(0, 100))
def test_signed_zeros_keep_their_stable_order_on_long_inputs(xs, p):
    # Python's sort is stable under `<`, as ours must be; the sign of a zero result tells them apart
    assert same(zk.percentile(xs, p), type7(xs, p))


@settings(max_examples=200)
@given(st.lists(reals, min_size=21, max_size=400), st.floats(0, 100))
def test_long_inputs_match_the_sorted_oracle(xs, p):
    assert same(zk.percentile(xs, p), type7(xs, p))


@pytest.mark.parametrize("n", [4097, 70000, 200000])
def test_long_data_sorted_and_selected_in_stoppable_runs_agree_with_a_stable_sort(n):
    """Long data is sorted and selected in pieces that can stop (blocks of 65536); without NaN
    every stable sort agrees, ties and signed zeros included."""
    rng = np.random.default_rng(n)
    data = rng.choice([-1.0, -0.0, 0.0, 1.0, 2.5], n).tolist()
    data[::7] = rng.normal(size=len(data[::7])).tolist()
    positive = [abs(x) + 1 for x in data]  # no -0.0: selection instead of a sort
    for xs in (data, positive):
        for p in (0, 10, 37.5, 50, 90, 100):
            assert same(zk.percentile(xs, p), type7(xs, p))
    s = zk.reservoir_summary(positive)
    assert [s.p90, s.p50, s.p10] == [type7(positive, q) for q in (10, 50, 90)]
    got = zk.aggregate([data, data[::-1]], "comonotonic")
    assert all(same(g, b + (a + 0.0)) for g, a, b in zip(got, sorted(data), sorted(data[::-1])))
    weights = rng.choice([0.0, 0.5, 1.0, 3.0], n).tolist()
    order = sorted(range(n), key=data.__getitem__)
    for p in (5, 50, 95):
        assert same(zk.weighted_percentile(data, weights, p),
                    zk.weighted_percentile([data[i] for i in order], [weights[i] for i in order], p))


def median_of_three_killer(n):
    """Musser's sequence: a median-of-three quickselect shrinks it by two values a round."""
    k = n // 2
    return [float(i + 1 if i < k and i % 2 == 0 else k + i + 1 if i < k else 2 * (i - k) + 2) for i in range(n)]


@pytest.mark.parametrize("pattern", [
    lambda n: [float(i) for i in range(n)],
    lambda n: [float(n - i) for i in range(n)],
    lambda n: [1.5] * n,
    lambda n: [float(min(i, n - i)) for i in range(n)],  # organ pipe
    lambda n: [float(i % 37) for i in range(n)],  # sawtooth, many ties
    median_of_three_killer,
])
@pytest.mark.parametrize("n", [33, 1000, 20001])
def test_selection_on_patterned_data_matches_the_sorted_ranks(pattern, n):
    data = pattern(n)
    for p in (0, 10, 50, 62.5, 90, 100):
        assert same(zk.percentile(data, p), type7(data, p))
    s = zk.reservoir_summary(data)
    assert [s.p90, s.p50, s.p10] == [type7(data, q) for q in (10, 50, 90)]
