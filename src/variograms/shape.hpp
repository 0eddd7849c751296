// The shape formula of every variogram model: the semivariance at separation
// h > 0 with length scale a (the range, or for an anisotropic model the major
// range with h the reduced distance). Inline so the simulation's per-pair
// correlation keeps it in its loop.
//
// Two evaluation orders are in use, and each keeps its own bits:
//   ShapeOrder::Model  gamma, kriging and simulation: the exponential's
//                      exponent is (-3*h)/a, and 1 - exp(x) under 2^-40 is
//                      taken as -expm1(x) (see one_minus_exp);
//   ShapeOrder::Fit    the unit shapes of the least-squares fit: every
//                      exponent is formed from r = h/a first, and 1 - exp(x)
//                      is the plain difference.
// The spherical polynomial and the Gaussian exponent are the same in both.
#pragma once

#include <cmath>

#include "variograms/model.hpp"

namespace zaviktools {

enum class ShapeOrder { Model, Fit };

// 1 - exp(x) for x <= 0. The plain difference carries at most 53 - k bits
// when it lies near 2^-k: for a range some 1e12 times the separation or more
// it is coarse (neighbouring pairs share a value), and below about 2^-54 it is
// 0, so every pair looks alike and the kriging system is singular. Under 2^-40
// (fewer than 13 good bits) -expm1(x) gives the value instead; above it the
// plain difference stands, so ordinary ranges keep the same bits as ever.
inline double one_minus_exp(double x) {
    const double d = 1.0 - std::exp(x);
    return d >= 0x1p-40 ? d : -std::expm1(x);
}

// The structured part with nugget 0 and partial sill 1 (0 for Nugget).
template <ShapeOrder Order = ShapeOrder::Model>
inline double unit_shape(VariogramModel model, double h, double a) {
    const auto rise = [](double x) { return Order == ShapeOrder::Fit ? 1.0 - std::exp(x) : one_minus_exp(x); };
    switch (model) {
        case VariogramModel::Nugget:
            return 0.0;
        case VariogramModel::Spherical: {
            const double r = h / a;
            if (r >= 1.0) return 1.0;
            return (-0.5 * r) * r * r + 1.5 * r;
        }
        case VariogramModel::Exponential:
            return rise(Order == ShapeOrder::Fit ? (h / a) * -3.0 : (-3.0 * h) / a);
        case VariogramModel::Gaussian: {
            const double r = h / a;
            return rise((-3.0 * r) * r);
        }
    }
    return 0.0;
}

// c0 + c * unit_shape: the nugget c0 plus the partial sill c times the shape.
inline double variogram_shape(VariogramModel model, double c0, double c, double h, double a) {
    // Flat beyond the origin, but a NaN separation stays NaN as in the other
    // shapes rather than passing for a valid c0.
    if (model == VariogramModel::Nugget) return std::isnan(h) ? h : c0;
    return c0 + c * unit_shape(model, h, a);
}

}  // namespace zaviktools
