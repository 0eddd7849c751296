"""Neighbourhood: k nearest entries within a radius, ordered by (squared
distance, insertion position), whatever shape the index has taken."""

import math

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from conftest import require_testhooks

th = require_testhooks()


def brute(points, payload, query, k, radius):
    """The complete oracle: every entry scanned, key (dx*dx + dy*dy, position)."""
    r2 = radius * radius
    keyed = []
    for pos, (x, y) in enumerate(points):
        dx, dy = x - query[0], y - query[1]
        d2 = dx * dx + dy * dy
        if d2 <= r2:
            keyed.append((d2, pos))
    keyed.sort()
    keyed = keyed[:k]
    return [payload[p] for _, p in keyed], [math.sqrt(d2) for d2, _ in keyed]


def query(points, queries, k, radius, bulk=None, payload=None):
    payload = list(range(len(points))) if payload is None else payload
    bulk = len(points) if bulk is None else bulk
    return th.neighbourhood_query([list(p) for p in points], payload, bulk, [list(q) for q in queries], k, radius)


def check_against_brute(points, queries, k, radius, bulk, payload=None):
    payload = list(range(len(points))) if payload is None else payload
    idx, dist = query(points, queries, k, radius, bulk, payload)
    for q, i, d in zip(queries, idx, dist):
        bi, bd = brute(points, payload, q, k, radius)
        assert i == bi, (q, k, radius)
        assert d == bd


# --- edge cases ----------------------------------------------------------------------------

@pytest.mark.parametrize("bulk", [0, None])
def test_empty_index_yields_nothing(bulk):
    assert query([], [(0.0, 0.0)], 5, 10.0, bulk=bulk) == ([[]], [[]])


@pytest.mark.parametrize("bulk", [0, 2, None])
@pytest.mark.parametrize("k, radius, expected", [
    (10, 2.0, [1.0, 2.0]),           # radius inclusive, nearest first
    (1, 2.0, [1.0]),                  # only the nearest
    (10, 0.5, []),                    # radius smaller than every distance
    (10, 3.0, [1.0, 2.0, 3.0]),
    (2, 100.0, [1.0, 2.0]),
    (0, 100.0, []),                   # no neighbours wanted
    (10, -2.0, [1.0, 2.0]),           # a negative radius squares to a positive limit
    (10, math.nan, []),
    (10, math.inf, [1.0, 2.0, 3.0]),
])
def test_distances_one_two_three(bulk, k, radius, expected):
    points = [(3.0, 0.0), (0.0, 1.0), (0.0, -2.0)]
    idx, dist = query(points, [(0.0, 0.0)], k, radius, bulk=bulk)
    assert dist == [expected]
    assert idx == [[1, 2, 0][:len(expected)]]


def test_query_point_itself_comes_first_with_distance_zero():
    points = [(1.0, 1.0), (2.0, 2.0), (1.5, 1.5)]
    idx, dist = query(points, [(2.0, 2.0)], 3, 10.0)
    assert idx == [[1, 2, 0]] and dist[0][0] == 0.0


@pytest.mark.parametrize("bulk", [0, 3, None])
def test_ties_go_to_the_earlier_insert_also_at_the_last_place(bulk):
    # Four entries at distance 1 from the origin, one at 0.5.
    points = [(0.0, -1.0), (1.0, 0.0), (0.0, 0.5), (-1.0, 0.0), (0.0, 1.0)]
    idx, _ = query(points, [(0.0, 0.0)], 3, 5.0, bulk=bulk)
    assert idx == [[2, 0, 1]]
    idx, _ = query(points, [(0.0, 0.0)], 5, 5.0, bulk=bulk)
    assert idx == [[2, 0, 1, 3, 4]]


def test_payload_indices_are_returned_and_ties_follow_insertion_not_payload():
    points = [(1.0, 0.0), (-1.0, 0.0), (0.0, 1.0)]
    idx, _ = query(points, [(0.0, 0.0)], 2, 5.0, payload=[70, 9, 40])
    assert idx == [[70, 9]]


@pytest.mark.parametrize("bulk", [0, 1, None])
def test_entries_with_nan_coordinates_are_never_found(bulk):
    points = [(math.nan, 0.0), (1.0, 1.0), (0.0, math.nan), (2.0, 2.0)]
    idx, _ = query(points, [(0.0, 0.0), (5.0, 5.0)], 10, math.inf, bulk=bulk)
    assert idx == [[1, 3], [3, 1]]


@pytest.mark.parametrize("q", [(math.nan, 0.0), (0.0, math.nan)])
def test_nan_query_finds_nothing(q):
    assert query([(0.0, 0.0), (1.0, 1.0)], [q], 5, math.inf) == ([[]], [[]])


