"""A small synthetic study written the way a user writes one, annotated and
clean under `mypy --strict` against the shipped stubs (tests/test_stubs.py
checks that) and runnable as a plain script: `python tests/typing_example.py`."""

from __future__ import annotations

import math
import struct

import functools

import numpy as np
import numpy.typing as npt

import zaviktools as zk
from zaviktools.ensemble import realisations


def world_lattice(size: int) -> tuple[zk.Georef, zk.Lattice]:
    geo = zk.Georef()
    return geo, geo.lattice(25.0, 25.0, size, size, rotation_deg=15.0)


def conditioning_data(surface: list[list[float]], lattice: zk.Lattice, seed: int) -> list[list[float]]:
    corners = [lattice.node_xy(1, 1), lattice.node_xy(lattice.ncol - 2, 1),
               lattice.node_xy(lattice.ncol - 2, lattice.nrow - 2), lattice.node_xy(1, lattice.nrow - 2)]
    wells = zk.place_wells_in_polygon(corners, 20, seed)
    tops = zk.tops_from_surface(surface, lattice, wells, zk.Sampler.uniform(-2.0, 2.0), seed)
    return [[x, y, z] for (x, y), z in zip(wells, tops) if math.isfinite(z)]


def ensemble_study(coords: list[list[float]], lattice: zk.Lattice, variogram: zk.Variogram,
                   seeds: range) -> tuple[zk.EnsembleMaps, float]:
    """P-maps of SGS realisations reduced as they finish, then a numpy grid of the same area."""
    threshold = zk.percentile([row[2] for row in coords], 50.0)
    maps: zk.EnsembleMaps = realisations(
        lambda s: zk.sgs_flat(coords, lattice, variogram, 12, 1e9, s), seeds,
        reducer=functools.partial(zk.ensemble_maps, percentiles=(90, 50, 10), threshold=threshold))
    spread: npt.NDArray[np.float64] = maps.p_maps[10] - maps.p_maps[90]
    assert maps.exceedance is not None and maps.shape == (lattice.ncol, lattice.nrow)
    X, Y = zk.node_coordinates(lattice)
    axes = zk.lattice_from_axes(np.linspace(float(X.min()), float(X.max()), 9), np.array([0.0, 25.0, 50.0]))
    direct = zk.ensemble_maps([np.asarray(zk.sgs(coords, lattice, variogram, 12, 1e9, s)) for s in seeds[:2]], ())
    assert direct.count == 2 and axes.ncol == 9
    return maps, float(spread.mean())


def main(size: int = 24, seed: int = 7) -> dict[str, float]:
    geo, lattice = world_lattice(size)
    extent = lattice.xinc * (size - 1)
    noise = zk.Variogram("gaussian", 0.0, 1.0, extent / 4)
    surface = zk.synth_dome_surface(lattice, 80.0, 1.5, 0.01, 4.0, noise, seed)
    coords = conditioning_data(surface, lattice, seed)

    ev = zk.experimental_variogram(coords, extent / 10, 8)
    try:
        fitted = zk.Variogram.fit("spherical", ev)
    except ValueError:
        fitted = zk.Variogram("spherical", 0.0, 1.0, extent / 3)
    estimate, variance = zk.local_kriging_grid(coords, lattice, fitted, 12, 1e9)
    est_bytes, var_bytes, (ncol, nrow) = zk.local_kriging_grid_flat(coords, lattice, fitted, 12, 1e9)
    assert struct.unpack(f"<{ncol * nrow}d", est_bytes)[0] == estimate[0][0] or math.isnan(estimate[0][0])

    aniso = zk.AnisotropicVariogram("exponential", extent / 2, extent / 4, 10.0, 30.0, sill=1.0)
    field = zk.sgs(coords, lattice, aniso, 12, 1e9, seed)
    flat, shape = zk.sgs_flat(coords, lattice, fitted, 12, 1e9, seed + 1)
    assert shape == (lattice.ncol, lattice.nrow) and len(flat) == 8 * shape[0] * shape[1]

    # Monte Carlo gross rock volume from the simulated tops.
    rng = zk.Rng(seed)
    area = zk.Sampler.triangular(0.8, 1.0, 1.3).clamped(0.85, 1.2)
    thickness = zk.Sampler.truncated_normal(20.0, 5.0, 5.0, 40.0).sample_n(200, rng)
    grv = zk.evaluate_formula(["grv = area * h * $km2"], {"area": area.sample_n(200, rng), "h": thickness},
                              {"km2": zk.km2_to_m2(1.0)})["grv"]
    summary = zk.reservoir_summary(grv)
    info = zk.formula_info(["grv = area * h * $km2"])
    assert info["params"] == ["km2"]

    # A synthetic log with facies, and a deviated well.
    facies = zk.synth_facies_series(200, 0.5, 0.4, 3.0, seed)
    porosity = zk.synth_por_with_facies(facies, 0.5, 0.24, 0.03, 0.06, 0.02, 2.0, seed)
    gr = zk.synth_log_series([zk.ZoneSpec(40.0, 0.3, 0.08, 4.0), zk.ZoneSpec(60.0, 0.6, 0.1, 6.0)], 0.5, 4, seed)
    petro = zk.synth_petro_curves(zk.PetroZoneSpec(0.6, 0.25, 0.08, 0.08, 0.02, 2.0, 3.0), 0.5, 200, seed)
    ntg = zk.ntg_curve(petro["net_flag"], 0.5, 5.0)
    well = zk.synth_trajectory_profile(geo.origin(), 25.0, 1500.0, 30.0, seed, "build_hold",
                                       kickoff_md=300.0, hold_incl_deg=35.0, azimuth_deg=60.0)
    dls = zk.max_dogleg_severity(well["md"], well["incl"], well["azim"])

    maps, spread = ensemble_study(coords, lattice, fitted, range(seed, seed + 4))

    ring = zk.closure_outline(surface, lattice, zk.percentile([v for col in surface for v in col], 60.0))
    depth = zk.interp1d([0.0, 1.0], [1000.0, 1100.0], [0.25, 0.5], method="cubic")
    return {
        "kriged_mean": zk.mean([v for col in estimate for v in col if math.isfinite(v)]),
        "max_variance": max(v for col in variance for v in col if math.isfinite(v)),
        "sgs_mean": zk.mean([v for col in field for v in col]),
        "grv_p50_mcm": zk.m3_to_mcm(summary.p50),
        "porosity_mean": zk.mean(porosity),
        "gr_std": zk.std(gr),
        "ntg_mean": zk.mean(ntg),
        "max_dls": dls,
        "closure_points": float(len(ring)),
        "depth_mid": depth[1],
        "p10_minus_p90": spread,
        "exceedance_mean": float(np.mean(maps.exceedance)) if maps.exceedance is not None else math.nan,
    }


if __name__ == "__main__":
    results = main()
    for name, value in results.items():
        print(f"{name:<14} {value:.6g}")
    print("GRV P50:", zk.format_volume(zk.mcm_to_m3(results["grv_p50_mcm"])))
