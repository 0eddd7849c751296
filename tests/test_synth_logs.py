"""ZoneSpec, the zone-stack log, the facies series and porosity on facies:
texts, edges, a bit-for-bit reference over generated inputs and long-series
statistics."""

import math
import random
import statistics

import pytest

import zaviktools as zk
from conftest import require_testhooks

import synth_oracle as oracle

hooks = require_testhooks()

NAN, INF = math.nan, math.inf
U64_MAX = 2**64 - 1
Z = zk.ZoneSpec


def err(fn, *args):
    with pytest.raises(ValueError) as e:
        fn(*args)
    return str(e.value)


# --- ZoneSpec -----------------------------------------------------------------

def test_zone_spec_attributes_repr_and_rebuild():
    z = Z(20, 0.2, 0.05, 3)
    assert repr(z) == "ZoneSpec(thickness_m=20, mean=0.2, std=0.05, corr_length_m=3)"
    assert (z.thickness_m, z.mean, z.std, z.corr_length_m) == (20.0, 0.2, 0.05, 3.0)
    assert all(type(getattr(z, a)) is float for a in ("thickness_m", "mean", "std", "corr_length_m"))
    assert repr(Z(0.1 + 0.2, 1 / 3, 0.01, 1e-7)) == (
        "ZoneSpec(thickness_m=0.30000000000000004, mean=0.3333333333333333, std=0.01, corr_length_m=0.0000001)")
    # Rebuilding from the attributes gives the same value, bit for bit.
    w = Z(z.thickness_m, z.mean, z.std, z.corr_length_m)
    assert repr(w) == repr(z) and zk.synth_log_series([w], 1.0, 0, 3) == zk.synth_log_series([z], 1.0, 0, 3)
    with pytest.raises(AttributeError):
        z.mean = 0.3
    with pytest.raises(AttributeError):
        z.extra = 1
    with pytest.raises(TypeError):
        type("Sub", (Z,), {})
    assert Z.__text_signature__ == "(thickness_m, mean, std, corr_length_m)"
    assert Z(thickness_m=1, mean=0.5, std=0.1, corr_length_m=2).thickness_m == 1.0


@pytest.mark.parametrize("args, text", [
    ((0, 0.3, 0.46, 2), "invalid argument: ZoneSpec: thickness_m must be finite and > 0"),
    ((-1, 0.2, 0.05, 2), "invalid argument: ZoneSpec: thickness_m must be finite and > 0"),
    ((NAN, 0.2, 0.05, 2), "invalid argument: ZoneSpec: thickness_m must be finite and > 0"),
    ((INF, 0.2, 0.05, 2), "invalid argument: ZoneSpec: thickness_m must be finite and > 0"),
    ((10, 0.0, 0.05, 0), "invalid argument: ZoneSpec: corr_length_m must be finite and > 0"),
    ((10, 0.2, 0.05, INF), "invalid argument: ZoneSpec: corr_length_m must be finite and > 0"),
    ((10, 0.0, 0.05, 2), "invalid argument: synth transform: need 0 < mean < 1 and std > 0"),
    ((10, 0.3, 0.46, 2), "invalid argument: synth transform: std 0.46 too large for mean 0.3 \u2014 a [0,1] variable "
                         "with this mean cannot exceed the Bernoulli variance 0.21000 (std < 0.45826)"),
])
def test_zone_spec_validation_order(args, text):
    assert err(Z, *args) == text


# --- sample counts --------------------------------------------------------------

@pytest.mark.parametrize("thicknesses, step, counts", [
    ([10], 3, [3]), ([7.5], 3, [3]), ([1], 3, [1]), ([4.5, 1.5, 0.1], 3, [2, 1, 1]), ([], 1, []),
    ([2.0**50] * 3, 1.0, [2**50] * 3), ([2.0**60 - 2**8], 1.0, [2**60 - 2**8]),  # the largest log: (2^63 - 1) // 8
])
def test_zone_sample_counts(thicknesses, step, counts):
    assert zk.zone_sample_counts([Z(t, 0.2, 0.05, 2) for t in thicknesses], step) == counts


@pytest.mark.parametrize("thicknesses, step, tail", [
    ([1e300], 1e-300, f"cannot allocate {U64_MAX} samples"),
    ([2.0**59] * 2, 1.0, f"cannot allocate {2**60} samples"),
    ([1e300] * 2, 1e-300, "the zone stack's total sample count overflows a 64-bit count"),
])
def test_zone_sample_counts_refuse_layouts_no_log_could_have(thicknesses, step, tail):
    zones = [Z(t, 0.2, 0.05, 2) for t in thicknesses]
    assert err(zk.zone_sample_counts, zones, step) == "invalid argument: zone_sample_counts: " + tail
    assert err(zk.synth_log_series, zones, step, 0, 1) == "invalid argument: synth_log_series: " + tail


