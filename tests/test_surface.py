"""synth_dome_surface, synth_isochore, synth_trend_map and their flat twins:
each per-node formula evaluated with numpy on top of the raw unconditional
simulation (reached through a test hook), bit for bit; the flat twins equal
the nested results; the stated edge cases; validation order and texts."""

import inspect
import math
import threading

import numpy as np
import pytest
from scipy import special

import zaviktools as zk
from sgs_reference import nscore_fit

NAN = float("nan")
INF = float("inf")
TINY = 2.2250738585072014e-308
SPH = zk.Variogram("spherical", 0.0, 1.0, 120.0)
EXP = zk.Variogram("exponential", 0.1, 0.9, 45.0)
GAU = zk.Variogram("gaussian", 0.0, 2.0, 300.0)
VEXP = np.frompyfunc(math.exp, 1, 1)  # the C library's exp, as the core uses it

LATTICES = [
    zk.Lattice(0.0, 0.0, 25.0, 25.0, 17, 11),
    zk.Lattice(4.3e5, 6.52e6, 30.0, 20.0, 12, 15, rotation_deg=33.0),
    zk.Lattice(-100.0, 50.0, 10.0, -12.5, 9, 14, rotation_deg=250.0, yflip=True),
    zk.Lattice(0.0, 0.0, 5.0, 5.0, 1, 13),
]


def bits(a):
    return np.asarray(a, "<f8").view("<u8")


def flat_array(result):
    buf, (nc, nr) = result
    return np.frombuffer(buf, "<f8").reshape(nc, nr)


def radius(lat, vg):
    return max(1.5 * vg.range, 4 * max(abs(lat.xinc), abs(lat.yinc), TINY))


def raw(hooks, lat, vg, seed, mean, variance):
    field = hooks.sgs_unconditional(lat, vg, 24, radius(lat, vg), seed, mean, variance)
    return np.array(field, dtype=float).reshape(lat.ncol, lat.nrow)


def both(nested_fn, flat_fn, *args, **kw):
    """The nested and flat entry points, checked to agree bit for bit."""
    lat = args[0]
    nested = np.array(nested_fn(*args, **kw), dtype=float).reshape(lat.ncol, lat.nrow)
    flat = flat_array(flat_fn(*args, **kw))
    assert np.array_equal(bits(nested), bits(flat))
    return flat


def dome(*args):
    return both(zk.synth_dome_surface, zk.synth_dome_surface_flat, *args)


def isochore(*args):
    return both(zk.synth_isochore, zk.synth_isochore_flat, *args)


def trend(*args, **kw):
    return both(zk.synth_trend_map, zk.synth_trend_map_flat, *args, **kw)


def node_grids(lat):
    pts = [[lat.node_xy(i, j) for j in range(lat.nrow)] for i in range(lat.ncol)]
    a = np.array(pts, dtype=float).reshape(lat.ncol, lat.nrow, 2)
    return a[..., 0], a[..., 1]


def dome_reference(lat, relief, aspect, tilt, noise):
    x, y = node_grids(lat)
    cxs = [lat.node_xy(i, j) for i, j in [(0, 0), (lat.ncol - 1, 0), (0, lat.nrow - 1), (lat.ncol - 1, lat.nrow - 1)]]
    xs, ys = [c[0] for c in cxs], [c[1] for c in cxs]
    xmin, xmax, ymin, ymax = min(xs), max(xs), min(ys), max(ys)
    wx, wy = xmax - xmin, ymax - ymin
    cx, cy = (xmin + xmax) / 2, (ymin + ymax) / 2
    ax = max(0.25 * wx * math.sqrt(aspect), TINY)
    ay = max(0.25 * wy / math.sqrt(aspect), TINY)
    wxs = max(wx, TINY)
    dx, dy = (x - cx) / ax, (y - cy) / ay
    bump = relief * VEXP(-0.5 * (dx * dx + dy * dy)).astype(float)
    return bump + tilt * ((x - xmin) / wxs - 0.5) + noise


# --- the formulas on top of the simulated field ---------------------------------------------

@pytest.mark.parametrize("lat", LATTICES, ids=repr)
@pytest.mark.parametrize("relief, aspect, tilt, noise_var, vg", [
    (100.0, 1.0, 0.0, 0.0, SPH), (75.0, 2.5, 12.0, 4.0, SPH), (-30.0, 0.4, -8.0, 0.25, EXP), (0.0, 1.0, 5.0, 9.0, GAU),
])
def test_dome_formula(hooks, lat, relief, aspect, tilt, noise_var, vg):
    seed = 77
    noise = raw(hooks, lat, vg, seed, 0.0, noise_var) if noise_var > 0 else np.zeros((lat.ncol, lat.nrow))
    ours = dome(lat, relief, aspect, tilt, noise_var, vg, seed)
    assert np.array_equal(bits(ours), bits(dome_reference(lat, relief, aspect, tilt, noise)))


