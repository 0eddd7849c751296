"""Argument extraction: every parameter kind, its accepted inputs and the exact
exceptions for wrong ones."""

import array
import math
from fractions import Fraction

import numpy as np
import pytest

import zaviktools as zk


class Idx:
    def __init__(self, v):
        self.v = v

    def __index__(self):
        return self.v


class Flt:
    def __float__(self):
        return 2.5


JUNK = [None, "text", [1, [2]], {"a": 1}, object(), 2**200, float("nan"), b"by", 3.5, True]


# ---- reals --------------------------------------------------------------------------------------

@pytest.mark.parametrize("value, expected", [(1.5, 1.5), (3, 3.0), (True, 1.0), (Idx(4), 4.0), (Flt(), 2.5),
                                             (Fraction(1, 4), 0.25), (np.float64(0.1), 0.1), (np.int32(7), 7.0)])
def test_real_accepts_numbers(hooks, value, expected):
    assert hooks.echo_real(value) == expected


@pytest.mark.parametrize("value", [float("nan"), float("inf"), -float("inf"), -0.0])
def test_real_passes_non_finite_through(hooks, value):
    out = hooks.echo_real(value)
    assert (math.isnan(out) and math.isnan(value)) or (out == value and math.copysign(1, out) == math.copysign(1, value))


@pytest.mark.parametrize("value, message", [
    (None, "argument 'value': must be real number, not NoneType"),
    ("1.5", "argument 'value': must be real number, not str"),
    ([1.0], "argument 'value': must be real number, not list"),
])
def test_real_rejects_non_numbers(hooks, value, message):
    with pytest.raises(TypeError) as info:
        hooks.echo_real(value)
    assert str(info.value) == message


def test_real_overflow_names_the_argument(hooks):
    with pytest.raises(OverflowError) as info:
        hooks.echo_real(2**2000)
    assert str(info.value) == "argument 'value': int too large to convert to float"


# ---- counts, seeds and signed integers ----------------------------------------------------------

@pytest.mark.parametrize("value", [0, 1, 2**64 - 1, Idx(9), np.uint64(2**64 - 1), True])
def test_count_accepts_unsigned_64(hooks, value):
    assert hooks.echo_count(value) == int(value.__index__() if isinstance(value, Idx) else value)


@pytest.mark.parametrize("value, exc", [(-1, OverflowError), (2**64, OverflowError), (1.0, TypeError),
                                        (None, TypeError), ("3", TypeError), (float("nan"), TypeError)])
def test_count_rejects(hooks, value, exc):
    with pytest.raises(exc) as info:
        hooks.echo_count(value)
    assert type(info.value) is exc and str(info.value).startswith("argument 'value': ")


@pytest.mark.parametrize("value", [0, -(2**63), 2**63 - 1, -5])
def test_i64_range(hooks, value):
    assert hooks.echo_i64(value) == value


@pytest.mark.parametrize("value, exc", [(2**63, OverflowError), (-(2**63) - 1, OverflowError), (2.0, TypeError)])
def test_i64_rejects(hooks, value, exc):
    with pytest.raises(exc):
        hooks.echo_i64(value)


# ---- flags and text -----------------------------------------------------------------------------

@pytest.mark.parametrize("value", [True, False])
def test_flag_accepts_bools(hooks, value):
    assert hooks.echo_flag(value) is value


@pytest.mark.parametrize("value, tname", [(1, "int"), (0, "int"), (None, "NoneType"), ("True", "str"),
                                          (np.bool_(True), "numpy.bool")])
def test_flag_rejects_everything_else(hooks, value, tname):
    with pytest.raises(TypeError) as info:
        hooks.echo_flag(value)
    assert str(info.value) == f"argument 'value': '{tname}' object is not an instance of 'bool'"


@pytest.mark.parametrize("value", ["", "spherical", "pörösity ∑", "a\x00b"])
def test_text_round_trips_utf8(hooks, value):
    assert hooks.echo_text(value) == value


@pytest.mark.parametrize("value", [None, b"bytes", 3, ["a"]])
def test_text_rejects_non_str(hooks, value):
    with pytest.raises(TypeError, match=r"^argument 'value': '.*' object is not an instance of 'str'$"):
        hooks.echo_text(value)


def test_text_rejects_lone_surrogates(hooks):
    with pytest.raises(UnicodeEncodeError):
        hooks.echo_text("\ud800")


