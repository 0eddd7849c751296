"""interp1d: method names, knot validation, the five readings against numpy/scipy
and a pure-Python oracle of the evaluation formulas, the natural spline."""

import inspect
import math
import threading

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from scipy.interpolate import CubicSpline
from scipy.interpolate import interp1d as sp_interp1d

import zaviktools as zk

NAN = float("nan")
INF = float("inf")
METHODS = ["nearest", "previous", "next", "linear", "cubic"]


def same(a, b):
    """Bit-for-bit equality of two float lists (NaN equals NaN, -0.0 differs from 0.0)."""
    return len(a) == len(b) and all(
        (math.isnan(u) and math.isnan(v)) or (u == v and math.copysign(1, u) == math.copysign(1, v))
        for u, v in zip(a, b)
    )


def random_series(seed, n):
    rng = np.random.default_rng(seed)
    x = np.cumsum(rng.uniform(0.05, 2.0, n)) - 3.0
    y = rng.normal(0.0, 5.0, n)
    return x, y


# --------------------------------------------------------------------------- interface


def test_signature_and_docstring():
    assert str(inspect.signature(zk.interp1d)) == "(x, y, query, method='linear', extrapolate=False)"
    assert zk.interp1d.__text_signature__ == '(x, y, query, method="linear", extrapolate=False)'
    assert zk.interp1d.__doc__ == (
        "Interpolate a 1-D series at `query` positions.\n\n"
        "`x` must be finite and strictly increasing, with the same length as `y`.\n"
        'Supported methods are `"nearest"`/`"closest"`, `"previous"`/`"ffill"`,\n'
        '`"next"`/`"bfill"`, `"linear"`, and `"cubic"`/`"spline"` (natural cubic).\n'
        "Out-of-bounds queries return `NaN` unless `extrapolate=True`."
    )


def test_keywords_and_sequence_kinds():
    expected = [5.0, 15.0]
    assert zk.interp1d(x=[0, 1, 2], y=[0, 10, 20], query=[0.5, 1.5]) == expected
    assert zk.interp1d((0, 1, 2), range(0, 30, 10), np.array([0.5, 1.5])) == expected
    assert zk.interp1d(np.array([0.0, 1, 2]), np.array([0.0, 10, 20]), [0.5, 1.5], "linear", False) == expected


@pytest.mark.parametrize(
    "kwargs, exc, text",
    [
        (dict(x="012", y=[0, 1, 2], query=[0]), TypeError, "argument 'x': Can't extract `str` to `Vec`"),
        (dict(x=[0, 1], y=[0, 1], query=[0], extrapolate=1), TypeError, "argument 'extrapolate'"),
        (dict(x=[0, 1], y=[0, 1], query=[0], method=3), TypeError, "argument 'method'"),
        (dict(x=[0, 1], y=[0, 1]), TypeError, "query"),
    ],
)
def test_argument_conversion_errors(kwargs, exc, text):
    with pytest.raises(exc, match=None) as info:
        zk.interp1d(**kwargs)
    assert text in str(info.value)


# --------------------------------------------------------------------------- method names


@pytest.mark.parametrize(
    "name, reading",
    [
        ("nearest", "nearest"), ("closest", "nearest"), ("nn", "nearest"),
        ("previous", "previous"), ("prev", "previous"), ("ffill", "previous"),
        ("next", "next"), ("bfill", "next"),
        ("linear", "linear"), (" Linear\t", "linear"), ("LINEAR", "linear"),
        ("cubic", "cubic"), ("spline", "cubic"), ("natural", "cubic"),
        ("natural_cubic", "cubic"), ("Cubic_Natural", "cubic"), ("\u00a0NN\u2003", "nearest"),
    ],
)
def test_method_aliases(name, reading):
    x, y, q = [0.0, 1.0, 3.0, 4.0], [1.0, 5.0, -2.0, 0.5], [0.3, 0.5, 1.8, 2.0, 3.9]
    assert same(zk.interp1d(x, y, q, name), zk.interp1d(x, y, q, reading))


