// Variogram::gamma over many separations at once: four lanes at a time
// where the model's shape is plain arithmetic (Spherical, Nugget) and the
// processor has AVX2, one at a time otherwise. Each lane performs the scalar
// formula's operations in its order (nothing fused), so out[i] is
// variogram.gamma(h[i]) bit for bit.
#pragma once

#include <cstddef>

#include "variograms/variogram.hpp"

namespace zaviktools {

void gamma_many(const Variogram& variogram, const double* h, std::size_t count, double* out);

namespace detail {
// The four-lane form for Spherical and Nugget; only called where the
// processor has AVX2.
void gamma_many_avx2(const Variogram& variogram, const double* h, std::size_t count, double* out);
}  // namespace detail

}  // namespace zaviktools
