"""resample / resample_flat: method names, grid checks, geometry errors, the hole
rules, and agreement with an independent numpy bilinear reference on random
rotated and flipped lattice pairs."""

import inspect
import math
import struct

import numpy as np
import pytest

import zaviktools as zk

NAN = float("nan")
INF = float("inf")
DEG = 0.017453292519943295


def flat(grid):
    return np.ascontiguousarray(grid, "<f8").tobytes()


def from_flat(result):
    buf, (nc, nr) = result
    return np.frombuffer(buf, "<f8").reshape(nc, nr)


def bits(a):
    return np.asarray(a, "<f8").view("<u8")


def both(grid, src, target, method="bilinear"):
    """The nested and flat crossings, checked to agree bit for bit."""
    nested = np.array(zk.resample(np.asarray(grid).tolist(), src, target, method), dtype=float)
    flat_out = from_flat(zk.resample_flat(flat(grid), src, target, method))
    nested = nested.reshape(target.ncol, target.nrow)
    assert np.array_equal(bits(nested), bits(flat_out))
    return flat_out


# --------------------------------------------------------------------------- independent reference


def world_of_nodes(lat):
    s, c = math.sin(lat.rotation_deg * DEG), math.cos(lat.rotation_deg * DEG)
    i, j = np.meshgrid(np.arange(lat.ncol, dtype=float), np.arange(lat.nrow, dtype=float), indexing="ij")
    jy = -lat.yinc if not lat.yflip else lat.yinc
    x = (i * (c * lat.xinc) + lat.xori) + (s * jy) * j
    y = (i * (s * lat.xinc) + lat.yori) + (c * (-jy)) * j
    return x, y


def reference(grid, src, target, method):
    """Bilinear / nearest reading of `grid` (on `src`) at the target nodes."""
    grid = np.asarray(grid, float)
    x, y = world_of_nodes(target)
    s, c = math.sin(src.rotation_deg * DEG), math.cos(src.rotation_deg * DEG)
    dx, dy = x - src.xori, y - src.yori
    fi = (dy * s + dx * c) / src.xinc
    v = dy * c - dx * s
    fj = (-v if src.yflip else v) / src.yinc
    for f in (fi, fj):
        r = np.rint(f)
        near = np.abs(f - r) <= 1e-9
        f[near] = r[near]
    inside = (fi >= 0) & (fi <= src.ncol - 1) & (fj >= 0) & (fj <= src.nrow - 1)
    out = np.full(fi.shape, np.nan)
    fi, fj = fi[inside], fj[inside]
    a, b = np.floor(fi).astype(int), np.floor(fj).astype(int)
    tx, ty = fi - a, fj - b
    ri, rj = a + (tx >= 0.5), b + (ty >= 0.5)
    if method == "nearest":
        out[inside] = grid[ri, rj]
        return out
    a1, b1 = np.minimum(a + 1, src.ncol - 1), np.minimum(b + 1, src.nrow - 1)
    corners = [(a, b, (1 - tx) * (1 - ty)), (a1, b, tx * (1 - ty)), (a, b1, (1 - tx) * ty), (a1, b1, tx * ty)]
    num = np.zeros(fi.shape)
    den = np.zeros(fi.shape)
    for ci, cj, w in corners:
        val = grid[ci, cj]
        ok = ~np.isnan(val) & (w > 0)
        num += np.where(ok, w * np.where(ok, val, 0.0), 0.0)
        den += np.where(ok, w, 0.0)
    with np.errstate(invalid="ignore", divide="ignore"):
        val = np.where(den > 0, num / den, np.nan)
    val[np.isnan(grid[ri, rj])] = np.nan
    out[inside] = val
    return out


