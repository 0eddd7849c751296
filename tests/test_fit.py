import math
import random
import threading

import pytest

import zaviktools as zk
from conftest import require_testhooks

import variogram_reference as ref

hooks = require_testhooks()

SHAPES = ("spherical", "exponential", "gaussian")


def raises_value(fn, text):
    with pytest.raises(ValueError) as info:
        fn()
    assert info.value.args == (text,)


def random_ev(seed, n=120, lag=6.0, n_lags=20):
    rnd = random.Random(seed)
    coords = [[rnd.uniform(0, 100), rnd.uniform(0, 100), 0.0] for _ in range(n)]
    for p in coords:  # a smooth trend plus noise, so the classes rise with the lag
        p[2] = math.sin(p[0] / 30.0) + math.cos(p[1] / 45.0) + rnd.gauss(0.0, 0.3)
    return zk.experimental_variogram(coords, lag, n_lags)


def synthetic(model, c0, c, a, seed, n_classes=60):
    """A large experimental variogram laid exactly on a known model."""
    rnd = random.Random(seed)
    hmax = 1.6 * a
    lags = [hmax * (k + 0.5) / n_classes for k in range(n_classes)]
    sv = hooks.variogram_gamma(model, c0, c, a, lags)
    counts = [rnd.randint(500, 50000) for _ in lags]
    return lags, sv, counts


@pytest.mark.parametrize("model", SHAPES)
@pytest.mark.parametrize("c0, c, a", [(0.0, 1.0, 100.0), (0.2, 0.8, 35.0), (1.5, 4.0, 2500.0), (0.05, 12.0, 0.8)])
def test_fit_recovers_known_model(model, c0, c, a):
    lags, sv, counts = synthetic(model, c0, c, a, seed=int(a))
    nugget, sill, rng = hooks.fit_variogram(model, lags, sv, counts)
    assert rng == pytest.approx(a, rel=2e-3)
    assert nugget == pytest.approx(c0, abs=3e-3 * (c0 + c))
    assert sill == pytest.approx(c, rel=3e-3)


@pytest.mark.parametrize("model", ("nugget",) + SHAPES)
@pytest.mark.parametrize("seed", [1, 2, 3, 4])
def test_fit_matches_reference_bit_for_bit(model, seed):
    ev = random_ev(seed)
    v = zk.Variogram.fit(model, ev)
    nugget, sill, rng = ref.fit(model, ev.lags, ev.semivariances, ev.counts)
    assert (v.nugget, v.sill, v.range) == (nugget, sill, rng)
    assert hooks.fit_variogram(model, ev.lags, ev.semivariances, ev.counts) == (nugget, sill, rng)


@pytest.mark.parametrize("model", ("nugget",) + SHAPES)
def test_best_c0_c_for_range_matches_reference(model):
    rnd = random.Random(99)
    for _ in range(200):
        k = rnd.randint(1, 12)
        lags = sorted(rnd.uniform(0.0, 50.0) for _ in range(k))
        sv = [rnd.choice([0.0, rnd.uniform(0.0, 3.0), rnd.uniform(-0.5, 3.0)]) for _ in range(k)]
        counts = [rnd.randint(1, 1000) for _ in range(k)]
        rng = rnd.choice([rnd.uniform(0.1, 80.0), 1e-9, 1e12])
        got = hooks.best_c0_c_for_range(model, lags, sv, counts, rng)
        assert got == ref.best_c0_c(model, lags, sv, counts, rng)
        assert got[0] >= 0 and got[1] >= 0


@pytest.mark.parametrize("lags, sv, counts, rng, want", [
    ([10.0], [2.0], [3], 5.0, (0.0, 2.0, 0.0)),          # one class past the range: sill-only fits exactly
    ([1.0, 2.0], [0.0, 0.0], [1, 1], 10.0, (0.0, 0.0, 0.0)),
    ([5.0, 50.0], [1.0, 1.0], [4, 4], 10.0, (1.0, 0.0, 0.0)),  # flat: nugget-only wins the tie by order
])
def test_best_c0_c_for_range_cases(lags, sv, counts, rng, want):
    got = hooks.best_c0_c_for_range("sph", lags, sv, counts, rng)
    assert got == pytest.approx(want, abs=1e-12)


