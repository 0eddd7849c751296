"""A small pure-Python model of the formula language, for reference checks.

Trees are tuples: ("num", v), ("param", name), ("var", name), ("neg", e),
("pos", e), ("bin", op, l, r), ("call", name, [args]). `render` prints a tree
with the fewest parentheses the grammar needs; `evaluate_block` evaluates
lines in Kahn order with the engine's length, broadcasting and error rules.
Transcendentals go through the C library (ctypes), as the engine's do.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import math
from collections import deque

import numpy as np

_libm = ctypes.CDLL(ctypes.util.find_library("m"))
for _name in ("pow", "exp", "log", "log10", "sqrt"):
    getattr(_libm, _name).restype = ctypes.c_double
_libm.pow.argtypes = [ctypes.c_double, ctypes.c_double]
for _name in ("exp", "log", "log10", "sqrt"):
    getattr(_libm, _name).argtypes = [ctypes.c_double]

PREC = {"<": 0, "<=": 0, ">": 0, ">=": 0, "==": 0, "!=": 0, "+": 1, "-": 1, "*": 2, "/": 2, "**": 3}
ARITY = {"abs": 1, "exp": 1, "log": 1, "log10": 1, "sqrt": 1, "pow": 2, "min": 2, "max": 2, "clip": 3, "if": 3}


class OracleError(Exception):
    pass


def level(t) -> int:
    if t[0] == "bin":
        return PREC[t[1]]
    if t[0] in ("neg", "pos"):
        return 4
    return 5


def render(t, space: str = " ") -> str:
    kind = t[0]
    if kind == "num":
        return repr(float(t[1]))
    if kind == "param":
        return "$" + t[1]
    if kind == "var":
        return t[1]
    if kind in ("neg", "pos"):
        inner = render(t[1], space)
        if level(t[1]) < 4:
            inner = "(" + inner + ")"
        return ("-" if kind == "neg" else "+") + space + inner
    if kind == "call":
        return t[1] + "(" + ("," + space).join(render(a, space) for a in t[2]) + ")"
    op, left, right = t[1], t[2], t[3]
    p = PREC[op]
    ls, rs = render(left, space), render(right, space)
    if op == "**":
        if level(left) < 4:
            ls = "(" + ls + ")"
        if level(right) < 3:
            rs = "(" + rs + ")"
    else:
        if level(left) < p:
            ls = "(" + ls + ")"
        if level(right) <= p:
            rs = "(" + rs + ")"
    return ls + space + op + space + rs


def _min(a, b):
    if a != a:
        return a
    if b != b:
        return b
    if a < b:
        return a
    if b < a:
        return b
    return a if math.copysign(1.0, a) < 0 else b


def _max(a, b):
    if a != a:
        return a
    if b != b:
        return b
    if a > b:
        return a
    if b > a:
        return b
    return b if math.copysign(1.0, a) < 0 else a


def _select(c, a, b):
    return a if (math.isfinite(c) and c != 0.0) else b


def _f(x):
    return np.float64(x)


BINARY = {
    "+": lambda a, b: float(_f(a) + _f(b)),
    "-": lambda a, b: float(_f(a) - _f(b)),
    "*": lambda a, b: float(_f(a) * _f(b)),
    "/": lambda a, b: float(_f(a) / _f(b)),
    "**": lambda a, b: _libm.pow(a, b),
    "<": lambda a, b: float(a < b),
    "<=": lambda a, b: float(a <= b),
    ">": lambda a, b: float(a > b),
    ">=": lambda a, b: float(a >= b),
    "==": lambda a, b: float(a == b),
    "!=": lambda a, b: float(not a == b),
}
UNARY = {"abs": math.fabs, "exp": _libm.exp, "log": _libm.log, "log10": _libm.log10, "sqrt": _libm.sqrt}


class Context:
    def __init__(self, properties, params):
        self.properties, self.params = properties, params
        self.computed: dict = {}
        self.expected: int | None = None

    def lookup(self, name):
        if name in self.computed and not isinstance(self.computed[name], list):
            return self.computed[name]
        if name in self.computed:
            vec = self.computed[name]
        elif name in self.properties:
            vec = [float(v) for v in self.properties[name]]
        else:
            raise OracleError(f"not found: formula property `{name}`")
        if self.expected is None:
            self.expected = len(vec)
        elif self.expected != len(vec):
            raise OracleError(f"invalid argument: formula shape mismatch: expected length {self.expected}, got {len(vec)}")
        return vec

    def eval(self, t):
        kind = t[0]
        if kind == "num":
            return float(t[1])
        if kind == "param":
            if t[1] not in self.params:
                raise OracleError(f"not found: formula parameter `${t[1]}`")
            v = float(self.params[t[1]])
            if not math.isfinite(v):
                raise OracleError(f"invalid argument: formula parameter `${t[1]}` is not finite")
            return v
        if kind == "var":
            return self.lookup(t[1])
        if kind == "pos":
            return self.eval(t[1])
        if kind == "neg":
            return zipn(lambda x: -x, [self.eval(t[1])])
        if kind == "bin":
            left = self.eval(t[2])
            right = self.eval(t[3])
            return zip2(BINARY[t[1]], left, right)
        name, args = t[1], t[2]
        if name not in ARITY:
            raise OracleError(f"invalid argument: unsupported formula function `{name}`")
        if ARITY[name] != len(args):
            raise OracleError(
                f"invalid argument: formula function `{name}` expects {ARITY[name]} argument(s), got {len(args)}")
        vals = [self.eval(a) for a in args]
        if name in UNARY:
            return zipn(UNARY[name], vals)
        if name == "pow":
            return zip2(BINARY["**"], *vals)
        if name == "min":
            return zip2(_min, *vals)
        if name == "max":
            return zip2(_max, *vals)
        if name == "clip":
            return zip2(_min, zip2(_max, vals[0], vals[1]), vals[2])
        vecs = [v for v in vals if isinstance(v, list)]
        for v in vecs[1:]:
            if len(v) != len(vecs[0]):
                raise OracleError(
                    f"invalid argument: formula shape mismatch: expected length {len(vecs[0])}, got {len(v)}")
        return zipn(_select, vals)


def zip2(f, a, b):
    if isinstance(a, list) and isinstance(b, list) and len(a) != len(b):
        raise OracleError(f"invalid argument: formula shape mismatch: left length {len(a)}, right length {len(b)}")
    return zipn(f, [a, b])


def zipn(f, vals):
    vecs = [v for v in vals if isinstance(v, list)]
    if not vecs:
        return f(*vals)
    n = len(vecs[0])
    return [f(*(v[i] if isinstance(v, list) else v for v in vals)) for i in range(n)]


def collect_vars(t, out: set):
    stack = [t]
    while stack:
        e = stack.pop()
        if e[0] == "var":
            out.add(e[1])
        elif e[0] in ("neg", "pos"):
            stack.append(e[1])
        elif e[0] == "bin":
            stack += [e[2], e[3]]
        elif e[0] == "call":
            stack += e[2]
    return out


def kahn(lines):
    """lines: list of (name, tree). Returns the evaluation order (indices)."""
    index = {}
    for i, (name, _) in enumerate(lines):
        if name in index:
            raise OracleError(f"invalid argument: duplicate assignment lhs `{name}`")
        index[name] = i
    deg = [0] * len(lines)
    dependents = [[] for _ in lines]
    for i, (_, tree) in enumerate(lines):
        for v in sorted(collect_vars(tree, set())):
            if v in index:
                deg[i] += 1
                dependents[index[v]].append(i)
    queue = deque(i for i in range(len(lines)) if deg[i] == 0)
    order = []
    while queue:
        i = queue.popleft()
        order.append(i)
        for d in dependents[i]:
            deg[d] -= 1
            if deg[d] == 0:
                queue.append(d)
    if len(order) < len(lines):
        names = ", ".join(lines[i][0] for i in range(len(lines)) if deg[i] > 0)
        raise OracleError(f"invalid argument: cyclic formula dependencies involving {names}")
    return order


def evaluate_block(lines, properties, params):
    ctx = Context(properties, params)
    for i in kahn(lines):
        name, tree = lines[i]
        ctx.computed[name] = ctx.eval(tree)
    n = ctx.expected if ctx.expected is not None else 1
    return {name: (ctx.computed[name] if isinstance(ctx.computed[name], list) else [ctx.computed[name]] * n)
            for name, _ in lines}
