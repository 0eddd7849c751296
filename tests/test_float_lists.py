"""Lists of floats built by the bindings (formula outputs, 1-D results, field
rows): a value met again shares the float made for it, and every value keeps
its bits -- signed zeros, NaNs and infinities included."""

import numpy as np
import pytest

import zaviktools as zk

SPECIALS = [0.0, -0.0, 1.0, 2.5, float("nan"), -float("inf")]


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.uint64)


@pytest.mark.parametrize("builder", ["formula", "interp1d", "field rows"])
def test_repeated_values_share_a_float_and_keep_their_bits(builder):
    rng = np.random.default_rng(5)
    n = 6000
    values = np.where(rng.random(n) < 0.7, rng.choice(SPECIALS, n), rng.normal(size=n))
    if builder == "formula":
        got, want = zk.evaluate_formula(["y = a"], {"a": values.tolist()})["y"], values
    elif builder == "interp1d":
        finite = np.where(np.isfinite(values), values, 1.0)
        x = np.arange(float(n))
        got = zk.interp1d(x.tolist(), finite.tolist(), (x[:-1] + 0.5).tolist(), "previous")
        want = finite[:-1]
    else:
        # Field rows against the flat crossing of the same call.
        lat = zk.Lattice(0.0, 0.0, 1.0, 1.0, 60, 100)
        field = values.reshape(60, 100)
        rows = zk.resample(field.tolist(), lat, lat, "nearest")
        got = [v for col in rows for v in col]
        want = np.frombuffer(zk.resample_flat(field.tobytes(), lat, lat, "nearest")[0])
    assert np.array_equal(bits(got), bits(want))
    ones = [v for v in got if v == 1.0]
    assert len(ones) > 600 and len({id(v) for v in ones}) < len(ones) // 10
