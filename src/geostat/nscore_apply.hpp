// The normal-score transform of a whole array, spread over worker threads.
//
//     auto scores = zaviktools::normal_score_apply(*ns, z, ScoreDirection::Forward, 4);
//
// Each value goes through NormalScore::forward or NormalScore::back, the very
// lookup the simulation applies, so the result is the same bits at every
// thread count and a back transform of forward transformed data returns the
// data. A NaN stays NaN, also through a table of one entry (which maps every
// number to its one value).
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "foundation/error.hpp"
#include "geostat/nscore.hpp"

namespace zaviktools {

// NormalScore::fit, with the first non-finite value named. Errors:
//   EmptyInput "NormalScore::fit: no data"
//   InvalidArgument "NormalScore::fit: value {i} is not finite"
//   then those of NormalScore::fit.
Result<NormalScore> normal_score_table(std::span<const double> data);

enum class ScoreDirection { Forward, Back };

// Errors: OutOfMemory "NormalScore: cannot allocate {n} values";
// Interrupted "NormalScore" when the installed StopPoll asks to stop.
Result<std::vector<double>> normal_score_apply(const NormalScore& transform, std::span<const double> values,
                                               ScoreDirection direction, std::size_t threads);

}  // namespace zaviktools
