"""A literal pure-Python marching-squares contour and ring assembly: segments
cell by cell (columns outer), vertices merged by micro-unit keys, chains walked
through each vertex's earliest unused neighbour, the strictly largest closed
ring kept."""

import math

TINY = 2.2250738585072014e-308
I64 = 2**63


def round_half_away(v):
    a = abs(v)
    f = math.floor(a)
    r = f + 1 if a - f >= 0.5 else f
    return math.copysign(r, v)


def key_coordinate(c):
    r = round_half_away(c * 1e6)
    if math.isnan(r):
        return 0
    if r >= I64:
        return I64 - 1
    if r <= -I64:
        return -I64
    return int(r)


def crossing(p, zp, q, zq, level):
    dz = zq - zp
    t = 0.5 if abs(dz) < TINY else (level - zp) / dz
    return (p[0] + t * (q[0] - p[0]), p[1] + t * (q[1] - p[1]))


# Edge pairs (from, to) per case: B bottom v->u, R right u->e, T top e->w, F left w->v.
CASES = {1: ["FB"], 14: ["FB"], 2: ["BR"], 13: ["BR"], 3: ["FR"], 12: ["FR"], 4: ["RT"], 11: ["RT"],
         5: ["FB", "RT"], 6: ["BT"], 9: ["BT"], 7: ["TF"], 8: ["TF"], 10: ["BR", "TF"]}


def segments(z, lattice, level):
    out = []
    for i in range(lattice.ncol - 1):
        for j in range(lattice.nrow - 1):
            corners = [(i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1)]
            vals = [z[c][r] for c, r in corners]
            if any(math.isnan(v) for v in vals):
                continue
            code = sum(1 << k for k, v in enumerate(vals) if v > level)
            if code in (0, 15):
                continue
            pos = [lattice.node_xy(c, r) for c, r in corners]
            edge = {"B": (0, 1), "R": (1, 2), "T": (2, 3), "F": (3, 0)}

            def point(name):
                a, b = edge[name]
                return crossing(pos[a], vals[a], pos[b], vals[b], level)

            for pair in CASES[code]:
                out.append((point(pair[0]), point(pair[1])))
    return out


def largest_ring(segs):
    index, points, nbrs = {}, [], []

    def vertex(p):
        k = (key_coordinate(p[0]), key_coordinate(p[1]))
        if k not in index:
            index[k] = len(points)
            points.append(p)
            nbrs.append([])
        return index[k]

    ends = []
    for s, (p, q) in enumerate(segs):
        a = vertex(p)
        b = vertex(q)
        nbrs[a].append((b, s))
        nbrs[b].append((a, s))
        ends.append((a, b))
    used = [False] * len(segs)
    best, best_area = [], 0.0
    for s in range(len(segs)):
        if used[s]:
            continue
        used[s] = True
        a, cur = ends[s]
        chain = [points[a], points[cur]]
        closed = False
        while True:
            nxt = next(((o, t) for o, t in nbrs[cur] if not used[t]), None)
            if nxt is None:
                break
            used[nxt[1]] = True
            if nxt[0] == a:
                closed = True
                break
            cur = nxt[0]
            chain.append(points[cur])
        if not closed or len(chain) < 3:
            continue
        area = shoelace(chain)
        if area > best_area:
            best, best_area = chain, area
    return [list(p) for p in best]


def shoelace(ring, signed=False):
    total = 0.0
    n = len(ring)
    for k in range(n):
        a, b = ring[k], ring[(k + 1) % n]
        total += a[0] * b[1] - b[0] * a[1]
    return total / 2.0 if signed else abs(total) / 2.0


def closure_outline(z, lattice, level):
    return largest_ring(segments(z, lattice, level))


def study_area_outline(xmin, ymin, xmax, ymax, radius, steps):
    sharp = [[xmin, ymin], [xmax, ymin], [xmax, ymax], [xmin, ymax]]
    if steps == 0:
        return sharp
    w, h = xmax - xmin, ymax - ymin
    m = h if math.isnan(w) else w if math.isnan(h) else min(w, h)
    half = (0.0 if math.isnan(m) else max(m, 0.0)) * 0.5
    r = min(half, 0.0 if math.isnan(radius) else max(radius, 0.0))
    if not r > 0:
        return sharp
    out = []
    for cx, cy, off in [(xmax - r, ymin + r, -math.pi / 2), (xmax - r, ymax - r, 0.0),
                        (xmin + r, ymax - r, math.pi / 2), (xmin + r, ymin + r, math.pi)]:
        for k in range(steps + 1):
            phi = (k / steps) * (math.pi / 2) + off
            out.append([cx + r * math.cos(phi), cy + r * math.sin(phi)])
    return out


def point_in_ring(x, y, ring):
    """Even-odd ray casting towards +x."""
    inside = False
    n = len(ring)
    for k in range(n):
        (x1, y1), (x2, y2) = ring[k], ring[(k + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside
