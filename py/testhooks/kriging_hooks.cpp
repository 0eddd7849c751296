// Hooks reaching the kriging kernel directly: the LU solve, coincident-data
// merging and the neighbourhood index (queries and timed fills for the bench).
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "frame/entry.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "geostat/neighbourhood.hpp"
#include "geostat/prep.hpp"
#include "foundation/cpu.hpp"
#include "linalg/factor_solve.hpp"
#include "linalg/lu_lanes.hpp"
#include "linalg/lu_solve.hpp"

namespace zk = zaviktools;

namespace zkpy {
// A capsule holding an index built by neighbourhood_build.
struct IndexArg {
    const zk::Neighbourhood* index = nullptr;
};
inline bool from_py(PyObject* o, IndexArg& out) {
    out.index = static_cast<const zk::Neighbourhood*>(PyCapsule_GetPointer(o, "zaviktools.Neighbourhood"));
    return out.index != nullptr;
}
}  // namespace zkpy

// (ok, factored matrix, perm, x); x is empty when the matrix is singular.
ZK_FUNCTION(lu_solve, "lu_solve(a, n, b)", "") {
    std::vector<double> a, b;
    std::uint64_t n = 0;
    if (!args.parse(a, n, b)) return nullptr;
    if (a.size() < n * n || b.size() < n) {
        PyErr_SetString(PyExc_ValueError, "lu_solve: a needs n*n values and b n values");
        return nullptr;
    }
    std::vector<std::size_t> perm;
    std::vector<double> x;
    const bool ok = zk::lu_factor_in_place(a, n, perm);
    if (ok) zk::lu_solve_into(a, perm, n, b, x);
    std::vector<std::uint64_t> p(perm.begin(), perm.end());
    return zkpy::to_py(std::make_tuple(ok, a, p, x));
}

// The one-pass factor, solve and inverse bound: (ok, factored matrix, perm,
// x, bound); x is empty and the bound NaN when the matrix is singular.
ZK_FUNCTION(lu_factor_solve_bound, "lu_factor_solve_bound(a, n, b)", "") {
    std::vector<double> a, b;
    std::uint64_t n = 0;
    if (!args.parse(a, n, b)) return nullptr;
    if (n > 4096 || a.size() < n * n || b.size() < n) {
        PyErr_SetString(PyExc_ValueError, "lu_factor_solve_bound: a needs n*n values and b n values");
        return nullptr;
    }
    std::vector<std::size_t> perm;
    std::vector<double> x, work;
    double bound = std::numeric_limits<double>::quiet_NaN();
    const bool ok = zk::lu_factor_solve_bound(a, n, perm, b, x, bound, work);
    if (!ok) x.clear();
    std::vector<std::uint64_t> p(perm.begin(), perm.end());
    return zkpy::to_py(std::make_tuple(ok, a, p, x, bound));
}

// Four systems factored, solved and bounded side by side: `a` holds the four
// n x n matrices one after another, `b` the four right-hand sides; `kernel`
// "fixed" takes the kernel of the size where there is one (as the sweep
// does), "any" the one for every size. (mask of the lanes factored, the four
// solutions one after another, the four bounds), or None without AVX2.
ZK_FUNCTION(lu_factor_solve_lanes, "lu_factor_solve_lanes(a, n, b, kernel)", "") {
    std::vector<double> a, b;
    std::uint64_t n = 0;
    std::string kernel;
    if (!args.parse(a, n, b, kernel)) return nullptr;
    constexpr std::size_t lanes = zk::kSolveLanes;
    if (n == 0 || n > 4096 || a.size() != lanes * n * n || b.size() != lanes * n ||
        (kernel != "any" && kernel != "fixed")) {
        PyErr_SetString(PyExc_ValueError,
                        "lu_factor_solve_lanes: a needs 4*n*n values, b 4*n, kernel 'any' or 'fixed'");
        return nullptr;
    }
    if (!zk::cpu_has_avx2()) Py_RETURN_NONE;
    std::vector<double> m(a.size()), x(b.size()), work(b.size());
    std::vector<std::uint32_t> perm(b.size());
    for (std::size_t l = 0; l < lanes; ++l) {
        for (std::size_t e = 0; e < n * n; ++e) m[e * lanes + l] = a[l * n * n + e];
        for (std::size_t i = 0; i < n; ++i) x[i * lanes + l] = b[l * n + i];
    }
    double bound[lanes];
    const unsigned ok =
        kernel == "fixed"
            ? zk::detail::lu_factor_solve_lanes_fixed_avx2(m.data(), n, perm.data(), x.data(), work.data(), bound)
            : zk::detail::lu_factor_solve_lanes_avx2(m.data(), n, perm.data(), x.data(), work.data(), bound);
    std::vector<double> solutions(b.size());
    for (std::size_t l = 0; l < lanes; ++l)
        for (std::size_t i = 0; i < n; ++i) solutions[l * n + i] = x[i * lanes + l];
    return zkpy::to_py(std::make_tuple(static_cast<std::uint64_t>(ok), solutions,
                                       std::vector<double>(bound, bound + lanes)));
}

