// Maximum dogleg severity of a station list: the believability yardstick of a
// directional path.
#include <cmath>

#include "synth/wells/trajectory.hpp"

namespace zaviktools {

namespace {
constexpr double kRadToDeg = 57.29577951308232;
}

double max_dogleg_severity(std::span<const Station> stations) {
    double worst = 0.0;
    for (std::size_t k = 1; k < stations.size(); ++k) {
        const Station& a = stations[k - 1];
        const Station& b = stations[k];
        const double dmd = b.md - a.md;
        if (!(dmd > 0.0)) continue;
        const double i1 = a.incl * kDegToRad, a1 = a.azim * kDegToRad;
        const double i2 = b.incl * kDegToRad, a2 = b.azim * kDegToRad;
        double cos_beta = std::cos(a2 - a1) * std::sin(i1) * std::sin(i2) + std::cos(i1) * std::cos(i2);
        if (cos_beta > 1.0) cos_beta = 1.0;
        if (cos_beta < -1.0) cos_beta = -1.0;
        const double severity = std::acos(cos_beta) * kRadToDeg / dmd * 30.0;
        // A NaN severity fails the comparison and leaves the maximum alone.
        if (severity > worst) worst = severity;
    }
    return worst;
}

}  // namespace zaviktools