def test_negative_solutions_are_discarded():
    # Decreasing semivariances: the unconstrained fit needs a negative sill.
    lags, sv, counts = [5.0, 10.0, 15.0, 20.0], [3.0, 2.0, 1.5, 1.0], [10, 10, 10, 10]
    c0, c, sse = hooks.best_c0_c_for_range("exp", lags, sv, counts, 12.0)
    assert c == 0.0 and c0 == pytest.approx(sum(sv) / 4)
    assert sse == pytest.approx(sum(10 * (c0 - g) ** 2 for g in sv))


def test_nugget_fit():
    ev = random_ev(5)
    v = zk.Variogram.fit("nugget", ev)
    w = sum(n * g for n, g in zip(ev.counts, ev.semivariances)) / sum(ev.counts)
    assert v.nugget == pytest.approx(w, rel=1e-14)
    assert v.sill == 0.0
    assert v.range == max(max(ev.lags), 1.0)
    close = zk.experimental_variogram([[0, 0, 0], [0.5, 0, 1], [0, 0.25, 3]], 1.0, 1)
    assert max(close.lags) < 1.0 and zk.Variogram.fit("nugget", close).range == 1.0


@pytest.mark.parametrize("model", ("nugget",) + SHAPES)
def test_fit_empty_experimental(model):
    empty = zk.experimental_variogram([[0, 0, 1], [10, 0, 3]], 4, 2)
    raises_value(lambda: zk.Variogram.fit(model, empty), "empty input: Variogram::fit: empty experimental variogram")


def test_fit_errors_from_final_validation():
    flat = zk.experimental_variogram([[0, 0, 2], [3, 0, 2], [0, 4, 2]], 10, 2)
    raises_value(lambda: zk.Variogram.fit("nugget", flat),
                 "invalid argument: variogram: the Nugget model uses only its nugget (sill is ignored), "
                 "so nugget must be positive")
    raises_value(lambda: zk.Variogram.fit("sph", flat),
                 "invalid argument: variogram: total sill (nugget + sill) must be positive")
    one_place = zk.experimental_variogram([[5, 5, 1], [5, 5, 3], [5, 5, 4]], 1, 3)
    assert one_place.lags == [0.0]
    for model in SHAPES:  # hmax = 0: every candidate range is skipped
        raises_value(lambda: zk.Variogram.fit(model, one_place),
                     "invalid argument: variogram: total sill (nugget + sill) must be positive")
    v = zk.Variogram.fit("nugget", one_place)
    assert (v.sill, v.range) == (0.0, 1.0)


def test_fit_argument_checks():
    ev = random_ev(1)
    with pytest.raises(TypeError) as info:
        zk.Variogram.fit("sph", [1, 2, 3])
    assert str(info.value) == "argument 'experimental': 'list' object is not an instance of 'ExperimentalVariogram'"
    with pytest.raises(TypeError, match="^argument 'experimental': "):
        zk.Variogram.fit("linear", zk.Variogram("sph", 0, 1, 1))  # the type is verified before the name
    raises_value(lambda: zk.Variogram.fit("linear", ev),
                 "unknown variogram model 'linear' (expected 'nugget', 'spherical', 'exponential', or 'gaussian')")
    assert repr(zk.Variogram.fit(experimental=ev, model=" SPH ")) == repr(zk.Variogram.fit("spherical", ev))
    assert type(zk.Variogram.fit("gauss", ev)) is zk.Variogram


def test_fit_from_threads_agrees():
    ev = random_ev(7, n=400)
    want = repr(zk.Variogram.fit("exp", ev))
    out = []
    threads = [threading.Thread(target=lambda: out.append(repr(zk.Variogram.fit("exp", ev)))) for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert out == [want] * 4
