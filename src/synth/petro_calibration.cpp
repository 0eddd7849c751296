// The two-facies calibration: shale (given) leaks above the cutoff with
// probability Ps; the sand transform and sand proportion q are solved by a
// damped Newton iteration on the realised net mean and net std.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "foundation/format.hpp"
#include "sampling/phi.hpp"
#include "synth/petro.hpp"

namespace zaviktools {

namespace {

constexpr double kSqrt2Pi = 2.5066282746310007;
constexpr double kQMin = 1e-9, kQMax = 0.999999999;
constexpr double kSigmaMin = 1e-4, kSigmaMax = 60.0;
constexpr double kFd = 1e-5;
constexpr int kMaxSteps = 200, kMaxHalvings = 50;

bool proportion_ok(double q) { return q > kQMin && q < kQMax; }

struct Residual {
    double q;   // sand proportion
    double r1;  // realised net mean − target
    double r2;  // realised net std − target
    double pd;  // P(sand ≥ cutoff)
    double norm() const { return std::sqrt(r1 * r1 + r2 * r2); }
};

class Mixture {
public:
    Mixture(const PetroZoneSpec& zone, const Exceedance& shale) : zone_(zone), s_(shale) {}

    // Nothing when the sand and shale exceed the cutoff equally (no proportion).
    std::optional<Residual> at(double mu, double sigma) const {
        const Exceedance d = exceedance(LogitNormal{mu, sigma}, zone_.net_cutoff);
        if (std::fabs(d.p - s_.p) < 1e-12) return std::nullopt;
        const double ntg = zone_.ntg_target;
        const double q = (ntg - s_.p) / (d.p - s_.p);
        const double m1 = ((1.0 - q) * s_.m1 + q * d.m1) / ntg;
        const double m2 = ((1.0 - q) * s_.m2 + q * d.m2) / ntg;
        return Residual{q, m1 - zone_.net_por_mean, std::sqrt(std::max(m2 - m1 * m1, 0.0)) - zone_.net_por_std, d.p};
    }

private:
    const PetroZoneSpec& zone_;
    Exceedance s_;
};

AlgoError degenerate() {
    return AlgoError::invalid_argument(
        "synth_petro_curves: calibration hit a degenerate sand distribution (P(sand\u2265cutoff) == "
        "P(shale\u2265cutoff)); check the specs.");
}

std::string f(double x, int decimals) { return fmt_fixed(x, decimals); }

struct Newton {
    double mu, sigma;
    Residual res;
    bool converged;
};

// Damped Newton from (mu, sigma); nothing when a degenerate point is met.
std::optional<Newton> newton(const Mixture& mix, double mu, double sigma) {
    auto cur = mix.at(mu, sigma);
    if (!cur) return std::nullopt;
    int steps = 0;
    while (true) {
        if (std::fabs(cur->r1) < 1e-9 && std::fabs(cur->r2) < 1e-9 && proportion_ok(cur->q))
            return Newton{mu, sigma, *cur, true};
        const auto mp = mix.at(mu + kFd, sigma), mm = mix.at(mu - kFd, sigma);
        const auto sp = mix.at(mu, std::min(sigma + kFd, kSigmaMax)), sm = mix.at(mu, std::max(sigma - kFd, kSigmaMin));
        if (!mp || !mm || !sp || !sm) return std::nullopt;
        const double j11 = (mp->r1 - mm->r1) / (2.0 * kFd), j12 = (sp->r1 - sm->r1) / (2.0 * kFd);
        const double j21 = (mp->r2 - mm->r2) / (2.0 * kFd), j22 = (sp->r2 - sm->r2) / (2.0 * kFd);
        const double det = j11 * j22 - j12 * j21;
        if (std::fabs(det) < 1e-16) break;
        // J·(dmu, dsigma) = −(r1, r2) by Cramer's rule.
        const double dmu = (-cur->r1 * j22 + cur->r2 * j12) / det;
        const double dsigma = (-cur->r2 * j11 + cur->r1 * j21) / det;
        ++steps;
        const double norm = cur->norm();
        double lambda = 1.0;
        bool accepted = false;
        for (int t = 0; t < kMaxHalvings; ++t, lambda /= 2.0) {
            const double mu2 = mu + lambda * dmu;
            const double sigma2 = std::clamp(sigma + lambda * dsigma, kSigmaMin, kSigmaMax);
            const auto next = mix.at(mu2, sigma2);
            if (!next || !proportion_ok(next->q) || !(next->norm() < norm)) continue;
            mu = mu2;
            sigma = sigma2;
            cur = next;
            accepted = true;
            break;
        }
        if (!accepted || steps >= kMaxSteps) break;
    }
    return Newton{mu, sigma, *cur, false};
}

}  // namespace

Exceedance exceedance(const LogitNormal& t, double cutoff) {
    const double zc = (std::log(cutoff / (1.0 - cutoff)) - t.mu) / t.sigma;
    const double p = std::clamp(1.0 - phi(zc), 0.0, 1.0);
    const double zl = std::max(zc, -8.0);
    if (zl >= 8.0) return {p, 0.0, 0.0};
    constexpr int n = 2000;
    const double h = (8.0 - zl) / n;
    double s1 = 0.0, s2 = 0.0;
    for (int i = 0; i <= n; ++i) {
        const double z = i * h + zl;
        const double w = (i == 0 || i == n) ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0);
        const double y = logistic(t.sigma * z + t.mu);
        const double density = std::exp(-0.5 * (z * z)) / kSqrt2Pi;
        s1 += w * y * density;
        s2 += w * (y * y) * density;
    }
    return {p, h / 3.0 * s1, h / 3.0 * s2};
}

