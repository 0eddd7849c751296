#include "synth/facies.hpp"

#include <cmath>

#include "sampling/phi.hpp"
#include "sampling/rng.hpp"
#include "synth/correlated.hpp"
#include "synth/series_size.hpp"

namespace zaviktools {

namespace {
bool positive_finite(double x) { return std::isfinite(x) && x > 0.0; }
}  // namespace

Result<std::vector<Facies>> synth_facies_series(std::uint64_t n, double depth_step, double ntg_target,
                                                double bed_scale_m, std::uint64_t seed) {
    if (n == 0) return fail(AlgoError::empty_input("synth_facies_series: n = 0"));
    if (!positive_finite(depth_step))
        return fail(AlgoError::invalid_argument("synth_facies_series: depth_step must be finite and > 0"));
    if (!(std::isfinite(ntg_target) && ntg_target > 0.0 && ntg_target < 1.0))
        return fail(AlgoError::invalid_argument("synth_facies_series: need 0 < ntg_target < 1"));
    if (!positive_finite(bed_scale_m))
        return fail(AlgoError::invalid_argument("synth_facies_series: bed_scale_m must be finite and > 0"));
    return with_series_storage<std::vector<Facies>>("synth_facies_series", n, [&]() -> Result<std::vector<Facies>> {
        return draw_facies_series(n, depth_step, ntg_target, bed_scale_m, seed, "synth_facies_series");
    });
}

Result<std::vector<Facies>> draw_facies_series(std::uint64_t n, double depth_step, double ntg_target,
                                               double bed_scale_m, std::uint64_t seed, const char* op) {
    std::vector<double> z(n);
    std::vector<Facies> out(n);
    const double tau = phi_inv(1.0 - ntg_target);
    const double r = ar_coefficient(depth_step, bed_scale_m);
    Rng rng = seeded_rng(seed);
    if (!correlated_gaussian(std::span<double>(z), [r](std::uint64_t) { return r; }, rng) ||
        !for_each_sample(n, [&](std::uint64_t i) { out[i] = z[i] > tau ? Facies::Sand : Facies::Shale; }))
        return fail(AlgoError::interrupted(op));
    return out;
}

bool compose_por_on_facies(std::span<const Facies> facies, const LogitNormal& sand, const LogitNormal& shale,
                           double coefficient, std::uint64_t seed, std::span<double> por) {
    Rng rng = seeded_rng(mix_seed(seed));
    return correlated_gaussian(por, [coefficient](std::uint64_t) { return coefficient; }, rng) &&
           for_each_sample(facies.size(), [&](std::size_t i) {
               por[i] = (facies[i] == Facies::Shale ? shale : sand).apply(por[i]);
           });
}

Result<std::vector<double>> synth_por_with_facies(std::span<const Facies> facies, double depth_step,
                                                  const MomentSpec& sand, const MomentSpec& shale,
                                                  double corr_length_m, std::uint64_t seed) {
    if (facies.empty()) return fail(AlgoError::empty_input("synth_por_with_facies: empty facies"));
    if (!positive_finite(depth_step))
        return fail(AlgoError::invalid_argument("synth_por_with_facies: depth_step must be finite and > 0"));
    if (!positive_finite(corr_length_m))
        return fail(AlgoError::invalid_argument("synth_por_with_facies: corr_length_m must be finite and > 0"));
    auto ts = LogitNormal::match_moments(sand.mean, sand.std);
    if (!ts) return fail(std::move(ts).error());
    auto th = LogitNormal::match_moments(shale.mean, shale.std);
    if (!th) return fail(std::move(th).error());
    const double r = ar_coefficient(depth_step, corr_length_m);
    return with_series_storage<std::vector<double>>(
        "synth_por_with_facies", facies.size(), [&]() -> Result<std::vector<double>> {
            std::vector<double> por(facies.size());
            if (!compose_por_on_facies(facies, *ts, *th, r, seed, por))
                return fail(AlgoError::interrupted("synth_por_with_facies"));
            return por;
        });
}

}  // namespace zaviktools
