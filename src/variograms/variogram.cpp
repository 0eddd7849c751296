#include "variograms/variogram.hpp"

#include <cmath>

#include "variograms/model.hpp"
#include "variograms/shape.hpp"

namespace zaviktools {

Result<Variogram> Variogram::create(VariogramModel model, double nugget, double sill, double range) {
    if (!std::isfinite(nugget) || !std::isfinite(sill) || !std::isfinite(range))
        return fail(AlgoError::invalid_argument("variogram: nugget, sill and range must be finite"));
    if (nugget < 0.0 || sill < 0.0)
        return fail(AlgoError::invalid_argument("variogram: nugget and sill must be non-negative"));
    if (model_row(model).nugget_only) {
        if (nugget <= 0.0)
            return fail(AlgoError::invalid_argument(
                "variogram: the Nugget model uses only its nugget (sill is ignored), so nugget must be positive"));
    } else if (nugget + sill <= 0.0) {
        return fail(AlgoError::invalid_argument("variogram: total sill (nugget + sill) must be positive"));
    }
    if (range <= 0.0) return fail(AlgoError::invalid_argument("variogram: range must be positive"));
    // -0 counts as 0 and is stored as +0 (x + 0.0 is x for every other value).
    return Variogram{nugget + 0.0, sill + 0.0, range, model};
}

double Variogram::gamma(double h) const {
    if (h * h == 0.0) return 0.0;
    return variogram_shape(model, nugget, sill, h, range);
}

Result<AnisotropicVariogram> AnisotropicVariogram::create(VariogramModel model, double nugget, double sill,
                                                          double major, double minor, double vertical,
                                                          double azimuth) {
    if (!std::isfinite(nugget) || !std::isfinite(sill) || !std::isfinite(major) || !std::isfinite(minor) ||
        !std::isfinite(vertical) || !std::isfinite(azimuth))
        return fail(AlgoError::invalid_argument(
            "anisotropic variogram: nugget, sill, ranges and azimuth must be finite"));
    if (nugget < 0.0 || sill < 0.0)
        return fail(AlgoError::invalid_argument("anisotropic variogram: nugget and sill must be non-negative"));
    if (model_row(model).nugget_only) {
        if (nugget <= 0.0)
            return fail(AlgoError::invalid_argument("anisotropic variogram: the Nugget model uses only its nugget "
                                                    "(sill is ignored), so nugget must be positive"));
    } else if (nugget + sill <= 0.0) {
        return fail(AlgoError::invalid_argument("anisotropic variogram: total sill (nugget + sill) must be positive"));
    }
    if (major <= 0.0 || minor <= 0.0 || vertical <= 0.0)
        return fail(
            AlgoError::invalid_argument("anisotropic variogram: major, minor and vertical ranges must be positive"));
    // Remainder with the sign of the dividend, lifted into [0, 360). A tiny
    // negative remainder rounds up to exactly 360 when lifted, and -0 would
    // read back as "-0": both are stored as 0, the same direction.
    double az = std::fmod(azimuth, 360.0);
    if (az < 0.0) az += 360.0;
    if (az >= 360.0 || az == 0.0) az = 0.0;
    return AnisotropicVariogram{nugget + 0.0, sill + 0.0, major, minor, vertical, az, model};
}

Result<AnisotropicVariogram> AnisotropicVariogram::isotropic(VariogramModel model, double nugget, double sill,
                                                             double range) {
    return create(model, nugget, sill, range, range, range, 0.0);
}

namespace {

double reduced_sq(const AnisotropicVariogram& v, double dx, double dy, double dz) {
    const double theta = v.azimuth * 0.017453292519943295;
    const double s = std::sin(theta);
    const double k = std::cos(theta);
    const double along = dy * k + dx * s;
    const double across = dx * k - dy * s;
    const double u = across * v.major / v.minor;
    const double w = dz * v.major / v.vertical;
    return (along * along + u * u) + w * w;
}

}  // namespace

double AnisotropicVariogram::anisotropic_distance(double dx, double dy, double dz) const {
    return std::sqrt(reduced_sq(*this, dx, dy, dz));
}

double AnisotropicVariogram::gamma_offset(double dx, double dy, double dz) const {
    const double h2 = reduced_sq(*this, dx, dy, dz);
    if (h2 == 0.0) return 0.0;
    return variogram_shape(model, nugget, sill, std::sqrt(h2), major);
}

double SpatialVariogram::gamma_offset_2d(double dx, double dy) const {
    if (const auto* v = std::get_if<Variogram>(&kind)) {
        const double h2 = dx * dx + dy * dy;
        if (h2 == 0.0) return 0.0;
        return v->gamma(std::sqrt(h2));
    }
    return std::get_if<AnisotropicVariogram>(&kind)->gamma_offset(dx, dy, 0.0);
}

}  // namespace zaviktools