@pytest.mark.parametrize("bulk", [0, None])
def test_infinite_query_and_entries_follow_the_plain_arithmetic(bulk):
    points = [(math.inf, 0.0), (0.0, 0.0), (-math.inf, 5.0), (1e308, 1e308)]
    queries = [(math.inf, 0.0), (0.0, 0.0), (-math.inf, -math.inf), (1e308, -1e308)]
    for radius in (1.0, 1e300, math.inf):
        check_against_brute(points, queries, 3, radius, bulk if bulk is not None else len(points))


def test_many_duplicates_pick_the_earliest_inserts():
    points = [(5.0, 5.0)] * 300 + [(5.0, 5.0 + 1e-9)] * 10
    for bulk in (0, 150, 310):
        idx, dist = query(points, [(5.0, 5.0), (5.0, 6.0)], 16, 10.0, bulk=bulk)
        assert idx[0] == list(range(16)) and dist[0] == [0.0] * 16
        assert idx[1] == list(range(300, 310)) + list(range(6))


# --- against the brute-force oracle --------------------------------------------------------

def lattice_cloud(rng, n, side):
    pts = rng.integers(0, side, size=(n, 2)).astype(float)
    dup = rng.integers(0, n, size=n // 4)
    pts[rng.integers(0, n, size=n // 4)] = pts[dup]       # exact duplicates
    return [tuple(p) for p in pts]


@pytest.mark.parametrize("mode", ["bulk", "insert", "mixed"])
@pytest.mark.parametrize("seed", range(6))
def test_lattice_clouds_with_ties_match_brute_force(mode, seed):
    rng = np.random.default_rng(seed)
    n = int(rng.integers(1, 2500))
    points = lattice_cloud(rng, n, int(rng.integers(3, 40)))
    bulk = {"bulk": n, "insert": 0, "mixed": int(rng.integers(0, n + 1))}[mode]
    side = max(max(p) for p in points) + 2
    queries = [tuple(q) for q in rng.integers(-2, int(side), size=(25, 2)) + rng.choice([0.0, 0.5], size=(25, 2))]
    for _ in range(3):
        k = int(rng.integers(1, 90))
        radius = float(rng.choice([rng.uniform(0.1, side), math.sqrt(int(rng.integers(1, 50)))]))
        check_against_brute(points, queries, k, radius, bulk)


@pytest.mark.parametrize("mode", ["bulk", "insert"])
def test_scattered_cloud_matches_brute_force(mode):
    rng = np.random.default_rng(11)
    pts = rng.uniform(-1e3, 1e3, size=(4000, 2))
    points = [tuple(p) for p in pts]
    queries = [tuple(q) for q in rng.uniform(-1.2e3, 1.2e3, size=(40, 2))] + points[:5]
    for k, radius in [(1, 50.0), (16, 200.0), (64, 1e4), (200, 150.0)]:
        check_against_brute(points, queries, k, radius, len(points) if mode == "bulk" else 0)


def test_results_do_not_depend_on_how_the_index_was_built():
    rng = np.random.default_rng(5)
    points = lattice_cloud(rng, 3000, 25)
    queries = [tuple(q) for q in rng.uniform(-1, 26, size=(60, 2))]
    results = {bulk: query(points, queries, 20, 6.0, bulk=bulk) for bulk in (0, 1, 1000, 2999, 3000)}
    assert len({repr(r) for r in results.values()}) == 1


coord = st.sampled_from([0.0, -0.0, 1.0, 2.0, 3.0, -1.0, 0.5, 1e-3, 7.0])


@settings(max_examples=150, deadline=None)
@given(points=st.lists(st.tuples(coord, coord), max_size=120),
       queries=st.lists(st.tuples(coord, coord), min_size=1, max_size=5),
       k=st.integers(0, 40),
       radius=st.one_of(st.sampled_from([0.0, 1.0, 2.0, math.sqrt(2.0), 5.0]), st.floats(0.0, 12.0)),
       split=st.floats(0.0, 1.0))
def test_hypothesis_clouds_match_brute_force(points, queries, k, radius, split):
    check_against_brute(points, queries, k, radius, int(split * len(points)))


@settings(max_examples=40, deadline=None)
@given(points=st.lists(st.tuples(st.floats(-1e6, 1e6), st.floats(-1e6, 1e6)), min_size=1, max_size=400),
       k=st.integers(1, 30), radius=st.floats(0.0, 3e6), split=st.floats(0.0, 1.0))
def test_hypothesis_real_clouds_match_brute_force(points, k, radius, split):
    queries = points[:3] + [(0.0, 0.0)]
    check_against_brute(points, queries, k, radius, int(split * len(points)))
