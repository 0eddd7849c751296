// The standard normal distribution function and its inverse at full double
// precision, on Boost.Math's erfc and inverse erfc. Every normal-score,
// truncated-normal and synthetic-marginal computation uses exactly these.
#pragma once

namespace zaviktools {

// Φ(z) = ½ · erfc(−z / √2); Φ(NaN) = NaN, Φ(+∞) = 1, Φ(−∞) = 0.
double phi(double z);

// erfc⁻¹(y): +∞ for y ≤ 0, −∞ for y ≥ 2, NaN for NaN.
double erfc_inv(double y);

// Φ⁻¹(p) = −√2 · erfc⁻¹(2p): −∞ at p ≤ 0, +∞ at p ≥ 1, NaN for NaN.
double phi_inv(double p);

}  // namespace zaviktools
