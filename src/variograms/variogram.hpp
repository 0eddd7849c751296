// Variogram models: the isotropic `Variogram`, the directional
// `AnisotropicVariogram` and the `SpatialVariogram` variant holding either.
//
// All three are plain immutable values (copy freely). Build them through the
// validating factories; the gamma functions never fail. Every formula follows
// a fixed evaluation order, so results are identical bit for bit in every build:
//
//   r = h / a, c0 = nugget, c = partial sill, gamma = 0 when h*h == 0 exactly
//   Nugget       c0 (NaN for a NaN separation, like the other shapes)
//   Spherical    r >= 1 ? c0 + c : c0 + c*((-0.5*r)*r*r + 1.5*r)
//   Exponential  c0 + c*(1 - exp((-3*h) / a))         (a = practical range)
//   Gaussian     c0 + c*(1 - exp((-3*r)*r))           (a = practical range)
// (where 1 - exp(x) falls below 2^-40 it is taken as -expm1(x), which keeps
// ranges far beyond the separations usable; see variograms/shape.hpp)
//
// Anisotropic distance of an offset (dx east, dy north, dz up), azimuth = bearing
// of the major axis clockwise from north:
//   along = dy*cos + dx*sin, across = dx*cos - dy*sin,
//   u = across*major/minor, w = dz*major/vertical, h2 = (along^2 + u^2) + w^2.
#pragma once

#include <string_view>
#include <variant>

#include "foundation/error.hpp"
#include "variograms/model.hpp"

namespace zaviktools {

struct ExperimentalVariogram;  // variograms/experimental.hpp

// Trims Unicode whitespace and lower-cases ASCII letters, then accepts the
// names and aliases of kModels: "nugget", "spherical"/"sph",
// "exponential"/"exp", "gaussian"/"gauss".
// On failure the error is an InvalidArgument whose payload is the complete
// user-facing text "unknown variogram model '{name}' (expected ...)"; callers
// raise the payload alone (it carries no kind prefix at the Python surface).
Result<VariogramModel> parse_model(std::string_view text);

// Isotropic model: nugget c0 >= 0, partial sill c >= 0, range a > 0.
struct Variogram {
    double nugget = 0.0;
    double sill = 0.0;
    double range = 1.0;
    VariogramModel model = VariogramModel::Spherical;

    // Validates, in this order (InvalidArgument "variogram: ..."): finite
    // values; non-negative nugget and sill; positive nugget for Nugget,
    // positive total sill otherwise; positive range. -0 is stored as +0.
    static Result<Variogram> create(VariogramModel model, double nugget, double sill, double range);

    // Pair-count weighted least-squares fit of `model` to `ev` (closed-form
    // nugget and sill per candidate range, range by a 400 + 100 grid search).
    // Defined in variograms/fit.cpp.
    static Result<Variogram> fit(VariogramModel model, const ExperimentalVariogram& ev);

    // Semivariance at separation h >= 0. gamma(0) = 0 (the nugget is a
    // discontinuity at the origin); NaN in, NaN out.
    double gamma(double h) const;
};

// Directional model: horizontal major/minor ranges, vertical range, and the
// major-axis azimuth in degrees clockwise from north, stored in [0, 360).
struct AnisotropicVariogram {
    double nugget = 0.0;
    double sill = 1.0;
    double major = 1.0;
    double minor = 1.0;
    double vertical = 1.0;
    double azimuth = 0.0;
    VariogramModel model = VariogramModel::Spherical;

    // Validates like Variogram::create ("anisotropic variogram: ..."), with all
    // three ranges positive; the azimuth is stored as fmod(azimuth, 360) lifted
    // into [0, 360) (-90 -> 270, 450 -> 90; a lift that rounds to 360 -> 0).
    static Result<AnisotropicVariogram> create(VariogramModel model, double nugget, double sill, double major,
                                               double minor, double vertical, double azimuth);
    // create(model, nugget, sill, range, range, range, 0).
    static Result<AnisotropicVariogram> isotropic(VariogramModel model, double nugget, double sill, double range);

    // Reduced distance: an offset of length `major` along the major axis has
    // distance `major`; along the minor axis `minor` maps to `major`.
    double anisotropic_distance(double dx, double dy, double dz) const;
    // Semivariance for the offset; 0 when the squared reduced distance is 0.
    double gamma_offset(double dx, double dy, double dz) const;
};

// Either variogram, as taken by the kriging and simulation engines:
// SpatialVariogram{variogram} or SpatialVariogram{anisotropic_variogram}.
struct SpatialVariogram {
    std::variant<Variogram, AnisotropicVariogram> kind;

    bool is_isotropic() const { return std::holds_alternative<Variogram>(kind); }
    // Isotropic: gamma(sqrt(dx*dx + dy*dy)), 0 when dx*dx + dy*dy == 0;
    // anisotropic: gamma_offset(dx, dy, 0).
    double gamma_offset_2d(double dx, double dy) const;
};

}  // namespace zaviktools
