// synth_isochore: a correlated thickness field clamped at zero.
#include <cmath>

#include "synth/surface.hpp"

namespace zaviktools {

Result<Field> synth_isochore(const Lattice& lattice, double mean_thickness, double variability,
                             const Variogram& variogram, std::uint64_t seed) {
    if (!std::isfinite(mean_thickness))
        return fail(AlgoError::invalid_argument("synth_isochore: mean_thickness must be finite"));
    if (!std::isfinite(variability) || variability < 0.0)
        return fail(AlgoError::invalid_argument("synth_isochore: variability must be finite and >= 0"));
    auto field = surface_field(lattice, variogram, seed, mean_thickness, variability * variability);
    if (!field) return field;
    // A thickness is never negative; a NaN node and -0 read as plain zero.
    double* v = field->data();
    for (std::size_t k = 0; k < field->size(); ++k) v[k] = v[k] > 0.0 ? v[k] : 0.0;
    return field;
}

}  // namespace zaviktools
