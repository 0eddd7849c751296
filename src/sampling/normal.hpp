// Standard-normal draws: the ziggurat method of Marsaglia and Tsang with 256
// layers, on the seeded stream.
#pragma once

#include <array>

#include "sampling/rng.hpp"

namespace zaviktools {

// Layer edges X[0..256] and densities F[0..256] = exp(-X^2 / 2); X[1] is the
// tail start R. Built once per process, immutable afterwards.
struct ZigguratTables {
    std::array<double, 257> x;
    std::array<double, 257> f;
};
const ZigguratTables& ziggurat_tables();

// One standard-normal value; consumes one next_u64 per attempt, plus the
// draws of the tail or wedge test when the first value is rejected.
double standard_normal(Rng& rng);

// No standard_normal value exceeds this in magnitude: only the tail returns
// more than R, namely R + |x| with x*x <= -2 ln(u) for an open01 u >= 2^-53,
// so |z| <= R + sqrt(106 ln 2) = 12.2258...
inline constexpr double kStandardNormalBound = 12.23;

}  // namespace zaviktools
