"""Formula engine: the lexer and parser messages, evaluation rules, blocks and
the two Python entry points."""

import math
import struct

import numpy as np
import pytest

import zaviktools as zk

ev, info = zk.evaluate_formula, zk.formula_info
A = {"a": [1.0, 2.0, 3.0]}


def err(lines, properties=None, params=None):
    with pytest.raises(ValueError) as e:
        ev(lines, properties or {}, params)
    return str(e.value)


def one(expr, properties=A, params=None):
    return ev([f"y = {expr}"], properties, params)["y"]


def bits(xs):
    return [struct.pack("<d", x) for x in xs]


@pytest.mark.parametrize("line, message", [
    ("", "formula assignment missing `=`: "),
    ("a == b", "formula assignment missing `=`: a == b"),
    ("  a <= b ", "formula assignment missing `=`:   a <= b "),
    ("a != b", "formula assignment missing `=`: a != b"),
    ("= x", "formula assignment requires non-empty lhs and rhs"),
    ("y =", "formula assignment requires non-empty lhs and rhs"),
    ("\u3000y\u2028=\u00a0", "formula assignment requires non-empty lhs and rhs"),
    ("x[1] = 2", "invalid assignment lhs `x[1]`: expected a bare identifier"),
    ("1x = 2", "invalid assignment lhs `1x`: expected a bare identifier"),
    ("a b = 1", "invalid assignment lhs `a b`: expected a bare identifier"),
    ("\u00e9 = 1", "invalid assignment lhs `\u00e9`: expected a bare identifier"),
    ("y = = 3", "unexpected `=` inside formula expression; use `==` for equality"),
    ("y = !a", "unexpected `!` inside formula expression; use `!=` for inequality"),
    ("y = a ^ 2", "unexpected character `^` in formula expression"),
    ("y = a\x00", "unexpected character `\x00` in formula expression"),
    ("y = caf\u00e9", "unexpected character `\u00e9` in formula expression"),
    ("y = a.b", "expected digit in formula number literal"),
    ("y = $", "expected identifier in formula expression"),
    ("y = $1", "expected identifier in formula expression"),
    ("y = $ p", "expected identifier in formula expression"),
    ("y = 2e", "invalid exponent in formula number literal"),
    ("y = 2e+", "invalid exponent in formula number literal"),
    ("y = 3ex", "invalid exponent in formula number literal"),
    ("y = 3exp(1)", "invalid exponent in formula number literal"),
    ("y = .", "expected digit in formula number literal"),
    ("y = .x", "expected digit in formula number literal"),
    ("y = f(a,)", "expected formula expression, got RParen"),
    ("y = f(a b)", 'expected `,` or `)` in formula call, got Ident("b")'),
    ("y = f(a", "expected `,` or `)` in formula call, got End"),
    ("y = (a", "expected RParen, got End"),
    ("y = (a 2)", "expected RParen, got Number(2.0)"),
    ("y = a)", "unexpected trailing formula token RParen"),
    ("y = (a))", "unexpected trailing formula token RParen"),
    ("y = a b", 'unexpected trailing formula token Ident("b")'),
    ("y = a $b", 'unexpected trailing formula token Param("b")'),
    ("y = 1 1e16", "unexpected trailing formula token Number(1e16)"),
    ("y = 1 0.000015", "unexpected trailing formula token Number(1.5e-5)"),
    ("y = 1 0.25", "unexpected trailing formula token Number(0.25)"),
    ("y = 1 1e999", "unexpected trailing formula token Number(inf)"),
    ("y = 1 1e-999", "unexpected trailing formula token Number(0.0)"),
    ("y = 1.2.3 4", "unexpected trailing formula token Number(0.3)"),
    ("y = * a", "expected formula expression, got Star"),
    ("y = a +", "expected formula expression, got End"),
    ("y = a < < b", "expected formula expression, got Lt"),
    ("y = ,", "expected formula expression, got Comma"),
    ("y = 2 ** ** 3", "expected formula expression, got Pow"),
])
def test_parse_messages(line, message):
    assert err([line]) == "parse error: " + message


