// The model shape at separation h > 0 with length scale a; the nugget is added
// last. Inline so the simulation's per-pair correlation keeps it in its loop.
// Shared by the isotropic and the anisotropic forms (for the latter h is the
// reduced distance and a the major range).
#pragma once

#include <cmath>

#include "gridding/kriging/variogram.hpp"

namespace zaviktools {

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

inline double variogram_shape(VariogramModel model, double c0, double c, double h, double a) {
    switch (model) {
        case VariogramModel::Nugget:
            // Flat beyond the origin, but a NaN separation stays NaN as in the
            // other shapes rather than passing for a valid c0.
            return std::isnan(h) ? h : c0;
        case VariogramModel::Spherical: {
            const double r = h / a;
            if (r >= 1.0) return c0 + c;
            return c0 + c * ((-0.5 * r) * r * r + 1.5 * r);
        }
        case VariogramModel::Exponential:
            return c0 + c * one_minus_exp((-3.0 * h) / a);
        case VariogramModel::Gaussian: {
            const double r = h / a;
            return c0 + c * one_minus_exp((-3.0 * r) * r);
        }
    }
    return c0;
}

}  // namespace zaviktools
