// Hooks reaching the simulation's core pieces that have no Python surface:
// the normal-score table and its lookup, the per-pair correlation, one simple
// kriging solve, the score-space sweep on a reused scratch, and the
// unconditional simulation.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/lattice.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/ref.hpp"
#include "frame/result.hpp"
#include "geostat/nscore.hpp"
#include "geostat/sgs.hpp"
#include "geostat/sgs/correlation.hpp"
#include "geostat/sgs/offset_table.hpp"
#include "frame/adopt.hpp"
#include "variograms/variogram_args.hpp"
#include "frame/grid.hpp"

namespace zk = zaviktools;

namespace {

bool spatial_arg(PyObject* obj, zk::SpatialVariogram& out) {
    return zkpy::adopt_public_classes() && zkpy::extract_spatial_variogram(obj, out);
}

}  // namespace

ZK_FUNCTION(nscore_fit, "nscore_fit(data)", "(values, scores) of NormalScore::fit.") {
    std::vector<double> data;
    if (!args.parse(data)) return nullptr;
    auto ns = zk::NormalScore::fit(data);
    if (!ns) return zkpy::to_pyerr(std::move(ns).error());
    return zkpy::to_py(std::make_tuple(ns->values, ns->scores));
}

ZK_FUNCTION(nscore_interp, "nscore_interp(xs, ys, x)", "interp(xs, ys, q) for each q in x.") {
    std::vector<double> xs, ys, x;
    if (!args.parse(xs, ys, x)) return nullptr;
    for (double& q : x) q = zk::interp(xs, ys, q);
    return zkpy::to_py(x);
}

ZK_FUNCTION(sgs_correlation, "sgs_correlation(variogram, dx, dy)", "The sweep's rho for each offset: (one at a time, batched).") {
    zkpy::AnyObject obj;
    std::vector<double> dx, dy;
    if (!args.parse(obj, dx, dy)) return nullptr;
    zk::SpatialVariogram sv;
    if (!spatial_arg(obj.obj, sv)) return nullptr;
    const zk::Correlation rho(sv);
    const std::size_t n = dx.size() < dy.size() ? dx.size() : dy.size();
    std::vector<double> one(n), batch(n);
    for (std::size_t i = 0; i < n; ++i) one[i] = rho(dx[i], dy[i]);
    rho.many(dx.data(), dy.data(), n, batch.data());
    return zkpy::to_py(std::make_tuple(one, batch));
}

ZK_FUNCTION(sk_with, "sk_with(neighbours, variogram)", "simple_kriging_with on [x, y, dx, dy, value] rows.") {
    std::vector<std::array<double, 5>> rows;
    zkpy::AnyObject obj;
    if (!args.parse(rows, obj)) return nullptr;
    zk::SpatialVariogram sv;
    if (!spatial_arg(obj.obj, sv)) return nullptr;
    std::vector<zk::SkNeighbour> nb;
    for (const auto& r : rows) nb.push_back({r[0], r[1], r[2], r[3], r[4]});
    zk::SkScratch scratch;
    const zk::SkEstimate e = zk::simple_kriging_with(nb, sv, scratch);
    return zkpy::to_py(std::make_tuple(e.mean, e.variance));
}

ZK_FUNCTION(sk_used, "sk_used(neighbours, variogram)",
            "simple_kriging_with on [x, y, dx, dy, value] rows: (mean, variance, neighbours used).") {
    std::vector<std::array<double, 5>> rows;
    zkpy::AnyObject obj;
    if (!args.parse(rows, obj)) return nullptr;
    zk::SpatialVariogram sv;
    if (!spatial_arg(obj.obj, sv)) return nullptr;
    std::vector<zk::SkNeighbour> nb;
    for (const auto& r : rows) nb.push_back({r[0], r[1], r[2], r[3], r[4]});
    zk::SkScratch scratch;
    const zk::SkEstimate e = zk::simple_kriging_with(nb, sv, scratch);
    return zkpy::to_py(std::make_tuple(e.mean, e.variance, static_cast<std::uint64_t>(e.used)));
}

