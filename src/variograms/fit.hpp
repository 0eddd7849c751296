// Pair-count weighted least-squares fit of a variogram model to an
// experimental variogram. `Variogram::fit` (variograms/variogram.hpp)
// is the entry point; its building block is exposed for testing and reuse.
#pragma once

#include "variograms/experimental.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

struct NuggetSillFit {
    double c0;   // nugget, >= 0
    double c;    // partial sill, >= 0
    double sse;  // sum n_k * (s_k*c + c0 - gamma_k)^2
};

// The best non-negative (nugget, partial sill) for one fixed range: the
// unconstrained solution, the sill-only, the nugget-only and (0, 0) are tried
// in that order; the smallest error wins, ties to the earlier candidate.
NuggetSillFit best_c0_c_for_range(VariogramModel model, const ExperimentalVariogram& ev, double range);

}  // namespace zaviktools
