// Hooks reaching the synthetic-log building blocks that have no public
// surface: the AR(1) driver, the logistic, moment matching, the quadrature
// nodes, the exceedance triple and the petrophysics calibration.
#include <cstdint>
#include <tuple>
#include <vector>

#include "frame/entry.hpp"
#include "frame/result.hpp"
#include "sampling/rng.hpp"
#include "synth/correlated.hpp"
#include "synth/petro.hpp"
#include "synth/transform.hpp"

namespace zk = zaviktools;

// coefficients[i] is the coefficient of sample i (entry 0 unused).
ZK_FUNCTION(correlated_gaussian, "correlated_gaussian(coefficients, seed)", "") {
    std::vector<double> coefficients;
    std::uint64_t seed = 0;
    if (!args.parse(coefficients, seed)) return nullptr;
    zk::Rng rng = zk::seeded_rng(seed);
    return zkpy::to_py(
        zk::correlated_gaussian(coefficients.size(), [&](std::size_t i) { return coefficients[i]; }, rng));
}

ZK_FUNCTION(logistic, "logistic(x)", "") {
    double x = 0.0;
    if (!args.parse(x)) return nullptr;
    return zkpy::to_py(zk::logistic(x));
}

ZK_FUNCTION(match_moments, "match_moments(mean, std)", "") {
    double m = 0.0, s = 0.0;
    if (!args.parse(m, s)) return nullptr;
    auto t = zk::LogitNormal::match_moments(m, s);
    if (!t) return zkpy::to_pyerr(std::move(t).error());
    return zkpy::to_py(std::make_tuple(t->mu, t->sigma));
}

ZK_FUNCTION(moment_spec, "moment_spec(mean, std)", "") {
    double m = 0.0, s = 0.0;
    if (!args.parse(m, s)) return nullptr;
    auto t = zk::MomentSpec::create(m, s);
    if (!t) return zkpy::to_pyerr(std::move(t).error());
    return zkpy::to_py(std::make_tuple(t->mean, t->std));
}

ZK_FUNCTION(quad_nodes, "quad_nodes()", "") {
    if (!args.parse()) return nullptr;
    return zkpy::to_py(zk::quad_nodes());
}

ZK_FUNCTION(exceedance, "exceedance(mu, sigma, cutoff)", "") {
    double mu = 0.0, sigma = 0.0, cutoff = 0.0;
    if (!args.parse(mu, sigma, cutoff)) return nullptr;
    const zk::Exceedance e = zk::exceedance({mu, sigma}, cutoff);
    return zkpy::to_py(std::make_tuple(e.p, e.m1, e.m2));
}

// The fields in PetroZoneSpec's constructor order, net_cutoff last;
// returns (shale mu, shale sigma, sand mu, sand sigma, sand fraction).
ZK_FUNCTION(calibrate_petro,
            "calibrate_petro(ntg_target, net_por_mean, net_por_std, nonnet_por_mean, nonnet_por_std, net_cutoff)",
            "") {
    double ntg = 0.0, nm = 0.0, ns = 0.0, sm = 0.0, ss = 0.0, cutoff = 0.0;
    if (!args.parse(ntg, nm, ns, sm, ss, cutoff)) return nullptr;
    const zk::PetroZoneSpec zone{nm, ns, sm, ss, cutoff, ntg, 1.0, 1.0};
    auto c = zk::calibrate_petro(zone);
    if (!c) return zkpy::to_pyerr(std::move(c).error());
    return zkpy::to_py(std::make_tuple(c->shale.mu, c->shale.sigma, c->sand.mu, c->sand.sigma, c->sand_fraction));
}
