#include "synth/georef.hpp"

#include <cmath>
#include <string>

#include "foundation/format.hpp"

namespace zaviktools {

namespace {
AlgoError rotation_not_finite() { return AlgoError::invalid_argument("Lattice: rotation_deg must be finite"); }
}  // namespace

Result<Georef> Georef::create(double east0, double north0) {
    if (!std::isfinite(east0) || !std::isfinite(north0)) {
        return fail(AlgoError::invalid_argument("Georef: east0 and north0 must be finite"));
    }
    return Georef(east0, north0);
}

Result<Lattice> Georef::lattice(double xinc, double yinc, std::size_t ncol, std::size_t nrow, double rotation_deg,
                                bool yflip) const {
    return Lattice::create(ncol, nrow, yflip, east0_, north0_, xinc, yinc, rotation_deg);
}

std::vector<Xy> Georef::place_points(std::span<const Xy> locals) const {
    std::vector<Xy> out;
    out.reserve(locals.size());
    for (const Xy& p : locals) out.push_back(place_point(p));
    return out;
}

Result<Xy> Georef::place_intrinsic(Xy intrinsic, double rotation_deg, bool yflip) const {
    if (!std::isfinite(rotation_deg)) return fail(rotation_not_finite());
    const double theta = normalise_rotation_deg(rotation_deg) * kDegToRad;
    const double s = std::sin(theta);
    const double c = std::cos(theta);
    const double ix = intrinsic.x;
    const double iy = intrinsic.y;
    if (yflip) return Xy{east0_ + ix * c + iy * s, north0_ + ix * s - iy * c};
    return Xy{east0_ + ix * c - iy * s, north0_ + ix * s + iy * c};
}

std::string georef_repr(const Georef& g) {
    return "Georef(east0=" + fmt_num(g.east0()) + ", north0=" + fmt_num(g.north0()) + ")";
}

}  // namespace zaviktools