@pytest.mark.parametrize("step", [0.0, -0.0, -1.0, NAN, INF, -INF])
def test_zone_sample_counts_rejects_a_meaningless_step(step):
    assert err(zk.zone_sample_counts, [Z(10, 0.2, 0.05, 2)], step) == (
        "invalid argument: zone_sample_counts: depth_step must be finite and > 0")


def test_zones_must_be_zone_specs():
    with pytest.raises(TypeError, match="argument 'zones': 'tuple' object is not an instance of 'ZoneSpec'"):
        zk.zone_sample_counts([(10, 0.2, 0.05, 2)], 1.0)
    with pytest.raises(TypeError, match="argument 'zones': 'int' object is not an instance of 'Sequence'"):
        zk.synth_log_series(3, 1.0, 0, 0)
    with pytest.raises(OverflowError):
        zk.synth_log_series([Z(1, 0.2, 0.05, 2)], 1.0, -1, 0)


# --- synth_log_series -------------------------------------------------------------

POOL = [(0.2, 0.05), (0.3, 0.04), (0.08, 0.03), (0.6, 0.1)]


def _stacks():
    rnd = random.Random(31)
    out = []
    for case in range(10):
        zones = [(rnd.choice([0.4, 1.0, 3.3, 7.5, 12.0]), *rnd.choice(POOL), rnd.choice([0.5, 2.0, 9.0]))
                 for _ in range(rnd.randrange(1, 5))]
        out.append((zones, rnd.choice([0.3, 0.5, 1.0]), rnd.choice([0, 0, 1, 2, 5, 40, U64_MAX]), rnd.getrandbits(64)))
    return out


@pytest.mark.parametrize("zones, step, beds, seed", _stacks())
def test_log_series_matches_reference(zones, step, beds, seed):
    got = zk.synth_log_series([Z(*z) for z in zones], step, beds, seed)
    assert got == oracle.log_series(zones, step, beds, seed)
    assert len(got) == sum(zk.zone_sample_counts([Z(*z) for z in zones], step))
    assert all(0.0 <= v <= 1.0 for v in got)


def test_log_series_transition_window():
    zones = [Z(10, 0.2, 0.05, 2), Z(10, 0.3, 0.04, 2)]
    hard = zk.synth_log_series(zones, 1.0, 0, 5)
    soft = zk.synth_log_series(zones, 1.0, 2, 5)
    m = 10
    changed = [i for i in range(20) if hard[i] != soft[i]]
    assert changed == [m - 1, m, m + 1] and soft[m - 2] == hard[m - 2]
    # Wider than the stack: clipped to [0, N), with or without saturation.
    assert zk.synth_log_series(zones, 1.0, 1000, 5) == zk.synth_log_series(zones, 1.0, U64_MAX, 5)
    assert zk.synth_log_series(zones, 1.0, 1000, 5) == oracle.log_series(
        [(10, 0.2, 0.05, 2), (10, 0.3, 0.04, 2)], 1.0, 1000, 5)
    # One zone: no blending step at all.
    assert zk.synth_log_series(zones[:1], 1.0, 7, 5) == zk.synth_log_series(zones[:1], 1.0, 0, 5)


def test_log_series_long_zone_moments():
    v = zk.synth_log_series([Z(200_000, 0.2, 0.05, 2)], 1.0, 0, 8)
    assert statistics.fmean(v) == pytest.approx(0.2, abs=0.003)
    assert statistics.pstdev(v) == pytest.approx(0.05, abs=0.002)
    # The driver recovered through the logit keeps the zone's correlation.
    mu, sigma = hooks.match_moments(0.2, 0.05)
    z = [(math.log(x / (1 - x)) - mu) / sigma for x in v[:50_000]]
    lag1 = statistics.correlation(z[1:], z[:-1])
    assert lag1 == pytest.approx(math.exp(-0.5), abs=0.01)


@pytest.mark.parametrize("zones, step, text", [
    ([], 1.0, "empty input: synth_log_series: empty zone stack"),
    ([], NAN, "empty input: synth_log_series: empty zone stack"),
    ([Z(1, 0.2, 0.05, 2)], 0.0, "invalid argument: synth_log_series: depth_step must be finite and > 0"),
    ([Z(1, 0.2, 0.05, 2)], -2.0, "invalid argument: synth_log_series: depth_step must be finite and > 0"),
    ([Z(1, 0.2, 0.05, 2)], INF, "invalid argument: synth_log_series: depth_step must be finite and > 0"),
    ([Z(1e300, 0.2, 0.05, 2)] * 2, 1e-300,
     "invalid argument: synth_log_series: the zone stack's total sample count overflows a 64-bit count"),
    ([Z(1e300, 0.2, 0.05, 2)], 1e-300, f"invalid argument: synth_log_series: cannot allocate {U64_MAX} samples"),
    ([Z(2.0**50, 0.2, 0.05, 2)], 1.0, f"invalid argument: synth_log_series: cannot allocate {2**50} samples"),
])
def test_log_series_errors(zones, step, text):
    assert err(zk.synth_log_series, zones, step, 0, 1) == text