def random_pair(seed):
    rng = np.random.default_rng(seed)
    nc, nr = rng.integers(1, 14, 2)
    rot = rng.choice([0.0, 90.0, 180.0, 270.0, -45.0, rng.uniform(-720, 720)])
    sx, sy = rng.uniform(0.5, 3.0, 2) * rng.choice([1, 1, 1, -1], 2)
    src = zk.Lattice(rng.uniform(-50, 50), rng.uniform(-50, 50), sx, sy, int(nc), int(nr),
                     rotation_deg=float(rot), yflip=bool(rng.integers(2)))
    cx, cy = src.intrinsic_to_world((nc - 1) / 2, (nr - 1) / 2)
    tnc, tnr = rng.integers(0, 16, 2)
    tinc = rng.uniform(0.2, 2.5, 2)
    target = zk.Lattice(cx + rng.normal(0, 3), cy + rng.normal(0, 3), tinc[0], tinc[1], int(tnc), int(tnr),
                        rotation_deg=float(rng.uniform(0, 360)), yflip=bool(rng.integers(2)))
    grid = rng.normal(0, 10, (nc, nr))
    grid[rng.random((nc, nr)) < 0.15] = np.nan
    return grid, src, target


@pytest.mark.parametrize("method", ["bilinear", "nearest"])
@pytest.mark.parametrize("seed", range(40))
def test_against_numpy_reference_on_random_lattice_pairs(seed, method):
    grid, src, target = random_pair(seed)
    out = both(grid, src, target, method)
    ref = reference(grid, src, target, method).reshape(out.shape)
    assert np.array_equal(np.isnan(out), np.isnan(ref))
    np.testing.assert_allclose(out, ref, rtol=1e-12, atol=1e-12)


@pytest.mark.parametrize("seed", range(6))
def test_reference_pairs_sample_defined_values(seed):
    # The random pairs overlap: the comparison above is not a NaN-against-NaN one.
    grid, src, target = random_pair(seed + 1000)
    grid = np.nan_to_num(grid, nan=1.0)
    target = zk.Lattice(*src.intrinsic_to_world(0.3, 0.3), abs(src.xinc) / 3, abs(src.yinc) / 3, 3, 3,
                        rotation_deg=src.rotation_deg, yflip=src.yflip)
    if src.ncol > 1 and src.nrow > 1 and src.xinc > 0 and src.yinc > 0:
        assert not np.isnan(both(grid, src, target)).any()


# --------------------------------------------------------------------------- interface


def test_signatures_and_docstrings():
    assert zk.resample.__text_signature__ == '(src_grid, src_georef, target, method="bilinear")'
    assert zk.resample_flat.__text_signature__ == '(src_grid, src_georef, target, method="bilinear")'
    assert str(inspect.signature(zk.resample)) == "(src_grid, src_georef, target, method='bilinear')"
    assert zk.resample.__doc__ == (
        "Resample `src_grid` (values on `src_georef`) onto `target`'s node lattice.\n"
        "`src_grid` is nested lists `field[col][row]` (`ncol × nrow`, `NaN` =\n"
        'undefined); `method` is `"bilinear"` (default) or `"nearest"`. Returns the\n'
        "`target.ncol × target.nrow` field as nested lists (`NaN` outside the source\n"
        "extent or where the null policy propagates a hole)."
    )
    assert zk.resample_flat.__doc__ == (
        "Flat crossing of [`resample`]: `src_grid` is a little-endian `f64` `bytes`\n"
        "buffer (`field[col][row]`, from `np.ascontiguousarray(a, '<f8').tobytes()`)\n"
        "matching `src_georef`; returns `(field_bytes, (ncol, nrow))` for the target.\n"
        "Both crossings are one `memcpy` (no boxed nested lists / per-cell floats).\n"
        "`np.frombuffer(field_bytes, dtype='<f8').reshape(ncol, nrow)`."
    )


def test_result_shapes():
    src = zk.Lattice(0, 0, 1, 1, 2, 3)
    target = zk.Lattice(0, 0, 0.5, 0.5, 4, 5)
    out = zk.resample([[0, 1, 2], [3, 4, 5]], src, target)
    assert isinstance(out, list) and len(out) == 4 and all(isinstance(c, list) and len(c) == 5 for c in out)
    buf, shape = zk.resample_flat(flat([[0, 1, 2], [3, 4, 5]]), src, target)
    assert isinstance(buf, bytes) and len(buf) == 4 * 5 * 8 and shape == (4, 5)
    assert type(shape[0]) is int
    again = zk.resample([[0, 1, 2], [3, 4, 5]], src_georef=src, target=target, method="linear")
    assert np.array_equal(bits(again), bits(out))