@pytest.mark.parametrize("lat", LATTICES, ids=repr)
@pytest.mark.parametrize("mean, variability, vg", [(20.0, 5.0, SPH), (2.0, 3.0, EXP), (-1.0, 1.5, GAU), (7.0, 0.0, SPH)])
def test_isochore_formula(hooks, lat, mean, variability, vg):
    field = raw(hooks, lat, vg, 5, mean, variability * variability)
    ours = isochore(lat, mean, variability, vg, 5)
    expected = np.where(field > 0, field, 0.0)
    assert np.array_equal(bits(ours), bits(expected))
    assert (ours < 0).sum() == 0 and (bits(ours) != bits(-0.0)).all()


@pytest.mark.parametrize("lat", LATTICES, ids=repr)
def test_trend_formula_without_correlation(hooks, lat):
    g = raw(hooks, lat, EXP, 9, 0.0, 1.0)
    ours = trend(lat, EXP, 9)
    assert np.array_equal(bits(ours), bits(np.vectorize(hooks.phi)(g)))
    assert np.allclose(ours, special.ndtr(g), rtol=0, atol=1e-15)
    assert ((ours >= 0) & (ours <= 1)).all()


@pytest.mark.parametrize("lat", LATTICES[:3], ids=repr)
@pytest.mark.parametrize("rho", [0.0, 0.35, -0.8, 1.0, -1.0])
def test_trend_formula_with_correlation(hooks, lat, rho):
    rng = np.random.default_rng(3)
    other = rng.integers(0, 6, size=(lat.ncol, lat.nrow)).astype(float) * 1.5  # ties share one score
    other[rng.random(other.shape) < 0.1] = NAN
    other[0, 0] = INF  # non-finite cells are left out of the fit
    values, scores = nscore_fit([v for v in other.ravel() if math.isfinite(v)], hooks.phi_inv)
    table = dict(zip(values, scores))
    n = np.array([[table.get(v, 0.0) for v in col] for col in other])
    g = raw(hooks, lat, SPH, 11, 0.0, 1.0)
    s = math.sqrt(max(1 - rho * rho, 0.0))
    expected = np.vectorize(hooks.phi)(s * g + rho * n)
    ours = trend(lat, SPH, 11, correlate_with=(other.tolist(), rho))
    assert np.array_equal(bits(ours), bits(expected))
    if abs(rho) == 1.0:  # only the field's scores; the sweep still draws but does not show
        finite = np.isfinite(other)
        assert np.array_equal(ours[finite], np.vectorize(hooks.phi)(rho * n)[finite])


def test_trend_correlates_at_about_rho():
    lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, 60, 60)
    short = zk.Variogram("spherical", 0.0, 1.0, 12.0)  # short range: many effectively independent nodes
    other = np.array(zk.synth_trend_map(lat, short, 1))
    for rho in (0.8, -0.5, 0.0):
        t = np.array(zk.synth_trend_map(lat, short, 2, (other.tolist(), rho)))
        r = np.corrcoef(special.ndtri(t).ravel(), special.ndtri(other).ravel())[0, 1]
        assert r == pytest.approx(rho, abs=0.06)


# --- stated edge cases -----------------------------------------------------------------------

def test_same_seed_same_grid_other_seed_other_grid():
    lat = LATTICES[1]
    a = dome(lat, 50.0, 1.2, 3.0, 2.0, SPH, 123)
    assert np.array_equal(bits(a), bits(dome(lat, 50.0, 1.2, 3.0, 2.0, SPH, 123)))
    assert not np.array_equal(a, dome(lat, 50.0, 1.2, 3.0, 2.0, SPH, 124))
    assert not np.array_equal(isochore(lat, 5, 1, SPH, 1), isochore(lat, 5, 1, SPH, 2))


@pytest.mark.parametrize("mean, expected", [(12.5, 12.5), (-3.0, 0.0), (0.0, 0.0), (-0.0, 0.0)])
def test_isochore_without_variability_is_constant(mean, expected):
    out = isochore(LATTICES[0], mean, 0.0, SPH, 1)
    assert np.array_equal(bits(out), bits(np.full(out.shape, expected)))
    assert np.array_equal(bits(isochore(LATTICES[0], mean, -0.0, SPH, 1)), bits(out))


def test_dome_without_noise_or_tilt_is_symmetric_with_the_crest_at_the_centre():
    lat = zk.Lattice(0.0, 0.0, 25.0, 40.0, 21, 15)
    z = dome(lat, 80.0, 1.7, 0.0, 0.0, SPH, 1)
    assert np.allclose(z, z[::-1, :], rtol=0, atol=1e-12) and np.allclose(z, z[:, ::-1], rtol=0, atol=1e-12)
    assert z[10, 7] == pytest.approx(80.0, rel=1e-15) and z.max() == z[10, 7]


