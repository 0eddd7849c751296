"""Run a seeded function over many seeds: the realisations of an ensemble.

    from zaviktools.ensemble import realisations
    fields = realisations(lambda s: zk.sgs_flat(coords, lattice, v, 16, 500.0, s), range(100))

Every seeded function of the toolkit is deterministic, so the results depend
only on the seeds, never on the executor: a thread pool, a
`concurrent.futures` executor or a `dask.distributed.Client` give the same
list, in seed order, as a serial loop. Threads scale with the cores because
the long computations release the interpreter lock.

A large ensemble need not be held whole: with `reducer=`, the results are
handed over one by one in seed order and dropped, and the reducer's result is
returned:

    maps = realisations(lambda s: zk.sgs_flat(coords, lattice, v, 16, 500.0, s), range(1000),
                        reducer=zk.ensemble_maps)
"""

from __future__ import annotations

import os
from concurrent.futures import Executor, ThreadPoolExecutor, wait, FIRST_COMPLETED, FIRST_EXCEPTION
from typing import Any, Callable, Iterable, Iterator, NoReturn, Optional, TypeVar, overload

__all__ = ["realisations"]

T = TypeVar("T")
R = TypeVar("R")

Progress = Callable[[int, int], object]


def _is_dask_client(executor: object) -> bool:
    return type(executor).__module__.split(".")[0] == "distributed" and hasattr(executor, "gather")


def _seeds(seeds: Iterable[int]) -> list[int]:
    out: list[int] = []
    for s in seeds:
        if isinstance(s, bool) or not hasattr(s, "__index__"):
            raise TypeError(f"realisations: seeds must be integers, got {type(s).__name__}")
        s = s.__index__()
        if not 0 <= s < 2**64:
            raise OverflowError(f"realisations: seed {s} is outside the unsigned 64-bit range")
        out.append(s)
    return out


def _raise_for_seed(exc: BaseException, seed: int) -> NoReturn:
    """Raise `exc` so that it names the seed it came from.

    An error whose type rebuilds from a message alone (ValueError,
    OverflowError, MemoryError, ...) is raised again as the same type with
    the seed in front of the message, chained from the original, so callers'
    `except ValueError` still apply. Others (extra attributes, a custom
    constructor, KeyboardInterrupt) are raised as they are with a note.
    """
    text = f"realisations: seed {seed} failed"
    if isinstance(exc, Exception) and len(exc.args) <= 1 and not vars(exc):
        message = f"{text}: {exc}" if str(exc) else text
        try:
            named = type(exc)(message)
        except Exception:
            named = None
        if named is not None and type(named) is type(exc) and named.args == (message,) and str(named) == message:
            raise named from exc
    exc.add_note(text)
    raise exc


def _run_futures(
    submit: Callable[..., Any], fn: Callable[[int], T], seeds: list[int], progress: Optional[Progress]
) -> list[T]:
    futures = [submit(fn, s) for s in seeds]
    index = {f: k for k, f in enumerate(futures)}
    done = 0
    pending = set(futures)
    try:
        while pending:
            finished, pending = wait(pending, return_when=FIRST_EXCEPTION)
            # Of several failures in one batch, report the earliest seed's.
            for f in sorted(finished, key=index.__getitem__):
                exc = f.exception()
                if exc is not None:
                    _raise_for_seed(exc, seeds[index[f]])
            done += len(finished)
            if progress is not None:
                progress(done, len(futures))
    finally:
        for f in pending:
            f.cancel()
    return [f.result() for f in futures]


def _run_dask(client: Any, fn: Callable[[int], T], seeds: list[int], progress: Optional[Progress]) -> list[T]:
    from distributed import as_completed, wait as wait_all

    # pure=False: one task per seed even if the same call was made before.
    futures = client.map(fn, seeds, pure=False)
    try:
        if progress is not None:
            for done, f in enumerate(as_completed(futures), start=1):
                if f.status == "error":
                    break
                progress(done, len(futures))
        try:
            gathered: list[T] = client.gather(futures)
        except Exception:
            # gather re-raises whichever task failed first in time; once every
            # task has ended, the earliest failed seed is the same in every run.
            wait_all(futures)
            for seed, f in zip(seeds, futures):
                if f.status == "error":
                    _raise_for_seed(f.exception(), seed)
            raise
        return gathered
    finally:
        for f in futures:
            f.release()


