"""evaluate_formula runs a block chunk by chunk and builds its lists as it
goes, with vector loops where the processor has them; the reference path
evaluates whole columns on the baseline instruction set. Both must give the
same bits, at every length around the chunk boundaries, and match the Python
model of the language."""

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import zaviktools as zk
from conftest import require_testhooks
from formula_oracle import OracleError, evaluate_block, render
from test_formula_roundtrip import PROPS, element, trees

hooks = require_testhooks()

# Chunks are 64 to 2048 elements (fewer when a block has many lines).
LENGTHS = [0, 1, 63, 64, 65, 2047, 2048, 2049, 4097, 6151]


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.uint64)


def same_outputs(got, want):
    assert list(got) == list(want)
    for name in want:
        assert np.array_equal(bits(got[name]), bits(want[name])), name


def streamed_and_reference(texts, properties, params):
    """Both paths' results, or both paths' (equal) error texts."""
    try:
        want = hooks.formula_columns(texts, properties, params)
    except ValueError as err:
        with pytest.raises(ValueError) as got:
            zk.evaluate_formula(texts, properties, params)
        assert str(got.value) == str(err)
        return None
    got = zk.evaluate_formula(texts, properties, params)
    same_outputs(got, want)
    return got


@st.composite
def long_blocks(draw):
    n = draw(st.sampled_from(LENGTHS))
    pool = draw(st.lists(element, min_size=1, max_size=16))
    rng = np.random.default_rng(draw(st.integers(0, 2**32 - 1)))
    # Float64 arrays (the buffer path) for some properties, lists for others.
    properties = {p: rng.choice(np.array(pool), n) for p in PROPS}
    if draw(st.booleans()):
        properties["b"] = properties["b"].tolist()
    params = {"p": draw(element), "q": draw(element)}
    lines = []
    for i in range(draw(st.integers(1, 4))):
        names = PROPS + [f"o{k}" for k in range(i)]
        lines.append((f"o{i}", draw(trees(names))))
    return draw(st.permutations(lines)), properties, params


@settings(max_examples=250)
@given(long_blocks())
def test_streamed_equals_whole_columns_at_chunk_boundaries(block):
    lines, properties, params = block
    with np.errstate(all="ignore"):
        streamed_and_reference([f"{name} = {render(tree)}" for name, tree in lines], properties, params)


@settings(max_examples=25)
@given(long_blocks())
def test_streamed_matches_the_model(block):
    lines, properties, params = block
    texts = [f"{name} = {render(tree)}" for name, tree in lines]
    plain = {k: list(map(float, v)) for k, v in properties.items()}
    try:
        with np.errstate(all="ignore"):
            want = evaluate_block(lines, plain, params)
    except OracleError as err:
        with pytest.raises(ValueError, match="^" + __import__("re").escape(str(err)) + "$"):
            zk.evaluate_formula(texts, properties, params)
        return
    same_outputs(zk.evaluate_formula(texts, properties, params), want)


@pytest.mark.parametrize("n", [1, 2049, 5000])
def test_deep_stacks_and_many_lines(n):
    # A 40-deep right spine needs more stack entries than the small buffer;
    # 300 chained lines shrink the chunk to its 64-element floor.
    a = np.linspace(-3.0, 7.0, n)
    deep = "y = " + "".join(f"(a * {k}.5 - " for k in range(40)) + "a" + ")" * 40
    chain = ["c0 = a * 0.5"] + [f"c{k} = max(c{k - 1}, a) - {k} * min(c{k - 1}, -a)" for k in range(1, 300)]
    for texts in ([deep], chain, [deep] + chain):
        got = streamed_and_reference(texts, {"a": a}, None)
        assert got is not None and all(len(v) == n for v in got.values())
    # The spine evaluated right to left in Python, element by element.
    want = a.copy()
    for k in reversed(range(40)):
        want = a * (k + 0.5) - want
    same_outputs(zk.evaluate_formula([deep], {"a": a}), {"y": want})


def test_scalar_outputs_broadcast_across_chunks():
    n = 4099
    got = zk.evaluate_formula(["s = $p * 2", "v = a + s", "z = -0.0"], {"a": [1.0] * n}, {"p": 1.25})
    assert got["s"] == [2.5] * n and got["v"] == [3.5] * n
    assert bits(got["z"]).tolist() == [0x8000000000000000] * n


SPECIALS = [-0.0, 0.0, 1.0, -1.0, float("nan"), -float("nan"), float("inf"), -float("inf"), 5e-324]
A, B = (v for v in zip(*[(x, y) for x in SPECIALS for y in SPECIALS]))
VAR_A, VAR_B = ("var", "a"), ("var", "b")


def call(name, *args):
    return ("call", name, list(args))


@pytest.mark.parametrize("tree", [
    call("min", VAR_A, VAR_B), call("max", VAR_A, VAR_B),
    call("min", VAR_A, ("num", 0.0)), call("max", ("neg", ("num", 0.0)), VAR_B),
    call("clip", VAR_A, ("neg", ("num", 0.0)), ("num", 0.0)), call("clip", VAR_A, VAR_B, ("num", 0.0)),
    call("if", VAR_A, VAR_B, ("neg", ("num", 0.0))), call("if", ("num", 1.0), VAR_A, VAR_B),
    ("bin", "<", VAR_A, VAR_B), ("bin", "!=", VAR_A, ("num", 0.0)), ("bin", "/", ("num", 1.0), VAR_A),
    ("neg", VAR_B), call("abs", VAR_A),
], ids=render)
def test_vector_kernels_on_signed_zeros_nans_and_infinities(tree):
    # Every pair of special values, repeated past a chunk boundary, through
    # every operand kind (vector/vector, vector/scalar, scalar/vector).
    reps = 2049 // len(A) + 1
    props = {"a": list(A) * reps, "b": list(B) * reps}
    with np.errstate(all="ignore"):
        want = evaluate_block([("y", tree)], props, {})
    text = "y = " + render(tree)
    same_outputs(zk.evaluate_formula([text], props), want)
    same_outputs(hooks.formula_columns([text], props), want)