ZK_FUNCTION(dedup_coincident, "dedup_coincident(points)", "") {
    std::vector<zk::DataPoint> points;
    if (!args.parse(points)) return nullptr;
    return zkpy::to_py(zk::dedup_coincident(points));
}

namespace {

// The first `bulk` entries bulk-loaded, the rest inserted one at a time.
zk::Neighbourhood build(const std::vector<std::array<double, 2>>& pts, const std::vector<std::uint64_t>& payload,
                        std::uint64_t bulk) {
    std::vector<zk::NeighbourEntry> first;
    for (std::size_t i = 0; i < pts.size() && i < bulk; ++i) first.push_back({pts[i][0], pts[i][1], payload[i]});
    zk::Neighbourhood nb(first);
    for (std::size_t i = first.size(); i < pts.size(); ++i) nb.insert(pts[i][0], pts[i][1], payload[i]);
    return nb;
}

std::vector<std::array<double, 2>> points_of(const zkpy::BytesArg& xy) {
    std::vector<std::array<double, 2>> pts(xy.size / 16);
    if (!pts.empty()) std::memcpy(pts.data(), xy.data, pts.size() * 16);
    return pts;
}

}  // namespace

// (indices, distances): per query, the payload indices and the distances.
ZK_FUNCTION(neighbourhood_query, "neighbourhood_query(points, payload, bulk, queries, max_neighbours, radius)", "") {
    std::vector<std::array<double, 2>> pts, queries;
    std::vector<std::uint64_t> payload;
    std::uint64_t bulk = 0, k = 0;
    double radius = 0.0;
    if (!args.parse(pts, payload, bulk, queries, k, radius)) return nullptr;
    if (payload.size() != pts.size()) {
        PyErr_SetString(PyExc_ValueError, "neighbourhood_query: one payload per point");
        return nullptr;
    }
    const zk::Neighbourhood nb = build(pts, payload, bulk);
    std::vector<zk::Neighbour> out;
    std::vector<std::vector<std::uint64_t>> indices;
    std::vector<std::vector<double>> distances;
    for (const auto& q : queries) {
        nb.nearest_into(q[0], q[1], k, out, radius);
        auto& ri = indices.emplace_back();
        auto& rd = distances.emplace_back();
        for (const zk::Neighbour& n : out) {
            ri.push_back(n.index);
            rd.push_back(n.distance);
        }
    }
    return zkpy::to_py(std::make_tuple(indices, distances));
}

// Bench: an index built from packed little-endian (x, y) f64 pairs, one
// insert at a time or in bulk, held in a capsule for later queries.
ZK_FUNCTION(neighbourhood_build, "neighbourhood_build(points, one_by_one)", "") {
    zkpy::BytesArg xy;
    bool one_by_one = false;
    if (!args.parse(xy, one_by_one)) return nullptr;
    const auto pts = points_of(xy);
    auto* nb = new zk::Neighbourhood();
    if (one_by_one) {
        nb->reserve(pts.size());
        for (std::size_t i = 0; i < pts.size(); ++i) nb->insert(pts[i][0], pts[i][1], i);
    } else {
        std::vector<zk::NeighbourEntry> entries(pts.size());
        for (std::size_t i = 0; i < pts.size(); ++i) entries[i] = {pts[i][0], pts[i][1], i};
        *nb = zk::Neighbourhood(entries);
    }
    PyObject* cap = PyCapsule_New(nb, "zaviktools.Neighbourhood", [](PyObject* c) {
        delete static_cast<zk::Neighbourhood*>(PyCapsule_GetPointer(c, "zaviktools.Neighbourhood"));
    });
    if (!cap) delete nb;
    return cap;
}

// Bench: queries (packed (x, y) pairs) against a built index; returns (index
// bytes int64, distance bytes f64), max_neighbours per query, padded with
// -1 / inf like scipy's cKDTree.
ZK_FUNCTION(neighbourhood_query_flat, "neighbourhood_query_flat(index, queries, max_neighbours, radius)", "") {
    zkpy::IndexArg index;
    zkpy::BytesArg qs;
    std::uint64_t k = 0;
    double radius = 0.0;
    if (!args.parse(index, qs, k, radius)) return nullptr;
    const zk::Neighbourhood* nb = index.index;
    const auto queries = points_of(qs);
    std::vector<std::int64_t> idx(queries.size() * k, -1);
    std::vector<double> dist(queries.size() * k, INFINITY);
    std::vector<zk::Neighbour> out;
    for (std::size_t q = 0; q < queries.size(); ++q) {
        nb->nearest_into(queries[q][0], queries[q][1], k, out, radius);
        for (std::size_t t = 0; t < out.size(); ++t) {
            idx[q * k + t] = static_cast<std::int64_t>(out[t].index);
            dist[q * k + t] = out[t].distance;
        }
    }
    zkpy::Ref a(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(idx.data()),
                                          static_cast<Py_ssize_t>(idx.size() * 8)));
    if (!a) return nullptr;
    zkpy::Ref b(PyBytes_FromStringAndSize(reinterpret_cast<const char*>(dist.data()),
                                          static_cast<Py_ssize_t>(dist.size() * 8)));
    if (!b) return nullptr;
    return zkpy::to_py(std::make_tuple(a.release(), b.release()));
}
