// Reference sweep for the local kriging engine: every node by its own
// Neighbourhood query and ordinary_kriging_at, no blocks. The engine's
// block sweep must give the same grids bit for bit.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/cpu.hpp"
#include "foundation/lattice.hpp"
#include "foundation/threads.hpp"
#include "frame/gil.hpp"
#include "frame/entry.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "frame/settings.hpp"
#include "geostat/local_kriging.hpp"
#include "frame/grid.hpp"
#include "linalg/lu_lanes.hpp"
#include "linalg/lu_solve.hpp"

namespace zk = zaviktools;

namespace {

struct Inputs {
    std::vector<zk::DataPoint> coords;
    zk::Lattice lattice;
    zk::LocalKriging engine;
};

template <class T>
bool ok_or_raise(zk::Result<T>& r) {
    if (r) return true;
    zkpy::to_pyerr(std::move(r).error());
    return false;
}

// (estimate, variance) nested lists.
PyObject* pair_rows(const zk::Field& e, const zk::Field& v) {
    zkpy::Ref a(zkpy::rows(e));
    if (!a) return nullptr;
    zkpy::Ref b(zkpy::rows(v));
    if (!b) return nullptr;
    return zkpy::to_py(std::make_tuple(a.release(), b.release()));
}

}  // namespace

#define LK_ARGS "coords, xori, yori, xinc, yinc, ncol, nrow, rotation_deg, yflip, model, nugget, sill, range, max_neighbours, radius"

static bool parse_inputs(zkpy::Args& args, std::vector<zk::DataPoint>& coords, zk::Result<zk::Lattice>& lat,
                         zk::Result<zk::LocalKriging>& engine) {
    double xori = 0, yori = 0, xinc = 0, yinc = 0, rot = 0, nugget = 0, sill = 0, range = 0, radius = 0;
    std::uint64_t ncol = 0, nrow = 0, k = 0;
    bool yflip = false;
    std::string model;
    if (!args.parse(coords, xori, yori, xinc, yinc, ncol, nrow, rot, yflip, model, nugget, sill, range, k, radius))
        return false;
    auto m = zk::parse_model(model);
    if (!ok_or_raise(m)) return false;
    auto v = zk::Variogram::create(*m, nugget, sill, range);
    if (!ok_or_raise(v)) return false;
    lat = zk::Lattice::create(ncol, nrow, yflip, xori, yori, xinc, yinc, rot);
    if (!ok_or_raise(lat)) return false;
    engine = zk::LocalKriging::create(*v, k, radius);
    return ok_or_raise(engine);
}

ZK_FUNCTION(krige_node_by_node, "krige_node_by_node(" LK_ARGS ")", "") {
    std::vector<zk::DataPoint> coords;
    zk::Result<zk::Lattice> lat = zk::fail(zk::AlgoError::empty_input("unset"));
    zk::Result<zk::LocalKriging> engine = zk::fail(zk::AlgoError::empty_input("unset"));
    if (!parse_inputs(args, coords, lat, engine)) return nullptr;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto e = zk::Field::create(lat->ncol(), lat->nrow(), nan);
    auto v = zk::Field::create(lat->ncol(), lat->nrow(), nan);
    if (!ok_or_raise(e) || !ok_or_raise(v)) return nullptr;
    const std::vector<zk::DataPoint> data = zk::dedup_coincident(coords);
    std::vector<zk::NeighbourEntry> entries;
    for (std::size_t k = 0; k < data.size(); ++k) entries.push_back({data[k][0], data[k][1], k});
    const zk::Neighbourhood index(entries);
    zk::KrigingScratch scratch;
    for (std::size_t row = 0; row < lat->nrow(); ++row) {
        for (std::size_t col = 0; col < lat->ncol(); ++col) {
            const zk::Xy p = lat->node_xy(col, row);
            index.nearest_into(p.x, p.y, engine->max_neighbours, scratch.neighbours, engine->radius);
            zk::KrigedValue out{};
            if (!zk::ordinary_kriging_at(engine->variogram, data, scratch, out)) continue;
            (*e)(col, row) = out.estimate;
            (*v)(col, row) = out.variance;
        }
    }
    return pair_rows(*e, *v);
}

