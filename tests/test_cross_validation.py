"""cross_validate: leave-one-out by hand with PyKrige (global and moving
neighbourhoods, isotropic and anisotropic), the handling of coincident data,
the summaries, and the same bits at every thread count."""

import math

import numpy as np
import pytest

import zaviktools as zk
from zaviktools import _study

pykrige_ok = pytest.importorskip("pykrige.ok")


def sample(seed, n):
    rng = np.random.default_rng(seed)
    return np.column_stack([rng.uniform(0.0, 100.0, (n, 2)), rng.normal(size=n)])


def pykrige_loo(data, model, nugget, sill, rng_, ratio=1.0, azimuth=90.0, k=None):
    """Each datum kriged by PyKrige from all the others."""
    est, var = [], []
    for i in range(len(data)):
        rest = np.delete(data, i, axis=0)
        ok = pykrige_ok.OrdinaryKriging(rest[:, 0], rest[:, 1], rest[:, 2], variogram_model=model,
                                        variogram_parameters={"psill": sill, "range": rng_, "nugget": nugget},
                                        anisotropy_scaling=ratio, anisotropy_angle=90.0 - azimuth)
        options = {"n_closest_points": k, "backend": "C"} if k else {}
        e, v = ok.execute("points", data[i:i + 1, 0], data[i:i + 1, 1], **options)
        est.append(float(e[0]))
        var.append(float(v[0]))
    return np.array(est), np.array(var)


@pytest.mark.parametrize("model, azimuth, ratio, k", [
    ("spherical", 0.0, 1.0, None),
    ("exponential", 0.0, 1.0, 8),
    ("spherical", 35.0, 3.0, None),
    ("exponential", 300.0, 2.0, 10),
])
def test_leave_one_out_matches_pykrige_by_hand(model, azimuth, ratio, k):
    data = sample(int(azimuth) + (k or 0), 40)
    nugget, sill, major = 0.2, 1.0, 50.0
    if ratio == 1.0:
        vg = zk.Variogram(model, nugget, sill, major)
    else:
        vg = zk.AnisotropicVariogram(model, major, major / ratio, 1.0, azimuth, sill=sill, nugget=nugget)
    cv = zk.cross_validate(data, vg, k or 1000, 1e9)
    pe, pv = pykrige_loo(data, model, nugget, sill, major, ratio, azimuth, k)
    np.testing.assert_allclose(cv.estimate, pe, rtol=0, atol=1e-12)
    np.testing.assert_allclose(cv.variance, pv, rtol=0, atol=1e-12)
    error = pe - data[:, 2]
    standardised = error / np.sqrt(pv)
    np.testing.assert_allclose(cv.error, error, rtol=0, atol=1e-12)
    np.testing.assert_allclose(cv.standardised, standardised, rtol=0, atol=1e-11)
    assert cv.rmse == pytest.approx(math.sqrt(np.mean(error ** 2)), abs=1e-12)
    assert cv.mean_error == pytest.approx(np.mean(error), abs=1e-12)
    assert cv.msse == pytest.approx(np.mean(standardised ** 2), abs=1e-11)
    assert cv.n_kriged == 40


def test_each_datum_is_krige_points_from_the_others():
    data = sample(11, 60)
    av = zk.AnisotropicVariogram("gaussian", 70.0, 25.0, 1.0, 120.0, sill=0.8, nugget=0.05)
    cv = zk.cross_validate(data, av, 12, 45.0)
    for i in range(0, 60, 7):
        e, v = zk.krige_points(np.delete(data, i, axis=0), data[i:i + 1, :2], av, 12, 45.0)
        assert (cv.estimate[i], cv.variance[i]) == (e[0], v[0])


