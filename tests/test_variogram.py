import inspect
import math
import random

import numpy as np
import pytest

import zaviktools as zk
from conftest import require_testhooks

import variogram_reference as ref

hooks = require_testhooks()

UNKNOWN = "unknown variogram model '{}' (expected 'nugget', 'spherical', 'exponential', or 'gaussian')"


def raises_value(fn, text):
    with pytest.raises(ValueError) as info:
        fn()
    assert str(info.value) == text
    assert info.value.args == (text,)


# --- model names ---------------------------------------------------------------------------------

@pytest.mark.parametrize("name, model", [
    ("nugget", "nugget"), ("spherical", "spherical"), ("sph", "spherical"), ("exponential", "exponential"),
    ("exp", "exponential"), ("gaussian", "gaussian"), ("gauss", "gaussian"), (" Spherical ", "spherical"),
    ("EXP", "exponential"), ("Gaussian ", "gaussian"), ("\u00a0\tGauss\u3000\u2028", "gaussian"),
    ("NuGgEt\n", "nugget"),
])
def test_model_names_accepted(name, model):
    # The shape is observable through gamma: compare with the model named in full.
    h = [0.5, 3.0, 7.5, 12.0]
    assert hooks.variogram_gamma(name, 0.25, 1.5, 10.0, h) == hooks.variogram_gamma(model, 0.25, 1.5, 10.0, h)
    assert repr(zk.Variogram(name, 0.25, 1.5, 10.0)) == "Variogram(nugget=0.25, sill=1.5, range=10)"
    assert zk.Variogram(name, 0.25, 1.5, 10.0).model == model
    assert zk.AnisotropicVariogram(name, 10, 5, 1, 0, 1, 0.5).model == zk.AnisotropicVariogram.isotropic(name, 1, 1, 9).model == model


@pytest.mark.parametrize("name, shown", [
    ("linear", "linear"), (" Linear ", "linear"), ("", ""), ("sphe", "sphe"), ("Sph erical", "sph erical"),
    ("ÉXP", "Éxp"), ("expo\u200b", "expo\u200b"), ("gaussian!", "gaussian!"),
])
@pytest.mark.parametrize("make", [
    lambda m: zk.Variogram(m, 0, 1, 100),
    lambda m: zk.Variogram.isotropic(m, 0, 1, 100),
    lambda m: zk.AnisotropicVariogram(m, 10, 5, 1, 0),
    lambda m: zk.AnisotropicVariogram.isotropic(m, 0, 1, 100),
])
def test_unknown_model_names(make, name, shown):
    raises_value(lambda: make(name), UNKNOWN.format(shown))


def test_model_name_checked_before_numbers():
    raises_value(lambda: zk.Variogram("linear", math.nan, -1, 0), UNKNOWN.format("linear"))
    raises_value(lambda: zk.AnisotropicVariogram("cubic", -1, 0, 0, math.inf), UNKNOWN.format("cubic"))


# --- validation ----------------------------------------------------------------------------------

V = "invalid argument: variogram: "
A = "invalid argument: anisotropic variogram: "


@pytest.mark.parametrize("args, text", [
    (("sph", math.nan, 1, 10), "nugget, sill and range must be finite"),
    (("sph", 0, math.inf, 10), "nugget, sill and range must be finite"),
    (("sph", -1, 1, -math.inf), "nugget, sill and range must be finite"),
    (("nugget", 0, 1, math.nan), "nugget, sill and range must be finite"),
    (("sph", -0.1, 1, 10), "nugget and sill must be non-negative"),
    (("exp", 1, -1e-300, 0), "nugget and sill must be non-negative"),
    (("nugget", 0, 1, 10), "the Nugget model uses only its nugget (sill is ignored), so nugget must be positive"),
    (("nugget", -0.0, 1, -5), "the Nugget model uses only its nugget (sill is ignored), so nugget must be positive"),
    (("sph", 0, 0, 10), "total sill (nugget + sill) must be positive"),
    (("gauss", -0.0, 0, -1), "total sill (nugget + sill) must be positive"),
    (("sph", 0, 1, 0), "range must be positive"),
    (("exp", 0.5, 0, -0.0), "range must be positive"),
    (("nugget", 0.5, 0, -3), "range must be positive"),
])
def test_variogram_validation_order(args, text):
    raises_value(lambda: zk.Variogram(*args), V + text)
    raises_value(lambda: zk.Variogram.isotropic(*args), V + text)
    with pytest.raises(ValueError) as info:
        hooks.variogram_gamma(*args, [1.0])
    assert str(info.value) == V + text