# ---- lists of reals and ints --------------------------------------------------------------------

@pytest.mark.parametrize("value", [
    [1, 2.5, 3], (1, 2.5, 3), range(3), np.array([1, 2.5, 3]), np.array([1, 2, 3], dtype=np.int64),
    array.array("d", [1, 2.5, 3]), memoryview(array.array("d", [1, 2.5, 3])), np.array([1, 2.5, 3])[::2],
    np.array([1, 2.5, 3], dtype=">f8"), np.array([1, 2.5, 3], dtype=np.float32), array.array("f", [1, 2.5]),
    [], (), b"\x01\x02",
])
def test_reals_accept_any_sequence_and_float64_buffers(hooks, value):
    assert hooks.echo_reals(value) == [float(v) for v in value]


def test_reals_buffer_path_is_bit_exact(hooks):
    arr = np.array([0.1, -0.0, np.nan, np.inf, -np.inf, 5e-324, 1.7976931348623157e308])
    out = np.array(hooks.echo_reals(arr))
    assert out.tobytes() == arr.tobytes()
    assert out.tobytes() == np.array(hooks.echo_reals(arr.tolist())).tobytes()


def test_reals_from_2d_array_take_the_sequence_path(hooks):
    with pytest.raises(TypeError, match=r"^argument 'value': "):
        hooks.echo_reals(np.zeros((2, 2)))


@pytest.mark.parametrize("value, message", [
    ("123", "argument 'value': Can't extract `str` to `Vec`"),
    (None, "argument 'value': 'NoneType' object is not an instance of 'Sequence'"),
    (5, "argument 'value': 'int' object is not an instance of 'Sequence'"),
    ({1: 2}, "argument 'value': 'dict' object is not an instance of 'Sequence'"),
    ({1.0}, "argument 'value': 'set' object is not an instance of 'Sequence'"),
    ([1, "a"], "argument 'value': must be real number, not str"),
    ([1, None], "argument 'value': must be real number, not NoneType"),
    ([1, [2]], "argument 'value': must be real number, not list"),
])
def test_reals_reject(hooks, value, message):
    with pytest.raises(TypeError) as info:
        hooks.echo_reals(value)
    assert str(info.value) == message


def test_reals_survive_a_list_mutated_during_conversion(hooks):
    data = [1.0, 2.0, 3.0]

    class Evil:
        def __float__(self):
            data.clear()
            return 9.0

    data.insert(1, Evil())
    assert hooks.echo_reals(data) == [1.0, 9.0]


@pytest.mark.parametrize("value, expected", [([1, 2, -3], [1, 2, -3]), ((), []), (range(3), [0, 1, 2])])
def test_ints(hooks, value, expected):
    assert hooks.echo_ints(value) == expected


@pytest.mark.parametrize("value, exc", [([1.0], TypeError), ([2**63], OverflowError), ("12", TypeError)])
def test_ints_reject(hooks, value, exc):
    with pytest.raises(exc):
        hooks.echo_ints(value)


# ---- points, lists of points, nested lists --------------------------------------------------------

@pytest.mark.parametrize("value", [[1, 2], (1.5, -2), np.array([3.0, 4.0]), range(2)])
def test_point2_accepts_two_numbers(hooks, value):
    assert hooks.echo_point2(value) == [float(v) for v in value]


@pytest.mark.parametrize("value, message", [
    ([1, 2, 3], "expected a sequence of length 2 (got 3)"),
    ([1], "expected a sequence of length 2 (got 1)"),
    ([], "expected a sequence of length 2 (got 0)"),
])
def test_point_length_is_a_value_error(hooks, value, message):
    with pytest.raises(ValueError) as info:
        hooks.echo_point2(value)
    assert str(info.value) == message


def test_point3(hooks):
    assert hooks.echo_point3([1, 2, 3]) == [1.0, 2.0, 3.0]
    with pytest.raises(ValueError, match=r"^expected a sequence of length 3 \(got 2\)$"):
        hooks.echo_point3([1, 2])


@pytest.mark.parametrize("value, exc", [("ab", TypeError), (None, TypeError), ([1, "x"], TypeError), (7, TypeError)])
def test_point_rejects_non_sequences(hooks, value, exc):
    with pytest.raises(exc, match=r"^argument 'value': "):
        hooks.echo_point2(value)


