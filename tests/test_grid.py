"""Grid crossings: nested lists field[col][row] and flat little-endian f64 bytes."""

import math
import struct

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

from conftest import require_testhooks

th = require_testhooks()

SPECIALS = [math.nan, math.inf, -math.inf, -0.0, 0.0, 5e-324, -1.7976931348623157e308]


def pack(values):
    return struct.pack(f"<{len(values)}d", *values)


def nested_bits(nested):
    return [pack(col) for col in nested]


def size_message(length, ncol, nrow):
    return (f"flat grid is {length} bytes, expected {ncol}\u00d7{nrow}\u00d78 = {ncol * nrow * 8} "
            "(little-endian f64, field[col][row])")


# --- layout --------------------------------------------------------------------------------

def test_2x3_field_travels_in_field_order():
    a, b, c, d, e, f = 1.5, -2.0, 3.25, 4.0, 5e-300, 6.0
    buf, shape = th.grid_nested_to_flat([[a, b, c], [d, e, f]], 2, 3)
    assert shape == (2, 3) and type(shape[0]) is int
    assert buf == pack([a, b, c, d, e, f]) and len(buf) == 48
    assert np.array_equal(np.frombuffer(buf, "<f8").reshape(2, 3), np.array([[a, b, c], [d, e, f]]))


def test_specials_survive_both_crossings_bit_for_bit():
    nested = [SPECIALS, list(reversed(SPECIALS)), [float.fromhex("0x1.fffffffffffffp-1023")] * len(SPECIALS)]
    buf, shape = th.grid_nested_to_flat(nested, 3, len(SPECIALS))
    arr = np.frombuffer(buf, "<f8").reshape(shape)
    assert arr.tobytes() == np.array(nested, dtype="<f8").tobytes()
    assert nested_bits(th.grid_flat_to_rows(buf, *shape)) == nested_bits(nested)
    assert nested_bits(th.grid_nested_to_rows(nested, *shape)) == nested_bits(nested)
    assert th.grid_flat_to_flat(buf, *shape) == (buf, shape)


def test_quiet_nan_payloads_are_kept():
    odd_nan = struct.unpack("<d", struct.pack("<Q", 0x7FF8_0000_DEAD_BEEF))[0]
    buf = pack([odd_nan, -odd_nan])
    assert th.grid_flat_to_flat(buf, 1, 2)[0] == buf
    assert nested_bits(th.grid_flat_to_rows(buf, 2, 1)) == [pack([odd_nan]), pack([-odd_nan])]


@given(st.integers(0, 6), st.integers(0, 6), st.data())
def test_round_trips_match_numpy(ncol, nrow, data):
    values = data.draw(st.lists(st.floats(allow_nan=True, allow_infinity=True) | st.sampled_from(SPECIALS),
                                min_size=ncol * nrow, max_size=ncol * nrow))
    arr = np.array(values, dtype="<f8").reshape(ncol, nrow)
    nested = arr.tolist()
    buf, shape = th.grid_nested_to_flat(nested, ncol, nrow)
    assert shape == (ncol, nrow)
    assert buf == arr.tobytes()
    rows = th.grid_flat_to_rows(arr.tobytes(), ncol, nrow)
    assert len(rows) == ncol and all(len(col) == nrow for col in rows)
    assert np.array(rows, dtype="<f8").reshape(ncol, nrow).tobytes() == arr.tobytes()
    assert th.grid_flat_to_flat(buf, ncol, nrow)[0] == buf


def test_results_are_plain_python_objects():
    rows = th.grid_flat_to_rows(pack([1.0, 2.0]), 2, 1)
    assert type(rows) is list and all(type(c) is list for c in rows)
    assert all(type(v) is float for c in rows for v in c)
    out = th.grid_nested_to_flat([[1.0]], 1, 1)
    assert type(out) is tuple and type(out[0]) is bytes and type(out[1]) is tuple


def test_nested_columns_are_fresh_lists():
    rows = th.grid_nested_to_rows([[1.0, 2.0], [3.0, 4.0]], 2, 2)
    rows[0].append(9.0)
    assert len(rows[1]) == 2


def test_pair_of_fields():
    nested = [[1.0, -0.0, math.inf], [2.0, 3.0, math.nan]]
    first, second, shape = th.grid_flat_pair(nested, 2, 3)
    assert shape == (2, 3)
    assert first == np.array(nested, "<f8").tobytes()
    assert second == (-np.array(nested, "<f8")).tobytes()


# --- empty shapes --------------------------------------------------------------------------

@pytest.mark.parametrize("ncol, nrow", [(0, 0), (0, 5), (3, 0), (0, 2**64 - 1)])
def test_empty_fields(ncol, nrow):
    assert th.grid_flat_to_flat(b"", ncol, nrow) == (b"", (ncol, nrow))
    if ncol < 10:
        assert th.grid_flat_to_rows(b"", ncol, nrow) == [[] for _ in range(ncol)]
        assert th.grid_nested_to_rows([[] for _ in range(ncol)], ncol, nrow if nrow < 10 else 0) == [
            [] for _ in range(ncol)]


# --- from_flat validation ------------------------------------------------------------------

