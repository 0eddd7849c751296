"""Per-node maps of an ensemble of realisations: E-type mean, standard
deviation, P-maps under the "P90 = low" convention and the probability of
exceeding a threshold, streamed one realisation at a time."""

from __future__ import annotations

import math
import operator
from dataclasses import dataclass
from typing import Any, Iterable, Mapping, Sequence, TypeAlias, Union

import numpy as np
import numpy.typing as npt

from . import _budget

__all__ = ["EnsembleMaps", "ensemble_maps"]

FloatArray: TypeAlias = npt.NDArray[np.float64]
#: A realisation: an `(ncol, nrow)` array (or nested lists `field[col][row]`),
#: or the `(field_bytes, (ncol, nrow))` result of a `_flat` function.
Field: TypeAlias = Union[npt.NDArray[Any], tuple[bytes, tuple[int, int]], Sequence[Sequence[float]]]

_CHUNK_BYTES = 16 << 20  # the held values grow by chunks of at most this size
_TILE_BYTES = 8 << 20  # one tile of (node, realisation) values sorted at a time


@dataclass(frozen=True, eq=False, repr=False)
class EnsembleMaps:
    """Per-node digest of `count` realisations, each map of shape `(ncol, nrow)`.

    - `mean`: the E-type map, the running mean of each node's values in
      realisation order (`zk.mean` of the node's values, to the bit).
    - `std`: the unbiased standard deviation (`zk.std`, to the bit; 0 for one
      realisation).
    - `p_maps`: one map per requested label under the oil-industry "P90 = low"
      convention of `reservoir_summary`: `p_maps[90]` is the type-7 10th
      percentile of each node's values, `p_maps[10]` the 90th; label `L`
      gives the percentile `100 - L`.
    - `exceedance`: the fraction of realisations strictly greater than
      `threshold` (None without a threshold).

    A node that is NaN in any realisation is NaN in every map.
    """

    count: int
    mean: FloatArray
    std: FloatArray
    p_maps: Mapping[float, FloatArray]
    threshold: float | None
    exceedance: FloatArray | None

    @property
    def shape(self) -> tuple[int, int]:
        """`(ncol, nrow)` of every map."""
        return (int(self.mean.shape[0]), int(self.mean.shape[1]))

    def __repr__(self) -> str:
        labels = ", ".join(_label(p) for p in self.p_maps)
        return (f"EnsembleMaps(count={self.count}, shape={self.shape}, p_maps=[{labels}], "
                f"threshold={self.threshold!r})")


def _label(p: float) -> str:
    return str(int(p)) if float(p).is_integer() else repr(float(p))


def _labels(percentiles: Iterable[float]) -> list[float]:
    if isinstance(percentiles, (str, bytes)) or not isinstance(percentiles, Iterable):
        raise TypeError("ensemble_maps: percentiles must be a sequence of numbers, e.g. (90, 50, 10)")
    out: list[float] = []
    for p in percentiles:
        if isinstance(p, bool) or not isinstance(p, (int, float, np.integer, np.floating)):
            raise TypeError(f"ensemble_maps: percentiles must be numbers, got {type(p).__name__}")
        if not 0.0 <= float(p) <= 100.0:
            raise ValueError(f"ensemble_maps: percentile labels must be in [0, 100], got {float(p)!r}")
        if p not in out:
            out.append(p)
    return out


def _threshold(threshold: float | None) -> float | None:
    if threshold is None:
        return None
    if isinstance(threshold, bool) or not isinstance(threshold, (int, float, np.integer, np.floating)):
        raise TypeError(f"ensemble_maps: threshold must be a number or None, not {type(threshold).__name__}")
    if math.isnan(threshold):
        raise ValueError("ensemble_maps: threshold must not be NaN")
    return float(threshold)


def _as_field(obj: object, k: int) -> FloatArray:
    """Realisation `k` as a float64 `(ncol, nrow)` array (a view when possible)."""
    if isinstance(obj, tuple) and obj and isinstance(obj[0], (bytes, bytearray, memoryview)):
        if len(obj) != 2:
            raise ValueError(
                f"ensemble_maps: realisation {k} is a flat result with {len(obj) - 1} fields; "
                "pass one field, (field_bytes, (ncol, nrow))"
            )
        buf, shape = obj
        if not (isinstance(shape, tuple) and len(shape) == 2 and all(isinstance(n, int) and n >= 0 for n in shape)):
            raise ValueError(f"ensemble_maps: realisation {k} has the shape {shape!r}; expected (ncol, nrow)")
        ncol, nrow = shape
        nbytes = memoryview(buf).nbytes
        if nbytes != 8 * ncol * nrow:
            raise ValueError(
                f"ensemble_maps: realisation {k} is {nbytes} bytes, expected {ncol}\u00d7{nrow}\u00d78 = "
                f"{8 * ncol * nrow} (little-endian f64, field[col][row])"
            )
        return np.frombuffer(buf, dtype="<f8").reshape(ncol, nrow)
    arr = np.asarray(obj)
    if arr.dtype.kind not in "fiu":
        raise TypeError(f"ensemble_maps: realisation {k} holds {arr.dtype}, not real numbers")
    if arr.ndim != 2:
        raise ValueError(f"ensemble_maps: realisation {k} has shape {arr.shape}; expected a 2-D (ncol, nrow) grid")
    return arr.astype(np.float64, copy=False)