ZK_FUNCTION(krige_engine, "krige_engine(" LK_ARGS ")", "") {
    std::vector<zk::DataPoint> coords;
    zk::Result<zk::Lattice> lat = zk::fail(zk::AlgoError::empty_input("unset"));
    zk::Result<zk::LocalKriging> engine = zk::fail(zk::AlgoError::empty_input("unset"));
    if (!parse_inputs(args, coords, lat, engine)) return nullptr;
    auto grids = engine->krige(coords, *lat);
    if (!ok_or_raise(grids)) return nullptr;
    return pair_rows(grids->estimate, grids->variance);
}

namespace {

bool parse_path(const std::string& name, zk::SolvePath& out) {
    if (name == "auto") out = zk::SolvePath::Auto;
    else if (name == "scalar") out = zk::SolvePath::Scalar;
    else if (name == "vector") out = zk::SolvePath::Vector;
    else {
        PyErr_SetString(PyExc_ValueError, "path must be 'auto', 'scalar' or 'vector'");
        return false;
    }
    return true;
}

}  // namespace

// The engine on exactly `threads` workers and the named solve path, flat
// (estimate bytes, variance bytes), the lock released as in the public call.
// `lattice`: [xori, yori, xinc, yinc, ncol, nrow, rotation_deg, yflip 0/1].
ZK_FUNCTION(krige_run, "krige_run(coords, lattice, model, nugget, sill, range, max_neighbours, radius, threads, path)",
            "") {
    std::vector<zk::DataPoint> coords;
    std::vector<double> g;
    double nugget = 0, sill = 0, range = 0, radius = 0;
    std::uint64_t k = 0, threads = 0;
    std::string model, path_name;
    if (!args.parse(coords, g, model, nugget, sill, range, k, radius, threads, path_name)) return nullptr;
    if (g.size() != 8) {
        PyErr_SetString(PyExc_ValueError, "krige_run: lattice needs 8 values");
        return nullptr;
    }
    zk::KrigeRun run{threads, true, zk::SolvePath::Auto};
    if (!parse_path(path_name, run.path)) return nullptr;
    auto m = zk::parse_model(model);
    if (!ok_or_raise(m)) return nullptr;
    auto v = zk::Variogram::create(*m, nugget, sill, range);
    if (!ok_or_raise(v)) return nullptr;
    auto lat = zk::Lattice::create(static_cast<std::size_t>(g[4]), static_cast<std::size_t>(g[5]), g[7] != 0.0, g[0],
                                   g[1], g[2], g[3], g[6]);
    if (!ok_or_raise(lat)) return nullptr;
    auto engine = zk::LocalKriging::create(*v, k, radius);
    if (!ok_or_raise(engine)) return nullptr;
    auto grids = zkpy::without_gil([&] { return engine->krige(coords, *lat, run); });
    if (!ok_or_raise(grids)) return nullptr;
    return zkpy::to_flat_pair(grids->estimate, grids->variance);
}

// (vector path available, parsed setting or None, default thread count, CPUs
// in the affinity mask).
ZK_FUNCTION(thread_settings, "thread_settings(text)", "") {
    std::string text;
    if (!args.parse(text)) return nullptr;
    const auto parsed = zk::parse_thread_count(text);
    zkpy::Ref setting(parsed ? PyLong_FromSize_t(*parsed) : Py_NewRef(Py_None));
    if (!setting) return nullptr;
    return zkpy::to_py(std::make_tuple(zk::cpu_has_avx2(), setting.release(),
                                       static_cast<std::uint64_t>(zkpy::configured_threads()),
                                       static_cast<std::uint64_t>(zk::available_cpus())));
}