@pytest.mark.parametrize(
    "name, shown",
    [("quadratic", "quadratic"), ("  QuadRatic ", "quadratic"), ("", ""), ("   ", ""),
     ("linear2", "linear2"), ("near est", "near est"), ("ÉTÉ", "ÉtÉ"), ("lin\x00ear", "lin\x00ear")],
)
def test_unknown_method(name, shown):
    with pytest.raises(ValueError) as info:
        zk.interp1d([0, 1], [0, 1], [0.5], name)
    assert info.value.args == (f"invalid argument: unknown interpolation method '{shown}'",)


def test_method_is_checked_before_the_knots():
    with pytest.raises(ValueError, match="unknown interpolation method 'bogus'"):
        zk.interp1d([0], [1, 2], [0.5], "bogus")


# --------------------------------------------------------------------------- knot validation


@pytest.mark.parametrize("method", METHODS)
@pytest.mark.parametrize(
    "x, y, text",
    [
        ([0, 1, 2], [0, 1], "invalid argument: x/y length mismatch: 3 != 2"),
        ([0], [1, 2], "invalid argument: x/y length mismatch: 1 != 2"),
        ([], [], "empty input: interp1d requires at least two knots"),
        ([0], [1], "empty input: interp1d requires at least two knots"),
        ([NAN], [1], "empty input: interp1d requires at least two knots"),
        ([0, NAN], [1, 2], "invalid argument: x values must be finite"),
        ([0, INF], [1, 2], "invalid argument: x values must be finite"),
        ([-INF, 0], [1, 2], "invalid argument: x values must be finite"),
        ([1, 0, NAN], [1, 2, 3], "invalid argument: x values must be finite"),
        ([0, 1], [NAN, 2], "invalid argument: y values must be finite"),
        ([0, 1], [1, -INF], "invalid argument: y values must be finite"),
        ([1, 0], [NAN, 2], "invalid argument: y values must be finite"),
        ([0, 0], [1, 2], "invalid argument: x values must be strictly increasing"),
        ([0, 2, 1], [1, 2, 3], "invalid argument: x values must be strictly increasing"),
        ([0.0, -0.0], [1, 2], "invalid argument: x values must be strictly increasing"),
    ],
)
def test_knot_validation_in_order(method, x, y, text):
    with pytest.raises(ValueError) as info:
        zk.interp1d(x, y, [0.5], method)
    assert info.value.args == (text,)


@pytest.mark.parametrize("method", METHODS)
def test_queries_never_fail(method):
    out = zk.interp1d([0, 1, 2], [3, 4, 6], [NAN, INF, -INF, -1e300, 1e300], method)
    assert all(math.isnan(v) for v in out)
    assert zk.interp1d([0, 1, 2], [3, 4, 6], [], method) == []


# --------------------------------------------------------------------------- worked examples


def test_linear_examples():
    assert same(zk.interp1d([0, 1, 2], [0, 10, 20], [0.5, 2.5]), [5.0, NAN])
    assert zk.interp1d([0, 1, 2], [0, 10, 20], [0.5, 2.5], extrapolate=True) == [5.0, 25.0]
    assert zk.interp1d([0, 1, 2], [0, 10, 20], [-1.0], extrapolate=True) == [-10.0]


@pytest.mark.parametrize("method", METHODS)
def test_end_knots_are_inside(method):
    x, y = [0.0, 1.0, 2.5], [4.0, -1.0, 7.0]
    assert zk.interp1d(x, y, [0.0, 2.5], method) == [4.0, 7.0]
    assert same(zk.interp1d(x, y, [-1e-12, 2.5 + 1e-12], method), [NAN, NAN])


@pytest.mark.parametrize("method", METHODS)
def test_exact_knot_hits_return_the_knot_value(method):
    x, y = random_series(7, 12)
    out = zk.interp1d(x, y, x, method)
    # Linear at the last knot goes through (y[n-1] - y[n-2]) + y[n-2].
    expected = list(y)
    if method == "linear":
        expected[-1] = (y[-1] - y[-2]) + y[-2]
    assert same(out, expected)


@pytest.mark.parametrize("method, expected", [("previous", 1.0), ("next", 2.0), ("nearest", 2.0),
                                              ("linear", 2.0), ("cubic", 2.0)])
def test_negative_zero_query_is_not_a_hit_on_positive_zero(method, expected):
    # -0.0 sorts below +0.0: previous reads the knot before it.
    out = zk.interp1d([-1.0, 0.0, 1.0], [1.0, 2.0, 3.0], [-0.0], method)
    assert out == [expected]


