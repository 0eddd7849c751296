"""The demo's report page, its usage errors and its help."""

import base64
import contextlib
import errno
import html.parser
import io
import json
import os
import shutil
import subprocess
import sys

import pytest

from zaviktools import _demo_files, demo

np = pytest.importorskip("numpy")


class _Page(html.parser.HTMLParser):
    """Images, tables (rows of cell texts) and anything that would reach out."""

    def __init__(self):
        super().__init__()
        self.images, self.tables, self.external, self._cell = [], [], [], None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "img":
            self.images.append(a)
        if tag in ("script", "link", "iframe", "object", "embed"):
            self.external.append(tag)
        for key in ("src", "href"):
            if key in a and not a[key].startswith(("data:", "#")):
                self.external.append(a[key])
        if tag == "table":
            self.tables.append([])
        elif tag == "tr":
            self.tables[-1].append([])
        elif tag in ("td", "th"):
            self._cell = [tag]

    def handle_data(self, data):
        if self._cell is not None:
            self._cell.append(data)

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.tables[-1][-1].append((self._cell[0], "".join(self._cell[1:]).strip()))
            self._cell = None


def _run(out, hide_matplotlib):
    with pytest.MonkeyPatch.context() as mp, contextlib.redirect_stdout(io.StringIO()):
        if hide_matplotlib:
            mp.setitem(sys.modules, "matplotlib", None)
        return demo.run(str(out), seed=5, size=16, realisations=2)


def _page(out):
    page = _Page()
    page.feed((out / "report.html").read_text(encoding="utf-8"))
    return page


@pytest.mark.parametrize("hide_matplotlib", [False, True])
def test_report_page_is_complete_and_self_contained(hide_matplotlib, tmp_path):
    if not hide_matplotlib:
        pytest.importorskip("matplotlib")
    summary = _run(tmp_path, hide_matplotlib)
    page = _page(tmp_path)
    assert page.external == []
    pngs = [f for f in summary["files"] if f.endswith(".png")]
    assert [i["alt"] for i in page.images] == pngs and len(pngs) == (0 if hide_matplotlib else 10)
    for img in page.images:
        data = base64.b64decode(img["src"].removeprefix("data:image/png;base64,"))
        assert data == (tmp_path / img["alt"]).read_bytes()
    # Every table has a body and no empty cell.
    assert len(page.tables) >= 10
    for table in page.tables:
        body = [row for row in table if any(kind == "td" for kind, _ in row)]
        assert body and all(text for row in body for _, text in row), table
    cells = {text for table in page.tables for row in table for _, text in row}
    g = summary["grv"]["formatted"]
    assert {"P90 (low)", "P50", "P10 (high)", "truth (synthetic)", *g.values()} <= cells
    assert set(summary["files"]) <= cells and {s["output"] for s in summary["skipped"]} <= cells
    assert all(r["grv_formatted"] in cells for r in summary["per_realisation"])
    note = "matplotlib is not installed" in (tmp_path / "report.html").read_text(encoding="utf-8")
    assert note == hide_matplotlib


@pytest.mark.skipif(shutil.which("chromium") is None, reason="chromium is not installed")
def test_report_page_renders_in_a_headless_browser(tmp_path):
    image = pytest.importorskip("matplotlib.image")
    _run(tmp_path, False)
    shot = tmp_path / "shot.png"
    # The browser is not ours to sanitise: under the sanitizer stage it would inherit the
    # preloaded runtime and spin, so it starts without the sanitizer's environment.
    env = {k: v for k, v in os.environ.items()
           if k not in ("LD_PRELOAD", "PYTHONMALLOC") and not k.endswith("SAN_OPTIONS")}
    subprocess.run(["chromium", "--headless=new", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--no-first-run", f"--user-data-dir={tmp_path / 'profile'}",
                    "--window-size=1280,4000", f"--screenshot={shot}", (tmp_path / "report.html").as_uri()],
                   capture_output=True, timeout=180, check=True, env=env)
    pixels = image.imread(str(shot))
    assert pixels.shape[:2] == (4000, 1280)
    # Not a blank page: the maps' colours are there, below the tables.
    lower = pixels[1500:, :, :3]
    assert lower.std() > 0.1 and len(np.unique(lower.reshape(-1, 3)[::97], axis=0)) > 200


