"""Kriging and ensemble maps on a Dask cluster, the same bits as one call.

- `krige_grid` builds the estimate and variance of a whole lattice as two
  `dask.array` arrays, one kriging task per tile. Each tile is one native
  call over a window of the whole lattice (`_study.krige_grid_window`), so
  every node holds exactly the bits of `zaviktools.krige_grid`. The data go
  to the workers once; the tiles never pass through the client on their way
  to Zarr (`estimate.to_zarr(...)`).
- `ensemble_maps` computes the realisations on the workers and reduces them
  there: the client receives the maps and the per-realisation scalars, never
  the ensemble.

Needs the optional dependencies: ``pip install "zaviktools[dask]"``.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Callable, Iterable, Mapping, Sequence

import numpy as np

try:
    import dask
    import dask.array as da
    from dask.array.core import normalize_chunks
except ImportError as exc:  # pragma: no cover - exercised in a subprocess
    raise ImportError(
        'zaviktools.dask needs Dask: install the optional dependencies with pip install "zaviktools[dask]"'
    ) from exc

from . import _arrays, _study, ensemble, maps
from ._zaviktools import AnisotropicVariogram, Lattice, Variogram

__all__ = ["ClusterEnsembleMaps", "ensemble_maps", "krige_grid"]

_DEFAULT_TILE = 1024  # nodes per tile side: 8 MiB per tile and field


def _krige_tile(data: Any, lattice: Lattice, variogram: Variogram | AnisotropicVariogram, max_neighbours: int,
                radius: float, window: tuple[int, int, int, int], threads: int | None) -> tuple[Any, Any]:
    estimate, variance, shape = _study.krige_grid_window(data, lattice, variogram, max_neighbours, radius,
                                                         *window, threads=threads)
    return _arrays.from_f64(estimate, shape), _arrays.from_f64(variance, shape)


def _client(client: Any) -> Any:
    if client is not None:
        if not ensemble._is_dask_client(client):
            raise TypeError(f"krige_grid: client must be a dask.distributed.Client or None, "
                            f"not {type(client).__name__}")
        return client
    try:
        from distributed import default_client
        return default_client()
    except (ImportError, ValueError):  # no distributed, or no client running
        return None


def krige_grid(
    coords: Any,
    lattice: Lattice,
    variogram: Variogram | AnisotropicVariogram,
    max_neighbours: int,
    radius: float,
    chunks: Any = _DEFAULT_TILE,
    *,
    client: Any = None,
    threads: int | None = 1,
) -> tuple[Any, Any]:
    """`zaviktools.krige_grid` as two `dask.array` arrays `(estimate, variance)`
    of shape `(ncol, nrow)`, one kriging task per tile.

    `chunks`: the tile sizes in any form `dask.array` accepts for a 2-D
    float64 array (an int, a `(cols, rows)` pair, explicit block sizes per
    axis); tiles need not divide the lattice. Every node equals the
    whole-lattice call bit for bit, whatever the tiling, rotation or flip.

    The data are sent to the workers once: scattered to every worker of
    `client` (default: the current `dask.distributed` client, if any), or,
    without one, held as a single key of the graph (scattered data live on
    that client's cluster: compute the arrays there). `threads`: native worker
    threads per tile (default 1, since Dask runs the tiles in parallel;
    None: the configured count). Bad arguments raise here, with the texts of
    `zaviktools.krige_grid`, before anything is computed.

    Write both fields to Zarr from the workers in one pass over the tiles:

        >>> est, var = krige_grid(coords, lat, v, 16, 500.0, chunks=1000)
        >>> dask.compute(est.to_zarr("est.zarr", compute=False), var.to_zarr("var.zarr", compute=False))
    """
    data = _arrays.rows(coords, 3, "coords")
    # The empty window runs every check of the whole-lattice call, and nothing else.
    _study.krige_grid_window(data, lattice, variogram, max_neighbours, radius, 0, 0, 0, 0)
    if threads is not None and (isinstance(threads, bool) or not hasattr(threads, "__index__")
                                or threads.__index__() < 1):
        raise ValueError(f"krige_grid: threads must be a positive integer or None, got {threads!r}")
    shape = (lattice.ncol, lattice.nrow)
    col_chunks, row_chunks = normalize_chunks(chunks, shape=shape, dtype=np.float64)
    active = _client(client)
    data_ref = active.scatter(data, broadcast=True, hash=False) if active is not None else dask.delayed(data)
    tile = dask.delayed(_krige_tile, pure=True, nout=2)
    token = dask.base.tokenize(data, lattice, variogram, max_neighbours, radius)
    est_blocks: list[list[Any]] = []
    var_blocks: list[list[Any]] = []
    c0 = 0
    for nc in col_chunks:
        est_row, var_row = [], []
        r0 = 0
        for nr in row_chunks:
            window = (c0, c0 + nc, r0, r0 + nr)
            est, var = tile(data_ref, lattice, variogram, max_neighbours, radius, window, threads,
                            dask_key_name=f"krige-tile-{token}-{c0}-{r0}")
            est_row.append(da.from_delayed(est, (nc, nr), dtype=np.float64))
            var_row.append(da.from_delayed(var, (nc, nr), dtype=np.float64))
            r0 += nr
        est_blocks.append(est_row)
        var_blocks.append(var_row)
        c0 += nc
    return da.block(est_blocks), da.block(var_blocks)


@dataclass(frozen=True, eq=False, repr=False)
class ClusterEnsembleMaps(maps.EnsembleMaps):
    """The maps of `zaviktools.ensemble_maps`, with the per-realisation
    scalars: `scalars[name]` holds one float per realisation, in seed order."""

    scalars: Mapping[str, Any]

    def __repr__(self) -> str:
        return super().__repr__()[:-1] + f", scalars={list(self.scalars)})"


class _Failed:
    """A realisation that `ensemble_maps` itself refuses (not a failed seed)."""

    def __init__(self, exc: BaseException) -> None:
        self.exc = exc


def _bounds(nodes: int, tiles: int) -> list[int]:
    return [nodes * t // tiles for t in range(tiles + 1)]


def _realise(fn: Callable[[int], Any], seed: int, k: int, tiles: int,
             scalars: Mapping[str, Callable[[Any], float]]) -> tuple[Any, ...]:
    """Realisation `k`: its shape, its scalars and its nodes in `tiles` runs
    (copies, so the whole field is dropped here)."""
    obj = fn(seed)
    try:
        field = maps._as_field(obj, k)
    except (TypeError, ValueError) as exc:
        return (_Failed(exc),) + (None,) * tiles
    values = tuple(float(f(field)) for f in scalars.values())
    flat = field.reshape(-1)
    b = _bounds(flat.size, tiles)
    return ((tuple(field.shape), values),) + tuple(flat[b[t]:b[t + 1]].copy() for t in range(tiles))


def _reduce_tile(pieces: Sequence[Any], labels: list[float], threshold: float | None) -> maps.EnsembleMaps:
    # The serial reduction itself over the tile's nodes, in seed order:
    # every per-node statistic depends on that node's values alone.
    return maps.ensemble_maps((p.reshape(-1, 1) for p in pieces), labels, threshold)


def ensemble_maps(
    fn: Callable[[int], Any],
    seeds: Iterable[int],
    client: Any,
    percentiles: Iterable[float] = (90, 50, 10),
    threshold: float | None = None,
    *,
    scalars: Mapping[str, Callable[[Any], float]] | None = None,
    tiles: int | None = None,
) -> ClusterEnsembleMaps:
    """`zaviktools.ensemble_maps` of `fn(seed)` for `seeds`, computed and reduced
    on the workers of `client` (a `dask.distributed.Client`).

    Each realisation is computed by one task and cut into `tiles` runs of
    nodes (default: two per worker thread); per run, one task gathers that
    run's values of every realisation, in seed order, and reduces them with
    the serial `ensemble_maps`. So the maps (E-type `mean`, `std`, `p_maps`
    under "P90 = low", `exceedance` above `threshold`) are those of the
    serial reduction bit for bit, while the client receives only the maps
    and, for each `scalars` entry `name: f`, the value `f(field)` of every
    realisation (a float64 array in seed order, e.g. a GRV per realisation).
    The P-maps need every value of a node: the ensemble is held on the
    workers, spread over them, never on the client.

    A failing `fn` or scalar raises as in `realisations`, naming the first
    failed seed in seed order ("realisations: seed 7 failed: ..."); fields
    of differing shapes and the argument errors raise as in the serial call.
    """
    if not ensemble._is_dask_client(client):
        raise TypeError(f"ensemble_maps: client must be a dask.distributed.Client, not {type(client).__name__}")
    if not callable(fn):
        raise TypeError("ensemble_maps: fn must be callable")
    labels = maps._labels(percentiles)
    limit = maps._threshold(threshold)
    named = dict(scalars or {})
    for name, f in named.items():
        if not isinstance(name, str) or not callable(f):
            raise TypeError("ensemble_maps: scalars must map names to callables of a field, "
                            f"got {name!r}: {type(f).__name__}")
    seed_list = ensemble._seeds(seeds)
    if not seed_list:
        raise ValueError("ensemble_maps: no realisations")
    if tiles is None:
        tiles = 2 * max(1, sum(client.nthreads().values()))
    elif isinstance(tiles, bool) or not hasattr(tiles, "__index__") or tiles.__index__() < 1:
        raise ValueError(f"ensemble_maps: tiles must be a positive integer or None, got {tiles!r}")
    tiles = tiles.__index__()
    from distributed import wait

    # One graph, submitted at once: per seed a realisation cut into its runs
    # (pure=False: a task per seed even if the same call was made before),
    # per run a reduction over that run of every realisation in seed order.
    real = [dask.delayed(_realise, pure=False, nout=tiles + 1)(fn, s, k, tiles, named)
            for k, s in enumerate(seed_list)]
    reduce = dask.delayed(_reduce_tile, pure=False)
    futures = client.compute([r[0] for r in real] + [reduce([r[1 + t] for r in real], labels, limit)
                                                     for t in range(tiles)])
    heads, reduced = futures[:len(real)], futures[len(real):]
    del real, futures
    try:
        wait(heads)
        for seed, f in zip(seed_list, heads):
            if f.status == "error":
                ensemble._raise_for_seed(f.exception(), seed)
        meta = client.gather(heads)
        for head in meta:
            if isinstance(head, _Failed):
                raise head.exc
        shape = meta[0][0]
        for k, (s, _) in enumerate(meta):
            if s != shape:
                raise ValueError(f"ensemble_maps: realisation {k} has shape {s}, expected {shape} like realisation 0")
        parts: list[maps.EnsembleMaps] = client.gather(reduced)
    finally:
        for f in heads + reduced:
            f.cancel()
    return _assemble(parts, shape, labels, limit, len(seed_list),
                     {name: np.array([m[1][i] for m in meta]) for i, name in enumerate(named)})


def _assemble(parts: list[maps.EnsembleMaps], shape: tuple[int, int], labels: list[float], threshold: float | None,
              count: int, scalars: dict[str, Any]) -> ClusterEnsembleMaps:
    def whole(get: Callable[[maps.EnsembleMaps], Any]) -> Any:
        out = np.concatenate([get(p).reshape(-1) for p in parts]) if parts else np.empty(0)
        return out.reshape(shape)

    return ClusterEnsembleMaps(
        count=count,
        mean=whole(lambda p: p.mean),
        std=whole(lambda p: p.std),
        p_maps={label: whole(lambda p, label=label: p.p_maps[label]) for label in labels},
        threshold=threshold,
        exceedance=None if threshold is None else whole(lambda p: p.exceedance),
        scalars=scalars,
    )

