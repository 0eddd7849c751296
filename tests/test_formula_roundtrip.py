"""Random expression trees, printed as text, against the Python model of the
language (tests/formula_oracle.py): same values bit for bit, same first error."""

import math
import struct

import numpy as np
import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zaviktools as zk

from formula_oracle import OracleError, evaluate_block, render

PROPS = ["a", "b", "c"]
OPS = ["+", "-", "*", "/", "**", "<", "<=", ">", ">=", "==", "!="]
FUNCS = ["abs", "exp", "log", "log10", "sqrt", "pow", "min", "max", "clip", "if"]
SPACES = [" ", "\t", "\u00a0", "\u2003", "\u3000", ""]

special = st.sampled_from([0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 1e300, 5e-324, math.inf, -math.inf, math.nan])
element = st.one_of(special, st.floats(allow_nan=True, allow_infinity=True, width=64))
literal = st.one_of(st.sampled_from([0.0, 1.0, 2.0, 0.5, 10.0, 1e-5, 1e16, 3.25]),
                    st.floats(min_value=0.0, allow_nan=False, allow_infinity=False))


def leaves(names):
    return st.one_of(
        literal.map(lambda v: ("num", v)),
        st.sampled_from(["p", "q"]).map(lambda n: ("param", n)),
        st.sampled_from(names).map(lambda n: ("var", n)),
    )


def extend(children):
    return st.one_of(
        st.tuples(st.sampled_from(["neg", "pos"]), children),
        st.tuples(st.just("bin"), st.sampled_from(OPS), children, children),
        st.sampled_from(FUNCS).flatmap(
            lambda f: st.tuples(st.just("call"), st.just(f), st.lists(children, min_size=1, max_size=3))),
    )


def trees(names):
    return st.recursive(leaves(names), extend, max_leaves=12)


def bits(v):
    return struct.pack("<d", v)


def check_block(lines, properties, params, space):
    texts = [f"{name}{space}={space}{render(tree, space)}" for name, tree in lines]
    try:
        with np.errstate(all="ignore"):
            want = evaluate_block(lines, properties, params)
    except OracleError as err:
        with pytest.raises(ValueError) as got:
            zk.evaluate_formula(texts, properties, params)
        assert str(got.value) == str(err), texts
        return None
    got = zk.evaluate_formula(texts, properties, params)
    assert list(got) == [name for name, _ in lines]
    for name in got:
        assert [bits(v) for v in got[name]] == [bits(v) for v in want[name]], (texts, name)
    return texts


@st.composite
def blocks(draw):
    n = draw(st.integers(0, 6))
    lengths = {p: n for p in PROPS}
    if draw(st.integers(0, 9)) == 0:
        lengths["c"] = n + 1  # a used mismatching property must fail on lookup
    properties = {p: draw(st.lists(element, min_size=k, max_size=k)) for p, k in lengths.items()}
    params = {"p": draw(element), "q": draw(literal)}
    if draw(st.integers(0, 9)) == 0:
        del params[draw(st.sampled_from(["p", "q"]))]
    count = draw(st.integers(1, 3))
    lines = []
    for i in range(count):
        # Later lines may use earlier outputs; the block is then shuffled.
        names = PROPS + [f"o{k}" for k in range(i)] + ["zz"] * (draw(st.integers(0, 19)) == 0)
        lines.append((f"o{i}", draw(trees(names))))
    lines = draw(st.permutations(lines))
    return lines, properties, params, draw(st.sampled_from(SPACES))


@settings(max_examples=400, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(blocks())
def test_random_blocks_match_the_model(block):
    check_block(*block)


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(trees(PROPS), st.sampled_from(SPACES))
def test_info_matches_the_tree(tree, space):
    from formula_oracle import collect_vars

    text = f"y{space}={space}{render(tree, space)}"
    info = zk.formula_info([text])
    assert info["outputs"] == info["order"] == ["y"]
    assert info["properties"] == sorted(collect_vars(tree, set()))
    assert info["params"] == sorted({p for p in ("p", "q") if f"${p}" in text})


# Damaging a well-formed line in these ways always gives the same message,
# whatever the line held.
DAMAGE = [
    (lambda s: s + " )", "parse error: unexpected trailing formula token RParen"),
    (lambda s: "(" + s, "parse error: expected RParen, got End"),
    (lambda s: s + " *", "parse error: expected formula expression, got End"),
    (lambda s: s + " ^ 2", "parse error: unexpected character `^` in formula expression"),
    (lambda s: s + " + $", "parse error: expected identifier in formula expression"),
    (lambda s: s + " + 1e", "parse error: invalid exponent in formula number literal"),
    (lambda s: s + " = 2", "parse error: unexpected `=` inside formula expression; use `==` for equality"),
    (lambda s: s + " ! 2", "parse error: unexpected `!` inside formula expression; use `!=` for inequality"),
    (lambda s: s + " x", 'parse error: unexpected trailing formula token Ident("x")'),
    (lambda s: s + " , 1", "parse error: unexpected trailing formula token Comma"),
]


@settings(max_examples=150, deadline=None)
@given(trees(PROPS), st.sampled_from(range(len(DAMAGE))))
def test_damaged_lines_give_the_stated_message(tree, which):
    damage, message = DAMAGE[which]
    text = render(tree)
    with pytest.raises(ValueError) as got:
        zk.formula_info(["y = " + damage(text)])
    assert str(got.value) == message
    with pytest.raises(ValueError) as got:
        zk.formula_info(["1y = " + text])
    assert str(got.value) == "parse error: invalid assignment lhs `1y`: expected a bare identifier"
