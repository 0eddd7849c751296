"""Pickling of the value classes, interop round trips against the real
packages, and ensembles equal to a serial run on threads and on Dask."""

import copy
import math
import pickle
import re
import struct

import pytest

import zaviktools as zk


def bits(x):
    return struct.pack("<d", x)


VALUES = [
    zk.Lattice(431000, 6521000, 25, 50, 4, 3, rotation_deg=-30, yflip=True),
    zk.Lattice(0, 0, 1, 1, 2, 2, rotation_deg=-1e-20),  # stored as 360
    zk.Lattice(0, 0, 1, 1, 2, 2, rotation_deg=-360),  # stored as -0.0
    zk.Variogram("gauss", 0.1, 0.9, 300),
    zk.Variogram("nugget", 0.5, 0, 10),
    zk.AnisotropicVariogram("exp", 300, 100, 10, -90, sill=0.7, nugget=0.3),
    zk.Georef(),
    zk.Georef(1.5, -2.25),
    zk.Sampler.normal(-0.0, 1e-5),
    zk.Sampler.lognormal(0.1, 0.3),
    zk.Sampler.triangular(0, 0, 1),
    zk.Sampler.truncated_normal(0.1, 0.2, 0, 1),
    zk.Sampler.uniform(-1e300, 5e-324).clamped(-1e16, 1e17),
]
GETTERS = ("xori", "yori", "xinc", "yinc", "ncol", "nrow", "rotation_deg", "yflip", "nugget", "sill", "range",
           "major", "minor", "vertical", "azimuth", "east0", "north0")


@pytest.mark.parametrize("value", VALUES, ids=repr)
@pytest.mark.parametrize("how", ["pickle", "deepcopy"])
def test_value_classes_round_trip_bit_for_bit(value, how):
    back = pickle.loads(pickle.dumps(value)) if how == "pickle" else copy.deepcopy(value)
    assert type(back) is type(value) and repr(back) == repr(value)
    assert back == value and not back != value and hash(back) == hash(value)
    for g in GETTERS:
        if hasattr(value, g):
            a, b = getattr(value, g), getattr(back, g)
            assert (bits(a) == bits(b)) if isinstance(a, float) else a == b, g


def test_pickled_samplers_draw_the_same_stream():
    s = zk.Sampler.truncated_normal(0.1, 0.2, 0, 1).clamped(0.05, 0.9)
    assert pickle.loads(pickle.dumps(s)).sample_n_seeded(50, 7) == s.sample_n_seeded(50, 7)


def test_pickled_variogram_keeps_its_model():
    coords = [[0, 0, 1.0], [100, 0, 2.0], [0, 100, 3.0], [70, 70, 1.5]]
    lat = zk.Lattice(0, 0, 20, 20, 6, 6)
    for v in (zk.Variogram("gaussian", 0, 1, 150), zk.Variogram("exp", 0, 1, 150)):
        w = pickle.loads(pickle.dumps(v))
        assert zk.local_kriging_grid_flat(coords, lat, w, 4, 1e9) == zk.local_kriging_grid_flat(coords, lat, v, 4, 1e9)


def test_rng_is_not_picklable():
    with pytest.raises(TypeError):
        pickle.dumps(zk.Rng(1))


# Each value class: its constructor, valid arguments, the argument that may be
# a signed zero (None: no zero is valid) and whether -0.0 is stored as +0.0.
CLAMPED = lambda lo, hi, clo, chi: zk.Sampler.uniform(lo, hi).clamped(clo, chi)  # noqa: E731
VALUE_CLASSES = [
    (zk.Lattice, (0.0, 2.0, 25.0, 50.0, 4, 3, 30.0, True), 0, False),
    (zk.Georef, (0.0, 6521000.0), 0, False),
    (zk.Variogram, ("gauss", 0.0, 0.9, 300.0), 1, True),
    (zk.AnisotropicVariogram, ("exp", 300.0, 100.0, 10.0, 0.0, 0.7, 0.0), 6, True),
    (zk.ZoneSpec, (20.0, 0.2, 0.05, 3.0), None, None),
    (zk.PetroZoneSpec, (0.3, 0.2, 0.03, 0.05, 0.02, 2.0, 1.0, 0.1), None, None),
    (zk.Sampler.truncated_normal, (0.0, 0.2, 0.0, 1.0), 0, False),
    (CLAMPED, (0.0, 1.0, 0.0, 0.9), 2, False),
]


