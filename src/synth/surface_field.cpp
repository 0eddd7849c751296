// The simulation call shared by the synthetic surfaces, and the dome's noise recipe.
#include <cmath>

#include "geostat/sgs.hpp"
#include "synth/surface.hpp"

namespace zaviktools {

namespace {
constexpr double kMinNormal = 2.2250738585072014e-308;
}  // namespace

Result<NoiseSpec> NoiseSpec::create(double variance, const Variogram& variogram) {
    if (!std::isfinite(variance) || variance < 0.0)
        return fail(AlgoError::invalid_argument("NoiseSpec: variance must be finite and >= 0"));
    return NoiseSpec{variance, variogram};
}

double surface_radius(const Lattice& lattice, const Variogram& variogram) {
    const double spacing = std::fmax(std::fmax(std::fabs(lattice.xinc()), std::fabs(lattice.yinc())), kMinNormal);
    return std::fmax(1.5 * variogram.range, 4.0 * spacing);
}

Result<Field> surface_field(const Lattice& lattice, const Variogram& variogram, std::uint64_t seed, double mean,
                            double variance) {
    return sgs_unconditional(lattice, variogram, kSurfaceNeighbours, surface_radius(lattice, variogram), seed, mean,
                             variance);
}

}  // namespace zaviktools
