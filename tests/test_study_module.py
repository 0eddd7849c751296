"""The study layer as a package surface: the second extension module and its
stub, the lazy top-level names (import zaviktools loads no numpy), a strictly
typed user script and the memory budget of the new kernels (their Ctrl-C is
in test_interrupts.py)."""

import importlib.util
import inspect
import math
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import zaviktools as zk
from zaviktools import _study

STUDY_NAMES = {"NormalScore", "sgs_scores", "sgs_ensemble", "krige_points", "krige_grid", "krige_grid_window",
               "cross_validate", "polygon_mask"}
TOP_LEVEL = {"krige_points": "kriging", "krige_grid": "kriging", "cross_validate": "kriging",
             "CrossValidation": "kriging", "NormalScoreTransform": "nscore", "sgs_scores": "nscore",
             "sgs_ensemble": "simulation", "polygon_mask": "masks"}


def run_python(code, **env):
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=300,
                          env={**os.environ, **env})


def test_study_module_registers_its_kernels_with_signatures():
    assert {n for n in vars(_study) if not n.startswith("_")} == STUDY_NAMES
    assert _study.__name__ == "zaviktools._study" and "numpy" not in _study.__doc__.split("`")[0]
    assert str(inspect.signature(_study.krige_points)) == (
        "(coords, targets, variogram, max_neighbours, radius, threads=None)")
    assert str(inspect.signature(_study.NormalScore)) == "(data)"
    with pytest.raises(TypeError):
        type("Sub", (_study.NormalScore,), {})


def test_the_public_module_keeps_its_names_and_import_loads_no_numpy():
    done = run_python("import sys, zaviktools; print('numpy' in sys.modules, '_study' in dir(zaviktools) and "
                      "'zaviktools._study' in sys.modules); zaviktools.krige_grid; print('numpy' in sys.modules)")
    assert done.stdout.split() == ["False", "False", "True"], done.stderr
    assert not STUDY_NAMES & set(vars(zk._zaviktools))
    for name, module in TOP_LEVEL.items():
        assert name in zk.__all__ and name in dir(zk)
        assert getattr(zk, name) is getattr(importlib.import_module(f"zaviktools.{module}"), name)
    with pytest.raises(AttributeError):
        zk.krige_nothing  # noqa: B018


def test_stub_is_clean_and_a_typed_study_script_is_strict_clean(tmp_path):
    pytest.importorskip("mypy")
    from test_stubs import mypy_errors, run_mypy_tool

    done = run_mypy_tool(["mypy.stubtest", "zaviktools._study"], tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr
    example = Path(__file__).with_name("typing_study_example.py")
    done, errors = mypy_errors(example, tmp_path, "--strict")
    assert done.returncode == 0 and not errors, done.stdout + done.stderr
    spec = importlib.util.spec_from_file_location("typing_study_example", example)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    results = module.main(size=16, seed=11)
    assert results["round_trip"] == 1.0 and results["ensemble_first"] == 1.0 and all(math.isfinite(v) for v in results.values()), results
    wrong = tmp_path / "wrong.py"
    wrong.write_text("import zaviktools as zk\n"
                     "zk.krige_points([[0.0, 0.0, 1.0]], [[1.0, 1.0]], 'sph', 4, 50.0)\n"
                     "zk.NormalScoreTransform([1.0]).inverse([0.0])\n"
                     "zk.polygon_mask([[0.0, 0.0]], zk.Variogram('sph', 0.0, 1.0, 1.0))\n")
    _, errors = mypy_errors(wrong, tmp_path)
    assert [(line, code) for line, code, _ in errors] == [(2, "arg-type"), (3, "attr-defined"), (4, "arg-type")]


@pytest.mark.parametrize("call, what", [
    ("zk.krige_grid([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 10**6, 10**6), v, 4, 5.0)", "krige_grid"),
    ("zk.sgs_scores([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 10**6, 10**5), v, 4, 5.0, 1)", "sgs_scores"),
    ("zk.polygon_mask([[0, 0], [1, 0], [0, 1]], zk.Lattice(0, 0, 1, 1, 10**6, 10**6))", "polygon_mask"),
    ("zk.sgs_ensemble([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 10**4, 10**4), v, 4, 5.0, range(400))", "sgs_ensemble"),
])
def test_results_beyond_memory_are_refused_before_allocating(call, what):
    done = run_python("import zaviktools as zk\nv = zk.Variogram('sph', 0, 1, 10)\n"
                      f"try:\n    {call}\nexcept MemoryError as e:\n    print(e)")
    assert done.stdout.startswith(f"{what}: needs about ") and "of memory for its result" in done.stdout, done.stderr


def test_lattices_no_machine_holds_are_value_errors():
    with pytest.raises(ValueError) as info:
        zk.krige_grid([[0, 0, 1]], zk.Lattice(0, 0, 1, 1, 2**40, 2**40),
                      zk.AnisotropicVariogram("sph", 10, 5, 1, 0), 4, 5.0)
    assert str(info.value) == "invalid argument: field: 1099511627776×1099511627776 nodes exceed the addressable size"


def test_the_thread_setting_changes_no_bit():
    code = """
import hashlib, numpy as np, zaviktools as zk
rng = np.random.default_rng(3)
data = np.column_stack([rng.uniform(0, 500, (3000, 2)), rng.normal(size=3000)])
lat = zk.Lattice(0.0, 0.0, 2.0, 2.0, 260, 240, rotation_deg=12.0)
aniso = zk.AnisotropicVariogram("exp", 120.0, 40.0, 1.0, 75.0, nugget=0.1)
iso = zk.Variogram("sph", 0.1, 1.0, 90.0)
parts = [*zk.krige_grid(data, lat, aniso, 16, 80.0), *zk.krige_points(data, rng.uniform(0, 500, (50000, 2)), iso, 16, 80.0),
         zk.cross_validate(data, aniso, 16, 80.0).estimate, zk.NormalScoreTransform(data[:, 2]).forward(rng.normal(size=10**5)),
         zk.polygon_mask(data[:40, :2], lat)]
print(hashlib.sha256(b"".join(p.tobytes() for p in parts)).hexdigest())
"""
    digests = {t: run_python(code, ZAVIKTOOLS_NUM_THREADS=t) for t in ("1", "2", "5")}
    assert all(d.returncode == 0 for d in digests.values()), [d.stderr for d in digests.values()]
    assert len({d.stdout for d in digests.values()}) == 1


def test_the_native_table_class():
    ns = _study.NormalScore(np.array([2.0, 1.0, 2.0]))
    assert repr(ns) == "NormalScore(2 values)" and len(ns) == 2 and isinstance(ns.values, bytes)
    assert np.frombuffer(ns.values).tolist() == [1.0, 2.0] and np.frombuffer(ns.scores)[1] > 0
    assert isinstance(ns.forward(np.zeros(3)), bytearray) and bytes(ns.back(ns.forward(b""))) == b""
    with pytest.raises(TypeError, match="argument 'data': 'list' object is not an instance of 'buffer'"):
        _study.NormalScore([1.0, 2.0])
    with pytest.raises(AttributeError):
        ns.values = b""


@pytest.mark.parametrize("name", ["kriging", "nscore", "masks"])
def test_docstring_examples_run(name):
    import doctest

    result = doctest.testmod(importlib.import_module(f"zaviktools.{name}"))
    assert result.failed == 0 and result.attempted >= 3