def test_coincident_data_are_left_out_together():
    data = sample(12, 30)
    # datum 3 has a twin at its location; datum 7 has two at another one
    twins = np.vstack([data, [data[3, 0], data[3, 1], 9.0], [data[7, 0], data[7, 1], -4.0],
                       [data[7, 0] + 0.0, data[7, 1], 2.5]])
    vg = zk.Variogram("exp", 0.1, 1.0, 40.0)
    cv = zk.cross_validate(twins, vg, 10, 1e9)
    for group in ([3, 30], [7, 31, 32]):
        others = np.delete(twins, group, axis=0)
        e, v = zk.krige_points(others, twins[group[:1], :2], vg, 10, 1e9)
        assert cv.estimate[group].tolist() == [e[0]] * len(group)
        assert cv.variance[group].tolist() == [v[0]] * len(group) and v[0] > 0
        assert cv.error[group].tolist() == (e[0] - twins[group, 2]).tolist()
    # elsewhere the twins enter merged (averaged), as in any kriging
    merged = np.delete(twins, [30, 31, 32], axis=0)
    merged[3, 2] = (data[3, 2] + 9.0) / 2
    merged[7, 2] = (data[7, 2] - 4.0 + 2.5) / 3
    e, v = zk.krige_points(np.delete(merged, 0, axis=0), merged[:1, :2], vg, 10, 1e9)
    assert (cv.estimate[0], cv.variance[0]) == (e[0], v[0])


def test_isolated_data_and_the_summaries():
    # datum 2 has nobody within the radius; two lone points each see only the other
    data = np.array([[0.0, 0.0, 1.0], [3.0, 0.0, 2.0], [100.0, 0.0, 5.0], [0.0, 4.0, 4.0]])
    cv = zk.cross_validate(data, zk.Variogram("sph", 0.0, 1.0, 10.0), 4, 20.0)
    assert math.isnan(cv.estimate[2]) and math.isnan(cv.standardised[2]) and cv.n_kriged == 3
    kriged = np.isfinite(cv.estimate)
    assert cv.rmse == math.sqrt(np.mean(cv.error[kriged] ** 2))
    assert cv.mean_error == np.mean(cv.error[kriged])
    assert cv.msse == np.mean(cv.standardised[kriged] ** 2)
    assert repr(cv).startswith("CrossValidation(n=4, n_kriged=3, rmse=")
    lone = zk.cross_validate([[0.0, 0.0, 1.0]], zk.Variogram("sph", 0.0, 1.0, 10.0), 4, 20.0)
    assert lone.n_kriged == 0 and all(math.isnan(v) for v in (lone.rmse, lone.mean_error, lone.msse))


def test_same_bits_at_every_thread_count():
    data = np.vstack([sample(13, 3000), sample(13, 3)])  # with three exact twins
    for vg in (zk.Variogram("sph", 0.1, 1.0, 20.0), zk.AnisotropicVariogram("exp", 30.0, 10.0, 1.0, 45.0)):
        runs = [_study.cross_validate(data, vg, 16, 25.0, t) for t in (1, 2, 5)]
        assert runs[0] == runs[1] == runs[2]
        assert _study.cross_validate(data, vg, 16, 25.0) == runs[0]


@pytest.mark.parametrize("coords, k, radius, text", [
    ([[0, 0, 1]], 0, 1.0, "invalid argument: cross_validate: need max_neighbours >= 1 and radius > 0"),
    ([[0, 0, 1]], 1, -1.0, "invalid argument: cross_validate: need max_neighbours >= 1 and radius > 0"),
    ([], 1, 1.0, "empty input: cross_validate: no data"),
    ([[0, 0, 1], [0, 0, 2], [math.nan, 0, 1]], 1, 1.0,
     "invalid argument: cross_validate: point 2 is not finite (x, y and z must be finite)"),
])
def test_input_checks(coords, k, radius, text):
    with pytest.raises(ValueError) as info:
        zk.cross_validate(coords, zk.Variogram("sph", 0.0, 1.0, 10.0), k, radius)
    assert str(info.value) == text