def _changed(arg):
    """The next value of one field: one ulp up, a count plus one, the other flag or model."""
    if isinstance(arg, bool):
        return not arg
    if isinstance(arg, str):
        return "sph"
    return arg + 1 if isinstance(arg, int) else math.nextafter(arg, math.inf)


@pytest.mark.parametrize("make, args, zero, zero_folded", VALUE_CLASSES, ids=lambda v: getattr(v, "__qualname__", None))
def test_value_classes_compare_and_hash_by_bits(make, args, zero, zero_folded):
    a, b = make(*args), make(*args)
    assert a == b and hash(a) == hash(b) and len({a, b}) == 1
    for i in range(len(args)):
        other = make(*args[:i], _changed(args[i]), *args[i + 1:])
        assert other != a and not other == a and len({a, other}) == 2, i
    if zero is not None:
        signed = make(*args[:zero], -0.0, *args[zero + 1:])
        assert (signed == a) is zero_folded and (hash(signed) == hash(a)) is zero_folded
    assert a.__eq__(args) is NotImplemented and a != repr(a) and a != CLAMPED(0, 1, 0, 0.5)
    with pytest.raises(TypeError):
        a < b  # noqa: B015


def test_lattice_nans_compare_by_payload():
    quiet, other = float("nan"), struct.unpack("<d", struct.pack("<Q", 0x7FF8000000000001))[0]
    lat = zk.Lattice(quiet, 0, 1, 1, 2, 2)
    assert lat == zk.Lattice(quiet, 0, 1, 1, 2, 2) and hash(lat) == hash(pickle.loads(pickle.dumps(lat)))
    assert lat != zk.Lattice(other, 0, 1, 1, 2, 2)


# --- zone specs: the recipes of the synthetic logs ------------------------
import random  # noqa: E402

TINY, HUGE, ONE_MINUS = 5e-324, 1.7976931348623157e308, 0.9999999999999999
ZONE_ATTRS = ("thickness_m", "mean", "std", "corr_length_m")
PETRO_ATTRS = ("net_cutoff", "ntg_target", "bed_scale_m", "correlation_len_m")

ZONES = [
    zk.ZoneSpec(20, 0.2, 0.05, 3),
    zk.ZoneSpec(TINY, 0.5, 0.1, TINY),  # subnormal thickness and length
    zk.ZoneSpec(HUGE, ONE_MINUS, 1e-9, HUGE),
    zk.ZoneSpec(7.5, TINY, 1e-170, 2.2250738585072014e-308),
    zk.ZoneSpec(1 / 3, 0.5, 0.4999999, 0.1 + 0.2),
]
PETROS = [
    zk.PetroZoneSpec(0.3, 0.2, 0.03, 0.05, 0.02, 2.0, 1.0),  # default cutoff 0.1
    zk.PetroZoneSpec(TINY, 0.2, 0.03, 0.05, 0.02, TINY, HUGE, net_cutoff=TINY),
    zk.PetroZoneSpec(ONE_MINUS, ONE_MINUS, 1e-9, TINY, 1e-170, HUGE, TINY, net_cutoff=ONE_MINUS),
    zk.PetroZoneSpec(0.1, 0.5, 0.4999999, 0.05, TINY, 2.2250738585072014e-308, 1e-300, net_cutoff=1e-300),
    zk.PetroZoneSpec(0.35, 0.1 + 0.2, 0.04, 0.06, 0.025, 1 / 3, 0.7, net_cutoff=0.12),
]


def _same_spec(a, b, attrs):
    assert type(a) is type(b) and a is not b and a == b and hash(a) == hash(b)
    # repr prints every field (the porosity moments of PetroZoneSpec have no
    # attribute) in shortest round-trip form, so equal texts mean equal bits.
    assert repr(a) == repr(b)
    for name in attrs:
        assert bits(getattr(a, name)) == bits(getattr(b, name)), name