@pytest.mark.parametrize("args, text", [
    (("sph", 10, 5, 1, math.nan), "nugget, sill, ranges and azimuth must be finite"),
    (("sph", math.inf, 5, 1, 0), "nugget, sill, ranges and azimuth must be finite"),
    (("sph", 10, 5, 1, 0, 1.0, math.nan), "nugget, sill, ranges and azimuth must be finite"),
    (("sph", 10, -5, math.nan, 0, -1.0), "nugget, sill, ranges and azimuth must be finite"),
    (("sph", 10, 5, 1, 0, -1.0), "nugget and sill must be non-negative"),
    (("sph", 0, 0, 0, 0, 1.0, -0.5), "nugget and sill must be non-negative"),
    (("nugget", 10, 5, 1, 0), "the Nugget model uses only its nugget (sill is ignored), so nugget must be positive"),
    (("exp", 10, 5, 1, 0, 0.0), "total sill (nugget + sill) must be positive"),
    (("exp", 0, 5, 1, 0), "major, minor and vertical ranges must be positive"),
    (("exp", 10, -5, 1, 0), "major, minor and vertical ranges must be positive"),
    (("exp", 10, 5, -0.0, 0), "major, minor and vertical ranges must be positive"),
    (("nugget", 10, 5, 0, 0, 0.0, 0.1), "major, minor and vertical ranges must be positive"),
])
def test_anisotropic_validation_order(args, text):
    raises_value(lambda: zk.AnisotropicVariogram(*args), A + text)


@pytest.mark.parametrize("args, text", [
    (("sph", 0, 1, 0), "major, minor and vertical ranges must be positive"),
    (("sph", 0, 1, math.nan), "nugget, sill, ranges and azimuth must be finite"),
    (("nugget", 0, 1, 10), "the Nugget model uses only its nugget (sill is ignored), so nugget must be positive"),
    (("sph", 0, 0, 10), "total sill (nugget + sill) must be positive"),
])
def test_anisotropic_isotropic_uses_anisotropic_texts(args, text):
    raises_value(lambda: zk.AnisotropicVariogram.isotropic(*args), A + text)


def test_conversion_errors_name_the_argument():
    with pytest.raises(TypeError, match="^argument 'sill': "):
        zk.Variogram("sph", 0, "1", 10)
    with pytest.raises(TypeError, match="^argument 'model': "):
        zk.Variogram(3, 0, 1, 10)
    with pytest.raises(TypeError, match="^argument 'azimuth': "):
        zk.AnisotropicVariogram("sph", 1, 1, 1, None)
    with pytest.raises(TypeError, match=r"^Variogram\(\) missing 1 required positional argument: 'range'$"):
        zk.Variogram("sph", 0, 1)


# --- isotropic shapes ----------------------------------------------------------------------------

def random_params(rnd, model):
    c0 = rnd.choice([0.0, rnd.uniform(0.01, 2.0)])
    c = rnd.uniform(0.01, 5.0)
    if model == "nugget":
        c0 = rnd.uniform(0.01, 2.0)
    return c0, c, rnd.choice([rnd.uniform(0.5, 3.0), rnd.uniform(10.0, 1e4)])


@pytest.mark.parametrize("model", ref.MODELS)
def test_gamma_matches_formula_bit_for_bit(model):
    rnd = random.Random(ref.MODELS.index(model))
    for _ in range(40):
        c0, c, a = random_params(rnd, model)
        hs = [rnd.uniform(0.0, 2.5 * a) for _ in range(50)] + [a, a * (1 - 1e-16), 1e-320, 0.0, -0.0]
        got = hooks.variogram_gamma(model, c0, c, a, hs)
        want = [ref.gamma(model, c0, c, a, h) for h in hs]
        assert got == want


