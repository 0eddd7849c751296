// Coupled petrophysics curves: a porosity log and the net flag derived from it
// (phie ≥ net_cutoff), calibrated so that the realised net-to-gross and the
// net rock's porosity moments hit quoted targets; and the NTG display curve.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foundation/error.hpp"
#include "synth/transform.hpp"

namespace zaviktools {

struct PetroZoneSpec {
    double net_por_mean;
    double net_por_std;
    double nonnet_por_mean;
    double nonnet_por_std;
    double net_cutoff;
    double ntg_target;
    double bed_scale_m;
    double correlation_len_m;

    // Checks net_cutoff and ntg_target (each in (0, 1)), then bed_scale_m and
    // correlation_len_m (each finite and > 0); the moment pairs are already
    // valid as MomentSpecs. Feasibility is found by synth_petro_curves.
    static Result<PetroZoneSpec> create(const MomentSpec& net_por, const MomentSpec& nonnet_por, double net_cutoff,
                                        double ntg_target, double bed_scale_m, double correlation_len_m);
};

// "PetroZoneSpec(net_cutoff=0.1, ntg_target=0.3, net_por=(0.2, 0.03), ...)"
std::string petro_zone_spec_repr(const PetroZoneSpec& z);

// P(Y ≥ c) and the partial moments E[Y·1{Y ≥ c}], E[Y²·1{Y ≥ c}] of a
// logit-normal Y (Simpson's rule on [max(zc, −8), 8], 2000 intervals).
struct Exceedance {
    double p;
    double m1;
    double m2;
};
Exceedance exceedance(const LogitNormal& t, double cutoff);

// The solved sand transform and sand proportion of a feasible zone.
struct PetroCalibration {
    LogitNormal shale;
    LogitNormal sand;
    double sand_fraction;
};

// The two-facies calibration; every infeasible zone fails with a message that
// states the violated bound.
Result<PetroCalibration> calibrate_petro(const PetroZoneSpec& zone);

struct PetroCurves {
    std::vector<double> phie;
    std::vector<double> net_flag;  // 1.0 where phie ≥ net_cutoff, else 0.0
};

// Calibrates, then draws the facies exactly as synth_facies_series(n_samples,
// depth_step, q, bed_scale_m, seed) and the porosity driver on mix_seed(seed).
Result<PetroCurves> synth_petro_curves(const PetroZoneSpec& zone, double depth_step, std::uint64_t n_samples,
                                       std::uint64_t seed);

// Centred running mean of the flag (non-zero = net) over 2k + 1 samples,
// k = ⌊round(window_m / depth_step) / 2⌋ raised to 1, shortened at both ends.
Result<std::vector<double>> ntg_curve(std::span<const double> net_flag, double depth_step, double window_m);

}  // namespace zaviktools