def test_negative_zero_knot_is_hit_by_negative_zero_only():
    x, y = [-0.0, 1.0], [5.0, 6.0]
    assert zk.interp1d(x, y, [-0.0, 0.0], "previous") == [5.0, 5.0]
    assert zk.interp1d(x, y, [0.0], "next") == [6.0]  # +0.0 lies above the knot at -0.0
    assert zk.interp1d(x, y, [-0.0], "next") == [5.0]


# --------------------------------------------------------------------------- step readings


@pytest.mark.parametrize(
    "x, y, q, expected",
    [
        ([0, 1, 2], [10, 20, 30], [0.5, 1.5], [10.0, 20.0]),  # midpoints go to the lower knot
        ([0, 1, 3], [10, 20, 30], [2.0, 2.0000001, 1.9999999], [20.0, 30.0, 20.0]),
        ([0.1, 0.2, 0.3], [1, 2, 3], [0.15, 0.25], [1.0, 2.0]),
    ],
)
def test_nearest_tie_rule(x, y, q, expected):
    assert zk.interp1d(x, y, q, "nearest") == expected


@pytest.mark.parametrize("seed", range(5))
@pytest.mark.parametrize("kind", ["nearest", "previous", "next"])
def test_step_readings_against_scipy(seed, kind):
    x, y = random_series(seed, 40)
    rng = np.random.default_rng(100 + seed)
    q = np.concatenate([rng.uniform(x[0], x[-1], 400), x])
    ref = sp_interp1d(x, y, kind=kind)(q)
    assert zk.interp1d(x, y, q, kind) == list(ref)


@pytest.mark.parametrize("kind", ["nearest", "previous", "next"])
def test_step_readings_at_exact_midpoints_against_scipy(kind):
    # Dyadic knots make every midpoint an exact tie in both distances.
    rng = np.random.default_rng(9)
    x = np.cumsum(rng.integers(1, 9, 30)) * 0.25
    y = rng.normal(size=30)
    q = (x[1:] + x[:-1]) / 2
    assert zk.interp1d(x, y, q, kind) == list(sp_interp1d(x, y, kind=kind)(q))


@pytest.mark.parametrize(
    "method, below, above",
    [("previous", 1.0, 3.0), ("next", 1.0, 3.0), ("nearest", 1.0, 3.0)],
)
def test_step_extrapolation(method, below, above):
    x, y = [0.0, 1.0, 2.0], [1.0, 2.0, 3.0]
    assert zk.interp1d(x, y, [-5.0, -INF, 7.0, INF], method, True) == [below, below, above, above]
    assert same(zk.interp1d(x, y, [NAN], method, True), [NAN])


def test_nearest_extrapolation_against_scipy():
    x, y = random_series(3, 10)
    q = np.linspace(x[0] - 5, x[-1] + 5, 301)
    ref = sp_interp1d(x, y, kind="nearest", fill_value="extrapolate")(q)
    assert zk.interp1d(x, y, q, "nearest", True) == list(ref)


# --------------------------------------------------------------------------- linear


def segment(x, q):
    """Index of the knot interval read for q: the first or last one outside the knots."""
    if q <= x[0]:
        return 0
    if q >= x[-1]:
        return len(x) - 2
    return max(i for i in range(len(x) - 1) if x[i] <= q)


def linear_oracle(x, y, q):
    s = segment(x, q)
    return (y[s + 1] - y[s]) * ((q - x[s]) / (x[s + 1] - x[s])) + y[s]


@pytest.mark.parametrize("seed", range(6))
def test_linear_against_numpy_and_the_formula(seed):
    x, y = random_series(seed, 30)
    rng = np.random.default_rng(seed)
    q = np.concatenate([rng.uniform(x[0], x[-1], 300), x])
    out = zk.interp1d(x, y, q)
    np.testing.assert_allclose(out, np.interp(q, x, y), rtol=1e-12, atol=1e-12)
    xs, ys = list(x), list(y)
    assert same(out, [linear_oracle(xs, ys, v) for v in q])


