"""The memory check of the Python study layer, worded as the compiled
module words its own: a size beyond any address space is a ValueError, one
beyond this machine's memory (or the process's RLIMIT_AS) a MemoryError,
both before anything is allocated."""

from __future__ import annotations

import os
import sys


def _amount(nbytes: int) -> str:
    return f"{nbytes / 1e9:.1f} GB" if nbytes >= 1e9 else f"{nbytes / 1e6:.0f} MB"


def _limit() -> tuple[int | None, bool]:
    try:
        limit: int | None = os.sysconf("SC_PHYS_PAGES") * os.sysconf("SC_PAGE_SIZE")
    except (OSError, ValueError, AttributeError):
        limit = None
    try:
        import resource

        soft = resource.getrlimit(resource.RLIMIT_AS)[0]
        if soft != resource.RLIM_INFINITY and (limit is None or soft < limit):
            return soft, True
    except (ImportError, OSError, ValueError):
        pass
    return limit, False


def fits(nbytes: int) -> bool:
    """Whether `nbytes` fit within this machine's (or process's) memory."""
    limit, _ = _limit()
    return nbytes <= sys.maxsize and (limit is None or nbytes <= limit)


def check(what: str, nbytes: int, advice: str = "") -> None:
    """Refuse `nbytes` of result and working storage that cannot be held."""
    if nbytes > sys.maxsize:
        raise ValueError(f"{what}: needs {nbytes} bytes, beyond any address space")
    limit, capped = _limit()
    if limit is not None and nbytes > limit:
        where = (f"this process's address-space limit of {_amount(limit)}" if capped
                 else f"this machine's {_amount(limit)} of physical memory")
        raise MemoryError(f"{what}: needs about {_amount(nbytes)} of memory for its result and working storage, "
                          f"more than {where}{advice}")
