"""lattice_from_axes and node_coordinates: bit equality with Lattice.node_xy
over generated rotated and flipped lattices, axes in their usual numpy forms,
and the refusals."""

import numpy as np
import pytest

import zaviktools as zk


def lattices():
    rng = np.random.default_rng(11)
    rotations = [0.0, 90.0, 180.0, 270.0, -1e-20, -360.0, 30.0, 123.456, 359.9]
    for k, rot in enumerate(rotations):
        xori, yori = rng.uniform(-1e6, 7e6, 2)
        xinc, yinc = rng.uniform(0.1, 60.0, 2) * (-1 if k == 3 else 1)
        yield zk.Lattice(float(xori), float(yori), float(xinc), float(yinc), 1 + k % 4 * 5, 3 + k, rotation_deg=rot,
                         yflip=bool(k % 2))
    yield zk.Lattice(0, 0, 1, 1, 0, 4)


@pytest.mark.parametrize("lattice", list(lattices()), ids=repr)
def test_node_coordinates_equal_node_xy_bit_for_bit(lattice):
    X, Y = zk.node_coordinates(lattice)
    assert X.shape == Y.shape == (lattice.ncol, lattice.nrow) and X.dtype == np.float64
    expected = np.array([[lattice.node_xy(i, j) for j in range(lattice.nrow)] for i in range(lattice.ncol)])
    got = np.stack([X, Y], axis=-1)
    assert got.tobytes() == expected.reshape(got.shape).tobytes()


@pytest.mark.parametrize("x, y, flip", [
    (np.arange(431000.0, 432000.0, 25.0), np.arange(6521000.0, 6520500.0, -12.5), True),
    (np.linspace(0.0, 1.0, 11), np.linspace(-3.0, 3.0, 7), False),
    (np.arange(10, dtype=np.int32) * 3, [5, 7, 9], False),
    (np.arange(200, dtype=np.float32) * np.float32(0.1) + np.float32(1000), np.array([0.0, 1.0]), False),
    ([0.0, 2.5], [1.0, 0.0], True),
])
def test_axes_become_the_lattice_nodes(x, y, flip):
    lat = zk.lattice_from_axes(x, y)
    assert (lat.ncol, lat.nrow, lat.yflip, lat.rotation_deg) == (len(x), len(y), flip, 0.0)
    assert lat.xinc > 0 and lat.yinc > 0
    X, Y = zk.node_coordinates(lat)
    gx, gy = np.meshgrid(np.asarray(x, np.float64), np.asarray(y, np.float64), indexing="ij")
    scale = max(np.abs(gx).max(), np.abs(gy).max())
    # Within the tolerance: a millionth of a cell plus the axis' own rounding.
    assert np.abs(X - gx).max() <= 1e-6 * lat.xinc + 8 * np.spacing(np.float32(scale) if np.asarray(x).dtype == np.float32 else scale)
    assert np.abs(Y - gy).max() <= 1e-6 * lat.yinc + 8 * np.spacing(scale)
    assert (X[0, 0], Y[0, 0]) == (float(np.asarray(x)[0]), float(np.asarray(y)[0]))


def test_regularity_tolerance_is_relative_to_the_spacing():
    x = np.arange(100) * 25.0 + 431000.0
    x[40] += 25.0 * 0.9e-6
    assert zk.lattice_from_axes(x, [0, 1]).xinc == pytest.approx(25.0)
    x[40] += 25.0 * 0.2e-6
    with pytest.raises(ValueError, match=r"^lattice_from_axes: x is not evenly spaced: x\[40\] = 432000.0000275 lies "):
        zk.lattice_from_axes(x, [0, 1])
    assert zk.lattice_from_axes(x, [0, 1], rtol=1e-5).ncol == 100


@pytest.mark.parametrize("x, y, kwargs, error, text", [
    ([1.0], [0, 1], {}, ValueError, "x has 1 point; at least 2 are needed to define a spacing"),
    ([0, 1], [], {}, ValueError, "y has 0 points; at least 2 are needed to define a spacing"),
    ([[0, 1], [2, 3]], [0, 1], {}, ValueError, "x must be one-dimensional, got shape (2, 2)"),
    ([0, 1, np.nan], [0, 1], {}, ValueError, "x[2] is nan; coordinates must be finite"),
    ([0, 1], [0, np.inf], {}, ValueError, "y[1] is inf; coordinates must be finite"),
    ([0, 1, 1, 2], [0, 1], {}, ValueError, "x repeats a coordinate; it must be strictly monotonic"),
    ([0, 0], [0, 1], {}, ValueError, "x repeats a coordinate; it must be strictly monotonic"),
    ([0, 1, 3], [0, 1], {}, ValueError, "x is not evenly spaced: x[1] = 1.0 lies 0.5 from 1.5"),
    ([3, 2, 1], [0, 1], {}, ValueError, "x decreases; reverse it together with the field's first axis"),
    (["a", "b"], [0, 1], {}, TypeError, "x must hold real numbers, not <U1"),
    ([0, 1], [0, 1], {"rtol": -1e-3}, ValueError, "rtol must be a real in [0, 1), got -0.001"),
    ([0, 1], [0, 1], {"rtol": True}, ValueError, "rtol must be a real in [0, 1), got True"),
    ([-1e308, 1e308], [0, 1], {}, ValueError, "the spacing of x overflows"),
])
def test_axes_refused(x, y, kwargs, error, text):
    with pytest.raises(error) as info:
        zk.lattice_from_axes(x, y, **kwargs)
    assert str(info.value).startswith("lattice_from_axes: " + text)


def test_node_coordinates_refuses_what_cannot_be_held():
    with pytest.raises(TypeError, match="^node_coordinates: lattice must be a Lattice, not tuple$"):
        zk.node_coordinates((0, 0, 1, 1, 2, 2))
    with pytest.raises(ValueError, match=r"^node_coordinates: two 1099511627776\u00d71099511627776 arrays: needs \d+ "
                                         "bytes, beyond any address space$"):
        zk.node_coordinates(zk.Lattice(0, 0, 1, 1, 2**40, 2**40))
    with pytest.raises(MemoryError, match=r"^node_coordinates: two 1048576\u00d71048576 arrays: needs about 17592\.2 GB "
                                          "of memory for its result and working storage, more than "):
        zk.node_coordinates(zk.Lattice(0, 0, 1, 1, 2**20, 2**20))