@pytest.mark.parametrize("value, attrs", [(z, ZONE_ATTRS) for z in ZONES] + [(p, PETRO_ATTRS) for p in PETROS],
                         ids=repr)
@pytest.mark.parametrize("how", [f"pickle{p}" for p in range(pickle.HIGHEST_PROTOCOL + 1)] + ["copy", "deepcopy"])
def test_zone_specs_round_trip_bit_for_bit(value, attrs, how):
    if how.startswith("pickle"):
        back = pickle.loads(pickle.dumps(value, protocol=int(how[6:])))
    else:
        back = getattr(copy, how)(value)
    _same_spec(value, back, attrs)


def _pick(rng, pool, lo, hi):
    """A value from the extreme pool or a random one in (lo, hi)."""
    return rng.choice(pool) if rng.random() < 0.4 else rng.uniform(lo, hi)


def test_generated_zone_specs_round_trip():
    rng = random.Random(17)
    pos = [TINY, 2.2250738585072014e-308, 1e-300, 1e300, HUGE, 0.1 + 0.2, 1 / 3]
    frac = [TINY, 1e-300, 0.1 + 0.2, ONE_MINUS, 0.5]
    made = 0
    for _ in range(600):
        mean = _pick(rng, frac, 0, 1)
        args = [_pick(rng, pos, 0, 100), mean, _pick(rng, pos, 0, math.sqrt(mean * (1 - mean))),
                _pick(rng, pos, 0, 10)]
        try:
            zone = zk.ZoneSpec(*args) if rng.random() < 0.5 else zk.PetroZoneSpec(
                _pick(rng, frac, 0, 1), *args[1:3], _pick(rng, frac, 0, 0.2), _pick(rng, pos, 0, 0.1),
                _pick(rng, pos, 0, 10), _pick(rng, pos, 0, 10), net_cutoff=_pick(rng, frac, 0, 1))
        except ValueError:
            continue
        made += 1
        _same_spec(zone, pickle.loads(pickle.dumps(zone)),
                   ZONE_ATTRS if isinstance(zone, zk.ZoneSpec) else PETRO_ATTRS)
    assert made > 300


def test_unpickled_zone_specs_generate_the_same_logs():
    stack = [zk.ZoneSpec(20, 0.2, 0.05, 3), zk.ZoneSpec(7.5, 0.12, 0.03, 1 / 3), zk.ZoneSpec(10, 0.3, 0.04, 2)]
    back = pickle.loads(pickle.dumps(stack))
    for beds in (0, 4):
        assert zk.synth_log_series(back, 0.5, beds, 9) == zk.synth_log_series(stack, 0.5, beds, 9)
    assert zk.zone_sample_counts(back, 0.3) == zk.zone_sample_counts(stack, 0.3)
    for zone in (PETROS[0], PETROS[4]):
        again = copy.deepcopy(pickle.loads(pickle.dumps(zone)))
        assert zk.synth_petro_curves(again, 0.5, 400, 3) == zk.synth_petro_curves(zone, 0.5, 400, 3)


# --- interop ---------------------------------------------------------------
np = pytest.importorskip("numpy")
from zaviktools import interop  # noqa: E402

LAT = zk.Lattice(431000, 6521000, 25, 50, 5, 4, rotation_deg=-30, yflip=True)
COORDS = [[431010, 6521010, 1.0], [431060, 6521020, 2.0], [431030, 6520900, 3.0]]


def test_as_array_views_the_flat_buffers_without_copy():
    flat = zk.local_kriging_grid_flat(COORDS, LAT, zk.Variogram("sph", 0, 1, 300), 8, 1e9)
    est, var = interop.as_array(flat)
    nested = zk.local_kriging_grid(COORDS, LAT, zk.Variogram("sph", 0, 1, 300), 8, 1e9)
    assert est.shape == (5, 4) and not est.flags.writeable
    assert np.shares_memory(est, np.frombuffer(flat[0], "<f8"))
    assert est.tolist() == nested[0] and var.tolist() == nested[1]
    with pytest.raises(ValueError, match="flat grid is 8 bytes, expected 2×3×8 = 48"):
        interop.as_array((b"\0" * 8, (2, 3)))
    with pytest.raises(TypeError):
        interop.as_array([[1.0]])


