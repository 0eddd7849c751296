"""A small kriging study with the numpy layer, written the way a user writes
one: annotated, clean under `mypy --strict` (tests/test_study_module.py checks
that) and runnable as a plain script."""

from __future__ import annotations

import numpy as np
from numpy.typing import NDArray

import zaviktools as zk


def wells(lattice: zk.Lattice, seed: int) -> NDArray[np.float64]:
    ring = [lattice.node_xy(1, 1), lattice.node_xy(lattice.ncol - 2, 1), lattice.node_xy(lattice.ncol - 2, lattice.nrow - 2)]
    xy = np.array(zk.place_wells_in_polygon([list(p) for p in ring], 30, seed))
    z = np.sin(xy[:, 0] / 40.0) + np.cos(xy[:, 1] / 55.0)
    return np.column_stack([xy, z])


def main(size: int = 24, seed: int = 7) -> dict[str, float]:
    lattice = zk.Lattice(0.0, 0.0, 10.0, 10.0, size, size, rotation_deg=20.0)
    data = wells(lattice, seed)
    iso = zk.Variogram("spherical", 0.05, 1.0, 120.0)
    aniso = zk.AnisotropicVariogram("exponential", 150.0, 60.0, 5.0, 30.0, sill=1.0, nugget=0.05)

    estimate, variance = zk.krige_grid(data, lattice, aniso, 12, 200.0)
    targets: NDArray[np.float64] = data[:5, :2] + 3.0
    at_points, point_variance = zk.krige_points(data, targets, iso, 12, 200.0)
    cv: zk.CrossValidation = zk.cross_validate(data, iso, 12, 200.0)

    ns = zk.NormalScoreTransform(data[:, 2])
    scores = zk.sgs_scores(data, lattice, iso, 12, 200.0, seed)
    field = ns.backward(scores)
    fields: NDArray[np.float64] = zk.sgs_ensemble(data, lattice, iso, 12, 200.0, [seed, seed + 1], threads=2)
    inside: NDArray[np.bool_] = zk.polygon_mask(data[:3, :2], lattice)
    round_trip: bool = bool((ns.backward(ns.forward(data[:, 2])) == data[:, 2]).all())
    return {
        "kriged_mean": float(np.nanmean(estimate)),
        "max_variance": float(np.nanmax(variance)),
        "point_mean": float(np.nanmean(at_points)) + 0.0 * float(np.nansum(point_variance)),
        "cv_rmse": cv.rmse,
        "cv_msse": cv.msse,
        "field_mean": float(field.mean()),
        "ensemble_first": float((fields[0] == field).mean()),
        "inside_share": float(inside.mean()),
        "round_trip": float(round_trip),
        "table_size": float(len(ns)) + float(ns.scores.size - ns.values.size),
    }


if __name__ == "__main__":
    print(main())
