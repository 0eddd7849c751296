import json
import math
import subprocess
import sys


def test_demo_runs_end_to_end_on_a_small_size(tmp_path):
    out = tmp_path / "demo"
    run = subprocess.run([sys.executable, "-m", "zaviktools", "demo", "--out", str(out), "--size", "24",
                          "--realisations", "3", "--seed", "7"], capture_output=True, text=True, timeout=300)
    assert run.returncode == 0, run.stderr
    summary = json.loads((out / "summary.json").read_text())
    assert {"seed", "size", "lattice", "variogram", "kriged_mean", "skipped"} <= summary.keys()
    assert summary["seed"] == 7 and math.isfinite(summary["kriged_mean"])
    for name in summary["skipped"]:
        assert f"{name}" in run.stdout and "skipped:" in run.stdout