@pytest.mark.parametrize("model", ref.MODELS)
def test_gamma_origin_and_non_finite(model):
    got = hooks.variogram_gamma(model, 0.3, 1.0, 10.0, [0.0, 1e-170, math.nan, math.inf])
    assert got[0] == 0.0 and got[1] == 0.0  # h*h == 0 exactly, even with a nugget
    assert math.isnan(got[2])
    assert got[3] == (0.3 if model == "nugget" else 1.3)
    aniso = zk.AnisotropicVariogram(model, 10, 5, 2, 30, 1.0, 0.3)
    assert math.isnan(aniso.gamma_offset(math.nan, 1.0)) and math.isnan(aniso.gamma_offset(0, 0, math.nan))


def test_documented_values():
    sph = hooks.variogram_gamma("sph", 0.1, 0.9, 100, [0, 50, 100, 250])
    assert sph == [0.0, 0.1 + 0.9 * 0.6875, 1.0, 1.0]
    assert hooks.variogram_gamma("exp", 0, 1, 100, [100])[0] == pytest.approx(0.950213, abs=1e-6)
    assert hooks.variogram_gamma("nugget", 0.5, 0, 10, [1e-9, 3, 1e9]) == [0.5, 0.5, 0.5]
    assert hooks.variogram_gamma("gauss", 0, 2, 10, [10])[0] == 2 * (1 - math.exp(-3))


# --- anisotropic distance ------------------------------------------------------------------------

def rotation_reduced(major, minor, vertical, azimuth, dx, dy, dz):
    """Independent reference: rotate into (major, minor, vertical) axes, scale, take the norm."""
    t = math.radians(azimuth)
    major_axis = np.array([math.sin(t), math.cos(t), 0.0])  # bearing `azimuth` clockwise from north
    minor_axis = np.array([math.cos(t), -math.sin(t), 0.0])
    rot = np.vstack([major_axis, minor_axis, [0.0, 0.0, 1.0]])
    scale = np.diag([1.0, major / minor, major / vertical])
    return float(np.linalg.norm(scale @ rot @ np.array([dx, dy, dz])))


@pytest.mark.parametrize("model", ref.MODELS)
def test_anisotropic_against_rotation_matrix_and_formula(model):
    rnd = random.Random(7 + len(model))
    for _ in range(30):
        major = rnd.uniform(1, 500)
        minor = rnd.uniform(1, 500)
        vertical = rnd.uniform(0.5, 50)
        azimuth = rnd.uniform(-720, 720)
        c0 = rnd.uniform(0.01, 1)
        c = rnd.uniform(0.01, 3)
        v = zk.AnisotropicVariogram(model, major, minor, vertical, azimuth, c, c0)
        for _ in range(20):
            dx, dy, dz = rnd.uniform(-600, 600), rnd.uniform(-600, 600), rnd.uniform(-60, 60)
            got = v.anisotropic_distance(dx, dy, dz)
            assert got == pytest.approx(rotation_reduced(major, minor, vertical, azimuth, dx, dy, dz), rel=1e-12)
            assert got == math.sqrt(ref.reduced_sq(major, minor, vertical, v.azimuth, dx, dy, dz))
            assert v.gamma_offset(dx, dy, dz) == ref.gamma_offset(
                model, c0, c, major, minor, vertical, v.azimuth, dx, dy, dz)
            assert v.gamma_offset(dx, dy) == v.gamma_offset(dx, dy, 0.0)


def test_anisotropic_documented_values():
    v = zk.AnisotropicVariogram("sph", 200, 50, 10, 90)
    assert v.gamma_offset(200, 0) == 1.0
    assert v.gamma_offset(0, 50) == 1.0
    assert v.anisotropic_distance(0, 50) == 200.0
    assert v.azimuth == 90
    assert (v.nugget, v.sill, v.major, v.minor, v.vertical) == (0.0, 1.0, 200.0, 50.0, 10.0)
    assert zk.AnisotropicVariogram("sph", 200, 50, 10, -90).azimuth == 270
    iso = zk.AnisotropicVariogram.isotropic("exp", 0, 1, 100)
    assert iso.gamma_offset(60, 80) == hooks.variogram_gamma("exp", 0, 1, 100, [100])[0]
    assert (iso.major, iso.minor, iso.vertical, iso.azimuth) == (100, 100, 100, 0)
    assert zk.AnisotropicVariogram("sph", 10, 10, 10, 0, 1.0, 0.4).gamma_offset(0, 0, 0) == 0.0
    assert math.isnan(v.gamma_offset(math.nan, 0))
    north = zk.AnisotropicVariogram("exp", 300, 30, 3, 0)
    assert north.anisotropic_distance(0, 300) == 300 and north.anisotropic_distance(30, 0) == 300
    assert north.anisotropic_distance(0, 0, 3) == 300


