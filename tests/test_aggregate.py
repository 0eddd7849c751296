"""aggregate: independent and comonotonic field totals, the correlation name."""

import inspect
import math

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import zaviktools as zk
from oracles import insertion_sorted

UNKNOWN = "unknown correlation '{}' (expected 'independent' or 'comonotonic')"


def oracle(segments, comonotonic):
    if not segments:
        return []
    m = min(len(s) for s in segments)
    total = [0.0] * m
    for seg in segments:
        # up to 20 values the straight insertion sort; above, any stable sort agrees on NaN-free data
        part = (insertion_sorted(seg[:m]) if m <= 20 else sorted(seg[:m])) if comonotonic else list(seg[:m])
        total = [part[k] + total[k] for k in range(m)]
    return total


def same_list(a, b):
    return len(a) == len(b) and all(
        (math.isnan(x) and math.isnan(y)) or (x == y and math.copysign(1, x) == math.copysign(1, y))
        for x, y in zip(a, b))


def test_docstring_and_signature():
    assert zk.aggregate.__text_signature__ == '(segments, correlation="independent")'
    assert str(inspect.signature(zk.aggregate)) == "(segments, correlation='independent')"
    assert zk.aggregate.__doc__ == (
        "Sum per-segment realization vectors index-wise into a field total under a\n"
        "dependence assumption. `correlation` is `\"independent\"` (sum as-is) or\n"
        "`\"comonotonic\"` (sort each segment ascending, then sum rank-for-rank — the\n"
        "fully-dependent low-together/high-together bound). The result length is the\n"
        "shortest segment's; an empty input (or any empty segment) gives `[]`.")


@pytest.mark.parametrize("args, expected", [
    (([[1, 2, 3], [10, 20]],), [11.0, 22.0]),
    (([[3, 1, 2], [30, 10, 20]], "comonotonic"), [11.0, 22.0, 33.0]),
    (([[3, 1, 2], [30, 10, 20]], "independent"), [33.0, 11.0, 22.0]),
    (([[3, 1, 2], [30, 10, 20]],), [33.0, 11.0, 22.0]),
    (([[5, 4, 3, 2, 1], [1, 2]], "comonotonic"), [5.0, 7.0]),
    (([[1, 2], []],), []),
    (([[1, 2], []], "comonotonic"), []),
    (([],), []),
    (([], "comonotonic"), []),
    (([[4.5, -1]],), [4.5, -1.0]),
    (([[4.5, -1]], "comono"), [-1.0, 4.5]),
])
def test_documented_values(args, expected):
    result = zk.aggregate(*args)
    assert result == expected and all(type(x) is float for x in result)


@pytest.mark.parametrize("text", ["comonotonic", "comono", "  Comonotonic ", "COMONO", "\tCoMoNo\n",
                                  "\u3000comonotonic\u00a0", "\u2003comono\u2029", "\x0bcomono\x0c\x85"])
def test_names_selecting_comonotonic(text):
    assert zk.aggregate([[3, 1, 2]], text) == [1.0, 2.0, 3.0]


@pytest.mark.parametrize("text", ["independent", "indep", " INDEPENDENT ", "Indep\r\n", "\u205findep\u202f",
                                  "\u1680independent\u2028"])
def test_names_selecting_independent(text):
    assert zk.aggregate([[3, 1, 2]], correlation=text) == [3.0, 1.0, 2.0]


@pytest.mark.parametrize("text, shown", [
    ("rank", "rank"),
    ("  RANK\t", "rank"),
    ("", ""),
    ("   ", ""),
    ("co monotonic", "co monotonic"),          # inner blanks stay
    ("independent_", "independent_"),
    ("indepe", "indepe"),
    ("\u00c9TAGE", "\u00c9tage"),              # only ASCII letters are lower-cased
    ("\u3000GAUSS\u00a0", "gauss"),
    ("\u200bcomono", "\u200bcomono"),          # a zero-width space is not white space
    ("a'b\x00c", "a'b\x00c"),
])
def test_unknown_names(text, shown):
    with pytest.raises(ValueError) as info:
        zk.aggregate([[1.0]], text)
    assert info.value.args == (UNKNOWN.format(shown),)


