"""Kriging linear algebra: LU with partial pivoting and its solve, and the
merging of coincident data points."""

import math
import struct

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from conftest import require_testhooks

th = require_testhooks()


def lu_reference(a, n, b):
    """Doolittle LU with row pivoting, operation for operation, in Python floats."""
    a = list(a)
    perm = list(range(n))
    for j in range(n):
        p, best = j, abs(a[j * n + j])
        for r in range(j + 1, n):
            v = abs(a[r * n + j])
            if v > best:
                p, best = r, v
        if best == 0.0:
            return False, None, None, []
        if p != j:
            for c in range(n):
                a[j * n + c], a[p * n + c] = a[p * n + c], a[j * n + c]
            perm[j], perm[p] = perm[p], perm[j]
        for r in range(j + 1, n):
            f = a[r * n + j] / a[j * n + j]
            a[r * n + j] = f
            for c in range(j + 1, n):
                a[r * n + c] = a[r * n + c] - a[j * n + c] * f
    x = [b[perm[i]] for i in range(n)]
    for i in range(n):
        for k in range(i):
            x[i] = x[i] - a[i * n + k] * x[k]
    for i in range(n - 1, -1, -1):
        s = x[i]
        for c in range(i + 1, n):
            s = s - a[i * n + c] * x[c]
        x[i] = s / a[i * n + i]
    return True, a, perm, x


def bits(values):
    return struct.pack(f"<{len(values)}d", *values)


# --- LU solve ------------------------------------------------------------------------------

@pytest.mark.parametrize("n", [1, 2, 3, 5, 8, 17, 33])
@pytest.mark.parametrize("seed", range(4))
def test_solve_matches_numpy_on_well_conditioned_systems(n, seed):
    rng = np.random.default_rng(seed * 100 + n)
    a = rng.normal(size=(n, n)) + n * np.eye(n) * rng.choice([-1, 1], size=n)
    a = a[rng.permutation(n)]  # pivoting has real work to do
    b = rng.normal(size=n)
    ok, _, perm, x = th.lu_solve(a.ravel().tolist(), n, b.tolist())
    assert ok and sorted(perm) == list(range(n))
    np.testing.assert_allclose(x, np.linalg.solve(a, b), rtol=1e-10, atol=1e-12)


@pytest.mark.parametrize("n", [2, 4, 17])
@pytest.mark.parametrize("seed", range(3))
def test_factor_and_solve_follow_the_fixed_operation_order(n, seed):
    # Same operations in the same order give the same bits: the contract that
    # makes seeded simulations reproducible.
    rng = np.random.default_rng(seed)
    a = (rng.normal(size=(n, n)) * 10.0 ** rng.integers(-3, 4, size=(n, n))).ravel().tolist()
    b = rng.normal(size=n).tolist()
    ok, lu, perm, x = th.lu_solve(a, n, b)
    rok, rlu, rperm, rx = lu_reference(a, n, b)
    assert ok == rok
    assert bits(lu) == bits(rlu) and perm == rperm and bits(x) == bits(rx)


def test_factors_reproduce_the_permuted_matrix():
    rng = np.random.default_rng(7)
    n = 6
    a = rng.normal(size=(n, n))
    ok, lu, perm, _ = th.lu_solve(a.ravel().tolist(), n, [0.0] * n)
    f = np.array(lu).reshape(n, n)
    lower = np.tril(f, -1) + np.eye(n)
    upper = np.triu(f)
    assert ok
    np.testing.assert_allclose(lower @ upper, a[perm], rtol=1e-12, atol=1e-12)


@pytest.mark.parametrize("g", [0.0, 0.6875, 1.375, -3.5, 1e300])
def test_two_by_two_ordinary_kriging_matrix_swaps_rows(g):
    ok, lu, perm, x = th.lu_solve([0.0, 1.0, 1.0, 0.0], 2, [g, 1.0])
    assert ok and perm == [1, 0]
    assert x == [1.0, g]
    assert lu == [1.0, 0.0, 0.0, 1.0]


@pytest.mark.parametrize("a, n", [
    ([0.0, 0.0, 0.0, 0.0], 2),                                  # all zero
    ([0.0, 1.0, 0.0, 2.0], 2),                                  # zero first column
    ([1.0, 2.0, 3.0, 1.0, 2.0, 3.0, 4.0, 5.0, 7.0], 3),          # two identical rows
    ([1.0, 2.0, 2.0, 4.0], 2),                                  # column zero after elimination
    ([0.0], 1),
])
def test_singular_matrices_are_reported(a, n):
    ok, _, _, x = th.lu_solve(a, n, [1.0] * n)
    assert ok is False and x == []


def test_duplicate_datum_makes_the_kriging_system_singular():
    # Two data at one location: identical rows (and columns) in the matrix.
    g = 0.7
    a = [0.0, 0.0, g, 1.0,
         0.0, 0.0, g, 1.0,
         g, g, 0.0, 1.0,
         1.0, 1.0, 1.0, 0.0]
    ok, *_ = th.lu_solve(a, 4, [0.3, 0.3, 0.5, 1.0])
    assert ok is False


