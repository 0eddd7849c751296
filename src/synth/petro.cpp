#include "synth/petro.hpp"

#include <cmath>

#include "synth/correlated.hpp"
#include "synth/facies.hpp"
#include "synth/series_size.hpp"

namespace zaviktools {

Result<PetroCurves> synth_petro_curves(const PetroZoneSpec& zone, double depth_step, std::uint64_t n_samples,
                                       std::uint64_t seed) {
    constexpr const char* op = "synth_petro_curves";
    if (n_samples == 0) return fail(AlgoError::empty_input("synth_petro_curves: n_samples = 0"));
    if (!(std::isfinite(depth_step) && depth_step > 0.0))
        return fail(AlgoError::invalid_argument("synth_petro_curves: depth_step must be finite and > 0"));
    if (n_samples > kMaxSeriesSamples) return fail(cannot_allocate(op, n_samples));
    auto cal = calibrate_petro(zone);
    if (!cal) return fail(std::move(cal).error());
    return with_series_storage<PetroCurves>(op, n_samples, [&]() -> Result<PetroCurves> {
        // The arguments are valid here: q lies strictly inside (0, 1).
        const auto facies = draw_facies_series(n_samples, depth_step, cal->sand_fraction, zone.bed_scale_m, seed, op);
        if (!facies) return fail(facies.error());
        PetroCurves out{std::vector<double>(n_samples), std::vector<double>(n_samples)};
        if (!compose_por_on_facies(*facies, cal->sand, cal->shale, ar_coefficient(depth_step, zone.correlation_len_m),
                                   seed, out.phie) ||
            !for_each_sample(n_samples, [&](std::uint64_t i) {
                out.net_flag[i] = out.phie[i] >= zone.net_cutoff ? 1.0 : 0.0;
            }))
            return fail(AlgoError::interrupted(op));
        return out;
    });
}

}  // namespace zaviktools