@pytest.mark.parametrize(
    "call, exc, text",
    [
        (lambda L: zk.resample([[1.0]], {}, L), TypeError,
         "argument 'src_georef': 'dict' object is not an instance of 'Lattice'"),
        (lambda L: zk.resample([[1.0]], L, None), TypeError, "argument 'target'"),
        (lambda L: zk.resample_flat([[1.0]], L, L), TypeError, "argument 'src_grid'"),
        (lambda L: zk.resample_flat(bytearray(8), L, L), TypeError, "argument 'src_grid'"),
        (lambda L: zk.resample("a", L, L), TypeError, "argument 'src_grid'"),
        (lambda L: zk.resample([[1.0]], L, L, method=None), TypeError, "argument 'method'"),
    ],
)
def test_argument_conversion_errors(call, exc, text):
    with pytest.raises(exc) as info:
        call(zk.Lattice(0, 0, 1, 1, 1, 1))
    assert text in str(info.value)


# --------------------------------------------------------------------------- method names


@pytest.mark.parametrize("name, as_name", [("bilinear", "bilinear"), ("linear", "bilinear"), (" Linear ", "bilinear"),
                                           ("BILINEAR", "bilinear"), ("nearest", "nearest"), ("NEAREST", "nearest"),
                                           ("nn", "nearest"), ("\tNn\n", "nearest")])
def test_method_names(name, as_name):
    src = zk.Lattice(0, 0, 1, 1, 3, 3)
    target = zk.Lattice(0.3, 0.6, 0.7, 0.7, 3, 3)
    grid = np.arange(9.0).reshape(3, 3)
    assert np.array_equal(both(grid, src, target, name), both(grid, src, target, as_name))


@pytest.mark.parametrize("fn", [zk.resample, zk.resample_flat])
@pytest.mark.parametrize("name, shown", [("cubic", "cubic"), (" CUBIC ", "cubic"), ("", ""), ("bi linear", "bi linear"),
                                         ("near\x00est", "near\x00est")])
def test_unknown_method(fn, name, shown):
    src = zk.Lattice(0, 0, 1, 1, 1, 1)
    grid = [[1.0]] if fn is zk.resample else flat([[1.0]])
    with pytest.raises(ValueError) as info:
        fn(grid, src, src, name)
    assert info.value.args == (f"unknown resample method '{shown}' (expected 'bilinear' or 'nearest')",)


@pytest.mark.parametrize("fn, grid", [(zk.resample, []), (zk.resample_flat, b"")])
def test_method_is_checked_before_the_grid(fn, grid):
    with pytest.raises(ValueError, match="^unknown resample method 'cubic'"):
        fn(grid, zk.Lattice(0, 0, 1, 1, 2, 3), zk.Lattice(0, 0, 1, 1, 2, 3), "cubic")


# --------------------------------------------------------------------------- grid checks


@pytest.mark.parametrize(
    "grid",
    [[], [[1, 2, 3]], [[1, 2, 3], [4, 5]], [[1, 2], [3, 4], [5, 6]], [[1, 2, 3], [4, 5, 6], [7, 8, 9]],
     [[1, 2, 3, 4], [5, 6, 7, 8]]],
)
def test_nested_grid_must_match_the_source_lattice(grid):
    src = zk.Lattice(0, 0, 1, 1, 2, 3)
    with pytest.raises(ValueError) as info:
        zk.resample(grid, src, src)
    assert info.value.args == ("src_grid must be a rectangular 2×3 (ncol×nrow) nested list matching src_georef",)


@pytest.mark.parametrize("size", [0, 40, 56, 48 * 2])
def test_flat_grid_must_match_the_source_lattice(size):
    src = zk.Lattice(0, 0, 1, 1, 2, 3)
    with pytest.raises(ValueError) as info:
        zk.resample_flat(bytes(size), src, src)
    assert info.value.args == (
        f"flat grid is {size} bytes, expected 2×3×8 = 48 (little-endian f64, field[col][row])",)


