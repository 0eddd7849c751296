"""PetroZoneSpec, the exceedance triple, the two-facies calibration with its
bound messages, the coupled curves and the NTG display curve."""

import math
import random
import statistics

import pytest
from scipy import integrate, special, stats

import zaviktools as zk
from conftest import require_testhooks

import synth_oracle as oracle

hooks = require_testhooks()

NAN, INF = math.nan, math.inf
U64_MAX = 2**64 - 1
P = zk.PetroZoneSpec
BASE = (0.3, 0.2, 0.03, 0.05, 0.02, 2.0, 1.0)  # ntg, net mean/std, nonnet mean/std, bed, corr


def err(fn, *args, **kw):
    with pytest.raises(ValueError) as e:
        fn(*args, **kw)
    return str(e.value)


# --- PetroZoneSpec ------------------------------------------------------------------

def test_petro_zone_spec_defaults_attributes_and_rebuild():
    z = P(*BASE)
    assert z.net_cutoff == 0.1 and (z.ntg_target, z.bed_scale_m, z.correlation_len_m) == (0.3, 2.0, 1.0)
    assert (z.net_por_mean, z.net_por_std, z.nonnet_por_mean, z.nonnet_por_std) == (0.2, 0.03, 0.05, 0.02)
    assert repr(z) == ("PetroZoneSpec(net_cutoff=0.1, ntg_target=0.3, net_por=(0.2, 0.03), nonnet_por=(0.05, 0.02), "
                       "bed_scale_m=2, correlation_len_m=1)")
    names = ["ntg_target", "net_por_mean", "net_por_std", "nonnet_por_mean", "nonnet_por_std", "bed_scale_m",
             "correlation_len_m", "net_cutoff"]
    w = P(**{n: getattr(z, n) for n in names})
    assert repr(w) == repr(z)
    assert zk.synth_petro_curves(w, 0.5, 300, 4) == zk.synth_petro_curves(z, 0.5, 300, 4)
    with pytest.raises(AttributeError):
        z.net_cutoff = 0.2
    with pytest.raises(TypeError):
        type("Sub", (P,), {})
    assert P.__text_signature__ == ("(ntg_target, net_por_mean, net_por_std, nonnet_por_mean, nonnet_por_std, "
                                    "bed_scale_m, correlation_len_m, net_cutoff=...)")


@pytest.mark.parametrize("args, kw, text", [
    ((0.3, 0.2, 0.5, 0.05, 0.02, 2.0, 1.0), {"net_cutoff": 1.0}, "invalid argument: synth transform: std 0.5 too "
     "large for mean 0.2 \u2014 a [0,1] variable with this mean cannot exceed the Bernoulli variance 0.16000 "
     "(std < 0.40000)"),
    ((0.3, 0.2, 0.03, 0.0, 0.02, 2.0, 1.0), {"net_cutoff": 1.0},
     "invalid argument: synth transform: need 0 < mean < 1 and std > 0"),
    (BASE, {"net_cutoff": 1.0}, "invalid argument: PetroZoneSpec: need 0 < net_cutoff < 1"),
    (BASE, {"net_cutoff": NAN}, "invalid argument: PetroZoneSpec: need 0 < net_cutoff < 1"),
    ((1.0,) + BASE[1:5] + (0.0, 0.0), {}, "invalid argument: PetroZoneSpec: need 0 < ntg_target < 1"),
    ((0.0,) + BASE[1:], {}, "invalid argument: PetroZoneSpec: need 0 < ntg_target < 1"),
    (BASE[:5] + (0.0, 0.0), {}, "invalid argument: PetroZoneSpec: bed_scale_m must be finite and > 0"),
    (BASE[:5] + (INF, 1.0), {}, "invalid argument: PetroZoneSpec: bed_scale_m must be finite and > 0"),
    (BASE[:6] + (-1.0,), {}, "invalid argument: PetroZoneSpec: correlation_len_m must be finite and > 0"),
])
def test_petro_zone_spec_validation_order(args, kw, text):
    assert err(P, *args, **kw) == text


# --- exceedance -------------------------------------------------------------------

EXCEED = [(-1.3, 0.2, 0.1), (-3.0, 0.4, 0.1), (0.0, 1.0, 0.5), (-2.2, 0.05, 0.15), (1.0, 3.0, 0.9),
          (-9.0, 0.3, 0.5), (2.0, 0.5, 0.01)]


