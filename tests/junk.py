"""Hypothesis strategies for what a hostile or careless caller passes: wrong
types, edge numbers, malformed containers, array-likes of other dtypes and
objects whose numeric and sequence hooks raise or lie."""

import array
import math
import sys

import numpy as np
from hypothesis import strategies as st

import public_surface as ps


class HookError(Exception):
    """What the caller's own hooks raise; it must come back unchanged."""


class HookIndexError(HookError, IndexError):
    """Ends an iteration, but is the caller's own when read by index."""


class RaisingFloat:
    def __float__(self):
        raise HookError("__float__")


class RaisingIndex:
    def __index__(self):
        raise HookError("__index__")


class WrongFloat:
    def __float__(self):
        return "1.0"


class Index:
    def __init__(self, v):
        self.v = v

    def __index__(self):
        return self.v

    def __repr__(self):
        return f"Index({self.v!r})"


class Float:
    def __init__(self, v):
        self.v = v

    def __float__(self):
        return self.v

    def __repr__(self):
        return f"Float({self.v!r})"


class Lying:
    """A sequence stating `stated` items while holding `items`; `stated` may
    be an exception to raise from __len__."""

    def __init__(self, items, stated, fail_at=None):
        self.items, self.stated, self.fail_at = items, stated, fail_at

    def __len__(self):
        if isinstance(self.stated, BaseException):
            raise self.stated
        return self.stated

    def __getitem__(self, i):
        if i == self.fail_at:
            raise HookError("__getitem__")
        if not isinstance(i, int) or not 0 <= i < len(self.items):
            raise HookIndexError(i)
        return self.items[i]

    def __repr__(self):
        return f"Lying({self.items!r}, {self.stated!r}, fail_at={self.fail_at!r})"


class ClearsList:
    """An element whose conversion empties the list holding it."""

    def __init__(self):
        self.owner = None

    def __float__(self):
        if self.owner is not None:
            self.owner.clear()
        return 1.0

    def __index__(self):
        self.__float__()
        return 1


def list_that_shrinks(items):
    hostile = ClearsList()
    out = list(items[:1]) + [hostile] + list(items[1:])
    hostile.owner = out
    return out


# Sizes that cannot be met at all (refused before allocation) and sizes that
# are representable but beyond any memory (a MemoryError at once).
ABSURD = [2**62, 2**63 - 1, 2**63, 2**64 - 1, 2**40, 2**50]
INTS = [0, 1, 2, 3, 7, -1, -2, -(2**63), -(2**63) - 1, 2**64, 2**64 + 1, 10**30, -(10**30)] + ABSURD
FLOATS = [0.0, -0.0, 1.0, -1.0, 0.5, 3.0, 360.0, -360.0, 90.0, 1e-9, math.nan, -math.nan, math.inf, -math.inf,
          5e-324, -5e-324, 2.2250738585072014e-308, 1e-300, 1e308, -1e308, sys.float_info.max, 2.0**53, 2.0**64]
TEXTS = ["", " ", "linear", "Spherical ", "exponential", "gaussian", "nugget", "cubic", "nearest", "bilinear",
         "independent", "comonotonic", "vertical", "j", "s", "\x00", "é∑", "a" * 300, "x = 1", "$p + (", "\ud800"]

ints = st.sampled_from(INTS) | st.integers(-3, 40) | st.integers(-(2**70), 2**70)
floats = st.sampled_from(FLOATS) | st.floats(allow_nan=True, allow_infinity=True) | st.floats(-50, 50)
texts = st.sampled_from(TEXTS) | st.text(max_size=12)
numbers = ints | floats | st.booleans()


def _instance(name):
    return st.just(name).map(lambda n: ps.INSTANCES[n]())


instances = st.sampled_from(sorted(ps.INSTANCES)).flatmap(_instance)

hostile_scalars = st.one_of(
    st.builds(RaisingFloat), st.builds(RaisingIndex), st.builds(WrongFloat),
    st.builds(Index, ints | st.just(1.5)), st.builds(Float, floats),
    st.sampled_from([np.float64(math.nan), np.float32(1.5), np.int64(-1), np.uint64(2**64 - 1), np.bool_(True),
                     complex(1, 2), type, Ellipsis, NotImplemented]),
    st.builds(object),
)

scalars = st.one_of(st.none(), numbers, texts, st.binary(max_size=24), hostile_scalars, instances)


