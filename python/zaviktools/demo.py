"""The demo study: a synthetic field run end to end on built-in defaults.

    python -m zaviktools demo [--out DIR] [--seed N] [--size N] [--realisations N]

A dome on a rotated lattice (the synthetic truth), a study area, wells and
their tops; a quadratic trend of the tops, normal scores of the residuals, a
variogram fitted on the scores and cross-validated; the kriged map and its
standard deviation; SGS realisations in threads, each closed at its own spill
point with its own gross-rock volume (GRV); P90/P50/P10 GRV beside the
truth's, P-maps, the probability of lying inside the closure, and a
synthetic well log. Writes maps and charts (PNG, with matplotlib), CSV
tables, `report.html` (the whole study on one self-contained page) and
`summary.json`. Depths are m TVDSS.
"""

from __future__ import annotations

import argparse
import json
import os
import sys
import time
from typing import Any, NoReturn, Optional, Sequence

from ._demo_outdir import prepare

SIZES, COUNTS = (12, 2000), (1, 10000)
_U64 = 2**64
NO_IMAGES_NOTE = ("matplotlib is not installed (pip install \"zaviktools[plot]\"): this page has the numbers only; "
                  "the grids are written as .npy and the outlines as CSV.")


def _check(seed: int, size: int, count: int) -> None:
    if not 0 <= seed < _U64:
        raise ValueError(f"demo: seed must be in [0, 2**64), got {seed}")
    if not SIZES[0] <= size <= SIZES[1]:
        raise ValueError(f"demo: size must be in [{SIZES[0]}, {SIZES[1]}] nodes a side, got {size}")
    if not COUNTS[0] <= count <= COUNTS[1]:
        raise ValueError(f"demo: realisations must be in [{COUNTS[0]}, {COUNTS[1]}], got {count}")


def run(out: str, seed: int = 2024, size: int = 120, realisations: int = 16) -> dict[str, Any]:
    """Run the study into directory `out` (created if missing); returns the
    summary also written to `out/summary.json`. Arguments out of range and an
    unusable `out` raise ValueError before any work."""
    _check(seed, size, realisations)
    prepare(out)
    from . import _demo_files as files
    from ._demo_report import render
    from ._demo_summary import build
    from ._demo_workflow import run_study

    print(f"zaviktools demo: seed {seed}, {size} x {size} nodes, {realisations} realisations, into {out}")
    study = run_study(seed, size, realisations)
    outs = files.Outputs(out)
    files.write_tables(study, outs)
    t0 = time.perf_counter()
    drew = files.write_maps(study, outs)
    if drew:
        files.write_charts(study, outs)
        study.timings["maps and charts"] = time.perf_counter() - t0
        print(f"{'maps and charts':<44} {study.timings['maps and charts']:8.3f} s", flush=True)
    summary = build(study, outs.written + ["report.html", "summary.json"], outs.skipped)
    with open(os.path.join(out, "report.html"), "w", encoding="utf-8") as fh:
        fh.write(render(out, summary, outs.images, None if drew else NO_IMAGES_NOTE))
    with open(os.path.join(out, "summary.json"), "w", encoding="utf-8") as fh:
        json.dump(summary, fh, indent=2, allow_nan=False)
        fh.write("\n")
    print(f"report: {os.path.join(out, 'report.html')}")
    print(f"summary written to {os.path.join(out, 'summary.json')}")
    return summary


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> NoReturn:
        # One line: the usage is one `--help` away.
        self.exit(2, f"{self.prog}: error: {message} (see --help)\n")


def _parser() -> argparse.ArgumentParser:
    p = _Parser(prog="python -m zaviktools", description="zaviktools demo study")
    sub = p.add_subparsers(dest="command", required=True)
    d = sub.add_parser("demo", help="run a complete synthetic study", description=__doc__.split("\n\n")[2],
                       formatter_class=argparse.RawDescriptionHelpFormatter)
    d.add_argument("--out", default="zaviktools-demo", metavar="DIR",
                   help="output directory, created if missing; files of an earlier run in it are replaced "
                        "(default: %(default)s)")
    d.add_argument("--seed", type=int, default=2024, metavar="N",
                   help="seed of the whole study, 0 <= N < 2**64 (default: %(default)s)")
    d.add_argument("--size", type=int, default=120, metavar="N",
                   help=f"lattice nodes a side, {SIZES[0]} to {SIZES[1]} (default: %(default)s)")
    d.add_argument("--realisations", type=int, default=16, metavar="N",
                   help=f"SGS realisations, {COUNTS[0]} to {COUNTS[1]} (default: %(default)s)")
    return p


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = _parser()
    args = parser.parse_args(argv)
    try:
        _check(args.seed, args.size, args.realisations)
        prepare(args.out)
    except ValueError as exc:
        parser.error(str(exc))
    try:
        run(args.out, args.seed, args.size, args.realisations)
    except OSError as exc:  # the disk filled, the directory went away, ...
        print(f"demo: cannot write the study into {args.out}: {exc.strerror or exc}", file=sys.stderr)
        return 1
    return 0
