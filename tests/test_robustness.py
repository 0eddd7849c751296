"""Every public callable survives junk.

Each function, constructor, static constructor and method of the module is
called with generated junk, alone or mixed into a valid argument set. The only
outcomes allowed are a result made of plain values and module instances, or
TypeError, ValueError, OverflowError, MemoryError, or the caller's own
exception from a raising hook (RuntimeError only for an Rng borrow). The panic
class, SystemError, a crash or a hang are faults.

ZK_ROBUST_EXAMPLES scales the examples per callable (default 30)."""

import faulthandler
import os
import resource

import pytest
from hypothesis import HealthCheck, given, settings, strategies as st

import junk
import public_surface as ps
from zaviktools import _zaviktools as zk

EXAMPLES = int(os.environ.get("ZK_ROBUST_EXAMPLES", "30"))
# One example; far above any legitimate call here. The sanitizers slow a
# call 10-20x: a junk count the memory budget admits can take seconds in a
# plain build, minutes under them.
HANG_SECONDS = 600 if os.environ.get("ZK_UNDER_ASAN") else 120

ALLOWED = (TypeError, ValueError, OverflowError, MemoryError, junk.HookError)
BORROW_TEXTS = ("Already borrowed", "Already mutably borrowed")
MODULE_CLASSES = tuple(cls for _, cls in ps._module_classes())
PLAIN = (bool, int, float, str, bytes, type(None))

settings_ = settings(max_examples=EXAMPLES, database=None, deadline=None,
                     suppress_health_check=[HealthCheck.too_slow, HealthCheck.data_too_large,
                                            HealthCheck.filter_too_much])


@pytest.fixture(scope="module", autouse=True)
def memory_cap():
    # A junk size must never exhaust the machine: the address space may grow by
    # at most 1 GiB, so the memory budget refuses larger results at once and any
    # allocation past the cap fails. (The sanitizer's shadow memory needs no cap.)
    if os.environ.get("ZK_UNDER_ASAN"):
        yield
        return
    soft, hard = resource.getrlimit(resource.RLIMIT_AS)
    with open("/proc/self/statm") as f:
        cap = int(f.read().split()[0]) * resource.getpagesize() + 2**30
    for limit in (soft, hard):
        if limit != resource.RLIM_INFINITY:
            cap = min(cap, limit)
    resource.setrlimit(resource.RLIMIT_AS, (cap, hard))
    yield
    resource.setrlimit(resource.RLIMIT_AS, (soft, hard))


@pytest.fixture(autouse=True)
def hang_guard():
    # A hang is a fault: dump every thread's stack and end the run.
    faulthandler.dump_traceback_later(HANG_SECONDS, exit=True)
    yield
    faulthandler.cancel_dump_traceback_later()


def plain_result(value, depth=0):
    if depth > 6:
        return False
    if isinstance(value, PLAIN) or isinstance(value, MODULE_CLASSES):
        return True
    if isinstance(value, (list, tuple)):
        return all(plain_result(v, depth + 1) for v in value)
    if isinstance(value, dict):
        return all(isinstance(k, str) and plain_result(v, depth + 1) for k, v in value.items())
    return False


def holds_rng(values):
    return any(isinstance(v, zk.Rng) for v in values)


def check_outcome(entry, fn, args, kwargs):
    try:
        result = fn(*args, **kwargs)
    except ALLOWED as e:
        if type(e) in (TypeError, ValueError, OverflowError):
            assert e.args and all(isinstance(a, str) for a in e.args), repr(e)
        return
    except RuntimeError as e:
        if holds_rng(list(args) + list(kwargs.values())) and str(e) in BORROW_TEXTS:
            return
        raise AssertionError(f"{entry.name}: {type(e).__name__}: {e}") from e
    except BaseException as e:  # the panic class, SystemError, ...
        raise AssertionError(f"{entry.name}: {type(e).__module__}.{type(e).__name__}: {e}") from e
    assert plain_result(result), f"{entry.name} returned {type(result)}"
    repr(result)  # the reprs of returned instances run too


def arrange(params, values):
    """Positional or keyword placement, in a random but valid order."""
    return st.lists(st.booleans(), min_size=len(params), max_size=len(params)).map(
        lambda as_kw: _split(params, values, as_kw))


