// Synthetic property logs over a stack of zones, sampled every depth_step
// metres from the top down, each zone with its own [0, 1] moment target and
// correlation length, optionally blended across zone boundaries.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "foundation/error.hpp"

namespace zaviktools {

struct ZoneSpec {
    double thickness_m;
    double mean;
    double std;
    double corr_length_m;

    // Checks thickness_m, then corr_length_m (each finite and > 0), then the
    // moments through LogitNormal::match_moments (its error unchanged).
    static Result<ZoneSpec> create(double thickness_m, double mean, double std, double corr_length_m);
};

// "ZoneSpec(thickness_m=20, mean=0.2, std=0.05, corr_length_m=3)"
std::string zone_spec_repr(const ZoneSpec& z);

// max(1, round(thickness_m / depth_step)), saturating.
std::uint64_t zone_sample_count(const ZoneSpec& z, double depth_step);

// Per-zone counts in zone order. Fails with InvalidArgument
// "zone_sample_counts: depth_step must be finite and > 0" (a zero or negative
// step has no meaningful layout), and like synth_log_series on a stack whose
// total no series could hold: "...: the zone stack's total sample count
// overflows a 64-bit count", or "...: cannot allocate {total} samples".
Result<std::vector<std::uint64_t>> zone_sample_counts(std::span<const ZoneSpec> zones, double depth_step);

// One continuous log over the stack (top first), length Σ counts; one AR(1)
// driver whose coefficient per sample is the sample's zone's
// exp(−depth_step / corr_length_m), mapped through each zone's logit-normal;
// `transition_beds` samples either side of each internal boundary are
// re-mapped with the linearly blended transform (later boundaries win).
Result<std::vector<double>> synth_log_series(std::span<const ZoneSpec> zones, double depth_step,
                                             std::uint64_t transition_beds, std::uint64_t seed);

}  // namespace zaviktools
