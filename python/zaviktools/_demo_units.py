"""Volumes of one report in one unit.

`format_volume` picks its unit by each value's own magnitude, so a table of
P90/P50/P10 straddling 1e6 m³ would mix m³ and mcm. The unit of a report is
the one `format_volume` gives its largest value (the demo asks for at least
mcm, so a small study reads like a large one); a value below that unit is
written in it with the same one-decimal, correctly rounded rendering.
"""

from __future__ import annotations

import math
from typing import Iterable

from . import _zaviktools as zk

_SCALE = {"bcm": 1e9, "mcm": 1e6, "m³": 1.0}


def volume_unit(values_m3: Iterable[float], smallest: str = "m³") -> str:
    """"bcm", "mcm" or "m³": the unit `format_volume` gives the largest
    finite magnitude among `values_m3`, but no smaller than `smallest`."""
    finite = [abs(v) for v in values_m3 if math.isfinite(v)]
    unit = zk.format_volume(max(finite, default=0.0)).split(" ", 1)[1]
    return max(unit, smallest, key=_SCALE.__getitem__)


def volume_text(v_m3: float, unit: str) -> str:
    """`format_volume(v_m3)` when that is already in `unit`, else `v_m3` in `unit`."""
    text = zk.format_volume(v_m3)
    if text.endswith(" " + unit) or not math.isfinite(v_m3):
        return text
    # Python's fixed-point rendering is the correctly rounded decimal of the
    # exact binary value, the same as format_volume's.
    return f"{v_m3 / _SCALE[unit]:.1f} {unit}"


def volume_value(v_m3: float, unit: str) -> float:
    """`v_m3` as a number in `unit` (for plot axes)."""
    return v_m3 / _SCALE[unit]
