"""zaviktools.dask: tiled kriging equal to one call bit for bit, the window
entry behind it, the Zarr round trip, and ensemble maps reduced on a
two-process cluster equal to the serial reduction."""

import subprocess
import sys

import numpy as np
import pytest

import zaviktools as zk
from zaviktools import _study

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")
zd = pytest.importorskip("zaviktools.dask")

RNG = np.random.default_rng(27)
DATA = np.column_stack([RNG.uniform(-20, 50, 60), RNG.uniform(-20, 50, 60), RNG.normal(size=60)])
DATA[7, :2] = DATA[3, :2]  # coincident data are merged in every tile alike
LATTICES = {
    "plain": zk.Lattice(0.0, 0.0, 10.0, 10.0, 11, 9),
    "rotated": zk.Lattice(3.0, -2.0, 7.3, 5.1, 17, 13, rotation_deg=33.0),
    "flipped": zk.Lattice(1.5, 90.0, 6.1, 7.7, 15, 11, yflip=True),
    "rotated+flipped": zk.Lattice(50.0, 40.0, 4.9, 6.3, 19, 14, rotation_deg=-112.5, yflip=True),
}
VARIOGRAMS = {"iso": zk.Variogram("sph", 0.1, 1.0, 60.0),
              "aniso": zk.AnisotropicVariogram("exp", 70.0, 25.0, 35.0, 1.0, 0.05)}


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cl:
        with distributed.Client(cl) as c:
            yield c


def same(a, b):
    return a.shape == b.shape and a.tobytes() == b.tobytes()


@pytest.mark.parametrize("vname", VARIOGRAMS)
@pytest.mark.parametrize("lname", LATTICES)
@pytest.mark.parametrize("chunks", ["4x5", "6x13", "explicit", "columns"])
def test_tiles_equal_one_call(lname, vname, chunks):
    lat, v = LATTICES[lname], VARIOGRAMS[vname]
    want = zk.krige_grid(DATA, lat, v, 8, 30.0)
    chunks = {"4x5": (4, 5), "6x13": (6, 13), "columns": (1, lat.nrow),  # tiles that do not divide the lattice
              "explicit": ((2, 1, lat.ncol - 3), (7, lat.nrow - 7))}[chunks]
    est, var = zd.krige_grid(DATA, lat, v, 8, 30.0, chunks=chunks)
    assert est.shape == var.shape == (lat.ncol, lat.nrow)
    tiles = len(est.chunks[0]) * len(est.chunks[1])
    kriging = [k for k in dict(est.__dask_graph__()) if str(k).startswith("krige-tile-")]
    assert len(kriging) == tiles  # one native call per tile, shared by both fields
    got = dask.compute(est, var)  # the current client if one runs, else threads
    assert np.isnan(want[0]).any() and not np.isnan(want[0]).all()
    assert same(got[0], want[0]) and same(got[1], want[1])


@pytest.mark.parametrize("window, message", [
    ((5, 4, 0, 9), "window columns 5..4 must satisfy 5 <= 4 <= ncol = 11"),
    ((0, 12, 0, 9), "window columns 0..12 must satisfy 0 <= 12 <= ncol = 11"),
    ((0, 11, 3, 10), "window rows 3..10 must satisfy 3 <= 10 <= nrow = 9"),
    ((0, 11, 2**63, 2**64 - 1), "window rows 9223372036854775808..18446744073709551615 must satisfy"),
])
def test_window_outside_the_lattice_is_refused(window, message):
    with pytest.raises(ValueError, match="^invalid argument: krige_grid: " + message.replace(".", r"\.")):
        _study.krige_grid_window(DATA, LATTICES["plain"], VARIOGRAMS["iso"], 8, 30.0, *window)


def test_windows_and_empty_windows():
    lat, v = LATTICES["rotated"], VARIOGRAMS["aniso"]
    whole = zk.krige_grid(DATA, lat, v, 8, 30.0)[0]
    e, _, shape = _study.krige_grid_window(DATA, lat, v, 8, 30.0, 16, 17, 12, 13, threads=2)
    assert shape == (1, 1) and np.frombuffer(e).tobytes() == whole[16:, 12:].tobytes()
    for window in [(0, 0, 0, 13), (4, 9, 6, 6)]:
        e, v_, shape = _study.krige_grid_window(DATA, lat, v, 8, 30.0, *window)
        assert len(e) == len(v_) == 0 and shape == (window[1] - window[0], window[3] - window[2])


@pytest.mark.parametrize("coords, k, radius, message", [
    (DATA, 0, 45.0, "invalid argument: krige_grid: need max_neighbours >= 1 and radius > 0"),
    (np.empty((0, 3)), 8, 30.0, "empty input: krige_grid: no data"),
    ([[0.0, 0.0, 1.0], [1.0, np.inf, 2.0]], 8, 30.0, "invalid argument: krige_grid: point 1 is not finite"),
])
def test_bad_arguments_raise_before_any_graph(coords, k, radius, message):
    for call in (zk.krige_grid, zd.krige_grid):
        with pytest.raises(ValueError, match="^" + message.replace("(", r"\(")):
            call(coords, LATTICES["plain"], VARIOGRAMS["iso"], k, radius)
    with pytest.raises(ValueError, match="threads must be a positive integer or None, got 0"):
        zd.krige_grid(DATA, LATTICES["plain"], VARIOGRAMS["iso"], 8, 30.0, threads=0)


