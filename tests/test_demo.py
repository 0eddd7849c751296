import csv
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


# --- the study in-process: with matplotlib, without it, and its numbers ----
import contextlib
import io
import random
import re

import pytest

import zaviktools as zk
from zaviktools import _demo_output, _demo_volumes, demo

np = pytest.importorskip("numpy")

SEED, SIZE, COUNT = 11, 24, 3
PNGS = ("surface", "kriged", "realisation_1", "realisation_2", "closure")
NPYS = ("surface", "kriged", "realisation_1", "realisation_2")
CSVS = ("study_area", "wells", "closure", "tops", "log_well_1")


def _run(out, hide_matplotlib, seed=SEED):
    text = io.StringIO()
    with pytest.MonkeyPatch.context() as mp, contextlib.redirect_stdout(text):
        if hide_matplotlib:
            mp.setitem(sys.modules, "matplotlib", None)  # `import matplotlib` raises ImportError
            mp.setitem(sys.modules, "matplotlib.figure", None)
        summary = demo.run(str(out), seed=seed, size=SIZE, realisations=COUNT)
    return summary, text.getvalue()


@pytest.fixture(scope="module")
def with_plots(tmp_path_factory):
    pytest.importorskip("matplotlib")
    out = tmp_path_factory.mktemp("plots")
    return (out, *_run(out, False))


@pytest.fixture(scope="module")
def raw(tmp_path_factory):
    out = tmp_path_factory.mktemp("raw")
    return (out, *_run(out, True))


def _numbers(summary):
    return {k: v for k, v in summary.items() if k not in ("timings_s", "files")}


def test_png_maps_written(with_plots):
    out, summary, text = with_plots
    for name in PNGS:
        data = (out / f"{name}.png").read_bytes()
        assert data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) > 1000, name
        assert f"{name}.png" in summary["files"]
    assert not any(out.glob("*.npy")) and "matplotlib is not installed" not in text
    assert sorted(summary["files"]) == sorted(p.name for p in out.iterdir())


def test_without_matplotlib_says_so_and_writes_npy_and_csv(raw):
    out, summary, text = raw
    assert ('matplotlib is not installed (pip install "zaviktools[plot]"); '
            "writing the maps as .npy/CSV instead") in text.splitlines()
    assert not any(out.glob("*.png"))
    assert sorted(summary["files"]) == sorted([f"{n}.npy" for n in NPYS] + [f"{n}.csv" for n in CSVS] + ["summary.json"])
    assert json.loads((out / "summary.json").read_text()) == summary


def test_progress_and_every_step_timed(raw):
    _, summary, text = raw
    assert f"realisations {COUNT}/{COUNT}" in text
    assert len(summary["timings_s"]) == 12
    for name, t in summary["timings_s"].items():
        assert t >= 0 and any(line.startswith(name) and line.endswith(" s") for line in text.splitlines()), name


def _load(out):
    summary = json.loads((out / "summary.json").read_text())
    lattice = zk.Georef().lattice(25.0, 25.0, SIZE, SIZE, rotation_deg=15.0)
    assert repr(lattice) == summary["lattice"]
    with open(out / "tops.csv") as fh:
        rows = list(csv.DictReader(fh))
    coords = [[float(r["x"]), float(r["y"]), float(r["top_height_m"])] for r in rows]
    v = summary["variogram"]
    return summary, lattice, coords, zk.Variogram("spherical", v["nugget"], v["sill"], v["range"])


def test_npy_grids_equal_the_toolkit_calls(raw):
    out, summary, _ = raw
    summary, lattice, coords, vario = _load(out)
    grids = {n: np.load(out / f"{n}.npy") for n in NPYS}
    ext = 25.0 * (SIZE - 1)
    dome = zk.synth_dome_surface(lattice, 80.0, 1.5, 10.0, 4.0, zk.Variogram("spherical", 0, 1, ext / 6), SEED)
    assert grids["surface"].dtype == np.dtype("<f8") and grids["surface"].shape == (SIZE, SIZE)
    assert grids["surface"].tolist() == dome
    assert repr(vario) == summary["variogram"]["repr"] and len(coords) == summary["wells"]
    assert grids["kriged"].tolist() == zk.local_kriging_grid(coords, lattice, vario, 16, 2 * ext)[0]
    for k in (1, 2):
        assert grids[f"realisation_{k}"].tolist() == zk.sgs(coords, lattice, vario, 16, vario.range, SEED + 99 + k)
    with open(out / "closure.csv") as fh:
        ring = [[float(x), float(y)] for x, y in list(csv.reader(fh))[1:]]
    assert ring == zk.closure_outline(dome, lattice, summary["closure"]["spill_level"])
    assert len(ring) == summary["closure"]["vertices"] >= 3


def _inside_oracle(ring, px, py):
    """Even-odd ray casting in world coordinates, one point at a time."""
    inside = False
    for (x1, y1), (x2, y2) in zip(ring, ring[1:] + ring[:1]):
        if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def test_grv_of_each_map_against_an_independent_sum(raw):
    out, summary, _ = raw
    summary, lattice, _, _ = _load(out)
    with open(out / "closure.csv") as fh:
        ring = [[float(x), float(y)] for x, y in list(csv.reader(fh))[1:]]
    level = summary["closure"]["spill_level"]
    mask = np.array([[_inside_oracle(ring, *lattice.node_xy(i, j)) for j in range(SIZE)] for i in range(SIZE)])
    assert mask.sum() == summary["closure"]["nodes"] > 0
    grv = summary["grv_m3"]
    for name, expected in (("surface", grv["reference_surface"]), ("realisation_1", grv["per_realisation"][0]),
                           ("realisation_2", grv["per_realisation"][1])):
        top = np.load(out / f"{name}.npy")
        assert np.clip(top - level, 0, None)[mask].sum() * 625.0 == pytest.approx(expected, rel=1e-12), name
    # Type-7 percentiles under the exceedance convention: P90 is the low case.
    p = np.percentile(grv["per_realisation"], [10, 50, 90])
    assert [grv["p90"], grv["p50"], grv["p10"]] == pytest.approx(p.tolist(), rel=1e-12)
    assert grv["p90"] <= grv["p50"] <= grv["p10"] and 0 < grv["p90"]
    assert grv["formatted"] == {k: zk.format_volume(grv[k]) for k in ("p90", "p50", "p10", "mean")}
    assert summary["closure"]["area_m2"] == pytest.approx(mask.sum() * 625.0, rel=0.25)


