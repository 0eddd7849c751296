"""NormalScoreTransform: the table and lookup of the simulation bit for bit,
the round trip, and sgs as the back transform of its score field."""

import math
import random

import numpy as np
import pytest

import zaviktools as zk
from sgs_reference import interp
from zaviktools import _testhooks as th


def datasets():
    rnd = random.Random(97)
    for case in range(24):
        n = rnd.randint(1, 300)
        if case % 3 == 0:  # many ties
            yield [float(rnd.randint(-4, 4)) for _ in range(n)]
        elif case % 3 == 1:
            yield [rnd.lognormvariate(0.0, 2.0) for _ in range(n)]
        else:
            yield [rnd.gauss(-50.0, 1e-3) for _ in range(n)]
    yield [7.0] * 5


@pytest.mark.parametrize("data", list(datasets()), ids=lambda d: f"n{len(d)}")
def test_table_lookup_and_round_trip(data):
    ns = zk.NormalScoreTransform(np.array(data).reshape(-1, 1) if len(data) % 2 else data)
    values, scores = th.nscore_fit(data)
    assert ns.values.tolist() == values and ns.scores.tolist() == scores and len(ns) == len(values)
    assert not ns.values.flags.writeable and not ns.scores.flags.writeable
    # the round trip returns every datum exactly
    forward = ns.forward(data)
    assert ns.backward(forward).tolist() == data
    # off the table: the simulation's own lookup (and the reference), flat tails, NaN kept
    rnd = np.random.default_rng(len(data))
    x = np.concatenate([rnd.uniform(min(data) - 1, max(data) + 1, 50), [math.inf, -math.inf]])
    y = np.concatenate([rnd.normal(0.0, 1.5, 50), [math.inf, -math.inf]])
    assert ns.forward(x).tolist() == th.nscore_interp(values, scores, x) == [interp(values, scores, v) for v in x]
    assert ns.backward(y).tolist() == th.nscore_interp(scores, values, y) == [interp(scores, values, v) for v in y]
    assert math.isnan(ns.forward(math.nan)) and math.isnan(ns.backward([math.nan])[0])
    assert min(data) <= ns.backward(y).min() and ns.backward(y).max() <= max(data)


def test_shapes_and_writeable_results():
    ns = zk.NormalScoreTransform([3.0, 1.0, 2.0])
    assert ns.forward(2.0).shape == () and float(ns.forward(2.0)) == 0.0
    grid = (np.arange(12.0).reshape(3, 4) / 4)[:, ::2]  # not contiguous
    out = ns.forward(grid)
    assert out.shape == (3, 2) and out.flags.writeable
    assert out.tolist() == ns.forward(grid.ravel()).reshape(3, 2).tolist()
    big = np.random.default_rng(1).normal(size=300_000)  # spread over the worker threads
    assert ns.forward(big).tolist() == th.nscore_interp(ns.values, ns.scores, big)
    assert repr(ns) == "NormalScoreTransform(3 values from 1.0 to 3.0)"


@pytest.mark.parametrize("data, text", [
    ([], "empty input: NormalScore::fit: no data"),
    ([1.0, 2.0, math.nan], "invalid argument: NormalScore::fit: value 2 is not finite"),
    ([[1.0, -math.inf], [0.0, 1.0]], "invalid argument: NormalScore::fit: value 1 is not finite"),
])
def test_fit_checks(data, text):
    with pytest.raises(ValueError) as info:
        zk.NormalScoreTransform(data)
    assert str(info.value) == text


VARIOGRAMS = [
    zk.Variogram("sph", 0.05, 0.95, 30.0),
    zk.Variogram("exp", 0.0, 1.0, 20.0),
    zk.AnisotropicVariogram("exp", 40.0, 10.0, 5.0, 60.0, sill=0.9, nugget=0.1),
]


@pytest.mark.parametrize("variogram", VARIOGRAMS, ids=repr)
@pytest.mark.parametrize("seed", [1, 2024])
def test_sgs_is_the_back_transform_of_its_score_field(variogram, seed):
    rng = np.random.default_rng(seed)
    lat = zk.Lattice(0.0, 0.0, 2.0, 2.0, 30, 25, rotation_deg=10.0)
    data = np.column_stack([rng.uniform(0.0, 50.0, (40, 2)), rng.lognormal(size=40)])
    data[5:10, 2] = data[0, 2]  # ties share a score
    data[12] = [data[13, 0], data[13, 1], 9.0]  # two data on one spot
    data[14, :2] = [1e6, 1e6]  # off the lattice: in the table, not in the field
    scores = zk.sgs_scores(data, lat, variogram, 12, 30.0, seed)
    field, shape = zk.sgs_flat(data.tolist(), lat, variogram, 12, 30.0, seed)
    ns = zk.NormalScoreTransform(data[:, 2])
    assert scores.shape == shape == (30, 25)
    assert ns.backward(scores).tobytes() == field
    # at the data's nodes the field holds their forward scores
    col, row = 3, 4
    x, y = lat.node_xy(col, row)
    data[0, :2] = [x, y]
    scores = zk.sgs_scores(data, lat, variogram, 12, 30.0, seed)
    assert scores[col, row] == ns.forward(data[0, 2])


@pytest.mark.parametrize("coords, k, radius, variogram", [
    ([], 4, 30.0, VARIOGRAMS[0]),
    ([[0.0, 0.0, 1.0]], 0, 30.0, VARIOGRAMS[0]),
    ([[0.0, 0.0, 1.0]], 4, math.nan, VARIOGRAMS[2]),
    ([[0.0, 0.0, 1.0], [1.0, 1.0, math.inf]], 4, 30.0, VARIOGRAMS[1]),
    ([[1e6, 0.0, 1.0]], 4, 30.0, VARIOGRAMS[0]),
    ([[0.0, 0.0, 1.0]], 4, 30.0, "spherical"),
])
def test_sgs_scores_fails_as_sgs_does(coords, k, radius, variogram):
    lat = zk.Lattice(0.0, 0.0, 2.0, 2.0, 10, 10)
    with pytest.raises(ValueError) as expected:
        zk.sgs_flat(coords, lat, variogram, k, radius, 1)
    with pytest.raises(ValueError) as got:
        zk.sgs_scores(coords, lat, variogram, k, radius, 1)
    assert str(got.value) == str(expected.value)


def test_any_numeric_input_reads_as_float64():
    data = np.array([5, 1, 3, 3], dtype=">i4")
    ns = zk.NormalScoreTransform(data)
    assert ns.values.tolist() == [1.0, 3.0, 5.0]
    assert ns.forward(np.array([3.0], dtype=">f8")).tolist() == ns.forward([3]).tolist() == [ns.scores[1]]
    assert ns.backward(range(-1, 2)).tolist() == ns.backward([-1.0, 0.0, 1.0]).tolist()