class _InOrder(Iterator[T]):
    """The results in seed order, each handed over once and then dropped.

    At most `window` tasks are submitted ahead of the one being waited for,
    so results that finish early wait in a bounded queue, never the whole
    ensemble. The first failed seed in seed order is raised, naming it: the
    same seed whatever the timing."""

    def __init__(self, backend: "_Backend", fn: Callable[[int], Any], seeds: list[int],
                 progress: Optional[Progress], window: int) -> None:
        self.backend, self.fn, self.seeds, self.progress = backend, fn, seeds, progress
        self.window = max(1, window)
        self.futures: dict[int, Any] = {}
        self.live: set[Any] = set()  # submitted, not yet seen finished
        self.next_submit = 0
        self.next_yield = 0
        self.done = 0

    def __length_hint__(self) -> int:
        return len(self.seeds) - self.next_yield

    def __iter__(self) -> "_InOrder[T]":
        return self

    def _count_finished(self) -> None:
        finished = [f for f in self.live if f.done()]
        if finished:
            self.live.difference_update(finished)
            self.done += len(finished)
            if self.progress is not None:
                self.progress(self.done, len(self.seeds))

    def __next__(self) -> T:
        k = self.next_yield
        if k >= len(self.seeds):
            raise StopIteration
        while self.next_submit < len(self.seeds) and self.next_submit - k < self.window:
            f = self.backend.submit(self.fn, self.seeds[self.next_submit])
            self.futures[self.next_submit] = f
            self.live.add(f)
            self.next_submit += 1
        f = self.futures.pop(k)
        while not f.done():
            self.backend.wait_first(self.live)
            self._count_finished()
        self._count_finished()
        self.next_yield = k + 1
        exc = self.backend.exception(f)
        if exc is not None:
            self.close()
            _raise_for_seed(exc, self.seeds[k])
        result: T = f.result()
        self.backend.release(f)
        return result

    def close(self) -> None:
        """Cancel what is still queued; used when the reducer stops or fails."""
        for f in self.futures.values():
            self.backend.cancel(f)
        self.futures.clear()
        self.live.clear()
        self.next_yield = len(self.seeds)


class _Backend:
    """Futures of a `concurrent.futures.Executor`."""

    def __init__(self, submit: Callable[..., Any]) -> None:
        self.submit = submit

    def wait_first(self, live: set[Any]) -> None:
        wait(live, return_when=FIRST_COMPLETED)

    def exception(self, f: Any) -> Optional[BaseException]:
        exc: Optional[BaseException] = f.exception()
        return exc

    def release(self, f: Any) -> None:
        pass

    def cancel(self, f: Any) -> None:
        f.cancel()


class _DaskBackend(_Backend):
    """Futures of a `dask.distributed.Client`; each is released once read."""

    def __init__(self, client: Any) -> None:
        # pure=False: one task per seed even if the same call was made before.
        super().__init__(lambda fn, seed: client.submit(fn, seed, pure=False))

    def wait_first(self, live: set[Any]) -> None:
        from distributed import wait as dask_wait

        dask_wait(list(live), return_when="FIRST_COMPLETED")

    def exception(self, f: Any) -> Optional[BaseException]:
        return f.exception() if f.status == "error" else None

    def release(self, f: Any) -> None:
        f.release()

    def cancel(self, f: Any) -> None:
        f.cancel()
        f.release()


def _reduce(stream: _InOrder[T], reducer: Callable[[Iterator[T]], R]) -> R:
    try:
        return reducer(stream)
    finally:
        stream.close()


def _window(workers: Optional[int]) -> int:
    # Two tasks per worker keep every worker busy while one result is reduced.
    return 2 * (workers or os.cpu_count() or 1)


@overload
def realisations(
    fn: Callable[[int], T],
    seeds: Iterable[int],
    executor: Optional[object] = None,
    progress: Optional[Progress] = None,
    max_workers: Optional[int] = None,
    *,
    reducer: None = None,
) -> list[T]: ...


