"""Every public callable of the extension module, enumerated from the module
itself, with a small valid argument set (and, where one exists, a set that
reaches a core error) per callable. Names without a table entry are still
enumerated; the tests that need valid arguments skip them with a reason."""

import inspect
from dataclasses import dataclass
from typing import Any, Callable

from zaviktools import _zaviktools as zk


@dataclass(frozen=True)
class Entry:
    name: str                      # "mean", "Lattice", "Lattice.node_xy", "Sampler.normal"
    kind: str                      # "function", "constructor", "static", "method"
    owner: type | None             # the class of a constructor, static or method
    attr: str | None               # the method's attribute name

    def target(self, instance=None) -> Callable[..., Any]:
        if self.kind == "function":
            return getattr(zk, self.name)
        if self.kind == "constructor":
            return self.owner
        if self.kind == "static":
            return getattr(self.owner, self.attr)
        return getattr(instance, self.attr)

    def parameters(self, instance=None) -> list[inspect.Parameter] | None:
        """The parameters of the signature; None when the callable shows none
        (a class without a public constructor)."""
        try:
            return list(inspect.signature(self.target(instance)).parameters.values())
        except (ValueError, TypeError):
            return None


def _module_classes():
    for name in sorted(dir(zk)):
        obj = getattr(zk, name)
        if isinstance(obj, type) and not issubclass(obj, BaseException) and not name.startswith("_"):
            yield name, obj


def enumerate_public() -> list[Entry]:
    out = []
    for name in sorted(dir(zk)):
        obj = getattr(zk, name)
        if name.startswith("_") or isinstance(obj, type) or not callable(obj):
            continue
        out.append(Entry(name, "function", None, None))
    for cname, cls in _module_classes():
        out.append(Entry(cname, "constructor", cls, None))
        for attr, raw in vars(cls).items():
            if attr.startswith("_"):
                continue
            if isinstance(raw, staticmethod):
                out.append(Entry(f"{cname}.{attr}", "static", cls, attr))
            elif callable(raw):
                out.append(Entry(f"{cname}.{attr}", "method", cls, attr))
    return out


PUBLIC = enumerate_public()
BY_NAME = {e.name: e for e in PUBLIC}


# --- valid inputs -----------------------------------------------------------
# Small on purpose: the leak test repeats each call 10^4 times. Every value is
# built fresh per call of the factory, so a test may hand it to hostile code.