# --- synth_facies_series ----------------------------------------------------------

@pytest.mark.parametrize("n, step, ntg, bed, seed", [
    (1, 1.0, 0.5, 1.0, 0), (257, 0.5, 0.3, 2.0, 7), (400, 0.1, 0.9, 0.05, U64_MAX), (300, 2.0, 0.01, 50.0, 3),
])
def test_facies_matches_reference(n, step, ntg, bed, seed):
    assert zk.synth_facies_series(n, step, ntg, bed, seed) == oracle.facies(n, step, ntg, bed, seed)


def test_facies_series_shape_and_statistics():
    f = zk.synth_facies_series(1000, 0.5, 0.3, 2.0, 7)
    assert type(f) is bytes and len(f) == 1000 and set(f) <= {0, 1} and abs(sum(f) / 1000 - 0.3) < 0.08
    long = zk.synth_facies_series(400_000, 0.5, 0.3, 2.0, 11)
    assert sum(long) / len(long) == pytest.approx(0.3, abs=0.01)

    def mean_bed(fs):
        runs = sum(1 for i in range(1, len(fs)) if fs[i] != fs[i - 1]) + 1
        return len(fs) / runs

    assert mean_bed(zk.synth_facies_series(100_000, 0.5, 0.3, 8.0, 1)) > 1.5 * mean_bed(long)


@pytest.mark.parametrize("args, text", [
    ((0, NAN, 2.0, -1.0, 1), "empty input: synth_facies_series: n = 0"),
    ((10, 0.0, 0.3, 1.0, 1), "invalid argument: synth_facies_series: depth_step must be finite and > 0"),
    ((10, NAN, 0.3, 1.0, 1), "invalid argument: synth_facies_series: depth_step must be finite and > 0"),
    ((10, 1.0, 1.0, 1.0, 1), "invalid argument: synth_facies_series: need 0 < ntg_target < 1"),
    ((10, 1.0, 0.0, 1.0, 1), "invalid argument: synth_facies_series: need 0 < ntg_target < 1"),
    ((10, 1.0, NAN, 1.0, 1), "invalid argument: synth_facies_series: need 0 < ntg_target < 1"),
    ((10, 1.0, 0.3, 0.0, 1), "invalid argument: synth_facies_series: bed_scale_m must be finite and > 0"),
    ((10, 1.0, 0.3, INF, 1), "invalid argument: synth_facies_series: bed_scale_m must be finite and > 0"),
    ((U64_MAX, 1.0, 0.3, 1.0, 1), f"invalid argument: synth_facies_series: cannot allocate {U64_MAX} samples"),
    ((2**52, 1.0, 0.3, 1.0, 1), f"invalid argument: synth_facies_series: cannot allocate {2**52} samples"),
])
def test_facies_errors(args, text):
    assert err(zk.synth_facies_series, *args) == text


# --- synth_por_with_facies ----------------------------------------------------------

@pytest.mark.parametrize("n, seed", [(1, 0), (120, 7), (333, U64_MAX)])
def test_por_with_facies_matches_reference(n, seed):
    fac = zk.synth_facies_series(n, 0.5, 0.4, 1.5, seed)
    got = zk.synth_por_with_facies(fac, 0.5, 0.25, 0.03, 0.05, 0.02, 2.0, seed)
    expected = oracle.por_on_facies(fac, 0.5, oracle.match_moments(0.25, 0.03), oracle.match_moments(0.05, 0.02),
                                    2.0, seed)
    assert got == expected
    # Any non-zero integer is sand; lists and bytes read alike.
    assert zk.synth_por_with_facies([(-3 if f else 0) for f in fac], 0.5, 0.25, 0.03, 0.05, 0.02, 2.0, seed) == got
    assert zk.synth_por_with_facies(list(fac), 0.5, 0.25, 0.03, 0.05, 0.02, 2.0, seed) == got