@pytest.mark.parametrize("length, ncol, nrow", [(40, 2, 3), (56, 2, 3), (0, 2, 3), (8, 0, 0), (7, 1, 1)])
def test_flat_size_mismatch(length, ncol, nrow):
    with pytest.raises(ValueError) as e:
        th.grid_flat_to_flat(b"\0" * length, ncol, nrow)
    assert e.value.args == (size_message(length, ncol, nrow),)


def test_flat_size_message_text():
    with pytest.raises(ValueError) as e:
        th.grid_flat_to_rows(b"\0" * 40, 2, 3)
    assert str(e.value) == "flat grid is 40 bytes, expected 2×3×8 = 48 (little-endian f64, field[col][row])"


@pytest.mark.parametrize("ncol, nrow", [(2**32, 2**32), (2**61, 1), (1, 2**61), (2**64 - 1, 2), (3, 2**62)])
def test_flat_shape_overflow(ncol, nrow):
    with pytest.raises(ValueError) as e:
        th.grid_flat_to_flat(b"", ncol, nrow)
    assert e.value.args == ("flat grid shape overflow",)


def test_largest_accepted_shape_reports_the_size():
    n = 2**61 - 1
    with pytest.raises(ValueError) as e:
        th.grid_flat_to_flat(b"\0" * 8, n, 1)
    assert str(e.value) == size_message(8, n, 1)
    assert str(e.value).endswith(f"= {n * 8} (little-endian f64, field[col][row])")


@pytest.mark.parametrize("buffer, exc, text", [
    (bytearray(8), TypeError, "argument 'buffer': 'bytearray' object is not an instance of 'bytes'"),
    (memoryview(b"\0" * 8), TypeError, "argument 'buffer': 'memoryview' object is not an instance of 'bytes'"),
    ([0.0], TypeError, "argument 'buffer': 'list' object is not an instance of 'bytes'"),
    (None, TypeError, "argument 'buffer': 'NoneType' object is not an instance of 'bytes'"),
])
def test_flat_buffer_must_be_bytes(buffer, exc, text):
    with pytest.raises(exc) as e:
        th.grid_flat_to_flat(buffer, 1, 1)
    assert str(e.value) == text


def test_flat_shape_must_be_counts():
    with pytest.raises(TypeError, match="^argument 'ncol': "):
        th.grid_flat_to_flat(b"", 1.0, 0)
    with pytest.raises(OverflowError):
        th.grid_flat_to_flat(b"", -1, 0)


# --- to_array2 validation ------------------------------------------------------------------

RECT_2x3 = "field must be a rectangular 2x3 nested list (field[col][row])"


@pytest.mark.parametrize("nested", [
    [[1, 2, 3], [4, 5]],                 # one column shorter
    [[1, 2], [3, 4], [5, 6]],            # nrow columns instead of ncol
    [[1, 2, 3]],                         # too few columns
    [[1, 2, 3], [4, 5, 6], [7, 8, 9]],   # too many columns
    [[1, 2, 3], [4, 5, 6, 7]],           # one column longer
    [],
])
def test_ragged_nested_list(nested):
    for hook in (th.grid_nested_to_rows, th.grid_nested_to_flat):
        with pytest.raises(ValueError) as e:
            hook(nested, 2, 3)
        assert e.value.args == (RECT_2x3,)


@pytest.mark.parametrize("nested, text", [
    (5, "argument 'columns': 'int' object is not an instance of 'Sequence'"),
    ("ab", "argument 'columns': Can't extract `str` to `Vec`"),
    ([[1.0, "x"]], "argument 'columns': must be real number, not str"),
    ([1.0, 2.0], "argument 'columns': 'float' object is not an instance of 'Sequence'"),
])
def test_nested_type_errors(nested, text):
    with pytest.raises(TypeError) as e:
        th.grid_nested_to_rows(nested, 1, 2)
    assert str(e.value) == text


def test_nested_accepts_tuples_and_numbers():
    assert th.grid_nested_to_rows(((1, 2), range(2)), 2, 2) == [[1.0, 2.0], [0.0, 1.0]]


# --- checked field factory -----------------------------------------------------------------

@pytest.mark.parametrize("ncol, nrow, fill", [(3, 4, 0.0), (0, 0, 1.0), (1000, 1000, math.nan)])
def test_field_create(ncol, nrow, fill):
    assert th.grid_field_create(ncol, nrow, fill) == (ncol, nrow, ncol * nrow)


@pytest.mark.parametrize("ncol, nrow, text", [
    (2**32, 2**32, "invalid argument: field: 4294967296×4294967296 nodes exceed the addressable size"),
    (2**61, 1, "invalid argument: field: 2305843009213693952×1 nodes exceed the addressable size"),
    (2**64 - 1, 2**64 - 1,
     "invalid argument: field: 18446744073709551615×18446744073709551615 nodes exceed the addressable size"),
    (2**30, 2**30, "invalid argument: field: cannot allocate 1073741824×1073741824 nodes"),
    (2**61 - 1, 1, "invalid argument: field: cannot allocate 2305843009213693951×1 nodes"),
])
def test_absurd_fields_are_refused(ncol, nrow, text):
    with pytest.raises(ValueError) as e:
        th.grid_field_create(ncol, nrow)
    assert e.value.args == (text,)