@pytest.mark.parametrize("lattice", [LAT, zk.Lattice(10, 20, 2, 3, 5, 4), zk.Lattice(0, 0, 1, 2, 5, 4, rotation_deg=90)],
                         ids=repr)
def test_xtgeo_round_trip_and_node_positions(lattice):
    xtgeo = pytest.importorskip("xtgeo")
    field = np.arange(20.0).reshape(5, 4) * 1.1
    field[2, 1] = np.nan
    surf = interop.to_xtgeo(field.tolist(), lattice)
    assert isinstance(surf, xtgeo.RegularSurface) and surf.values.mask[2, 1]
    back_lat, back = interop.from_xtgeo(surf)
    assert back_lat == lattice and bits(back_lat.rotation_deg) == bits(lattice.rotation_deg)
    assert np.array_equal(back, field, equal_nan=True)
    x, y = surf.get_xy_values()
    ours = np.array([[lattice.node_xy(i, j) for j in range(4)] for i in range(5)])
    np.testing.assert_allclose(x, ours[..., 0], rtol=0, atol=1e-6)
    np.testing.assert_allclose(y, ours[..., 1], rtol=0, atol=1e-6)
    with pytest.raises(ValueError, match=r"field shape \(4, 5\) does not match"):
        interop.to_xtgeo(field.T, lattice)


def test_write_las_reads_back_with_lasio(tmp_path):
    lasio = pytest.importorskip("lasio")
    path = interop.write_las(tmp_path / "w.las", [1000.0, 1000.5, 1001.0],
                             {"PHIE": [0.1, float("nan"), 0.2], "FACIES": bytes([1, 0, 1])},
                             well_name="W-1", units={"PHIE": "v/v"})
    las = lasio.read(str(path))
    assert las.well.WELL.value == "W-1" and las.keys() == ["DEPT", "PHIE", "FACIES"]
    assert las["DEPT"].tolist() == [1000.0, 1000.5, 1001.0] and las["FACIES"].tolist() == [1.0, 0.0, 1.0]
    assert las["PHIE"][0] == 0.1 and np.isnan(las["PHIE"][1]) and las.curves["PHIE"].unit == "v/v"
    with pytest.raises(ValueError, match="curve 'GR' has 2 samples, expected 3"):
        interop.write_las(tmp_path / "x.las", [1, 2, 3], {"GR": [1, 2]})
    with pytest.raises(ValueError, match="strictly increasing"):
        interop.write_las(tmp_path / "x.las", [1, 1, 3], {"GR": [1, 2, 3]})


def test_to_geojson_geometries():
    ring = zk.study_area_outline(0, 0, 10, 5, 0, 0) if hasattr(zk, "study_area_outline") else [[0, 0], [0, 5], [10, 5], [10, 0]]
    poly = interop.to_geojson(ring)
    assert poly["type"] == "Polygon" and poly["coordinates"][0][0] == poly["coordinates"][0][-1]
    assert interop._signed_area(poly["coordinates"][0][:-1]) > 0  # counter-clockwise exterior
    assert interop.to_geojson([]) == {"type": "Polygon", "coordinates": []}
    assert interop.to_geojson([[1, 2], [3, 4]], kind="points") == {"type": "MultiPoint", "coordinates": [[1.0, 2.0], [3.0, 4.0]]}
    assert interop.to_geojson([1, 2]) == {"type": "Point", "coordinates": [1.0, 2.0]}
    with pytest.raises(ValueError, match="finite"):
        interop.to_geojson([[0, 0], [1, float("nan")], [1, 1]])


@pytest.mark.parametrize("bad", [np.inf, -np.inf, np.nextafter(9.9e32, np.inf), 1e300])
def test_to_xtgeo_refuses_what_xtgeo_masks(bad):
    xtgeo = pytest.importorskip("xtgeo")
    field = np.full((5, 4), xtgeo.UNDEF_LIMIT)  # the limit itself is kept
    field[0, 0] = -1e300
    assert np.array_equal(interop.from_xtgeo(interop.to_xtgeo(field, LAT))[1], field)
    field[3, 2] = bad
    with pytest.raises(ValueError, match=rf"node \(3, 2\) holds {re.escape(repr(float(bad)))}, which xtgeo"):
        interop.to_xtgeo(field, LAT)