def test_tiny_pivot_is_accepted_without_tolerance():
    ok, _, perm, x = th.lu_solve([5e-324, 0.0, 0.0, 5e-324], 2, [5e-324, 5e-324])
    assert ok and perm == [0, 1] and x == [1.0, 1.0]


def test_first_of_equal_maxima_is_the_pivot():
    # |-2| ties with |2| below the diagonal: the earlier row (the diagonal) stays.
    ok, _, perm, _ = th.lu_solve([-2.0, 1.0, 0.0, 2.0, 3.0, 1.0, 2.0, 0.0, 4.0], 3, [1.0, 1.0, 1.0])
    assert ok and perm[0] == 0
    ok, _, perm, _ = th.lu_solve([1.0, 1.0, 0.0, 2.0, 3.0, 1.0, -2.0, 0.0, 4.0], 3, [1.0, 1.0, 1.0])
    assert ok and perm[0] == 1


def test_nan_pivot_does_not_stop_the_factorisation():
    ok, _, _, x = th.lu_solve([math.nan, 1.0, 1.0, 1.0], 2, [1.0, 1.0])
    assert ok is True and len(x) == 2 and all(math.isnan(v) for v in x)


@settings(max_examples=60, deadline=None)
@given(st.integers(1, 9).flatmap(lambda n: st.tuples(
    st.just(n),
    st.lists(st.floats(-1e6, 1e6, allow_nan=False).map(lambda v: round(v, 2)), min_size=n * n, max_size=n * n),
    st.lists(st.floats(-1e3, 1e3, allow_nan=False), min_size=n, max_size=n))))
def test_any_system_is_solved_bit_for_bit_like_the_reference(case):
    n, a, b = case
    ok, lu, perm, x = th.lu_solve(a, n, b)
    rok, rlu, rperm, rx = lu_reference(a, n, b)
    assert ok == rok
    if ok:
        assert bits(lu) == bits(rlu) and perm == rperm and bits(x) == bits(rx)


# --- coincident data -----------------------------------------------------------------------

def dedup_reference(points):
    sums, counts, order, first = {}, {}, [], {}
    for x, y, z in points:
        key = struct.pack("<dd", x + 0.0, y + 0.0)
        if key not in sums:
            sums[key], counts[key], first[key] = z, 1, (x, y)
            order.append(key)
        else:
            sums[key] += z
            counts[key] += 1
    return [[first[k][0], first[k][1], sums[k] / counts[k]] for k in order]


def test_dedup_merges_the_origin_and_keeps_first_occurrence_order():
    out = th.dedup_coincident([(0, 0, 1), (1, 0, 5), (0, 0, 3), (-0.0, 0, 2)])
    assert out == [[0.0, 0.0, 2.0], [1.0, 0.0, 5.0]]


@pytest.mark.parametrize("points, expected", [
    ([(0.0, 0.0, 1.0), (1e-12, 0.0, 3.0)], [[0.0, 0.0, 1.0], [1e-12, 0.0, 3.0]]),   # no tolerance
    ([(0.0, 1e-12, 1.0), (0.0, 0.0, 3.0)], [[0.0, 1e-12, 1.0], [0.0, 0.0, 3.0]]),
    ([(-0.0, -0.0, 4.0), (0.0, 0.0, 6.0)], [[-0.0, -0.0, 5.0]]),                    # first x, y kept
    ([(2.0, 3.0, 7.0)], [[2.0, 3.0, 7.0]]),
    ([(1.0, 1.0, 1.0), (1.0, 2.0, 2.0), (2.0, 1.0, 3.0)], [[1.0, 1.0, 1.0], [1.0, 2.0, 2.0], [2.0, 1.0, 3.0]]),
    ([(5.0, 5.0, 1.0)] * 3 + [(5.0, 5.0, 2.0)], [[5.0, 5.0, 1.25]]),
])
def test_dedup_cases(points, expected):
    out = th.dedup_coincident(points)
    assert out == expected
    assert [math.copysign(1.0, v) for p in out for v in p] == [math.copysign(1.0, v) for p in expected for v in p]


def test_dedup_keeps_single_values_bit_for_bit():
    out = th.dedup_coincident([(0.0, 0.0, -0.0), (1.0, 0.0, 0.1)])
    assert math.copysign(1.0, out[0][2]) == -1.0 and out[1][2] == 0.1


@settings(max_examples=80, deadline=None)
@given(st.lists(st.tuples(st.sampled_from([0.0, -0.0, 1.0, 2.5, -1.0, 1e-300]),
                          st.sampled_from([0.0, -0.0, 3.0, 1e300]),
                          st.floats(-1e3, 1e3, allow_nan=False)), min_size=1, max_size=40))
def test_dedup_matches_a_bit_pattern_oracle(points):
    assert bits(sum(th.dedup_coincident(points), [])) == bits(sum(dedup_reference(points), []))
