"""Fuzz target for the formula parser and evaluator (atheris).

    python fuzz/formula_fuzz.py -atheris_runs=100000

Each input becomes a block of one to three lines, built from the raw text and
from a token alphabet that reaches deep into the grammar. Both entry points
must either succeed or raise ValueError with one of the engine's own prefixes;
any other exception, or a crash, is a finding.
"""

from __future__ import annotations

import sys

ALLOWED_PREFIXES = ("parse error: ", "invalid argument: ", "not found: ")
PIECES = ["a", "b", "$p", "$q", "x", "1", "2.5", "1e308", ".5", "0", "(", ")", ",", "+", "-", "*", "/",
          "**", "<", "<=", ">", ">=", "==", "!=", "=", "!", "abs(", "exp(", "log(", "pow(", "min(", "max(",
          "clip(", "if(", "sqrt(", "log10(", "sin(", " ", "\u3000", "\x00", "e", "$", ".", "^", "\u00e9"]
PROPERTIES = {"a": [1.0, -0.0, float("nan")], "b": [2.0, float("inf"), 3.0], "x": [1.0]}
PARAMS = {"p": 0.5, "q": float("nan")}


def check(lines: list[str]) -> None:
    """Run one block through both entry points; raise on anything unexpected."""
    import zaviktools as zk

    for call in (lambda: zk.formula_info(lines), lambda: zk.evaluate_formula(lines, PROPERTIES, PARAMS)):
        try:
            result = call()
        except ValueError as e:
            if not str(e).startswith(ALLOWED_PREFIXES):
                raise AssertionError(f"unexpected message {str(e)!r} for {lines!r}") from e
            continue
        if not isinstance(result, dict):
            raise AssertionError(f"result is not a dict for {lines!r}")


def lines_from_bytes(data: bytes) -> list[str]:
    if not data:
        return [""]
    mode, body = data[0], data[1:]
    if mode % 2 == 0:
        text = body.decode("utf-8", errors="replace")
    else:
        text = "".join(PIECES[b % len(PIECES)] for b in body)
    parts = text.split("\n", 2) if mode % 3 else [text]
    return [("y = " + p) if (mode >> 2) & 1 else p for p in parts]


def test_one_input(data: bytes) -> None:
    check(lines_from_bytes(data))


def main(argv: list[str]) -> None:
    import atheris

    with atheris.instrument_imports():
        import zaviktools  # noqa: F401
    atheris.Setup(argv, test_one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main(sys.argv)