def _split(params, values, as_kw):
    args, kwargs, keyword_from_here = [], {}, False
    for p, v, kw in zip(params, values, as_kw):
        if v is _OMIT:
            keyword_from_here = True
            continue
        if kw or keyword_from_here:
            keyword_from_here = True
            kwargs[p.name] = v
        else:
            args.append(v)
    return args, kwargs


_OMIT = object()

ENTRIES = ps.PUBLIC
IDS = [e.name for e in ENTRIES]


def target_or_skip(entry):
    instance = ps.instance_for(entry)
    if entry.kind == "method" and instance is None:
        pytest.skip(f"no instance factory for {entry.owner.__name__} yet")
    return instance


@pytest.mark.parametrize("entry", ENTRIES, ids=IDS)
@settings_
@given(data=st.data())
def test_junk_arguments(entry, data):
    instance = target_or_skip(entry)
    fn = entry.target(instance)
    params = entry.parameters(instance)
    if params is None:  # no public constructor: any arguments at all
        check_outcome(entry, fn, data.draw(st.lists(junk.junk, max_size=3)), {})
        return
    values = [data.draw(junk.junk | st.just(_OMIT), label=p.name) for p in params]
    args, kwargs = data.draw(arrange(params, values))
    if data.draw(st.booleans(), label="extra"):
        extra = data.draw(st.sampled_from(["positional", "unknown keyword", "duplicate"]))
        if extra == "positional":
            args.append(data.draw(junk.scalars))
        elif extra == "unknown keyword":
            kwargs["no_such_parameter"] = 1
        elif params and args:
            kwargs[params[0].name] = args[0]
    check_outcome(entry, fn, args, kwargs)


@pytest.mark.parametrize("entry", ENTRIES, ids=IDS)
@settings_
@given(data=st.data())
def test_valid_arguments_with_junk_mixed_in(entry, data):
    if entry.name not in ps.VALID:
        pytest.skip(f"no valid argument set for {entry.name} yet")
    instance = target_or_skip(entry)
    fn = entry.target(instance)
    params = entry.parameters(instance) or []
    valid = ps.VALID[entry.name]()
    assert isinstance(valid, tuple) and len(valid) <= len(params)
    values = list(valid) + [_OMIT] * (len(params) - len(valid))
    # One or two arguments go bad; the rest stay valid so the call gets deep.
    for i in data.draw(st.lists(st.integers(0, max(len(values) - 1, 0)), min_size=1, max_size=2, unique=True)):
        if i < len(values) and values[i] is not _OMIT:
            values[i] = data.draw(junk.perturb(values[i]), label=params[i].name)
    args, kwargs = data.draw(arrange(params, values))
    check_outcome(entry, fn, args, kwargs)


@pytest.mark.parametrize("entry", ENTRIES, ids=IDS)
def test_valid_arguments_give_a_plain_result(entry):
    if entry.name not in ps.VALID:
        pytest.skip(f"no valid argument set for {entry.name} yet")
    instance = target_or_skip(entry)
    result = ps.call(entry, ps.VALID[entry.name](), instance)
    assert plain_result(result)


@pytest.mark.parametrize("entry", [e for e in ENTRIES if e.kind == "constructor"], ids=lambda e: e.name)
def test_every_instance_reprs_and_reads_its_attributes(entry):
    if entry.name not in ps.INSTANCES:
        pytest.skip(f"no instance factory for {entry.name} yet")
    obj = ps.INSTANCES[entry.name]()
    assert type(obj) is entry.owner
    assert isinstance(repr(obj), str)
    for attr, raw in vars(entry.owner).items():
        if type(raw).__name__ == "getset_descriptor" and not attr.startswith("_"):
            assert plain_result(getattr(obj, attr))


def test_every_name_is_enumerated():
    names = {e.name for e in ENTRIES}
    assert {"mean", "Lattice", "Lattice.node_xy", "Sampler.normal", "Clamped.sample_n", "Variogram.fit"} <= names
    assert all(e.kind in ("function", "constructor", "static", "method") for e in ENTRIES)
