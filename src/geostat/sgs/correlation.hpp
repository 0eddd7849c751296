// Correlation of normal scores at a horizontal offset, from a SpatialVariogram:
//     rho(dx, dy) = 1 - gamma_offset_2d(dx, dy) / (nugget + sill).
// The variogram's shape is shared; its distance is repeated operation for
// operation so that the trigonometry of an anisotropic model is evaluated once
// per sweep rather than once per pair. Every value equals gamma_offset_2d's.
#pragma once

#include <cmath>
#include <cstddef>

#include "variograms/shape.hpp"
#include "variograms/variogram.hpp"

namespace zaviktools {

class Correlation {
public:
    explicit Correlation(const SpatialVariogram& v) {
        if (const auto* iso = std::get_if<Variogram>(&v.kind)) {
            isotropic_ = true;
            model_ = iso->model;
            c0_ = iso->nugget;
            c_ = iso->sill;
            a_ = iso->range;
        } else {
            const auto& an = std::get<AnisotropicVariogram>(v.kind);
            isotropic_ = false;
            model_ = an.model;
            c0_ = an.nugget;
            c_ = an.sill;
            a_ = an.major;
            major_ = an.major;
            minor_ = an.minor;
            w_ = (0.0 * an.major) / an.vertical;  // the vertical term of a horizontal offset
            const double theta = an.azimuth * 0.017453292519943295;
            sin_ = std::sin(theta);
            cos_ = std::cos(theta);
        }
        total_ = c0_ + c_;
    }

    double operator()(double dx, double dy) const { return 1.0 - gamma(dx, dy) / total_; }

    // out[t] = (*this)(dx[t], dy[t]) for t < n, two offsets at a time where
    // the processor allows (IEEE lanes: the same bits as one at a time).
    void many(const double* dx, const double* dy, std::size_t n, double* out) const;

    // gamma_offset_2d(dx, dy).
    double gamma(double dx, double dy) const {
        if (isotropic_) {
            const double h2 = dx * dx + dy * dy;
            if (h2 == 0.0) return 0.0;
            const double h = std::sqrt(h2);
            if (h * h == 0.0) return 0.0;
            return shape(h);
        }
        const double along = dy * cos_ + dx * sin_;
        const double across = dx * cos_ - dy * sin_;
        const double u = across * major_ / minor_;
        const double h2 = (along * along + u * u) + w_ * w_;
        if (h2 == 0.0) return 0.0;
        return shape(std::sqrt(h2));
    }

private:
    void many_isotropic(const double* dx, const double* dy, std::size_t n, double* out) const;
    void many_anisotropic(const double* dx, const double* dy, std::size_t n, double* out) const;

    double shape(double h) const { return variogram_shape(model_, c0_, c_, h, a_); }

    bool isotropic_ = true;
    VariogramModel model_ = VariogramModel::Spherical;
    double c0_ = 0.0, c_ = 0.0, a_ = 1.0, total_ = 1.0;
    double major_ = 1.0, minor_ = 1.0, w_ = 0.0, sin_ = 0.0, cos_ = 1.0;
};

}  // namespace zaviktools