@pytest.mark.parametrize("expr, want", [
    ("-2 ** 2", 4.0),            # (-2) ** 2
    ("2 ** 3 ** 2", 512.0),      # right-associative
    ("2 ** -1", 0.5),
    ("10 - 4 - 3", 3.0),         # left-associative
    ("64 / 4 / 2", 8.0),
    ("1 < 2 < 3", 1.0),          # (1 < 2) < 3
    ("3 > 2 > 1", 0.0),
    ("--2", 2.0), ("+-2", -2.0),
    ("1 + 2 * 3 ** 2", 19.0),
    ("2 * 3 == 6", 1.0), ("1 + 1 != 2", 0.0), ("2 <= 2", 1.0), ("2 >= 3", 0.0),
    ("1e3", 1000.0), ("1E+3", 1000.0), (".5", 0.5), ("5.", 5.0), ("12.e1", 120.0),
    ("1e400", math.inf), ("1e-400", 0.0), ("4e-320", 4e-320),
    ("0." + "0" * 400 + "1e401", 1.0),
    ("1" + "0" * 400 + "e-400", 1.0),
    ("pow(2, 10)", 1024.0), ("2 ** 10", 1024.0),
    ("if(0, 1, 2)", 2.0), ("if(1e-300, 1, 2)", 1.0), ("if(1 / 0, 1, 2)", 2.0), ("if(0 / 0, 1, 2)", 2.0),
    ("clip(5, 3, 1)", 1.0), ("min(1, 2)", 1.0), ("max(1, 2)", 2.0),
    ("log(0)", -math.inf), ("1 / 0", math.inf), ("-1 / 0", -math.inf), ("log10(1000)", 3.0),
    ("exp(0)", 1.0), ("sqrt(16)", 4.0),
])
def test_scalar_values(expr, want):
    assert one(expr, {}) == [want]


@pytest.mark.parametrize("expr, sign", [
    ("abs(-0.0)", 1.0), ("-0.0", -1.0), ("-(0)", -1.0), ("min(-0.0, 0.0)", -1.0), ("min(0.0, -0.0)", -1.0),
    ("max(-0.0, 0.0)", 1.0), ("max(0.0, -0.0)", 1.0), ("clip(-0.0, 0.0, 1)", 1.0), ("+(-0.0)", -1.0),
])
def test_signed_zeros(expr, sign):
    (v,) = one(expr, {})
    assert v == 0.0 and math.copysign(1.0, v) == sign


@pytest.mark.parametrize("expr", ["min(1, 0/0)", "max(0/0, 1)", "sqrt(-1)", "log(-1)", "clip(0/0, 1, 2)",
                                  "clip(1, 0/0, 2)", "clip(1, 2, 0/0)", "0 / 0", "pow(-8, 1/3)"])
def test_nan_results(expr):
    assert math.isnan(one(expr, {})[0])


def test_nan_comparisons_and_sign_flip():
    nan = {"n": [math.nan]}
    assert one("n != n", nan) == [1.0] and one("n == n", nan) == [0.0]
    assert [one(f"n {op} 1", nan) for op in ("<", "<=", ">", ">=")] == [[0.0]] * 4
    assert math.copysign(1.0, one("-n", nan)[0]) == -math.copysign(1.0, math.nan)


def test_vector_examples():
    p = {"p": 2}
    assert one("a * $p", A, p) == [2.0, 4.0, 6.0]
    assert one("$p * 3", A, p) == [6.0]  # no vector looked up: one element
    assert ev(["y = $p * 3", "z = a"], A, p)["y"] == [6.0, 6.0, 6.0]  # broadcast to the block length
    assert one("a > 1", A) == [0.0, 1.0, 1.0]
    assert one("-a", A) == [-1.0, -2.0, -3.0]
    assert one("if(a > 1, a, 0)", A) == [0.0, 2.0, 3.0]
    assert one("clip(a, 1.5, 2.5)", A) == [1.5, 2.0, 2.5]
    assert one("if(c, 1, 2)", {"c": [math.nan, math.inf, -math.inf, 0.0, -0.0, 5e-324]}) == [2, 2, 2, 2, 2, 1]
    assert one("(a > 1) * a", A) == [0.0, 2.0, 3.0]


