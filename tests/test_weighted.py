"""weighted_mean, weighted_variance, weighted_std, weighted_percentile."""

import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import zaviktools as zk
from oracles import same

ALL = [zk.weighted_mean, zk.weighted_variance, zk.weighted_std]


def call(fn, values, weights):
    return fn(values, weights, 50) if fn is zk.weighted_percentile else fn(values, weights)


# --- pure-Python oracles in the toolkit's evaluation order -------------------------------------------------

def oracle_sums(weights):
    w = w2 = -0.0
    for x in weights:
        w = w + x
        w2 = w2 + x * x
    return w, w2


def oracle_mean(values, weights):
    s = -0.0
    for v, w in zip(values, weights):
        s = s + v * w
    return s / oracle_sums(weights)[0]


def oracle_variance(values, weights):
    if sum(1 for w in weights if w > 0) < 2:
        return 0.0
    w_sum, w2 = oracle_sums(weights)
    d_free = w_sum - w2 / w_sum
    if d_free <= 0:
        return 0.0
    m = oracle_mean(values, weights)
    q = 0.0
    for v, w in zip(values, weights):
        d = v - m
        q = q + (w * d) * d
    return q / d_free


def insertion_sorted_pairs(pairs):
    s = list(pairs)
    for i in range(1, len(s)):
        j = i
        while j > 0 and s[j][0] < s[j - 1][0]:
            s[j], s[j - 1] = s[j - 1], s[j]
            j -= 1
    return s


def oracle_percentile(values, weights, p):
    w_sum = oracle_sums(weights)[0]
    pairs = [(v, w) for v, w in zip(values, weights) if w > 0]
    # up to 20 pairs the straight insertion sort; above, any stable sort agrees on NaN-free values
    pairs = insertion_sorted_pairs(pairs) if len(pairs) <= 20 else sorted(pairs, key=lambda t: t[0])
    pos, c = [], 0.0
    for _, w in pairs:
        pos.append((w * 0.5 + c) / w_sum)
        c = c + w
    q = p / 100.0
    if pos[0] >= q:
        return pairs[0][0]
    if q >= pos[-1]:
        return pairs[-1][0]
    k = next(k for k in range(1, len(pos)) if q <= pos[k])
    j = k - 1
    f = (q - pos[j]) / (pos[k] - pos[j]) if pos[k] > pos[j] else 0.0
    return (pairs[k][0] - pairs[j][0]) * f + pairs[j][0]


reals = st.floats(min_value=-1e9, max_value=1e9, allow_nan=False)
weights_st = st.one_of(st.just(0.0), st.floats(min_value=1e-6, max_value=1e6))


@st.composite
def weighted_data(draw, min_size=1, max_size=60):
    n = draw(st.integers(min_size, max_size))
    values = draw(st.lists(reals, min_size=n, max_size=n))
    weights = draw(st.lists(weights_st, min_size=n, max_size=n).filter(lambda ws: any(w > 0 for w in ws)))
    return values, weights


# --- interface ---------------------------------------------------------------------------------------------

@pytest.mark.parametrize("fn, doc", [
    (zk.weighted_mean, "weighted_mean(values, weights)\n--\n\nWeighted arithmetic mean of `values` under `weights` "
                       "(equal length,\nnon-negative weights summing > 0)."),
    (zk.weighted_variance, "weighted_variance(values, weights)\n--\n\n"
                           "Weighted (reliability-weighted, unbiased) sample variance."),
    (zk.weighted_std, "weighted_std(values, weights)\n--\n\n"
                      "Weighted sample standard deviation (`√weighted_variance`)."),
    (zk.weighted_percentile, "weighted_percentile(values, weights, p)\n--\n\nWeighted `p`-th percentile (`p` in "
                             "`[0, 100]`), interpolated linearly between\nweight-midpoint plotting positions: on "
                             "equal weights the midpoint (Hazen,\ntype-5) percentile, not the type-7 one of "
                             "`percentile`."),
])
def test_docstrings(fn, doc):
    assert fn.__doc__ == doc.split("\n--\n\n")[1]
    assert fn.__text_signature__ == "(" + doc.split("(", 1)[1].split(")", 1)[0] + ")"


@pytest.mark.parametrize("fn", ALL + [zk.weighted_percentile])
def test_str_is_not_a_sequence(fn):
    with pytest.raises(TypeError, match=r"^argument 'weights': Can't extract `str` to `Vec`$"):
        call(fn, [1.0], "1")


def test_keywords_tuples_and_arrays_are_accepted():
    assert zk.weighted_percentile(values=(1, 2, 3), weights=range(1, 4), p=50) == \
        zk.weighted_percentile(np.array([1.0, 2, 3]), np.array([1.0, 2, 3]), 50.0)