_ARRAY_FORMS = [
    lambda v: v, lambda v: v.astype(np.float32), lambda v: v.astype(">f8"), lambda v: v[::-1], lambda v: v[::2],
    lambda v: np.repeat(v, 2).reshape(-1, 2), lambda v: np.asfortranarray(np.vstack([v, v])).T,
    lambda v: np.nan_to_num(v).clip(-2**62, 2**62).astype(np.int64), lambda v: v.astype(np.complex128),
    lambda v: v.astype(object), lambda v: v.astype(bool), lambda v: v.reshape(1, -1)[:, ::2][0],
    lambda v: array.array("d", v.tolist()), lambda v: array.array("f", v.astype(np.float32).tolist()),
    lambda v: memoryview(v.tobytes()), lambda v: memoryview(v.tobytes()).cast("d"), lambda v: bytearray(v.tobytes()),
    lambda v: v.tobytes(), lambda v: np.float64(v[0] if v.size else 1.0), lambda v: v.reshape(()) if v.size == 1 else v,
]


def _array_form(values, k):
    with np.errstate(all="ignore"):
        return _ARRAY_FORMS[k](np.asarray(values, dtype=np.float64))


def _arrays(values):
    # Built per example (not sampled as objects): some forms are unhashable
    # and all are mutable.
    return st.integers(0, len(_ARRAY_FORMS) - 1).map(lambda k: _array_form(values, k))


number_lists = st.lists(floats | ints, max_size=8)


def reshape_sequence(items):
    """The same items in other sequence-like clothing."""
    return st.sampled_from(["list", "tuple", "gen", "lying", "lying_fail", "lying_len", "shrinks", "dict", "set"]).map(
        lambda how: _dress(items, how))


def _dress(items, how):
    if how == "list":
        return list(items)
    if how == "tuple":
        return tuple(items)
    if how == "gen":
        return (x for x in items)
    if how == "lying":
        return Lying(list(items), sys.maxsize)
    if how == "lying_fail":
        return Lying(list(items), len(items) + 1, fail_at=max(len(items) - 1, 0))
    if how == "lying_len":
        return Lying(list(items), HookError("__len__"))
    if how == "shrinks":
        return list_that_shrinks(list(items))
    if how == "dict":
        return dict(enumerate(items))
    try:
        return set(items)
    except TypeError:
        return frozenset()


lists = st.one_of(
    number_lists,
    number_lists.flatmap(reshape_sequence),
    st.lists(floats, max_size=8).flatmap(_arrays),
    st.lists(st.lists(floats, min_size=0, max_size=4), max_size=6),  # ragged rows
    st.lists(st.lists(floats, min_size=3, max_size=3), min_size=1, max_size=6),  # rows of three
    st.lists(st.lists(floats, min_size=2, max_size=2), min_size=1, max_size=6),  # points
    st.lists(st.lists(st.lists(floats, max_size=2), max_size=2), max_size=3),  # too deep
)

junk = st.recursive(scalars | lists, lambda inner: st.lists(inner, max_size=4) | st.tuples(inner, inner), max_leaves=12)


def perturb(value):
    """A strategy of values near `value`: itself, its items changed, dropped or
    re-dressed, or plain junk."""
    options = [st.just(value), junk]
    if isinstance(value, bool):
        options += [st.sampled_from([0, 1, None])]
    elif isinstance(value, int):
        options += [ints, st.sampled_from([float(value), -value]), st.builds(Index, st.just(value)),
                    st.builds(RaisingIndex)]
    elif isinstance(value, float):
        options += [floats, st.builds(Float, st.just(value)), st.builds(RaisingFloat),
                    st.just(int(value) if math.isfinite(value) else 0)]
    elif isinstance(value, str):
        options += [texts, st.just(value.upper()), st.just(value.encode())]
    elif isinstance(value, bytes):
        options += [st.just(value[:-1]), st.just(value + b"\0"), st.just(value * 2),
                    st.just(value).map(bytearray), st.just(value).map(memoryview)]
    elif isinstance(value, (list, tuple)):
        items = list(value)
        options += [reshape_sequence(items), st.just([])]
        if items:
            options += [
                st.integers(0, len(items) - 1).flatmap(lambda i: perturb(items[i]).map(
                    lambda v, i=i: items[:i] + [v] + items[i + 1:])),
                st.just(items[:-1]), st.just(items + items[-1:]),
            ]
        if items and all(isinstance(x, float) for x in items):
            options.append(_arrays(items))
    return st.one_of(options)