@pytest.mark.parametrize("seed", range(3))
def test_linear_extrapolation_continues_end_segments(seed):
    x, y = random_series(seed, 8)
    q = [x[0] - 3.0, x[0] - 0.5, x[-1] + 0.25, x[-1] + 40.0]
    xs, ys = list(x), list(y)
    ref = sp_interp1d(x, y, kind="linear", fill_value="extrapolate")(q)
    out = zk.interp1d(x, y, q, "linear", True)
    np.testing.assert_allclose(out, ref, rtol=1e-12)
    assert same(out, [linear_oracle(xs, ys, v) for v in q])


# --------------------------------------------------------------------------- natural cubic spline


def spline_oracle(x, y):
    """Second derivatives of the natural spline by the Thomas algorithm."""
    n = len(x)
    m = [0.0] * n
    cp, dp = [0.0] * n, [0.0] * n
    for i in range(1, n - 1):
        h0, h1 = x[i] - x[i - 1], x[i + 1] - x[i]
        diag = 2.0 * (h0 + h1)
        rhs = 6.0 * ((y[i + 1] - y[i]) / h1 - (y[i] - y[i - 1]) / h0)
        piv, d = (diag, rhs) if i == 1 else (diag - h0 * cp[i - 1], rhs - h0 * dp[i - 1])
        cp[i], dp[i] = h1 / piv, d / piv
    if n > 2:
        m[n - 2] = dp[n - 2]
        for i in range(n - 3, 0, -1):
            m[i] = dp[i] - cp[i] * m[i + 1]
    return m


def cubic_oracle(x, y, m, q):
    s = segment(x, q)
    h = x[s + 1] - x[s]
    a, b = (x[s + 1] - q) / h, (q - x[s]) / h
    return ((a * a * a - a) * m[s] + (b * b * b - b) * m[s + 1]) * (h * h) / 6.0 + (a * y[s] + b * y[s + 1])


@pytest.mark.parametrize("n", [3, 4, 7, 25, 200])
def test_second_derivatives_against_scipy(hooks, n):
    x, y = random_series(n, n)
    m = hooks.spline_second_derivatives(x, y)
    assert m[0] == 0.0 and m[-1] == 0.0
    ref = CubicSpline(x, y, bc_type="natural")(x, 2)
    np.testing.assert_allclose(m, ref, rtol=1e-9, atol=1e-9 * np.abs(ref).max())
    assert same(m, spline_oracle(list(x), list(y)))


def test_two_knot_spline_is_the_line(hooks):
    assert hooks.spline_second_derivatives([0, 2], [1, 5]) == [0.0, 0.0]
    assert zk.interp1d([0, 2], [1, 5], [0.5, 1.0, 3.0], "cubic", True) == [2.0, 3.0, 7.0]


@pytest.mark.parametrize("x", [[0, 1, 2, 3, 4], [-3.0, -1.0, 0.5, 4.0, 10.0, 10.25]])
def test_spline_through_collinear_points_is_that_line(hooks, x):
    y = [2.0 * v - 1.0 for v in x]
    assert hooks.spline_second_derivatives(x, y) == [0.0] * len(x)
    q = np.linspace(x[0] - 2, x[-1] + 2, 41)
    np.testing.assert_allclose(zk.interp1d(x, y, q, "cubic", True), 2.0 * q - 1.0, rtol=1e-13, atol=1e-13)


@pytest.mark.parametrize("seed", range(5))
@pytest.mark.parametrize("extrapolate", [False, True])
def test_cubic_against_scipy(seed, extrapolate):
    x, y = random_series(seed, 50)
    rng = np.random.default_rng(seed + 50)
    lo, hi = (x[0] - 4, x[-1] + 4) if extrapolate else (x[0], x[-1])
    q = np.concatenate([rng.uniform(lo, hi, 500), x])
    out = zk.interp1d(x, y, q, "cubic", extrapolate)
    ref = CubicSpline(x, y, bc_type="natural", extrapolate=extrapolate)(q)
    np.testing.assert_allclose(out, ref, rtol=1e-9, atol=1e-9)
    xs, ys = list(x), list(y)
    m = spline_oracle(xs, ys)
    assert same(out, [cubic_oracle(xs, ys, m, v) for v in q])


def test_spline_object_matches_interp1d(hooks):
    x, y = random_series(11, 9)
    for q, ext in [(x[0] - 1, True), (x[0] - 1, False), (x[4] + 0.1, False), (NAN, True), (x[-1], False)]:
        assert same([hooks.spline_evaluate(x, y, q, ext)], zk.interp1d(x, y, [q], "cubic", ext))


