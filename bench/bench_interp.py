"""interp1d: 10^4 knots, 10^6 random queries, flat float64 arrays on both sides.

Ours returns a Python list (the interface has no array type), so each numpy /
scipy peer is also timed with `.tolist()` on its result: that is the fair
comparison for a caller who ends up with Python floats either way.
"""

import numpy as np
from scipy.interpolate import CubicSpline
from scipy.interpolate import interp1d as sp_interp1d

import zaviktools as zk

from .harness import Row


def rows():
    rng = np.random.default_rng(1)
    x = np.cumsum(rng.uniform(0.5, 1.5, 10**4))
    y = rng.normal(size=10**4)
    q = rng.uniform(x[0], x[-1], 10**6)

    yield Row("interp1d linear 1e4 knots 1e6 queries", lambda: zk.interp1d(x, y, q),
              {"numpy.interp": lambda: np.interp(q, x, y),
               "numpy.interp + tolist": lambda: np.interp(q, x, y).tolist()}, repeats=5)
    qs = np.sort(q)
    yield Row("interp1d linear 1e4 knots 1e6 sorted queries", lambda: zk.interp1d(x, y, qs),
              {"numpy.interp": lambda: np.interp(qs, x, y),
               "numpy.interp + tolist": lambda: np.interp(qs, x, y).tolist()}, repeats=5,
              note="list output dominates ours")
    yield Row("interp1d cubic 1e4 knots 1e6 queries", lambda: zk.interp1d(x, y, q, "cubic"),
              {"CubicSpline(natural) build+eval": lambda: CubicSpline(x, y, bc_type="natural")(q),
               "CubicSpline(natural) + tolist": lambda: CubicSpline(x, y, bc_type="natural")(q).tolist()},
              repeats=5)
    for kind in ("nearest", "previous", "next"):
        yield Row(f"interp1d {kind} 1e4 knots 1e6 queries", lambda kind=kind: zk.interp1d(x, y, q, kind),
                  {f"scipy interp1d({kind})": lambda kind=kind: sp_interp1d(x, y, kind=kind)(q),
                   f"scipy interp1d({kind}) + tolist": lambda kind=kind: sp_interp1d(x, y, kind=kind)(q).tolist()},
                  repeats=5)
