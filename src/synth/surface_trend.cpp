// synth_trend_map: a correlated field with a uniform marginal, optionally
// correlated with another map through its normal scores.
#include <cmath>
#include <new>
#include <vector>

#include "geostat/nscore.hpp"
#include "sampling/phi.hpp"
#include "synth/surface.hpp"

namespace zaviktools {

Result<Field> synth_trend_map(const Lattice& lattice, const Variogram& variogram, std::uint64_t seed,
                              const TrendCorrelation* correlate_with) {
    // The simulation runs first, so its errors come before those of the correlation.
    auto field = surface_field(lattice, variogram, seed, 0.0, 1.0);
    if (!field) return field;
    double* g = field->data();
    const std::size_t n = field->size();
    if (!correlate_with) {
        for (std::size_t k = 0; k < n; ++k) g[k] = phi(g[k]);
        return field;
    }

    const double rho = correlate_with->rho;
    if (!(std::fabs(rho) <= 1.0)) return fail(AlgoError::invalid_argument("synth_trend_map: rho must be in [-1, 1]"));
    const Field& other = *correlate_with->field;
    if (other.ncol() != lattice.ncol() || other.nrow() != lattice.nrow())
        return fail(AlgoError::invalid_argument("synth_trend_map: correlate_with field shape must match the lattice"));
    const double* z = other.data();
    std::vector<double> finite;
    try {
        finite.reserve(n);
    } catch (const std::bad_alloc&) {
        return fail(AlgoError::out_of_memory("synth_trend_map: cannot allocate the correlate_with values"));
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (std::isfinite(z[k])) finite.push_back(z[k]);  // field order: column by column
    }
    auto transform = NormalScore::fit(finite);
    if (!transform) return fail(std::move(transform).error());

    const double s = std::sqrt(std::fmax(1.0 - rho * rho, 0.0));
    for (std::size_t k = 0; k < n; ++k) {
        const double score = std::isfinite(z[k]) ? transform->forward(z[k]) : 0.0;
        g[k] = phi(s * g[k] + rho * score);
    }
    return field;
}

}  // namespace zaviktools
