"""Error model: core errors become ValueError with the displayed text; native
exceptions become PanicException / MemoryError and never reach the interpreter."""

import pytest

import zaviktools as zk


@pytest.mark.parametrize(
    "kind, payload, text",
    [
        ("EmptyInput", "", "empty input: stats: no data"),
        ("InvalidGeometry", "", "invalid geometry: lattice: bad"),
        ("InvalidArgument", "percentile: p must be in [0, 100]", "invalid argument: percentile: p must be in [0, 100]"),
        ("Io", "disk on fire", "I/O error: disk on fire"),
        ("Parse", "formula: unexpected ')'", "parse error: formula: unexpected ')'"),
        ("NotFound", "porosity", "not found: porosity"),
    ],
)
def test_every_kind_maps_to_value_error_with_its_text(hooks, kind, payload, text):
    with pytest.raises(ValueError) as info:
        hooks.raise_core_error(kind, payload)
    assert type(info.value) is ValueError
    assert info.value.args == (text,)
    assert info.value.__cause__ is None and info.value.__context__ is None


@pytest.mark.parametrize(
    "call, text",
    [
        (lambda: zk.mean([]), "empty input: stats: no data"),
        (lambda: zk.variance([]), "empty input: stats: no data"),
        (lambda: zk.std([]), "empty input: stats: no data"),
        (lambda: zk.median([]), "empty input: stats: no data"),
        (lambda: zk.percentile([], 50), "empty input: stats: no data"),
        (lambda: zk.percentile([], 500), "empty input: stats: no data"),
        (lambda: zk.percentile([1.0], 101), "invalid argument: percentile: p must be in [0, 100]"),
    ],
)
def test_core_errors_from_python_calls(call, text):
    with pytest.raises(ValueError) as info:
        call()
    assert type(info.value) is ValueError and info.value.args == (text,)


def panic_type(hooks):
    with pytest.raises(BaseException) as info:
        hooks.raise_panic("x")
    return type(info.value)


def test_panic_exception_is_a_base_exception_only(hooks):
    cls = panic_type(hooks)
    assert cls.__name__ == "PanicException"
    assert issubclass(cls, BaseException) and not issubclass(cls, Exception)


@pytest.mark.parametrize(
    "call, text",
    [
        (lambda h: h.raise_panic("index 7 out of range"), "index 7 out of range"),
        (lambda h: h.raise_panic_silent(), "native code panicked"),
        (lambda h: h.release_gil_and_panic(), "panicked without the lock"),
    ],
)
def test_native_exceptions_become_panics(hooks, call, text):
    cls = panic_type(hooks)
    with pytest.raises(cls) as info:
        try:
            call(hooks)
        except Exception:  # a panic must not be swallowed by `except Exception`
            pytest.fail("panic caught as Exception")
    assert str(info.value) == text


def test_allocation_failure_is_memory_error(hooks):
    with pytest.raises(MemoryError):
        hooks.raise_bad_alloc()


@pytest.mark.parametrize("payload", ["field: cannot allocate 3×4 nodes", "interp1d: cannot allocate 9 results"])
def test_a_core_allocation_failure_is_memory_error_with_its_text(hooks, payload):
    # The machine's memory, not the arguments: never a ValueError with a kind prefix.
    with pytest.raises(MemoryError) as info:
        hooks.raise_core_error("OutOfMemory", payload)
    assert type(info.value) is MemoryError and info.value.args == (payload,)


def test_interpreter_still_works_after_panic_without_lock(hooks):
    cls = panic_type(hooks)
    for _ in range(3):
        with pytest.raises(cls):
            hooks.release_gil_and_panic()
    assert zk.mean([1, 2, 3]) == 2.0