@pytest.mark.parametrize("kind, unit", [("MD", "M"), ("TVD", "FT")])
def test_write_las_values_and_names_read_back_exactly(tmp_path, kind, unit):
    lasio = pytest.importorskip("lasio")
    rng = np.random.default_rng(5)
    vals = rng.standard_normal(40) * 10.0 ** rng.integers(-310, 300, 40)
    vals[:8] = [1.5e-6, 12345.678901234, -0.1, -0.0, 5e-324, np.nan, np.inf, 1 / 3]
    depth = np.cumsum(rng.uniform(0.1, 1, 40)) + 1000.1 if kind == "TVD" else 1000.1 + 0.1 * np.arange(40)
    path = interop.write_las(tmp_path / "w.las", depth, {"Φ": vals, "gr": vals[::-1]}, well_name="Ærø-1 \"A:B\"",
                             depth_unit=unit, units={"Φ": "µs/ft"}, depth_kind=kind)
    las = lasio.read(str(path))
    index = {"MD": "DEPT", "TVD": "TVD"}[kind]
    assert las.keys() == [index, "Φ", "GR"] and las.well.WELL.value == "Ærø-1 \"A:B\""
    assert las.curves[index].descr == {"MD": "Measured depth", "TVD": "True vertical depth"}[kind]
    assert las.curves["Φ"].unit == "µs/ft" and las.well.STEP.value == (0.1 if kind == "MD" else 0)
    assert (las.well.STRT.value, las.well.STOP.value) == (depth[0], depth[-1])
    for got, want in ((las[index], depth), (las["Φ"], vals), (las["GR"], vals[::-1])):
        assert np.array_equal(got, want, equal_nan=True) and np.array_equal(np.signbit(got), np.signbit(want))


@pytest.mark.parametrize("kwargs, message", [
    ({"well_name": "W\n~A"}, r"well name 'W\\n~A' contains a line break"),
    ({"well_name": " W"}, "starts or ends with whitespace"),
    ({"curves": {"G.R": [1, 2]}}, "mnemonic 'G.R' is not a LAS mnemonic"),
    ({"curves": {"G:R": [1, 2]}}, "mnemonic 'G:R' is not"), ({"curves": {"G R": [1, 2]}}, "'G R' is not"),
    ({"curves": {"": [1, 2]}}, "mnemonic '' is not"), ({"curves": {"~A": [1, 2]}}, "'~A' is not"),
    ({"curves": {"GR": [1, 2], "gr": [1, 2]}}, "mnemonic 'gr' repeats 'GR'"),
    ({"curves": {"dept": [1, 2]}}, "'DEPT' is the depth index"),
    ({"curves": {"GR": [1, -999.25]}}, "curve 'GR' sample 1 is -999.25, the LAS null value"),
    ({"units": {"GR": "g cm3"}}, "unit 'g cm3' of 'GR' contains a space"),
    ({"depth_kind": "tvd"}, "depth_kind must be 'MD', 'TVD' or 'TVDSS', got 'tvd'"),
])
def test_write_las_refuses_what_would_not_read_back(tmp_path, kwargs, message):
    args = {"curves": {"GR": [1, 2]}, **kwargs}
    with pytest.raises(ValueError, match=message):
        interop.write_las(tmp_path / "x.las", [1, 2], **args)
    assert not (tmp_path / "x.las").exists()


