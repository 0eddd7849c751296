"""NormalScore: the rank transform to normal scores and back, and the shared
piecewise-linear lookup with flat tails."""

import math
import random

import pytest

from oracles import same
from sgs_reference import interp, nscore_fit
from conftest import require_testhooks

th = require_testhooks()


def test_documented_tables():
    values, scores = th.nscore_fit([3, 1, 2])
    assert values == [1.0, 2.0, 3.0]
    assert scores == [th.phi_inv(1 / 6), 0.0, th.phi_inv(5 / 6)]
    assert scores == pytest.approx([-0.967422, 0.0, 0.967422], abs=1e-6)
    values, scores = th.nscore_fit([1, 1, 2])
    assert values == [1.0, 2.0]
    assert scores == [(th.phi_inv(1 / 6) + th.phi_inv(0.5)) / 2, th.phi_inv(5 / 6)]
    assert scores == pytest.approx([-0.483711, 0.967422], abs=1e-6)


@pytest.mark.parametrize("data", [[7.0], [5.0] * 3, [-2.5] * 7, [0.0] * 10])
def test_one_entry_tables_have_score_zero(data):
    assert th.nscore_fit(data) == ([data[0]], [0.0])
    # every score maps back to the one value
    assert th.nscore_interp([0.0], [data[0]], [-9.0, 0.0, 3.0, math.nan]) == [data[0]] * 4


@pytest.mark.parametrize(
    "xs, ys, x, expected",
    [
        ([1, 2], [-1, 1], [1.5, 0, 5, 1, 2], [0.0, -1.0, 1.0, -1.0, 1.0]),
        ([-1, 1], [1, 2], [-5, -1, 0, 0.5], [1.0, 1.0, 1.5, 1.75]),
        ([0, 1, 3], [0, 10, 30], [2.0, 3.0, 0.25], [20.0, 30.0, 2.5]),
    ],
)
def test_interp_flat_tails_and_linear_inside(xs, ys, x, expected):
    assert th.nscore_interp(xs, ys, x) == expected


def test_interp_nan_query_gives_nan():
    assert math.isnan(th.nscore_interp([0, 1], [0, 1], [math.nan])[0])


@pytest.mark.parametrize(
    "data, message",
    [
        ([], "empty input: NormalScore::fit: no data"),
        ([1.0, math.nan], "invalid argument: NormalScore::fit: data must be finite"),
        ([math.inf, 1.0], "invalid argument: NormalScore::fit: data must be finite"),
        ([-math.inf], "invalid argument: NormalScore::fit: data must be finite"),
    ],
)
def test_fit_errors(data, message):
    with pytest.raises(ValueError) as e:
        th.nscore_fit(data)
    assert str(e.value) == message


def _datasets():
    rnd = random.Random(4321)
    for case in range(40):
        n = rnd.randint(1, 60)
        if case % 3 == 0:  # many ties
            data = [float(rnd.randint(-3, 3)) for _ in range(n)]
        else:
            data = [rnd.gauss(10.0, 4.0) for _ in range(n)]
        yield data


@pytest.mark.parametrize("data", list(_datasets()))
def test_fit_and_round_trip_match_the_reference(data):
    values, scores = th.nscore_fit(data)
    ref_values, ref_scores = nscore_fit(data, th.phi_inv)
    assert values == ref_values
    assert all(same(a, b) for a, b in zip(scores, ref_scores)) and len(scores) == len(ref_scores)
    assert all(a < b for a, b in zip(values, values[1:]))
    assert all(a < b for a, b in zip(scores, scores[1:]))
    # forward then back returns every datum exactly
    forward = th.nscore_interp(values, scores, data)
    assert th.nscore_interp(scores, values, forward) == data
    # arbitrary queries, both directions, against the reference lookup
    rnd = random.Random(len(data))
    qs = [rnd.uniform(min(data) - 1, max(data) + 1) for _ in range(50)]
    assert th.nscore_interp(values, scores, qs) == [interp(values, scores, q) for q in qs]
    ss = [rnd.gauss(0.0, 1.5) for _ in range(50)]
    back = th.nscore_interp(scores, values, ss)
    assert back == [interp(scores, values, s) for s in ss]
    assert all(min(data) <= b <= max(data) for b in back)
