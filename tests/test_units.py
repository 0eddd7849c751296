"""The twelve volume and area conversions and format_volume."""

import math
from decimal import ROUND_HALF_EVEN, Context, Decimal

import pytest
from hypothesis import given, settings, strategies as st

import zaviktools as zk
from oracles import same

SCF = 35.31466672148859
BBL = 0.158987294928

# name, parameter, operation, factor, docstring
CONVERSIONS = [
    ("m3_to_mcm", "m3", "/", 1e6, "Cubic metres -> mcm (million m³)."),
    ("mcm_to_m3", "mcm", "*", 1e6, "mcm (million m³) -> cubic metres."),
    ("m3_to_msm3", "m3", "/", 1e6, "Cubic metres (Sm³) -> MSm³ (million Sm³) — oil reporting."),
    ("msm3_to_m3", "msm3", "*", 1e6, "MSm³ (million Sm³) -> cubic metres (Sm³)."),
    ("m3_to_bcm", "m3", "/", 1e9, "Cubic metres (Sm³) -> bcm (billion Sm³) — gas reporting."),
    ("bcm_to_m3", "bcm", "*", 1e9, "bcm (billion Sm³) -> cubic metres (Sm³)."),
    ("scf_to_sm3", "scf", "/", SCF, "Standard cubic feet -> standard cubic metres (pure geometric factor)."),
    ("sm3_to_scf", "sm3", "*", SCF, "Standard cubic metres -> standard cubic feet (pure geometric factor)."),
    ("stb_to_sm3", "stb", "*", BBL, "Stock-tank barrels -> standard cubic metres."),
    ("sm3_to_stb", "sm3", "/", BBL, "Standard cubic metres -> stock-tank barrels."),
    ("km2_to_m2", "km2", "*", 1e6, "Square kilometres -> square metres (areal report scale)."),
    ("m2_to_km2", "m2", "/", 1e6, "Square metres -> square kilometres (areal report scale)."),
]
IDS = [c[0] for c in CONVERSIONS]

# For each factor, inputs where dividing differs from multiplying by the rounded reciprocal.
RECIPROCAL_TRAPS = {1e6: [305.4004693203882, 8658.641231756379], 1e9: [8174.884778964675, 6826.155189903617],
                    SCF: [1158.1830294300644, 3328.6871020882545], BBL: [5100.036592100072, 3558.896408278389]}
SPECIAL = [0.0, -0.0, 1.0, -3.75, 1e-300, 5e-324, 1e300, -1e300, float("inf"), -float("inf"), float("nan")]


def apply(op, x, f):
    return x / f if op == "/" else x * f


@pytest.mark.parametrize("name, param, op, factor, doc", CONVERSIONS, ids=IDS)
def test_conversion_interface(name, param, op, factor, doc):
    fn = getattr(zk, name)
    assert fn.__doc__ == doc
    assert fn.__text_signature__ == f"({param})"
    assert same(fn(**{param: 2.0}), apply(op, 2.0, factor))
    with pytest.raises(TypeError, match=rf"^argument '{param}': "):
        fn("1")
    with pytest.raises(TypeError):
        fn()


@pytest.mark.parametrize("name, param, op, factor, doc", CONVERSIONS, ids=IDS)
def test_conversion_bits_and_ieee_pass_through(name, param, op, factor, doc):
    fn = getattr(zk, name)
    traps = RECIPROCAL_TRAPS[factor]
    if op == "/":
        assert any(x / factor != x * (1 / factor) for x in traps)  # the traps do bite
    for x in SPECIAL + traps + [7, True]:
        assert same(fn(x), apply(op, float(x), factor)), x


@settings(max_examples=300)
@given(st.floats(allow_nan=False, allow_infinity=False, min_value=-1e290, max_value=1e290))
def test_conversions_bit_for_bit(x):
    for name, _, op, factor, _ in CONVERSIONS:
        assert same(getattr(zk, name)(x), apply(op, x, factor))


@pytest.mark.parametrize("x", [1.0, 0.1, 12.4, 123456.789, 3e-5, -2.5])
def test_documented_round_trips(x):
    assert zk.m3_to_mcm(zk.mcm_to_m3(x)) == x
    assert zk.m3_to_bcm(zk.bcm_to_m3(x)) == x
    assert zk.m2_to_km2(zk.km2_to_m2(x)) == x


def test_documented_factors():
    assert zk.scf_to_sm3(35.31466672148859) == 1.0
    assert zk.stb_to_sm3(1) == 0.158987294928
    assert zk.sm3_to_scf(1) == 35.31466672148859
    assert zk.sm3_to_stb(0.158987294928) == 1.0


# --- format_volume -----------------------------------------------------------------------------------------

def one_decimal(x):
    """Independent reference: the exact binary value rounded half-to-even by decimal."""
    if math.isnan(x):
        return "NaN"
    if math.isinf(x):
        return "inf" if x > 0 else "-inf"
    text = str(Decimal(x).quantize(Decimal("0.1"), rounding=ROUND_HALF_EVEN, context=Context(prec=400)))
    if math.copysign(1, x) < 0 and not text.startswith("-"):
        text = "-" + text
    return text


def reference_format(v):
    a = abs(v)
    if a >= 1e9:
        return one_decimal(v / 1e9) + " bcm"
    if a >= 1e6:
        return one_decimal(v / 1e6) + " mcm"
    return one_decimal(v) + " m³"


def test_format_volume_interface():
    assert zk.format_volume.__text_signature__ == "(v_m3)"
    assert zk.format_volume.__doc__ == (
        "Format a volume in m³ with an SI report unit chosen by magnitude\n"
        "(`bcm` ≥ 1e9, `mcm` ≥ 1e6, else `m³`), e.g. `format_volume(12.4e6) ==\n"
        "\"12.4 mcm\"`.")
    assert zk.format_volume(v_m3=5) == "5.0 m³"
    with pytest.raises(TypeError, match=r"^argument 'v_m3': "):
        zk.format_volume(None)


@pytest.mark.parametrize("v, text", [
    # documented
    (12.4e6, "12.4 mcm"), (1e9, "1.0 bcm"), (999999.0, "999999.0 m³"), (-2.5e9, "-2.5 bcm"),
    (0.25, "0.2 m³"), (float("nan"), "NaN m³"), (float("inf"), "inf bcm"),
    # exact binary ties go to even
    (0.75, "0.8 m³"), (1.25, "1.2 m³"), (-0.25, "-0.2 m³"), (250000.25, "250000.2 m³"),
    (1.25e6, "1.2 mcm"), (1.75e6, "1.8 mcm"), (2.25e9, "2.2 bcm"), (-1.25e9, "-1.2 bcm"),
    # near-ties decided by the exact binary value
    (0.35, "0.3 m³"), (0.45, "0.5 m³"), (0.15, "0.1 m³"), (1.35e6, "1.4 mcm"), (1.45e9, "1.4 bcm"),
    # the unit follows the unrounded magnitude
    (999999.94, "999999.9 m³"), (999999.96, "1000000.0 m³"), (math.nextafter(1e6, 0), "1000000.0 m³"),
    (1e6, "1.0 mcm"), (-1e6, "-1.0 mcm"), (math.nextafter(-1e6, 0), "-1000000.0 m³"),
    (999_999_999.0, "1000.0 mcm"), (math.nextafter(1e9, 0), "1000.0 mcm"), (-1e9, "-1.0 bcm"),
    # zeros, signs and extremes
    (0.0, "0.0 m³"), (-0.0, "-0.0 m³"), (-0.04, "-0.0 m³"), (0.04, "0.0 m³"), (-0.05, "-0.1 m³"),
    (5e-324, "0.0 m³"), (-5e-324, "-0.0 m³"), (-float("inf"), "-inf bcm"), (-float("nan"), "NaN m³"),
    (2.0**70 * 1e9, "1180591620717411303424.0 bcm"), (12, "12.0 m³"),
])
def test_format_volume_values(v, text):
    assert zk.format_volume(v) == text
    assert reference_format(v) == text


@settings(max_examples=500)
@given(st.one_of(st.floats(allow_nan=False, allow_infinity=False),
                 st.floats(min_value=-2e12, max_value=2e12),
                 st.floats(min_value=0.999999e6, max_value=1.000001e6),
                 st.floats(min_value=-1.000001e9, max_value=-0.999999e9),
                 st.integers(-2 * 10**10, 2 * 10**10).map(lambda k: k * 0.05)))
def test_format_volume_against_decimal_rounding(v):
    assert zk.format_volume(v) == reference_format(v)