@pytest.mark.parametrize("azimuth, stored", [
    (0, 0), (90, 90), (-90, 270), (450, 90), (360, 0), (720, 0), (-360, 0), (359.5, 359.5), (-0.0, 0),
    (-1e-20, 0), (-1e-14, 0), (-1e-13, -1e-13 + 360), (1e300, math.fmod(1e300, 360)),
])
def test_azimuth_normalised_into_0_360(azimuth, stored):
    v = zk.AnisotropicVariogram("gauss", 5, 2, 1, azimuth)
    assert v.azimuth == stored
    assert 0 <= v.azimuth < 360
    assert math.copysign(1, v.azimuth) == 1  # never -0
    assert "azimuth=-" not in repr(v)


def test_reprs():
    assert repr(zk.Variogram("exp", 0, 1, 100)) == "Variogram(nugget=0, sill=1, range=100)"
    assert repr(zk.Variogram("gauss", 1e-7, 0.25, 1234.5)) == "Variogram(nugget=0.0000001, sill=0.25, range=1234.5)"
    assert repr(zk.AnisotropicVariogram("sph", 200, 50, 10, -90)) == (
        "AnisotropicVariogram(major=200, minor=50, vertical=10, azimuth=270, nugget=0, sill=1)")
    assert repr(zk.AnisotropicVariogram("sph", 0.1, 2.5, 1e20, 12.25, nugget=0.5, sill=3)) == (
        "AnisotropicVariogram(major=0.1, minor=2.5, vertical=100000000000000000000, azimuth=12.25, "
        "nugget=0.5, sill=3)")


def test_negative_zero_stored_as_zero():
    v = zk.Variogram("exp", -0.0, 1, 10)
    assert repr(v) == "Variogram(nugget=0, sill=1, range=10)"
    assert math.copysign(1, v.nugget) == 1
    n = zk.Variogram("nugget", 0.5, -0.0, 10)
    assert math.copysign(1, n.sill) == 1
    a = zk.AnisotropicVariogram("exp", 1, 1, 1, -0.0, 1.0, -0.0)
    assert repr(a) == "AnisotropicVariogram(major=1, minor=1, vertical=1, azimuth=0, nugget=0, sill=1)"


def test_attributes_read_only_and_values():
    v = zk.Variogram("sph", 0.1, 0.9, 100)
    assert (v.nugget, v.sill, v.range) == (0.1, 0.9, 100.0)
    for name in ("nugget", "sill", "range", "model"):
        with pytest.raises(AttributeError):
            setattr(v, name, 1.0)
    with pytest.raises(AttributeError):
        v.other = 1
    a = zk.AnisotropicVariogram("sph", 1, 1, 1, 0)
    with pytest.raises(AttributeError):
        a.azimuth = 3
    assert repr(zk.Variogram.isotropic("sph", 0.1, 0.9, 100)) == repr(v)
    assert type(zk.Variogram.isotropic("sph", 0.1, 0.9, 100)) is zk.Variogram


