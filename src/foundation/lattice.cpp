#include "foundation/lattice.hpp"

#include <cmath>

#include "foundation/format.hpp"

namespace zaviktools {

double normalise_rotation_deg(double deg) {
    const double r = std::fmod(deg, 360.0);
    return r < 0.0 ? r + 360.0 : r;
}

Result<Lattice> Lattice::create(std::size_t ncol, std::size_t nrow, bool yflip, double xori, double yori,
                                double xinc, double yinc, double rotation_deg) {
    if (!std::isfinite(rotation_deg)) return fail(AlgoError::invalid_argument("Lattice: rotation_deg must be finite"));
    Lattice lat;
    lat.xori_ = xori;
    lat.yori_ = yori;
    lat.xinc_ = xinc;
    lat.yinc_ = yinc;
    lat.ncol_ = ncol;
    lat.nrow_ = nrow;
    lat.rotation_deg_ = normalise_rotation_deg(rotation_deg);
    lat.yflip_ = yflip;
    const double theta = lat.rotation_deg_ * kDegToRad;
    lat.sin_ = std::sin(theta);
    lat.cos_ = std::cos(theta);
    return lat;
}

Xy Lattice::intrinsic_to_world(double fi, double fj) const {
    const double s = sin_;
    const double c = cos_;
    if (yflip_) {
        return {(fi * (c * xinc_) + xori_) + (s * yinc_) * fj, (fi * (s * xinc_) + yori_) + (c * (-yinc_)) * fj};
    }
    return {(fi * (c * xinc_) + xori_) + (s * (-yinc_)) * fj, (fi * (s * xinc_) + yori_) + (c * yinc_) * fj};
}

std::optional<Ij> Lattice::xy_to_ij(double x, double y) const {
    if (xinc_ == 0.0 || yinc_ == 0.0) return std::nullopt;
    for (double v : {xori_, yori_, xinc_, yinc_, rotation_deg_, x, y}) {
        if (!std::isfinite(v)) return std::nullopt;
    }
    const double dx = x - xori_;
    const double dy = y - yori_;
    const double u = dy * sin_ + dx * cos_;
    double v = dy * cos_ - dx * sin_;
    if (yflip_) v = -v;
    const double fi = u / xinc_;
    const double fj = v / yinc_;
    if (!std::isfinite(fi) || !std::isfinite(fj)) return std::nullopt;
    return Ij{fi, fj};
}

StepVectors Lattice::step_vectors() const {
    const double s = sin_;
    const double c = cos_;
    const Xy i{xinc_ * c, xinc_ * s};
    if (yflip_) return {i, {yinc_ * s, -yinc_ * c}};
    return {i, {-yinc_ * s, yinc_ * c}};
}

std::string lattice_repr(const Lattice& lat) {
    std::string s = "Lattice(xori=" + fmt_num(lat.xori()) + ", yori=" + fmt_num(lat.yori()) +
                    ", xinc=" + fmt_num(lat.xinc()) + ", yinc=" + fmt_num(lat.yinc()) +
                    ", ncol=" + std::to_string(lat.ncol()) + ", nrow=" + std::to_string(lat.nrow());
    if (lat.rotation_deg() == 0.0 && !lat.yflip()) return s + ")";
    return s + ", rotation_deg=" + fmt_num(lat.rotation_deg()) + ", yflip=" + (lat.yflip() ? "true" : "false") + ")";
}

}  // namespace zaviktools