def test_cluster_tiles_and_zarr_round_trip(client, tmp_path):
    zarr = pytest.importorskip("zarr")
    lat, v = LATTICES["rotated+flipped"], VARIOGRAMS["iso"]
    want = zk.krige_grid(DATA, lat, v, 8, 30.0)
    est, var = zd.krige_grid(DATA, lat, v, 8, 30.0, chunks=(7, 5))  # the current client: data scattered
    dask.compute(est.to_zarr(str(tmp_path / "est.zarr"), compute=False),
                 var.to_zarr(str(tmp_path / "var.zarr"), compute=False))
    for name, field in (("est", want[0]), ("var", want[1])):
        stored = zarr.open_array(str(tmp_path / f"{name}.zarr"), mode="r")
        assert stored.shape == field.shape and stored.chunks == (7, 5)
        assert same(stored[:], field)


def realisation(seed):
    """A field with NaN nodes and both signs of zero (ties the P-maps sort stably)."""
    r = np.random.default_rng(seed)
    field = np.round(r.normal(size=(9, 7)), 1)
    field[field == 0.0] = np.copysign(0.0, r.normal(size=int((field == 0.0).sum())))
    if seed % 4 == 1:
        field[2, 3] = np.nan
    return field if seed % 2 else (field.astype("<f8").tobytes(), (9, 7))


def area_above(field):
    return float(np.nansum(field > 0.5) * 25.0)


@pytest.mark.parametrize("tiles, percentiles, threshold", [(None, (90, 50, 10), 0.3), (4, (0, 12.5, 100), None),
                                                           (70, (), 0.0)])  # 70 runs of 63 nodes: some empty
def test_cluster_ensemble_maps_equal_the_serial_reduction(client, tiles, percentiles, threshold):
    seeds = list(range(3, 24))
    got = zd.ensemble_maps(realisation, seeds, client, percentiles, threshold, scalars={"grv": area_above}, tiles=tiles)
    want = zk.ensemble_maps([realisation(s) for s in seeds], percentiles, threshold)
    assert isinstance(got, zk.EnsembleMaps) and got.count == want.count and got.threshold == want.threshold
    assert same(got.mean, want.mean) and same(got.std, want.std) and list(got.p_maps) == list(want.p_maps)
    assert all(same(got.p_maps[p], want.p_maps[p]) for p in want.p_maps)
    assert (got.exceedance is None) == (want.exceedance is None)
    assert want.exceedance is None or same(got.exceedance, want.exceedance)
    assert np.isnan(got.mean[2, 3]) and same(got.scalars["grv"], np.array([area_above(zk.maps._as_field(
        realisation(s), 0)) for s in seeds]))
    assert repr(got).endswith(", scalars=['grv'])")


def fails_on_five(seed):
    if seed == 5:
        raise ValueError("seed five")
    return np.zeros((2, 2)) if seed != 7 else np.zeros((3, 2))


def test_cluster_ensemble_maps_errors(client):
    with pytest.raises(ValueError, match="^realisations: seed 5 failed: seed five$"):
        zd.ensemble_maps(fails_on_five, [9, 5, 1, 5], client)
    with pytest.raises(ValueError, match=r"^ensemble_maps: realisation 2 has shape \(3, 2\), expected \(2, 2\)"):
        zd.ensemble_maps(fails_on_five, [1, 2, 7], client)
    with pytest.raises(TypeError, match="^ensemble_maps: realisation 1 holds <U1, not real numbers"):
        zd.ensemble_maps(lambda s: np.zeros((2, 2)) if s else np.full((2, 2), "a"), [1, 0], client)
    with pytest.raises(ValueError, match="^ensemble_maps: no realisations"):
        zd.ensemble_maps(fails_on_five, [], client)
    with pytest.raises(ValueError, match="tiles must be a positive integer or None, got 0"):
        zd.ensemble_maps(fails_on_five, [1], client, tiles=0)
    with pytest.raises(TypeError, match="client must be a dask.distributed.Client, not NoneType"):
        zd.ensemble_maps(fails_on_five, [1], None)


def test_missing_dask_names_the_extra():
    code = ("import sys; sys.modules['dask'] = None\n"
            "try:\n    import zaviktools.dask\nexcept ImportError as e:\n    print(e)")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert done.stdout.strip() == ('zaviktools.dask needs Dask: install the optional dependencies with '
                                   'pip install "zaviktools[dask]"'), done.stderr


def test_lattice_without_nodes_and_a_bad_client():
    est, var = zd.krige_grid(DATA, zk.Lattice(0.0, 0.0, 1.0, 1.0, 0, 5), VARIOGRAMS["iso"], 8, 30.0)
    assert est.compute().shape == var.compute().shape == (0, 5)
    with pytest.raises(TypeError, match="^krige_grid: client must be a dask.distributed.Client or None, not int$"):
        zd.krige_grid(DATA, LATTICES["plain"], VARIOGRAMS["iso"], 8, 30.0, client=3)
