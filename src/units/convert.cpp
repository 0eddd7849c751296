#include "units/convert.hpp"

#include <cmath>

#include "foundation/format.hpp"

namespace zaviktools {

double m3_to_mcm(double m3) { return m3 / kMillion; }
double mcm_to_m3(double mcm) { return mcm * kMillion; }
double m3_to_msm3(double m3) { return m3 / kMillion; }
double msm3_to_m3(double msm3) { return msm3 * kMillion; }
double m3_to_bcm(double m3) { return m3 / kBillion; }
double bcm_to_m3(double bcm) { return bcm * kBillion; }
double scf_to_sm3(double scf) { return scf / kCubicFeetPerCubicMetre; }
double sm3_to_scf(double sm3) { return sm3 * kCubicFeetPerCubicMetre; }
double stb_to_sm3(double stb) { return stb * kCubicMetresPerBarrel; }
double sm3_to_stb(double sm3) { return sm3 / kCubicMetresPerBarrel; }
double km2_to_m2(double km2) { return km2 * kMillion; }
double m2_to_km2(double m2) { return m2 / kMillion; }

std::string format_volume(double v) {
    // The unit follows the unrounded magnitude; NaN fails both tests (m³),
    // an infinity passes the first (bcm).
    const double a = std::fabs(v);
    if (a >= 1e9) return fmt_fixed(v / 1e9, 1) + " bcm";
    if (a >= 1e6) return fmt_fixed(v / 1e6, 1) + " mcm";
    return fmt_fixed(v, 1) + " m\u00b3";
}

}  // namespace zaviktools
