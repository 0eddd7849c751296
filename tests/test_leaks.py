"""Repeated calls leak nothing: 10^4 calls of each callable on a valid input,
on a conversion failure and on a core error leave the interpreter's block
count and the process's resident size where they were."""

import gc
import os
import sys

import pytest

from public_surface import BY_NAME, CORE_ERROR, VALID, call, instance_for
from test_threads import RELEASING

CALLS = 10_000
# Under AddressSanitizer freed memory sits in quarantine and Python's allocator is
# plain malloc, so neither count means anything there: the calls still run (a
# use-after-free on an error path is reported), a few of each, without the counts.
UNDER_ASAN = bool(os.environ.get("ZK_UNDER_ASAN"))


def _rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4


def _cases():
    table = {**VALID, **RELEASING}
    for name in sorted(table):
        if name in BY_NAME:
            yield pytest.param(name, "valid", table[name], id=f"{name}-valid")
            yield pytest.param(name, "conversion", lambda: (object(),) * 8, id=f"{name}-conversion")
        if name in CORE_ERROR and name in BY_NAME:
            yield pytest.param(name, "core", CORE_ERROR[name], id=f"{name}-core")


def _once(entry, args, instance):
    try:
        call(entry, args, instance)
    except (TypeError, ValueError, OverflowError):
        pass


@pytest.mark.parametrize("name, kind, factory", list(_cases()))
def test_repeated_calls_do_not_grow(name, kind, factory):
    entry = BY_NAME[name]
    instance = instance_for(entry)
    if entry.kind == "method" and instance is None:
        pytest.skip(f"no instance factory for {entry.owner.__name__}")
    args = factory()
    heavy = name in RELEASING and kind == "valid"
    calls = CALLS // 20 if heavy else CALLS  # whole simulations: fewer, still thousands of nodes
    for _ in range(5 if UNDER_ASAN else 200):
        _once(entry, args, instance)
    if UNDER_ASAN:
        return
    gc.collect()
    blocks, rss = sys.getallocatedblocks(), _rss_kib()
    for _ in range(calls):
        _once(entry, args, instance)
    gc.collect()
    assert sys.getallocatedblocks() - blocks < 200
    assert _rss_kib() - rss < 4096, f"resident size grew by {_rss_kib() - rss} KiB over {calls} calls"