def test_to_geojson_rings_agree_with_shapely():
    shapely = pytest.importorskip("shapely.geometry")
    rng = random.Random(3)
    for _ in range(400):  # small integer rings: many collinear or repeated vertices
        ring = [[431000 + rng.randint(0, 3), 6521000 + rng.randint(0, 3)] for _ in range(rng.randint(1, 5))]
        area = shapely.Polygon(ring).area if len(set(map(tuple, ring))) >= 3 else 0.0
        if area == 0:
            with pytest.raises(ValueError, match="at least 3 distinct vertices|zero area"):
                interop.to_geojson(ring)
        else:
            geom = shapely.shape(interop.to_geojson(ring))
            assert geom.area == area and (geom.exterior.is_ccw or not geom.is_valid)  # bow-ties have no orientation
    assert interop.to_geojson([np.float64(1), np.float32(2)]) == {"type": "Point", "coordinates": [1.0, 2.0]}
    pairs = np.array([[0, 0], [1, 0], [1, 1]], dtype=np.float32)
    assert interop.to_geojson(list(pairs), crs="EPSG:25832")["crs"]["properties"]["name"] == "urn:ogc:def:crs:EPSG::25832"
    with pytest.raises(ValueError, match="must be \\[x, y\\] pairs, got 0 \\(a flat list"):
        interop.to_geojson([0, 0, 1, 0, 1, 1])


# --- ensembles ---------------------------------------------------------------
from zaviktools.ensemble import realisations  # noqa: E402

SAMPLER = zk.Sampler.normal(0, 1).clamped(-1, 1)


def draw(seed):
    return SAMPLER.sample_n_seeded(5, seed)


def test_threads_equal_serial_in_seed_order():
    seeds = [5, 3, 2**64 - 1, 0, 3]
    progress = []
    assert realisations(draw, seeds, progress=lambda d, n: progress.append((d, n))) == [draw(s) for s in seeds]
    assert progress[-1] == (5, 5)
    assert realisations(draw, []) == []
    with pytest.raises(TypeError):
        realisations(draw, [1.0])
    with pytest.raises(OverflowError):
        realisations(draw, [-1])
    with pytest.raises(TypeError, match="executor must be"):
        realisations(draw, [1], executor="serial")


class Coded(Exception):
    def __init__(self, code):
        super().__init__(f"code {code}")
        self.code = code


def fails_on_three(seed):
    if seed == 3:
        raise ValueError("seed three")
    if seed == 5:
        raise Coded(5)
    return seed


@pytest.mark.parametrize("workers", [1, 4])
def test_failing_seed_is_named(workers):
    with pytest.raises(ValueError, match=r"^realisations: seed 3 failed: seed three$") as info:
        realisations(fails_on_three, [0, 3, 1], max_workers=workers)
    assert type(info.value.__cause__) is ValueError and str(info.value.__cause__) == "seed three"
    with pytest.raises(Coded) as info:  # keeps its attributes: raised as is, with a note
        realisations(fails_on_three, [5, 0], max_workers=workers)
    assert info.value.code == 5 and info.value.__notes__ == ["realisations: seed 5 failed"]
    with pytest.raises(ValueError, match="max_workers must be a positive integer or None, got 0"):
        realisations(draw, [1], max_workers=0)
    with pytest.raises(TypeError, match="not float"):
        realisations(draw, [1], max_workers=1.0)


def test_dask_cluster_equals_serial():
    distributed = pytest.importorskip("distributed")
    lat = zk.Lattice(0, 0, 10, 10, 8, 8)
    v = zk.Variogram("sph", 0, 1, 50)

    def field(seed):  # captures a Lattice and a Variogram: both travel pickled
        return zk.local_kriging_grid_flat([[5, 5, float(seed % 7)], [60, 40, 1.0]], lat, v, 4, 1e9)[0] + bytes(draw(seed)[0] > 0)

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster) as client:
            assert realisations(field, range(12), client) == [field(s) for s in range(12)]
            # A reducer gets the results in seed order, each read once and released.
            assert realisations(field, range(12), client, reducer=list) == [field(s) for s in range(12)]
            assert realisations(draw, range(9), client, max_workers=1, reducer=lambda it: [x[0] for x in it]) == \
                [draw(s)[0] for s in range(9)]
            with pytest.raises(ValueError, match="^realisations: seed 3 failed: seed three$"):
                realisations(fails_on_three, range(6), client, reducer=sum)
            with pytest.raises(ValueError, match="realisations: seed 3 failed: seed three"):
                realisations(fails_on_three, range(6), client)