def test_points2(hooks):
    assert hooks.echo_points2([[0, 1], (2, 3)]) == [[0.0, 1.0], [2.0, 3.0]]
    assert hooks.echo_points2([]) == []
    with pytest.raises(ValueError, match=r"length 2 \(got 3\)"):
        hooks.echo_points2([[0, 1], [1, 2, 3]])
    with pytest.raises(TypeError, match=r"^argument 'value': "):
        hooks.echo_points2([[0, 1], 5])
    with pytest.raises(TypeError, match=r"^argument 'value': Can't extract `str` to `Vec`$"):
        hooks.echo_points2("xy")


T2 = "expected a sequence of length 2 (got {}): rows of 2 values are expected, and this (2, {}) input looks transposed"


@pytest.mark.parametrize("value, message", [
    (np.zeros((2, 5)), T2.format(5, 5)),
    ([[1, 2, 3], (4, 5, 6)], T2.format(3, 3)),
    (np.zeros((2, 1)), T2.format(1, 1)),
    (np.zeros((3, 5)), "expected a sequence of length 2 (got 5)"),  # not 2 rows: no guess
    ([[1, 2, 3], [4, 5, 6, 7]], "expected a sequence of length 2 (got 3)"),  # ragged
])
def test_transposed_points_are_named(hooks, value, message):
    with pytest.raises(ValueError) as info:
        hooks.echo_points2(value)
    assert str(info.value) == message


def test_public_conversion_errors_name_the_argument():
    lat, vg = zk.Lattice(0, 0, 1, 1, 2, 2), zk.Variogram("sph", 0, 1, 10)
    with pytest.raises(OverflowError) as info:
        zk.sgs([[0, 0, 1]], lat, vg, 4, 10.0, -1)
    assert str(info.value) == "argument 'seed': can't convert negative int to unsigned"
    with pytest.raises(OverflowError) as info:
        zk.evaluate_formula(["y = $p"], {}, {"p": 2**2000})
    assert str(info.value) == "argument 'params': value for key 'p': int too large to convert to float"
    with pytest.raises(ValueError) as info:
        zk.experimental_variogram(np.zeros((3, 40)), 1.0, 4)
    assert "rows of 3 values are expected, and this (3, 40) input looks transposed" in str(info.value)
    assert zk.experimental_variogram(np.zeros((3, 40)).T, 1.0, 4).counts == [780]


def test_nested(hooks):
    assert hooks.echo_nested([[1, 2], [], (3,)]) == [[1.0, 2.0], [], [3.0]]
    assert hooks.echo_nested(np.arange(4.0).reshape(2, 2)) == [[0.0, 1.0], [2.0, 3.0]]
    with pytest.raises(TypeError, match=r"^argument 'value': 'int' object is not an instance of 'Sequence'$"):
        hooks.echo_nested([1, 2])
    with pytest.raises(TypeError, match=r"^argument 'value': Can't extract `str` to `Vec`$"):
        hooks.echo_nested(["ab"])


# ---- bytes, optionals, defaults -------------------------------------------------------------------

@pytest.mark.parametrize("value", [b"", b"\x00\x01\xff", bytes(range(256)) * 10])
def test_bytes(hooks, value):
    assert hooks.echo_bytes(value) == value


@pytest.mark.parametrize("value", [bytearray(b"ab"), memoryview(b"ab"), "ab", None, [1]])
def test_bytes_only_accepts_bytes(hooks, value):
    with pytest.raises(TypeError, match=r"^argument 'value': '.*' object is not an instance of 'bytes'$"):
        hooks.echo_bytes(value)


def test_optional(hooks):
    assert hooks.echo_optional_real() is None
    assert hooks.echo_optional_real(None) is None
    assert hooks.echo_optional_real(value=2) == 2.0
    with pytest.raises(TypeError, match=r"^argument 'value': must be real number, not str$"):
        hooks.echo_optional_real("x")


@pytest.mark.parametrize("args, kwargs, expected", [
    ((1,), {}, (1.0, 2.5, False, "x")),
    ((1, 2), {}, (1.0, 2.0, False, "x")),
    ((1,), {"name": "n", "flag": True}, (1.0, 2.5, True, "n")),
    ((), {"a": 3, "b": 4}, (3.0, 4.0, False, "x")),
    ((1, 2, True, "z"), {}, (1.0, 2.0, True, "z")),
])
def test_defaults_and_keywords(hooks, args, kwargs, expected):
    assert hooks.echo_defaults(*args, **kwargs) == expected