# --- validation --------------------------------------------------------------------------------------------

EMPTY = "empty input: weighted stats: no data"
LENGTH = "invalid argument: weighted stats: values and weights differ in length"
BAD = "invalid argument: weighted stats: weights must be finite and non-negative"
ZERO = "invalid argument: weighted stats: weights sum to zero"
P_RANGE = "invalid argument: weighted_percentile: p must be in [0, 100]"


@pytest.mark.parametrize("fn", ALL + [zk.weighted_percentile])
@pytest.mark.parametrize("values, weights, message", [
    ([], [], EMPTY),
    ([], [1.0], EMPTY),                      # empty before the length check
    ([1, 2], [1], LENGTH),
    ([1], [float("nan"), 1], LENGTH),         # length before the weights
    ([1, 2], [1, -1], BAD),
    ([1, 2], [1, float("nan")], BAD),
    ([1, 2], [float("inf"), 1], BAD),
    ([1, 2], [0, -float("inf")], BAD),
    ([1, 2], [0, -1e-300], BAD),
    ([1, 2], [0, 0], ZERO),
    ([1, 2], [-0.0, -0.0], ZERO),
])
def test_validation_order_and_texts(fn, values, weights, message):
    with pytest.raises(ValueError) as info:
        call(fn, values, weights)
    assert info.value.args == (message,)


@pytest.mark.parametrize("fn", ALL + [zk.weighted_percentile])
def test_negative_zero_weight_counts_as_non_negative(fn):
    assert call(fn, [1.0, 3.0], [-0.0, 2.0]) == call(fn, [1.0, 3.0], [0.0, 2.0])


@pytest.mark.parametrize("values, weights, p", [
    ([1, 2], [1, 1], 150), ([1, 2], [1, 1], -1e-300), ([1, 2], [1, 1], 100.0000001),
    ([1, 2], [1, 1], float("nan")), ([1, 2], [1, 1], float("inf")),
])
def test_percentile_range(values, weights, p):
    with pytest.raises(ValueError) as info:
        zk.weighted_percentile(values, weights, p)
    assert info.value.args == (P_RANGE,)


@pytest.mark.parametrize("values, weights, message", [([], [], EMPTY), ([1], [1, 2], LENGTH),
                                                      ([1], [-1], BAD), ([1], [0], ZERO)])
def test_weights_are_validated_before_p(values, weights, message):
    with pytest.raises(ValueError) as info:
        zk.weighted_percentile(values, weights, 150)
    assert str(info.value) == message


def test_values_themselves_are_not_checked():
    assert math.isnan(zk.weighted_mean([1.0, float("nan")], [1, 1]))
    assert math.isnan(zk.weighted_mean([1.0, float("nan")], [1, 0]))  # 0 * NaN is NaN, as in numpy
    assert zk.weighted_mean([1.0, float("inf")], [1, 1]) == float("inf")
    assert math.isnan(zk.weighted_variance([1.0, float("inf")], [1, 1]))


# --- documented values -------------------------------------------------------------------------------------

@pytest.mark.parametrize("got, expected", [
    (lambda: zk.weighted_mean([1, 2, 3], [1, 1, 2]), 2.25),
    (lambda: zk.weighted_variance([5], [2]), 0.0),
    (lambda: zk.weighted_std([5], [2]), 0.0),
    (lambda: zk.weighted_variance([5, 7, 9], [0, 3, 0]), 0.0),
    (lambda: zk.weighted_std([5, 7, 9], [0, 3, 0]), 0.0),
    (lambda: zk.weighted_percentile([1, 2, 3, 4, 5], [1] * 5, 50), 3.0),
    (lambda: zk.weighted_percentile([1, 2, 3, 4, 5], [1] * 5, 25), 1.75),
    (lambda: zk.weighted_percentile([1, 2, 3, 4, 5], [1] * 5, 5), 1.0),
    (lambda: zk.weighted_percentile([1, 2, 3, 4, 5], [1] * 5, 0), 1.0),
    (lambda: zk.weighted_percentile([1, 2, 3, 4, 5], [1] * 5, 100), 5.0),
    (lambda: zk.weighted_percentile([1, 2, 3, 4, 5], [1] * 5, -0.0), 1.0),
    (lambda: zk.weighted_percentile([3, 1, 2], [1, 1, 2], 50), 2.0),
    (lambda: zk.weighted_percentile([3, 1, 2], [1, 1, 2], 12.5), 1.0),   # exactly at pos[0]
    (lambda: zk.weighted_percentile([3, 1, 2], [1, 1, 2], 87.5), 3.0),   # exactly at pos[n-1]
    (lambda: zk.weighted_percentile([3, 1, 2], [1, 1, 2], 31.25), 1.5),  # half way from 0.125 to 0.5
    (lambda: zk.weighted_percentile([7.5], [0.3], 99), 7.5),
])
def test_documented_values(got, expected):
    assert got() == expected


