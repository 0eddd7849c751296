// Hooks reaching the core variogram functions that have no Python surface of
// their own: Variogram::gamma, SpatialVariogram::gamma_offset_2d through
// extract_spatial_variogram, and best_c0_c_for_range.
#include <array>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/cpu.hpp"
#include "frame/classes.hpp"
#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "variograms/fit.hpp"
#include "variograms/gamma_many.hpp"
#include "geostat/pair_kernel.hpp"
#include "frame/adopt.hpp"
#include "variograms/variogram_args.hpp"

namespace zk = zaviktools;

namespace {

bool aligned(const zk::ExperimentalVariogram& ev) {
    if (ev.lags.size() == ev.semivariances.size() && ev.lags.size() == ev.counts.size()) return true;
    PyErr_SetString(PyExc_ValueError, "lags, semivariances and counts must have equal lengths");
    return false;
}

}  // namespace

namespace {

// gamma over `h` from the arguments (model, nugget, sill, range, h), one at
// a time or through gamma_many.
PyObject* gamma_hook(zkpy::Args& args, bool many) {
    std::string name;
    double nugget = 0.0, sill = 0.0, range = 0.0;
    std::vector<double> h;
    if (!args.parse(name, nugget, sill, range, h)) return nullptr;
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    auto v = zk::Variogram::create(model, nugget, sill, range);
    if (!v) return zkpy::to_pyerr(std::move(v).error());
    std::vector<double> out(h.size());
    if (many) zk::gamma_many(*v, h.data(), h.size(), out.data());
    else for (std::size_t i = 0; i < h.size(); ++i) out[i] = v->gamma(h[i]);
    return zkpy::to_py(out);
}

}  // namespace

ZK_FUNCTION(variogram_gamma, "variogram_gamma(model, nugget, sill, range, h)", "") { return gamma_hook(args, false); }

// The same semivariances from gamma_many (four lanes where it can).
ZK_FUNCTION(variogram_gamma_many, "variogram_gamma_many(model, nugget, sill, range, h)", "") {
    return gamma_hook(args, true);
}

ZK_FUNCTION(spatial_gamma_2d, "spatial_gamma_2d(variogram, dx, dy)", "") {
    zkpy::AnyObject obj;
    std::vector<double> dx, dy;
    if (!args.parse(obj, dx, dy)) return nullptr;
    if (!zkpy::adopt_public_classes()) return nullptr;
    zk::SpatialVariogram sv;
    if (!zkpy::extract_spatial_variogram(obj.obj, sv)) return nullptr;
    std::vector<double> out(dx.size());
    for (std::size_t i = 0; i < dx.size() && i < dy.size(); ++i) out[i] = sv.gamma_offset_2d(dx[i], dy[i]);
    return zkpy::to_py(std::make_tuple(sv.is_isotropic(), out));
}

ZK_FUNCTION(best_c0_c_for_range, "best_c0_c_for_range(model, lags, semivariances, counts, range)", "") {
    std::string name;
    zk::ExperimentalVariogram ev;
    double range = 0.0;
    if (!args.parse(name, ev.lags, ev.semivariances, ev.counts, range)) return nullptr;
    if (!aligned(ev)) return nullptr;
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    const zk::NuggetSillFit f = zk::best_c0_c_for_range(model, ev, range);
    return zkpy::to_py(std::make_tuple(f.c0, f.c, f.sse));
}

// Variogram::fit on an experimental variogram given as its three lists.
ZK_FUNCTION(fit_variogram, "fit_variogram(model, lags, semivariances, counts)", "") {
    std::string name;
    zk::ExperimentalVariogram ev;
    if (!args.parse(name, ev.lags, ev.semivariances, ev.counts)) return nullptr;
    if (!aligned(ev)) return nullptr;
    zk::VariogramModel model{};
    if (!zkpy::parse_model_or_raise(name, model)) return nullptr;
    auto v = zk::Variogram::fit(model, ev);
    if (!v) return zkpy::to_pyerr(std::move(v).error());
    return zkpy::to_py(std::make_tuple(v->nugget, v->sill, v->range));
}

// The pairing kernel's per-bin sums, by the portable path and by the path the
// processor gets: (widest path is AVX2, portable bins, dispatched bins).
ZK_FUNCTION(pair_kernel_paths, "pair_kernel_paths(coords, lag, cutoff, n_bins)", "") {
    std::vector<std::array<double, 3>> coords;
    double lag = 0.0, cutoff = 0.0;
    std::uint64_t n_bins = 0;
    if (!args.parse(coords, lag, cutoff, n_bins)) return nullptr;
    zk::PairColumns cols;
    for (const auto& p : coords) {
        cols.x.push_back(p[0]);
        cols.y.push_back(p[1]);
        cols.z.push_back(p[2]);
    }
    auto run = [&](auto fn) {
        std::vector<zk::LagBin> bins(n_bins);
        fn(cols, lag, cutoff, std::span<zk::LagBin>(bins));
        std::vector<std::array<double, 3>> out;  // counts of test sizes are exact as doubles
        for (const auto& b : bins) out.push_back({b.sum_sq, b.sum_h, static_cast<double>(b.count)});
        return out;
    };
    return zkpy::to_py(std::make_tuple(zk::cpu_has_avx2(), run(zk::accumulate_pairs_portable),
                                       run(zk::accumulate_pairs)));
}
