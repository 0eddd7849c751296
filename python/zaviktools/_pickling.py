"""Pickle and copy support for the value classes, registered with `copyreg`.

Each reduction reads the public getters (or, where a value is not exposed as
attributes, the `repr`, whose numbers are shortest round-trip decimals) and
rebuilds through the public constructors, so an unpickled value equals the
original bit for bit (and so compares equal to it). `Variogram` and
`AnisotropicVariogram` reduce themselves in the extension.
`Rng` is deliberately not picklable: a stream is never copied or serialised.
"""

from __future__ import annotations

import copyreg
import re

from . import _zaviktools as _ext

# The smallest negative double: normalises to a stored rotation of exactly
# 360 (the only stored value that fmod(·, 360) does not reproduce).
_TINY_NEGATIVE = -5e-324

_NUM = r"(-?(?:\d+(?:\.\d+)?(?:e-?\d+)?|inf|NaN))"


def _angle_arg(stored: float) -> float:
    return _TINY_NEGATIVE if stored == 360.0 else stored


def _reduce_lattice(v):
    return (_ext.Lattice, (v.xori, v.yori, v.xinc, v.yinc, v.ncol, v.nrow, _angle_arg(v.rotation_deg), v.yflip))


def _reduce_georef(v):
    return (_ext.Georef, (v.east0, v.north0))


# Debug name of each sampler variant -> (static constructor, field count).
_SAMPLER_VARIANTS = {
    "Uniform": ("uniform", ("lo", "hi")),
    "Normal": ("normal", ("mean", "std_dev")),
    "LogNormal": ("lognormal", ("mean", "std_dev")),
    "Triangular": ("triangular", ("min", "mode", "max")),
    "TruncatedNormal": ("truncated_normal", ("mean", "std_dev", "lo", "hi")),
}
_VARIANT_RE = re.compile(r"(\w+) \{ (.*?) \}")


def _parse_variant(text: str):
    """`Normal { mean: 0.0, std_dev: 1.0 }` -> (Sampler.normal, (0.0, 1.0))."""
    m = _VARIANT_RE.fullmatch(text)
    if not m or m.group(1) not in _SAMPLER_VARIANTS:
        raise ValueError(f"unreadable sampler rendering {text!r}")
    ctor, fields = _SAMPLER_VARIANTS[m.group(1)]
    pattern = ", ".join(f"{f}: {_NUM}" for f in fields)
    values = re.fullmatch(pattern, m.group(2))
    if not values:
        raise ValueError(f"unreadable sampler rendering {text!r}")
    return getattr(_ext.Sampler, ctor), tuple(float(x) for x in values.groups())


def _reduce_sampler(v):
    text = repr(v)
    return _parse_variant(text[len("Sampler(") : -1])


_CLAMPED_RE = re.compile(r"Clamped\(Clamped \{ inner: (\w+ \{ .*? \}), lo: " + _NUM + ", hi: " + _NUM + r" \}\)")


def _reduce_clamped(v):
    m = _CLAMPED_RE.fullmatch(repr(v))
    if not m:
        raise ValueError(f"unreadable sampler rendering {repr(v)!r}")
    ctor, fields = _parse_variant(m.group(1))
    return (_ext.Sampler.clamped, (ctor(*fields), float(m.group(2)), float(m.group(3))))


def _reduce_zone_spec(v):
    return (_ext.ZoneSpec, (v.thickness_m, v.mean, v.std, v.corr_length_m))


def _reduce_petro_zone_spec(v):
    return (
        _ext.PetroZoneSpec,
        (v.ntg_target, v.net_por_mean, v.net_por_std, v.nonnet_por_mean, v.nonnet_por_std, v.bed_scale_m,
         v.correlation_len_m, v.net_cutoff),
    )


_REDUCERS = {
    "Lattice": _reduce_lattice,
    "Georef": _reduce_georef,
    "Sampler": _reduce_sampler,
    "Clamped": _reduce_clamped,
    "ZoneSpec": _reduce_zone_spec,
    "PetroZoneSpec": _reduce_petro_zone_spec,
}


def register() -> None:
    for name, reducer in _REDUCERS.items():
        cls = getattr(_ext, name, None)
        if cls is not None:
            copyreg.pickle(cls, reducer)