@overload
def realisations(
    fn: Callable[[int], T],
    seeds: Iterable[int],
    executor: Optional[object] = None,
    progress: Optional[Progress] = None,
    max_workers: Optional[int] = None,
    *,
    reducer: Callable[[Iterator[T]], R],
) -> R: ...


def realisations(
    fn: Callable[[int], T],
    seeds: Iterable[int],
    executor: Optional[object] = None,
    progress: Optional[Progress] = None,
    max_workers: Optional[int] = None,
    *,
    reducer: Optional[Callable[[Iterator[Any]], Any]] = None,
) -> Any:
    """`[fn(seed) for seed in seeds]`, computed in parallel; results in seed order.

    - `executor=None`: a thread pool of `max_workers` threads (default: the
      number of cores), created for this call.
    - a `concurrent.futures.Executor` (thread or process pool): used as is.
    - a `dask.distributed.Client`: one task per seed on its cluster; `fn` and
      the values it captures (lattices, variograms, samplers, ...) are pickled
      to the workers.

    `progress(done, total)` is called as realisations finish. An exception
    raised by `fn` propagates, naming its seed: "realisations: seed 7
    failed: ..." as the same exception type chained from the original, or,
    for an exception that cannot be rebuilt from a message, the original with
    that note. The remaining work is cancelled. `max_workers` must be a
    positive integer or None.

    `reducer`: a callable taking an iterator over the results, in seed order,
    whose return value is returned instead of the list (`zk.ensemble_maps`,
    `functools.partial(zk.ensemble_maps, threshold=t)`, `sum`, ...). Each
    result is handed over as soon as it and those of the earlier seeds are
    done, and is dropped by `realisations` once handed over; at most two
    tasks per worker run ahead of the reducer, so memory stays bounded
    whatever the number of seeds. The reduction sees the same results in the
    same order on every executor, so it is as reproducible as the list. A
    failing seed is raised from inside the reducer's loop, named as above:
    the first failed seed in seed order.

        >>> realisations(lambda s: s * s, range(4), reducer=sum)
        14
    """
    if not callable(fn):
        raise TypeError("realisations: fn must be callable")
    if max_workers is not None:
        if isinstance(max_workers, bool) or not hasattr(max_workers, "__index__"):
            raise TypeError(f"realisations: max_workers must be a positive integer or None, not {type(max_workers).__name__}")
        if max_workers.__index__() < 1:
            raise ValueError(f"realisations: max_workers must be a positive integer or None, got {max_workers!r}")
    if reducer is not None and not callable(reducer):
        raise TypeError("realisations: reducer must be callable or None")
    seed_list = _seeds(seeds)
    if reducer is None and not seed_list:
        return []
    workers = max_workers.__index__() if max_workers is not None else None
    if executor is None:
        count = min(workers or os.cpu_count() or 1, max(1, len(seed_list)))
        with ThreadPoolExecutor(max_workers=count, thread_name_prefix="zk-real") as pool:
            if reducer is not None:
                return _reduce(_InOrder(_Backend(pool.submit), fn, seed_list, progress, 2 * count), reducer)
            return _run_futures(pool.submit, fn, seed_list, progress)
    if _is_dask_client(executor):
        if reducer is not None:
            threads = sum(executor.nthreads().values())  # type: ignore[attr-defined]
            return _reduce(_InOrder(_DaskBackend(executor), fn, seed_list, progress, _window(workers or threads)),
                           reducer)
        return _run_dask(executor, fn, seed_list, progress)
    if isinstance(executor, Executor):
        if reducer is not None:
            own = getattr(executor, "_max_workers", None)  # the pools of concurrent.futures know theirs
            return _reduce(_InOrder(_Backend(executor.submit), fn, seed_list, progress,
                                    _window(workers or (own if isinstance(own, int) else None))), reducer)
        return _run_futures(executor.submit, fn, seed_list, progress)
    raise TypeError(
        "realisations: executor must be None, a concurrent.futures.Executor or a "
        f"dask.distributed.Client, not {type(executor).__name__}"
    )
