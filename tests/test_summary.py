"""reservoir_summary and the ReservoirSummary class."""

import math
import random

import numpy as np
import pytest
from hypothesis import given, settings, strategies as st

import zaviktools as zk
from oracles import same

RS = zk.ReservoirSummary


def fields(s):
    return (s.p90, s.p50, s.p10, s.mean)


def reference(data):
    # each level is an independent type-7 percentile, the mean the running mean
    return (zk.percentile(data, 10), zk.percentile(data, 50), zk.percentile(data, 90), zk.mean(data))


def test_class_docstring():
    assert RS.__doc__ == (
        "The P90 (low) / P50 (mid) / P10 (high) / mean digest of a realization set.\n\n"
        "Fields follow the **oil-industry exceedance convention** (P90 = low): `p90`\n"
        "is the value exceeded 90 % of the time (statistical 10th percentile), `p10`\n"
        "the high (statistical 90th), so `p90 <= p50 <= p10`. Percentiles are type-7\n"
        "(Excel `PERCENTILE` parity). Read-only getters plus a `to_dict()`.")
    assert RS.__module__ == "zaviktools._zaviktools" and RS.__qualname__ == "ReservoirSummary"


def test_function_and_method_docstrings():
    assert zk.reservoir_summary.__text_signature__ == "(data)"
    assert zk.reservoir_summary.__doc__ == (
        "Summarise `data` (one realization per element) into a [`ReservoirSummary`]\n"
        "under the oil-industry P90 = low convention. Errors on empty input.")
    assert RS.to_dict.__text_signature__ == "($self)"
    assert RS.to_dict.__doc__ == "The four fields as a plain `dict` (`{\"p90\", \"p50\", \"p10\", \"mean\"}`)."


def test_documented_values_dict_and_repr():
    s = zk.reservoir_summary([1, 2, 3, 4, 5])
    assert type(s) is RS
    assert fields(s) == (1.4, 3.0, 4.6, 3.0)
    d = s.to_dict()
    assert list(d) == ["p90", "p50", "p10", "mean"] and d == {"p90": 1.4, "p50": 3.0, "p10": 4.6, "mean": 3.0}
    assert repr(s) == "ReservoirSummary(p90=1.4, p50=3, p10=4.6, mean=3)"
    assert s.to_dict() is not d


def test_single_value():
    s = zk.reservoir_summary([7.0])
    assert fields(s) == (7.0,) * 4
    assert repr(s) == "ReservoirSummary(p90=7, p50=7, p10=7, mean=7)"


@pytest.mark.parametrize("data, text", [
    ([0.1, 0.2], "ReservoirSummary(p90=0.11000000000000001, p50=0.15000000000000002, p10=0.19, "
                 "mean=0.15000000000000002)"),
    ([1e20], "ReservoirSummary(p90=100000000000000000000, p50=100000000000000000000, "
             "p10=100000000000000000000, mean=100000000000000000000)"),
    ([-2.5e-7], "ReservoirSummary(p90=-0.00000025, p50=-0.00000025, p10=-0.00000025, mean=-0.00000025)"),
    ([float("nan")], "ReservoirSummary(p90=NaN, p50=NaN, p10=NaN, mean=NaN)"),
    ([1.0, float("inf")], "ReservoirSummary(p90=inf, p50=inf, p10=inf, mean=inf)"),
])
def test_repr_uses_shortest_fixed_numbers(data, text):
    assert repr(zk.reservoir_summary(data)) == text


def test_empty_input():
    with pytest.raises(ValueError) as info:
        zk.reservoir_summary([])
    assert info.value.args == ("empty input: stats: no data",)


def test_argument_conversion():
    with pytest.raises(TypeError, match=r"^argument 'data': Can't extract `str` to `Vec`$"):
        zk.reservoir_summary("123")
    assert fields(zk.reservoir_summary(data=range(1, 6))) == (1.4, 3.0, 4.6, 3.0)


def test_instances_are_immutable_closed_values():
    s = zk.reservoir_summary([1, 2, 3])
    for name in ("p90", "p50", "p10", "mean"):
        with pytest.raises(AttributeError):
            setattr(s, name, 0.0)
    with pytest.raises(AttributeError):
        s.extra = 1
    with pytest.raises(TypeError):
        RS()
    with pytest.raises(TypeError):
        type("Sub", (RS,), {})


@pytest.mark.parametrize("n", [1, 2, 3, 4, 5, 9, 10, 11, 20, 21, 101, 1000])
def test_matches_the_reference_statistics_bit_for_bit(n):
    rnd = random.Random(n)
    for _ in range(20):
        data = [rnd.choice([rnd.gauss(100, 30), float(rnd.randint(0, 4))]) for _ in range(n)]
        assert fields(zk.reservoir_summary(data)) == reference(data)


@settings(max_examples=300)
@given(st.lists(st.one_of(st.floats(-1e6, 1e6, allow_nan=False), st.sampled_from([0.0, -0.0, float("nan")])),
                min_size=1, max_size=60))
def test_nan_and_signed_zeros_read_the_same_ranks_as_percentile(data):
    got, want = fields(zk.reservoir_summary(data)), reference(data)
    assert all(same(a, b) for a, b in zip(got, want))


@settings(max_examples=200)
@given(st.lists(st.floats(-1e9, 1e9, allow_nan=False), min_size=1, max_size=300))
def test_against_numpy(data):
    s = zk.reservoir_summary(data)
    scale = max(1.0, max(abs(x) for x in data))
    p10, p50, p90 = np.percentile(data, [10, 50, 90], method="linear")
    assert s.p90 == pytest.approx(p10, rel=1e-12, abs=1e-12 * scale)
    assert s.p50 == pytest.approx(p50, rel=1e-12, abs=1e-12 * scale)
    assert s.p10 == pytest.approx(p90, rel=1e-12, abs=1e-12 * scale)
    assert s.mean == pytest.approx(np.mean(data), rel=1e-9, abs=1e-9 * scale)
    assert s.p90 <= s.p50 <= s.p10


def test_large_numpy_input_and_input_untouched():
    rng = np.random.default_rng(2)
    arr = rng.lognormal(3.0, 0.7, size=200_001)
    lst = arr.tolist()
    s = zk.reservoir_summary(arr)
    assert fields(s) == fields(zk.reservoir_summary(lst)) == reference(lst)
    assert np.array_equal(arr, np.array(lst))
    assert (s.p90, s.p50, s.p10) == pytest.approx(tuple(np.percentile(arr, [10, 50, 90])), rel=1e-15)