// simulate_scores for each seed in turn on one scratch; fixed rows are
// [col, row, score]; search "auto", "index" or "lattice" (the offset search
// wherever the lattice allows it). A list of nested score fields.
ZK_FUNCTION(sgs_sweeps, "sgs_sweeps(lattice, variogram, max_neighbours, radius, seeds, fixed, search=\"auto\")",
            "") {
    zkpy::AnyObject lat_obj, var_obj;
    std::uint64_t k = 0;
    double radius = 0.0;
    std::vector<std::uint64_t> seeds;
    std::vector<std::array<double, 3>> rows;
    std::optional<std::string> search_name;
    if (!args.parse(lat_obj, var_obj, k, radius, seeds, rows, search_name)) return nullptr;
    const std::string name = search_name.value_or("auto");
    using zk::detail::SgsSearch;
    const SgsSearch search = name == "index" ? SgsSearch::IndexOnly
                             : name == "lattice" ? SgsSearch::LatticeWherePossible
                                                 : SgsSearch::Auto;
    zk::SpatialVariogram sv;
    if (!spatial_arg(var_obj.obj, sv)) return nullptr;
    zkpy::Instance<zk::Lattice> lattice;
    if (!from_py(lat_obj.obj, lattice)) return nullptr;
    std::vector<zk::FixedNode> fixed;
    for (const auto& r : rows) fixed.push_back({static_cast<std::size_t>(r[0]), static_cast<std::size_t>(r[1]), r[2]});
    zk::SgsScratch scratch;
    zkpy::Ref out(PyList_New(0));
    if (!out) return nullptr;
    for (std::uint64_t seed : seeds) {
        auto f = zk::detail::simulate_scores_with(*lattice, sv, k, radius, seed, fixed, scratch, search);
        if (!f) return zkpy::to_pyerr(std::move(f).error());
        zkpy::Ref field(zkpy::rows(*f));
        if (!field || PyList_Append(out.get(), field.get()) != 0) return nullptr;
    }
    return out.release();
}

ZK_FUNCTION(sgs_unconditional,
            "sgs_unconditional(lattice, variogram, max_neighbours, radius, seed, mean, variance)", "") {
    zkpy::AnyObject lat_obj, var_obj;
    std::uint64_t k = 0, seed = 0;
    double radius = 0.0, mean = 0.0, variance = 0.0;
    if (!args.parse(lat_obj, var_obj, k, radius, seed, mean, variance)) return nullptr;
    if (!zkpy::adopt_public_classes()) return nullptr;
    zkpy::Instance<zk::Lattice> lattice;
    zkpy::Instance<zk::Variogram> variogram;
    if (!from_py(lat_obj.obj, lattice) || !from_py(var_obj.obj, variogram)) return nullptr;
    auto f = zk::sgs_unconditional(*lattice, *variogram, k, radius, seed, mean, variance);
    if (!f) return zkpy::to_pyerr(std::move(f).error());
    return zkpy::rows(*f);
}

ZK_FUNCTION(sgs_offset_count, "sgs_offset_count(lattice, radius)",
            "Offsets of the lattice search for `radius`, or None where it declines.") {
    zkpy::AnyObject lat_obj;
    double radius = 0.0;
    if (!args.parse(lat_obj, radius)) return nullptr;
    if (!zkpy::adopt_public_classes()) return nullptr;
    zkpy::Instance<zk::Lattice> lattice;
    if (!from_py(lat_obj.obj, lattice)) return nullptr;
    zk::LatticeSearch search;
    if (!search.prepare(*lattice, radius, std::size_t{1} << 18)) Py_RETURN_NONE;
    return zkpy::to_py(static_cast<std::uint64_t>(search.size()));
}

ZK_FUNCTION(sgs_exact_lattice, "sgs_exact_lattice(lattice)", "exact_node_positions(lattice).") {
    zkpy::AnyObject lat_obj;
    if (!args.parse(lat_obj)) return nullptr;
    if (!zkpy::adopt_public_classes()) return nullptr;
    zkpy::Instance<zk::Lattice> lattice;
    if (!from_py(lat_obj.obj, lattice)) return nullptr;
    return zkpy::to_py(zk::exact_node_positions(*lattice));
}