def _bad_outs(tmp_path):
    afile = tmp_path / "a-file"
    afile.write_text("x")
    dangling = tmp_path / "dangling"
    dangling.symlink_to(tmp_path / "nowhere" / "at-all")
    cases = [
        (str(afile), f"demo: --out {afile} exists and is not a directory"),
        (str(afile / "sub"), f"demo: cannot use --out {afile / 'sub'} as the output directory: Not a directory"),
        (str(dangling), f"demo: --out {dangling} is a symbolic link to {tmp_path / 'nowhere' / 'at-all'}, "
                        "which does not exist"),
        ("", "demo: --out must name a directory, got an empty path"),
        ("a\0b", "demo: --out must not contain a NUL character"),
    ]
    if os.path.isdir("/proc/self"):
        cases += [("/proc/x", "demo: cannot use --out /proc/x as the output directory: No such file or directory"),
                  ("/proc/self", "demo: cannot use --out /proc/self as the output directory: ")]
    return cases


def test_every_bad_out_is_one_usage_line_before_any_work(tmp_path, capsys):
    for out, message in _bad_outs(tmp_path):
        with pytest.raises(SystemExit) as exc:
            demo.main(["demo", "--out", out, "--size", "12"])
        err = capsys.readouterr()
        assert exc.value.code == 2 and err.out == "", out
        assert err.err.count("\n") == 1 and err.err.startswith("python -m zaviktools: error: " + message), out
        with pytest.raises(ValueError, match="^" + message.replace("(", r"\(").replace(")", r"\)")):
            demo.run(out, size=12)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["a-file", "dangling"]


def test_bad_out_from_the_command_line(tmp_path):
    target = tmp_path / "file"
    target.write_text("")
    run = subprocess.run([sys.executable, "-m", "zaviktools", "demo", "--out", str(target)],
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 2 and run.stdout == "" and "Traceback" not in run.stderr
    assert run.stderr == f"python -m zaviktools: error: demo: --out {target} exists and is not a directory (see --help)\n"


def test_failed_write_is_one_line_and_exit_1(tmp_path, capsys, monkeypatch):
    def full(*_):
        raise OSError(errno.ENOSPC, os.strerror(errno.ENOSPC))

    monkeypatch.setattr(_demo_files, "write_csv", full)
    assert demo.main(["demo", "--out", str(tmp_path), "--size", "12", "--realisations", "1"]) == 1
    err = capsys.readouterr().err
    assert err == f"demo: cannot write the study into {tmp_path}: No space left on device\n"


def test_help_gives_every_range(capsys):
    with pytest.raises(SystemExit) as exc:
        demo.main(["demo", "--help"])
    text = " ".join(capsys.readouterr().out.split())
    assert exc.value.code == 0
    for part in ("--size N lattice nodes a side, 12 to 2000 (default: 120)",
                 "--realisations N SGS realisations, 1 to 10000 (default: 16)",
                 "--seed N seed of the whole study, 0 <= N < 2**64 (default: 2024)",
                 "--out DIR output directory, created if missing"):
        assert part in text
    with pytest.raises(SystemExit):
        demo.main(["demo", "--size", "many"])
    assert capsys.readouterr().err == ("python -m zaviktools demo: error: argument --size: invalid int value: "
                                       "'many' (see --help)\n")


def test_summary_round_trips_as_strict_json(tmp_path):
    summary = _run(tmp_path, True)
    text = (tmp_path / "summary.json").read_text()
    assert json.loads(text, parse_constant=lambda c: pytest.fail(f"non-JSON constant {c}")) == summary


@pytest.mark.parametrize("hide_matplotlib", [False, True])
def test_p_maps_beyond_the_memory_budget_are_skipped_and_said_why(hide_matplotlib, tmp_path, monkeypatch):
    if not hide_matplotlib:
        pytest.importorskip("matplotlib")
    from zaviktools import _demo_workflow

    monkeypatch.setattr(_demo_workflow, "ENSEMBLE_BUDGET", 16 * 16 * 8)  # one realisation's worth
    summary = _run(tmp_path, hide_matplotlib)
    reason = "the P-maps need all 2 realisations at once (4.0 KiB), more than the demo's 2.0 KiB"
    skipped = ["p_maps.png"] if not hide_matplotlib else ["p_maps.png", "p90.npy", "p50.npy", "p10.npy"]
    assert [s for s in summary["skipped"] if s["reason"] == reason] == [{"output": n, "reason": reason}
                                                                       for n in skipped]
    assert not any(f.startswith(("p_maps", "p90", "p50", "p10")) for f in summary["files"])
    assert summary["grv"]["m3"]["p90"] <= summary["grv"]["m3"]["p10"]  # the GRV needs no P-maps