def test_spline_on_finely_spaced_knots():
    # Knot spacing far below 1e-16 units is still a well-posed spline system.
    x = np.array([0.0, 1.0, 2.5, 3.0, 5.0]) * 1e-18
    y = np.array([0.0, 2.0, -1.0, 0.5, 3.0])
    q = np.linspace(x[0], x[-1], 33)
    np.testing.assert_allclose(zk.interp1d(x, y, q, "cubic"), CubicSpline(x, y, bc_type="natural")(q),
                               rtol=1e-9, atol=1e-9)


# Knots spanning more than a double holds: the answers of the series at unit scale.
@pytest.mark.parametrize("method", ["linear", "cubic"])
@pytest.mark.parametrize("seed, scale", [(0, 2.0**1023), (1, 2.0**1023), (2, 2.0**600), (3, 2.0**300)])
def test_answers_do_not_depend_on_a_huge_knot_scale(method, seed, scale):
    x, y = np.sort(np.random.default_rng(seed).uniform(-1, 1, 3 + seed * 3)), np.arange(3 + seed * 3.0) % 4
    q = np.concatenate([np.linspace(x[0], x[-1], 50), [x[0] - 0.25, x[-1] + 0.25]])
    ref = sp_interp1d(x, y, fill_value="extrapolate") if method == "linear" else CubicSpline(x, y, bc_type="natural")
    got = zk.interp1d(list(x * scale), list(y), list(q * scale), method, True)
    np.testing.assert_allclose(got, ref(q), rtol=1e-9, atol=1e-12)
    assert zk.interp1d([-1e308, 1e308], [0, 1], [0.0, -5e307], method) == [0.5, 0.25]


def test_spline_validation_matches_the_other_methods():
    with pytest.raises(ValueError, match="^empty input: interp1d requires at least two knots$"):
        zk.interp1d([1.0], [2.0], [1.0], "spline")


# --------------------------------------------------------------------------- concurrency


def test_concurrent_calls_give_identical_results():
    x, y = random_series(5, 1000)
    q = np.random.default_rng(5).uniform(x[0], x[-1], 20000)
    expected = zk.interp1d(x, y, q, "cubic")
    results = [None] * 4

    def work(k):
        results[k] = zk.interp1d(x, y, q, "cubic")

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(r == expected for r in results)


# --------------------------------------------------------------------------- knot location


def total_order(v):
    """Sort key of the IEEE total order (-0.0 before +0.0)."""
    return (v, math.copysign(1.0, v))


def previous_oracle(x, y, q):
    below = [i for i in range(len(x)) if total_order(x[i]) <= total_order(q)]
    return y[below[-1]] if below else y[0]


finite = st.floats(allow_nan=False, allow_infinity=False)


@settings(max_examples=300, deadline=None)
@given(st.lists(finite, min_size=2, max_size=40, unique=True), st.lists(finite | st.sampled_from([0.0, -0.0]),
                                                                        max_size=30), st.data())
def test_location_agrees_with_a_linear_scan(xs, qs, data):
    x = sorted(set(xs))
    if len(x) < 2 or any(a >= b for a, b in zip(x, x[1:])):
        return
    qs = qs + data.draw(st.lists(st.sampled_from(x), max_size=10))
    y = [float(i) for i in range(len(x))]
    assert zk.interp1d(x, y, qs, "previous", True) == [previous_oracle(x, y, q) for q in qs]


@pytest.mark.parametrize("x", [
    [0.0, 1e-300, 1.0, 1e300],                       # wildly uneven knots
    [-1.7e308, 0.0, 1.7e308],                        # a range that overflows a double
    [0.0, 5e-324, 1e-323],                           # subnormal spacing
    list(np.cumsum(np.geomspace(1e-6, 1e6, 500))),   # geometric spacing
])
def test_location_on_extreme_knot_spacings(x):
    y = [float(i) for i in range(len(x))]
    q = sorted(set(x + [v * 0.5 for v in x] + [-1e308, 1e308, -0.0]))
    assert zk.interp1d(x, y, q, "previous", True) == [previous_oracle(x, y, v) for v in q]