@pytest.mark.parametrize("mu, sigma, c", EXCEED)
def test_exceedance_matches_reference_and_quadrature(mu, sigma, c):
    got = hooks.exceedance(mu, sigma, c)
    assert got == oracle.exceedance(mu, sigma, c)
    zc = (math.log(c / (1 - c)) - mu) / sigma
    assert got[0] == pytest.approx(float(stats.norm.sf(zc)), abs=1e-15)
    for power, value in ((1, got[1]), (2, got[2])):
        ref = integrate.quad(lambda z: special.expit(mu + sigma * z) ** power * stats.norm.pdf(z), max(zc, -40), 40,
                             epsabs=1e-14, epsrel=1e-12, limit=200)[0]
        assert value == pytest.approx(ref, abs=1e-10)


# --- calibration ---------------------------------------------------------------------

def _residual(ntg, nm, ns, shale, sand, c):
    ps, m1s, m2s = oracle.exceedance(*shale, c)
    pd, m1d, m2d = oracle.exceedance(*sand, c)
    q = (ntg - ps) / (pd - ps)
    m1 = ((1 - q) * m1s + q * m1d) / ntg
    m2 = ((1 - q) * m2s + q * m2d) / ntg
    return q, m1 - nm, math.sqrt(max(m2 - m1 * m1, 0)) - ns


FEASIBLE = [(0.3, 0.2, 0.03, 0.05, 0.02, 0.1), (0.6, 0.25, 0.07, 0.05, 0.02, 0.1), (0.15, 0.18, 0.02, 0.03, 0.01, 0.1),
            (0.8, 0.3, 0.05, 0.1, 0.03, 0.15), (0.5, 0.12, 0.03, 0.02, 0.01, 0.05)]


@pytest.mark.parametrize("ntg, nm, ns, sm, ss, c", FEASIBLE)
def test_calibration_meets_the_targets(ntg, nm, ns, sm, ss, c):
    smu, ssig, dmu, dsig, q = hooks.calibrate_petro(ntg, nm, ns, sm, ss, c)
    assert (smu, ssig) == hooks.match_moments(sm, ss)
    q2, r1, r2 = _residual(ntg, nm, ns, (smu, ssig), (dmu, dsig), c)
    assert q2 == q and 1e-9 < q < 0.999999999 and abs(r1) < 1e-7 and abs(r2) < 1e-7


@pytest.mark.parametrize("ntg, nm, ns, sm, ss, c", FEASIBLE[:3])
def test_curves_realise_the_targets(ntg, nm, ns, sm, ss, c):
    zone = P(ntg, nm, ns, sm, ss, 1.0, 0.5, net_cutoff=c)
    out = zk.synth_petro_curves(zone, 0.5, 300_000, 21)
    assert list(out) == ["phie", "net_flag"]
    phie, flag = out["phie"], out["net_flag"]
    assert len(phie) == len(flag) == 300_000
    assert all(f == (1.0 if p >= c else 0.0) and type(f) is float for p, f in zip(phie, flag))
    net = [p for p, f in zip(phie, flag) if f]
    assert len(net) / len(phie) == pytest.approx(ntg, abs=0.01)
    assert statistics.fmean(net) == pytest.approx(nm, abs=0.003)
    assert statistics.pstdev(net) == pytest.approx(ns, abs=0.003)


def test_curves_are_the_facies_series_and_porosity_on_it():
    zone = P(*BASE)
    smu, ssig, dmu, dsig, q = hooks.calibrate_petro(0.3, 0.2, 0.03, 0.05, 0.02, 0.1)
    fac = zk.synth_facies_series(400, 0.5, q, 2.0, 13)
    expected = oracle.por_on_facies(fac, 0.5, (dmu, dsig), (smu, ssig), 1.0, 13)
    out = zk.synth_petro_curves(zone, 0.5, 400, 13)
    assert out["phie"] == expected and out == zk.synth_petro_curves(zone, 0.5, 400, 13)
    assert out["net_flag"] == [1.0 if p >= 0.1 else 0.0 for p in expected]


def _shale(sm, ss, c):
    return oracle.exceedance(*oracle.match_moments(sm, ss), c)


