"""Plain files of the demo study: `.npy` grids (format 1.0, written by hand
from the little-endian f64 bytes) and CSV tables."""

from __future__ import annotations

import csv
import struct
from typing import Iterable, Sequence

NO_MATPLOTLIB = (
    'matplotlib is not installed (pip install "zaviktools[plot]"); writing the maps as .npy/CSV instead'
)


def write_npy(path: str, buf: bytes, shape: tuple[int, int]) -> None:
    """`buf` (little-endian f64, C order) as a .npy file of format version 1.0."""
    header = f"{{'descr': '<f8', 'fortran_order': False, 'shape': ({shape[0]}, {shape[1]}), }}"
    # Magic (6) + version (2) + length (2) + header + newline, padded to 64 bytes.
    pad = -(10 + len(header) + 1) % 64
    text = (header + " " * pad + "\n").encode("latin1")
    if len(buf) != 8 * shape[0] * shape[1]:
        raise ValueError(f"write_npy: {len(buf)} bytes do not fill a {shape[0]} x {shape[1]} f64 grid")
    with open(path, "wb") as fh:
        fh.write(b"\x93NUMPY\x01\x00" + struct.pack("<H", len(text)) + text + buf)


def write_csv(path: str, header: Sequence[str], rows: Iterable[Sequence[object]]) -> None:
    # repr of a float is its shortest round-trip decimal, so the CSV reads back exactly
    # (numpy floats through float(): their repr names the type).
    with open(path, "w", newline="") as fh:
        w = csv.writer(fh)
        w.writerow(header)
        w.writerows([repr(float(v)) if isinstance(v, float) else v for v in row] for row in rows)
