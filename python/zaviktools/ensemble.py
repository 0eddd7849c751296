"""Run a seeded function over many seeds: the realisations of an ensemble.

    from zaviktools.ensemble import realisations
    fields = realisations(lambda s: zk.sgs_flat(coords, lattice, v, 16, 500.0, s), range(100))

Every seeded function of the toolkit is deterministic, so the results depend
only on the seeds, never on the executor: a thread pool, a
`concurrent.futures` executor or a `dask.distributed.Client` give the same
list, in seed order, as a serial loop. Threads scale with the cores because
the long computations release the interpreter lock.
"""

from __future__ import annotations

import os
from concurrent.futures import Executor, ThreadPoolExecutor, wait, FIRST_EXCEPTION
from typing import Any, Callable, Iterable, NoReturn, Optional, TypeVar

__all__ = ["realisations"]

T = TypeVar("T")

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


def realisations(
    fn: Callable[[int], T],
    seeds: Iterable[int],
    executor: Optional[object] = None,
    progress: Optional[Progress] = None,
    max_workers: Optional[int] = None,
) -> list[T]:
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
    """
    if not callable(fn):
        raise TypeError("realisations: fn must be callable")
    if max_workers is not None:
        if isinstance(max_workers, bool) or not hasattr(max_workers, "__index__"):
            raise TypeError(f"realisations: max_workers must be a positive integer or None, not {type(max_workers).__name__}")
        if max_workers.__index__() < 1:
            raise ValueError(f"realisations: max_workers must be a positive integer or None, got {max_workers!r}")
    seed_list = _seeds(seeds)
    if not seed_list:
        return []
    if executor is None:
        workers = max_workers.__index__() if max_workers is not None else os.cpu_count() or 1
        with ThreadPoolExecutor(max_workers=min(workers, len(seed_list)), thread_name_prefix="zk-real") as pool:
            return _run_futures(pool.submit, fn, seed_list, progress)
    if _is_dask_client(executor):
        return _run_dask(executor, fn, seed_list, progress)
    if isinstance(executor, Executor):
        return _run_futures(executor.submit, fn, seed_list, progress)
    raise TypeError(
        "realisations: executor must be None, a concurrent.futures.Executor or a "
        f"dask.distributed.Client, not {type(executor).__name__}"
    )
