// Volume and area conversions for reservoir reporting, and the volume
// formatter. Each factor is applied by exactly the stated operation (never a
// precomputed reciprocal), so that results agree to the last bit.
#pragma once

#include <string>

namespace zaviktools {

inline constexpr double kMillion = 1000000.0;
inline constexpr double kBillion = 1000000000.0;
inline constexpr double kCubicFeetPerCubicMetre = 35.31466672148859;
inline constexpr double kCubicMetresPerBarrel = 0.158987294928;

double m3_to_mcm(double m3);
double mcm_to_m3(double mcm);
double m3_to_msm3(double m3);
double msm3_to_m3(double msm3);
double m3_to_bcm(double m3);
double bcm_to_m3(double bcm);
double scf_to_sm3(double scf);
double sm3_to_scf(double sm3);
double stb_to_sm3(double stb);
double sm3_to_stb(double sm3);
double km2_to_m2(double km2);
double m2_to_km2(double m2);

// One decimal, correctly rounded (ties to even), in bcm at |v| >= 1e9, mcm at
// |v| >= 1e6, else m³: "12.4 mcm", "-0.0 m³", "NaN m³", "inf bcm".
std::string format_volume(double v_m3);

}  // namespace zaviktools