def test_por_with_facies_uses_an_independent_stream():
    fac = [0] * 50_000
    por = zk.synth_por_with_facies(fac, 0.5, 0.25, 0.03, 0.05, 0.02, 2.0, 99)
    mu, sigma = hooks.match_moments(0.05, 0.02)
    drv = [(math.log(p / (1 - p)) - mu) / sigma for p in por[:200]]
    same_seed = hooks.correlated_gaussian([math.exp(-0.25)] * 200, 99)
    mixed = hooks.correlated_gaussian([math.exp(-0.25)] * 200, hooks.mix_seed(99))
    assert max(abs(a - b) for a, b in zip(drv, mixed)) < 1e-9 and max(abs(a - b) for a, b in zip(drv, same_seed)) > 1
    # All shale: the shale moments only.
    assert statistics.fmean(por) == pytest.approx(0.05, abs=0.002)
    assert statistics.pstdev(por) == pytest.approx(0.02, abs=0.002)


@pytest.mark.parametrize("args, text", [
    (([], 1.0, 0.25, 0.5, 0.05, 0.02, 2.0), "invalid argument: synth transform: std 0.5 too large for mean 0.25 "
     "\u2014 a [0,1] variable with this mean cannot exceed the Bernoulli variance 0.18750 (std < 0.43301)"),
    (([], 1.0, 0.25, 0.03, 1.0, 0.02, 2.0), "invalid argument: synth transform: need 0 < mean < 1 and std > 0"),
    (([], 0.0, 0.25, 0.03, 0.05, 0.02, 0.0), "empty input: synth_por_with_facies: empty facies"),
    (([1], 0.0, 0.25, 0.03, 0.05, 0.02, 0.0),
     "invalid argument: synth_por_with_facies: depth_step must be finite and > 0"),
    (([1], 1.0, 0.25, 0.03, 0.05, 0.02, NAN),
     "invalid argument: synth_por_with_facies: corr_length_m must be finite and > 0"),
])
def test_por_with_facies_errors(args, text):
    assert err(zk.synth_por_with_facies, *args, 1) == text


def test_facies_argument_conversion():
    with pytest.raises(TypeError, match="argument 'facies'"):
        zk.synth_por_with_facies([1, 0.5], 1.0, 0.25, 0.03, 0.05, 0.02, 2.0, 1)
    with pytest.raises(TypeError, match="Can't extract `str` to `Vec`"):
        zk.synth_por_with_facies("10", 1.0, 0.25, 0.03, 0.05, 0.02, 2.0, 1)


# --- docstrings ------------------------------------------------------------------

DOCS = {
    "zone_sample_counts": ("zone_sample_counts(zones, depth_step)",
                           "Per-zone depth-sample counts of the `zones` stack at `depth_step` \u2014 the shared\n"
                           "depth layout of a stack's logs."),
    "synth_log_series": ("synth_log_series(zones, depth_step, transition_beds, seed)",
                         "One continuous, depth-autocorrelated log over the `zones` stack, sampled every\n"
                         "`depth_step` m (top first). Each zone hits its `{mean, std}` in `[0,1]`;\n"
                         "`transition_beds` blends the statistics across each internal boundary\n"
                         "(`0` = hard). Seeded/reproducible. Returns the series (a list of floats)."),
    "synth_facies_series": ("synth_facies_series(n, depth_step, ntg_target, bed_scale_m, seed)",
                            "A binary sand/shale series of `n` samples at `depth_step` m, sand proportion =\n"
                            "`ntg_target`, mean bed thickness ~ `bed_scale_m`. Returns `bytes`, one byte per\n"
                            "sample (`1` = sand, `0` = shale). Seeded/reproducible."),
    "synth_por_with_facies": (
        "synth_por_with_facies(facies, depth_step, sand_mean, sand_std, shale_mean, shale_std, corr_length_m, seed)",
        "Porosity composed onto a `facies` series (list of ints, `1` = sand): each\n"
        "sample drawn from the `sand`/`shale` `{mean, std}` target per its facies, over a\n"
        "shared AR(1) driver of length = `facies` (correlation length `corr_length_m`).\n"
        "Returns a `[0,1]` porosity list aligned with `facies`. Seeded/reproducible."),
    "ZoneSpec": ("ZoneSpec(thickness_m, mean, std, corr_length_m)",
                 "One zone's petrophysical target for a synthetic log: a `thickness_m`, the\n"
                 "property target `{mean, std}` (a `[0,1]` fraction), and the depth\n"
                 "autocorrelation length `corr_length_m` (bed scale). Requires `0 < mean < 1`,\n"
                 "`std > 0` with `std\u00b2 < mean\u00b7(1\u2212mean)`, and positive thickness / correlation\n"
                 "length."),
}


@pytest.mark.parametrize("name", DOCS)
def test_docstrings(name):
    sig, text = DOCS[name]
    obj = getattr(zk, name)
    assert obj.__doc__ == text and obj.__text_signature__ == sig[sig.index("("):]
