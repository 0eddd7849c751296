#include "variograms/gamma_many.hpp"

#include "foundation/cpu.hpp"

namespace zaviktools {

void gamma_many(const Variogram& variogram, const double* h, std::size_t count, double* out) {
    const bool lanes = variogram.model == VariogramModel::Spherical || variogram.model == VariogramModel::Nugget;
    if (lanes && cpu_has_avx2()) {
        detail::gamma_many_avx2(variogram, h, count, out);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) out[i] = variogram.gamma(h[i]);
}

}  // namespace zaviktools