def coords3(n=6):
    return [[float(i % 3) * 10.0, float(i // 3) * 7.0, float((i * 5) % 7)] for i in range(n)]


def lattice(ncol=4, nrow=3):
    return zk.Lattice(0.0, 0.0, 5.0, 5.0, ncol, nrow)


def variogram():
    return zk.Variogram("spherical", 0.1, 1.0, 30.0)


def experimental():
    return zk.experimental_variogram(coords3(9), 5.0, 6)


def grid(ncol=4, nrow=3):
    return [[float(i * nrow + j) for j in range(nrow)] for i in range(ncol)]


def flat_grid(ncol=4, nrow=3):
    import struct

    return struct.pack(f"<{ncol * nrow}d", *[float(k) for k in range(ncol * nrow)])


# Instances whose methods are called; a class missing here has its methods
# skipped (with a reason) by the tests that need an instance.
INSTANCES: dict[str, Callable[[], Any]] = {
    "Rng": lambda: zk.Rng(7),
    "Sampler": lambda: zk.Sampler.normal(1.0, 0.5),
    "Clamped": lambda: zk.Sampler.normal(1.0, 0.5).clamped(0.0, 2.0),
    "ReservoirSummary": lambda: zk.reservoir_summary([1.0, 2.0, 3.0, 4.0]),
    "ExperimentalVariogram": experimental,
    "Lattice": lattice,
    "Variogram": variogram,
    "AnisotropicVariogram": lambda: zk.AnisotropicVariogram("exponential", 40.0, 20.0, 5.0, 30.0),
    "Georef": lambda: zk.Georef(1000.0, 2000.0),
}


def _units():
    names = ["m3_to_mcm", "mcm_to_m3", "m3_to_msm3", "msm3_to_m3", "m3_to_bcm", "bcm_to_m3", "scf_to_sm3",
             "sm3_to_scf", "stb_to_sm3", "sm3_to_stb", "km2_to_m2", "m2_to_km2"]
    return {n: (lambda: (2.5,)) for n in names}


# name -> factory of positional arguments (a tuple) or of keyword arguments (a dict)
VALID: dict[str, Callable[[], tuple | dict]] = {
    **_units(),
    "format_volume": lambda: (1234.5,),
    "mean": lambda: ([1.0, 2.0, 4.0],),
    "variance": lambda: ([1.0, 2.0, 4.0],),
    "std": lambda: ([1.0, 2.0, 4.0],),
    "median": lambda: ([1.0, 2.0, 4.0],),
    "percentile": lambda: ([1.0, 2.0, 4.0], 25.0),
    "weighted_mean": lambda: ([1.0, 2.0, 4.0], [1.0, 2.0, 1.0]),
    "weighted_variance": lambda: ([1.0, 2.0, 4.0], [1.0, 2.0, 1.0]),
    "weighted_std": lambda: ([1.0, 2.0, 4.0], [1.0, 2.0, 1.0]),
    "weighted_percentile": lambda: ([1.0, 2.0, 4.0], [1.0, 2.0, 1.0], 50.0),
    "reservoir_summary": lambda: ([3.0, 1.0, 2.0, 5.0],),
    "aggregate": lambda: ([[1.0, 2.0, 3.0], [2.0, 1.0, 0.5]], "comonotonic"),
    "experimental_variogram": lambda: (coords3(8), 5.0, 5),
    "local_kriging_grid": lambda: (coords3(), lattice(), variogram(), 4, 50.0),
    "local_kriging_grid_flat": lambda: (coords3(), lattice(), variogram(), 4, 50.0),
    "interp1d": lambda: ([0.0, 1.0, 3.0], [0.0, 2.0, 1.0], [0.5, 2.0, 4.0], "linear", True),
    "resample": lambda: (grid(), lattice(), lattice(3, 3), "bilinear"),
    "resample_flat": lambda: (flat_grid(), lattice(), lattice(3, 3), "nearest"),
    "Rng": lambda: (42,),
    "Lattice": lambda: (0.0, 0.0, 2.0, 3.0, 4, 5, 30.0, True),
    "Lattice.node_xy": lambda: (1, 2),
    "Lattice.intrinsic_to_world": lambda: (0.5, 1.5),
    "Lattice.world_to_intrinsic": lambda: (3.0, 4.0),
    "Lattice.xy_to_ij": lambda: (3.0, 4.0),
    "Lattice.step_vectors": lambda: (),
    "Variogram": lambda: ("exponential", 0.0, 2.0, 10.0),
    "Variogram.isotropic": lambda: ("gaussian", 0.5, 1.0, 5.0),
    "Variogram.fit": lambda: ("spherical", experimental()),
    "AnisotropicVariogram": lambda: ("spherical", 30.0, 10.0, 2.0, 45.0, 1.0, 0.1),
    "AnisotropicVariogram.isotropic": lambda: ("spherical", 0.1, 1.0, 20.0),
    "AnisotropicVariogram.gamma_offset": lambda: (3.0, 4.0, 1.0),
    "AnisotropicVariogram.anisotropic_distance": lambda: (3.0, 4.0, 1.0),
    "Sampler.uniform": lambda: (0.0, 1.0),
    "Sampler.normal": lambda: (0.0, 1.0),
    "Sampler.lognormal": lambda: (1.0, 0.5),
    "Sampler.triangular": lambda: (0.0, 1.0, 3.0),
    "Sampler.truncated_normal": lambda: (0.0, 1.0, -1.0, 2.0),
    "Sampler.sample": lambda: (zk.Rng(3),),
    "Sampler.sample_n": lambda: (5, zk.Rng(3)),
    "Sampler.sample_n_seeded": lambda: (5, 9),
    "Sampler.clamped": lambda: (0.0, 1.5),
    "Clamped.sample": lambda: (zk.Rng(3),),
    "Clamped.sample_n": lambda: (5, zk.Rng(3)),
    "Clamped.sample_n_seeded": lambda: (5, 9),
    "ReservoirSummary.to_dict": lambda: (),
    "Georef": lambda: (10.0, 20.0),
    "Georef.origin": lambda: (),
    "Georef.lattice": lambda: (5.0, 5.0, 3, 4, 15.0, False),
    "Georef.place_point": lambda: ([1.0, 2.0],),
    "Georef.place_points": lambda: ([[1.0, 2.0], [3.0, -4.0]],),
    "Georef.place_intrinsic": lambda: ([1.0, 2.0], 10.0, True),
}


# The synthetic-data, simulation and formula areas.
VALID.update({
 "sgs": lambda: (coords3(), lattice(), variogram(), 4, 50.0, 3),
 "sgs_flat": lambda: (coords3(), lattice(), variogram(), 4, 50.0, 3),
 "formula_info": lambda: (["a = b + 1", "c = a * $k"],),
 "evaluate_formula": lambda: (["a = b + 1", "c = a * $k"], {"b": [1.0, 2.0]}, {"k": 2.0}),
 "closure_outline": lambda: (grid(), lattice(), 5.0),
 "max_dogleg_severity": lambda: ([0.0, 30.0, 60.0], [0.0, 3.0, 6.0], [0.0, 10.0, 20.0]),
 "ntg_curve": lambda: ([1.0, 0.0, 1.0, 1.0], 0.5, 1.0),
 "place_wells": lambda: (0.0, 0.0, 100.0, 100.0, 3, 5),
 "place_wells_in_polygon": lambda: ([[0.0, 0.0], [100.0, 0.0], [50.0, 80.0]], 3, 5),
 "study_area_outline": lambda: (0.0, 0.0, 100.0, 50.0, 10.0, 4),
 "synth_dome_surface": lambda: (lattice(), 50.0, 1.5, 0.1, 1.0, variogram(), 3),
 "synth_dome_surface_flat": lambda: (lattice(), 50.0, 1.5, 0.1, 1.0, variogram(), 3),
 "synth_facies_series": lambda: (20, 0.5, 0.4, 2.0, 3),
 "synth_isochore": lambda: (lattice(), 20.0, 0.2, variogram(), 3),
 "synth_isochore_flat": lambda: (lattice(), 20.0, 0.2, variogram(), 3),
 "synth_log_series": lambda: ([zk.ZoneSpec(5.0, 0.2, 0.05, 2.0)], 0.5, 2, 3),
 "zone_sample_counts": lambda: ([zk.ZoneSpec(5.0, 0.2, 0.05, 2.0)], 0.5),
 "ZoneSpec": lambda: (5.0, 0.2, 0.05, 2.0),
 "PetroZoneSpec": lambda: (0.6, 0.25, 0.03, 0.08, 0.02, 2.0, 3.0),
 "synth_petro_curves": lambda: (zk.PetroZoneSpec(0.6, 0.25, 0.08, 0.08, 0.02, 2.0, 3.0), 0.5, 20, 3),
 "synth_por_with_facies": lambda: ([1, 0, 1, 1, 0], 0.5, 0.25, 0.03, 0.08, 0.02, 2.0, 3),
 "synth_trajectory": lambda: ([100.0, 200.0], 25.0, 500.0, 30.0, 3),
 "synth_trajectory_profile": lambda: ([100.0, 200.0], 25.0, 800.0, 30.0, 3, "build_hold", 200.0),
 "synth_trend_map": lambda: (lattice(), variogram(), 3),
 "synth_trend_map_flat": lambda: (lattice(), variogram(), 3),
 "tops_from_surface": lambda: (grid(), lattice(), [[5.0, 5.0]], zk.Sampler.normal(0.0, 1.0), 3),
})

# name -> arguments that pass conversion and reach a core (ValueError) failure
CORE_ERROR: dict[str, Callable[[], tuple | dict]] = {
    "mean": lambda: ([],),
    "variance": lambda: ([],),
    "std": lambda: ([],),
    "median": lambda: ([],),
    "percentile": lambda: ([1.0], 101.0),
    "weighted_mean": lambda: ([1.0, 2.0], [1.0]),
    "weighted_variance": lambda: ([1.0, 2.0], [0.0, 0.0]),
    "weighted_std": lambda: ([1.0, 2.0], [-1.0, 1.0]),
    "weighted_percentile": lambda: ([1.0, 2.0], [1.0, 1.0], -1.0),
    "reservoir_summary": lambda: ([],),
    "aggregate": lambda: ([[1.0, 2.0], [1.0]], "bogus"),
    "experimental_variogram": lambda: (coords3(4), 0.0, 5),
    "local_kriging_grid": lambda: (coords3(), lattice(), variogram(), 0, 50.0),
    "local_kriging_grid_flat": lambda: (coords3(), lattice(), variogram(), 4, -1.0),
    "interp1d": lambda: ([0.0, 0.0], [1.0, 2.0], [0.5]),
    "resample": lambda: ([[1.0]], lattice(), lattice()),
    "resample_flat": lambda: (b"\0" * 8, lattice(), lattice()),
    "Lattice": lambda: (0.0, 0.0, 1.0, 1.0, 2, 2, float("nan")),
    "Variogram": lambda: ("spherical", 0.0, 1.0, -1.0),
    "Variogram.isotropic": lambda: ("spherical", -1.0, 1.0, 1.0),
    "Variogram.fit": lambda: ("gaussian", zk.experimental_variogram([[0, 0, 1], [99, 0, 2]], 1.0, 2)),
    "AnisotropicVariogram": lambda: ("spherical", 0.0, 10.0, 2.0, 45.0),
    "AnisotropicVariogram.isotropic": lambda: ("spherical", 0.1, 1.0, 0.0),
    "Sampler.uniform": lambda: (1.0, 0.0),
    "Sampler.normal": lambda: (0.0, -1.0),
    "Sampler.lognormal": lambda: (1.0, -0.5),
    "Sampler.triangular": lambda: (0.0, 5.0, 3.0),
    "Sampler.truncated_normal": lambda: (0.0, 1.0, 2.0, -1.0),
    "Sampler.clamped": lambda: (2.0, 1.0),
    "Georef": lambda: (float("nan"), 0.0),
    "Georef.lattice": lambda: (1.0, 5.0, 3, 4, float("-inf")),
    "Georef.place_intrinsic": lambda: ([1.0, 2.0], float("inf")),
}


def instance_for(entry: Entry):
    """A fresh instance for a method entry, or None when the class has no factory."""
    factory = INSTANCES.get(entry.owner.__name__) if entry.kind == "method" else None
    return factory() if factory else None


def call(entry: Entry, args, instance=None):
    fn = entry.target(instance)
    return fn(**args) if isinstance(args, dict) else fn(*args)