@pytest.mark.parametrize("tilt, noise_var", [(0.0, 0.0), (6.0, 0.0), (-4.0, 2.0)])
def test_one_node_lattice_stays_finite(hooks, tilt, noise_var):
    lat = zk.Lattice(10.0, 20.0, 0.0, 0.0, 1, 1)
    z = dome(lat, 33.0, 2.0, tilt, noise_var, SPH, 8)
    noise = raw(hooks, lat, SPH, 8, 0.0, noise_var)[0, 0] if noise_var else 0.0
    assert z.shape == (1, 1) and z[0, 0] == 33.0 + tilt * -0.5 + noise


def test_tilt_rises_along_world_x_whatever_the_rotation():
    lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, 11, 11, rotation_deg=90.0)
    z = dome(lat, 0.0, 1.0, 10.0, 0.0, SPH, 1)
    x, _ = node_grids(lat)
    assert np.allclose(z, 10.0 * ((x - x.min()) / (x.max() - x.min()) - 0.5), atol=1e-12)


@pytest.mark.parametrize("ncol, nrow", [(0, 5), (4, 0), (0, 0)])
def test_empty_lattices_give_empty_grids(ncol, nrow):
    lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, ncol, nrow)
    field = [[] for _ in range(ncol)]
    for nested, flat, args in [
        (zk.synth_dome_surface, zk.synth_dome_surface_flat, (lat, 1.0, 1.0, 1.0, 1.0, SPH, 1)),
        (zk.synth_dome_surface, zk.synth_dome_surface_flat, (lat, 1.0, 1.0, 1.0, 0.0, SPH, 1)),
        (zk.synth_isochore, zk.synth_isochore_flat, (lat, 1.0, 1.0, SPH, 1)),
        (zk.synth_trend_map, zk.synth_trend_map_flat, (lat, SPH, 1)),
    ]:
        assert nested(*args) == field
        assert flat(*args) == (b"", (ncol, nrow))
    with pytest.raises(ValueError, match="empty input: NormalScore::fit: no data"):
        zk.synth_trend_map(lat, SPH, 1, (field, 0.5))


# --- validation order and texts --------------------------------------------------------------

GOOD = LATTICES[0]
FIELD = np.ones((GOOD.ncol, GOOD.nrow)).tolist()
WIDE = zk.Lattice(0.0, 0.0, INF, 1.0, 3, 3)  # radius not finite: the simulation refuses it
SIM = "invalid argument: sgs_unconditional: need max_neighbours >= 1 and radius > 0"
ANISO = zk.AnisotropicVariogram("spherical", 100.0, 50.0, 10.0, 30.0)