@pytest.mark.parametrize("lines, props, params, kind, message", [
    (["y = sin(a)"], A, None, "invalid argument", "unsupported formula function `sin`"),
    (["y = Abs(a)"], A, None, "invalid argument", "unsupported formula function `Abs`"),
    (["y = abs()"], A, None, "invalid argument", "formula function `abs` expects 1 argument(s), got 0"),
    (["y = abs(a, a)"], A, None, "invalid argument", "formula function `abs` expects 1 argument(s), got 2"),
    (["y = if(1, 1, 2, 3)"], A, None, "invalid argument", "formula function `if` expects 3 argument(s), got 4"),
    # name and arity are checked before any argument is looked at
    (["y = sin(zz)"], A, None, "invalid argument", "unsupported formula function `sin`"),
    (["y = min(zz)"], A, None, "invalid argument", "formula function `min` expects 2 argument(s), got 1"),
    (["y = a + b"], {"a": [1, 2, 3], "b": [1, 2, 3, 4]}, None, "invalid argument",
     "formula shape mismatch: expected length 3, got 4"),
    (["y = b + a"], {"a": [1, 2, 3], "b": [1, 2, 3, 4]}, None, "invalid argument",
     "formula shape mismatch: expected length 4, got 3"),
    (["y = if(1, b, a)"], {"a": [1], "b": [1, 2]}, None, "invalid argument",
     "formula shape mismatch: expected length 2, got 1"),
    (["y = $q"], A, None, "not found", "formula parameter `$q`"),
    (["y = $q"], A, {"p": 1}, "not found", "formula parameter `$q`"),
    (["y = $q"], A, {"q": math.nan}, "invalid argument", "formula parameter `$q` is not finite"),
    (["y = $q"], A, {"q": -math.inf}, "invalid argument", "formula parameter `$q` is not finite"),
    (["y = zz"], A, None, "not found", "formula property `zz`"),
    # left operand first: its failure wins over the right one's
    (["y = zz + $q"], A, None, "not found", "formula property `zz`"),
    (["y = $q + zz"], A, None, "not found", "formula parameter `$q`"),
    (["y = abs(zz) + sin(1)"], A, None, "not found", "formula property `zz`"),
    # evaluation order, not source order, decides which line fails first
    (["y = w + zz", "w = $q"], A, None, "not found", "formula parameter `$q`"),
    (["x = y", "y = x"], A, None, "invalid argument", "cyclic formula dependencies involving x, y"),
    (["x = x + 1"], A, None, "invalid argument", "cyclic formula dependencies involving x"),
    (["z = x", "x = y", "y = x", "w = 1"], A, None, "invalid argument",
     "cyclic formula dependencies involving z, x, y"),
    (["x = 1", "y = x", "x = 2"], A, None, "invalid argument", "duplicate assignment lhs `x`"),
    (["y = 1", "y = q", "q = y"], A, None, "invalid argument", "duplicate assignment lhs `y`"),
    (["y = 1", "bad"], A, None, "parse error", "formula assignment missing `=`: bad"),
    (["y = 1", ""], A, None, "parse error", "formula assignment missing `=`: "),
])
def test_evaluation_errors(lines, props, params, kind, message):
    assert err(lines, props, params) == f"{kind}: {message}"


@pytest.mark.parametrize("lines, props, note", [
    (["y = a + b"], {"a": [1, 2, 3], "b": [1, 2, 3, 4]}, ["the block's properties differ in length: a has 3, b has 4"]),
    (["w = a * 2", "y = if(1, w, c)"], {"a": [1], "c": [1, 2], "u": []},
     ["the block's properties differ in length: a has 1, c has 2"]),
    (["y = a + zz"], {"a": [1], "b": [1, 2]}, None),  # not a shape error: no note
])
def test_shape_mismatch_notes_the_property_lengths(lines, props, note):
    # The message keeps its fixed text; the note names the properties.
    with pytest.raises(ValueError) as info:
        zk.evaluate_formula(lines, props)
    assert getattr(info.value, "__notes__", None) == note and info.value.args == (str(info.value),)