class _Accumulator:
    """Running per-node statistics, and every value per node for the P-maps.

    The mean is the running form `m += (x - m) / k` and the variance the
    single-pass sum form of the reference statistics, each node on its own,
    so the maps equal `zk.mean` / `zk.std` of the node's values bit for bit.
    The values for the percentiles are held in float64 chunks of rows (one
    row per realisation), sized to the expected count when it is known."""

    def __init__(self, labels: list[float], threshold: float | None, expected: int) -> None:
        self.labels = labels
        self.threshold = threshold
        self.expected = expected
        self.count = 0
        self.shape: tuple[int, int] = (0, 0)
        self.chunks: list[FloatArray] = []
        self.used = 0  # rows filled in the last chunk

    def _start(self, x: FloatArray) -> None:
        self.shape = (int(x.shape[0]), int(x.shape[1]))
        n = x.size
        self.m = np.zeros(n)
        self.sum = np.zeros(n)
        self.acc = np.zeros(n)
        self.tmp = np.empty(n)
        self.nan = np.zeros(n, dtype=bool) if (self.labels or self.threshold is not None) else None
        self.above = np.zeros(n, dtype=np.int64) if self.threshold is not None else None

    def _hold(self, x: FloatArray) -> None:
        nodes = x.size
        if not self.chunks or self.used == self.chunks[-1].shape[0]:
            # Unknown count: each chunk as large as what is held (at most
            # _CHUNK_BYTES), so the slack stays below both.
            rows = max(1, min(self.count, _CHUNK_BYTES // max(1, 8 * nodes)))
            # The expected count sizes the first buffer unless it is only a
            # hint no machine could honour; then the values grow by chunks.
            if not self.chunks and self.expected > 0 and _budget.fits(8 * nodes * self.expected):
                rows = self.expected
            _budget.check(
                f"ensemble_maps: holding {self.count + rows} realisations of "
                f"{self.shape[0]}\u00d7{self.shape[1]} nodes for the P-maps",
                8 * nodes * (self.count + rows),
                "; pass percentiles=() for the mean, std and exceedance maps alone",
            )
            self.chunks.append(np.empty((rows, nodes)))
            self.used = 0
        self.chunks[-1][self.used] = x
        self.used += 1

    def add(self, obj: object) -> None:
        x2 = _as_field(obj, self.count)
        if self.count == 0:
            self._start(x2)
        elif x2.shape != self.shape:
            raise ValueError(
                f"ensemble_maps: realisation {self.count} has shape {tuple(x2.shape)}, "
                f"expected {self.shape} like realisation 0"
            )
        x = x2.reshape(-1)
        if self.labels:
            self._hold(x)
        self.count += 1
        k = float(self.count)
        m, tmp = self.m, self.tmp
        np.subtract(x, m, out=tmp)
        np.divide(tmp, k, out=tmp)
        np.add(m, tmp, out=m)
        if self.count == 1:
            self.sum[:] = x
        else:
            # sum += x; d = k·x − sum; acc += d·d / (k·(k − 1))
            np.add(self.sum, x, out=self.sum)
            np.multiply(x, k, out=tmp)
            np.subtract(tmp, self.sum, out=tmp)
            np.multiply(tmp, tmp, out=tmp)
            np.divide(tmp, k * (k - 1.0), out=tmp)
            np.add(self.acc, tmp, out=self.acc)
        if self.nan is not None:
            self.nan |= np.isnan(x)
        if self.above is not None and self.threshold is not None:
            self.above += x > self.threshold

    def _percentile_maps(self) -> dict[float, FloatArray]:
        n, nodes = self.count, self.m.size
        plan = []
        for label in self.labels:
            h = float(n - 1) * ((100.0 - float(label)) / 100.0)
            lo = int(math.floor(h))
            plan.append((label, h, lo))
        out = {label: np.empty(nodes) for label in self.labels}
        tile = max(1, _TILE_BYTES // (8 * n))
        block_all = np.empty((min(tile, nodes), n))
        for t0 in range(0, nodes, tile):
            t1 = min(nodes, t0 + tile)
            block = block_all[: t1 - t0]
            col = 0
            for c, chunk in enumerate(self.chunks):
                rows = self.used if c == len(self.chunks) - 1 else chunk.shape[0]
                block[:, col:col + rows] = chunk[:rows, t0:t1].T
                col += rows
            # Every sort puts the same bits at each rank, unless -0.0 and 0.0
            # meet: those nodes are sorted stably, in realisation order. (NaN
            # nodes are NaN in every map whatever their order.) numpy's
            # default sort is vectorised and beats a selection of the ranks.
            zero = block == 0.0
            stable = None
            if zero.any():
                zero &= np.signbit(block)
                zero_neg = np.flatnonzero(zero.any(axis=1))
                stable = np.sort(block[zero_neg], axis=1, kind="stable") if zero_neg.size else None
            del zero
            block.sort(axis=1)
            if stable is not None:
                block[zero_neg] = stable
            for label, h, lo in plan:
                dest = out[label][t0:t1]
                if lo + 1 < n:
                    np.subtract(block[:, lo + 1], block[:, lo], out=dest)
                    np.multiply(dest, h - float(lo), out=dest)
                    np.add(dest, block[:, lo], out=dest)
                else:
                    dest[:] = block[:, lo]
        return out

    def result(self) -> EnsembleMaps:
        if self.count == 0:
            raise ValueError("ensemble_maps: no realisations")
        n = float(self.count)
        if self.count == 1:
            std = np.zeros_like(self.acc)
            std[np.isnan(self.m)] = np.nan  # a NaN node stays NaN even alone
        else:
            std = np.sqrt(self.acc / (n - 1.0))
        p_maps = self._percentile_maps() if self.labels else {}
        self.chunks = []
        exceedance = None
        if self.above is not None:
            exceedance = self.above / n
        if self.nan is not None and self.nan.any():
            for arr in (self.m, std, *p_maps.values(), *([exceedance] if exceedance is not None else [])):
                arr[self.nan] = np.nan
        shape = self.shape
        return EnsembleMaps(
            count=self.count,
            mean=self.m.reshape(shape),
            std=std.reshape(shape),
            p_maps={label: arr.reshape(shape) for label, arr in p_maps.items()},
            threshold=self.threshold,
            exceedance=None if exceedance is None else exceedance.reshape(shape),
        )


def ensemble_maps(
    fields: Iterable[Field],
    percentiles: Iterable[float] = (90, 50, 10),
    threshold: float | None = None,
) -> EnsembleMaps:
    """Per-node maps of the realisations in `fields`, read once, in order.

    Each realisation is an `(ncol, nrow)` array (any real dtype), nested
    lists `field[col][row]`, or the `(field_bytes, (ncol, nrow))` result of
    a `_flat` function such as `sgs_flat`; all must have the same shape.
    Returns an `EnsembleMaps` with the E-type `mean`, the unbiased `std`,
    `p_maps[L]` for every label `L` of `percentiles` (P90 = low: the type-7
    percentile `100 - L` of the node's values, as `reservoir_summary`
    computes it) and, with a `threshold`, the `exceedance` map: the fraction
    of realisations strictly greater than it.

    Mean and std stream: one realisation is in memory at a time. The P-maps
    need every value of a node, so they hold `count × ncol × nrow` float64
    values (one buffer when `len(fields)` or its length hint is known,
    growing chunks of at most 16 MiB otherwise) and sort them a tile of nodes at a time;
    `percentiles=()` holds nothing. A node that is NaN in any realisation
    (outside a kriging radius, say) is NaN in every map; other nodes are not
    affected. Errors: `ValueError` for no realisations, a shape differing
    from the first realisation's (named by its index), labels outside
    [0, 100] or a NaN threshold; `TypeError` for non-numeric input.

        >>> maps = ensemble_maps(zk.sgs_flat(coords, lat, v, 16, 500.0, s) for s in range(100))
        >>> maps.p_maps[90].shape == maps.mean.shape == (lat.ncol, lat.nrow)
        True
        >>> ensemble_maps([np.full((2, 2), 1.0), np.full((2, 2), 3.0)], (50,), threshold=2.0).exceedance
        array([[0.5, 0.5],
               [0.5, 0.5]])
    """
    labels = _labels(percentiles)
    acc = _Accumulator(labels, _threshold(threshold), operator.length_hint(fields, 0))
    for obj in fields:
        acc.add(obj)
    return acc.result()
