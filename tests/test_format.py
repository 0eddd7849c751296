"""Number rendering: shortest round-trip fixed form, debug form, n decimals."""

import math

import pytest
from hypothesis import given, strategies as st

finite = st.floats(allow_nan=False, allow_infinity=False)


@pytest.mark.parametrize("x, text", [
    (25.0, "25"), (0.5, "0.5"), (1e20, "100000000000000000000"), (1e-7, "0.0000001"),
    (1.2345678901234568e20, "123456789012345680000"), (0.0, "0"), (-0.0, "-0"), (-2.5, "-2.5"),
    (0.1, "0.1"), (123.456, "123.456"), (2.0**53, "9007199254740992"), (1e16, "10000000000000000"),
    (float("nan"), "NaN"), (float("inf"), "inf"), (float("-inf"), "-inf"),
    (5e-324, "0." + "0" * 323 + "5"), (1.7976931348623157e308, "17976931348623157" + "0" * 292),
])
def test_plain(hooks, x, text):
    assert hooks.fmt_num(x) == text


@given(finite)
def test_plain_round_trips_without_exponent(hooks, x):
    text = hooks.fmt_num(x)
    assert "e" not in text and float(text) == x
    if x == int(x) and x != 0:
        assert "." not in text


@pytest.mark.parametrize("x, text", [
    (1.0, "1.0"), (0.0, "0.0"), (-0.0, "-0.0"), (25.0, "25.0"), (0.5, "0.5"), (1e16, "1e16"),
    (1.5e-5, "1.5e-5"), (1e-4, "0.0001"), (9.999e-5, "9.999e-5"), (1e15, "1000000000000000.0"),
    (123456789012345680.0, "1.2345678901234568e17"), (-2.5e100, "-2.5e100"), (5e-324, "5e-324"),
    (float("nan"), "NaN"), (float("inf"), "inf"), (float("-inf"), "-inf"),
])
def test_debug(hooks, x, text):
    assert hooks.fmt_debug(x) == text


@given(finite)
def test_debug_round_trips_and_marks_reals(hooks, x):
    text = hooks.fmt_debug(x)
    assert float(text) == x
    assert "." in text or "e" in text


@pytest.mark.parametrize("x, n, text", [
    (0.25, 1, "0.2"), (0.75, 1, "0.8"), (0.35, 1, "0.3"), (2.5, 0, "2"), (3.5, 0, "4"), (1.005, 2, "1.00"),
    (-0.04, 1, "-0.0"), (1234.5678, 3, "1234.568"), (1e20, 1, "100000000000000000000.0"),
    (float("nan"), 2, "NaN"), (float("inf"), 1, "inf"),
])
def test_fixed(hooks, x, n, text):
    assert hooks.fmt_fixed(x, n) == text


@given(finite, st.integers(0, 20))
def test_fixed_matches_correctly_rounded_python(hooks, x, n):
    assert hooks.fmt_fixed(x, n) == f"{x:.{n}f}"