def test_flat_grid_shape_overflow():
    src = zk.Lattice(0, 0, 1, 1, 2**40, 2**40)
    with pytest.raises(ValueError, match="^flat grid shape overflow$"):
        zk.resample_flat(b"", src, src)


def test_flat_layout_is_column_major_row_fastest():
    src = zk.Lattice(0, 0, 1, 1, 2, 3)
    buf = struct.pack("<6d", 1, 2, 3, 4, 5, 6)  # [[1, 2, 3], [4, 5, 6]]
    out = from_flat(zk.resample_flat(buf, src, src))
    assert out.tolist() == [[1, 2, 3], [4, 5, 6]]
    assert zk.resample_flat(buf, src, src)[0] == buf


# --------------------------------------------------------------------------- geometry errors and degenerate cases


@pytest.mark.parametrize(
    "src, grid",
    [
        (zk.Lattice(0, 0, 0, 1, 2, 2), [[1, 2], [3, 4]]),
        (zk.Lattice(0, 0, 1, 0.0, 2, 2), [[1, 2], [3, 4]]),
        (zk.Lattice(0, 0, 1, -0.0, 2, 2), [[1, 2], [3, 4]]),
        (zk.Lattice(0, 0, 1, 1, 0, 2), []),
        (zk.Lattice(0, 0, 1, 1, 3, 0), [[], [], []]),
    ],
)
def test_degenerate_source_geometry(src, grid):
    target = zk.Lattice(0, 0, 1, 1, 2, 2)
    for fn, g in [(zk.resample, grid), (zk.resample_flat, flat(grid) if grid else b"")]:
        with pytest.raises(ValueError) as info:
            fn(g, src, target)
        assert info.value.args == (
            "invalid geometry: resample: degenerate source geometry (empty grid or zero node spacing)",)


@pytest.mark.parametrize(
    "src",
    [zk.Lattice(INF, 0, 1, 1, 2, 2), zk.Lattice(0, NAN, 1, 1, 2, 2), zk.Lattice(0, 0, NAN, 1, 2, 2),
     zk.Lattice(0, 0, 1, -INF, 2, 2)],
)
def test_non_finite_source_geometry_gives_all_nan(src):
    out = both([[1, 2], [3, 4]], src, zk.Lattice(0, 0, 1, 1, 3, 2))
    assert out.shape == (3, 2) and np.isnan(out).all()


@pytest.mark.parametrize("target", [zk.Lattice(INF, 0, 1, 1, 2, 2), zk.Lattice(0, 0, NAN, 1, 2, 2),
                                    zk.Lattice(0, 0, 1e308, 1e308, 3, 3, rotation_deg=45)])
def test_non_finite_target_positions_are_nan(target):
    src = zk.Lattice(0, 0, 1, 1, 2, 2)
    out = both([[1, 2], [3, 4]], src, target)
    if target.xinc == 1e308:
        assert out[0, 0] == 1.0 and np.isnan(out[1:, :]).all()
    else:
        assert np.isnan(out).all()


@pytest.mark.parametrize("nc, nr", [(0, 0), (0, 4), (3, 0)])
def test_target_without_nodes(nc, nr):
    src = zk.Lattice(0, 0, 1, 1, 1, 1)
    target = zk.Lattice(0, 0, 1, 1, nc, nr)
    assert zk.resample([[5.0]], src, target) == [[] for _ in range(nc)]
    assert zk.resample_flat(flat([[5.0]]), src, target) == (b"", (nc, nr))


def test_unallocatable_target_is_an_error_not_a_crash():
    src = zk.Lattice(0, 0, 1, 1, 1, 1)
    with pytest.raises(ValueError, match="^invalid argument: field: "):
        zk.resample_flat(flat([[5.0]]), src, zk.Lattice(0, 0, 1, 1, 2**40, 2**40))


# --------------------------------------------------------------------------- reading rules


@pytest.mark.parametrize("method", ["bilinear", "nearest"])
@pytest.mark.parametrize("src", [zk.Lattice(10, -5, 2, 3, 4, 5), zk.Lattice(10, -5, 2, 3, 4, 5, 33.3, True),
                                 zk.Lattice(1e6, 7e6, 25, 25, 6, 3, rotation_deg=-90),
                                 zk.Lattice(0, 0, -1.5, 0.5, 3, 4, rotation_deg=200, yflip=True)])
