"""evaluate_formula: a 10-line petrophysics block over 5 float64 properties of
10^6 values, against numexpr and plain numpy on the same arrays.

Ours returns lists, so each peer is also timed with `.tolist()` on its ten
outputs: that is the fair comparison for a caller who ends up with Python
floats either way. numexpr runs on its own thread pool; ours is one thread.
"""

import numpy as np

import zaviktools as zk

from .harness import Row

N = 10**6
PARAMS = {"gr_clean": 20.0, "gr_shale": 120.0, "rho_ma": 2.65, "rho_fl": 1.0, "a": 1.0, "rw": 0.05, "m": 2.0,
          "n": 2.0, "phi_cut": 0.08, "sw_cut": 0.7}

LINES = [
    "vsh = clip((gr - $gr_clean) / ($gr_shale - $gr_clean), 0, 1)",
    "phie = clip(($rho_ma - rhob) / ($rho_ma - $rho_fl) * (1 - vsh), 0.001, 0.45)",
    "sw = min(($a * $rw / (rt * phie ** $m)) ** (1 / $n), 1)",
    "bvw = phie * sw",
    "net = (phie >= $phi_cut) * (sw <= $sw_cut) * (vsh < 0.5)",
    "hcpv = area * h * phie * (1 - sw) * net",
    "perm = exp(10 * phie - 2) * (1 - vsh)",
    "lperm = log10(perm + 0.001)",
    "rq = sqrt(perm / max(phie, 0.01))",
    "flag = if(net, hcpv, 0)",
]


def numexpr_block(ne, p, props):
    d = dict(props)
    d.update(p)
    ev = lambda expr: ne.evaluate(expr, local_dict=d)  # noqa: E731
    d["t"] = ev("(gr - gr_clean) / (gr_shale - gr_clean)")
    d["vsh"] = ev("where(t < 0, 0, where(t > 1, 1, t))")
    d["t"] = ev("(rho_ma - rhob) / (rho_ma - rho_fl) * (1 - vsh)")
    d["phie"] = ev("where(t < 0.001, 0.001, where(t > 0.45, 0.45, t))")
    d["t"] = ev("(a * rw / (rt * phie ** m)) ** (1 / n)")
    d["sw"] = ev("where(t < 1, t, 1)")
    d["bvw"] = ev("phie * sw")
    d["net"] = ev("(phie >= phi_cut) * (sw <= sw_cut) * (vsh < 0.5) * 1.0")
    d["hcpv"] = ev("area * h * phie * (1 - sw) * net")
    d["perm"] = ev("exp(10 * phie - 2) * (1 - vsh)")
    d["lperm"] = ev("log10(perm + 0.001)")
    d["rq"] = ev("sqrt(perm / where(phie > 0.01, phie, 0.01))")
    d["flag"] = ev("where(net != 0, hcpv, 0)")
    return {k: d[k] for k in ("vsh", "phie", "sw", "bvw", "net", "hcpv", "perm", "lperm", "rq", "flag")}


def numpy_block(p, props):
    gr, rhob, rt, area, h = (props[k] for k in ("gr", "rhob", "rt", "area", "h"))
    out = {}
    out["vsh"] = vsh = np.clip((gr - p["gr_clean"]) / (p["gr_shale"] - p["gr_clean"]), 0, 1)
    out["phie"] = phie = np.clip((p["rho_ma"] - rhob) / (p["rho_ma"] - p["rho_fl"]) * (1 - vsh), 0.001, 0.45)
    out["sw"] = sw = np.minimum((p["a"] * p["rw"] / (rt * phie ** p["m"])) ** (1 / p["n"]), 1)
    out["bvw"] = phie * sw
    out["net"] = net = (phie >= p["phi_cut"]) * (sw <= p["sw_cut"]) * (vsh < 0.5) * 1.0
    out["hcpv"] = hcpv = area * h * phie * (1 - sw) * net
    out["perm"] = perm = np.exp(10 * phie - 2) * (1 - vsh)
    out["lperm"] = np.log10(perm + 0.001)
    out["rq"] = np.sqrt(perm / np.maximum(phie, 0.01))
    out["flag"] = np.where(net != 0, hcpv, 0)
    return out


def tolist(d):
    return {k: v.tolist() for k, v in d.items()}


def rows():
    rng = np.random.default_rng(3)
    props = {"gr": rng.uniform(10, 150, N), "rhob": rng.uniform(2.0, 2.7, N), "rt": rng.lognormal(1.0, 1.0, N),
             "area": rng.uniform(1e4, 1e6, N), "h": rng.uniform(0.1, 30, N)}
    peers = {"numpy": lambda: numpy_block(PARAMS, props),
             "numpy + tolist": lambda: tolist(numpy_block(PARAMS, props))}
    try:
        import numexpr as ne

        peers = {"numexpr": lambda: numexpr_block(ne, PARAMS, props),
                 "numexpr + tolist": lambda: tolist(numexpr_block(ne, PARAMS, props)), **peers}
    except ImportError:
        pass
    yield Row("evaluate_formula 10 lines, 5 props x 1e6", lambda: zk.evaluate_formula(LINES, props, PARAMS), peers,
              repeats=5, note="ours returns lists")