Result<PetroCalibration> calibrate_petro(const PetroZoneSpec& zone) {
    const double ntg = zone.ntg_target, cutoff = zone.net_cutoff;
    const double net_mean = zone.net_por_mean, net_std = zone.net_por_std;
    auto shale = LogitNormal::match_moments(zone.nonnet_por_mean, zone.nonnet_por_std);
    if (!shale) return fail(std::move(shale).error());
    const Exceedance s = exceedance(*shale, cutoff);
    if (s.p >= ntg)
        return fail(AlgoError::invalid_argument(
            "synth_petro_curves: ntg_target " + f(ntg, 4) + " is at/below the achievable floor " + f(s.p, 4) +
            " = P(nonnet porosity \u2265 cutoff " + f(cutoff, 3) +
            ") \u2014 the shale above-cutoff leak alone meets or exceeds it. Raise ntg_target, lower nonnet_por, "
            "or lower net_cutoff."));
    // Ideal sand wholly above the cutoff. Net rock never averages at or below
    // the cutoff; testing the mean directly keeps G's rounding (c·ntg / ntg can
    // land above c) from passing an unreachable target on to the solver.
    const double q0 = (ntg - s.p) / (1.0 - s.p);
    const double g = (net_mean * ntg - s.m1 * (1.0 - q0)) / q0;
    if (!(net_mean > cutoff && cutoff < g && g < 1.0))
        return fail(AlgoError::invalid_argument(
            "synth_petro_curves: net_por mean " + f(net_mean, 4) + " is not reachable at ntg_target " + f(ntg, 4) +
            " with this nonnet_por/cutoff \u2014 the implied sand level " + f(g, 4) + " falls outside (cutoff " +
            f(cutoff, 3) + ", 1). Raise net_por mean or ntg_target."));
    const double floor =
        std::sqrt(std::max(((1.0 - q0) * s.m2 + q0 * (g * g)) / ntg - net_mean * net_mean, 0.0));
    if (floor >= net_std)
        return fail(AlgoError::invalid_argument(
            "synth_petro_curves: net_por std " + f(net_std, 4) + " is below the achievable floor " + f(floor, 4) +
            " \u2014 with ntg_target " + f(ntg, 4) + " and this nonnet_por/cutoff " + f(cutoff, 3) +
            " the shale above-cutoff leak (P=" + f(s.p, 4) +
            ") alone makes the net rock spread at least this wide (the net rock is bimodal: sand \u2248" +
            f(g, 3) + " mixed with silty-shale net). Raise net_por.std, or reduce the leak (lower nonnet_por "
            "mean/std, or the cutoff)."));
    auto start = LogitNormal::match_moments(net_mean, net_std);
    if (!start) return fail(std::move(start).error());
    const Mixture mix(zone, s);
    const auto fit = newton(mix, start->mu, start->sigma);
    if (!fit) return fail(degenerate());
    const Residual& r = fit->res;
    if (!fit->converged && !(std::fabs(r.r1) < 1e-7 && std::fabs(r.r2) < 1e-7))
        return fail(AlgoError::invalid_argument(
            "synth_petro_curves: calibration failed to converge for ntg_target " + f(ntg, 4) + ", net_por (mean " +
            f(net_mean, 4) + ", std " + f(net_std, 4) + "), cutoff " + f(cutoff, 3) + " (residual net mean " +
            f(r.r1, 5) + ", net std " + f(r.r2, 5) + "). Adjust the targets."));
    if (!proportion_ok(r.q))
        return fail(AlgoError::invalid_argument(
            "synth_petro_curves: ntg_target " + f(ntg, 4) + " is unreachable for this net_por \u2014 the matching "
            "sand has P(sand\u2265cutoff) = " + f(r.pd, 4) + ", so the achievable NTG lies strictly between the "
            "shale floor " + f(s.p, 4) + " and " + f(r.pd, 4) + ". Adjust ntg_target or net_por."));
    return PetroCalibration{*shale, LogitNormal{fit->mu, fit->sigma}, r.q};
}

}  // namespace zaviktools