def test_signatures_and_docstrings():
    assert str(inspect.signature(zk.Variogram)) == "(model, nugget, sill, range)"
    assert str(inspect.signature(zk.AnisotropicVariogram)) == (
        "(model, major, minor, vertical, azimuth, sill=1.0, nugget=0.0)")
    assert str(inspect.signature(zk.Variogram.fit)) == "(model, experimental)"
    assert str(inspect.signature(zk.Variogram.isotropic)) == "(model, nugget, sill, range)"
    assert str(inspect.signature(zk.AnisotropicVariogram.isotropic)) == "(model, nugget, sill, range)"
    assert str(inspect.signature(zk.AnisotropicVariogram.gamma_offset)) == "(self, /, dx, dy, dz=0.0)"
    assert str(inspect.signature(zk.AnisotropicVariogram.anisotropic_distance)) == "(self, /, dx, dy, dz=0.0)"
    assert zk.Variogram.__doc__ == (
        "A fully-specified variogram: a model shape plus `nugget` `c₀`, partial `sill`\n"
        "`c`, and `range` `a`. Build directly (`Variogram(model, nugget, sill,\n"
        "range)`) or infer with `Variogram.fit(model, experimental)`. For the\n"
        "exponential/Gaussian models `range` is the *practical* range (95 % of sill).")
    assert zk.AnisotropicVariogram.__doc__ == (
        "Directional variogram with horizontal major/minor ranges, vertical range,\n"
        "and major-axis azimuth in degrees clockwise from north.")
    assert zk.Variogram.fit.__doc__ == (
        "Fit `(nugget, sill, range)` of `model` to an `ExperimentalVariogram` by\n"
        "pair-count weighted least squares (closed-form nugget+sill for each\n"
        "candidate range, range by grid search). The grid-search fit runs with the\n"
        "GIL released.")


def test_classes_not_subclassable():
    for cls in (zk.Variogram, zk.AnisotropicVariogram):
        with pytest.raises(TypeError):
            type("Sub", (cls,), {})


# --- huge ranges: the value survives (expm1), old bits where 1 - exp(x) has 13 good bits
@pytest.mark.parametrize("model", ["exponential", "gaussian"])
@pytest.mark.parametrize("a", [40.0, 1e8, 1e14, 1e20, 1e300])
def test_gamma_keeps_its_value_for_huge_ranges(model, a):
    rnd = random.Random(int(math.log10(a)))
    hs = [a * 10.0 ** rnd.uniform(-25, 0.3) for _ in range(300)]
    got = hooks.variogram_gamma(model, 0.0, 2.5, a, hs)
    if a < 1e100:  # h * h stays finite
        assert got == [zk.AnisotropicVariogram.isotropic(model, 0.0, 2.5, a).gamma_offset(0.0, h) for h in hs]
    for h, g in zip(hs, got):
        x = (-3.0 * h) / a if model == "exponential" else (-3.0 * (h / a)) * (h / a)
        assert g == pytest.approx(2.5 * -math.expm1(x), rel=2.0**-12, abs=0.0)
        assert g == ref.gamma(model, 0.0, 2.5, a, h) or 1.0 - math.exp(x) < 2.0**-40


# --- SpatialVariogram ----------------------------------------------------------------------------

@pytest.mark.parametrize("model", ref.MODELS)
def test_gamma_offset_2d_isotropic(model):
    rnd = random.Random(11)
    v = zk.Variogram(model, 0.2, 1.3, 40.0)
    dx = [rnd.uniform(-90, 90) for _ in range(60)] + [0.0, -0.0, 1e-170, 3.0]
    dy = [rnd.uniform(-90, 90) for _ in range(60)] + [0.0, 0.0, 0.0, -4.0]
    isotropic, got = hooks.spatial_gamma_2d(v, dx, dy)
    assert isotropic is True
    want = []
    for a, b in zip(dx, dy):
        h2 = a * a + b * b
        want.append(0.0 if h2 == 0.0 else ref.gamma(model, 0.2, 1.3, 40.0, math.sqrt(h2)))
    assert got == want
    assert got[-1] == ref.gamma(model, 0.2, 1.3, 40.0, 5.0)


@pytest.mark.parametrize("model", ref.MODELS)
def test_gamma_offset_2d_anisotropic(model):
    rnd = random.Random(12)
    v = zk.AnisotropicVariogram(model, 120, 30, 5, 33.0, 2.0, 0.5)
    dx = [rnd.uniform(-150, 150) for _ in range(60)]
    dy = [rnd.uniform(-150, 150) for _ in range(60)]
    isotropic, got = hooks.spatial_gamma_2d(v, dx, dy)
    assert isotropic is False
    assert got == [v.gamma_offset(a, b, 0.0) for a, b in zip(dx, dy)]


@pytest.mark.parametrize("obj", [None, 1.0, "sph", {"model": "sph"}, zk.AnisotropicVariogram, zk.Variogram])
def test_extract_spatial_variogram_rejects_other_objects(obj):
    raises_value(lambda: hooks.spatial_gamma_2d(obj, [1.0], [1.0]), "expected Variogram or AnisotropicVariogram")