def test_equal_weights_variance_matches_unweighted():
    assert zk.weighted_variance([1, 2, 3, 4], [1, 1, 1, 1]) == pytest.approx(zk.variance([1, 2, 3, 4]), rel=1e-15)
    assert zk.weighted_variance([1, 2, 3, 4], [1, 1, 1, 1]) == 5 / 3


@pytest.mark.parametrize("values", [[3.0, 1.0, 2.0], np.random.default_rng(1).normal(size=23).tolist()])
def test_equal_weights_percentile_is_the_hazen_rule_as_documented(values):
    ps = np.linspace(0, 100, 41)
    got = [zk.weighted_percentile(values, [2.5] * len(values), p) for p in ps]
    np.testing.assert_allclose(got, np.percentile(values, ps, method="hazen"), rtol=1e-12, atol=1e-12)
    assert got != [zk.percentile(values, p) for p in ps]  # not type-7


@pytest.mark.parametrize("value, weight", [
    (3.561272238974915, 0.023869517689784195),
    (7.162104723768088, 443.05352558544433),
    (-1.2198486798722659, 3.3520333644852442),
])
def test_a_single_positive_weight_has_no_spread_despite_rounding(value, weight):
    # W - W2/W rounds to a few ulps above zero for these weights; that is not a variance
    w_sum, w2 = oracle_sums([weight])
    assert w_sum - w2 / w_sum > 0
    assert zk.weighted_variance([value], [weight]) == 0.0
    assert zk.weighted_std([value, 1e6], [weight, 0.0]) == 0.0


@pytest.mark.parametrize("w", [1e160, 1e308, 1.7976931348623157e308, 1e-170, 1e-310, 5e-324])
def test_extreme_weights_neither_overflow_nor_vanish_when_squared(w):
    assert zk.weighted_mean([1, 3], [w, w]) == 2.0
    assert zk.weighted_variance([1, 2], [w, w]) == pytest.approx(0.5, rel=1e-15)
    assert zk.weighted_std([1, 2, 3], [w, w, w]) == pytest.approx(1.0, rel=1e-15)
    assert zk.weighted_percentile([1, 2, 3, 4, 5], [w] * 5, 25) == 1.75


@pytest.mark.parametrize("factor", [2.0**900, 2.0**-1000, 2.0**600 * 3])
def test_a_common_factor_changes_nothing(factor):
    rng = np.random.default_rng(9)
    values, weights = rng.normal(size=40).tolist(), rng.uniform(0.01, 1.0, size=40).tolist()
    scaled = [w * factor for w in weights]
    exact = factor in (2.0**900, 2.0**-1000)  # powers of two: bit for bit
    for fn in ALL + [zk.weighted_percentile]:
        a, b = call(fn, values, weights), call(fn, values, scaled)
        assert a == b if exact else a == pytest.approx(b, rel=1e-13)


# --- against numpy and the oracles -------------------------------------------------------------------------

@settings(max_examples=300)
@given(weighted_data())
def test_mean_and_variance_against_numpy(data):
    values, weights = data
    v, w = np.array(values), np.array(weights)
    mean = np.sum(v * w) / np.sum(w)
    v1, v2 = np.sum(w), np.sum(w * w)
    positive = np.count_nonzero(w)
    var = np.sum(w * (v - mean) ** 2) / (v1 - v2 / v1) if positive > 1 else 0.0
    scale = np.max(np.abs(v)) if len(v) else 1.0
    assert zk.weighted_mean(values, weights) == pytest.approx(mean, rel=1e-9, abs=1e-9 * scale)
    assert zk.weighted_variance(values, weights) == pytest.approx(var, rel=1e-7, abs=1e-9 * scale * scale)
    assert zk.weighted_mean(values, weights) == pytest.approx(np.average(v, weights=w), rel=1e-9, abs=1e-9 * scale)


@settings(max_examples=300)
@given(weighted_data())
def test_mean_variance_std_bit_for_bit(data):
    values, weights = data
    assert same(zk.weighted_mean(values, weights), oracle_mean(values, weights))
    assert same(zk.weighted_variance(values, weights), oracle_variance(values, weights))
    assert same(zk.weighted_std(values, weights), math.sqrt(oracle_variance(values, weights)))


@settings(max_examples=400)
@given(weighted_data(max_size=80), st.floats(0, 100))
def test_percentile_bit_for_bit(data, p):
    values, weights = data
    assert same(zk.weighted_percentile(values, weights, p), oracle_percentile(values, weights, p))


