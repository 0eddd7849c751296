"""Bounded runs of the formula fuzz target: no crash, only the engine's own
error kinds."""

import os
import pathlib
import subprocess
import sys

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "fuzz"))

import formula_fuzz  # noqa: E402


def test_atheris_target_runs_clean():
    pytest.importorskip("atheris")
    import zaviktools

    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join(
        [str(pathlib.Path(zaviktools.__file__).parent.parent), env.get("PYTHONPATH", "")])
    run = subprocess.run([sys.executable, str(ROOT / "fuzz" / "formula_fuzz.py"), "-atheris_runs=5000", "-seed=11"],
                         capture_output=True, text=True, env=env, timeout=600)
    assert run.returncode == 0, run.stderr[-3000:]
    assert "Done 5000" in run.stderr


@settings(max_examples=500, deadline=None)
@given(st.lists(st.lists(st.sampled_from(formula_fuzz.PIECES), max_size=40).map(lambda p: "y = " + "".join(p)),
                max_size=3))
def test_token_soup(lines):
    formula_fuzz.check(lines)


@settings(max_examples=300, deadline=None)
@given(st.lists(st.text(), max_size=3))
def test_any_text(lines):
    formula_fuzz.check(lines)


@settings(max_examples=300, deadline=None)
@given(st.binary())
def test_raw_bytes(data):
    formula_fuzz.test_one_input(data)