def test_blocks():
    assert ev(["b = a * 2", "a = 1"], {}) == {"b": [2.0], "a": [1.0]}
    assert info(["c = a + b", "a = x", "b = y"]) == {
        "outputs": ["c", "a", "b"], "order": ["a", "b", "c"], "params": [], "properties": ["x", "y"]}
    assert info(["z = $k * w + $j", "w = 2"]) == {
        "outputs": ["z", "w"], "order": ["w", "z"], "params": ["j", "k"], "properties": []}
    assert info(["c = a + b", "a = 1", "b = 2", "d = 3"])["order"] == ["a", "b", "d", "c"]
    assert info(["e = d + b", "d = c", "c = a", "b = a", "a = 1"])["order"] == ["a", "c", "b", "d", "e"]
    assert info(["y = min(a, b) + $p * a + f(q)"])["properties"] == ["a", "b", "q"]
    assert ev(["s = $p", "v = a + s"], {"a": [1, 2]}, {"p": 3}) == {"s": [3.0, 3.0], "v": [4.0, 5.0]}
    assert ev([], {}) == {} and info([]) == {"outputs": [], "order": [], "params": [], "properties": []}
    # an output shadows a property of the same name
    assert ev(["a = 5", "y = a"], {"a": [1, 2]}) == {"a": [5.0], "y": [5.0]}
    # unused properties may have any length; used empty ones make every output empty
    assert ev(["y = a + 1", "k = 2"], {"a": [1, 2], "u": []}) == {"y": [2.0, 3.0], "k": [2.0, 2.0]}
    assert ev(["y = e * 2", "k = 2"], {"e": []}) == {"y": [], "k": []}
    assert err(["y = $p"], {}, None) == err(["y = $p"], {}) == "not found: formula parameter `$p`"


def test_argument_conversion():
    assert ev(("y = a + b",), {"a": (1, 2), "b": range(2)}) == {"y": [1.0, 3.0]}
    assert ev(["y = a"], {"a": np.array([1.5, 2.5])}) == {"y": [1.5, 2.5]}
    assert ev(["y = a"], {"a": np.array([1, 2], dtype=np.int32)}) == {"y": [1.0, 2.0]}
    assert ev(["y = a * $p"], {"a": [1]}, {"p": np.float32(2)}) == {"y": [2.0]}

    class Props(dict):
        pass

    assert ev(["y = a"], Props(a=[1])) == {"y": [1.0]}
    cases = [
        ((["y = 1"], [("a", [1])]), "argument 'properties': 'list' object is not an instance of 'dict'"),
        ((["y = 1"], {1: [1]}), "argument 'properties': dict keys must be str, got 'int'"),
        ((["y = 1"], {"a": "12"}), "argument 'properties': value for key 'a': Can't extract `str` to `Vec`"),
        ((["y = 1"], {"a": [1, "x"]}), "argument 'properties': value for key 'a': must be real number, not str"),
        ((["y = 1"], {"a": 1.0}), "argument 'properties': value for key 'a': 'float' object is not an instance of 'Sequence'"),
        ((["y = 1"], {}, {"p": "1"}), "argument 'params': value for key 'p': must be real number, not str"),
        ((["y = 1"], {}, [1]), "argument 'params': 'list' object is not an instance of 'dict'"),
        (("y = 1", {}), "argument 'assignments': Can't extract `str` to `Vec`"),
        (([1], {}), "argument 'assignments': 'int' object is not an instance of 'str'"),
    ]
    for args, message in cases:
        with pytest.raises(TypeError) as e:
            ev(*args)
        assert str(e.value) == message
    with pytest.raises(TypeError, match="missing 1 required positional argument: .properties."):
        ev(["y = 1"])
    with pytest.raises(OverflowError):
        ev(["y = 1"], {"a": [10**400]})
    with pytest.raises(TypeError, match="argument 'assignments'"):
        info(None)


