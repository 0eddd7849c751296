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
    assert {"seed", "size", "lattice", "variogram", "kriged", "skipped"} <= summary.keys()
    assert summary["seed"] == 7 and math.isfinite(summary["kriged"]["mean_tvdss_m"])
    assert sorted(summary["files"]) == sorted(p.name for p in out.iterdir())
    # Every skipped output says why, and the run said so.
    for entry in summary["skipped"]:
        assert entry["reason"] and entry["output"] not in summary["files"]
    if summary["skipped"]:
        assert "matplotlib is not installed" in run.stdout


# --- the study in-process: with matplotlib, without it, and its numbers ----
import contextlib
import io
import random
import re

import pytest

import zaviktools as zk
from zaviktools import _demo_output, demo
from zaviktools._demo_study_api import polygon_mask

np = pytest.importorskip("numpy")

SEED, SIZE, COUNT = 11, 24, 3
PNGS = ("surface", "kriged", "kriging_std", "realisations", "p_maps", "closure_probability", "closure", "grv",
        "cross_validation", "log_well_1")
NPYS = ("surface", "kriged", "kriging_std", "realisation_1", "realisation_2", "realisation_3", "p90", "p50", "p10",
        "closure_probability")
CSVS = ("study_area", "closure", "closure_truth", "closure_realisation_1", "closure_realisation_2",
        "closure_realisation_3", "tops", "cross_validation", "realisations", "log_well_1")
DATUM = 2500.0


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
    return {k: v for k, v in summary.items() if k not in ("timings_s", "files", "skipped")}


def test_png_maps_written(with_plots):
    out, summary, text = with_plots
    for name in PNGS:
        data = (out / f"{name}.png").read_bytes()
        assert data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) > 1000, name
        assert f"{name}.png" in summary["files"]
    assert not any(out.glob("*.npy")) and "matplotlib is not installed" not in text
    assert sorted(summary["files"]) == sorted(p.name for p in out.iterdir())
    assert summary["skipped"] == []


def test_without_matplotlib_says_so_and_writes_npy_and_csv(raw):
    out, summary, text = raw
    assert ('matplotlib is not installed (pip install "zaviktools[plot]"); '
            "writing the maps as .npy/CSV instead") in text.splitlines()
    assert not any(out.glob("*.png"))
    assert sorted(summary["files"]) == sorted([f"{n}.npy" for n in NPYS] + [f"{n}.csv" for n in CSVS]
                                              + ["report.html", "summary.json"])
    assert json.loads((out / "summary.json").read_text()) == summary
    # Every map and chart is listed as skipped, and why.
    assert summary["skipped"] == [{"output": f"{n}.png", "reason": "matplotlib is not installed"} for n in PNGS]


def test_progress_and_every_step_timed(raw):
    _, summary, text = raw
    assert f"realisations {COUNT}/{COUNT}" in text
    assert len(summary["timings_s"]) == 15
    for name, t in summary["timings_s"].items():
        assert t >= 0 and any(line.startswith(name) and line.endswith(" s") for line in text.splitlines()), name


def _load(out):
    summary = json.loads((out / "summary.json").read_text())
    lattice = zk.Georef().lattice(25.0, 25.0, SIZE, SIZE, rotation_deg=15.0)
    assert summary["lattice"] == {k: getattr(lattice, k) for k in summary["lattice"]}
    with open(out / "tops.csv") as fh:
        rows = list(csv.DictReader(fh))
    coords = np.array([[float(r["x"]), float(r["y"]), float(r["top_height_m"])] for r in rows])
    return summary, lattice, coords


def _trend(summary, x, y):
    """The summary's quadratic, evaluated independently of the demo's code."""
    t = summary["trend"]
    u, v = (np.asarray(x) - t["x0"]) / t["scale_m"], (np.asarray(y) - t["y0"]) / t["scale_m"]
    c = t["coefficients"]
    return c[0] + c[1] * u + c[2] * v + c[3] * u * u + c[4] * u * v + c[5] * v * v