def test_onto_its_own_lattice_is_unchanged(src, method):
    rng = np.random.default_rng(3)
    grid = rng.normal(size=(src.ncol, src.nrow))
    grid[0, 1] = np.nan
    grid[1, 2] = -0.0
    grid[2, 0] = np.inf
    grid[2, 2] = -np.inf
    assert np.array_equal(bits(both(grid, src, src, method)), bits(grid))


@pytest.mark.parametrize("method", ["bilinear", "nearest"])
def test_last_column_and_row_are_inside(method):
    src = zk.Lattice(0, 0, 1, 1, 3, 4)
    grid = np.arange(12.0).reshape(3, 4)
    on_edge = zk.Lattice(2, 3, 1, 1, 1, 1)
    assert both(grid, src, on_edge, method)[0, 0] == 11.0
    edge_col = zk.Lattice(2, 0.5, 1, 1, 1, 1)
    assert both(grid, src, edge_col, method)[0, 0] == (8.5 if method == "bilinear" else 9.0)
    for beyond in [zk.Lattice(2.5, 1, 1, 1, 1, 1), zk.Lattice(1, 3.5, 1, 1, 1, 1), zk.Lattice(-0.5, 1, 1, 1, 1, 1),
                   zk.Lattice(1, -0.5, 1, 1, 1, 1), zk.Lattice(2 + 2e-9, 1, 1, 1, 1, 1)]:
        assert np.isnan(both(grid, src, beyond, method)[0, 0])


@pytest.mark.parametrize("offset", [1e-10, -1e-10, 9e-10, -9e-10])
def test_nodes_within_snap_distance_read_the_node(offset):
    src = zk.Lattice(0, 0, 1, 1, 3, 3)
    grid = np.arange(9.0).reshape(3, 3)
    for fi, fj in [(0, 0), (2, 2), (1, 2), (0, 1)]:
        target = zk.Lattice(fi + offset, fj - offset, 1, 1, 1, 1)
        assert both(grid, src, target)[0, 0] == grid[fi, fj]


def test_cell_centre():
    src = zk.Lattice(0, 0, 1, 1, 2, 2)
    centre = zk.Lattice(0.5, 0.5, 1, 1, 1, 1)
    grid = np.array([[0.0, 2.0], [1.0, 3.0]])  # [a][b]=0, [a1][b]=1, [a][b1]=2, [a1][b1]=3
    assert both(grid, src, centre)[0, 0] == 1.5
    # The centre rounds to [1][1] (halves away from zero).
    assert both(grid, src, centre, "nearest")[0, 0] == 3.0
    holed = grid.copy()
    holed[0, 0] = np.nan
    assert both(holed, src, centre)[0, 0] == pytest.approx((1 + 2 + 3) / 3, rel=1e-15)
    holed = grid.copy()
    holed[1, 1] = np.nan  # the nearest corner
    assert np.isnan(both(holed, src, centre)[0, 0])
    assert np.isnan(both(holed, src, centre, "nearest")[0, 0])


@pytest.mark.parametrize(
    "fi, fj, hole, expected",
    [
        (0.25, 0.25, (1, 1), (0.5625 * 0 + 0.1875 * 1 + 0.1875 * 2) / 0.9375),
        (0.25, 0.75, (1, 0), (0.1875 * 0 + 0.5625 * 2 + 0.1875 * 3) / 0.9375),
        (0.75, 0.25, (0, 0), (0.5625 * 1 + 0.0625 * 2 + 0.1875 * 3) / 0.8125),
    ],
)
def test_holes_renormalise_the_weights(fi, fj, hole, expected):
    src = zk.Lattice(0, 0, 1, 1, 2, 2)
    grid = np.array([[0.0, 2.0], [1.0, 3.0]])
    grid[hole] = np.nan
    assert both(grid, src, zk.Lattice(fi, fj, 1, 1, 1, 1))[0, 0] == pytest.approx(expected, rel=1e-15)


