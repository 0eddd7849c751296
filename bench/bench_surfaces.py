"""Synthetic surfaces and outlines.

- synth_dome_surface_flat with correlated noise on 500 x 500: the unconditional
  sweep dominates (24-neighbour simple kriging per node); the peer is
  gstools' randomisation-method field of the same covariance, a different
  (spectral, approximate) algorithm, shown for scale.
- closure_outline on a 2000 x 2000 dome: the peers contour the same array at
  the same level and then do the ring selection they leave to the user (keep
  the closed lines, take the largest shoelace area, place it in world
  coordinates). Ours is timed from the nested lists, including their
  conversion; the peers get a ready numpy array.
"""

import numpy as np

import zaviktools as zk

from .harness import Row

N_DOME = 500
N_OUTLINE = 2000
LEVEL = 40.0


def largest_world_ring(lines, to_world):
    best, best_area = None, 0.0
    for c in lines:
        if len(c) < 4 or not np.array_equal(c[0], c[-1]):
            continue
        x, y = c[:-1, 0], c[:-1, 1]
        area = abs(np.dot(x, np.roll(y, -1)) - np.dot(np.roll(x, -1), y)) / 2
        if area > best_area:
            best, best_area = c[:-1], area
    return None if best is None else to_world(best)


def outline_rows(label, z, lat):
    from contourpy import contour_generator
    from skimage import measure

    nested = z.tolist()
    columns = list(z)  # one float64 array per column: the buffer fast path

    def skimage_peer():
        to_world = lambda c: np.column_stack([lat.xori + c[:, 0] * lat.xinc, lat.yori + c[:, 1] * lat.yinc])
        return largest_world_ring(measure.find_contours(z, LEVEL), to_world)

    x = lat.xori + lat.xinc * np.arange(lat.ncol)
    y = lat.yori + lat.yinc * np.arange(lat.nrow)

    def contourpy_peer():
        gen = contour_generator(x, y, z.T, name="serial", line_type="Separate")
        return largest_world_ring(gen.lines(LEVEL), lambda c: c)

    peers = {"skimage find_contours + pick": skimage_peer, "contourpy serial + pick": contourpy_peer}

    def skimage_from_nested():  # the same input as ours: the array must be built first
        a = np.asarray(nested)
        to_world = lambda c: np.column_stack([lat.xori + c[:, 0] * lat.xinc, lat.yori + c[:, 1] * lat.yinc])
        return largest_world_ring(measure.find_contours(a, LEVEL), to_world)

    yield Row(f"closure_outline {label} (nested floats)", lambda: zk.closure_outline(nested, lat, LEVEL),
              {**peers, "np.asarray(nested) + skimage + pick": skimage_from_nested}, repeats=7)
    yield Row(f"closure_outline {label} (list of column arrays)", lambda: zk.closure_outline(columns, lat, LEVEL),
              peers, repeats=7)


def rows():
    lat = zk.Lattice(0.0, 0.0, 10.0, 10.0, N_DOME, N_DOME)
    vg = zk.Variogram("spherical", 0.0, 1.0, 200.0)

    def gstools_peer():
        import gstools as gs

        model = gs.Spherical(dim=2, var=4.0, len_scale=200.0)
        xs = np.arange(N_DOME) * 10.0
        return gs.SRF(model, seed=1).structured([xs, xs])

    yield Row(f"synth_dome_surface_flat noise {N_DOME}x{N_DOME}",
              lambda: zk.synth_dome_surface_flat(lat, 100.0, 1.5, 20.0, 4.0, vg, 1),
              {"gstools SRF randmeth (other method)": gstools_peer}, repeats=3,
              note=f"{N_DOME * N_DOME} nodes")

    big = zk.Lattice(0.0, 0.0, 5.0, 5.0, N_OUTLINE, N_OUTLINE)
    buf, _ = zk.synth_dome_surface_flat(big, 100.0, 1.5, 20.0, 0.0, vg, 1)
    z = np.frombuffer(buf, "<f8").reshape(N_OUTLINE, N_OUTLINE).copy()
    yield from outline_rows(f"{N_OUTLINE}x{N_OUTLINE} dome", z, big)
    noisy = z + np.random.default_rng(1).normal(scale=1.0, size=z.shape)  # ragged contour, many islands
    yield from outline_rows(f"{N_OUTLINE}x{N_OUTLINE} noisy dome", noisy, big)
