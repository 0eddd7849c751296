"""Building blocks of the synthetic logs: the AR(1) driver, the overflow-safe
logistic, the quadrature nodes and logit-normal moment matching."""

import math
import random

import pytest
from scipy import special

import zaviktools as zk
from conftest import require_testhooks

import synth_oracle as oracle

hooks = require_testhooks()

NAN, INF = math.nan, math.inf
NEED = "invalid argument: synth transform: need 0 < mean < 1 and std > 0"


# --- AR(1) driver ------------------------------------------------------------

def _coefficient_cases():
    rnd = random.Random(12)
    cases = [([], 0), ([0.0], 5), ([0.0] * 40, 1), ([0.0] + [1.0] * 30, 2), ([0.0] + [1.5, -0.3, NAN, 0.999999999] * 8, 3)]
    for seed in range(6):
        n = rnd.randrange(2, 300)
        cases.append(([0.0] + [rnd.choice([0.0, rnd.random(), 0.99, 1.0]) for _ in range(n - 1)], 2**64 - 1 - seed))
    return cases


@pytest.mark.parametrize("coefficients, seed", _coefficient_cases())
def test_driver_matches_reference(coefficients, seed):
    got = hooks.correlated_gaussian(coefficients, seed)
    assert got == oracle.ar1(len(coefficients), lambda i: coefficients[i], seed)


def test_driver_edges():
    # One sample is a plain normal draw; a zero coefficient gives independent
    # draws; 1 and beyond behave as 0.999999999.
    assert hooks.correlated_gaussian([0.7], 9) == zk.Sampler.normal(0, 1).sample_n(1, zk.Rng(9))
    assert hooks.correlated_gaussian([0.0] * 50, 9) == zk.Sampler.normal(0, 1).sample_n(50, zk.Rng(9))
    assert hooks.correlated_gaussian([0.0] + [1.0] * 20, 4) == hooks.correlated_gaussian([0.0] + [0.999999999] * 20, 4)
    assert hooks.correlated_gaussian([0.0] + [7.0] * 20, 4) == hooks.correlated_gaussian([0.0] + [0.999999999] * 20, 4)
    # The series for n is a prefix of the series for n + 1.
    assert hooks.correlated_gaussian([0.5] * 30, 1) == hooks.correlated_gaussian([0.5] * 31, 1)[:30]


def test_driver_lag_one_correlation():
    z = hooks.correlated_gaussian([0.8] * 200_000, 17)
    n = len(z)
    mean = sum(z) / n
    var = sum((x - mean) ** 2 for x in z) / n
    lag1 = sum((z[i] - mean) * (z[i - 1] - mean) for i in range(1, n)) / (n - 1) / var
    assert abs(mean) < 0.03 and abs(var - 1) < 0.03 and abs(lag1 - 0.8) < 0.01


# --- logistic -------------------------------------------------------------------

@pytest.mark.parametrize("x", [0.0, -0.0, 1e-300, -1e-300, 0.5, -0.5, 3.7, -3.7, 36.0, -36.0, 709.0, -745.0, 800.0,
                               -800.0, 1e308, -1e308, INF, -INF])
def test_logistic_overflow_safe_form(x):
    y = hooks.logistic(x)
    assert y == oracle.logistic(x)
    assert 0.0 <= y <= 1.0
    assert y == pytest.approx(float(special.expit(x)), rel=1e-15, abs=1e-300)


# --- quadrature nodes -------------------------------------------------------

def test_quad_nodes():
    z = hooks.quad_nodes()
    assert len(z) == 256 and z == sorted(z)
    assert all(z[k] == -z[255 - k] for k in range(128))
    assert z == [hooks.phi_inv((k + 0.5) / 256) for k in range(256)]
    assert max(abs(a - float(special.ndtri((k + 0.5) / 256))) for k, a in enumerate(z)) < 4e-15
    # The quoted outermost node, to within one ulp.
    assert abs(z[-1] - 2.8856349124267573) <= math.ulp(2.8856349124267573)


# --- moment matching --------------------------------------------------------------

@pytest.mark.parametrize("m, s", [(0.2, 0.05), (0.25, 0.03), (0.05, 0.02), (0.7, 0.1), (0.5, 0.2), (0.01, 0.005),
                                  (0.93, 0.06), (0.3, 0.4)])
def test_match_moments_matches_reference(m, s):
    assert hooks.match_moments(m, s) == oracle.match_moments(m, s)


def test_match_moments_quoted_values_and_symmetry():
    mu, sigma = hooks.match_moments(0.2, 0.05)
    assert mu == pytest.approx(-1.4156, abs=5e-5) and sigma == pytest.approx(0.3157, abs=5e-5)
    for s in (0.01, 0.2, 0.45, 0.4999):
        assert hooks.match_moments(0.5, s)[0] == 0.0
    for m, s in [(0.2, 0.05), (0.1, 0.08), (0.35, 0.3)]:
        (mu1, s1), (mu2, s2) = hooks.match_moments(m, s), hooks.match_moments(1 - m, s)
        assert mu1 == pytest.approx(-mu2, abs=1e-9) and s1 == pytest.approx(s2, abs=1e-8)


def test_match_moments_near_the_bernoulli_bound_runs_out_silently():
    mu, sigma = hooks.match_moments(0.5, 0.4999)
    assert mu == 0.0 and sigma == pytest.approx(60.0, rel=1e-12)


def test_match_moments_hits_the_quadrature_moments():
    z = hooks.quad_nodes()
    for m, s in [(0.2, 0.05), (0.05, 0.02), (0.8, 0.15)]:
        mu, sigma = hooks.match_moments(m, s)
        y = [oracle.logistic(mu + sigma * zk_) for zk_ in z]
        mean = sum(y) / 256
        assert abs(mean - m) <= 1e-12 and abs(sum(v * v for v in y) / 256 - mean * mean - s * s) <= 1e-10


@pytest.mark.parametrize("m, s", [(0.0, 0.1), (1.0, 0.1), (0.5, 0.0), (0.5, -0.1), (-0.2, 0.1), (NAN, 0.1), (0.5, NAN),
                                  (INF, 0.1), (0.5, INF), (-INF, -INF)])
def test_match_moments_rejects_out_of_range(m, s):
    for fn in (hooks.match_moments, hooks.moment_spec):
        with pytest.raises(ValueError) as e:
            fn(m, s)
        assert str(e.value) == NEED


@pytest.mark.parametrize("m, s, v, root", [(0.3, 0.46, "0.21000", "0.45826"), (0.5, 0.5, "0.25000", "0.50000"),
                                           (0.9, 0.3, "0.09000", "0.30000"), (0.25, 1e20, "0.18750", "0.43301")])
def test_match_moments_bernoulli_bound_message(m, s, v, root):
    text = (f"invalid argument: synth transform: std {s if s < 1 else '100000000000000000000'} too large for mean {m}"
            f" \u2014 a [0,1] variable with this mean cannot exceed the Bernoulli variance {v} (std < {root})")
    for fn in (hooks.match_moments, hooks.moment_spec):
        with pytest.raises(ValueError) as e:
            fn(m, s)
        assert str(e.value) == text
    assert hooks.moment_spec(0.3, 0.45) == (0.3, 0.45)