def _nodes(lattice):
    xy = np.array([[lattice.node_xy(i, j) for j in range(lattice.nrow)] for i in range(lattice.ncol)])
    return xy[..., 0], xy[..., 1]


def test_npy_grids_equal_the_toolkit_calls(raw):
    out, summary, _ = raw
    summary, lattice, coords = _load(out)
    grids = {n: np.load(out / f"{n}.npy") for n in NPYS}
    ext = 25.0 * (SIZE - 1)
    dome = zk.synth_dome_surface(lattice, 80.0, 1.5, 10.0, 4.0, zk.Variogram("spherical", 0, 1, ext / 6), SEED)
    assert grids["surface"].dtype == np.dtype("<f8") and grids["surface"].shape == (SIZE, SIZE)
    assert grids["surface"].tolist() == (DATUM - np.array(dome)).tolist()
    assert len(coords) == summary["wells"]["with_tops"]
    # The trend is the least-squares quadratic through the tops.
    x, y = _nodes(lattice)
    cx, cy = (coords[:, 0] - 431000) / 1e3, (coords[:, 1] - 6521000) / 1e3  # any affine frame fits the same
    a = np.column_stack([np.ones(len(coords)), cx, cy, cx * cx, cx * cy, cy * cy])
    direct = a @ np.linalg.lstsq(a, coords[:, 2], rcond=None)[0]
    assert _trend(summary, coords[:, 0], coords[:, 1]) == pytest.approx(direct, abs=1e-6)
    residuals = coords.copy()
    residuals[:, 2] -= _trend(summary, coords[:, 0], coords[:, 1])
    k = summary["kriging"]
    model = zk.Variogram("spherical", k["nugget_m2"], k["sill_m2"], k["range_m"])
    kriged = np.array(zk.local_kriging_grid(residuals.tolist(), lattice, model, 16, k["radius_m"])[0])
    assert grids["kriged"] == pytest.approx(DATUM - (_trend(summary, x, y) + kriged), abs=1e-9)
    v = summary["variogram"]
    vario = zk.Variogram("spherical", v["nugget"], v["sill"], v["range_m"])
    for r in summary["per_realisation"]:
        sim = zk.sgs(residuals.tolist(), lattice, vario, 16, max(vario.range, 100.0), r["seed"])
        assert grids[f"realisation_{r['realisation']}"] == pytest.approx(
            DATUM - (_trend(summary, x, y) + np.array(sim)), abs=1e-9)
    assert [r["seed"] for r in summary["per_realisation"]] == [SEED + 100 + k for k in range(COUNT)]


