"""polygon_mask: the inside test of well placement at every lattice node,
against the pure-Python reference, and its input checks."""

import math

import numpy as np
import pytest

import zaviktools as zk
from wells_reference import inside


def star(rng, k, cx, cy, r):
    # a random star-shaped ring, with crossings when shuffled
    angles = np.sort(rng.uniform(0, 2 * math.pi, k))
    radii = rng.uniform(0.3 * r, r, k)
    return np.column_stack([cx + radii * np.cos(angles), cy + radii * np.sin(angles)])


@pytest.mark.parametrize("case", range(8))
def test_mask_is_the_placement_inside_test_at_every_node(case):
    rng = np.random.default_rng(case)
    ring = star(rng, 5 + 7 * case, 40.0, 30.0, 35.0)
    if case % 4 == 3:
        ring = ring[rng.permutation(len(ring))]  # self-intersecting: even-odd
    # from the ring's centre outwards, in every direction
    lat = zk.Lattice(38.0, 31.0, 2.5, 1.5, 37, 45, rotation_deg=25.0 * case, yflip=case % 2 == 1)
    mask = zk.polygon_mask(ring, lat)
    expected = [[inside(ring.tolist(), *lat.node_xy(i, j)) for j in range(lat.nrow)] for i in range(lat.ncol)]
    assert mask.shape == (37, 45) and mask.dtype == np.bool_ and mask.flags.writeable
    assert mask.tolist() == expected and 0 < mask.sum() < mask.size


def test_placed_wells_fall_in_marked_cells_and_large_masks():
    ring = [[0.0, 0.0], [100.0, 20.0], [60.0, 90.0], [10.0, 70.0]]
    lat = zk.Lattice(0.0, 0.0, 0.1, 0.1, 1001, 1001)  # spread over the worker threads
    mask = zk.polygon_mask(ring, lat)
    wells = np.array(zk.place_wells_in_polygon(ring, 200, 3))
    # a well in a cell whose four corners are all inside or all outside agrees with them
    i, j = (wells // 0.1).astype(int).T
    corners = mask[i, j] & mask[i + 1, j] & mask[i, j + 1] & mask[i + 1, j + 1]
    assert corners.mean() > 0.9 and not (~mask[i, j] & ~mask[i + 1, j + 1] & ~mask[i + 1, j] & ~mask[i, j + 1]).any()
    sub = (slice(0, 1001, 50), slice(0, 1001, 50))
    assert mask[sub].tolist() == [[inside(ring, *lat.node_xy(a, b)) for b in range(0, 1001, 50)]
                                  for a in range(0, 1001, 50)]


def test_rings_without_area_and_empty_lattices():
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 4, 3)
    assert not zk.polygon_mask([[0, 1], [5, 1], [2, 1]], lat).any()  # all on one horizontal line
    assert zk.polygon_mask([[0, 0], [5, 0], [0, 5]], zk.Lattice(0.0, 0.0, 1.0, 1.0, 0, 3)).shape == (0, 3)


@pytest.mark.parametrize("ring, text", [
    ([[0, 0], [1, 1]], "invalid argument: polygon_mask: polygon needs >= 3 vertices"),
    ([], "invalid argument: polygon_mask: polygon needs >= 3 vertices"),
    ([[0, 0], [1, 0], [1, math.nan], [0, 1]], "invalid argument: polygon_mask: vertex 2 is not finite"),
    ([[0, 0], [math.inf, 0], [0, 1]], "invalid argument: polygon_mask: vertex 1 is not finite"),
    ([[0, 0, 0], [1, 0, 0], [0, 1, 0]], "ring must be an (N, 2) array of [x, y] rows, got shape (3, 3)"),
])
def test_input_checks(ring, text):
    with pytest.raises(ValueError) as info:
        zk.polygon_mask(ring, zk.Lattice(0.0, 0.0, 1.0, 1.0, 4, 3))
    assert str(info.value) == text


def test_sizes_no_machine_holds():
    with pytest.raises(ValueError) as info:
        zk.polygon_mask([[0, 0], [1, 0], [0, 1]], zk.Lattice(0.0, 0.0, 1.0, 1.0, 2**32, 2**32))
    assert str(info.value) == "invalid argument: polygon_mask: 4294967296×4294967296 nodes exceed the addressable size"