def test_name_is_checked_even_without_segments():
    with pytest.raises(ValueError, match="unknown correlation 'x'"):
        zk.aggregate([], "x")


def test_segments_are_converted_before_the_name_is_checked():
    with pytest.raises(TypeError, match=r"^argument 'segments': "):
        zk.aggregate([[1.0], ["a"]], "rank")
    with pytest.raises(TypeError, match=r"^argument 'segments': Can't extract `str` to `Vec`$"):
        zk.aggregate("12", "rank")


@pytest.mark.parametrize("bad", [None, 1, b"comono"])
def test_correlation_must_be_a_str(bad):
    with pytest.raises(TypeError, match=r"^argument 'correlation': "):
        zk.aggregate([[1.0]], bad)


segments_st = st.lists(
    st.lists(st.floats(min_value=-1e9, max_value=1e9, allow_nan=False), min_size=0, max_size=45),
    min_size=0, max_size=6)


@settings(max_examples=400)
@given(segments_st, st.booleans())
def test_against_the_oracle_bit_for_bit(segments, comonotonic):
    got = zk.aggregate(segments, "comonotonic" if comonotonic else "independent")
    assert same_list(got, oracle(segments, comonotonic))


@settings(max_examples=200)
@given(st.lists(st.lists(st.sampled_from([0.0, -0.0, 1.0, -1.0]), min_size=1, max_size=60), min_size=1, max_size=4))
def test_signed_zeros_follow_the_stable_sort(segments):
    # sums start from +0.0; tied zeros keep their input order on both sort paths
    for comonotonic in (False, True):
        got = zk.aggregate(segments, "comono" if comonotonic else "indep")
        assert same_list(got, oracle(segments, comonotonic))


@settings(max_examples=200)
@given(st.lists(st.lists(st.sampled_from([0.0, 2.0, -1.0, float("nan")]), min_size=1, max_size=20),
                min_size=1, max_size=4))
def test_nan_stays_where_the_insertion_sort_leaves_it(segments):
    got = zk.aggregate(segments, "comonotonic")
    assert same_list(got, oracle(segments, True))


def test_comonotonic_is_the_rank_sum_of_long_segments():
    rng = np.random.default_rng(11)
    segments = [rng.lognormal(size=5000) for _ in range(4)]
    como = np.array(zk.aggregate(segments, "comonotonic"))
    assert np.array_equal(como, np.sum([np.sort(s) for s in segments], axis=0))
    assert como.std() > np.array(zk.aggregate(segments)).std()


def test_numpy_segments_and_tuples_are_accepted():
    arrs = (np.array([3.0, 1.0, 2.0]), (30, 10, 20))
    assert zk.aggregate(arrs, "comonotonic") == [11.0, 22.0, 33.0]


def test_inputs_are_not_modified():
    segments = [[3.0, 1.0, 2.0], [30.0, 10.0, 20.0]]
    zk.aggregate(segments, "comonotonic")
    assert segments == [[3.0, 1.0, 2.0], [30.0, 10.0, 20.0]]


def test_non_finite_values_propagate():
    got = zk.aggregate([[1.0, float("inf")], [float("nan"), -float("inf")]])
    assert math.isnan(got[0]) and math.isnan(got[1])


@settings(max_examples=60)
@given(st.lists(st.lists(st.sampled_from([0.0, -0.0, 1.5, -2.0, 7.0]), min_size=300, max_size=300),
                min_size=1, max_size=3))
def test_long_comonotonic_segments_keep_signed_zeros_in_stable_order(segments):
    # sorted() is stable under `<`, as the shared sort must be; -0.0 + -0.0 keeps the sign
    got = zk.aggregate(segments, "comonotonic")
    want = [0.0] * 300
    for seg in segments:
        want = [a + b for a, b in zip(sorted(seg), want)]
    assert len(got) == 300
    assert all(math.copysign(1, g) == math.copysign(1, w) and g == w for g, w in zip(got, want))