def test_holes_do_not_spread_beyond_their_cells():
    src = zk.Lattice(0, 0, 1, 1, 5, 5)
    grid = np.ones((5, 5))
    grid[2, 2] = np.nan
    target = zk.Lattice(0, 0, 0.25, 0.25, 17, 17)
    out = both(grid, src, target)
    near_hole = np.zeros((17, 17), bool)
    near_hole[6:10, 6:10] = True  # fi, fj in [1.5, 2.5): they round to node (2, 2)
    assert np.isnan(out[near_hole]).all()
    assert np.all(out[~near_hole] == 1.0)


def test_nearest_carries_holes_and_rounds_halves_away_from_zero():
    src = zk.Lattice(0, 0, 1, 1, 3, 1)
    grid = np.array([[1.0], [np.nan], [3.0]])
    target = zk.Lattice(0, 0, 0.5, 1, 5, 1)  # fi = 0, 0.5, 1, 1.5, 2
    out = both(grid, src, target, "nearest")[:, 0]
    assert np.array_equal(np.isnan(out), [False, True, True, False, False])
    assert out[0] == 1.0 and out[3] == 3.0 and out[4] == 3.0


def test_single_column_source_is_a_line():
    src = zk.Lattice(0, 0, 1, 1, 1, 3)
    grid = [[1.0, 2.0, 4.0]]
    target = zk.Lattice(0, 0, 0.5, 0.5, 2, 5)
    out = both(grid, src, target)
    assert out[0].tolist() == [1.0, 1.5, 2.0, 3.0, 4.0]
    assert np.isnan(out[1]).all()


def test_rotated_target_samples_the_same_world_points():
    rng = np.random.default_rng(8)
    src = zk.Lattice(0, 0, 1, 1, 12, 12)
    grid = rng.normal(size=(12, 12))
    grid[rng.random((12, 12)) < 0.1] = np.nan
    nc, nr, d, x0, y0 = 5, 7, 0.6, 8.2, 1.3
    rotated = zk.Lattice(x0, y0, d, d, nc, nr, rotation_deg=90)
    plain = zk.Lattice(x0 - (nr - 1) * d, y0, d, d, nr, nc)
    a = both(grid, src, rotated)
    b = both(grid, src, plain)
    # rotated node (i, j) sits at plain node (nr - 1 - j, i)
    b_as_a = b[::-1, :].T
    assert np.array_equal(np.isnan(a), np.isnan(b_as_a))
    np.testing.assert_allclose(a, b_as_a, rtol=1e-12, atol=1e-12)


def test_flipped_source_reads_rows_the_other_way():
    src_up = zk.Lattice(0, 0, 1, 1, 3, 4)
    src_down = zk.Lattice(0, 3, 1, 1, 3, 4, yflip=True)
    grid = np.arange(12.0).reshape(3, 4)
    target = zk.Lattice(0.25, 0.4, 0.5, 0.5, 5, 7)
    np.testing.assert_allclose(both(grid[:, ::-1], src_down, target), both(grid, src_up, target), rtol=1e-14)


@pytest.mark.parametrize(
    "grid_shape, lattice_shape, xinc, text",
    [
        ((3, 4), (4, 3), 1.0, "invalid argument: resample: src_grid shape (3, 4) does not match src_georef (4, 3)"),
        ((0, 0), (2, 2), 1.0, "invalid argument: resample: src_grid shape (0, 0) does not match src_georef (2, 2)"),
        ((3, 4), (4, 3), 0.0, "invalid argument: resample: src_grid shape (3, 4) does not match src_georef (4, 3)"),
        ((0, 5), (0, 5), 1.0,
         "invalid geometry: resample: degenerate source geometry (empty grid or zero node spacing)"),
    ],
)
def test_core_checks_shape_before_geometry(hooks, grid_shape, lattice_shape, xinc, text):
    with pytest.raises(ValueError) as info:
        hooks.resample_core_shapes(*grid_shape, *lattice_shape, xinc)
    assert info.value.args == (text,)
    assert hooks.resample_core_shapes(2, 3, 2, 3, 1.0) == (2, 3)