// LU on the named path: (ok, factored matrix, perm).
ZK_FUNCTION(lu_factor_path, "lu_factor_path(a, n, path)", "") {
    std::vector<double> a;
    std::uint64_t n = 0;
    std::string path_name;
    if (!args.parse(a, n, path_name)) return nullptr;
    zk::SolvePath path{};
    if (!parse_path(path_name, path)) return nullptr;
    std::vector<std::size_t> perm;
    const bool ok = zk::lu_factor_in_place(a, n, perm, path);
    std::vector<std::uint64_t> p(perm.begin(), perm.end());
    return zkpy::to_py(std::make_tuple(ok, a, p));
}

// Four n x n systems factored and solved side by side: `a` holds them
// interleaved (entry (r, c) of lane l at a[(r * n + c) * 4 + l]), `b` the
// right-hand sides (b[i * 4 + l]). `kernel` "any" runs the kernel for every
// size, "fixed" the one chosen for n. (lane mask, factors, perm, solution)
// in the same layouts; None where the processor has no AVX2.
ZK_FUNCTION(lu_lanes, "lu_lanes(a, b, n, kernel)", "") {
    std::vector<double> a, b;
    std::uint64_t n = 0;
    std::string kernel;
    if (!args.parse(a, b, n, kernel)) return nullptr;
    constexpr std::size_t L = zk::kSolveLanes;
    if (n == 0 || n > 4096 || a.size() != n * n * L || b.size() != n * L || (kernel != "any" && kernel != "fixed")) {
        PyErr_SetString(PyExc_ValueError, "lu_lanes: a needs 4*n*n values, b 4*n, kernel 'any' or 'fixed'");
        return nullptr;
    }
    if (!zk::cpu_has_avx2()) return Py_NewRef(Py_None);
    std::vector<std::uint32_t> perm(n * L);
    std::vector<double> x(n * L);
    const bool fixed = kernel == "fixed";
    const unsigned good = fixed ? zk::detail::lu_factor_lanes_fixed_avx2(a.data(), n, perm.data())
                                : zk::detail::lu_factor_lanes_avx2(a.data(), n, perm.data());
    if (fixed) zk::detail::lu_solve_lanes_fixed_avx2(a.data(), perm.data(), n, b.data(), x.data());
    else zk::detail::lu_solve_lanes_avx2(a.data(), perm.data(), n, b.data(), x.data());
    std::vector<std::uint64_t> p(perm.begin(), perm.end());
    return zkpy::to_py(std::make_tuple(static_cast<std::uint64_t>(good), a, p, x));
}

// Four solves from factors made in other lanes: lu and perm as lu_lanes
// returns them, `src` the four source lanes, b the right-hand sides
// (b[i * 4 + l]). The solutions (x[i * 4 + l]); None without AVX2.
ZK_FUNCTION(lu_lanes_from, "lu_lanes_from(lu, perm, n, src, b)", "") {
    std::vector<double> lu, b;
    std::vector<std::uint64_t> perm64, src64;
    std::uint64_t n = 0;
    if (!args.parse(lu, perm64, n, src64, b)) return nullptr;
    constexpr std::size_t L = zk::kSolveLanes;
    const bool lanes_ok = src64.size() == L && std::all_of(src64.begin(), src64.end(), [](auto s) { return s < L; });
    const bool perm_ok = std::all_of(perm64.begin(), perm64.end(), [n](auto p) { return p < n; });
    if (n == 0 || n > 4096 || lu.size() != n * n * L || perm64.size() != n * L || b.size() != n * L || !lanes_ok ||
        !perm_ok) {
        PyErr_SetString(PyExc_ValueError, "lu_lanes_from: lu needs 4*n*n values, perm and b 4*n, src 4 lanes < 4");
        return nullptr;
    }
    if (!zk::cpu_has_avx2()) return Py_NewRef(Py_None);
    const std::vector<std::uint32_t> perm(perm64.begin(), perm64.end());
    const std::size_t src[L] = {src64[0], src64[1], src64[2], src64[3]};
    std::vector<double> x(n * L);
    zk::detail::lu_solve_lanes_from_avx2(lu.data(), perm.data(), n, src, b.data(), x.data());
    return zkpy::to_py(x);
}
