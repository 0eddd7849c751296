// Two-valued sand/shale series from a thresholded AR(1) driver, and porosity
// composed onto a facies series.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "synth/transform.hpp"

namespace zaviktools {

// Crosses to Python as the byte / integer 1 (sand) or 0 (shale).
enum class Facies : std::uint8_t { Shale = 0, Sand = 1 };

// n samples, sand where the AR(1) driver (coefficient exp(−depth_step /
// bed_scale_m), stream seeded with `seed`) exceeds Φ⁻¹(1 − ntg_target).
Result<std::vector<Facies>> synth_facies_series(std::uint64_t n, double depth_step, double ntg_target,
                                                double bed_scale_m, std::uint64_t seed);

// The draw of synth_facies_series on validated arguments. Storage failure
// surfaces as std::bad_alloc: call it inside with_series_storage. Interrupted
// `op` when the installed StopPoll asks to stop.
Result<std::vector<Facies>> draw_facies_series(std::uint64_t n, double depth_step, double ntg_target,
                                               double bed_scale_m, std::uint64_t seed, const char* op);

// por[i] = the sand or shale logit-normal of facies[i] applied to one shared
// AR(1) driver (coefficient exp(−depth_step / corr_length_m)) drawn from the
// stream seeded with mix_seed(seed), independent of a facies series of `seed`.
Result<std::vector<double>> synth_por_with_facies(std::span<const Facies> facies, double depth_step,
                                                  const MomentSpec& sand, const MomentSpec& shale,
                                                  double corr_length_m, std::uint64_t seed);

// The composition step with the transforms given directly (no validation):
// fills `por` from the driver drawn on mix_seed(seed). False when the
// installed StopPoll stopped it.
bool compose_por_on_facies(std::span<const Facies> facies, const LogitNormal& sand, const LogitNormal& shale,
                           double coefficient, std::uint64_t seed, std::span<double> por);

}  // namespace zaviktools
