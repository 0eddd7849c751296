"""Φ and Φ⁻¹ at full double precision, against independent references
(the C library's erfc, scipy.special's ndtr / ndtri / erfcinv)."""

import math

import numpy as np
import pytest
from scipy import special

from conftest import require_testhooks

hooks = require_testhooks()

SQRT2 = 1.4142135623730951
INF = math.inf


def ulps(a, b):
    return abs(a - b) / math.ulp(b)


def density(z):
    return math.exp(-z * z / 2.0) / math.sqrt(2.0 * math.pi)


def test_phi_is_the_erfc_formula():
    for z in np.linspace(-37.5, 8.5, 4001):
        z = float(z)
        assert ulps(hooks.phi(z), 0.5 * math.erfc(-z / SQRT2)) <= 2, z


def test_phi_matches_scipy_ndtr():
    # erfc(-z/√2) has condition number ~z² in the lower tail: the rounding of
    # -z/√2 alone moves the result by about z² ulps there.
    for z in np.linspace(-37.0, 8.5, 2001):
        z = float(z)
        ref = float(special.ndtr(z))
        assert abs(hooks.phi(z) - ref) <= 4 * (1.0 + z * z) * math.ulp(ref), z


@pytest.mark.parametrize("z, expected", [(INF, 1.0), (-INF, 0.0), (0.0, 0.5), (40.0, 1.0), (-40.0, 0.0)])
def test_phi_special_values(z, expected):
    assert hooks.phi(z) == expected


def test_phi_nan():
    assert math.isnan(hooks.phi(math.nan))


def test_phi_inv_matches_scipy_ndtri():
    ps = np.concatenate([np.logspace(-300, -1, 1500), np.linspace(0.01, 0.99, 1501), 1.0 - np.logspace(-16, -1, 500)])
    for p in ps:
        p = float(p)
        assert ulps(hooks.phi_inv(p), float(special.ndtri(p))) <= 8, p


@pytest.mark.parametrize("p, expected", [(0.0, -INF), (1.0, INF), (-0.5, -INF), (1.5, INF)])
def test_phi_inv_at_and_beyond_the_ends(p, expected):
    assert hooks.phi_inv(p) == expected


def test_phi_inv_centre_and_nan():
    assert hooks.phi_inv(0.5) == 0.0
    assert math.isnan(hooks.phi_inv(math.nan))


@pytest.mark.parametrize("p", [5e-324, 1e-310, 2.2250738585072014e-308, 1e-200, 1e-50, 1.0 - 2.0**-53, 1.0 - 2.0**-52])
def test_phi_inv_near_the_tails(p):
    got = hooks.phi_inv(p)
    assert math.isfinite(got)
    assert ulps(got, float(special.ndtri(p))) <= 8


def test_phi_inv_is_monotone_and_odd():
    ps = [float(p) for p in np.linspace(1e-6, 1 - 1e-6, 5001)]
    zs = [hooks.phi_inv(p) for p in ps]
    assert all(a < b for a, b in zip(zs, zs[1:]))
    for k in range(1, 2**19, 4099):
        p = k / 2**20  # 1 - p is exact
        assert ulps(-hooks.phi_inv(1.0 - p), hooks.phi_inv(p)) <= 8


@pytest.mark.parametrize(
    "p, quoted",
    [
        (0.5 / 256, -2.8856349124267573),  # outermost midpoint quadrature node
        (255.5 / 256, 2.8856349124267573),
        (5.0 / 6.0, 0.967421566101701),  # normal score of the top of three values
        (1.0 / 6.0, -0.967421566101701),
    ],
)
def test_quoted_quantiles_to_a_few_ulps(p, quoted):
    # quoted values are correctly rounded; the product -√2·erfc⁻¹(2p) may be an ulp off
    assert ulps(hooks.phi_inv(p), quoted) <= 3


def test_round_trip_over_a_wide_range():
    for z in np.linspace(-37.0, 8.0, 4501):
        z = float(z)
        p = hooks.phi(z)
        back = hooks.phi_inv(p)
        # the rounding of p alone moves the quantile by ulp(p)/φ(z)
        tol = 8 * math.ulp(z) * max(1.0, abs(z)) + 4 * math.ulp(p) / density(z)
        assert abs(back - z) <= tol, z


@pytest.mark.parametrize("y, expected", [(0.0, INF), (2.0, -INF), (-1.0, INF), (3.0, -INF), (1.0, 0.0)])
def test_erfc_inv_ends_never_raise(y, expected):
    assert hooks.erfc_inv(y) == expected


def test_erfc_inv_matches_scipy():
    for y in np.concatenate([np.logspace(-300, 0, 800), 2.0 - np.logspace(-15, 0, 400)]):
        y = float(y)
        assert ulps(hooks.erfc_inv(y), float(special.erfcinv(y))) <= 8, y
    assert math.isnan(hooks.erfc_inv(math.nan))