@pytest.mark.parametrize("fn, args, exc, text", [
    (zk.synth_isochore, (GOOD, NAN, -1.0, SPH, 1), ValueError, "invalid argument: synth_isochore: mean_thickness must be finite"),
    (zk.synth_isochore, (WIDE, 1.0, INF, SPH, 1), ValueError, "invalid argument: synth_isochore: variability must be finite and >= 0"),
    (zk.synth_isochore, (WIDE, 1.0, -1e-300, SPH, 1), ValueError, "invalid argument: synth_isochore: variability must be finite and >= 0"),
    (zk.synth_isochore, (WIDE, 1.0, 1.0, SPH, 1), ValueError, SIM),
    (zk.synth_isochore, (GOOD, 1.0, 1.0, ANISO, 1), TypeError,
     "argument 'variogram': 'AnisotropicVariogram' object is not an instance of 'Variogram'"),
    (zk.synth_trend_map, (WIDE, SPH, 1, (FIELD, 5.0)), ValueError, "field must be a rectangular 3x3 nested list (field[col][row])"),
    (zk.synth_trend_map, (WIDE, SPH, 1, ([[NAN] * 3] * 3, 5.0)), ValueError, SIM),
    (zk.synth_trend_map, (GOOD, SPH, 1, ([[NAN] * 11] * 17, 1.5)), ValueError, "invalid argument: synth_trend_map: rho must be in [-1, 1]"),
    (zk.synth_trend_map, (GOOD, SPH, 1, (FIELD, NAN)), ValueError, "invalid argument: synth_trend_map: rho must be in [-1, 1]"),
    (zk.synth_trend_map, (GOOD, SPH, 1, ([[NAN] * 11] * 17, -1.0)), ValueError, "empty input: NormalScore::fit: no data"),
    (zk.synth_trend_map, (GOOD, SPH, 1, (FIELD,)), ValueError, "expected a sequence of length 2 (got 1)"),
    (zk.synth_trend_map, (GOOD, SPH, 1, 0.5), TypeError, "argument 'correlate_with': 'float' object is not an instance of 'Sequence'"),
    (zk.synth_trend_map, (GOOD, SPH, -1), OverflowError, ""),
    (zk.synth_dome_surface, (WIDE, NAN, 0.0, 1.0, -1.0, SPH, 1), ValueError, "invalid argument: NoiseSpec: variance must be finite and >= 0"),
    (zk.synth_dome_surface, (WIDE, 1.0, 0.0, 1.0, NAN, SPH, 1), ValueError, "invalid argument: NoiseSpec: variance must be finite and >= 0"),
    (zk.synth_dome_surface, (WIDE, 1.0, 0.0, INF, 1.0, SPH, 1), ValueError, "invalid argument: synth_dome_surface: relief and tilt must be finite"),
    (zk.synth_dome_surface, (WIDE, NAN, 0.0, 1.0, 1.0, SPH, 1), ValueError, "invalid argument: synth_dome_surface: relief and tilt must be finite"),
    (zk.synth_dome_surface, (WIDE, 1.0, 0.0, 1.0, 1.0, SPH, 1), ValueError, "invalid argument: synth_dome_surface: aspect must be finite and > 0"),
    (zk.synth_dome_surface, (WIDE, 1.0, INF, 1.0, 1.0, SPH, 1), ValueError, "invalid argument: synth_dome_surface: aspect must be finite and > 0"),
    (zk.synth_dome_surface, (WIDE, 1.0, 1.0, 1.0, 0.0, SPH, 1), ValueError, "invalid argument: synth_dome_surface: lattice geometry must be finite"),
    (zk.synth_dome_surface, (zk.Lattice(NAN, 0, 1, 1, 2, 2), 1.0, 1.0, 1.0, 0.0, SPH, 1), ValueError,
     "invalid argument: synth_dome_surface: lattice geometry must be finite"),
])
def test_errors_in_order(fn, args, exc, text):
    flat = getattr(zk, fn.__name__ + "_flat")
    for f in (fn, flat):
        with pytest.raises(exc) as info:
            f(*args)
        assert str(info.value).startswith(text)


def test_docstrings_and_signatures():
    sig = {
        "synth_dome_surface": "(lattice, relief, aspect, tilt, noise_variance, noise_variogram, seed)",
        "synth_isochore": "(lattice, mean_thickness, variability, variogram, seed)",
        "synth_trend_map": "(lattice, variogram, seed, correlate_with=None)",
    }
    for name, s in sig.items():
        assert str(inspect.signature(getattr(zk, name))) == s
        assert str(inspect.signature(getattr(zk, name + "_flat"))) == s
    assert zk.synth_isochore.__doc__ == (
        "A synthetic isochore (thickness map) on `lattice`: a correlated field about\n"
        "`mean_thickness` with std `variability` and continuity `variogram`, clamped at\n"
        "zero. Returns the `ncol × nrow` field as nested lists. Seeded/reproducible.")
    assert zk.synth_trend_map.__doc__ == (
        "A depositional trend map on `lattice`: a correlated field mapped to `[0,1]`\n"
        "(Uniform marginal). With `correlate_with = (field, rho)` the trend is built to\n"
        "correlate with `field` (nested lists, `ncol × nrow`) at ~`rho ∈ [-1,1]`.\n"
        "Returns the `ncol × nrow` trend as nested lists. Seeded/reproducible.")
    assert zk.synth_dome_surface.__doc__ == (
        "A synthetic dome structure on `lattice`: an elliptical four-way closure of\n"
        "amplitude `relief`, elongation `aspect`, a regional `tilt`, and correlated\n"
        "noise (`noise_variance` amplitude², continuity `noise_variogram`; variance `0`\n"
        "⇒ none). Returns the `ncol × nrow` relief field (crest = max) as nested lists.")
    flat_tail = "(little-endian `f64`, `field[col][row]`) instead of a boxed nested list."
    for name in ("synth_isochore", "synth_dome_surface"):
        assert getattr(zk, name + "_flat").__doc__ == f"Flat crossing of [`{name}`]: `(field_bytes, (ncol, nrow))`\n" + flat_tail
    assert zk.synth_trend_map_flat.__doc__ == (
        "Flat crossing of [`synth_trend_map`]: `(field_bytes, (ncol, nrow))`\n" + flat_tail +
        "\n`correlate_with` (if given) is still a nested list (rare path).")


def test_threads_compute_the_same_grids():
    lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, 40, 40)
    expected = zk.synth_dome_surface_flat(lat, 20.0, 1.0, 1.0, 1.0, SPH, 5)
    out = [None] * 4
    def work(k):
        out[k] = zk.synth_dome_surface_flat(lat, 20.0, 1.0, 1.0, 1.0, SPH, 5)
    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(o == expected for o in out)