def test_mutating_dict_during_conversion_is_safe():
    props = {}

    class Evil:
        def __float__(self):
            props.clear()
            props.update({f"k{i}": [i] for i in range(100)})
            return 7.0

    props["a"] = [Evil(), 1.0]
    assert ev(["y = a"], props) == {"y": [7.0, 1.0]}


def test_signatures_and_docstrings():
    assert ev.__text_signature__ == "(assignments, properties, params=None)"
    assert ev.__doc__ == (
        "Evaluate assignment strings over named equal-length property vectors.\n\n"
        "`$name` tokens are scalar runtime parameters from `params`; bare symbols are\n"
        "property vectors or prior assignments in the same block. Scalars broadcast.")
    assert info.__text_signature__ == "(assignments)"
    assert info.__doc__ == (
        "Inspect a formula block without evaluating it.\n\n"
        "Returns sorted dependency lists under `params` and `properties`, plus output\n"
        "names in source order (`outputs`) and topological evaluation order (`order`).")
    assert ev(assignments=["y = a"], properties={"a": [1]}, params=None) == {"y": [1.0]}


@pytest.mark.parametrize("prefix, suffix", [("(", ")"), ("-", ""), ("+", ""), ("abs(", ")"), ("2 ** ", "")])
def test_nesting_limit(prefix, suffix):
    def nest(k):
        if prefix == "2 ** ":
            return "y = " + " ** ".join(["a"] * (k + 1))
        return "y = " + prefix * k + "a" + suffix * k

    assert len(ev([nest(1000)], {"a": [1.0]})["y"]) == 1
    assert err([nest(1001)], {"a": [1.0]}) == "parse error: formula nesting deeper than 1000 levels"
    big = nest(10**6) if prefix != "2 ** " else "y = " + "2 ** " * 10**6 + "2"
    assert err([big], {"a": [1.0]}) == "parse error: formula nesting deeper than 1000 levels"


def test_flat_million_term_sum():
    # A 10^6-deep left spine: parsing, the name walk, evaluation and
    # destruction must all run without recursing per term.
    line = "y = " + " + ".join(["a"] * 10**6)
    assert info([line])["properties"] == ["a"]
    assert ev([line], {"a": [1.0, 0.5]}) == {"y": [1e6, 5e5]}
    assert ev(["y = " + " * ".join(["2"] * 1000) + " < a"], {"a": [1.0]}) == {"y": [0.0]}


def reference_by_element(lines, props, params, i):
    """The block evaluated on element i alone."""
    return ev(lines, {k: [v[i]] for k, v in props.items()}, params)


@pytest.mark.parametrize("lines", [
    ["phie = (rhob_ma - rhob) / (rhob_ma - rhob_fl)", "rhob_ma = 2.65", "rhob_fl = $fl",
     "net = (phie >= $cut) * (sw < 0.6)", "hc = area * h * phie * (1 - sw) * net",
     "t = if(net, exp(-phie) ** 1.5, log(sw) / log10(h))", "c = clip(max(phie, sw), 0.1, min(h, 0.9))"],
    # deep right nesting shrinks the chunk size; results must not change
    ["y = " + "(sw + " * 900 + "h" + ")" * 900, "z = y - h"],
])
def test_chunked_evaluation_matches_each_element_alone(lines):
    rng = np.random.default_rng(7)
    n = 10007
    props = {"rhob": rng.uniform(1.9, 2.7, n), "sw": rng.uniform(-0.1, 1.1, n), "area": rng.uniform(0, 1e6, n),
             "h": rng.uniform(-1, 50, n)}
    props["sw"][::97] = np.nan
    params = {"fl": 1.05, "cut": 0.12}
    whole = ev(lines, props, params)
    for i in sorted({0, 1, 63, 64, 65, 255, 256, 4095, 4096, 4097, 8191, 8192, 8193, 9999, n - 1,
                     *rng.integers(0, n, 20).tolist()}):
        single = reference_by_element(lines, props, params, i)
        for name in whole:
            assert bits([whole[name][i]]) == bits(single[name]), (name, i)
