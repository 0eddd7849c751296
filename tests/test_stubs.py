"""The shipped type stubs: stubtest against the built module, a strict
type-check of an annotated user script, and wrong uses that mypy must report."""

import ast
import importlib.util
import inspect
import math
import os
import re
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest

pytest.importorskip("mypy")

import zaviktools
from zaviktools import _zaviktools as zk

PACKAGE = Path(zaviktools.__file__).parent
STUB = PACKAGE / "_zaviktools.pyi"
EXAMPLE = Path(__file__).with_name("typing_example.py")


def run_mypy_tool(args, cwd):
    # The imported package (and its stubs) come first on the path, and the
    # working directory is empty, so no stray module of the caller's shadows.
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        p for p in (str(PACKAGE.parent), os.environ.get("PYTHONPATH")) if p))
    return subprocess.run([sys.executable, "-m", *args], cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=600)


def mypy_errors(path, tmp_path, *flags):
    done = run_mypy_tool(["mypy", *flags, "--cache-dir", str(tmp_path / "cache"), "--no-color-output",
                          "--hide-error-context", str(path)], tmp_path)
    found = re.findall(r"^[^:\n]+:(\d+): error: (.*?)  \[([a-z-]+)\]$", done.stdout, re.M)
    return done, [(int(line), code, msg) for line, msg, code in found]


def test_package_ships_stub_and_marker():
    assert STUB.is_file() and (PACKAGE / "py.typed").is_file()


def test_stubtest_is_clean(tmp_path):
    done = run_mypy_tool(["mypy.stubtest", "zaviktools._zaviktools"], tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr


def test_example_script_is_strict_clean_and_runs(tmp_path):
    done, errors = mypy_errors(EXAMPLE, tmp_path, "--strict")
    assert done.returncode == 0 and not errors, done.stdout + done.stderr
    spec = importlib.util.spec_from_file_location("typing_example", EXAMPLE)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    results = module.main(size=16, seed=11)
    assert results and all(math.isfinite(v) for v in results.values()), results


WRONG_USES = """\
import zaviktools as zk

lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, 4, 3)
vg = zk.Variogram("spherical", 0.0, 1.0, 30.0)
aniso = zk.AnisotropicVariogram("spherical", 30.0, 10.0, 2.0, 45.0)
coords = [[0.0, 0.0, 1.0], [20.0, 10.0, 2.0], [5.0, 25.0, 3.0]]
zk.mean("1 2 3")  # expect: arg-type
zk.Variogram("spherical", "0.1", 1.0, 30.0)  # expect: arg-type
est, var, shape = zk.local_kriging_grid(coords, lat, vg, 4, 50.0)  # expect: misc
buf, (ncol, nrow) = zk.local_kriging_grid_flat(coords, lat, vg, 4, 50.0)  # expect: misc
zk.local_kriging_grid(coords, lat, aniso, 4, 50.0)  # expect: arg-type
field: list[list[float]] = zk.sgs_flat(coords, lat, vg, 4, 50.0, 1)  # expect: assignment
zk.sgs(coords, lat, vg, 4, 50.0, seed=1.5)  # expect: arg-type
zk.Lattice(0.0, 0.0, 1.0, 1.0, 2.5, 3)  # expect: arg-type
zk.Lattice(0.0, 0.0, 1.0, 1.0, 2, 3, yflip=1)  # expect: arg-type
lat.ncol = 5  # expect: misc
zk.resample_flat([[1.0, 2.0]], lat, lat)  # expect: arg-type
zk.tops_from_surface([[0.0]], lat, [[1.0, 2.0]], zk.Sampler.normal(0, 1).clamped(-1, 1), 3)  # expect: arg-type
zk.synth_trajectory_profile([0, 0], 10.0, 900.0, 30.0, 1, "build_hold", azimuth=30.0)  # expect: call-arg
zk.evaluate_formula(["a = b * 2"], {"b": "12"})  # expect: type-var
zk.Sampler.uniform(0.0, 1.0).sample(7)  # expect: arg-type
count: int = zk.mean([1.0, 2.0])  # expect: assignment
x, y = lat.world_to_intrinsic(5.0, 5.0)  # expect: misc
zk.Rng(3).sample  # expect: attr-defined
zk.ensemble_maps([[[0.0, 1.0]]], threshold="2")  # expect: arg-type
maps: zk.EnsembleMaps = zk.lattice_from_axes([0.0, 1.0], [0.0, 1.0])  # expect: assignment
zk.node_coordinates(lat, 2)  # expect: call-arg
"""


def test_wrong_uses_are_reported(tmp_path):
    snippet = tmp_path / "wrong_uses.py"
    snippet.write_text(WRONG_USES)
    expected = {n: m.group(1) for n, line in enumerate(WRONG_USES.splitlines(), 1)
                if (m := re.search(r"# expect: (\S+)", line))}
    done, errors = mypy_errors(snippet, tmp_path)
    reported = {}
    for line, code, msg in errors:
        reported.setdefault(line, []).append((code, msg))
    missing = {n: code for n, code in expected.items() if code not in [c for c, _ in reported.get(n, [])]}
    extra = {n: r for n, r in reported.items() if n not in expected}
    assert not missing and not extra, f"missing {missing}, unexpected {extra}\n{done.stdout}{done.stderr}"


def stub_docstrings():
    """(runtime object, docstring) for every documented declaration of the stub."""
    tree = ast.parse(STUB.read_text(encoding="utf-8"))
    yield zk, ast.get_docstring(tree)
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)) and hasattr(zk, node.name):
            owner = getattr(zk, node.name)
            yield owner, ast.get_docstring(node)
            for sub in getattr(node, "body", []) if isinstance(node, ast.ClassDef) else []:
                if isinstance(sub, ast.FunctionDef) and not sub.name.startswith("__"):
                    yield getattr(owner, sub.name), ast.get_docstring(sub)


def test_stub_docstrings_match_the_module():
    # Editors show the stub's docstrings for a compiled module: keep them the module's own.
    stale = [(getattr(obj, "__qualname__", obj.__name__), doc) for obj, doc in stub_docstrings()
             if (doc or "") != inspect.cleandoc(obj.__doc__ or "")]
    assert not stale, stale
