"""Pure-Python reference of the sequential Gaussian simulation.

Written from the documented recipes, operation for operation: the normal-score
table and its lookup, snapping to nodes, the seeded stream (stream_oracle), the
Fisher-Yates path shuffle, a brute-force neighbour scan under the tie rule
(squared distance, then insertion order), correlations from the variogram
formulas (variogram_reference) and the LU solve in its fixed order. Only the
standard-normal quantile and the lattice transforms come from the compiled
module (both are checked against their own references elsewhere).
"""

import math

from stream_oracle import WordStream, Ziggurat, ziggurat_tables
from variogram_reference import gamma, gamma_offset

_TABLES = ziggurat_tables()


def nscore_fit(data, phi_inv):
    s = sorted(data)  # stable
    n = len(s)
    values, scores = [], []
    i = 0
    while i < n:
        end, total = i, 0.0
        while end < n and s[end] == s[i]:
            total = total + phi_inv((end + 0.5) / n)
            end += 1
        values.append(s[i])
        scores.append(total / (end - i))
        i = end
    if len(values) == 1:
        scores = [0.0]
    return values, scores


def interp(xs, ys, x):
    if len(xs) == 1:
        return ys[0]
    if math.isnan(x):
        return x
    if x <= xs[0]:
        return ys[0]
    if x >= xs[-1]:
        return ys[-1]
    lo, hi = 0, len(xs) - 1
    while hi - lo > 1:
        mid = (lo + hi) // 2
        if xs[mid] <= x:
            lo = mid
        else:
            hi = mid
    return (ys[lo + 1] - ys[lo]) * ((x - xs[lo]) / (xs[lo + 1] - xs[lo])) + ys[lo]


def correlation(desc):
    """rho(dx, dy) for ("iso", model, c0, c, a) or ("aniso", model, c0, c, major, minor, vertical, azimuth);
    the azimuth as stored (in [0, 360))."""
    kind, model, c0, c = desc[:4]
    total = c0 + c
    if kind == "iso":
        a = desc[4]

        def g(dx, dy):
            h2 = dx * dx + dy * dy
            return 0.0 if h2 == 0.0 else gamma(model, c0, c, a, math.sqrt(h2))
    else:
        major, minor, vertical, az = desc[4:]

        def g(dx, dy):
            return gamma_offset(model, c0, c, major, minor, vertical, az, dx, dy, 0.0)

    return lambda dx, dy: 1.0 - g(dx, dy) / total


def lu_factor(a, n):
    perm = list(range(n))
    for j in range(n):
        p, best = j, abs(a[j][j])
        for r in range(j + 1, n):
            v = abs(a[r][j])
            if v > best:
                best, p = v, r
        if best == 0.0:
            return None
        if p != j:
            a[j], a[p] = a[p], a[j]
            perm[j], perm[p] = perm[p], perm[j]
        for r in range(j + 1, n):
            f = a[r][j] / a[j][j]
            a[r][j] = f
            for c in range(j + 1, n):
                a[r][c] = a[r][c] - a[j][c] * f
    return perm


def lu_solve(lu, perm, b):
    n = len(perm)
    x = [b[perm[i]] for i in range(n)]
    for i in range(n):
        s = x[i]
        for k in range(i):
            s = s - lu[i][k] * x[k]
        x[i] = s
    for i in range(n - 1, -1, -1):
        s = x[i]
        for c in range(i + 1, n):
            s = s - lu[i][c] * x[c]
        x[i] = s / lu[i][i]
    return x


def simple_kriging(neighbours, rho):
    """neighbours: (x, y, dx, dy, value) rows. (mean, variance)."""
    m = len(neighbours)
    if m == 0:
        return 0.0, 1.0
    a = [[rho(p[0] - q[0], p[1] - q[1]) for q in neighbours] for p in neighbours]
    rhs = [rho(p[2], p[3]) for p in neighbours]
    perm = lu_factor(a, m)
    if perm is None:
        return 0.0, 1.0
    w = lu_solve(a, perm, rhs)
    mean = 0.0
    for wi, p in zip(w, neighbours):
        mean = mean + wi * p[4]
    var = 1.0
    for wi, ci in zip(w, rhs):
        var = var - wi * ci
    return mean, (var if var > 0.0 else 0.0)


def simulate_scores(lattice, rho, k, radius, seed, fixed):
    """The score field [col][row] of one sweep; fixed: (col, row, score) rows."""
    ncol, nrow = lattice.ncol, lattice.nrow
    grid = [[math.nan] * nrow for _ in range(ncol)]
    pos, scores = [], []
    for col, row, score in fixed:  # the first at a node conditions and shows
        if math.isnan(grid[col][row]):
            pos.append(lattice.node_xy(col, row))
            scores.append(score)
            grid[col][row] = score
    path = [(c, r) for r in range(nrow) for c in range(ncol) if math.isnan(grid[c][r])]
    ws, zig = WordStream(seed), Ziggurat(_TABLES)
    for i in range(len(path) - 1, 0, -1):
        j = ws.bounded(i)
        path[i], path[j] = path[j], path[i]
    r2 = radius * radius
    for col, row in path:
        px, py = lattice.node_xy(col, row)
        cand = []
        for idx, (x, y) in enumerate(pos):
            dx, dy = x - px, y - py
            d2 = dx * dx + dy * dy
            if d2 <= r2:
                cand.append((d2, idx))
        cand.sort()
        nb = [(pos[i][0], pos[i][1], pos[i][0] - px, pos[i][1] - py, scores[i]) for _, i in cand[:k]]
        mean, var = simple_kriging(nb, rho)
        v = mean + math.sqrt(var) * zig.draw(ws)
        grid[col][row] = v
        pos.append((px, py))
        scores.append(v)
    return grid


def round_half_away(v):
    r = math.floor(abs(v))
    if abs(v) - r >= 0.5:
        r += 1
    return -r if v < 0 else r


def snap(points, lattice, values, scores):
    """One (col, row, score) per node, in the order of its first datum; the score
    is that of the datum nearest to the node (earlier on ties)."""
    best = {}
    for i, (x, y, z) in enumerate(points):
        ij = lattice.world_to_intrinsic(x, y)
        if ij is None:
            continue
        col, row = round_half_away(ij[0]), round_half_away(ij[1])
        if 0 <= col < lattice.ncol and 0 <= row < lattice.nrow:
            nx, ny = lattice.node_xy(col, row)
            d2 = (x - nx) * (x - nx) + (y - ny) * (y - ny)
            if (col, row) not in best or d2 < best[col, row][0]:
                best[col, row] = (d2, z)
    return [(c, r, interp(values, scores, z)) for (c, r), (_, z) in best.items()]


def sgs(points, lattice, desc, k, radius, seed, phi_inv):
    values, scores = nscore_fit([p[2] for p in points], phi_inv)
    fixed = snap(points, lattice, values, scores)
    if not fixed and lattice.ncol and lattice.nrow:
        raise ValueError("invalid argument: sgs: no datum lies on the lattice")
    grid = simulate_scores(lattice, correlation(desc), k, radius, seed, fixed)
    if any(abs(s) > 8.0 for column in grid for s in column):
        raise ValueError("sgs: simulated normal score beyond ±8")
    return [[interp(scores, values, s) for s in column] for column in grid]
