"""The demo's spill point and closure, its trend and its one-unit volumes,
against independent references (scipy's labelling, Decimal rounding)."""

import math
import random
from decimal import ROUND_HALF_EVEN, Decimal

import pytest

import zaviktools as zk
from zaviktools import _demo_closure, _demo_trend, _demo_units

np = pytest.importorskip("numpy")
ndimage = pytest.importorskip("scipy.ndimage")


def _region(z, level, crest):
    labels, _ = ndimage.label(z > level)
    region = labels == labels[crest]
    return region, bool(region[0].any() or region[-1].any() or region[:, 0].any() or region[:, -1].any())


def _field(case):
    """A dome (or two) with smooth noise on a random, possibly rotated and flipped lattice."""
    rng = np.random.default_rng(case)
    ncol, nrow = rng.integers(8, 40, size=2)
    lat = zk.Lattice(rng.uniform(-1e3, 1e3), rng.uniform(-1e3, 1e3), rng.uniform(5, 30), rng.uniform(5, 30),
                     int(ncol), int(nrow), rotation_deg=rng.uniform(0, 360), yflip=bool(rng.random() < 0.3))
    i, j = np.meshgrid(np.linspace(-1, 1, ncol), np.linspace(-1, 1, nrow), indexing="ij")
    cx, cy = rng.uniform(-0.4, 0.4, size=2)
    z = 50 * np.exp(-((i - cx) ** 2 + (j - cy) ** 2) / rng.uniform(0.1, 0.6))
    if case % 3 == 0:  # a second culmination competing for the spill
        z += 35 * np.exp(-((i + cx) ** 2 + (j - cy + 0.5) ** 2) / 0.05)
    z += ndimage.gaussian_filter(rng.normal(size=z.shape), 1.5) * rng.uniform(0, 8)
    return lat, z


@pytest.mark.parametrize("case", range(30))
def test_spill_level_is_the_lowest_closing_level_and_grv_the_region_above_it(case):
    lat, z = _field(case)
    within = np.zeros(z.shape, dtype=bool)
    within[2:-2, 2:-2] = True
    c = _demo_closure.closure(z, lat, within)
    crest = np.unravel_index(np.argmax(np.where(within, z, -np.inf)), z.shape)
    assert c.crest_xy == lat.node_xy(*map(int, crest))
    if not math.isfinite(c.level):
        # No closure: even a level just below the crest's height reaches the edge.
        assert _region(z, z[crest] - 1e-9, crest)[1] and c.grv_m3 == 0.0 and c.ring == []
        return
    region, open_ = _region(z, c.level, crest)
    assert not open_ and _region(z, c.level - 2 * _demo_closure.SPILL_MARGIN_M, crest)[1]
    cell = abs(lat.xinc * lat.yinc)
    assert c.grv_m3 == pytest.approx(float((z - c.level)[region].sum()) * cell, rel=1e-9, abs=1e-9)
    # The closure ring encloses exactly the region (no other culmination) and
    # the saddle is at the spill level's node.
    assert np.array_equal(np.asarray(c.mask) & (z > c.level), region)
    assert c.area_m2 == pytest.approx(region.sum() * cell, rel=0.5, abs=4 * cell)
    saddle = [(i, j) for i in range(lat.ncol) for j in range(lat.nrow) if lat.node_xy(i, j) == c.spill_xy]
    assert len(saddle) == 1 and c.level - z[saddle[0]] == pytest.approx(
        min(_demo_closure.SPILL_MARGIN_M, (z[crest] - z[saddle[0]]) / 2), abs=1e-12)


@pytest.mark.parametrize("crest_on_edge, undefined", [(True, False), (False, True)])
def test_open_structures(crest_on_edge, undefined):
    lat = zk.Lattice(0, 0, 10, 10, 9, 9)
    i, j = np.meshgrid(np.arange(9.0), np.arange(9.0), indexing="ij")
    z = 100 - (i - (0 if crest_on_edge else 4)) ** 2 - (j - 4) ** 2
    within = np.ones(z.shape, dtype=bool)
    if undefined:
        z[4, 6] = np.nan  # an undefined node beside the crest opens the structure there
    c = _demo_closure.closure(z, lat, within)
    if crest_on_edge:
        assert math.isnan(c.level) and c.spill_xy is None and c.grv_m3 == 0.0
    else:
        # Spills at the height of the node beside the hole (z = 99 at (4, 5)).
        assert c.level == pytest.approx(99 + _demo_closure.SPILL_MARGIN_M)
        assert c.grv_m3 == pytest.approx((100 - c.level) * 100)


@pytest.mark.parametrize("case", range(12))
def test_trend_recovers_a_quadratic_and_refuses_too_few_wells(case):
    rng = random.Random(case)
    c = [rng.uniform(-50, 50) for _ in range(6)]
    pts = [(rng.uniform(4e5, 4.1e5), rng.uniform(6.5e6, 6.51e6)) for _ in range(rng.randint(6, 40))]

    def h(x, y):
        u, v = (x - 4.05e5) / 1e3, (y - 6.505e6) / 1e3
        return c[0] + c[1] * u + c[2] * v + c[3] * u * u + c[4] * u * v + c[5] * v * v

    coords = np.array([[x, y, h(x, y)] for x, y in pts])
    t = _demo_trend.fit(coords, 5e3)
    probe = [(rng.uniform(4e5, 4.1e5), rng.uniform(6.5e6, 6.51e6)) for _ in range(20)]
    got = t.at(np.array([p[0] for p in probe]), np.array([p[1] for p in probe]))
    assert got == pytest.approx([h(*p) for p in probe], abs=1e-6)
    with pytest.raises(ValueError, match=f"trend: {min(len(pts), 5)} wells do not determine a quadratic"):
        _demo_trend.fit(coords[:5], 5e3)


def _decimal(v, scale):
    q = Decimal(v / scale).quantize(Decimal("0.1"), rounding=ROUND_HALF_EVEN)
    return f"{q:f}"


@pytest.mark.parametrize("case", range(20))
def test_volumes_in_one_unit(case):
    rng = random.Random(case)
    values = [rng.choice([0.0, 1.0, 10.0]) * 10 ** rng.uniform(0, 10) for _ in range(rng.randint(1, 6))]
    values += [rng.choice([0.05e6, 0.25e6, 0.35e6, 999_999.0, 1e6, 1.25e9])]
    unit = _demo_units.volume_unit(values)
    assert unit == zk.format_volume(max(values)).split(" ", 1)[1]
    scale = {"bcm": 1e9, "mcm": 1e6, "m³": 1.0}[unit]
    for v in values:
        text = _demo_units.volume_text(v, unit)
        assert text == f"{_decimal(v, scale)} {unit}"
        if zk.format_volume(v).endswith(" " + unit):
            assert text == zk.format_volume(v)
    assert _demo_units.volume_unit([]) == "m³" and _demo_units.volume_unit([math.nan, 5e6]) == "mcm"
    assert _demo_units.volume_unit(values, smallest="mcm") == ("bcm" if unit == "bcm" else "mcm")
    assert _demo_units.volume_unit([455375.3], smallest="mcm") == "mcm"
    assert _demo_units.volume_text(455375.3, "mcm") == "0.5 mcm"