def test_summary_keys_and_finite_numbers(raw):
    summary = raw[1]
    assert {"seed", "size", "lattice", "wells", "variogram", "kriged_mean", "realisations", "closure",
            "grv_m3", "log", "timings_s", "files"} <= summary.keys()
    assert summary["realisations"] == len(summary["grv_m3"]["per_realisation"]) == COUNT

    def walk(v):
        if isinstance(v, dict):
            for x in v.values():
                yield from walk(x)
        elif isinstance(v, list):
            for x in v:
                yield from walk(x)
        elif isinstance(v, float):
            yield v

    assert all(math.isfinite(x) for x in walk(summary))
    log = summary["log"]
    assert log["samples"] == 120 and 0 < log["net_to_gross"] < 1 and 0 < log["mean_porosity"] < 1
    assert "rotation_deg=15" in summary["lattice"]


def test_log_csv_is_the_facies_and_porosity_series(raw):
    out, summary, _ = raw
    with open(out / "log_well_1.csv") as fh:
        rows = list(csv.DictReader(fh))
    depth = [float(r["tvdss_m"]) for r in rows]
    facies = [int(r["facies"]) for r in rows]
    assert len(rows) == summary["log"]["samples"] and depth[0] == summary["log"]["top_tvdss"]
    assert np.allclose(np.diff(depth), 0.5) and set(facies) <= {0, 1}
    assert sum(facies) / len(facies) == summary["log"]["net_to_gross"]


def test_same_seed_same_numbers_and_another_seed_differs(with_plots, raw, tmp_path):
    assert _numbers(with_plots[1]) == _numbers(raw[1])
    other, _ = _run(tmp_path, True, seed=SEED + 1)
    assert other["grv_m3"]["per_realisation"] != raw[1]["grv_m3"]["per_realisation"]


@pytest.mark.parametrize("args, message", [
    (["--size", "11"], "size must be in [12, 2000]"),
    (["--size", "2001"], "size must be in [12, 2000]"),
    (["--realisations", "0"], "realisations must be in [1, 10000]"),
    (["--seed", "-1"], "seed must be in [0, 2**64)"),
    (["--seed", str(2**64)], "seed must be in [0, 2**64)"),
])
def test_unmeetable_arguments_refused_before_any_work(args, message, tmp_path, capsys):
    out = tmp_path / "never"
    with pytest.raises(SystemExit) as exc:
        demo.main(["demo", "--out", str(out), *args])
    assert exc.value.code == 2 and message in capsys.readouterr().err and not out.exists()
    kwargs = {"--size": "size", "--realisations": "realisations", "--seed": "seed"}
    with pytest.raises(ValueError, match=re.escape(message)):
        demo.run(str(out), **{kwargs[args[0]]: int(args[1])})
    assert not out.exists()


@pytest.mark.parametrize("case", range(40))
def test_nodes_inside_matches_ray_casting(case):
    rng = random.Random(case)
    lat = zk.Lattice(rng.uniform(-1e3, 1e3), rng.uniform(-1e3, 1e3), rng.uniform(0.5, 3), rng.uniform(0.5, 3),
                     rng.randint(2, 30), rng.randint(2, 30), rotation_deg=rng.uniform(-400, 400),
                     yflip=rng.random() < 0.3)
    # A random star-shaped ring (possibly crossing the lattice edge) about a random node.
    cx, cy = lat.intrinsic_to_world(rng.uniform(0, lat.ncol), rng.uniform(0, lat.nrow))
    n = rng.randint(3, 40)
    angles = sorted(rng.uniform(0, 2 * math.pi) for _ in range(n))
    scale = 2 * max(lat.ncol * abs(lat.xinc), lat.nrow * abs(lat.yinc))
    ring = [[cx + rng.uniform(0.05, 1) * scale * math.cos(a), cy + rng.uniform(0.05, 1) * scale * math.sin(a)]
            for a in angles]
    expected = [i * lat.nrow + j for i in range(lat.ncol) for j in range(lat.nrow)
                if _inside_oracle(ring, *lat.node_xy(i, j))]
    assert sorted(_demo_volumes.nodes_inside(ring, lat)) == expected


@pytest.mark.parametrize("shape", [(1, 1), (0, 3), (24, 24), (3, 700), (1000, 1)])
def test_hand_written_npy_loads_with_numpy(shape, tmp_path):
    a = np.random.default_rng(sum(shape)).normal(size=shape)
    a.flat[: min(a.size, 3)] = [-0.0, float("nan"), 5e-324][: min(a.size, 3)]
    path = tmp_path / "a.npy"
    _demo_output.write_npy(str(path), a.astype("<f8").tobytes(), shape)
    head = path.read_bytes()
    assert (10 + int.from_bytes(head[8:10], "little")) % 64 == 0 and head[6:8] == b"\x01\x00"
    back = np.load(path)
    assert back.shape == shape and back.tobytes() == a.tobytes()
    with pytest.raises(ValueError, match="do not fill"):
        _demo_output.write_npy(str(path), b"\0" * 8, (2, 2))