def test_ntg_floor_message():
    ps = _shale(0.09, 0.03, 0.1)[0]
    assert err(zk.synth_petro_curves, P(0.01, 0.2, 0.03, 0.09, 0.03, 1.0, 1.0), 0.5, 10, 1) == (
        f"invalid argument: synth_petro_curves: ntg_target 0.0100 is at/below the achievable floor {ps:.4f} = "
        "P(nonnet porosity \u2265 cutoff 0.100) \u2014 the shale above-cutoff leak alone meets or exceeds it. "
        "Raise ntg_target, lower nonnet_por, or lower net_cutoff.")


@pytest.mark.parametrize("nm, sm, ss", [(0.1, 0.05, 0.02), (0.08, 0.05, 0.02), (0.1, 0.01, 0.001)])
def test_mean_at_or_below_cutoff_is_not_reachable(nm, sm, ss):
    # The last case has no shale leak: c·ntg / ntg rounds above c, and the mean
    # is still refused as not reachable.
    ps, m1s, _ = _shale(sm, ss, 0.1)
    q0 = (0.3 - ps) / (1 - ps)
    g = (nm * 0.3 - m1s * (1 - q0)) / q0
    assert err(zk.synth_petro_curves, P(0.3, nm, 0.01, sm, ss, 1.0, 1.0), 0.5, 10, 1) == (
        f"invalid argument: synth_petro_curves: net_por mean {nm:.4f} is not reachable at ntg_target 0.3000 with "
        f"this nonnet_por/cutoff \u2014 the implied sand level {g:.4f} falls outside (cutoff 0.100, 1). Raise "
        "net_por mean or ntg_target.")


def test_std_floor_message():
    ps, m1s, m2s = _shale(0.05, 0.02, 0.1)
    q0 = (0.3 - ps) / (1 - ps)
    g = (0.2 * 0.3 - m1s * (1 - q0)) / q0
    floor = math.sqrt(max(((1 - q0) * m2s + q0 * (g * g)) / 0.3 - 0.2 * 0.2, 0))
    assert err(zk.synth_petro_curves, P(0.3, 0.2, 0.005, 0.05, 0.02, 1.0, 1.0), 0.5, 10, 1) == (
        f"invalid argument: synth_petro_curves: net_por std 0.0050 is below the achievable floor {floor:.4f} "
        f"\u2014 with ntg_target 0.3000 and this nonnet_por/cutoff 0.100 the shale above-cutoff leak (P={ps:.4f}) "
        f"alone makes the net rock spread at least this wide (the net rock is bimodal: sand \u2248{g:.3f} mixed "
        "with silty-shale net). Raise net_por.std, or reduce the leak (lower nonnet_por mean/std, or the cutoff).")


def test_failed_calibration_message():
    zone = P(0.8455486676434782, 0.18626698794174193, 0.041258031872495236, 0.147082037440821, 0.04324912264232622,
             1.0, 1.0, net_cutoff=0.15)
    text = err(zk.synth_petro_curves, zone, 0.5, 10, 1)
    assert text.startswith("invalid argument: synth_petro_curves: calibration failed to converge for ntg_target "
                           "0.8455, net_por (mean 0.1863, std 0.0413), cutoff 0.150 (residual net mean ")
    assert text.endswith("). Adjust the targets.")


@pytest.mark.parametrize("zone, step, n, text", [
    (P(0.01, 0.2, 0.03, 0.09, 0.03, 1.0, 1.0), NAN, 0, "empty input: synth_petro_curves: n_samples = 0"),
    (P(*BASE), 0.0, 5, "invalid argument: synth_petro_curves: depth_step must be finite and > 0"),
    (P(*BASE), -INF, 5, "invalid argument: synth_petro_curves: depth_step must be finite and > 0"),
    (P(0.01, 0.2, 0.03, 0.09, 0.03, 1.0, 1.0), 1.0, U64_MAX,
     f"invalid argument: synth_petro_curves: cannot allocate {U64_MAX} samples"),
    (P(*BASE), 1.0, 2**51, f"invalid argument: synth_petro_curves: cannot allocate {2**51} samples"),
])
def test_curves_argument_errors(zone, step, n, text):
    assert err(zk.synth_petro_curves, zone, step, n, 0) == text