def _inside_oracle(ring, px, py):
    """Even-odd ray casting in world coordinates, one point at a time."""
    inside = False
    for (x1, y1), (x2, y2) in zip(ring, ring[1:] + ring[:1]):
        if (y1 > py) != (y2 > py) and px < x1 + (py - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def _crest_region(height, level, within):
    """4-connected region above `level` holding the highest node of `within`
    (scipy's labelling), and whether it touches the lattice edge."""
    ndimage = pytest.importorskip("scipy.ndimage")
    labels, _ = ndimage.label(height > level)
    crest = np.unravel_index(np.argmax(np.where(within, height, -np.inf)), height.shape)
    region = labels == labels[crest]
    return region, bool(region[0].any() or region[-1].any() or region[:, 0].any() or region[:, -1].any())


def test_each_map_closed_at_its_own_spill_point_with_its_own_grv(raw):
    out, summary, _ = raw
    summary, lattice, _ = _load(out)
    with open(out / "study_area.csv") as fh:
        area = [[float(x), float(y)] for x, y in list(csv.reader(fh))[1:]]
    x, y = _nodes(lattice)
    within = np.vectorize(lambda px, py: _inside_oracle(area, px, py))(x, y)
    cases = [("surface", "closure_truth", summary["truth"]["closure"])]
    cases += [(f"realisation_{r['realisation']}", f"closure_realisation_{r['realisation']}", r)
              for r in summary["per_realisation"]]
    for grid, ring_file, c in cases:
        height = DATUM - np.load(out / f"{grid}.npy")
        level = DATUM - c["spill_tvdss_m"]
        region, open_ = _crest_region(height, level, within)
        assert not open_, grid  # closed at its level...
        assert _crest_region(height, level - 0.002, within)[1], grid  # ...and spilling just below it
        assert c["grv_m3"] == pytest.approx(float((height - level)[region].sum()) * 625.0, rel=1e-9), grid
        with open(out / f"{ring_file}.csv") as fh:
            ring = [[float(a), float(b)] for a, b in list(csv.reader(fh))[1:]]
        assert len(ring) == c["vertices"] >= 3
        # The closure lies inside the lattice and encloses the crest's region.
        for px, py in ring:
            i, j = lattice.world_to_intrinsic(px, py)
            assert 0 <= i <= SIZE - 1 and 0 <= j <= SIZE - 1, grid
        assert all(_inside_oracle(ring, *lattice.node_xy(i, j)) for i, j in zip(*np.nonzero(region))), grid
        assert c["area_m2"] == pytest.approx(region.sum() * 625.0, rel=0.25)
    grv = summary["grv"]
    # Type-7 percentiles under the exceedance convention: P90 is the low case.
    p = np.percentile([r["grv_m3"] for r in summary["per_realisation"]], [10, 50, 90])
    assert [grv["m3"]["p90"], grv["m3"]["p50"], grv["m3"]["p10"]] == pytest.approx(p.tolist(), rel=1e-12)
    assert grv["m3"]["p90"] <= grv["m3"]["p50"] <= grv["m3"]["p10"] and 0 < grv["m3"]["p90"]
    assert grv["m3"]["truth"] == summary["truth"]["closure"]["grv_m3"]
    # One unit for every volume of the report.
    assert {t.split(" ", 1)[1] for t in grv["formatted"].values()} == {grv["unit"]}


def test_summary_keys_and_finite_numbers(raw):
    summary = raw[1]
    assert list(summary) == ["seed", "size", "realisations", "datum_tvdss_m", "lattice", "study_area", "wells",
                             "trend", "variogram", "kriging", "cross_validation", "kriged", "truth", "grv",
                             "per_realisation", "log", "files", "skipped", "timings_s"]
    assert summary["realisations"] == len(summary["per_realisation"]) == COUNT
    assert list(summary["grv"]["m3"]) == list(summary["grv"]["formatted"]) == ["p90", "p50", "p10", "mean", "truth"]
    assert set(summary["per_realisation"][0]) >= {"seed", "spill_tvdss_m", "grv_m3", "area_m2"}
    assert set(summary["cross_validation"]) == {"wells", "rmse_m", "mean_error_m", "msse"}

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
    assert summary["lattice"]["rotation_deg"] == 15.0 and summary["lattice"]["yflip"] is False


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
    assert other["per_realisation"] != raw[1]["per_realisation"]


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
def test_polygon_mask_matches_ray_casting(case):
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
    mask = np.asarray(polygon_mask(ring, lat))
    assert mask.shape == (lat.ncol, lat.nrow)
    assert [i * lat.nrow + j for i, j in zip(*np.nonzero(mask))] == expected


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


def test_smallest_study_reports_grv_in_mcm_like_the_others(tmp_path):
    with pytest.MonkeyPatch.context() as mp, contextlib.redirect_stdout(io.StringIO()) as out:
        mp.setitem(sys.modules, "matplotlib", None)
        summary = demo.run(str(tmp_path), seed=3, size=12, realisations=2)
    line = next(x for x in out.getvalue().splitlines() if x.startswith("GRV P90 "))
    assert summary["grv"]["unit"] == "mcm" and line.count(" mcm") == 5 and "m³" not in line
