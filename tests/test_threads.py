"""Four threads calling each lock-releasing callable on shared inputs give the
results of a serial run: the cores share nothing and each call seeds its own
stream."""

import threading

import pytest

from zaviktools import _zaviktools as zk

from public_surface import coords3, experimental, flat_grid, grid, lattice, variogram


def _lat():
    return zk.Lattice(0.0, 0.0, 10.0, 10.0, 12, 9, 20.0, False)


def _petro():
    return zk.PetroZoneSpec(0.6, 0.22, 0.04, 0.06, 0.02, 3.0, 2.0)


def _zones():
    return [zk.ZoneSpec(10.0, 0.2, 0.05, 2.0), zk.ZoneSpec(6.0, 0.12, 0.03, 1.0)]


# name -> factory of the shared positional arguments
RELEASING = {
    "Variogram.fit": lambda: ("spherical", experimental()),
    "experimental_variogram": lambda: (coords3(30), 5.0, 6),
    "local_kriging_grid": lambda: (coords3(20), _lat(), variogram(), 6, 80.0),
    "local_kriging_grid_flat": lambda: (coords3(20), _lat(), variogram(), 6, 80.0),
    "sgs": lambda: (coords3(20), _lat(), variogram(), 8, 60.0, 11),
    "sgs_flat": lambda: (coords3(20), _lat(), variogram(), 8, 60.0, 12),
    "interp1d": lambda: ([0.0, 1.0, 3.0], [0.0, 2.0, 1.0], [0.5 * k for k in range(50)], "linear", True),
    "resample": lambda: (grid(), lattice(), lattice(3, 3), "bilinear"),
    "resample_flat": lambda: (flat_grid(), lattice(), lattice(3, 3), "nearest"),
    "synth_log_series": lambda: (_zones(), 0.5, 2, 5),
    "synth_facies_series": lambda: (400, 0.5, 0.4, 3.0, 7),
    "synth_por_with_facies": lambda: (zk.synth_facies_series(300, 0.5, 0.4, 3.0, 7), 0.5, 0.22, 0.04, 0.08,
                                      0.02, 2.0, 9),
    "synth_petro_curves": lambda: (_petro(), 0.5, 400, 3),
    "synth_dome_surface": lambda: (_lat(), 100.0, 1.5, 10.0, 4.0, variogram(), 3),
    "synth_dome_surface_flat": lambda: (_lat(), 100.0, 1.5, 10.0, 4.0, variogram(), 3),
    "synth_isochore": lambda: (_lat(), 20.0, 0.3, variogram(), 5),
    "synth_isochore_flat": lambda: (_lat(), 20.0, 0.3, variogram(), 5),
    "synth_trend_map": lambda: (_lat(), variogram(), 8),
    "synth_trend_map_flat": lambda: (_lat(), variogram(), 8),
}


def _target(name):
    owner, _, attr = name.rpartition(".")
    return getattr(getattr(zk, owner), attr) if owner else getattr(zk, name)


def _plain(result):
    # repr keeps NaN nodes comparable (NaN != NaN) and renders every float
    # exactly; class instances compare through their repr too.
    return result if isinstance(result, bytes) else repr(result)


@pytest.mark.parametrize("name", sorted(RELEASING))
def test_four_threads_match_a_serial_run(name):
    fn, args = _target(name), RELEASING[name]()
    serial = [_plain(fn(*args)) for _ in range(4)]
    results, errors = [None] * 4 * 3, []
    start = threading.Barrier(4)

    def work(t):
        try:
            start.wait()
            for k in range(3):
                results[t * 3 + k] = _plain(fn(*args))
        except BaseException as exc:  # reported on the main thread
            errors.append(exc)

    threads = [threading.Thread(target=work, args=(t,)) for t in range(4)]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    assert not errors, errors
    assert all(r == serial[0] for r in serial + results)