def test_zone_must_be_a_petro_zone_spec():
    with pytest.raises(TypeError, match="argument 'zone': 'ZoneSpec' object is not an instance of 'PetroZoneSpec'"):
        zk.synth_petro_curves(zk.ZoneSpec(1, 0.2, 0.05, 1), 1.0, 5, 0)


# --- ntg_curve ---------------------------------------------------------------------------

def test_ntg_curve_examples():
    assert zk.ntg_curve([1, 0, 1, 0], 1.0, 1.0) == [0.5, 2 / 3, 1 / 3, 0.5]
    assert zk.ntg_curve([1, 1], 0.5, 10.0) == [1.0, 1.0]
    assert zk.ntg_curve([NAN, 0.0, -0.0, 2.5], 1.0, 2.0) == [0.5, 1 / 3, 1 / 3, 0.5]
    # A saturated half-window (1e300 / 1e-300) clips to the log, never wraps.
    assert zk.ntg_curve([1, 0, 0, 1, 1], 1e-300, 1e300) == [0.6] * 5


def _flag_cases():
    rnd = random.Random(5)
    return [([rnd.choice([0, 1, 1.0, 0.0]) for _ in range(rnd.randrange(1, 120))], rnd.choice([0.1, 0.5, 1.0]),
             rnd.choice([0.1, 0.75, 1.5, 2.5, 7.0, 60.0])) for _ in range(12)]


@pytest.mark.parametrize("flags, step, window", _flag_cases())
def test_ntg_curve_matches_reference(flags, step, window):
    assert zk.ntg_curve(flags, step, window) == oracle.ntg_curve(flags, step, window)


@pytest.mark.parametrize("flags, step, window, text", [
    ([], NAN, NAN, "empty input: ntg_curve: empty net_flag"),
    ([1], 0.0, 1.0, "invalid argument: ntg_curve: depth_step must be finite and > 0"),
    ([1], INF, 1.0, "invalid argument: ntg_curve: depth_step must be finite and > 0"),
    ([1], 1.0, -1.0, "invalid argument: ntg_curve: window_m must be finite and > 0"),
    ([1], 1.0, NAN, "invalid argument: ntg_curve: window_m must be finite and > 0"),
])
def test_ntg_curve_errors(flags, step, window, text):
    assert err(zk.ntg_curve, flags, step, window) == text


# --- docstrings ------------------------------------------------------------------------

DOCS = {
    "PetroZoneSpec": (
        "One zone's **coupled** petrophysics target: a porosity generator whose net flag\n"
        "is *derived* from porosity by `net_cutoff` (`net_flag = phie \u2265 net_cutoff`),\n"
        "calibrated so the realized series hits the quoted `ntg_target` and the net-rock\n"
        "`(net_por_mean, net_por_std)`. `nonnet_por_*` is the shale (non-net) porosity\n"
        "distribution. The sand porosity distribution and facies proportion are solved\n"
        "internally. Requires `0 < net_cutoff < 1`, `0 < ntg_target < 1`, feasible `[0,1]`\n"
        "moment targets, and positive length scales."),
    "synth_petro_curves": (
        "The **coupled** porosity + derived net-flag curve for one `zone`, `n_samples`\n"
        "samples spaced `depth_step` m (top first). The net flag is `phie \u2265 net_cutoff`\n"
        "by construction; the generator solves a facies mixture so the realized series\n"
        "hits `ntg_target` and the net-rock moments (see `PetroZoneSpec`). Returns a dict\n"
        "`{\"phie\": [float], \"net_flag\": [int] (1/0)}`. Errors on an infeasible spec (with\n"
        "the achievable bound stated). Seeded/reproducible."),
    "ntg_curve": (
        "A continuous NTG **display** curve from a derived `net_flag` (list of numbers,\n"
        "non-zero = net \u2014 accepts the `1.0`/`0.0` floats `synth_petro_curves` returns, or\n"
        "`1`/`0` ints): the centred running mean of the flag over a `window_m`-metre window\n"
        "(samples spaced `depth_step` m). Returns a `[0,1]` list aligned with `net_flag`."),
}


@pytest.mark.parametrize("name", DOCS)
def test_docstrings(name):
    assert getattr(zk, name).__doc__ == DOCS[name]
    assert zk.synth_petro_curves.__text_signature__ == "(zone, depth_step, n_samples, seed)"
    assert zk.ntg_curve.__text_signature__ == "(net_flag, depth_step, window_m)"