@settings(max_examples=200)
@given(st.lists(st.tuples(st.sampled_from([0.0, 1.0, -2.0, 3.5, float("nan")]), st.sampled_from([0.0, 0.5, 1.0, 4.0])),
                min_size=1, max_size=20).filter(lambda ps: any(w > 0 for _, w in ps)), st.floats(0, 100))
def test_nan_values_stay_where_the_insertion_sort_leaves_them(pairs, p):
    values, weights = [v for v, _ in pairs], [w for _, w in pairs]
    assert same(zk.weighted_percentile(values, weights, p), oracle_percentile(values, weights, p))


@pytest.mark.parametrize("n", [3, 20, 21, 200])
def test_equal_values_keep_their_input_order(n):
    # Tied values with different weights: only a stable sort puts the weight 1 copy first,
    # which moves the interpolation between 1 and 2
    values = [2.0, 1.0, 2.0] + [5.0] * (n - 3)
    weights = [1.0, 1.0, 3.0] + [1e-9] * (n - 3)
    p = 25.0
    assert zk.weighted_percentile(values, weights, p) == oracle_percentile(values, weights, p)
    reversed_ties = oracle_percentile([2.0, 1.0, 2.0] + values[3:], [3.0, 1.0, 1.0] + weights[3:], p)
    assert zk.weighted_percentile(values, weights, p) != reversed_ties


# --- zero weights ------------------------------------------------------------------------------------------

@pytest.mark.parametrize("p", [0, 1, 10, 25, 50, 74.9, 75, 90, 99, 100])
@pytest.mark.parametrize("outlier", [-1e6, 1e6, 2.0, float("nan")])
def test_a_zero_weight_value_never_moves_the_percentile(p, outlier):
    base_v, base_w = [1.0, 2.0, 3.0, 4.0], [1.0, 2.0, 1.0, 0.5]
    expected = zk.weighted_percentile(base_v, base_w, p)
    for at in range(5):
        values = base_v[:at] + [outlier] + base_v[at:]
        weights = base_w[:at] + [0.0] + base_w[at:]
        assert zk.weighted_percentile(values, weights, p) == expected


def test_zero_weight_values_add_nothing_to_mean_and_variance():
    assert zk.weighted_mean([1.0, 5.0, 3.0], [1.0, 0.0, 1.0]) == 2.0
    assert zk.weighted_variance([1.0, 5.0, 3.0], [1.0, 0.0, 1.0]) == zk.weighted_variance([1.0, 3.0], [1.0, 1.0])


def test_inputs_are_not_modified():
    values, weights = [3.0, 1.0, 2.0], [1.0, 0.0, 2.0]
    zk.weighted_percentile(values, weights, 40)
    assert values == [3.0, 1.0, 2.0] and weights == [1.0, 0.0, 2.0]


def test_large_input_from_numpy_and_list_agree():
    rng = np.random.default_rng(5)
    v, w = rng.normal(size=50_001), rng.uniform(0, 3, size=50_001)
    for p in (0.5, 10, 50, 90, 99.5):
        assert zk.weighted_percentile(v, w, p) == zk.weighted_percentile(v.tolist(), w.tolist(), p)
    # the midpoint rule is within one sample step of numpy's inverted-CDF weighted quantile here
    assert zk.weighted_percentile(v, w, 50) == pytest.approx(
        np.percentile(v, 50, weights=w, method="inverted_cdf"), abs=1e-3)


# Long inputs take the radix path of the shared stable sort: many equal values with different
# weights make the order within ties visible in the positions, and signed zeros must stay equal.
tie_values = st.sampled_from([0.0, -0.0, 1.0, -1.0, 2.5, 1e300, -1e-300, float("inf"), -float("inf")])


@settings(max_examples=60)
@given(st.lists(st.tuples(tie_values, st.floats(0.001, 10)), min_size=257, max_size=1500), st.floats(0, 100))
def test_long_percentile_with_ties_matches_the_stable_oracle(pairs, p):
    values = [v for v, _ in pairs]
    weights = [w for _, w in pairs]
    assert same(zk.weighted_percentile(values, weights, p), oracle_percentile(values, weights, p))


def test_long_percentile_on_random_data_matches_the_stable_oracle():
    rng = np.random.default_rng(11)
    values = np.round(rng.normal(size=5000), 2).tolist()  # rounded: plenty of ties
    weights = rng.uniform(0, 3, size=5000).tolist()
    for p in (0, 0.1, 12.5, 50, 77.7, 99.9, 100):
        assert same(zk.weighted_percentile(values, weights, p), oracle_percentile(values, weights, p))