@pytest.mark.parametrize("call, message", [
    (lambda h: h.echo_defaults(), "echo_defaults() missing 1 required positional argument: 'a'"),
    (lambda h: h.echo_defaults(1, 2, True, "z", 5),
     "echo_defaults() takes from 1 to 4 positional arguments but 5 were given"),
    (lambda h: h.echo_defaults(1, c=2), "echo_defaults() got an unexpected keyword argument 'c'"),
    (lambda h: h.echo_defaults(1, a=2), "echo_defaults() got multiple values for argument 'a'"),
    (lambda h: h.echo_real(), "echo_real() missing 1 required positional argument: 'value'"),
    (lambda h: h.echo_real(1, 2), "echo_real() takes 1 positional argument but 2 were given"),
    (lambda h: h.raise_panic_silent(1), "raise_panic_silent() takes 0 positional arguments but 1 was given"),
    (lambda h: h.raise_core_error(), "raise_core_error() missing 2 required positional arguments: 'kind' and 'payload'"),
    (lambda h: h.fmt_fixed(decimals=1), "fmt_fixed() missing 1 required positional argument: 'x'"),
])
def test_count_and_keyword_errors_use_cpython_wording(hooks, call, message):
    with pytest.raises(TypeError) as info:
        call(hooks)
    assert str(info.value) == message


def test_three_missing_arguments_wording():
    # percentile has two; the Oxford-comma form for three comes from CPython's own rule
    def f(a, b, c):
        pass

    with pytest.raises(TypeError) as info:
        f()
    assert "'a', 'b', and 'c'" in str(info.value)


@pytest.mark.parametrize("kind", ["echo_real", "echo_count", "echo_i64", "echo_flag", "echo_text", "echo_reals",
                                  "echo_ints", "echo_point2", "echo_point3", "echo_points2", "echo_nested",
                                  "echo_bytes"])
@pytest.mark.parametrize("junk", JUNK, ids=repr)
def test_no_kind_crashes_on_junk(hooks, kind, junk):
    fn = getattr(hooks, kind)
    try:
        fn(junk)
    except (TypeError, ValueError, OverflowError):
        pass


# ---- classes and borrows --------------------------------------------------------------------------

def test_class_machinery(hooks):
    import inspect

    Probe = hooks.probe_class()
    p = Probe(2.5)
    assert p.value == 2.5 and p.scaled(2) == 5.0 and Probe.unit().value == 1.0
    assert str(inspect.signature(Probe)) == "(value, uses=0)"
    assert str(inspect.signature(p.scaled)) == "(factor)"
    assert str(inspect.signature(Probe.unit)) == "()"
    with pytest.raises(AttributeError):
        p.other = 1
    with pytest.raises(AttributeError):
        p.value = 1
    with pytest.raises(TypeError):
        type("Sub", (Probe,), {})
    with pytest.raises(TypeError) as info:
        p.scaled()
    assert str(info.value) == "Probe.scaled() missing 1 required positional argument: 'factor'"
    with pytest.raises(TypeError) as info:
        hooks.use_exclusive({})
    assert str(info.value) == "argument 'probe': 'dict' object is not an instance of 'Probe'"


def test_borrow_flags(hooks):
    p = hooks.probe_class()(1.0)
    assert hooks.use_exclusive(p) == 1
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        hooks.double_borrow(p, False)
    with pytest.raises(RuntimeError, match="^Already mutably borrowed$"):
        hooks.double_borrow(p, True)
    assert hooks.use_exclusive(p) == 2  # the failed attempts released everything


def test_wrong_class_is_named_by_its_bare_name(hooks):
    class Mine:
        pass

    with pytest.raises(TypeError) as info:
        hooks.use_exclusive(Mine())
    assert str(info.value) == "argument 'probe': 'Mine' object is not an instance of 'Probe'"
    with pytest.raises(TypeError) as info:
        hooks.use_exclusive(zk.Lattice(0, 0, 1, 1, 1, 1))
    assert str(info.value) == "argument 'probe': 'Lattice' object is not an instance of 'Probe'"
